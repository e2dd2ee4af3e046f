// The status bar's parts, their layout and texts, and the progress bar laid over part 5.
#include "status/status.h"
#include "shell/app.h"
#include "shell/platform.h"
#include "logsource/logsource.h"
#include "logsource/lines.h"
#include "persist/settings.h"
#include "dialogs/ui.h"
#include "ids.h"
#include <commctrl.h>

int statusPartEdges[kStatusParts] = {1, 2, 3, 4, 5, 6, 7, 8, -1};
int statusPartsWidth = 525;

namespace {

// Widths of parts 1 to 8 at 96 dpi; parts 1 and 2 hold a 16-pixel icon and are never scaled.
constexpr int kPartWidths[kStatusParts] = {0, 25, 25, 55, 70, 115, 55, 35, 145};

void SetPart(int part, const wchar_t* text, const wchar_t* tip, HICON icon) {
    if (!app.statusBar) return;
    SendMessageW(app.statusBar, SB_SETICON, part, reinterpret_cast<LPARAM>(icon));
    SendMessageW(app.statusBar, SB_SETTEXTW, part, reinterpret_cast<LPARAM>(text));
    SendMessageW(app.statusBar, SB_SETTIPTEXTW, part, reinterpret_cast<LPARAM>(tip));
}

// What the progress bar was last given, in the bar's own terms: its range and the width of its
// filled part in pixels, and when. The bar starts with no range.
struct ProgressShown { HWND bar; int low, high, width, pixel; DWORD at; };
ProgressShown progressShown{nullptr, 0, 0, -1, -1, 0};

// A screen shows a new picture about every 16 ms; a bar moved more often than that moves unseen.
constexpr DWORD kProgressFrameMs = 16;

int Scaled(int part, float scale) {
    return part <= 2 ? kPartWidths[part] : static_cast<int>(kPartWidths[part] * scale);
}

WNDPROC statusBarProc;

// The bar's clicks reach the main window as notifications made by its own procedure.
LRESULT CALLBACK StatusBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallOwnControl(statusBarProc, bar, message, wParam, lParam);
}

}  // namespace

HWND CreateStatusBar(HWND parent) {
    app.statusBar = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr,
                                    WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | SBARS_TOOLTIPS | SBARS_SIZEGRIP,
                                    0, 0, 0, 0, parent, nullptr, app.instance, nullptr);
    if (!app.statusBar) return nullptr;
    statusBarProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(app.statusBar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StatusBarProc)));
    SendMessageW(app.statusBar, WM_SIZE, 0, MAKELPARAM(32, 32));
    SendMessageW(app.statusBar, SB_SETPARTS, kStatusParts, reinterpret_cast<LPARAM>(statusPartEdges));
    SendMessageW(app.statusBar, SB_SETTEXTW, 7, reinterpret_cast<LPARAM>(UiString(IDS_UPDATE_BLANK)));
    ShowUpdateSchedule();
    const wchar_t* credit = UiString(IDS_NOTICE);
    SetPart(8, lstrlenW(credit) > 10 ? credit + 10 : L"", UiString(IDS_NOTICE_TIP), nullptr);
    return app.statusBar;
}

void LayoutStatusBar(int clientWidth, float scale) {
    int edge = clientWidth;
    statusPartEdges[8] = -1;
    for (int part = 8; part >= 1; --part) {
        edge -= Scaled(part, scale);
        statusPartEdges[part - 1] = edge;
    }
    statusPartsWidth = clientWidth - statusPartEdges[0];
    if (app.statusBar) SendMessageW(app.statusBar, SB_SETPARTS, kStatusParts, reinterpret_cast<LPARAM>(statusPartEdges));
}

int StatusBarHeight() {
    RECT client{};
    if (app.statusBar) GetClientRect(app.statusBar, &client);
    return client.bottom;
}

RECT ProgressBarRect(float scale, int statusTop, int statusHeight) {
    int width = static_cast<int>(115 * scale);
    int left = statusPartEdges[4] + 2, top = statusTop + 2, w = width - 2, h = statusHeight - 2;
    if (themeState() != 0) { left += 3; top += 4; w = width - 8; h -= 4; }
    return RECT{left, top, left + w, top + h};
}

void RefreshStatus() {
    if (!app.statusBar || !app.view) return;
    bool open = logSource.handle != nullptr;
    int current = static_cast<int>(SendMessageW(app.view, LB_GETCURSEL, 0, 0));
    int count = static_cast<int>(SendMessageW(app.view, LB_GETCOUNT, 0, 0));
    wchar_t text[64];
    if (open) {
        wsprintfW(text, UiString(IDS_ROW_NUMBER), current + 1);
        SetPart(4, text, text, nullptr);
    } else {
        SetPart(4, L"", L"", nullptr);
    }
    if (FilteringOn()) {
        wchar_t tip[512];
        wsprintfW(text, UiString(IDS_FILTERED), filters.hiddenLines);
        wsprintfW(tip, UiString(IDS_FILTERED_TIP), filters.hiddenLines, settings.kbLimit);
        SetPart(5, text, tip, nullptr);
    } else {
        wsprintfW(text, UiString(IDS_ROW_COUNT), count);
        SetPart(5, text, text, nullptr);
    }
    if (LastLineUnfinished()) SetPart(1, UiString(IDS_UNFINISHED), UiString(IDS_UNFINISHED), app.iconBuff);
    else SetPart(1, L"", L"", nullptr);
    if (!open) SetPart(2, L"", L"", nullptr);
    else if (SurveillanceStopped()) SetPart(2, UiString(IDS_STOPPED), UiString(IDS_STOPPED_TIP), app.iconPause);
    else if (logSource.paused) SetPart(2, UiString(IDS_PAUSED), UiString(IDS_PAUSED), app.iconPause);
    else SetPart(2, UiString(IDS_WATCHING), UiString(IDS_WATCHING), app.iconPlay);
}

void UpdateProgress() {
    if (!app.progressBar) return;
    int64_t size = static_cast<int64_t>(logSource.currentSize);
    int low = static_cast<int>((size - static_cast<int64_t>(settings.kbLimit) * 1024) / 65536);
    int high = static_cast<int>(size / 65536);
    int position = static_cast<int>(logSource.bytesConsumed / 65536);
    // The bar repaints itself at once for every new position, which costs more than the read that
    // moved it; a position goes to it only when the bar's filled part changes by a pixel, and at
    // most once a frame while its range stays.
    RECT client{};
    GetClientRect(app.progressBar, &client);
    int within = position < low ? low : position > high ? high : position;
    ProgressShown now{app.progressBar, low, high, client.right,
                      high > low ? MulDiv(within - low, client.right, high - low) : 0, GetTickCount()};
    const ProgressShown& was = progressShown;
    if (was.bar == now.bar && was.low == now.low && was.high == now.high && was.width == now.width &&
        (was.pixel == now.pixel || now.at - was.at < kProgressFrameMs))
        return;
    progressShown = now;
    SendMessageW(app.progressBar, PBM_SETRANGE32, low, high);
    SendMessageW(app.progressBar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void SetStatusSizeText(const char* text, const wchar_t* tip) {
    if (!app.statusBar) return;
    SendMessageW(app.statusBar, SB_SETTEXTA, 6, reinterpret_cast<LPARAM>(text));
    SendMessageW(app.statusBar, SB_SETTIPTEXTW, 6, reinterpret_cast<LPARAM>(tip));
}

void SetStatusFile(const wchar_t* path) { SetPart(0, path, path, app.iconFile); }

void ClearStatusFile() { SetPart(0, L"", L"", nullptr); }

void SetStatusLockText(bool locked) {
    if (app.statusBar) SendMessageW(app.statusBar, SB_SETTEXTW, 3, reinterpret_cast<LPARAM>(locked ? UiString(IDS_LOCKED) : L""));
}

void SetStatusLockTip(bool locked) {
    if (app.statusBar) SendMessageW(app.statusBar, SB_SETTIPTEXTW, 3, reinterpret_cast<LPARAM>(locked ? UiString(IDS_LOCKED_TIP) : L""));
}

void ShowUpdateSchedule() {
    if (!app.statusBar) return;
    wchar_t tip[512];
    if (settings.autoCheck) {
        ULARGE_INTEGER next;
        next.QuadPart = (static_cast<ULONGLONG>(settings.lastCheck) + 4320) * 600000000ULL;
        FILETIME utc{next.LowPart, next.HighPart}, local;
        SYSTEMTIME t{};
        FileTimeToLocalFileTime(&utc, &local);
        FileTimeToSystemTime(&local, &t);
        wsprintfW(tip, UiString(IDS_UPDATE_NEXT), UiString(IDS_UPDATE_NONE), t.wDay, t.wMonth, t.wYear, t.wHour, t.wMinute);
    } else {
        wsprintfW(tip, UiString(IDS_UPDATE_DISABLED), UiString(IDS_UPDATE_NONE));
    }
    SendMessageW(app.statusBar, SB_SETTIPTEXTW, 7, reinterpret_cast<LPARAM>(tip));
}
