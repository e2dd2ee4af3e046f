// Printing rows: the page setup and print records, the two commands, the page count, drawing
// a page of rows and the Page Setup preview.
#include "print/print.h"
#include "shell/app.h"
#include "logsource/logsource.h"
#include "view/view.h"
#include "persist/settings.h"
#include "status/status.h"
#include "dialogs/ui.h"
#include "ids.h"

PrintJob printJob;

namespace {

constexpr uint32_t kDefaultMargin = 2500;    // 25 mm
constexpr uint32_t kPreviewRows = 9999;      // the preview fills the sample page
constexpr LRESULT kSelectionProposed = 3;    // more selected rows than this propose "Selection"
constexpr LRESULT kPreviewSelection = 7;     // more selected rows than this preview the selection

bool InchesReported(DWORD flags) { return (flags & PSD_INTHOUSANDTHSOFINCHES) != 0; }

// The user's measurement system, the one the page setup dialog shows without a unit flag.
bool LocaleUsesInches() {
    wchar_t measure[4] = L"";
    return GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IMEASURE, measure, 4) > 0 && measure[0] == L'1';
}

void PrepareRecords() {
    PrintJob& j = printJob;
    if (j.recordsReady) return;
    j.recordsReady = true;
    // The margins start at 25 mm in the user's measurement system; naming that unit keeps the
    // values and the unit the dialog reads them in together.
    bool inches = LocaleUsesInches();
    uint32_t margin = FromHundredthsOfMm(kDefaultMargin, inches);
    PAGESETUPDLGW& setup = j.pageSetup;
    setup.lStructSize = sizeof setup;
    setup.Flags = PSD_MARGINS | PSD_ENABLEPAGEPAINTHOOK | (inches ? PSD_INTHOUSANDTHSOFINCHES : PSD_INHUNDREDTHSOFMILLIMETERS);
    setup.rtMargin = RECT{static_cast<LONG>(margin), static_cast<LONG>(margin), static_cast<LONG>(margin), static_cast<LONG>(margin)};
    setup.lpfnPagePaintHook = PageSetupPaintHook;
    PRINTDLGW& print = j.printDialog;
    print.lStructSize = sizeof print;
    print.Flags = PD_RETURNDC | PD_COLLATE | PD_NOPAGENUMS;
    print.nFromPage = 0;
    print.nToPage = 65535;
    print.nMinPage = 0;
    print.nMaxPage = 65535;
    print.nCopies = 1;
}

uint32_t MarginValue(LONG value, bool inches) { return ToHundredthsOfMm(value > 0 ? static_cast<uint32_t>(value) : 0, inches); }

LRESULT ViewCount(UINT message) { return app.view ? SendMessageW(app.view, message, 0, 0) : LB_ERR; }

void ErrorBox(HWND owner, const wchar_t* text) { MessageBoxW(owner, text, nullptr, MB_OK | MB_ICONERROR); }

}  // namespace

int ScreenDpi(HWND window) {
    HDC screen = GetDC(window);
    if (!screen) return 0;
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(window, screen);
    return dpi;
}

PageMargins CurrentMargins() {
    PrepareRecords();
    const PAGESETUPDLGW& setup = printJob.pageSetup;
    bool inches = InchesReported(setup.Flags);
    return PageMargins{MarginValue(setup.rtMargin.left, inches), MarginValue(setup.rtMargin.top, inches),
                       MarginValue(setup.rtMargin.right, inches), MarginValue(setup.rtMargin.bottom, inches)};
}

void PrintSetupCommand() {
    PrepareRecords();
    PrintJob& j = printJob;
    j.pageSetup.hwndOwner = app.mainWindow;
    j.pageSetup.hDevMode = j.printDialog.hDevMode;
    j.pageSetup.hDevNames = j.printDialog.hDevNames;
    bool confirmed = PageSetupDlgW(&j.pageSetup) != FALSE;
    // The dialog may have made the selection's handles; the print record holds them from now on
    // either way, so none is lost.
    j.printDialog.hDevMode = j.pageSetup.hDevMode;
    j.printDialog.hDevNames = j.pageSetup.hDevNames;
    if (confirmed) j.pageSetup.Flags |= PSD_MINMARGINS | PSD_MARGINS;
}

void PrintCommand() {
    if (!logSource.handle) return;
    PrepareRecords();
    PrintJob& j = printJob;
    PRINTDLGW& print = j.printDialog;
    print.hwndOwner = app.mainWindow;
    print.Flags &= ~PD_SELECTION;
    LRESULT selected = ViewCount(LB_GETSELCOUNT);
    if (selected != LB_ERR && selected > kSelectionProposed) print.Flags |= PD_SELECTION;
    ui.placeNextWindow = true;
    bool confirmed = PrintDlgW(&print) != FALSE;
    ui.placeNextWindow = false;   // armed for the dialog alone, shown or not
    if (!confirmed) return;
    j.printerDC = print.hDC;
    print.hDC = nullptr;
    RunPrintJob((print.Flags & PD_SELECTION) == 0);
    if (j.printerDC) DeleteDC(j.printerDC);
    j.printerDC = nullptr;
}

INT_PTR RunPrintJob(bool all) {
    PrintJob& j = printJob;
    j.printAll = all;
    if (CountPrintPages(app.mainWindow, all) == 0) {
        ErrorBox(app.mainWindow, UiString(IDS_ERR_PRINT_NO_DATA));
        return 0;
    }
    // The rows must not change while they are sent; the Pause menu mark stays as the user set it.
    bool wasPaused = logSource.paused;
    logSource.paused = true;
    RefreshStatus();
    INT_PTR result = RunUiDialog(IDD_PRINTING, app.mainWindow, PrintProgressDialogProc);
    logSource.paused = wasPaused;
    RefreshStatus();
    return result;
}

uint32_t CountPrintPages(HWND mainWindow, bool all) {
    PrintJob& j = printJob;
    j.rowsPerPage = 0;
    j.pageCount = 0;
    LRESULT rows = ViewCount(all ? LB_GETCOUNT : LB_GETSELCOUNT);
    HDC dc = j.printerDC;
    if (rows == LB_ERR || rows <= 0 || !dc) return 0;
    RECT page;
    if (!PrintableRect(CurrentMargins(), GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY),
                       GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES), &page))
        return 0;
    double pitch = RowPitch(settings.font.lfHeight, GetDeviceCaps(dc, LOGPIXELSY), ScreenDpi(mainWindow));
    j.rowsPerPage = RowsPerPage(static_cast<uint32_t>(page.bottom - page.top), pitch);
    j.pageCount = PageCount(static_cast<uint32_t>(rows), j.rowsPerPage);
    return j.pageCount;
}

uint32_t PrintPageRows(HDC dc, uint32_t firstRow, bool all, double scale, int left, int top, int right, int bottom) {
    LRESULT count = ViewCount(LB_GETCOUNT);
    uint32_t rows = count == LB_ERR || count < 0 ? 0 : static_cast<uint32_t>(count);
    LOGFONTW font = settings.font;
    double pitch = RowPitch(font.lfHeight, GetDeviceCaps(dc, LOGPIXELSY), scale);
    if (pitch <= 0) return 0;
    font.lfHeight = RowFontHeight(pitch);
    HFONT created = CreateFontIndirectW(&font);
    HGDIOBJ previous = created ? SelectObject(dc, created) : nullptr;

    static_assert(kRowBufferUnits == 4096, "rows hold at most 4,095 units");
    wchar_t text[kRowBufferUnits];
    uint32_t i = firstRow;
    for (uint32_t j = 0; i < rows && j < printJob.rowsPerPage; ++i) {
        if (!all && SendMessageW(app.view, LB_GETSEL, i, 0) <= 0) continue;
        int64_t rowTop = static_cast<int64_t>(top) + RowOffset(j, pitch);
        if (rowTop >= bottom) break;   // only the preview gets here: the rest would be clipped away
        if (uint32_t copied = ReadViewRow(app.view, static_cast<size_t>(i), text)) {
            RECT rect{left, static_cast<LONG>(rowTop), right, bottom};
            DrawTextExW(dc, text, static_cast<int>(copied), &rect, DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX, nullptr);
        }
        ++j;
    }

    if (previous) SelectObject(dc, previous);
    if (created) DeleteObject(created);
    return i < rows ? i : 0;
}

UINT_PTR CALLBACK PageSetupPaintHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    const RECT* rect = reinterpret_cast<const RECT*>(lParam);
    switch (message) {
    case WM_PSD_FULLPAGERECT:
        if (rect) printJob.samplePage = *rect;
        return FALSE;
    case WM_PSD_MARGINRECT: {
        if (!rect) return FALSE;
        LOGBRUSH brush{BS_SOLID, RGB(128, 128, 255), 0};
        HPEN pen = ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &brush, 0, nullptr);
        HGDIOBJ previous = pen ? SelectObject(dc, pen) : nullptr;
        Rectangle(dc, rect->left, rect->top, rect->right, rect->bottom);
        if (previous) SelectObject(dc, previous);
        if (pen) DeleteObject(pen);
        return TRUE;
    }
    case WM_PSD_GREEKTEXTRECT: {
        if (!rect) return FALSE;
        PrintJob& j = printJob;
        j.rowsPerPage = kPreviewRows;
        uint32_t paperHeight = ToHundredthsOfMm(j.pageSetup.ptPaperSize.y > 0 ? j.pageSetup.ptPaperSize.y : 0,
                                                InchesReported(j.pageSetup.Flags));
        int dpi = GetDeviceCaps(dc, LOGPIXELSY);
        uint32_t paperPixels = MarginPixels(paperHeight, dpi > 0 ? static_cast<uint32_t>(dpi) : 0);
        LONG sampleHeight = j.samplePage.bottom - j.samplePage.top;
        if (paperPixels == 0 || sampleHeight <= 0) return TRUE;
        double shrink = static_cast<double>(paperPixels) / sampleHeight;
        LRESULT selected = ViewCount(LB_GETSELCOUNT);
        bool all = selected == LB_ERR || selected <= kPreviewSelection;
        PrintPageRows(dc, 0, all, -shrink, rect->left, rect->top, rect->right, rect->bottom);
        return TRUE;
    }
    default:
        return FALSE;
    }
}
