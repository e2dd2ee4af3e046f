// The surveillance cycle: the timer tick that reads what the file gained, the general WM_TIMER
// step, and the two commands that act on the cycle (Pause, Lock autoscrolling).
#include "logsource/logsource.h"
#include "logsource/lines.h"
#include "status/tray.h"
#include "logsource/watch.h"
#include "persist/settings.h"
#include "shell/app.h"
#include "status/status.h"
#include "view/view.h"
#include "dialogs/ui.h"
#include "ids.h"
#include <shlwapi.h>
#include <cstring>

namespace {

constexpr DWORD kRearmMs = 10;
constexpr DWORD kRedrawHoldMs = 100;
constexpr DWORD kIdentityCheckMs = 1000;

// The surveillance timer runs at the 10 ms period once a tick has armed it; opening a file arms it
// at 20 ms and closing kills it (both forget this). A tick takes no message from the queue, so no
// timer message can reach it while it runs; killing and arming an unchanged timer on every idle
// tick would only cost two round trips to the window server each time.
bool timerAtRearmPeriod;

void ShowProgressBar(bool show) {
    if (app.progressBar) ShowWindow(app.progressBar, show ? SW_SHOW : SW_HIDE);
}

// The size that sizeText was formatted from: the same size gives the same text, and formatting it
// again on every idle tick would be most of the tick's own work.
uint64_t sizeTextOf;

void ShowSize(uint64_t size) {
    LogSource& s = logSource;
    if (s.sizeText[0] && size == sizeTextOf) return;
    char text[64];
    if (!StrFormatByteSize64A(LONGLONG(size), text, sizeof(text))) return;
    sizeTextOf = size;
    if (strcmp(text, s.sizeText) == 0) return;
    lstrcpynA(s.sizeText, text, sizeof(s.sizeText));

    DWORD high = 0;
    SetLastError(0);
    DWORD low = GetCompressedFileSizeW(s.fullPath, &high);
    uint64_t onDisk = (low == INVALID_FILE_SIZE && GetLastError() != 0) ? size : (uint64_t(high) << 32 | low);
    wchar_t diskText[64] = L"";
    StrFormatByteSizeW(LONGLONG(onDisk), diskText, 64);
    wchar_t tip[256];
    wnsprintfW(tip, 256, UiString(IDS_ACTUAL_SIZE), diskText);

    // Padded so that the part's text is replaced whole, whatever the width of the previous one.
    char padded[64];
    int length = lstrlenA(text);
    CopyMemory(padded, text, length);
    while (length < 63) padded[length++] = ' ';
    padded[63] = 0;
    SetStatusSizeText(padded, tip);
}

// A rotated log: the path now names another file than the open handle. Opens it afresh.
void CheckReplacement() {
    LogSource& s = logSource;
    DWORD now = GetTickCount();
    if (now - s.identityCheckTick <= kIdentityCheckMs) return;
    s.identityCheckTick = now;
    bool same = true;
    if (CompareWatchedPath(&same) && !same) OpenReplacement();
}

void GeneralTimerStep(UINT_PTR timerId) {
    LogSource& s = logSource;
    if (app.view) {
        if (GetWindowLongW(app.view, GWL_STYLE) & WS_HSCROLL) {
            if (!s.hscrollShown) {
                s.hscrollShown = true;
                // The new scroll bar has just taken room at the bottom of the view.
                if (!AutoscrollLocked()) ScrollToEnd();
            }
        } else {
            s.hscrollShown = false;
        }
    }
    if (timerId == TIMER_TRAY_MENU || timerId == TIMER_TRAY_RESTORE || timerId == TIMER_TRAY_HIDE) TrayOnTimer(timerId);
}

}  // namespace

void OnLogTimer(UINT_PTR timerId) {
    if (timerId == TIMER_SURVEILLANCE) SurveillanceTick();
    GeneralTimerStep(timerId);
}

void SurveillanceTick() {
    LogSource& s = logSource;
    if (!s.handle || (s.paused && !s.readOnce)) return;
    s.readOnce = false;
    uint32_t rowLimit = settings.wrapLines ? settings.rowLength : kMaxRowLimit;
    if (rowLimit < 1 || rowLimit > kMaxRowLimit) rowLimit = kMaxRowLimit;

    uint64_t size = 0;
    bool emptied = false;
    if (QueryFileSize(s.handle, &size)) {
        if (size < s.lastSize) {
            emptied = true;
            // Truncated: read again from the start without mark detection, or, when the file is
            // still larger than the kilobyte limit, from its tail as at opening: a cut large file
            // must not be read whole.
            EmptyView();
            DropCarry();
            s.bytesConsumed = SeekLoadStart(s.handle, 0);
        }
        s.lastSize = size;
        ShowSize(size);
    }

    bool appended = false, longestGrew = false, redrawHeld = false, progressShown = false, firstRead = true;
    bool readAny = false, locked = false;
    const uint32_t hiddenBefore = filters.hiddenLines;
    for (;;) {
        DWORD room = 0;
        BYTE* target = PrepareRead(&room);
        DWORD got = 0;
        if (!ReadFile(s.handle, target, room, &got, nullptr) || got == 0) break;
        if (QueryFileSize(s.handle, &size)) s.currentSize = size;
        // A full first read means a backlog: the view is not redrawn before the tick ends anyway,
        // and a list box that redraws takes milliseconds per appended row on some platforms.
        if (!redrawHeld && (!firstRead || got == room) && app.view) {
            SendMessageW(app.view, WM_SETREDRAW, FALSE, 0);
            redrawHeld = true;
        }
        if (firstRead) {
            s.readStartTick = GetTickCount();
        } else if (progressShown) {
            UpdateProgress();
        } else if (GetTickCount() - s.readStartTick > kRedrawHoldMs) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            ShowProgressBar(true);
            UpdateProgress();
            progressShown = true;
        }
        uint32_t units = DecodeChunk(got);
        s.bytesConsumed += got;
        // No input is taken before the tick ends, so the lock stays as first asked.
        if (firstRead) locked = AutoscrollLocked();
        AppendResult result = AppendUnits(units, rowLimit, locked);
        readAny = true;
        appended = appended || result.appended;
        longestGrew = longestGrew || result.longestGrew;
        firstRead = false;
    }
    // New rows and the scroll to them reach the view under one redraw: a list box repaints its
    // scroll bars at every change made while it redraws, which under Wine costs more than the
    // rest of following a file together.
    if (appended && !redrawHeld && app.view) {
        SendMessageW(app.view, WM_SETREDRAW, FALSE, 0);
        redrawHeld = true;
    }
    FlushRows();

    if (appended && !locked) {
        ScrollToEnd();
        FocusView();
    }
    if (redrawHeld && app.view) {
        SendMessageW(app.view, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(app.view, nullptr, TRUE);
    }
    // An emptied view must not keep showing the old count, even when no complete row came back.
    if (appended || emptied || filters.hiddenLines != hiddenBefore) RefreshStatus();
    if (longestGrew) UpdateHorizontalExtent();
    CheckReplacement();
    ShowProgressBar(false);
    // After reading, the next tick comes 10 ms after this one ends.
    if (app.mainWindow && (readAny || !timerAtRearmPeriod)) {
        SetTimer(app.mainWindow, TIMER_SURVEILLANCE, kRearmMs, nullptr);
        timerAtRearmPeriod = true;
    }
}

void ForgetSurveillanceTimer() { timerAtRearmPeriod = false; }

void OpenReplacement() {
    // Opening may show an error box, whose message loop must not run a tick.
    if (app.mainWindow) KillTimer(app.mainWindow, TIMER_SURVEILLANCE);
    timerAtRearmPeriod = false;
    ReopenLogFile();
}

bool HandlesNameOneFile(HANDLE a, HANDLE b, bool* same) {
    BY_HANDLE_FILE_INFORMATION first, second;
    if (!a || !b || !GetFileInformationByHandle(a, &first) || !GetFileInformationByHandle(b, &second)) return false;
    *same = first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
            first.nFileIndexLow == second.nFileIndexLow;
    return true;
}

bool CompareWatchedPath(bool* same) {
    LogSource& s = logSource;
    if (!s.handle) return false;
    HANDLE probe = CreateFileW(s.fullPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return false;
    bool told = HandlesNameOneFile(s.handle, probe, same);
    CloseHandle(probe);
    return told;
}

void PauseCommand() {
    LogSource& s = logSource;
    if (!s.handle) return;
    s.paused = !s.paused;
    CheckMenuCommand(IDM_PAUSE, s.paused);
    RefreshStatus();
}

void LockScrollCommand(bool fromAccelerator) {
    if (!logSource.handle) return;
    if (!fromAccelerator) {
        // The key comes back through the accelerator table as this command with fromAccelerator set.
        keybd_event(VK_SCROLL, 0, KEYEVENTF_EXTENDEDKEY, 0);
        keybd_event(VK_SCROLL, 0, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
    }
    bool locked = ScrollLockOn();
    if (!locked) logSource.holdScroll = true;
    SetStatusLockText(locked);
    SetStatusLockTip(locked);
    CheckMenuCommand(IDM_LOCK_SCROLL, locked);
}
