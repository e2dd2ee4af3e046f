// The row view: the list box that holds the rows, its subclass, colours, font and horizontal
// extent, and the batched appending and trimming of rows.
#include "view/view.h"
#include "shell/platform.h"
#include "shell/app.h"
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "status/status.h"
#include "view/clipboard.h"
#include "view/highlight.h"
#include "logsource/lines.h"
#include "shell/mainwnd.h"
#include <commdlg.h>

namespace {

struct ViewState {
    WNDPROC listBoxProc;       // the list box's own procedure, behind the subclass
    bool redrawOff;            // the last WM_SETREDRAW the view was sent said FALSE
    COLORREF customColors[16]; // the colour dialog's custom colours live as long as the process
};

ViewState viewState;

constexpr LONG kSmallestFont = 8;
constexpr LONG kLargestFont = 96;

// Before batches at least this large the list box is told to make room for all of them at once.
constexpr size_t kReserveBatch = 16;

// Reading a surviving row back and adding it again costs about as much as moving this many
// items once (measured: about 1.8 us against 0.3 ns).
constexpr size_t kRowCopyCost = 6000;

// A row at the bottom with its mark (the list box keeps 0 without being told); answers as
// LB_ADDSTRING does.
LRESULT AddMarkedRow(HWND view, const wchar_t* text, LPARAM mark) {
    LRESULT at = SendMessageW(view, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (mark && at >= 0) SendMessageW(view, LB_SETITEMDATA, static_cast<WPARAM>(at), mark);
    return at;
}

bool RowMarksUsed() { return highlights.prepared.count != 0; }

size_t RowCount(HWND view) {
    LRESULT count = SendMessageW(view, LB_GETCOUNT, 0, 0);
    return count > 0 ? static_cast<size_t>(count) : 0;
}

void ReserveFor(HWND view, size_t rows) {
    SendMessageW(view, LB_INITSTORAGE, rows, static_cast<LPARAM>(rows * 128));
}

// The selected rows of a list box in increasing order, in *rows (free with HeapFree; null when
// none is selected). False when there is no memory for them.
bool ReadSelection(HWND view, int** rows, size_t* count) {
    *rows = nullptr;
    *count = 0;
    LRESULT selCount = SendMessageW(view, LB_GETSELCOUNT, 0, 0);
    if (selCount <= 0) return true;
    *rows = static_cast<int*>(HeapAlloc(GetProcessHeap(), 0, static_cast<size_t>(selCount) * sizeof(int)));
    if (!*rows) return false;
    LRESULT got = SendMessageW(view, LB_GETSELITEMS, static_cast<WPARAM>(selCount), reinterpret_cast<LPARAM>(*rows));
    *count = got > 0 ? static_cast<size_t>(got) : 0;
    return true;
}

// Selects `selected` moved up by `drop` rows, as runs of consecutive rows.
void SelectRuns(HWND view, const int* selected, size_t count, size_t drop) {
    for (size_t i = 0; i < count;) {
        size_t j = i;
        while (j + 1 < count && selected[j + 1] == selected[j] + 1) ++j;
        int first = selected[i] - static_cast<int>(drop), last = selected[j] - static_cast<int>(drop);
        if (last >= 0) SendMessageW(view, LB_SELITEMRANGEEX, first < 0 ? 0 : first, last);
        i = j + 1;
    }
}

// Where the caret, the anchor and the top row were before a rebuild.
struct ListMarks {
    LRESULT anchor, caret, top;
};

// Drops the first `drop` rows by reading the survivors back and refilling the list box. The
// selection moves with its rows, as the one-by-one deletion would move it. False, with the list
// box untouched, when there is no memory for the copy.
bool RebuildWithout(HWND view, size_t current, size_t drop, size_t incoming, ListMarks* marks) {
    const size_t survivors = current - drop;
    HANDLE heap = GetProcessHeap();
    // The rows' marks matter only while highlighting colours them.
    LPARAM* data = nullptr;
    if (RowMarksUsed() && survivors) {
        data = static_cast<LPARAM*>(survivors < SIZE_MAX / sizeof(LPARAM) ? HeapAlloc(heap, 0, survivors * sizeof(LPARAM)) : nullptr);
        if (!data) return false;
        for (size_t i = 0; i < survivors; ++i) data[i] = SendMessageW(view, LB_GETITEMDATA, drop + i, 0);
    }
    // The survivors' texts end to end, each NUL-terminated.
    size_t units = 0;
    for (size_t i = 0; i < survivors; ++i) {
        LRESULT length = SendMessageW(view, LB_GETTEXTLEN, drop + i, 0);
        units += (length > 0 ? static_cast<size_t>(length) : 0) + 1;
    }
    auto* texts = static_cast<wchar_t*>(units < SIZE_MAX / sizeof(wchar_t) ? HeapAlloc(heap, 0, units * sizeof(wchar_t)) : nullptr);
    int* selected = nullptr;
    size_t selectedCount = 0;
    if (!texts || !ReadSelection(view, &selected, &selectedCount)) {
        if (texts) HeapFree(heap, 0, texts);
        if (data) HeapFree(heap, 0, data);
        return false;
    }
    *marks = ListMarks{SendMessageW(view, LB_GETANCHORINDEX, 0, 0), SendMessageW(view, LB_GETCARETINDEX, 0, 0),
                       SendMessageW(view, LB_GETTOPINDEX, 0, 0)};

    size_t at = 0;
    for (size_t i = 0; i < survivors; ++i) {
        LRESULT length = SendMessageW(view, LB_GETTEXTLEN, drop + i, 0);
        texts[at] = 0;
        // A row whose length changed since it was measured would not fit its place.
        if (length > 0 && at + static_cast<size_t>(length) < units) {
            LRESULT copied = SendMessageW(view, LB_GETTEXT, drop + i, reinterpret_cast<LPARAM>(texts + at));
            at += copied > 0 ? static_cast<size_t>(copied) : 0;
            texts[at] = 0;
        }
        ++at;
    }

    SendMessageW(view, LB_RESETCONTENT, 0, 0);
    ReserveFor(view, survivors + incoming);
    for (size_t i = 0, from = 0; i < survivors; ++i) {
        AddMarkedRow(view, texts + from, data ? data[i] : 0);
        from += lstrlenW(texts + from) + 1;
    }
    HeapFree(heap, 0, texts);
    if (data) HeapFree(heap, 0, data);

    SelectRuns(view, selected, selectedCount, drop);
    if (selected) HeapFree(heap, 0, selected);
    return true;
}

// Deleting from the top leaves the caret, anchor and top index at their numbers (within the
// rows left); the rebuilt list box ends the same way.
void RestoreMarks(HWND view, const ListMarks& marks) {
    size_t count = RowCount(view);
    if (!count) return;
    auto inRange = [count](LRESULT index) {
        return static_cast<WPARAM>(static_cast<size_t>(index) >= count ? count - 1 : static_cast<size_t>(index));
    };
    if (marks.anchor >= 0) SendMessageW(view, LB_SETANCHORINDEX, inRange(marks.anchor), 0);
    if (marks.caret >= 0) SendMessageW(view, LB_SETCARETINDEX, inRange(marks.caret), FALSE);
    if (marks.top >= 0) SendMessageW(view, LB_SETTOPINDEX, inRange(marks.top), 0);
}

void EraseBelowLastRow(HWND view, HDC dc) {
    RECT client;
    if (!GetClientRect(view, &client)) return;
    LRESULT count = SendMessageW(view, LB_GETCOUNT, 0, 0);
    if (count == 0 && IsDrawnView(view)) {
        // Drawn by the owner, the list box paints no background of its own.
        FillRect(dc, &client, app.backgroundBrush);
        return;
    }
    if (count == LB_ERR || count <= 0) return;   // some list boxes answer for row -1 too
    RECT below;
    if (SendMessageW(view, LB_GETITEMRECT, count - 1, reinterpret_cast<LPARAM>(&below)) == LB_ERR) return;
    OffsetRect(&below, 0, below.bottom - below.top);
    if (below.bottom < client.bottom) below.bottom = client.bottom;
    if (below.top < client.bottom) FillRect(dc, &below, app.backgroundBrush);
}

LRESULT CALLBACK ViewProc(HWND view, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        // Items paint their own background; erasing all of it first would flicker on every append.
        EraseBelowLastRow(view, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_VSCROLL:
        // Dragging the thumb holds the view still; any other scroll action lets it follow again.
        logSource.holdScroll = LOWORD(wParam) == SB_THUMBTRACK;
        break;
    case WM_CONTEXTMENU:
        SelectClickedRow(view, lParam);
        break;
    case WM_SETREDRAW:
        viewState.redrawOff = wParam == FALSE;
        break;
    case WM_PAINT:
        if (!wParam && IsDrawnView(view)) {
            PaintDrawnView(view, viewState.redrawOff);
            return 0;
        }
        break;
    }
    return CallOwnControl(viewState.listBoxProc, view, message, wParam, lParam);
}

int CharacterWidth(HWND window) {
    HDC dc = GetDC(window);
    if (!dc) return 0;
    HGDIOBJ old = SelectObject(dc, app.viewFont);
    int width = 0;
    ABC abc;
    if (GetCharABCWidthsW(dc, L'W', L'W', &abc)) {
        width = abc.abcA + static_cast<int>(abc.abcB) + abc.abcC;
    } else {
        // Raster fonts have no ABC widths; their advance width serves the same purpose.
        INT advance = 0;
        if (GetCharWidth32W(dc, L'W', L'W', &advance)) width = advance;
    }
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return width;
}

}  // namespace

DWORD ViewExtendedStyle(bool themed, bool vistaOrLater) { return themed && vistaOrLater ? 0 : WS_EX_STATICEDGE; }

LONG StepFontHeight(LONG height, int steps) {
    // A height read from the registry may be negative (character height); the steps act on its size.
    LONG sign = height < 0 ? -1 : 1;
    LONG size = height * sign;
    for (; steps > 0; --steps)
        if (size <= kLargestFont - 1) ++size;
    for (; steps < 0; ++steps)
        if (size > kSmallestFont) --size;
    return size * sign;
}

int ViewExtent(uint32_t longestRow, bool wrapLines, uint32_t rowLength, int charWidth) {
    uint32_t n = longestRow;
    if (wrapLines && n > rowLength) n = rowLength;
    return static_cast<int>(n) * charWidth + 4;
}

ViewTrimPlan PlanViewTrim(size_t current, size_t incoming, size_t keep) {
    if (!keep || current + incoming <= keep) return {0, false};
    size_t drop = current + incoming - keep;
    if (drop > current) drop = current;
    size_t survivors = current - drop;
    if (!survivors) return {drop, true};
    // Deleting row 0 `drop` times moves about drop × (current − drop/2) items in all.
    uint64_t moves = static_cast<uint64_t>(drop) * (current - drop / 2);
    return {drop, moves / kRowCopyCost > survivors + 64};
}

double ViewTrimCostUs(const ViewTrimPlan& plan, size_t current, size_t incoming) {
    constexpr double kAddUs = 0.7, kDeleteUs = 0.35, kMoveUs = 0.0002, kCopyUs = 1.1, kEmptyUs = 0.07;
    double added = static_cast<double>(incoming) * kAddUs;
    if (plan.rebuild) return static_cast<double>(current - plan.drop) * kCopyUs + static_cast<double>(current) * kEmptyUs + added;
    double moves = static_cast<double>(plan.drop) * (static_cast<double>(current) - static_cast<double>(plan.drop) / 2);
    return static_cast<double>(plan.drop) * kDeleteUs + moves * kMoveUs + added;
}

void InitViewResources() {
    if (!app.backgroundBrush) app.backgroundBrush = CreateSolidBrush(settings.backgroundColor);
    if (!app.viewFont) app.viewFont = CreateFontIndirectW(&settings.font);
}

namespace {

// The list box with its font and subclass; owner-drawn only while highlighting rules are on.
HWND MakeView(HWND parent, DWORD style, DWORD exStyle, const RECT& place) {
    HWND view = CreateWindowExW(exStyle, L"LISTBOX", L"", style, place.left, place.top, place.right - place.left,
                                place.bottom - place.top, parent, nullptr, app.instance, nullptr);
    if (!view) return nullptr;
    SendMessageW(view, WM_SETFONT, reinterpret_cast<WPARAM>(app.viewFont), FALSE);
    if (style & LBS_OWNERDRAWFIXED) SendMessageW(view, LB_SETITEMHEIGHT, 0, ViewRowHeight());
    viewState.listBoxProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(view, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ViewProc)));
    return view;
}

}  // namespace

namespace {

// The thumb message carries 16 bits; a position beyond them is reached from below it by pages,
// as wide as one page step of the list box measured from 0, then by single steps.
void ScrollToColumn(HWND view, int column) {
    auto scroll = [view](WPARAM request) { SendMessageW(view, WM_HSCROLL, request, 0); };
    int pages = 0, page = 1;
    if (column > 0xFFFF) {
        scroll(MAKEWPARAM(SB_THUMBPOSITION, 0));
        scroll(SB_PAGERIGHT);
        page = GetScrollPos(view, SB_HORZ);
        if (page > 0) pages = (column - 0xFFFF + page - 1) / page;
        if (pages * page > column) pages = column / page;
    }
    scroll(MAKEWPARAM(SB_THUMBPOSITION, column - pages * page));
    for (; pages > 0; --pages) scroll(SB_PAGERIGHT);
    for (int steps = 0; steps < page; ++steps) {
        int at = GetScrollPos(view, SB_HORZ);
        if (at == column) break;
        scroll(at < column ? SB_LINERIGHT : SB_LINELEFT);
        if (GetScrollPos(view, SB_HORZ) == at) break;   // as far as it goes
    }
}

}  // namespace

bool IsDrawnView(HWND view) { return (GetWindowLongW(view, GWL_STYLE) & LBS_OWNERDRAWFIXED) != 0; }

HWND CreateView(HWND parent) {
    InitViewResources();   // already done at start-up; tests may create the view directly
    DWORD style = kViewStyle | (AnyRuleOn(highlights.rules) ? LBS_OWNERDRAWFIXED : 0);
    HWND view = MakeView(parent, style, ViewExtendedStyle(themeState() != 0, isWindowsAtLeast(kWindowsVista)),
                         RECT{0, 0, 0, 0});
    if (!view) return nullptr;
    app.view = view;
    ReserveRowStorage();
    viewState.redrawOff = false;
    return view;
}

bool RebuildView(bool ownerDrawn) {
    HWND old = app.view;
    HWND parent = old ? GetParent(old) : nullptr;
    int* selected = nullptr;
    size_t selectedCount = 0;
    if (!parent || !ReadSelection(old, &selected, &selectedCount)) return false;
    // A style the list box cannot change once made: a new list box, made as the first one was,
    // takes over the rows.
    DWORD style = kViewStyle | (ownerDrawn ? LBS_OWNERDRAWFIXED : 0);
    RECT place{};
    GetWindowRect(old, &place);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
    bool focused = GetFocus() == old;
    WNDPROC oldProc = viewState.listBoxProc;
    HWND view = MakeView(parent, style, static_cast<DWORD>(GetWindowLongW(old, GWL_EXSTYLE)), place);
    if (!view) {
        viewState.listBoxProc = oldProc;
        if (selected) HeapFree(GetProcessHeap(), 0, selected);
        return false;
    }
    size_t count = RowCount(old);
    ReserveFor(view, count);
    wchar_t text[kRowBufferUnits];
    bool refused = false;
    for (size_t i = 0; i < count && !refused; ++i) {
        ReadViewRow(old, i, text);
        LRESULT added = AddMarkedRow(view, text, SendMessageW(old, LB_GETITEMDATA, i, 0));
        refused = added == LB_ERR || added == LB_ERRSPACE;
    }
    if (refused) {
        // The old list box holds the only copy of the rows: it stays, and the switch is undone.
        DestroyWindow(view);
        viewState.listBoxProc = oldProc;
        if (selected) HeapFree(GetProcessHeap(), 0, selected);
        return false;
    }
    SelectRuns(view, selected, selectedCount, 0);
    if (selected) HeapFree(GetProcessHeap(), 0, selected);
    RestoreMarks(view, ListMarks{SendMessageW(old, LB_GETANCHORINDEX, 0, 0), SendMessageW(old, LB_GETCARETINDEX, 0, 0),
                                 SendMessageW(old, LB_GETTOPINDEX, 0, 0)});
    SendMessageW(view, LB_SETHORIZONTALEXTENT, SendMessageW(old, LB_GETHORIZONTALEXTENT, 0, 0), 0);
    int column = GetScrollPos(old, SB_HORZ);
    if (fullScreen.savedViewStyle) {
        // The clean full screen keeps the scroll bars off until it ends.
        fullScreen.savedViewStyle = ownerDrawn ? fullScreen.savedViewStyle | LBS_OWNERDRAWFIXED
                                               : fullScreen.savedViewStyle & ~LBS_OWNERDRAWFIXED;
        SetWindowLongW(view, GWL_STYLE, static_cast<LONG>(style & ~(WS_VSCROLL | WS_HSCROLL)));
    }
    app.view = view;
    SetWindowPos(view, old, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    DestroyWindow(old);
    UpdateHorizontalExtent();
    if (column > 0) ScrollToColumn(view, column);
    if (focused) SetFocus(view);
    return true;
}

void AppendViewRows(RowSource next, void* context, size_t count, size_t keep) { AppendViewRows(next, context, count, keep, 0); }

double WorkClockMs() {
    static LARGE_INTEGER frequency{};
    if (!frequency.QuadPart && !QueryPerformanceFrequency(&frequency)) return GetTickCount();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

size_t AppendViewRows(RowSource next, void* context, size_t count, size_t keep, double deadline) {
    HWND view = app.view;
    if (!view || !count) return 0;
    size_t taken = 0;
    uint32_t mark = 0;
    if (keep && count > keep) {
        for (size_t i = keep; i < count; ++i) next(context, nullptr);
        taken = count - keep;
        count = keep;
    }
    size_t current = RowCount(view);
    ViewTrimPlan plan = PlanViewTrim(current, count, keep);
    // Short of time, the batch goes in part: into an emptied view when it replaces every row, else
    // a row at a time, each after the deletion that keeps the view under the limit. Rows left over
    // from a lock are trimmed whole, as a part would delete them one by one.
    const bool replaced = plan.drop && plan.drop >= current;
    const bool part = deadline > 0 && (replaced || current <= keep) &&
                      WorkClockMs() + ViewTrimCostUs(plan, current, count) / 1000 > deadline;
    // Every change repaints both scroll bars while redrawing is on; one batch pays for that once.
    bool quiet = !viewState.redrawOff && count + plan.drop >= 2;
    if (quiet) SendMessageW(view, WM_SETREDRAW, FALSE, 0);
    ListMarks marks{-1, -1, -1};
    // Without memory for the rebuild's copy the rows go one by one, which needs none.
    bool rebuilt = (part ? replaced : plan.rebuild) && RebuildWithout(view, current, plan.drop, count, &marks);
    size_t deletions = rebuilt ? 0 : plan.drop;
    if (part && replaced && !rebuilt) {
        // No old row may stay above a part of the new ones: the batch need not follow on from them.
        SendMessageW(view, LB_RESETCONTENT, 0, 0);
        deletions = 0;
    }
    if (part && replaced) current = 0;
    if (!part) {
        for (; deletions; --deletions) SendMessageW(view, LB_DELETESTRING, 0, 0);
        if (!rebuilt && count >= kReserveBatch) ReserveFor(view, count);
    }
    // A row the list box refuses (LB_ERRSPACE) is lost; the next one is offered all the same.
    for (size_t i = 0; i < count; ++i) {
        if (part && i && i % 16 == 0 && WorkClockMs() > deadline) break;
        for (; deletions && current >= keep; --deletions, --current) SendMessageW(view, LB_DELETESTRING, 0, 0);
        const wchar_t* text = next(context, &mark);
        AddMarkedRow(view, text, static_cast<LPARAM>(mark));
        ++taken;
        ++current;
    }
    if (rebuilt) RestoreMarks(view, marks);
    if (quiet) {
        SendMessageW(view, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(view, nullptr, TRUE);
    }
    return taken;
}

uint32_t ReadViewRow(HWND view, size_t index, wchar_t* out) {
    out[0] = 0;
    LRESULT length = SendMessageW(view, LB_GETTEXTLEN, index, 0);
    if (length <= 0 || length > static_cast<LRESULT>(kMaxRowLimit)) return 0;
    LRESULT got = SendMessageW(view, LB_GETTEXT, index, reinterpret_cast<LPARAM>(out));
    if (got <= 0 || got > static_cast<LRESULT>(kMaxRowLimit)) {
        out[0] = 0;
        return 0;
    }
    out[got] = 0;
    return static_cast<uint32_t>(got);
}

void RemarkLastViewRows(size_t rows, uint32_t mark) {
    HWND view = app.view;
    if (!view) return;
    size_t count = RowCount(view);
    size_t first = rows < count ? count - rows : 0;
    for (size_t i = first; i < count; ++i) {
        LRESULT data = SendMessageW(view, LB_GETITEMDATA, i, 0);
        LPARAM kept = data == LB_ERR ? 0 : (data & kMarkContinues);
        SendMessageW(view, LB_SETITEMDATA, i, kept | (mark & kMarkRuleMask));
    }
    if (first < count) InvalidateRect(view, nullptr, FALSE);
}

void FocusView() {
    if (app.view) SetFocus(app.view);
}

void ShowRow(int row) {
    if (!app.view) return;
    FlushRows();
    SendMessageW(app.view, LB_SETTOPINDEX, row >= 5 ? row - 4 : 0, 0);
    SendMessageW(app.view, LB_SETCARETINDEX, row, FALSE);
    SendMessageW(app.view, LB_SETSEL, FALSE, -1);
    SendMessageW(app.view, LB_SETSEL, TRUE, row);
    RefreshStatus();
}

void ScrollToEnd() {
    if (!app.view) return;
    size_t count = RowCount(app.view);
    if (!count) return;
    SendMessageW(app.view, LB_SETCARETINDEX, count - 1, FALSE);
    SendMessageW(app.view, LB_SETTOPINDEX, count - 1, 0);
}

void UpdateHorizontalExtent() {
    if (!app.view) return;
    HWND parent = GetParent(app.view);
    RECT client;
    if (!parent || !GetClientRect(parent, &client) || client.right - client.left == 0) return;
    int extent = ViewExtent(logSource.longestRow, settings.wrapLines != 0, settings.rowLength, CharacterWidth(parent));
    // The extent goes first: with LBS_DISABLENOSCROLL the list box shows its bar again whenever
    // the extent changes, which would undo a decision taken before it.
    bool fullScreen = !(GetWindowLongW(app.view, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL));
    SendMessageW(app.view, LB_SETHORIZONTALEXTENT, extent, 0);
    if (fullScreen) {
        ShowScrollBar(app.view, SB_BOTH, FALSE);
    } else {
        int room = client.right - client.left - GetSystemMetrics(SM_CXVSCROLL);
        ShowScrollBar(app.view, SB_HORZ, extent > room);
    }
}

void ApplyViewFont() {
    if (HFONT font = CreateFontIndirectW(&settings.font)) {
        if (app.view) SendMessageW(app.view, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (app.viewFont) DeleteObject(app.viewFont);
        app.viewFont = font;
        // A list box drawn by its owner keeps its row height through a font change.
        if (app.view && IsDrawnView(app.view))
            SendMessageW(app.view, LB_SETITEMHEIGHT, 0, ViewRowHeight());
    }
    UpdateHorizontalExtent();
    if (app.view) InvalidateRect(app.view, nullptr, TRUE);
}

LRESULT OnCtlColorListBox(HDC dc) {
    SetTextColor(dc, settings.textColor);
    SetBkColor(dc, settings.backgroundColor);
    return reinterpret_cast<LRESULT>(app.backgroundBrush);
}

void ChangeFontSize(int steps) {
    LONG height = StepFontHeight(settings.font.lfHeight, steps);
    if (height == settings.font.lfHeight) return;
    settings.font.lfHeight = height;   // stored with the rest of the font by the Font dialog
    ApplyViewFont();
}

void FontDialogCommand() {
    LOGFONTW font = settings.font;   // a cancelled dialog must leave the settings untouched
    CHOOSEFONTW choose{};
    choose.lStructSize = sizeof(choose);
    choose.hwndOwner = app.mainWindow;
    choose.hInstance = app.instance;
    choose.lpLogFont = &font;
    choose.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS;
    choose.rgbColors = settings.textColor;
    if (ChooseFontW(&choose)) {
        settings.textColor = choose.rgbColors;
        if (font.lfHeight < 0) font.lfHeight = -font.lfHeight;
        settings.font = font;
        ApplyViewFont();
        const SettingValue values[] = {SV_TEXT_COLOR, SV_FONT};
        StoreSettings(values, 2);
    }
    FocusView();
}

void BackgroundDialogCommand() {
    CHOOSECOLORW choose{};
    choose.lStructSize = sizeof(choose);
    choose.hwndOwner = app.mainWindow;
    choose.rgbResult = settings.backgroundColor;
    choose.lpCustColors = viewState.customColors;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
    viewState.customColors[15] = GetSysColor(COLOR_WINDOW);
    if (ChooseColorW(&choose)) {
        settings.backgroundColor = choose.rgbResult;
        if (HBRUSH brush = CreateSolidBrush(choose.rgbResult)) {
            if (app.backgroundBrush) DeleteObject(app.backgroundBrush);
            app.backgroundBrush = brush;
        }
        StoreSetting(SV_BACKGROUND);
        if (app.view) InvalidateRect(app.view, nullptr, TRUE);
    }
    FocusView();
}
