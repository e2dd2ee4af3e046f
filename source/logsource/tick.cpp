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
// Once loaded, a tick reads for at most kReadMs and hands rows to the view until kTickMs, so that a
// writer faster than the program holds the window no longer than that; the next tick goes on
// where this one stopped. A tick that finds nothing new hands every waiting row over at once.
constexpr double kReadMs = 8, kTickMs = 12;
// While rows keep coming the view is redrawn at most this often, in a tick of its own: a list box
// that redraws again repaints both scroll bars, about 16 ms under Wine with the visual theme.
constexpr DWORD kRepaintMs = 100;
// No tick for this long while a file is watched: the message loop runs one itself.
constexpr DWORD kOverdueMs = 250;

// The surveillance timer runs at the 10 ms period once a tick has armed it; opening a file arms it
// at 20 ms and closing kills it (both forget this). A tick takes no message from the queue, so no
// timer message can reach it while it runs; killing and arming an unchanged timer on every idle
// tick would only cost two round trips to the window server each time.
bool timerAtRearmPeriod;

// The state of the cycle between ticks.
struct Cycle {
    DWORD lastTick;        // GetTickCount when the last tick began
    bool timerFailed;      // SetTimer refused the surveillance timer
    bool reopening;        // a rotated file is being opened; its error box may be waiting
    HWND heldView;         // the view whose redrawing the ticks hold off, or null
    DWORD repaintedAt;     // GetTickCount when the view last drew again
    bool handedLastTick;   // the previous tick handed rows to the view: they keep coming
    bool statusDue;        // the view drew new rows; the status bar follows in the next tick
};

Cycle cycle;

bool ArmTimer(UINT period) {
    if (!app.mainWindow) return false;
    bool armed = SetTimer(app.mainWindow, TIMER_SURVEILLANCE, period, nullptr) != 0;
    if (armed != !cycle.timerFailed) {
        cycle.timerFailed = !armed;
        RefreshStatus();
    }
    return armed;
}

void HoldRedraw() {
    if (cycle.heldView == app.view || !app.view) return;
    SendMessageW(app.view, WM_SETREDRAW, FALSE, 0);
    cycle.heldView = app.view;
}

void ReleaseRedraw() {
    HWND view = cycle.heldView;
    cycle.heldView = nullptr;
    cycle.repaintedAt = GetTickCount();
    // A view replaced meanwhile was made drawing.
    if (!view || view != app.view) return;
    SendMessageW(view, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(view, nullptr, TRUE);
    cycle.statusDue = true;
}

bool RepaintDue() { return cycle.heldView && GetTickCount() - cycle.repaintedAt >= kRepaintMs; }

// Drawing the view or refreshing the status bar, at most one of them per tick: each costs tens of
// milliseconds under Wine on a busy machine. True when the tick did one.
bool ShowWhatIsDue() {
    if (RepaintDue()) {
        ReleaseRedraw();
        return true;
    }
    if (!cycle.statusDue) return false;
    cycle.statusDue = false;
    RefreshStatus();
    return true;
}

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
    if (cycle.reopening) return;
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
    cycle.lastTick = GetTickCount();
    if (!s.handle) return;
    const bool stream = cycle.handedLastTick;
    cycle.handedLastTick = false;
    if (s.paused && !s.readOnce) {
        ShowWhatIsDue();
        return;
    }
    s.readOnce = false;
    uint32_t rowLimit = settings.wrapLines ? settings.rowLength : kMaxRowLimit;
    if (rowLimit < 1 || rowLimit > kMaxRowLimit) rowLimit = kMaxRowLimit;

    uint64_t size = 0;
    bool emptied = false, sizeKnown = false;
    if (QueryFileSize(s.handle, &size)) {
        sizeKnown = true;
        if (size < s.lastSize) {
            emptied = true;
            // Truncated: read again from the start without mark detection, or, when the file is
            // still larger than the kilobyte limit, from its tail as at opening: a cut large file
            // must not be read whole.
            EmptyView();
            DropCarry();
            s.bytesConsumed = SeekLoadStart(s.handle, 0);
            s.loading = true;
        }
        s.lastSize = size;
    }

    // A read at the end of the file can only bring nothing: an idle tick neither reads nor asks the clock.
    const bool more = !sizeKnown || size != s.bytesConsumed;
    const double start = more || PendingRowCount() ? WorkClockMs() : 0;
    const bool load = s.loading;
    bool longestGrew = false, progressShown = false, firstRead = true;
    bool readAny = false, locked = false, cut = false;
    const uint32_t hiddenBefore = filters.hiddenLines;
    while (more) {
        if (!load && WorkClockMs() - start > kReadMs) {
            cut = true;
            break;
        }
        DWORD room = 0;
        BYTE* target = PrepareRead(&room);
        DWORD got = 0;
        if (!ReadFile(s.handle, target, room, &got, nullptr) || got == 0) {
            s.loading = false;
            break;
        }
        if (got < room) s.loading = false;   // the load has caught up with the file
        if (QueryFileSize(s.handle, &size)) s.currentSize = size;
        // A full first read means a backlog: the view is not redrawn before the tick ends anyway,
        // and a list box that redraws takes milliseconds per appended row on some platforms.
        if (!firstRead || got == room) HoldRedraw();
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
        // Locked, the rows went to the view with the read; the counters follow.
        if (locked && result.appended) cycle.statusDue = true;
        readAny = true;
        longestGrew = longestGrew || result.longestGrew;
        firstRead = false;
    }

    // New rows and the scroll to them reach the view under one redraw: a list box repaints its
    // scroll bars at every change made while it redraws, which under Wine costs more than the
    // rest of following a file together. While rows keep coming, a tick either hands rows over
    // or shows what is due (the view drawn again, or the status bar).
    // Without filters, the rows of a line still being written go on as the rows before them.
    if (LinesJudged()) ReleaseUnfinishedLine();
    size_t handed = 0;
    if (PendingRowCount() && (load || !stream || !(RepaintDue() || cycle.statusDue))) {
        HoldRedraw();
        handed = FlushRows(load || !readAny ? 0 : start + kTickMs);
        cycle.handedLastTick = handed != 0;
        if (handed && !readAny) locked = AutoscrollLocked();
    }
    if (handed && !locked) {
        ScrollToEnd();
        FocusView();
    }
    // Lines left out change the count in the status bar though no row comes.
    if (filters.hiddenLines != hiddenBefore) cycle.statusDue = true;
    // Rows that keep coming are drawn by the next tick, which hands none over.
    bool showed = !(stream && handed) && ShowWhatIsDue();
    // The size goes to the status bar with the rows: while they keep coming, in ticks that do
    // nothing else.
    if (sizeKnown && !handed && !showed) ShowSize(s.lastSize);
    // An emptied view must not keep showing the old count, even when no complete row came back.
    if (emptied) RefreshStatus();
    if (longestGrew) UpdateHorizontalExtent();
    CheckReplacement();
    if (progressShown) ShowProgressBar(false);
    // After reading, the next tick comes 10 ms after this one ends.
    if (app.mainWindow && (readAny || !timerAtRearmPeriod)) timerAtRearmPeriod = ArmTimer(kRearmMs);
    // Behind the file or the view: the next tick comes at once, unless input, a paint or a timer
    // waits, which go first (a posted message would come before them).
    if (app.mainWindow && (cut || PendingRowCount()) && !HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT | QS_TIMER | QS_HOTKEY)))
        PostMessageW(app.mainWindow, WM_TIMER, TIMER_SURVEILLANCE, 0);
}

void KeepSurveillanceAlive() {
    if (!logSource.handle || GetTickCount() - cycle.lastTick < kOverdueMs) return;
    SurveillanceTick();
}

bool SurveillanceStopped() { return logSource.handle && cycle.timerFailed; }

void ReleaseViewRedraw() {
    if (cycle.heldView) ReleaseRedraw();
    cycle.handedLastTick = false;
    cycle.statusDue = false;   // the caller refreshes the status bar
}

bool ArmSurveillanceTimer(UINT period) {
    cycle.lastTick = GetTickCount();
    return ArmTimer(period);
}

void ForgetSurveillanceTimer() { timerAtRearmPeriod = false; }

void OpenReplacement() {
    // Opening may show an error box. The ticks of its message loop go on reading the old file,
    // which stays open when the new one cannot be opened, but check for no replacement meanwhile.
    if (cycle.reopening) return;
    cycle.reopening = true;
    ReopenLogFile();
    cycle.reopening = false;
}

bool SameFileIdentity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    // Wine answers a volume serial of 0 when its volume query fails: that says nothing about the
    // volume, and only the file index is compared.
    bool volumeKnown = a.dwVolumeSerialNumber != 0 && b.dwVolumeSerialNumber != 0;
    return (!volumeKnown || a.dwVolumeSerialNumber == b.dwVolumeSerialNumber) && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

bool HandlesNameOneFile(HANDLE a, HANDLE b, bool* same) {
    BY_HANDLE_FILE_INFORMATION first, second;
    if (!a || !b || !GetFileInformationByHandle(a, &first) || !GetFileInformationByHandle(b, &second)) return false;
    *same = SameFileIdentity(first, second);
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
