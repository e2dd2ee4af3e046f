// Printing in this process to the real CUPS PDF printer: the rows of a watched file, the page
// count, the watch paused during the job, long rows, and the failures that print nothing.
#include <gtest/gtest.h>
#include <windows.h>
#include <commdlg.h>
#include <dlgs.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "harness.h"
#include "printout.h"
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "print/print.h"
#include "shell/app.h"
#include "dialogs/ui.h"
#include "ids.h"

namespace {

// The text of the last message box of this thread, answered with OK from a thread timer.
std::wstring boxText;

BOOL CALLBACK FindMessageBox(HWND window, LPARAM found) {
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    // A message box: a dialog with its text in static -1, neither the progress nor the setup dialog.
    if (lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(window) || GetDlgItem(window, IDC_PRINT_PROGRESS) ||
        GetDlgItem(window, edt5) || GetWindowTextLengthW(GetDlgItem(window, 0xFFFF)) == 0)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

void CALLBACK AnswerBox(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindMessageBox, reinterpret_cast<LPARAM>(&box));
    if (!box) return;
    wchar_t text[2048] = L"";
    GetDlgItemTextW(box, 0xFFFF, text, 2048);
    boxText = text;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

// Appended to the watched file once the job is under way.
std::wstring lateRowPath;
void CALLBACK AppendLateRow(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    harness::AppendBytes(lateRowPath, "appended while printing\n");
}

class Print : public testing::Test {
protected:
    HWND main = nullptr;
    std::wstring dir;
    UINT_PTR answerTimer = 0;

    void SetUp() override {
        ASSERT_NE(0u, GetEnvironmentVariableA("BRINDLE_PDF_DIR", nullptr, 0))
            << "BRINDLE_PDF_DIR is not set: run the tests with tools/test.sh, which starts the printer";
        dir = harness::NewTempDir();
        SetDefaultSettings();
        InitLogSource();
        ASSERT_TRUE(RegisterMainWindowClass(GetModuleHandleW(nullptr)));
        main = CreateMainWindow(GetModuleHandleW(nullptr), SW_SHOWNOACTIVATE);
        ASSERT_NE(nullptr, main);
        PRINTDLGW defaults{};
        defaults.lStructSize = sizeof defaults;
        defaults.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
        ASSERT_TRUE(PrintDlgW(&defaults)) << "no default printer";
        printJob.printerDC = defaults.hDC;
        if (defaults.hDevMode) GlobalFree(defaults.hDevMode);
        if (defaults.hDevNames) GlobalFree(defaults.hDevNames);
        boxText.clear();
        answerTimer = SetTimer(nullptr, 0, 50, AnswerBox);
    }
    void TearDown() override {
        KillTimer(nullptr, answerTimer);
        if (printJob.printerDC) DeleteDC(printJob.printerDC);
        printJob.printerDC = nullptr;
        CloseLogFile();
        DestroyWindow(main);
        harness::Pump(20);
    }
    // Opens a log named after a fresh job title (the PDF is named after it) and waits for its rows
    // (rows 0: until the last row reads "last row").
    std::wstring OpenLog(const wchar_t* prefix, const std::string& text, int rows) {
        std::wstring title = printout::UniqueTitle(prefix);
        std::wstring path = dir + L"\\" + title;
        EXPECT_TRUE(harness::WriteBytes(path, text));
        EXPECT_TRUE(OpenLogFile(path.c_str()));
        if (rows > 0) EXPECT_TRUE(harness::WaitForRows(app.view, rows));
        else EXPECT_TRUE(harness::WaitUntil([] {
            std::vector<std::wstring> shown = harness::Rows(app.view);
            return !shown.empty() && shown.back() == L"last row";
        }));
        return title;
    }
};

std::string NumberedRows(int count, const char* stem) {
    std::string text;
    for (int i = 0; i < count; ++i) text += std::string(stem) + " " + std::to_string(i) + "\n";
    return text;
}

}  // namespace

TEST_F(Print, AllRowsInOrderOnAsManyPagesAsCountedWithTheWatchPausedMeanwhile) {
    const int kRows = 150;
    std::string text = "\xEF\xBB\xBF" + NumberedRows(kRows - 2, "row") + "Příliš žluťoučký kůň úpěl ďábelské ódy\n" +
                       "Ťažké šťastie, ľúbivý dôvod, ôsmy kôň\n";
    std::wstring title = OpenLog(L"all", text, kRows);
    std::wstring path = dir + L"\\" + title;

    uint32_t pages = CountPrintPages(main, true);
    ASSERT_GE(pages, 2u);
    // While the job is sent, appended rows do not reach the view.
    lateRowPath = path;
    SetTimer(nullptr, 0, 40, AppendLateRow);
    EXPECT_EQ(1, RunPrintJob(true));
    EXPECT_EQ(kRows, harness::RowCount(app.view)) << "the watch went on during the job";
    EXPECT_FALSE(logSource.paused);
    EXPECT_TRUE(harness::WaitForRows(app.view, kRows + 1)) << "the watch did not resume";

    std::string printed;
    ASSERT_TRUE(printout::ReadPdfText(title, &printed));
    std::vector<std::string> expected;
    for (int i = 0; i < kRows - 2; ++i) expected.push_back("row " + std::to_string(i));
    expected.push_back("Příliš žluťoučký kůň úpěl ďábelské ódy");
    expected.push_back("Ťažké šťastie, ľúbivý dôvod, ôsmy kôň");
    EXPECT_EQ(expected, printout::Lines(printed));
    EXPECT_EQ(static_cast<int>(pages), printout::PageCount(printed));

    // A selection longer than a page: each page goes on from the selected row after the last one
    // printed.
    std::vector<std::string> chosen;
    for (int i = 0; i < kRows; ++i) {
        if (i % 3 == 0) continue;
        SendMessageW(app.view, LB_SETSEL, TRUE, i);
        chosen.push_back(expected[i]);
    }
    pages = CountPrintPages(main, false);
    ASSERT_GE(pages, 2u);
    EXPECT_EQ(1, RunPrintJob(false));
    ASSERT_TRUE(printout::ReadPdfText(title, &printed));
    EXPECT_EQ(chosen, printout::Lines(printed));
    EXPECT_EQ(static_cast<int>(pages), printout::PageCount(printed));
}

TEST_F(Print, NothingToPrintShowsTheNoDataBoxAndStartsNoJob) {
    std::wstring title = OpenLog(L"nothing", NumberedRows(20, "row"), 20);
    const std::wstring noData = UiString(IDS_ERR_PRINT_NO_DATA);
    CurrentMargins();   // the records take their defaults
    RECT kept = printJob.pageSetup.rtMargin;
    DWORD keptFlags = printJob.pageSetup.Flags;
    auto expectNoJob = [&](bool all, const char* why) {
        boxText.clear();
        EXPECT_EQ(0, RunPrintJob(all)) << why;
        EXPECT_EQ(noData, boxText) << why;
        EXPECT_EQ(0u, printJob.pageCount) << why;
        EXPECT_FALSE(logSource.paused) << why;
    };
    // Margins of 15 cm at top and bottom of a sheet under 30 cm high.
    printJob.pageSetup.Flags = (keptFlags & ~PSD_INTHOUSANDTHSOFINCHES) | PSD_INHUNDREDTHSOFMILLIMETERS;
    printJob.pageSetup.rtMargin = RECT{2500, 15000, 2500, 15000};
    expectNoJob(true, "no printable height");
    printJob.pageSetup.rtMargin = RECT{11000, 2500, 11000, 2500};
    expectNoJob(true, "no printable width");
    // A row taller than what is left of the page.
    printJob.pageSetup.rtMargin = RECT{2500, 14000, 2500, 14000};
    settings.font.lfHeight = 96;
    expectNoJob(true, "font taller than the page");
    settings.font.lfHeight = 0;
    printJob.pageSetup.rtMargin = kept;
    expectNoJob(true, "font height 0");
    settings.font.lfHeight = 13;
    expectNoJob(false, "no row selected");
    printJob.pageSetup.Flags = keptFlags;
    // The printer writes its files after the job has left the queue.
    EXPECT_TRUE(printout::WaitPrinterIdle());
    EXPECT_EQ(0, printout::PdfCount(title));
}

TEST_F(Print, AJobThePrinterRefusesIsReportedWithTheSystemText) {
    OpenLog(L"refused", NumberedRows(20, "row"), 20);
    // A screen context takes the page count but no print job.
    DeleteDC(printJob.printerDC);
    printJob.printerDC = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, printJob.printerDC);
    logSource.paused = true;
    printJob.documentOpen = true;   // as an earlier job that ended badly might have left it
    EXPECT_EQ(0, RunPrintJob(true));
    EXPECT_FALSE(printJob.documentOpen) << "a refused job counts as open";
    EXPECT_TRUE(logSource.paused) << "a watch paused before the job stays paused";
    const std::wstring prefix = UiString(IDS_ERR_PRINT_START);
    EXPECT_EQ(prefix, boxText.substr(0, prefix.size()));
    EXPECT_GT(boxText.size(), prefix.size()) << "the system's text follows the prefix";
}

TEST_F(Print, LongRowsAreWrappedInTheViewOrCutAtTheRightMargin) {
    std::string longRow;
    for (int i = 0; longRow.size() < 300; ++i) longRow += "segment" + std::to_string(i) + " ";
    const std::string text = "short row\n" + longRow + "\nlast row\n";
    std::string printed;

    // Wrapping on: the printout holds the view's rows, each whole.
    settings.wrapLines = 1;
    std::wstring title = OpenLog(L"wrapped", text, 0);
    std::vector<std::string> shown;
    for (const std::wstring& row : harness::Rows(app.view)) shown.push_back(harness::Utf8(row));
    ASSERT_GT(shown.size(), 3u);
    EXPECT_EQ(1, RunPrintJob(true));
    ASSERT_TRUE(printout::ReadPdfText(title, &printed));
    std::vector<std::string> lines = printout::Lines(printed);
    ASSERT_EQ(shown.size(), lines.size()) << printed;
    for (size_t i = 0; i < shown.size(); ++i) {
        while (!shown[i].empty() && shown[i].back() == ' ') shown[i].pop_back();
        while (!shown[i].empty() && shown[i].front() == ' ') shown[i].erase(0, 1);
        EXPECT_EQ(shown[i], lines[i]);
    }

    // Wrapping off: the long row is one printed line, cut at the right margin.
    CloseLogFile();
    settings.wrapLines = 0;
    title = OpenLog(L"cut", text, 3);
    EXPECT_EQ(1, RunPrintJob(true));
    ASSERT_TRUE(printout::ReadPdfText(title, &printed));
    lines = printout::Lines(printed);
    ASSERT_EQ(3u, lines.size()) << printed;
    EXPECT_EQ("short row", lines[0]);
    EXPECT_EQ(0u, longRow.find(lines[1])) << "the row's start, up to the margin";
    EXPECT_LT(lines[1].size(), 150u);
    EXPECT_GT(lines[1].size(), 60u);
    EXPECT_EQ("last row", lines[2]);
}

namespace {

// Drives this thread's Page Setup dialog from a thread timer: reads the top margin as shown,
// enters `enter` (unless empty) and confirms, or cancels.
struct SetupDriver {
    std::wstring enter;
    std::wstring shown;
    bool seen = false;
};
SetupDriver* setupDriver = nullptr;

void CALLBACK DriveSetup(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = FindWindowW(L"#32770", nullptr);
    if (!setupDriver || setupDriver->seen || !dialog || !GetDlgItem(dialog, edt5) ||
        GetWindowThreadProcessId(dialog, nullptr) != GetCurrentThreadId())
        return;
    setupDriver->seen = true;
    wchar_t text[64] = L"";
    GetDlgItemTextW(dialog, edt5, text, 64);
    setupDriver->shown = text;
    if (setupDriver->enter.empty()) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    SetDlgItemTextW(dialog, edt5, setupDriver->enter.c_str());
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(edt5, EN_KILLFOCUS), reinterpret_cast<LPARAM>(GetDlgItem(dialog, edt5)));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

}  // namespace

TEST_F(Print, PageSetupKeepsTheEnteredMarginInTheUnitItShows) {
    CurrentMargins();
    bool inches = (printJob.pageSetup.Flags & PSD_INTHOUSANDTHSOFINCHES) != 0;
    SetupDriver driver{inches ? L"1" : L"30"};
    setupDriver = &driver;
    UINT_PTR timer = SetTimer(nullptr, 0, 100, DriveSetup);
    PrintSetupCommand();
    ASSERT_TRUE(driver.seen);
    EXPECT_EQ(inches ? L"0.984" : L"25", driver.shown.substr(0, inches ? 5 : 2)) << "25 mm in the unit shown";
    EXPECT_EQ(inches ? 2540u : 3000u, CurrentMargins().top) << "1 inch is 25.4 mm";
    EXPECT_EQ(inches ? 2499u : 2500u, CurrentMargins().left) << "untouched margins stay (0.984 inch)";
    EXPECT_TRUE(printJob.pageSetup.Flags & PSD_MINMARGINS);

    // The next showing starts from the entered margin; cancelling keeps it.
    driver = SetupDriver{};
    PrintSetupCommand();
    KillTimer(nullptr, timer);
    setupDriver = nullptr;
    ASSERT_TRUE(driver.seen);
    EXPECT_EQ(inches ? L"1" : L"30", driver.shown.substr(0, inches ? 1 : 2));
    EXPECT_EQ(inches ? 2540u : 3000u, CurrentMargins().top);
}

namespace {

// Cancels this thread's progress dialog once `cancelAt` pages are out, noting its bar's range and
// position then.
LRESULT cancelAt = 1, cancelledAtRange = -1, cancelledAtPosition = -1;
void CALLBACK CancelAfterPages(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dialog = FindWindowW(L"#32770", nullptr);
    HWND bar = dialog ? GetDlgItem(dialog, IDC_PRINT_PROGRESS) : nullptr;
    if (!bar || SendMessageW(bar, PBM_GETPOS, 0, 0) < cancelAt) return;
    KillTimer(nullptr, id);
    cancelledAtRange = SendMessageW(bar, PBM_GETRANGE, FALSE, 0);
    cancelledAtPosition = SendMessageW(bar, PBM_GETPOS, 0, 0);
    // Posted: handled before the dialog's next timer tick, so no page follows.
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

}  // namespace

TEST_F(Print, ProgressStaysExactPast65535PagesAndCancelPrintsThePagesSent) {
    std::wstring title = OpenLog(L"range", NumberedRows(100, "row"), 100);
    uint32_t pages = CountPrintPages(main, true);
    ASSERT_EQ(2u, pages);
    printJob.printAll = true;
    printJob.pageCount = 70000;
    cancelAt = 1;
    SetTimer(nullptr, 0, 20, CancelAfterPages);
    EXPECT_EQ(0, RunUiDialog(IDD_PRINTING, main, PrintProgressDialogProc));
    EXPECT_EQ(70000, cancelledAtRange);
    EXPECT_FALSE(printJob.documentOpen) << "the cancelled job was left open";
    std::string printed;
    ASSERT_TRUE(printout::ReadPdfText(title, &printed));
    EXPECT_EQ(cancelledAtPosition, printout::PageCount(printed));
    std::vector<std::string> lines = printout::Lines(printed);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("row 0", lines.front());

    // Cancelled in the pause after the last page: the whole job prints.
    printJob.pageCount = pages;
    cancelAt = pages;
    SetTimer(nullptr, 0, 20, CancelAfterPages);
    EXPECT_EQ(0, RunUiDialog(IDD_PRINTING, main, PrintProgressDialogProc));
    EXPECT_EQ(static_cast<LRESULT>(pages), cancelledAtPosition);
    EXPECT_FALSE(printJob.documentOpen);
    ASSERT_TRUE(printout::ReadPdfText(title, &printed));
    EXPECT_EQ(static_cast<int>(pages), printout::PageCount(printed));
    EXPECT_EQ(NumberedRows(100, "row"), [&] {
        std::string text;
        for (const std::string& line : printout::Lines(printed)) text += line + "\n";
        return text;
    }());
}
