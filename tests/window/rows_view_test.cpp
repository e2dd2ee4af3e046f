// The row view in a real main window: rows appended through AppendUnits and FlushRows, the row
// limit, the subclass, the font steps and the extent, and the font and colour dialogs.
#include <gtest/gtest.h>
#include "harness.h"
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "shell/app.h"
#include "view/view.h"
#include "view/highlight.h"
#include "logsource/lines.h"
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

class RowsView : public ::testing::Test {
protected:
    std::vector<wchar_t> buffer = std::vector<wchar_t>(kReadSize);
    HWND main = nullptr;
    HWND view = nullptr;

    void SetUp() override {
        SetDefaultSettings();
        highlights = Highlights{};
        ResetRowState();
        logSource.longestRow = 0;
        logSource.holdScroll = false;
        logSource.textBuffer = buffer.data();
        HINSTANCE instance = GetModuleHandleW(nullptr);
        ASSERT_TRUE(RegisterMainWindowClass(instance));
        main = CreateMainWindow(instance, SW_SHOWNOACTIVATE);
        ASSERT_NE(nullptr, main);
        view = app.view;
        ASSERT_NE(nullptr, view);
        harness::Pump(20);
        // The trimming rules here assume Scroll Lock off, whatever an earlier program left.
        if (GetKeyState(VK_SCROLL) & 1) {
            keybd_event(VK_SCROLL, 0, KEYEVENTF_EXTENDEDKEY, 0);
            keybd_event(VK_SCROLL, 0, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
            harness::WaitUntil([] { return (GetKeyState(VK_SCROLL) & 1) == 0; }, 2000);
        }
        ASSERT_FALSE(GetKeyState(VK_SCROLL) & 1);
    }
    void TearDown() override {
        ResetRowState();
        DestroyWindow(main);
        harness::Pump(10);
        app.view = nullptr;
        app.mainWindow = nullptr;
        logSource.textBuffer = nullptr;
        logSource.holdScroll = false;
    }

    // One tick's reading: the text in reads of at most 65,536 units, then the flush.
    AppendResult Tick(const std::wstring& text, uint32_t limit) {
        AppendResult all{false, false};
        for (size_t at = 0; at < text.size(); at += kReadSize) {
            size_t n = std::min<size_t>(kReadSize, text.size() - at);
            std::copy(text.begin() + at, text.begin() + at + n, buffer.begin());
            AppendResult r = AppendUnits(static_cast<uint32_t>(n), limit, AutoscrollLocked());
            all.appended |= r.appended;
            all.longestGrew |= r.longestGrew;
        }
        FlushRows();
        return all;
    }

    std::vector<std::wstring> Rows() { return harness::Rows(view); }
};

std::wstring Lines(int first, int count) {
    std::wstring text;
    for (int i = first; i < first + count; ++i) text += L"row " + std::to_wstring(i) + L"\n";
    return text;
}

std::vector<std::wstring> Numbered(int first, int count) {
    std::vector<std::wstring> rows;
    for (int i = first; i < first + count; ++i) rows.push_back(L"row " + std::to_wstring(i));
    return rows;
}

std::vector<int> Selected(HWND box) {
    LRESULT n = SendMessageW(box, LB_GETSELCOUNT, 0, 0);
    std::vector<int> items(n > 0 ? static_cast<size_t>(n) : 0);
    if (n > 0) SendMessageW(box, LB_GETSELITEMS, items.size(), reinterpret_cast<LPARAM>(items.data()));
    return items;
}

// The rules, written out plainly, appending and trimming row by row as each row ends.
struct RowByRow {
    HWND box;
    std::wstring row;
    unsigned emptyRun = 0;
    uint32_t longest = 0;

    static bool Blank(const std::wstring& r) {
        const std::wstring blanks = L"\t\v\f\r \x00A0\x1680\x2002\x2003\x2004\x2005\x2006\x2007\x2008\x2009\x200A"
                                    L"\x200B\x202F\x205F\x2060\x3000\xFEFF";
        return std::all_of(r.begin(), r.end(), [&](wchar_t c) { return blanks.find(c) != std::wstring::npos; });
    }
    AppendResult Tick(const std::wstring& text, size_t limit, bool cutEmpty, bool locked, size_t linesLimit) {
        AppendResult result{false, false};
        for (wchar_t c : text) {
            if (c == 0xFEFF || c == 0xFFFE || c == 13) continue;
            if (c == 0) row += L'\xFFFD';
            else if (c == 9) {
                size_t stop = row.size() / 8 * 8 + 8;
                while (row.size() < stop && row.size() < limit) row += L' ';
            } else if (c != 10) row += c;
            if (c != 10 && row.size() < limit) continue;
            if (cutEmpty && Blank(row)) {
                if (++emptyRun != 2) {
                    row.clear();
                    continue;
                }
            } else {
                emptyRun = 0;
            }
            if (row.size() > longest) {
                longest = static_cast<uint32_t>(row.size());
                result.longestGrew = true;
            }
            if (!locked)
                while (SendMessageW(box, LB_GETCOUNT, 0, 0) >= static_cast<LRESULT>(linesLimit))
                    SendMessageW(box, LB_DELETESTRING, 0, 0);
            SendMessageW(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
            result.appended = true;
            row.clear();
        }
        return result;
    }
};

// Log-like text with tabs, blank runs, spaces-only lines, carriage returns, NULs and long lines.
std::wstring MixedText(unsigned& seed, int lines) {
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    std::wstring text;
    for (int i = 0; i < lines; ++i) {
        unsigned kind = next() % 16;
        if (kind < 3) { text += L"\n"; continue; }
        if (kind == 3) { text += L"    \r\n"; continue; }
        unsigned length = next() % (kind == 4 ? 300 : 70);
        for (unsigned j = 0; j < length; ++j) {
            unsigned r = next() % 40;
            text += r == 0 ? L'\t' : r == 1 ? L'\r' : r == 2 ? L'\0' : static_cast<wchar_t>(L'a' + r % 26);
        }
        text += L"\n";
    }
    return text;
}

}  // namespace

TEST_F(RowsView, ListBoxHasTheViewStylesFontAndSubclass) {
    // The list box drops its horizontal bar by itself while every row fits.
    const DWORD own = WS_VISIBLE | WS_HSCROLL;
    EXPECT_EQ(kViewStyle & ~own, static_cast<DWORD>(GetWindowLongW(view, GWL_STYLE)) & ~own);
    DWORD ex = static_cast<DWORD>(GetWindowLongW(view, GWL_EXSTYLE));
    EXPECT_TRUE(ex == WS_EX_STATICEDGE || ex == 0) << ex;
    EXPECT_EQ(0, GetDlgCtrlID(view));
    EXPECT_EQ(reinterpret_cast<LRESULT>(app.viewFont), SendMessageW(view, WM_GETFONT, 0, 0));
    EXPECT_NE(nullptr, app.backgroundBrush);
    // The main window asks for the view's colours and gets the settings' and the brush.
    settings.textColor = RGB(1, 2, 3);
    settings.backgroundColor = RGB(4, 5, 6);
    HDC dc = GetDC(view);
    EXPECT_EQ(reinterpret_cast<LRESULT>(app.backgroundBrush), OnCtlColorListBox(dc));
    EXPECT_EQ(RGB(1, 2, 3), GetTextColor(dc));
    EXPECT_EQ(RGB(4, 5, 6), GetBkColor(dc));
    ReleaseDC(view, dc);
}

TEST_F(RowsView, AppendUnitsReportsRowsAndLongestGrowth) {
    settings.linesLimit = 100;
    AppendResult r = Tick(L"abcdefghijklm\r\nabcdefghij\n", 10);
    EXPECT_TRUE(r.appended);
    EXPECT_TRUE(r.longestGrew);
    EXPECT_EQ((std::vector<std::wstring>{L"abcdefghij", L"klm", L"abcdefghij", L""}), Rows());
    EXPECT_EQ(10u, logSource.longestRow);
    // An unfinished line waits; nothing is reported until its line feed.
    r = Tick(L"partial", kMaxRowLimit);
    EXPECT_FALSE(r.appended);
    EXPECT_EQ(4, harness::RowCount(view));
    r = Tick(L" line\n", kMaxRowLimit);
    EXPECT_TRUE(r.appended);
    EXPECT_TRUE(r.longestGrew);
    EXPECT_EQ(L"partial line", Rows().back());
    r = Tick(L"short\n", kMaxRowLimit);
    EXPECT_FALSE(r.longestGrew);
}

TEST_F(RowsView, RowCountStaysAtTheLimitAndLockedGrowthIsTrimmedInOneGo) {
    settings.linesLimit = 5;
    Tick(Lines(0, 5), 80);
    EXPECT_EQ(Numbered(0, 5), Rows());
    Tick(Lines(5, 1), 80);
    EXPECT_EQ(Numbered(1, 5), Rows());
    Tick(Lines(6, 3), 80);
    EXPECT_EQ(Numbered(4, 5), Rows());

    // Held (thumb drag or lock): the view grows beyond the limit, row by row across ticks.
    logSource.holdScroll = true;
    Tick(Lines(9, 4), 80);
    Tick(Lines(13, 3), 80);
    EXPECT_EQ(Numbered(4, 12), Rows());
    // The first append after the hold ends brings it back to the limit at once.
    logSource.holdScroll = false;
    Tick(Lines(16, 1), 80);
    EXPECT_EQ(Numbered(12, 5), Rows());
}

// Flushes cut short by a deadline: each takes a part of the waiting rows, oldest first, and the view
// is always one run of rows under the limit that the waiting rows continue without a gap, even
// while more rows keep being cut; a backlog larger than the limit empties the view first.
TEST_F(RowsView, RowsCutShortByADeadlineArriveOnceAndInOrder) {
    settings.linesLimit = 3000;
    Tick(Lines(0, 3000), 80);
    int next = 3000;
    auto numbers = [&] {
        std::vector<int> n;
        for (const std::wstring& row : Rows()) n.push_back(std::stoi(row.substr(4)));
        return n;
    };
    auto cut = [&](int count) {
        std::wstring text = Lines(next, count);
        next += count;
        for (size_t at = 0; at < text.size(); at += kReadSize) {
            size_t n = std::min<size_t>(kReadSize, text.size() - at);
            std::copy(text.begin() + at, text.begin() + at + n, buffer.begin());
            AppendUnits(static_cast<uint32_t>(n), 80, AutoscrollLocked());
        }
    };
    auto check = [&](const char* when) {
        std::vector<int> n = numbers();
        ASSERT_FALSE(n.empty()) << when;
        ASSERT_LE(n.size(), 3000u) << when;
        for (size_t i = 1; i < n.size(); ++i) ASSERT_EQ(n[i - 1] + 1, n[i]) << when << " at " << i;
        // Nothing between the view and the waiting rows is lost, unless the waiting rows alone
        // fill the limit: then the view goes whole with the next flush.
        if (PendingRowCount() < 3000) {
            EXPECT_EQ(next - 1, n.back() + static_cast<int>(PendingRowCount())) << when;
        }
    };
    for (int round = 0; round < 40; ++round) {
        cut(round % 3 == 0 ? 90 : 7);
        size_t waiting = PendingRowCount();
        size_t taken = FlushRows(WorkClockMs());   // the deadline has come: a part goes
        EXPECT_GE(taken, std::min<size_t>(waiting, 16));
        check("following");
    }
    EXPECT_GT(PendingRowCount(), 0u);
    // A backlog beyond the limit: the first part empties the view and starts the newest rows.
    cut(10000);
    EXPECT_EQ(3000u, PendingRowCount());
    FlushRows(WorkClockMs());
    std::vector<int> n = numbers();
    ASSERT_FALSE(n.empty());
    EXPECT_EQ(next - 3000, n.front());
    check("backlog");
    for (int round = 0; round < 10; ++round) {
        cut(5);
        FlushRows(WorkClockMs());
        check("after the backlog");
    }
    FlushRows();
    EXPECT_EQ(Numbered(next - 3000, 3000), Rows());
    EXPECT_EQ(0u, PendingRowCount());
}

TEST_F(RowsView, PendingRowsAreDiscardedByAReset) {
    settings.linesLimit = 10;
    buffer[0] = L'a';
    buffer[1] = L'\n';
    buffer[2] = L'b';
    AppendUnits(3, 80, AutoscrollLocked());   // one finished row waits for the flush, "b" is being assembled
    ResetRowState();
    FlushRows();
    EXPECT_EQ(0, harness::RowCount(view));
    EXPECT_EQ(0u, logSource.rowFill);
    Tick(L"c\n", 80);
    EXPECT_EQ((std::vector<std::wstring>{L"c"}), Rows());
}

TEST_F(RowsView, BatchedTicksEndWithTheRowsOfRowByRowAppending) {
    // The same list box beside the view, same size, scroll bars and font, fed row by row.
    RECT box;
    GetWindowRect(view, &box);
    HWND reference = CreateWindowExW(GetWindowLongW(view, GWL_EXSTYLE), L"LISTBOX", L"", GetWindowLongW(view, GWL_STYLE) & ~WS_VISIBLE, 0, 0,
                                     box.right - box.left, box.bottom - box.top, main, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, reference);
    SendMessageW(reference, WM_SETFONT, reinterpret_cast<WPARAM>(app.viewFont), FALSE);
    RowByRow model{reference};
    unsigned seed = 7;
    settings.linesLimit = 5000;
    settings.cutEmpty = 1;
    const uint32_t limit = 50;

    struct Step { int lines; bool locked; };
    // A backlog far beyond the limit, small ticks on a full view, a locked burst, the trim after
    // it, a burst that keeps a few survivors and one that replaces everything.
    const Step steps[] = {{40000, false}, {1, false}, {37, false}, {3000, true}, {2, true},
                          {5, false},     {800, false}, {2800, false}, {9000, false}, {1, false}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.lines);
        if (step.lines == 2800) {
            // Rows selected before a trim stay selected where they survive.
            for (HWND box : {view, reference}) {
                SendMessageW(box, LB_SELITEMRANGEEX, 10, 30);
                SendMessageW(box, LB_SELITEMRANGEEX, 4700, 4720);
                SendMessageW(box, LB_SETSEL, TRUE, 4990);
            }
        }
        std::wstring text = MixedText(seed, step.lines);
        logSource.holdScroll = step.locked;
        AppendResult ours = Tick(text, limit);
        AppendResult expected = model.Tick(text, limit, true, step.locked, settings.linesLimit);
        EXPECT_EQ(expected.appended, ours.appended);
        EXPECT_EQ(expected.longestGrew, ours.longestGrew);
        ASSERT_EQ(harness::RowCount(reference), harness::RowCount(view));
        ASSERT_TRUE(harness::Rows(reference) == Rows());
        EXPECT_EQ(Selected(reference), Selected(view));
        EXPECT_EQ(SendMessageW(reference, LB_GETCARETINDEX, 0, 0), SendMessageW(view, LB_GETCARETINDEX, 0, 0));
        EXPECT_EQ(SendMessageW(reference, LB_GETANCHORINDEX, 0, 0), SendMessageW(view, LB_GETANCHORINDEX, 0, 0));
        EXPECT_EQ(SendMessageW(reference, LB_GETTOPINDEX, 0, 0), SendMessageW(view, LB_GETTOPINDEX, 0, 0));
    }
    EXPECT_EQ(model.longest, logSource.longestRow);
    logSource.holdScroll = false;
    DestroyWindow(reference);
}

// Random text through the batched path ends with exactly the rows of row-by-row appending, under
// random row limits, row lengths, empty-row restriction, locks and tick sizes. Set
// BRINDLE_PROPERTY_CASES to run many more cases by hand.
TEST_F(RowsView, RandomTextBatchedGivesTheRowsOfRowByRowAppending) {
    wchar_t value[32];
    const int cases = GetEnvironmentVariableW(L"BRINDLE_PROPERTY_CASES", value, 32) ? _wtoi(value) : 16;
    RECT box;
    GetWindowRect(view, &box);
    HWND reference = CreateWindowExW(0, L"LISTBOX", L"", GetWindowLongW(view, GWL_STYLE) & ~WS_VISIBLE, 0, 0,
                                     box.right - box.left, box.bottom - box.top, main, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, reference);
    unsigned seed = 4711;
    auto next = [&seed](unsigned range) { return ((seed = seed * 1103515245u + 12345u) >> 8) % range; };
    for (int c = 0; c < cases; ++c) {
        settings.linesLimit = next(4) == 0 ? 1 + next(5) : 1 + next(1500);
        settings.cutEmpty = next(2);
        const uint32_t limit = next(3) == 0 ? kMaxRowLimit : 1 + next(next(2) ? 12 : 300);
        SCOPED_TRACE(testing::Message() << "case " << c << ": lines limit " << settings.linesLimit << ", row limit "
                                        << limit << ", cut empty " << settings.cutEmpty);
        ResetRowState();
        logSource.longestRow = 0;
        SendMessageW(view, LB_RESETCONTENT, 0, 0);
        SendMessageW(reference, LB_RESETCONTENT, 0, 0);
        RowByRow model{reference};
        for (unsigned ticks = 1 + next(6); ticks > 0; --ticks) {
            // A backlog now and then, kept to some thousands of rows when the rows are short.
            const unsigned backlog = limit >= 40 ? 4000 : 300;
            std::wstring text = MixedText(seed, static_cast<int>(next(4) == 0 ? next(backlog) : next(30)));
            for (unsigned tail = next(3) == 0 ? next(limit >= 40 ? 5000 : 200) : 0; tail > 0; --tail)
                text += static_cast<wchar_t>(L'A' + next(26));
            const bool locked = next(5) == 0;
            logSource.holdScroll = locked;
            AppendResult ours = Tick(text, limit);
            AppendResult expected = model.Tick(text, limit, settings.cutEmpty != 0, locked, settings.linesLimit);
            ASSERT_EQ(expected.appended, ours.appended);
            ASSERT_EQ(expected.longestGrew, ours.longestGrew);
            ASSERT_EQ(harness::RowCount(reference), harness::RowCount(view));
            ASSERT_TRUE(harness::Rows(reference) == Rows());
        }
        EXPECT_EQ(model.longest, logSource.longestRow);
    }
    logSource.holdScroll = false;
    DestroyWindow(reference);
}

// Every free range of the address space reserved and the process heap filled, so that what the
// program allocates meanwhile fails as in a process that has run out of memory; Give hands the
// largest heap blocks back, about `bytes` of them. All of it is given back at the end.
struct MemoryTaken {
    std::vector<void*> ranges;
    std::vector<void*> blocks;   // largest first
    size_t bytes = 0;
    MemoryTaken() {
        ranges.reserve(1 << 16);   // reserved first: nothing here may allocate while memory is short
        blocks.reserve(1 << 20);
        for (SIZE_T size = SIZE_T(1) << 30; size >= 4096; size /= 2) {
            while (ranges.size() < ranges.capacity()) {
                void* range = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
                if (!range) break;
                ranges.push_back(range);
                bytes += size;
            }
        }
        HANDLE heap = GetProcessHeap();
        for (SIZE_T size = SIZE_T(1) << 16; size >= 8; size /= 2) {
            while (blocks.size() < blocks.capacity()) {
                void* block = HeapAlloc(heap, 0, size);
                if (!block) break;
                blocks.push_back(block);
            }
        }
    }
    void Give(size_t wanted) {
        HANDLE heap = GetProcessHeap();
        for (size_t given = 0; given < wanted && !blocks.empty(); blocks.erase(blocks.begin())) {
            given += HeapSize(heap, 0, blocks.front());
            HeapFree(heap, 0, blocks.front());
        }
    }
    // Whether the heap could give `size` bytes now; the block, if any, is given back at once.
    static bool Has(size_t size) {
        void* probe = HeapAlloc(GetProcessHeap(), 0, size);
        if (probe) HeapFree(GetProcessHeap(), 0, probe);
        return probe != nullptr;
    }
    ~MemoryTaken() {
        for (void* block : blocks) HeapFree(GetProcessHeap(), 0, block);
        for (void* range : ranges) VirtualFree(range, 0, MEM_RELEASE);
    }
};

// Rows that find no memory, in the pending rows or in the list box, are lost one by one; the
// process goes on and the rows after them arrive.
TEST_F(RowsView, RowsWithoutMemoryAreLostAndTheNextOnesArrive) {
    settings.linesLimit = 65535;
    Tick(L"first\n", kMaxRowLimit);
    const std::wstring emptyRows(kReadSize, L'\n');
    LRESULT during = 0;
    size_t taken = 0;
    {
        MemoryTaken held;
        taken = held.bytes;
        std::copy(emptyRows.begin(), emptyRows.end(), buffer.begin());
        AppendUnits(kReadSize, kMaxRowLimit, AutoscrollLocked());
        AppendUnits(kReadSize, kMaxRowLimit, AutoscrollLocked());
        FlushRows();
        during = SendMessageW(view, LB_GETCOUNT, 0, 0);
    }
    EXPECT_GT(taken, 0u);
    Tick(L"after 1\nafter 2\n", kMaxRowLimit);
    std::vector<std::wstring> rows = Rows();
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(L"first", rows.front());
    EXPECT_EQ(L"after 1", rows[rows.size() - 2]);
    EXPECT_EQ(L"after 2", rows.back());
    EXPECT_EQ(static_cast<size_t>(during) + 2, rows.size());
    EXPECT_LE(rows.size(), 65535u);
    EXPECT_LT(static_cast<size_t>(during - 1), static_cast<size_t>(2 * kReadSize)) << "no row was lost: memory never ran out";
}

// A trim that would rebuild the list box finds no memory for the copy of the rows it keeps: the
// rows go from the top one by one instead, and the kept rows stay whole and in order.
TEST_F(RowsView, TrimWithoutMemoryForTheRebuildKeepsTheNewestRows) {
    std::wstring text;
    for (int i = 0; i < 2900; ++i) text += L"old " + std::to_wstring(i) + L"\n";
    for (int i = 0; i < 100; ++i) text += L"keep " + std::to_wstring(i) + L" " + std::wstring(3990, L'x') + L"\n";
    settings.linesLimit = 3000;
    Tick(text, kMaxRowLimit);
    ASSERT_EQ(3000, harness::RowCount(view));
    ASSERT_TRUE(PlanViewTrim(3000, 2900, 3000).rebuild);
    struct Source { int next; wchar_t row[32]; } source{0, L""};
    auto next = [](void* context, uint32_t*) -> const wchar_t* {
        auto* s = static_cast<Source*>(context);
        wsprintfW(s->row, L"new %d", s->next++);
        return s->row;
    };
    bool roomForTheCopy = true;
    {
        MemoryTaken held;
        roomForTheCopy = MemoryTaken::Has(100 * 4000 * sizeof(wchar_t));   // the kept rows' texts
        AppendViewRows(next, &source, 2900, 3000);
    }
    EXPECT_FALSE(roomForTheCopy) << "the rebuild's copy could have been made";
    std::vector<std::wstring> rows = Rows();
    ASSERT_GE(rows.size(), 100u);
    EXPECT_LE(rows.size(), 3000u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(L"keep " + std::to_wstring(i) + L" " + std::wstring(3990, L'x'), rows[i]) << i;
    // Rows the list box refused meanwhile are missing; the others follow in order.
    int last = -1;
    for (size_t i = 100; i < rows.size(); ++i) {
        ASSERT_EQ(0u, rows[i].find(L"new ")) << i;
        int n = std::stoi(rows[i].substr(4));
        EXPECT_GT(n, last);
        last = n;
    }
}

TEST_F(RowsView, ErasesOnlyBelowTheLastRow) {
    settings.backgroundColor = RGB(200, 0, 0);
    DeleteObject(app.backgroundBrush);
    app.backgroundBrush = CreateSolidBrush(settings.backgroundColor);
    RECT client;
    GetClientRect(view, &client);
    ASSERT_GT(client.bottom, 100);

    HDC screen = GetDC(view);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(memory, bitmap);
    auto eraseOnGreen = [&] {
        HBRUSH green = CreateSolidBrush(RGB(0, 200, 0));
        FillRect(memory, &client, green);
        DeleteObject(green);
        return SendMessageW(view, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0);
    };

    EXPECT_EQ(0, eraseOnGreen());   // no rows: nothing is erased
    EXPECT_EQ(RGB(0, 200, 0), GetPixel(memory, 5, 5));
    EXPECT_EQ(RGB(0, 200, 0), GetPixel(memory, 5, client.bottom - 2));

    Tick(Lines(0, 2), 80);
    RECT last;
    SendMessageW(view, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&last));
    EXPECT_EQ(0, eraseOnGreen());
    EXPECT_EQ(RGB(0, 200, 0), GetPixel(memory, 5, 1));                 // first row untouched
    EXPECT_EQ(RGB(0, 200, 0), GetPixel(memory, 5, last.bottom - 1));   // last row untouched
    EXPECT_EQ(RGB(200, 0, 0), GetPixel(memory, 5, last.bottom + 1));   // below it: background
    EXPECT_EQ(RGB(200, 0, 0), GetPixel(memory, 5, client.bottom - 1));

    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(view, screen);
}

TEST_F(RowsView, ThumbDragHoldsScrollingAndOtherScrollingReleasesIt) {
    Tick(Lines(0, 200), 80);
    SendMessageW(view, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 3), 0);
    EXPECT_TRUE(logSource.holdScroll);
    EXPECT_TRUE(AutoscrollLocked());
    SendMessageW(view, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 3), 0);
    EXPECT_FALSE(logSource.holdScroll);
    logSource.holdScroll = true;
    SendMessageW(view, WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
    EXPECT_FALSE(logSource.holdScroll);
}

TEST_F(RowsView, RightClickMovesASingleSelectionButKeepsSeveral) {
    Tick(Lines(0, 10), 80);
    auto rightClick = [&](int row) {
        RECT item;
        SendMessageW(view, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&item));
        POINT p{item.left + 5, (item.top + item.bottom) / 2};
        ClientToScreen(view, &p);
        SendMessageW(view, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view), MAKELPARAM(p.x, p.y));
    };
    SendMessageW(view, LB_SETSEL, TRUE, 2);
    rightClick(5);
    EXPECT_EQ(std::vector<int>{5}, Selected(view));
    EXPECT_EQ(5, SendMessageW(view, LB_GETCARETINDEX, 0, 0));
    // From the keyboard there is no point: nothing changes, even with row 0 lying under the
    // desktop's point (-1, -1).
    RECT frame, first;
    GetWindowRect(main, &frame);
    SendMessageW(view, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    POINT corner{10, (first.top + first.bottom) / 2};
    ClientToScreen(view, &corner);
    SetWindowPos(main, nullptr, frame.left - 1 - corner.x, frame.top - 1 - corner.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    POINT under{-1, -1};
    ScreenToClient(view, &under);
    ASSERT_EQ(0, SendMessageW(view, LB_ITEMFROMPOINT, 0, MAKELPARAM(under.x, under.y))) << "row 0, inside";
    SendMessageW(view, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view), MAKELPARAM(-1, -1));
    EXPECT_EQ(std::vector<int>{5}, Selected(view));
    // A real click on the column x = -1, as on a monitor left of the primary, is a click.
    RECT third;
    SendMessageW(view, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&third));
    POINT onThird{10, (third.top + third.bottom) / 2};
    ClientToScreen(view, &onThird);
    ASSERT_EQ(-1, onThird.x);
    SendMessageW(view, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view), MAKELPARAM(-1, onThird.y));
    EXPECT_EQ(std::vector<int>{2}, Selected(view));
    SendMessageW(view, LB_SELITEMRANGEEX, 1, 4);
    rightClick(8);
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), Selected(view));
}

TEST_F(RowsView, ShowRowAndScrollToEnd) {
    Tick(Lines(0, 200), 80);
    ShowRow(50);
    EXPECT_EQ(46, SendMessageW(view, LB_GETTOPINDEX, 0, 0));
    EXPECT_EQ(50, SendMessageW(view, LB_GETCARETINDEX, 0, 0));
    EXPECT_EQ(std::vector<int>{50}, Selected(view));
    ShowRow(3);
    EXPECT_EQ(0, SendMessageW(view, LB_GETTOPINDEX, 0, 0));
    EXPECT_EQ(std::vector<int>{3}, Selected(view));
    ScrollToEnd();
    EXPECT_EQ(199, SendMessageW(view, LB_GETCARETINDEX, 0, 0));
    RECT client, last;
    GetClientRect(view, &client);
    SendMessageW(view, LB_GETITEMRECT, 199, reinterpret_cast<LPARAM>(&last));
    EXPECT_LE(last.bottom, client.bottom);   // the last row is in view
    EXPECT_GT(last.bottom, 0);
    FocusView();
    EXPECT_EQ(view, GetFocus());
}

TEST_F(RowsView, FontStepsStopAt8And96) {
    settings.font.lfHeight = 96;
    ApplyViewFont();
    HFONT before = app.viewFont;
    ChangeFontSize(1);
    EXPECT_EQ(96, settings.font.lfHeight);
    EXPECT_EQ(before, app.viewFont);   // nothing happens at the top

    settings.font.lfHeight = 9;
    ApplyViewFont();
    LRESULT tall = SendMessageW(view, LB_GETITEMHEIGHT, 0, 0);
    ChangeFontSize(-1);
    EXPECT_EQ(8, settings.font.lfHeight);
    EXPECT_EQ(reinterpret_cast<LRESULT>(app.viewFont), SendMessageW(view, WM_GETFONT, 0, 0));
    EXPECT_LE(SendMessageW(view, LB_GETITEMHEIGHT, 0, 0), tall);
    before = app.viewFont;
    ChangeFontSize(-1);
    EXPECT_EQ(8, settings.font.lfHeight);
    EXPECT_EQ(before, app.viewFont);

    ChangeFontSize(3);
    EXPECT_EQ(11, settings.font.lfHeight);
}

TEST_F(RowsView, HorizontalExtentIsBoundedByTheRowLengthWhenWrapping) {
    settings.rowLength = 80;
    settings.wrapLines = 0;
    logSource.longestRow = 300;
    UpdateHorizontalExtent();
    LRESULT unwrapped = SendMessageW(view, LB_GETHORIZONTALEXTENT, 0, 0);
    settings.wrapLines = 1;
    UpdateHorizontalExtent();
    LRESULT wrapped = SendMessageW(view, LB_GETHORIZONTALEXTENT, 0, 0);
    logSource.longestRow = 80;
    UpdateHorizontalExtent();
    EXPECT_EQ(wrapped, SendMessageW(view, LB_GETHORIZONTALEXTENT, 0, 0));
    ASSERT_GT(wrapped, 4);
    EXPECT_EQ((wrapped - 4) * 300 / 80, unwrapped - 4);
    // Wider than the window: the horizontal scroll bar shows; a short row hides it.
    RECT client;
    GetClientRect(main, &client);
    ASSERT_GT(unwrapped, client.right);
    settings.wrapLines = 0;
    logSource.longestRow = 300;
    UpdateHorizontalExtent();
    EXPECT_TRUE(GetWindowLongW(view, GWL_STYLE) & WS_HSCROLL);
    logSource.longestRow = 2;
    UpdateHorizontalExtent();
    EXPECT_FALSE(GetWindowLongW(view, GWL_STYLE) & WS_HSCROLL);
    Tick(Lines(0, 3), 80);   // the list box's own scroll bar updates keep it hidden
    harness::Pump(20);
    EXPECT_FALSE(GetWindowLongW(view, GWL_STYLE) & WS_HSCROLL);
}

namespace {

// Presses a button of the next common dialog this thread shows, from inside its modal loop.
struct DialogAnswer {
    static inline int button = IDCANCEL;
    static inline std::function<void(HWND)> prepare;
    static BOOL CALLBACK FindDialog(HWND w, LPARAM found) {
        wchar_t name[16] = L"";
        GetClassNameW(w, name, 16);
        if (lstrcmpW(name, L"#32770") || !IsWindowVisible(w)) return TRUE;
        *reinterpret_cast<HWND*>(found) = w;
        return FALSE;
    }
    static void CALLBACK Timer(HWND, UINT, UINT_PTR id, DWORD) {
        HWND dialog = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
        if (!dialog) return;
        KillTimer(nullptr, id);
        if (prepare) prepare(dialog);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
    }
    static void Arm(int pressed, std::function<void(HWND)> before = nullptr) {
        button = pressed;
        prepare = std::move(before);
        SetTimer(nullptr, 0, 50, Timer);
    }
};

}  // namespace

TEST_F(RowsView, CancelledFontAndBackgroundDialogsChangeNothing) {
    Settings saved = settings;
    HFONT font = app.viewFont;
    HBRUSH brush = app.backgroundBrush;
    DialogAnswer::Arm(IDCANCEL);
    FontDialogCommand();
    DialogAnswer::Arm(IDCANCEL);
    BackgroundDialogCommand();
    EXPECT_EQ(0, memcmp(&saved, &settings, sizeof saved));
    EXPECT_EQ(font, app.viewFont);
    EXPECT_EQ(brush, app.backgroundBrush);
}

TEST_F(RowsView, ConfirmedFontDialogKeepsAPositiveHeight) {
    settings.font.lfHeight = -20;   // as a hand-edited registry value might hold it
    HFONT before = app.viewFont;
    DialogAnswer::Arm(IDOK);
    FontDialogCommand();
    EXPECT_GT(settings.font.lfHeight, 0);
    EXPECT_NE(before, app.viewFont);
    EXPECT_EQ(reinterpret_cast<LRESULT>(app.viewFont), SendMessageW(view, WM_GETFONT, 0, 0));
}

TEST_F(RowsView, ConfirmedBackgroundDialogMakesANewBrush) {
    settings.backgroundColor = RGB(255, 255, 255);
    HBRUSH before = app.backgroundBrush;
    DialogAnswer::Arm(IDOK, [](HWND dialog) {
        // The full dialog's red, green and blue fields (controls 706 to 708).
        SetDlgItemTextW(dialog, 706, L"10");
        SetDlgItemTextW(dialog, 707, L"20");
        SetDlgItemTextW(dialog, 708, L"30");
    });
    BackgroundDialogCommand();
    EXPECT_EQ(RGB(10, 20, 30), settings.backgroundColor);
    EXPECT_NE(before, app.backgroundBrush);
    LOGBRUSH logBrush{};
    GetObjectW(app.backgroundBrush, sizeof logBrush, &logBrush);
    EXPECT_EQ(RGB(10, 20, 30), logBrush.lbColor);
}

namespace {

// Pixels of a 32-bit top-down bitmap of the view's client width and one row's height.
struct Strip {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    const uint32_t* bits = nullptr;
    int width = 0, height = 0;
    Strip(int w, int h) : width(w), height(h) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* pixels = nullptr;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
        bits = static_cast<const uint32_t*>(pixels);
        old = SelectObject(dc, bitmap);
    }
    ~Strip() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    std::vector<uint32_t> Pixels() const {
        GdiFlush();
        return std::vector<uint32_t>(bits, bits + width * height);
    }
};

int ClientWidth(HWND box) {
    RECT client{};
    GetClientRect(box, &client);
    return client.right;
}

// What the view's own painting puts into a device context for the row's place: the list box
// paints the visible rows and asks the main window to draw each.
std::vector<uint32_t> PaintedStrip(HWND box, int row) {
    const int height = static_cast<int>(SendMessageW(box, LB_GETITEMHEIGHT, 0, 0));
    const int y = (row - static_cast<int>(SendMessageW(box, LB_GETTOPINDEX, 0, 0))) * height;
    Strip whole(ClientWidth(box), y + height);
    SendMessageW(box, WM_PAINT, reinterpret_cast<WPARAM>(whole.dc), 0);
    std::vector<uint32_t> pixels = whole.Pixels();
    return std::vector<uint32_t>(pixels.end() - static_cast<size_t>(whole.width) * height, pixels.end());
}

// The same row drawn by hand: its text in the view font and the given colours, placed as the
// plain list box places it, shifted left by the horizontal scroll.
std::vector<uint32_t> ExpectedStrip(HWND box, int row, COLORREF text, COLORREF back) {
    const int height = static_cast<int>(SendMessageW(box, LB_GETITEMHEIGHT, 0, 0));
    Strip strip(ClientWidth(box), height);
    std::wstring units(static_cast<size_t>(SendMessageW(box, LB_GETTEXTLEN, row, 0)) + 1, L'\0');
    units.resize(static_cast<size_t>(SendMessageW(box, LB_GETTEXT, row, reinterpret_cast<LPARAM>(units.data()))));
    HGDIOBJ font = SelectObject(strip.dc, app.viewFont);
    SetTextColor(strip.dc, text);
    SetBkColor(strip.dc, back);
    RECT all{0, 0, strip.width, height};
    ExtTextOutW(strip.dc, 1 - GetScrollPos(box, SB_HORZ), 0, ETO_OPAQUE | ETO_CLIPPED, &all, units.c_str(),
                static_cast<UINT>(units.size()), nullptr);
    SelectObject(strip.dc, font);
    return strip.Pixels();
}

}  // namespace

// Highlighting rules switch the view to one drawn by the program and back; the rows, the
// selection, the caret, the top row and the horizontal scroll stay, and the row height follows
// the font as the plain list box's does.
TEST_F(RowsView, SwitchingToRulesAndBackKeepsRowsSelectionAndScroll) {
    settings.wrapLines = 0;
    std::wstring text;
    for (int i = 0; i < 300; ++i) text += (i % 7 ? L"row " : L"ERROR row ") + std::to_wstring(i) + std::wstring(150, L'x') + L"\n";
    Tick(text, kMaxRowLimit);
    UpdateHorizontalExtent();
    SendMessageW(view, LB_SELITEMRANGEEX, 20, 25);
    SendMessageW(view, LB_SETSEL, TRUE, 200);
    SendMessageW(view, LB_SETCARETINDEX, 200, FALSE);
    SendMessageW(view, LB_SETTOPINDEX, 150, 0);
    SendMessageW(view, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 40), 0);
    SetFocus(view);
    auto state = [](HWND box) {
        return std::vector<LRESULT>{SendMessageW(box, LB_GETCARETINDEX, 0, 0), SendMessageW(box, LB_GETANCHORINDEX, 0, 0),
                                    SendMessageW(box, LB_GETTOPINDEX, 0, 0), GetScrollPos(box, SB_HORZ),
                                    SendMessageW(box, LB_GETITEMHEIGHT, 0, 0), SendMessageW(box, LB_GETHORIZONTALEXTENT, 0, 0)};
    };
    const std::vector<std::wstring> rows = Rows();
    const std::vector<int> selected = Selected(view);
    const std::vector<LRESULT> before = state(view);
    ASSERT_GT(before[3], 0);

    highlights.rules = RuleSet{};
    highlights.rules.rules[0] = {kRuleMatchCase, RGB(255, 255, 255), RGB(200, 0, 0), L"ERROR"};
    highlights.rules.count = 1;
    ApplyHighlights();
    HWND drawn = app.view;
    ASSERT_NE(view, drawn);
    EXPECT_FALSE(IsWindow(view));
    EXPECT_EQ((kViewStyle | LBS_OWNERDRAWFIXED) & ~WS_HSCROLL, static_cast<DWORD>(GetWindowLongW(drawn, GWL_STYLE)) & ~(WS_VISIBLE | WS_HSCROLL));
    EXPECT_EQ(drawn, GetFocus());
    EXPECT_TRUE(rows == harness::Rows(drawn));
    EXPECT_EQ(selected, Selected(drawn));
    EXPECT_EQ(before, state(drawn));
    // Painted through the main window: each visible row in its colours, its text where the
    // plain list box puts it under the horizontal scroll.
    for (int row : {150, 154}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(ExpectedStrip(drawn, row, row % 7 ? settings.textColor : RGB(255, 255, 255),
                                row % 7 ? settings.backgroundColor : RGB(200, 0, 0)),
                  PaintedStrip(drawn, row));
    }

    // Font steps: the row height follows, as the plain list box's would.
    ChangeFontSize(5);
    HWND reference = CreateWindowExW(0, L"LISTBOX", L"", kViewStyle, 0, 0, 100, 100, main, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(reference, WM_SETFONT, reinterpret_cast<WPARAM>(app.viewFont), FALSE);
    EXPECT_EQ(SendMessageW(reference, LB_GETITEMHEIGHT, 0, 0), SendMessageW(drawn, LB_GETITEMHEIGHT, 0, 0));
    DestroyWindow(reference);
    ChangeFontSize(-5);

    // A rule switched off is no rule: back to the plain list box, the same state again.
    highlights.rules.rules[0].flags |= kRuleOff;
    ApplyHighlights();
    view = app.view;
    ASSERT_NE(drawn, view);
    EXPECT_EQ(kViewStyle & ~WS_HSCROLL, static_cast<DWORD>(GetWindowLongW(view, GWL_STYLE)) & ~(WS_VISIBLE | WS_HSCROLL));
    EXPECT_TRUE(rows == Rows());
    EXPECT_EQ(selected, Selected(view));
    EXPECT_EQ(before, state(view));
    highlights.rules = RuleSet{};
    ApplyHighlights();
}

// Whole lines: a line's rows take one mark, decided on the whole line, also when the line reached
// the view in pieces; under filters a line's rows wait for its line feed and go or stay together.
TEST_F(RowsView, LinesAreJudgedWholeAcrossTheirRowsAndTheirTicks) {
    auto data = [&](int row) { return static_cast<uint32_t>(SendMessageW(app.view, LB_GETITEMDATA, row, 0)); };
    highlights.rules = RuleSet{};
    highlights.rules.rules[0] = {0, RGB(255, 255, 255), RGB(200, 0, 0), L"disk"};
    highlights.rules.count = 1;
    ApplyHighlights();

    // Two rows of a line without its end show at the end of the tick, unmarked so far...
    Tick(L"plain\naaaaaaaaaabbbbbbbbbbcc", 10);
    ASSERT_EQ((std::vector<std::wstring>{L"plain", L"aaaaaaaaaa", L"bbbbbbbbbb"}), harness::Rows(app.view));
    EXPECT_EQ(0u, data(1));
    EXPECT_EQ(kMarkContinues, data(2));
    // ...and are marked with their line once its last row brings the match.
    Tick(L" disk\nafter\n", 10);
    ASSERT_EQ((std::vector<std::wstring>{L"plain", L"aaaaaaaaaa", L"bbbbbbbbbb", L"cc disk", L"after"}),
              harness::Rows(app.view));
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 1 | kMarkContinues, 1 | kMarkContinues, 0}),
              (std::vector<uint32_t>{data(0), data(1), data(2), data(3), data(4)}));
    // New rules mark the rows in the view again, a line's rows together.
    lstrcpyW(highlights.rules.rules[0].text, L"after");
    ApplyHighlights();
    EXPECT_EQ((std::vector<uint32_t>{0, 0, kMarkContinues, kMarkContinues, 1}),
              (std::vector<uint32_t>{data(0), data(1), data(2), data(3), data(4)}));

    // Rules gone while a line is half in the view: the rest of it follows as plain rows.
    Tick(L"half way there, ", 10);
    EXPECT_TRUE(LastLineUnfinished());
    highlights.rules.rules[0].flags |= kRuleOff;
    ApplyHighlights();
    Tick(L"ok\n", 10);
    std::vector<std::wstring> tail = harness::Rows(app.view);
    tail.erase(tail.begin(), tail.end() - 2);
    EXPECT_EQ((std::vector<std::wstring>{L"half way t", L"here, ok"}), tail);
    EXPECT_FALSE(LastLineUnfinished());

    // Filters: the rows of an unfinished line wait, then the line goes whole, judged by its end.
    SendMessageW(app.view, LB_RESETCONTENT, 0, 0);
    ResetRowState();
    settings.filter = 1;
    filters.rules = RuleSet{};
    filters.rules.rules[0] = {kRuleMatchCase, 0, 0, L"ERROR"};
    filters.rules.rules[1] = {kRuleHide, 0, 0, L"cache"};
    filters.rules.count = 2;
    PrepareFilters();
    Tick(L"INFO x\nERROR aaaaaaaaaaaaaaa", 10);
    EXPECT_EQ(0, harness::RowCount(app.view));
    EXPECT_TRUE(LastLineUnfinished());
    Tick(L" bbb\nERROR cccccccccc in the cache\nERROR", 10);
    EXPECT_EQ((std::vector<std::wstring>{L"ERROR aaaa", L"aaaaaaaaaa", L"a bbb"}), harness::Rows(app.view));
    EXPECT_EQ(2u, filters.hiddenLines);
    // A line longer than the judged length is judged by its start: the late match does not count,
    // and the line is counted once.
    Tick(L" late\n" + std::wstring(kJudgedLineUnits, L'x') + L"ERROR\n", kMaxRowLimit);
    EXPECT_EQ(L"ERROR late", harness::Rows(app.view).back());
    EXPECT_EQ(3u, filters.hiddenLines);
    EXPECT_FALSE(LastLineUnfinished());
    // Blank lines that Restrict empty lines leaves out are not the filters' to count: of a run of
    // three, only the one blank row shown, which the Show only rule then hides.
    settings.cutEmpty = 1;
    Tick(L"\n\n\n", kMaxRowLimit);
    EXPECT_EQ(4u, filters.hiddenLines);
    settings.cutEmpty = 0;
    std::wstring longLine = L"ERROR" + std::wstring(kJudgedLineUnits + 5000, L'y');
    Tick(longLine + L"\n", kMaxRowLimit);
    std::vector<std::wstring> rows = harness::Rows(app.view);
    std::wstring joined;
    for (size_t i = 4; i < rows.size(); ++i) joined += rows[i];
    EXPECT_EQ(longLine, joined) << "every row of a long shown line, in order";
    settings.filter = 0;
    ReleaseMatchSet(&filters.prepared);
    filters.rules = RuleSet{};
    highlights.rules = RuleSet{};
    ApplyHighlights();
}

// A horizontal position past what the thumb message carries survives the switch whole.
TEST_F(RowsView, SwitchKeepsAHorizontalPositionPast16Bits) {
    settings.wrapLines = 0;
    settings.font.lfHeight = 96;
    ApplyViewFont();
    std::wstring text;
    for (int i = 0; i < 20; ++i) text += L"ERROR " + std::wstring(3000, L'w') + L"\n";
    Tick(text, kMaxRowLimit);
    UpdateHorizontalExtent();
    ASSERT_GT(SendMessageW(view, LB_GETHORIZONTALEXTENT, 0, 0), 100000);
    for (int i = 0; i < 1000 && GetScrollPos(view, SB_HORZ) < 70000; ++i) SendMessageW(view, WM_HSCROLL, SB_PAGERIGHT, 0);
    SendMessageW(view, WM_HSCROLL, SB_LINERIGHT, 0);
    const int column = GetScrollPos(view, SB_HORZ);
    ASSERT_GT(column, 0xFFFF);
    highlights = Highlights{};
    highlights.rules.rules[0] = {kRuleMatchCase, RGB(255, 255, 255), RGB(200, 0, 0), L"ERROR"};
    highlights.rules.count = 1;
    ApplyHighlights();
    ASSERT_NE(view, app.view);
    EXPECT_EQ(column, GetScrollPos(app.view, SB_HORZ));
    highlights = Highlights{};
    ApplyHighlights();
    EXPECT_EQ(column, GetScrollPos(app.view, SB_HORZ));
    view = app.view;
}

// The drawn view's list box finds memory for itself but not for the rows: the switch is undone,
// and the old list box, with the only copy of the rows, stays.
TEST_F(RowsView, SwitchThatCannotTakeTheRowsLeavesTheOldView) {
    std::wstring text;
    for (int i = 0; i < 3000; ++i) text += L"row " + std::to_wstring(i) + L" " + std::wstring(1000, L'y') + L"\n";
    settings.linesLimit = 5000;
    Tick(text, kMaxRowLimit);
    const std::vector<std::wstring> rows = Rows();
    ASSERT_EQ(3000u, rows.size());
    highlights = Highlights{};
    highlights.rules.rules[0] = {0, RGB(255, 255, 255), RGB(200, 0, 0), L"row 1"};
    highlights.rules.count = 1;
    bool switched = true;
    {
        MemoryTaken held;
        held.Give(512 * 1024);   // enough for a window, far from the rows' 6 MB
        switched = RebuildView(true);
    }
    EXPECT_FALSE(switched);
    EXPECT_EQ(view, app.view);
    EXPECT_TRUE(IsWindow(view));
    EXPECT_FALSE(IsDrawnView(app.view));
    EXPECT_TRUE(rows == Rows());
    // With memory again the switch succeeds.
    EXPECT_TRUE(RebuildView(true));
    EXPECT_TRUE(rows == harness::Rows(app.view));
    highlights = Highlights{};
    ApplyHighlights();
    view = app.view;
}
