// Printing in this process to the real CUPS PDF printer: the rows of a watched file, the page
// count, the watch paused during the job, long rows, and the failures that print nothing.
#include <gtest/gtest.h>
#include <windows.h>
#include <commdlg.h>
#include <string>
#include <vector>
#include "harness.h"
#include "printout.h"
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "print/print.h"
#include "shell/app.h"
#include "ids.h"

namespace {

// The text of the last message box of this thread, answered with OK from a thread timer.
std::wstring boxText;

void CALLBACK AnswerBox(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = FindWindowW(L"#32770", nullptr);
    if (!box || GetWindowThreadProcessId(box, nullptr) != GetCurrentThreadId() || !GetDlgItem(box, 0xFFFF)) return;
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
        SetDefaultSettings();
        InitLogSource();
        HINSTANCE instance = GetModuleHandleW(nullptr);
        ASSERT_TRUE(RegisterMainWindowClass(instance));
        main = CreateMainWindow(instance, SW_SHOWNOACTIVATE);
        ASSERT_NE(nullptr, main);
        dir = harness::NewTempDir();
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
    // Opens a log named after a fresh job title (the PDF is named after it) and waits for its rows.
    std::wstring OpenLog(const wchar_t* prefix, const std::string& text, int rows) {
        std::wstring title = printout::UniqueTitle(prefix);
        std::wstring path = dir + L"\\" + title;
        EXPECT_TRUE(harness::WriteBytes(path, text));
        EXPECT_TRUE(OpenLogFile(path.c_str()));
        EXPECT_TRUE(harness::WaitForRows(app.view, rows));
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
}
