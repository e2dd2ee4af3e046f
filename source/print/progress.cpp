// The "Printing" dialog: sends one page per tick of its timer, so the user interface stays
// responsive without a worker thread, and lets the user cancel the job.
#include "print/print.h"
#include "shell/app.h"
#include "shell/platform.h"
#include "logsource/logsource.h"
#include "dialogs/common.h"
#include "dialogs/errors.h"
#include "dialogs/ui.h"
#include "ids.h"
#include <commctrl.h>

namespace {

constexpr UINT_PTR kPageTimer = 1;
constexpr UINT_PTR kEndTimer = 2;
constexpr UINT kPageInterval = 50;    // ms, one page per tick
constexpr UINT kEndPause = 500;       // ms between the last page and the end of the job

HWND ProgressBar(HWND dialog) { return GetDlgItem(dialog, IDC_PRINT_PROGRESS); }

// Closes an unfinished job. The user's cancel keeps the pages already sent and sends no more; a
// failed page drops the whole job, as a printout with rows missing would pass for a complete one.
void CloseJob(HWND dialog, bool keepSentPages) {
    KillTimer(dialog, kPageTimer);
    KillTimer(dialog, kEndTimer);
    if (!printJob.documentOpen) return;
    printJob.documentOpen = false;
    if (keepSentPages) EndDoc(printJob.printerDC);
    else AbortDoc(printJob.printerDC);
}

void FailJob(HWND dialog, DWORD code) {
    CloseJob(dialog, false);
    ShowSystemError(IDS_ERR_PRINT_START, code, dialog);
    EndDialog(dialog, 0);
}

void OnInitDialog(HWND dialog) {
    PrintJob& j = printJob;
    j.nextPrintRow = 0;
    j.documentOpen = false;
    HWND bar = ProgressBar(dialog);
    // The 32-bit range keeps the bar exact past 65,535 pages.
    SendMessageW(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(j.pageCount));
    SendMessageW(bar, PBM_SETPOS, 0, 0);
    SendMessageW(bar, PBM_SETSTEP, 1, 0);
    DOCINFOW document{};
    document.cbSize = sizeof document;
    document.lpszDocName = logSource.fileTitle;
    if (StartDocW(j.printerDC, &document) > 0) {
        j.documentOpen = true;
        SetTimer(dialog, kPageTimer, kPageInterval, nullptr);
    } else {
        FailJob(dialog, GetLastError());
    }
}

void SendNextPage(HWND dialog) {
    PrintJob& j = printJob;
    HWND bar = ProgressBar(dialog);
    UINT position = static_cast<UINT>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    UINT limit = static_cast<UINT>(SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
    if (position >= limit) {
        KillTimer(dialog, kPageTimer);
        SetTimer(dialog, kEndTimer, kEndPause, nullptr);
        return;
    }
    HDC dc = j.printerDC;
    // A page that cannot be started or finished would leave rows out of a job that looks whole.
    if (StartPage(dc) <= 0) return FailJob(dialog, GetLastError());
    RECT page;
    PrintableRect(CurrentMargins(), GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY),
                  GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES), &page);
    j.nextPrintRow =
        PrintPageRows(dc, j.nextPrintRow, j.printAll, ScreenDpi(dialog), page.left, page.top, page.right, page.bottom);
    if (EndPage(dc) <= 0) return FailJob(dialog, GetLastError());
    SendMessageW(bar, PBM_STEPIT, 0, 0);
}

void FlashMainWindow() {
    if (optionalApi.FlashWindowEx) {
        FLASHWINFO flash{sizeof flash, app.mainWindow, FLASHW_ALL, 3, 0};
        optionalApi.FlashWindowEx(&flash);
        return;
    }
    for (int i = 0; i < 6; ++i) {
        FlashWindow(app.mainWindow, TRUE);
        Sleep(150);
    }
}

void FinishJob(HWND dialog) {
    KillTimer(dialog, kEndTimer);
    MessageBeep(MB_ICONASTERISK);
    if (GetForegroundWindow() != dialog) FlashMainWindow();
    printJob.documentOpen = false;
    if (EndDoc(printJob.printerDC) <= 0) return FailJob(dialog, GetLastError());
    EndDialog(dialog, 1);
}

}  // namespace

INT_PTR CALLBACK PrintProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        break;
    case WM_TIMER:
        if (wParam == kPageTimer) SendNextPage(dialog);
        else if (wParam == kEndTimer) FinishJob(dialog);
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) CloseJob(dialog, true);
        break;
    case WM_CLOSE:
    case WM_DESTROY:
        CloseJob(dialog, true);   // however the dialog goes, an unfinished job is not left open
        break;
    }
    return CommonDialogProc(dialog, message, wParam, lParam);
}
