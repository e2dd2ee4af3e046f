// The watch of a real file in the real main window: opening, the kilobyte cut, mark detection,
// stored and chosen charsets, truncation, rotation, deletion, pause, erase, the timer-driven tick.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>
#include "harness.h"
#include "logsource/logsource.h"
#include "logsource/watch.h"
#include "persist/settings.h"
#include "shell/app.h"
#include "dialogs/ui.h"
#include "ids.h"

namespace {

using Bytes = std::string;

// Answers the next message box of this thread from a thread timer that its modal loop dispatches.
struct BoxAnswer {
    int button = IDOK;
    int seen = 0;
    std::wstring text, caption;
    // Run once when a box is first found; the box is answered once `until` holds (or about 5 s on).
    std::function<void()> whileShown;
    std::function<bool()> until;
    int waited = 0;
};
BoxAnswer* boxAnswer = nullptr;

BOOL CALLBACK FindBox(HWND window, LPARAM found) {
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK AnswerBox(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
    if (!box || !boxAnswer) return;
    if (boxAnswer->whileShown) {
        auto run = boxAnswer->whileShown;
        boxAnswer->whileShown = nullptr;
        run();
    }
    if (boxAnswer->until && !boxAnswer->until() && ++boxAnswer->waited < 100) return;
    boxAnswer->until = nullptr;
    wchar_t text[2048] = L"";
    GetDlgItemTextW(box, 0xFFFF, text, 2048);
    boxAnswer->text = text;
    GetWindowTextW(box, text, 2048);
    boxAnswer->caption = text;
    ++boxAnswer->seen;
    PostMessageW(box, WM_COMMAND, boxAnswer->button, 0);
}

HMENU MakeMenu() {
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu(), view = CreatePopupMenu(), charset = CreatePopupMenu();
    for (UINT id : {IDM_PRINT, IDM_CLOSE}) AppendMenuW(file, MF_STRING, id, L"x");
    for (UINT id = IDM_PAUSE; id <= IDM_LOCK_SCROLL; ++id) AppendMenuW(view, MF_STRING, id, L"x");
    AppendMenuW(view, MF_STRING, IDM_RELOAD, L"x");
    for (UINT id : {1305u, 1303u, 1304u, 0u, 1309u, 1302u, 1306u, 1307u, 1308u, 1310u, 0u, 1319u})
        AppendMenuW(charset, id ? MF_STRING : MF_SEPARATOR, id, L"x");
    AppendMenuW(bar, MF_POPUP, UINT_PTR(file), L"F");
    AppendMenuW(bar, MF_POPUP, UINT_PTR(view), L"V");
    AppendMenuW(bar, MF_POPUP, UINT_PTR(charset), L"C");
    return bar;
}

bool Grayed(UINT id) { return (GetMenuState(app.mainMenu, id, MF_BYCOMMAND) & MF_GRAYED) != 0; }

UINT RadioItem() {
    UINT found = 0;
    for (UINT id = IDM_CHARSET_FIRST; id <= IDM_CHARSET_LAST; ++id)
        if (GetMenuState(app.mainMenu, id, MF_BYCOMMAND) != UINT(-1) && IsMenuCommandChecked(id)) found = found ? UINT(-1) : id;
    return found;
}



std::vector<std::wstring> Lines(std::initializer_list<const wchar_t*> lines) {
    return std::vector<std::wstring>(lines.begin(), lines.end());
}

class Watch : public testing::Test {
protected:
    HWND main = nullptr;
    std::wstring dir;
    BoxAnswer answer;

    void SetUp() override {
        SetDefaultSettings();
        InitLogSource();
        HINSTANCE instance = GetModuleHandleW(nullptr);
        ASSERT_TRUE(RegisterMainWindowClass(instance));
        main = CreateMainWindow(instance, SW_SHOWNOACTIVATE);
        ASSERT_NE(nullptr, main);
        // The window's own menu decides whether an accelerator's command is enabled.
        app.mainMenu = MakeMenu();
        SetMenu(main, app.mainMenu);
        dir = harness::NewTempDir();
        boxAnswer = &answer;
        SetTimer(nullptr, 0, 50, AnswerBox);
    }
    void TearDown() override {
        CloseLogFile();
        DestroyWindow(main);  // destroys its menu too
        harness::Pump(20);
        app.mainMenu = nullptr;
        boxAnswer = nullptr;
    }
    std::wstring Path(const wchar_t* name) const { return dir + L"\\" + name; }
    std::vector<std::wstring> Rows() const { return harness::Rows(app.view); }
    // Everything the file holds has been read by a tick, and its rows are in the view: a tick short
    // of time leaves rows waiting for the next.
    bool WaitRead(DWORD timeoutMs = 5000) {
        return harness::WaitUntil([] {
            uint64_t size = 0;
            return logSource.handle && QueryFileSize(logSource.handle, &size) && logSource.bytesConsumed == size &&
                   logSource.lastSize == size && PendingRowCount() == 0;
        }, timeoutMs);
    }
    bool OpenAndRead(const std::wstring& path, DWORD timeoutMs = 5000) { return OpenLogFile(path.c_str()) && WaitRead(timeoutMs); }
};

TEST_F(Watch, OpenGrowCloseAndTheMenusAndTitleThatGoWithThem) {
    std::wstring path = Path(L"app.log");
    ASSERT_TRUE(harness::WriteBytes(path, "first\r\nsecond\n"));
    for (UINT id : {IDM_PRINT, IDM_CLOSE, IDM_PAUSE, IDM_GOTO, IDM_LOCK_SCROLL, IDM_RELOAD}) EnableMenuCommand(id, false);

    ASSERT_TRUE(OpenAndRead(path));
    EXPECT_EQ(Lines({L"first", L"second"}), Rows());
    EXPECT_EQ(L"app.log - Brindle", harness::WindowText(main));
    std::wstring expectedPath = L"\\\\?\\" + path;
    EXPECT_STREQ(expectedPath.c_str(), logSource.fullPath);
    EXPECT_EQ(expectedPath + L":Tervo.Brindle.Properties", logSource.propertiesPath);
    for (UINT id : {IDM_PRINT, IDM_CLOSE, IDM_PAUSE, IDM_COPY, IDM_GOTO, IDM_LOCK_SCROLL, IDM_RELOAD}) EXPECT_FALSE(Grayed(id)) << id;

    // A partial line waits for its line feed.
    ASSERT_TRUE(harness::AppendBytes(path, "thi"));
    ASSERT_TRUE(WaitRead());
    EXPECT_EQ(2u, Rows().size());
    ASSERT_TRUE(harness::AppendBytes(path, "rd\n"));
    ASSERT_TRUE(WaitRead());
    EXPECT_EQ(Lines({L"first", L"second", L"third"}), Rows());

    PauseCommand();
    CloseLogFile();
    EXPECT_EQ(nullptr, logSource.handle);
    EXPECT_FALSE(logSource.paused);
    EXPECT_EQ(0, harness::RowCount(app.view));
    EXPECT_EQ(L"Brindle", harness::WindowText(main));
    for (UINT id : {IDM_PRINT, IDM_CLOSE, IDM_PAUSE, IDM_FIND_NEXT, IDM_LOCK_SCROLL, IDM_RELOAD}) EXPECT_TRUE(Grayed(id)) << id;
    EXPECT_FALSE(IsMenuCommandChecked(IDM_PAUSE));
    EXPECT_EQ(expectedPath, logSource.fullPath);   // kept after Close
    harness::Pump(100);
    EXPECT_EQ(0, harness::RowCount(app.view));
    EXPECT_EQ(0, answer.seen);
}

TEST_F(Watch, MissingFileShowsTheErrorAndKeepsTheWatchedOne) {
    std::wstring path = Path(L"kept.log");
    ASSERT_TRUE(harness::WriteBytes(path, "kept\n"));
    ASSERT_TRUE(OpenAndRead(path));
    EXPECT_FALSE(OpenLogFile(Path(L"missing.log").c_str()));
    EXPECT_EQ(1, answer.seen);
    EXPECT_EQ(0u, answer.text.find(UiString(IDS_ERR_OPEN)));
    EXPECT_GT(answer.text.size(), wcslen(UiString(IDS_ERR_OPEN)));   // the system's explanation follows
    EXPECT_EQ(L"Error", answer.caption);
    ASSERT_TRUE(harness::AppendBytes(path, "more\n"));
    ASSERT_TRUE(WaitRead());
    EXPECT_EQ(Lines({L"kept", L"more"}), Rows());
    EXPECT_EQ(L"kept.log - Brindle", harness::WindowText(main));
}

// Lines of varying length, numbered, so that any cut falls inside a line.
Bytes NumberedLines(size_t minimumBytes, std::vector<size_t>* starts) {
    Bytes text;
    for (int n = 0; text.size() < minimumBytes; ++n) {
        starts->push_back(text.size());
        text += "line " + std::to_string(n) + " " + Bytes(n % 37, 'x') + "\n";
    }
    return text;
}

TEST_F(Watch, KilobyteLimitLoadsTheTailFromTheFirstWholeLine) {
    settings.linesLimit = 65535;
    std::vector<size_t> starts;
    Bytes big = NumberedLines(10 * 1024 * 1024, &starts);
    std::wstring bigPath = Path(L"big.log");
    ASSERT_TRUE(harness::WriteBytes(bigPath, big));
    ASSERT_TRUE(OpenAndRead(bigPath));
    size_t cut = big.size() - 256 * 1024;
    size_t first = big.find('\n', cut) + 1;
    auto rows = Rows();
    ASSERT_FALSE(rows.empty());
    size_t firstLine = std::find(starts.begin(), starts.end(), first) - starts.begin();
    EXPECT_EQ(starts.size() - firstLine, rows.size());
    EXPECT_EQ(big.substr(first, big.find('\n', first) - first), harness::Utf8(rows.front()));
    EXPECT_EQ(big.substr(starts.back(), big.size() - 1 - starts.back()), harness::Utf8(rows.back()));

    // Exactly at the limit: not cut. Then a smaller file after the larger one.
    starts.clear();
    Bytes exact = NumberedLines(256 * 1024 - 64, &starts);
    exact += Bytes(256 * 1024 - exact.size() - 1, 'y') + "\n";
    ASSERT_EQ(size_t(256 * 1024), exact.size());
    std::wstring exactPath = Path(L"exact.log");
    ASSERT_TRUE(harness::WriteBytes(exactPath, exact));
    ASSERT_TRUE(OpenAndRead(exactPath));
    rows = Rows();
    ASSERT_EQ(starts.size() + 1, rows.size());
    EXPECT_EQ(L"line 0 ", rows.front());

    std::wstring smallPath = Path(L"small.log");
    ASSERT_TRUE(harness::WriteBytes(smallPath, "only\n"));
    ASSERT_TRUE(OpenAndRead(smallPath));
    EXPECT_EQ(Lines({L"only"}), Rows());
}

TEST_F(Watch, KilobyteCutStaysOnTheUnitGridOfWideCharsets) {
    settings.kbLimit = 1;
    std::wstring text;
    for (int n = 0; n < 200; ++n) text += L"w\x00E9" + std::to_wstring(n) + L"\n";
    for (uint32_t charset : {16u, 17u, 18u, 19u}) {
        // A stray byte at the end moves size - limit off the unit grid.
        Bytes bytes = harness::Encode(charset, L"\xFEFF" + text) + "!";
        std::wstring path = Path((L"wide" + std::to_wstring(charset) + L".log").c_str());
        ASSERT_TRUE(harness::WriteBytes(path, bytes));
        ASSERT_TRUE(OpenAndRead(path));
        EXPECT_EQ(charset, settings.charset);
        auto rows = Rows();
        ASSERT_FALSE(rows.empty()) << charset;
        EXPECT_EQ(L"w\x00E9" L"199", rows.back()) << charset;
        for (const auto& row : rows) EXPECT_EQ(0u, row.find(L"w\x00E9")) << charset;
    }
}

TEST_F(Watch, ByteOrderMarksChooseTheCharsetAndAreSkipped) {
    struct Case { const wchar_t* name; Bytes bytes; uint32_t charset; uint32_t mark; UINT item; std::vector<std::wstring> rows; };
    const std::wstring text = L"caf\x00E9\nline two\n";
    const auto rows = Lines({L"caf\x00E9", L"line two"});
    const Case cases[] = {
        {L"u32be.log", harness::Encode(19, L"\xFEFF" + text), 19, 4, 1310, rows},
        {L"u32le.log", harness::Encode(18, L"\xFEFF" + text), 18, 4, 1308, rows},
        {L"u16le.log", harness::Encode(16, L"\xFEFF" + text), 16, 2, 1306, rows},
        {L"u16be.log", harness::Encode(17, L"\xFEFF" + text), 17, 2, 1307, rows},
        {L"u8.log", "\xEF\xBB\xBF" + harness::Encode(65001, text), 65001, 3, 1302, rows},
        {L"u7.log", "+/v8-" + harness::Encode(65000, text), 65000, 5, 1309, rows},
        // UTF-16 LE text that starts with NUL looks like a UTF-32 LE mark.
        {L"nul16.log", harness::Encode(16, std::wstring(L"\xFEFF") + wchar_t(0) + L"AB\n"), 18, 4, 1308, {}},
    };
    for (const Case& c : cases) {
        settings.charset = CHARSET_CURRENT;
        std::wstring path = Path(c.name);
        ASSERT_TRUE(harness::WriteBytes(path, c.bytes));
        ASSERT_TRUE(OpenAndRead(path)) << c.name;
        EXPECT_EQ(c.charset, settings.charset) << c.name;
        EXPECT_EQ(c.charset, logSource.detectedCharset) << c.name;
        EXPECT_EQ(c.mark, logSource.bomLength) << c.name;
        EXPECT_EQ(c.item, RadioItem()) << c.name;
        if (!c.rows.empty()) {
            EXPECT_EQ(c.rows, Rows()) << c.name;
        }
    }

    // The UTF-7 mark in its other forms is decoded with the text and dropped.
    Bytes seven = harness::Encode(65000, L"\xFEFF\x00E9t\x00E9\n");
    ASSERT_EQ(0u, seven.find("+/v8")) << seven;
    ASSERT_NE('-', seven[4]);
    std::wstring sevenPath = Path(L"u7b.log");
    ASSERT_TRUE(harness::WriteBytes(sevenPath, seven));
    ASSERT_TRUE(OpenAndRead(sevenPath));
    EXPECT_EQ(65000u, settings.charset);
    EXPECT_EQ(0u, logSource.bomLength);
    EXPECT_EQ(Lines({L"\x00E9t\x00E9"}), Rows());

    // Under six bytes there is no detection: the fallback decodes the mark as text.
    std::wstring tiny = Path(L"tiny.log");
    ASSERT_TRUE(harness::WriteBytes(tiny, "\xFF\xFE" "a\n"));
    ASSERT_TRUE(OpenAndRead(tiny));
    EXPECT_EQ(0u, logSource.detectedCharset);
    EXPECT_EQ(CHARSET_CURRENT, settings.charset);
    ASSERT_EQ(1u, Rows().size());
    EXPECT_EQ(L'a', Rows()[0].back());

    // Without autodetection the chosen UTF-16 LE reads from offset 0 and the mark is filtered out.
    settings.autodetect = 0;
    settings.charset = CHARSET_UTF16LE;
    ASSERT_TRUE(OpenAndRead(Path(L"u16le.log")));
    EXPECT_EQ(16u, settings.charset);
    EXPECT_EQ(rows, Rows());
}

TEST_F(Watch, StoredCharsetNameIsUsedWhenNoMarkDecides) {
    std::wstring plain = Path(L"stored.log"), marked = Path(L"stored8.log");
    ASSERT_TRUE(harness::WriteBytes(plain, harness::Encode(17, L"big end\n")));
    ASSERT_TRUE(harness::WriteBytes(marked, "\xEF\xBB\xBF" "eight\n"));
    for (const auto& path : {plain, marked})
        ASSERT_TRUE(WritePrivateProfileStringW(L"Format", L"Charset", L"UCS-2BE", (path + L":Tervo.Brindle.Properties").c_str()));
    ASSERT_TRUE(OpenAndRead(plain));
    EXPECT_EQ(17u, settings.charset);
    EXPECT_EQ(Lines({L"big end"}), Rows());
    EXPECT_EQ(1307u, RadioItem());
    ASSERT_TRUE(OpenAndRead(marked));
    EXPECT_EQ(65001u, settings.charset);
    EXPECT_EQ(Lines({L"eight"}), Rows());
    // An unknown stored name changes nothing.
    std::wstring odd = Path(L"odd.log");
    ASSERT_TRUE(harness::WriteBytes(odd, "odd\n"));
    WritePrivateProfileStringW(L"Format", L"Charset", L"EBCDIC", (odd + L":Tervo.Brindle.Properties").c_str());
    ASSERT_TRUE(OpenAndRead(odd));
    EXPECT_EQ(CHARSET_CURRENT, settings.charset);
}

TEST_F(Watch, CharsetCommandsStoreTheChoiceAndAutodetectReloads) {
    std::wstring first = Path(L"be.log"), second = Path(L"plain.log"), third = Path(L"marked.log");
    ASSERT_TRUE(harness::WriteBytes(first, harness::Encode(17, L"wide\n")));
    ASSERT_TRUE(harness::WriteBytes(second, "narrow\n"));
    ASSERT_TRUE(harness::WriteBytes(third, "\xEF\xBB\xBF" "xy\n"));
    ASSERT_TRUE(OpenAndRead(first));
    CharsetCommand(IDM_CHARSET_UTF16BE);
    ASSERT_TRUE(WaitRead());
    EXPECT_EQ(Lines({L"wide"}), Rows());
    EXPECT_EQ(17u, settings.charset);
    EXPECT_EQ(CHARSET_CURRENT, logSource.fallbackCharset);
    EXPECT_EQ(1307u, RadioItem());
    wchar_t stored[64] = L"";
    GetPrivateProfileStringW(L"Format", L"Charset", L"", stored, 64, logSource.propertiesPath);
    EXPECT_STREQ(L"UCS-2BE", stored);

    // An unmarked file without a stored name gets the fallback, not the last choice.
    ASSERT_TRUE(OpenAndRead(second));
    EXPECT_EQ(CHARSET_CURRENT, settings.charset);
    CharsetCommand(IDM_CHARSET_UTF8);
    ASSERT_TRUE(WaitRead());
    EXPECT_EQ(65001u, logSource.fallbackCharset);

    // With no file open: the choice is kept for the next file, and no closed file's stream is written.
    CloseLogFile();
    CharsetCommand(IDM_CHARSET_UTF16LE);
    EXPECT_EQ(1306u, RadioItem());
    GetPrivateProfileStringW(L"Format", L"Charset", L"", stored, 64, (second + L":Tervo.Brindle.Properties").c_str());
    EXPECT_STREQ(L"UTF-8", stored);
    ASSERT_TRUE(OpenAndRead(third));
    EXPECT_EQ(16u, settings.charset);
    EXPECT_EQ(65001u, logSource.detectedCharset);

    // 1301: ANSI without a name in the stream.
    CharsetCommand(IDM_CHARSET_ANSI_RAW);
    EXPECT_EQ(CHARSET_ANSI, settings.charset);
    EXPECT_EQ(1303u, RadioItem());

    // Autodetect off: no reload. On: reload with detection.
    CheckMenuCommand(IDM_AUTODETECT, true);
    ASSERT_TRUE(WaitRead());
    size_t shown = Rows().size();
    AutodetectCommand();
    EXPECT_EQ(0u, settings.autodetect);
    EXPECT_EQ(shown, Rows().size());
    AutodetectCommand();
    EXPECT_EQ(1u, settings.autodetect);
    EXPECT_TRUE(IsMenuCommandChecked(IDM_AUTODETECT));
    EXPECT_EQ(0, harness::RowCount(app.view));
    ASSERT_TRUE(WaitRead());
    EXPECT_EQ(65001u, settings.charset);
    EXPECT_EQ(Lines({L"xy"}), Rows());
}

TEST_F(Watch, TruncationRereadsFromTheStartUnlessTheFileRegrewBetweenTicks) {
    std::wstring path = Path(L"trunc.log");
    ASSERT_TRUE(harness::WriteBytes(path, "\xEF\xBB\xBF" "one\ntwo\nthree\n"));
    ASSERT_TRUE(OpenAndRead(path));
    ASSERT_EQ(3u, Rows().size());
    ASSERT_TRUE(harness::WriteBytes(path, "\xEF\xBB\xBF" "x\n"));
    ASSERT_TRUE(WaitRead());
    EXPECT_EQ(Lines({L"x"}), Rows());
    ASSERT_TRUE(harness::AppendBytes(path, "y\n"));
    ASSERT_TRUE(WaitRead());
    EXPECT_EQ(Lines({L"x", L"y"}), Rows());

    // Truncated and regrown past the old size before the next tick: reading goes on at the old offset.
    std::wstring regrow = Path(L"regrow.log");
    ASSERT_TRUE(harness::WriteBytes(regrow, "aaaa\nbbbb\n"));
    ASSERT_TRUE(OpenAndRead(regrow));
    ASSERT_TRUE(harness::WriteBytes(regrow, "cc\ndddd\neeee\n"));
    ASSERT_TRUE(WaitRead());
    EXPECT_EQ(Lines({L"aaaa", L"bbbb", L"ee"}), Rows());

    // Cut in place but still larger than the kilobyte limit: only the tail is read again, from its
    // first whole line, as at opening.
    settings.kbLimit = 1;
    std::vector<size_t> starts;
    const Bytes big = NumberedLines(64 * 1024, &starts);
    std::wstring large = Path(L"large.log");
    ASSERT_TRUE(harness::WriteBytes(large, big));
    ASSERT_TRUE(OpenAndRead(large));
    const size_t kept = 40 * 1024 + 17;
    HANDLE writer = CreateFileW(large.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    EXPECT_NE(INVALID_SET_FILE_POINTER, SetFilePointer(writer, LONG(kept), nullptr, FILE_BEGIN));
    EXPECT_TRUE(SetEndOfFile(writer));
    CloseHandle(writer);
    ASSERT_TRUE(WaitRead());
    const size_t first = big.find('\n', kept - 1024) + 1;
    const size_t last = big.rfind('\n', kept - 1);
    std::vector<std::wstring> expected;
    for (size_t at = first; at <= last; at = big.find('\n', at) + 1)
        expected.push_back(std::wstring(big.begin() + at, big.begin() + big.find('\n', at)));
    EXPECT_EQ(expected, Rows());
    EXPECT_EQ(uint64_t(kept), logSource.bytesConsumed);
}

TEST_F(Watch, RotatedLogIsOpenedAfreshAndADeletedOneKeepsBeingRead) {
    std::wstring path = Path(L"rot.log");
    ASSERT_TRUE(harness::WriteBytes(path, "old 1\nold 2\n"));
    ASSERT_TRUE(OpenAndRead(path));
    ASSERT_TRUE(MoveFileW(path.c_str(), Path(L"rot.log.1").c_str()));
    ASSERT_TRUE(harness::WriteBytes(path, "new 1\n"));
    EXPECT_TRUE(harness::WaitUntil([&] { return Rows() == Lines({L"new 1"}); }, 5000));
    // The reopened file keeps the name the user gave, not the internal extended form.
    EXPECT_EQ(L"rot.log - Brindle", harness::WindowText(main));
    wchar_t part0[1024] = L"";
    SendMessageW(app.statusBar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(part0));
    EXPECT_EQ(path, std::wstring(part0));
    EXPECT_EQ(path, std::wstring(logSource.givenPath));
    ASSERT_TRUE(harness::AppendBytes(path, "new 2\n"));
    EXPECT_TRUE(harness::WaitUntil([&] { return Rows().size() == 2; }));

    // Deleted while watched, still written by its writer: no message, the old handle keeps reading.
    std::wstring gone = Path(L"gone.log");
    HANDLE writer = CreateFileW(gone.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    DWORD written = 0;
    WriteFile(writer, "before\n", 7, &written, nullptr);
    ASSERT_TRUE(OpenAndRead(gone));
    ASSERT_TRUE(DeleteFileW(gone.c_str()));
    harness::Pump(1200);
    WriteFile(writer, "after\n", 6, &written, nullptr);
    EXPECT_TRUE(harness::WaitUntil([&] { return Rows() == Lines({L"before", L"after"}); }, 3000));
    harness::Pump(1200);
    CloseHandle(writer);
    EXPECT_EQ(0, answer.seen);
    EXPECT_NE(nullptr, logSource.handle);
}

LRESULT CALLBACK NeverValidatedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return message == WM_PAINT ? 0 : DefWindowProcW(window, message, wParam, lParam);
}

// Every path on which the watch could end while the file stays open. A rotated file's reopen that
// fails waits in its error box: the old file, still open, keeps being followed meanwhile. A timer
// that cannot be armed shows in the status bar until a reload arms it. Timer messages starved by a
// paint that never validates: the message loop runs the overdue ticks itself.
TEST_F(Watch, SurveillanceNeverStopsUnseen) {
    std::wstring path = Path(L"held.log");
    ASSERT_TRUE(harness::WriteBytes(path, "one\n"));
    ASSERT_TRUE(OpenAndRead(path));
    ASSERT_TRUE(MoveFileW(path.c_str(), Path(L"held.log.1").c_str()));
    // The file now at the name admits no reader, so the reopen fails with its error box.
    HANDLE holder = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    answer.whileShown = [&] { harness::AppendBytes(Path(L"held.log.1"), "two\n"); };
    answer.until = [&] { return Rows() == Lines({L"one", L"two"}); };
    OpenReplacement();
    CloseHandle(holder);
    EXPECT_EQ(1, answer.seen);
    EXPECT_EQ(0u, answer.text.find(UiString(IDS_ERR_OPEN))) << harness::Utf8(answer.text);
    EXPECT_EQ(Lines({L"one", L"two"}), Rows()) << "no tick ran while the box waited";
    ASSERT_TRUE(DeleteFileW(path.c_str()));

    auto statusPart2 = [] {
        wchar_t text[256] = L"";
        SendMessageW(app.statusBar, SB_GETTEXTW, 2, reinterpret_cast<LPARAM>(text));
        return std::wstring(text);
    };
    std::wstring watched = Path(L"timer.log");
    ASSERT_TRUE(harness::WriteBytes(watched, "a\n"));
    ASSERT_TRUE(OpenAndRead(watched));
    EXPECT_EQ(UiString(IDS_WATCHING), statusPart2());
    // SetTimer refuses a window that no longer exists.
    HWND gone = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    DestroyWindow(gone);
    ASSERT_TRUE(harness::AppendBytes(watched, "b\n"));
    app.mainWindow = gone;
    SurveillanceTick();
    app.mainWindow = main;
    EXPECT_TRUE(SurveillanceStopped());
    EXPECT_EQ(UiString(IDS_STOPPED), statusPart2());
    ReloadLogFile();
    EXPECT_FALSE(SurveillanceStopped());
    EXPECT_EQ(UiString(IDS_WATCHING), statusPart2());
    EXPECT_TRUE(harness::WaitUntil([&] { return Rows() == Lines({L"a", L"b"}); }));

    WNDCLASSW unpainted{};
    unpainted.lpfnWndProc = NeverValidatedProc;
    unpainted.hInstance = GetModuleHandleW(nullptr);
    unpainted.lpszClassName = L"BrindleNeverValidated";
    RegisterClassW(&unpainted);
    HWND stuck = CreateWindowExW(0, unpainted.lpszClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, main, nullptr,
                                 unpainted.hInstance, nullptr);
    ASSERT_NE(nullptr, stuck);
    InvalidateRect(stuck, nullptr, FALSE);
    ASSERT_TRUE(harness::AppendBytes(watched, "c\n"));
    int timerMessages = 0;
    DWORD start = GetTickCount();
    while (Rows().size() < 3 && GetTickCount() - start < 5000) {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) continue;
        // As the program's own loop does it.
        if (msg.message == WM_TIMER) ++timerMessages;
        else KeepSurveillanceAlive();
        DispatchMessageW(&msg);
    }
    DestroyWindow(stuck);
    EXPECT_EQ(Lines({L"a", L"b", L"c"}), Rows());
    EXPECT_EQ(0, timerMessages) << "the paint did not starve the timer";
}

// A writer that appends without pause, faster than the program reads: the ticks work within their
// budget, yet at every moment the view is one run of the file's lines, and at the end it holds the
// last ones, each once and in order.
TEST_F(Watch, AWriterWithoutPauseGivesEveryLineOnceAndInOrder) {
    // A limit at which trimming the view costs more than a tick may spend on a writer's batch.
    settings.linesLimit = 20000;
    std::wstring path = Path(L"busy.log");
    ASSERT_TRUE(harness::WriteBytes(path, "line 0\n"));
    ASSERT_TRUE(OpenAndRead(path));
    constexpr int kLines = 300000;
    std::thread writer([&] {
        HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        std::string block;
        unsigned seed = 25;
        for (int n = 1; n < kLines;) {
            block.clear();
            for (int i = 0; i < 200 && n < kLines; ++i, ++n) block += "line " + std::to_string(n) + "\n";
            // Two writes, cut anywhere: the reader meets unfinished lines.
            seed = seed * 1103515245u + 12345u;
            DWORD cut = static_cast<DWORD>((seed >> 8) % block.size()), done = 0;
            WriteFile(file, block.data(), cut, &done, nullptr);
            WriteFile(file, block.data() + cut, static_cast<DWORD>(block.size()) - cut, &done, nullptr);
            Sleep(n % 10000 ? 1 : 0);
        }
        CloseHandle(file);
    });
    auto numbers = [&] {
        std::vector<int> n;
        for (const std::wstring& row : Rows()) n.push_back(row.compare(0, 5, L"line ") == 0 ? _wtoi(row.c_str() + 5) : -1);
        return n;
    };
    bool oneRun = true;
    int samples = 0, last = -1;
    while (last != kLines - 1 && samples < 3000) {
        harness::Pump(20);
        std::vector<int> n = numbers();
        ++samples;
        if (n.empty()) continue;
        for (size_t i = 1; i < n.size() && oneRun; ++i) oneRun = n[i] == n[i - 1] + 1;
        oneRun = oneRun && n.size() <= 20000 && n.back() >= last;
        last = n.back();
        if (!oneRun) break;
    }
    writer.join();
    EXPECT_TRUE(oneRun) << "a row was lost, repeated or out of order by sample " << samples;
    EXPECT_TRUE(harness::WaitUntil([&] { return !numbers().empty() && numbers().back() == kLines - 1; }, 20000));
    std::vector<int> n = numbers();
    ASSERT_EQ(20000u, n.size());
    for (size_t i = 0; i < n.size(); ++i) ASSERT_EQ(kLines - 20000 + static_cast<int>(i), n[i]) << i;
}

// The device form names the same file as the usual one, rotation included; a pipe is no file,
// nor is a volume or a raw device, which passes for one: each is refused with the open error
// before anything waits on it, and the watched file stays.
TEST_F(Watch, DeviceFormIsTheSameFileAndAPipeIsRefused) {
    std::wstring path = Path(L"dev.log");
    ASSERT_TRUE(harness::WriteBytes(path, "one\n"));
    ASSERT_TRUE(OpenAndRead(L"\\\\.\\" + path));
    EXPECT_EQ(L"\\\\?\\" + path, std::wstring(logSource.fullPath));
    EXPECT_EQ(Lines({L"one"}), Rows());
    ASSERT_TRUE(MoveFileW(path.c_str(), Path(L"dev.log.1").c_str()));
    ASSERT_TRUE(harness::WriteBytes(path, "two\n"));
    EXPECT_TRUE(harness::WaitUntil([&] { return Rows() == Lines({L"two"}); }));

    std::wstring pipe = L"\\\\.\\pipe\\brindle-watch-" + std::to_wstring(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, server);
    EXPECT_FALSE(OpenLogFile(pipe.c_str()));
    CloseHandle(server);
    EXPECT_EQ(1, answer.seen);
    EXPECT_EQ(0u, answer.text.find(UiString(IDS_ERR_OPEN))) << harness::Utf8(answer.text);
    int opened = 0;
    for (const wchar_t* device : {L"\\\\.\\C:", L"\\\\.\\Z:", L"\\\\.\\PhysicalDrive0", L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1"}) {
        HANDLE probe = CreateFileW(device, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        if (probe != INVALID_HANDLE_VALUE) {
            ++opened;
            CloseHandle(probe);
        }
        answer.seen = 0;
        EXPECT_FALSE(OpenLogFile(device)) << harness::Utf8(device);
        EXPECT_EQ(1, answer.seen) << harness::Utf8(device);
        EXPECT_EQ(0u, answer.text.find(UiString(IDS_ERR_OPEN))) << harness::Utf8(answer.text);
        EXPECT_EQ(Lines({L"two"}), Rows()) << harness::Utf8(device);
    }
    EXPECT_GT(opened, 0) << "no device opened: the refusal was not put to the test";
    ASSERT_TRUE(harness::AppendBytes(path, "three\n"));
    EXPECT_TRUE(harness::WaitUntil([&] { return Rows() == Lines({L"two", L"three"}); }));
}

TEST_F(Watch, PauseHoldsGrowthAndReloadShowsTheContentOnce) {
    std::wstring path = Path(L"pause.log");
    ASSERT_TRUE(harness::WriteBytes(path, "a\n"));
    ASSERT_TRUE(OpenAndRead(path));
    PauseCommand();
    EXPECT_TRUE(logSource.paused);
    EXPECT_TRUE(IsMenuCommandChecked(IDM_PAUSE));
    ASSERT_TRUE(harness::AppendBytes(path, "b\n"));
    harness::Pump(200);
    EXPECT_EQ(Lines({L"a"}), Rows());
    for (auto expected : {Lines({L"a", L"b"}), Lines({L"a", L"b", L"c"})}) {
        ReloadLogFile();
        EXPECT_EQ(0, harness::RowCount(app.view));
        EXPECT_TRUE(harness::WaitUntil([&] { return Rows() == expected; }));
        ASSERT_TRUE(harness::AppendBytes(path, "c\n"));
        harness::Pump(200);
        EXPECT_EQ(expected, Rows());
        if (expected.size() == 3) break;
    }
    PauseCommand();
    EXPECT_FALSE(IsMenuCommandChecked(IDM_PAUSE));
    EXPECT_TRUE(harness::WaitUntil([&] { return Rows().size() == 4; }));
}

TEST_F(Watch, EraseKeepsTheDecidingMarkAndAsksFirst) {
    std::wstring marked = Path(L"erase8.log");
    ASSERT_TRUE(harness::WriteBytes(marked, "\xEF\xBB\xBF" "one\ntwo\n"));
    ASSERT_TRUE(OpenAndRead(marked));
    answer.button = IDCANCEL;
    EraseLogFile();
    EXPECT_EQ(1, answer.seen);
    EXPECT_EQ(UiString(IDS_ERASE_TEXT), answer.text);
    EXPECT_EQ(UiString(IDS_ERASE_CAPTION), answer.caption);
    EXPECT_EQ(8u + 3u, harness::ReadBytes(marked).size());
    EXPECT_EQ(2u, Rows().size());

    answer.button = IDOK;
    EraseLogFile();
    EXPECT_EQ(2, answer.seen);
    EXPECT_EQ(Bytes("\xEF\xBB\xBF"), harness::ReadBytes(marked));
    EXPECT_EQ(0, harness::RowCount(app.view));
    ASSERT_TRUE(harness::AppendBytes(marked, "later\n"));
    EXPECT_TRUE(harness::WaitUntil([&] { return Rows() == Lines({L"later"}); }));

    // No mark, or a mark that did not decide the charset: the file is emptied entirely.
    std::wstring plain = Path(L"erase.log");
    ASSERT_TRUE(harness::WriteBytes(plain, "\xEF\xBB\xBF" "one\n"));
    settings.autodetect = 0;
    settings.charset = CHARSET_ANSI;
    ASSERT_TRUE(OpenAndRead(plain));
    EraseLogFile();
    EXPECT_EQ(3, answer.seen);
    EXPECT_EQ(Bytes(), harness::ReadBytes(plain));
    ASSERT_TRUE(harness::AppendBytes(plain, "again\n"));
    EXPECT_TRUE(harness::WaitUntil([&] { return Rows() == Lines({L"again"}); }));

    // A file that another program holds without write sharing: the error box, and nothing changes.
    HANDLE holder = CreateFileW(plain.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    EraseLogFile();
    CloseHandle(holder);
    EXPECT_EQ(5, answer.seen);
    EXPECT_EQ(0u, answer.text.find(UiString(IDS_ERR_ERASE)));
    EXPECT_EQ(Bytes("again\n"), harness::ReadBytes(plain));
    EXPECT_EQ(Lines({L"again"}), Rows());

    // The file opens for writing but refuses the truncation (another program maps it): the same
    // error box; the rows and the reading position stay, so later lines simply follow.
    HANDLE reader = CreateFileW(plain.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE mapping = CreateFileMappingW(reader, nullptr, PAGE_READONLY, 0, 0, nullptr);
    void* mapped = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    ASSERT_NE(nullptr, mapped);
    const uint64_t position = logSource.bytesConsumed;
    EraseLogFile();
    EXPECT_EQ(Lines({L"again"}), Rows());
    EXPECT_EQ(position, logSource.bytesConsumed);
    UnmapViewOfFile(mapped);
    CloseHandle(mapping);
    CloseHandle(reader);
    EXPECT_EQ(7, answer.seen);
    EXPECT_EQ(0u, answer.text.find(UiString(IDS_ERR_ERASE)));
    EXPECT_EQ(Bytes("again\n"), harness::ReadBytes(plain));
    ASSERT_TRUE(harness::AppendBytes(plain, "more\n"));
    EXPECT_TRUE(harness::WaitUntil([&] { return Rows() == Lines({L"again", L"more"}); }));

    // Rotated while paused, so no identity check has run: erasing must not empty the new file,
    // whose lines nobody has seen; the user is told, that file is shown instead with the watch
    // still paused, and the old one keeps its lines.
    PauseCommand();
    ASSERT_TRUE(MoveFileW(plain.c_str(), Path(L"erase.log.1").c_str()));
    ASSERT_TRUE(harness::WriteBytes(plain, "unseen\n"));
    EraseLogFile();
    EXPECT_EQ(9, answer.seen);
    EXPECT_EQ(UiString(IDS_ERASE_ROTATED), answer.text);
    EXPECT_EQ(Bytes("unseen\n"), harness::ReadBytes(plain));
    EXPECT_EQ(Bytes("again\nmore\n"), harness::ReadBytes(Path(L"erase.log.1")));
    EXPECT_TRUE(harness::WaitUntil([&] { return Rows() == Lines({L"unseen"}); }));
    EXPECT_EQ(L"erase.log - Brindle", harness::WindowText(main));
    EXPECT_TRUE(logSource.paused);
    ASSERT_TRUE(harness::AppendBytes(plain, "while paused\n"));
    harness::Pump(200);
    EXPECT_EQ(Lines({L"unseen"}), Rows());
}

TEST_F(Watch, CharactersSplitBetweenTicksArriveWhole) {
    settings.autodetect = 0;
    const std::wstring wide = L"\x20AC\x00E9\x20AC\xD83D\xDE00\x20AC\x00E9\x20AC\xD83D\xDE00\x20AC";
    const std::wstring japanese = L"\x65E5\x672C\x8A9E\x30C6\x30B9\x30C8\x65E5\x672C";
    for (uint32_t charset : {65001u, 65000u, 16u, 17u, 18u, 19u, 932u}) {
        const std::wstring& line = charset == 932 ? japanese : wide;
        Bytes head = harness::Encode(charset, L"head\n");
        Bytes body = harness::Encode(charset, line + L"\n");
        for (size_t cut : {body.size() / 2, body.size() / 2 + 1}) {
            settings.charset = charset;
            std::wstring path = Path((L"split" + std::to_wstring(charset) + L"-" + std::to_wstring(cut) + L".log").c_str());
            ASSERT_TRUE(harness::WriteBytes(path, head + body.substr(0, cut)));
            ASSERT_TRUE(OpenAndRead(path));
            ASSERT_TRUE(harness::AppendBytes(path, body.substr(cut)));
            ASSERT_TRUE(WaitRead());
            EXPECT_EQ(std::vector<std::wstring>({L"head", line}), Rows()) << "charset " << charset << " cut " << cut;
        }
    }
}

// Records what the tick asks of the progress bar.
struct ProgressLog { int shown = 0, positions = 0; WNDPROC previous = nullptr; } progressLog;

LRESULT CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SHOWWINDOW && wParam) ++progressLog.shown;
    if (message == PBM_SETPOS) ++progressLog.positions;
    return CallWindowProcW(progressLog.previous, window, message, wParam, lParam);
}

TEST_F(Watch, LongLoadShowsProgressAndEndsWithTheBarHidden) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    app.progressBar = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 100, 10, main, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
    progressLog.previous = WNDPROC(SetWindowLongPtrW(app.progressBar, GWLP_WNDPROC, LONG_PTR(ProgressProc)));
    settings.kbLimit = 65535;
    settings.linesLimit = 1000;
    settings.wrapLines = 0;
    // Short rows and enough of them that reading takes well over the 100 ms after which progress
    // is shown: long rows are cut so fast that a quick machine stays near that mark.
    Bytes line = Bytes(7, 'z') + "\n";
    Bytes text;
    while (text.size() < 60 * 1024 * 1024) text += line;
    std::wstring path = Path(L"long.log");
    ASSERT_TRUE(harness::WriteBytes(path, text));
    ASSERT_TRUE(OpenAndRead(path, 60000));
    EXPECT_EQ(1000, harness::RowCount(app.view));
    EXPECT_GE(progressLog.shown, 1);
    EXPECT_GE(progressLog.positions, 1);
    EXPECT_FALSE(IsWindowVisible(app.progressBar));
    app.progressBar = nullptr;
}

}  // namespace

namespace {

// The shell's part of Lock autoscrolling, as the real loop does it: the accelerator table maps
// Scroll Lock to 1207 with a high word of 1.
WNDPROC mainProcedure = nullptr;
int lockRuns = 0;

LRESULT CALLBACK LockRoutingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDM_LOCK_SCROLL) {
        ++lockRuns;
        LockScrollCommand(HIWORD(wParam) == 1);
        return 0;
    }
    return CallWindowProcW(mainProcedure, window, message, wParam, lParam);
}

bool ScrollLockOn() { return (GetKeyState(VK_SCROLL) & 1) != 0; }

void PumpWithAccelerators(HWND main, HACCEL table, DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (TranslateAcceleratorW(main, table, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

TEST_F(Watch, LockAutoscrollingTogglesScrollLockAndRunsAgainFromTheKey) {
    mainProcedure = WNDPROC(SetWindowLongPtrW(main, GWLP_WNDPROC, LONG_PTR(LockRoutingProc)));
    ACCEL entry{FVIRTKEY, VK_SCROLL, IDM_LOCK_SCROLL};
    HACCEL table = CreateAcceleratorTableW(&entry, 1);
    std::wstring path = Path(L"lock.log");
    ASSERT_TRUE(harness::WriteBytes(path, "a\n"));
    ASSERT_TRUE(OpenAndRead(path));
    SetForegroundWindow(main);
    SetFocus(main);
    PumpWithAccelerators(main, table, 100);
    const bool before = ScrollLockOn();

    PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDM_LOCK_SCROLL, 0), 0);
    PumpWithAccelerators(main, table, 300);
    EXPECT_EQ(!before, ScrollLockOn());
    EXPECT_EQ(2, lockRuns);   // the menu's run, then the synthesised key's
    EXPECT_EQ(!before, IsMenuCommandChecked(IDM_LOCK_SCROLL));

    PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDM_LOCK_SCROLL, 0), 0);
    PumpWithAccelerators(main, table, 300);
    EXPECT_EQ(before, ScrollLockOn());
    EXPECT_EQ(4, lockRuns);
    EXPECT_EQ(before, IsMenuCommandChecked(IDM_LOCK_SCROLL));
    if (!ScrollLockOn()) {
        EXPECT_TRUE(logSource.holdScroll);   // unlocking leaves autoscroll held
    }

    // Without a file the command does nothing, not even the key.
    CloseLogFile();
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDM_LOCK_SCROLL, 0), 0);
    PumpWithAccelerators(main, table, 200);
    EXPECT_EQ(5, lockRuns);
    EXPECT_EQ(before, ScrollLockOn());
    DestroyAcceleratorTable(table);
}

}  // namespace
