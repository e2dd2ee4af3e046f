// Printing rows: page setup with its preview, the Print command, the page count and the job.
#pragma once
#include <windows.h>
#include <commdlg.h>
#include <cstdint>
#include "print/layout.h"

// The printing subsystem's process-wide state: the two system dialog records, kept until exit so
// that printer, paper and margins carry over between jobs, and the job being sent.
struct PrintJob {
    bool recordsReady;
    PAGESETUPDLGW pageSetup;   // margins and paper in the unit its flags name
    PRINTDLGW printDialog;     // shares hDevMode and hDevNames with pageSetup
    RECT samplePage;           // the Page Setup preview's page, in the preview's pixels

    HDC printerDC;             // context of the whole job; released when the job is over
    bool printAll;             // all rows, or only the selected ones
    uint32_t rowsPerPage;
    uint32_t pageCount;        // 0: nothing to print
    uint32_t nextPrintRow;     // first view row not yet considered
    bool documentOpen;         // between a successful StartDocW and EndDoc or AbortDoc
};

extern PrintJob printJob;

void PrintSetupCommand();              // 1102
void PrintCommand();                   // 1103

// Sends the rows to printJob.printerDC: the page count, the box of string 33 when there is
// nothing to print, else the progress dialog with the watch paused. The dialog's result, or 0.
INT_PTR RunPrintJob(bool all);

// rowsPerPage and pageCount for the view's rows (all, or the selected ones) on printerDC.
uint32_t CountPrintPages(HWND mainWindow, bool all);
// Draws one page of rows starting at view row firstRow; the row where the next page starts, 0 at
// the view's end. scale >= 0: the screen's vertical pixels per inch (printing); scale < 0: its
// magnitude is how many times the preview is smaller than the paper.
uint32_t PrintPageRows(HDC dc, uint32_t firstRow, bool all, double scale, int left, int top, int right, int bottom);
// Vertical pixels per inch of the screen `window` is on; 0 when its device context cannot be had.
int ScreenDpi(HWND window);
// The page setup margins in hundredths of a millimetre, whatever unit the dialog reported.
PageMargins CurrentMargins();

INT_PTR CALLBACK PrintProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
UINT_PTR CALLBACK PageSetupPaintHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
