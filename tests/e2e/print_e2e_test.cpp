// Printing from the real brindle.exe to the CUPS PDF printer: the Print command through the
// system print dialog, all rows, a selection, and a job cancelled from its progress dialog.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>
#include <string>
#include <vector>
#include "harness.h"
#include "printout.h"
#include "ids.h"

namespace {

// A visible dialog of the process with this title; the system print dialog takes seconds to come.
HWND WaitDialog(const harness::Process& process, const wchar_t* title, DWORD timeoutMs = 15000) {
    HWND found = nullptr;
    harness::WaitUntil([&] {
        for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", title); w; w = FindWindowExW(nullptr, w, L"#32770", title)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == process.info.dwProcessId && IsWindowVisible(w)) found = w;
        }
        return found != nullptr;
    }, timeoutMs);
    return found;
}

bool Checked(HWND dialog, int id) { return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Print command, then the print dialog: the range it proposes, optionally switched to "Selection".
HWND OpenPrintDialog(const harness::Process& brindle) {
    PostMessageW(brindle.main, WM_COMMAND, MAKEWPARAM(IDM_PRINT, 0), 0);
    return WaitDialog(brindle, L"Print");
}

bool WaitGone(HWND window, DWORD timeoutMs = 20000) {
    return harness::WaitUntil([&] { return !IsWindow(window); }, timeoutMs);
}

// Confirms the print dialog and waits for the job's progress dialog to come and go.
bool PrintAndWait(const harness::Process& brindle, HWND printDialog) {
    PostMessageW(printDialog, WM_COMMAND, IDOK, 0);
    HWND progress = WaitDialog(brindle, L"Printing");
    return progress && WaitGone(progress);
}

std::string Rows(int count, const char* stem) {
    std::string text;
    for (int i = 0; i < count; ++i) text += std::string(stem) + " " + std::to_string(i) + "\n";
    return text;
}

class PrintE2E : public testing::Test {
protected:
    std::wstring dir;
    void SetUp() override {
        ASSERT_NE(0u, GetEnvironmentVariableA("BRINDLE_PDF_DIR", nullptr, 0))
            << "BRINDLE_PDF_DIR is not set: run the tests with tools/test.sh, which starts the printer";
        dir = harness::NewTempDir();
    }
    // Starts brindle.exe on a log of `rows` numbered rows named after the job title.
    bool StartOn(harness::Process& brindle, const std::wstring& title, int rows, const char* stem) {
        std::wstring path = dir + L"\\" + title;
        return harness::WriteBytes(path, Rows(rows, stem)) && harness::Start(brindle, L"\"" + path + L"\"") &&
               harness::WaitForRows(brindle.view, rows);
    }
};

}  // namespace

TEST_F(PrintE2E, SelectionOfThreeRowsOnConsecutiveLinesAndTheRangeTheDialogProposes) {
    std::wstring title = printout::UniqueTitle(L"selection");
    harness::Process brindle;
    ASSERT_TRUE(StartOn(brindle, title, 600, "line"));
    for (int row : {10, 11, 500}) SendMessageW(brindle.view, LB_SETSEL, TRUE, row);

    // Three selected rows: the dialog proposes all rows; the user picks the selection.
    HWND dialog = OpenPrintDialog(brindle);
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(Checked(dialog, rad1));
    EXPECT_FALSE(Checked(dialog, rad2));
    SendDlgItemMessageW(dialog, rad1, BM_SETCHECK, BST_UNCHECKED, 0);
    SendDlgItemMessageW(dialog, rad2, BM_SETCHECK, BST_CHECKED, 0);
    ASSERT_TRUE(PrintAndWait(brindle, dialog));
    std::string printed;
    ASSERT_TRUE(printout::ReadPdfText(title, &printed));
    EXPECT_EQ((std::vector<std::string>{"line 10", "line 11", "line 500"}), printout::Lines(printed));
    EXPECT_EQ(1, printout::PageCount(printed));

    // Four selected rows: the dialog proposes the selection.
    SendMessageW(brindle.view, LB_SETSEL, TRUE, 12);
    dialog = OpenPrintDialog(brindle);
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(Checked(dialog, rad2));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitGone(dialog));
    EXPECT_EQ(0u, harness::Close(brindle));
}

TEST_F(PrintE2E, CancelledJobPrintsThePagesSentAndTheNextJobPrintsEveryPage) {
    std::wstring title = printout::UniqueTitle(L"cancel");
    harness::Process brindle;
    ASSERT_TRUE(StartOn(brindle, title, 1000, "row"));

    HWND dialog = OpenPrintDialog(brindle);
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(Checked(dialog, rad1));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    HWND progress = WaitDialog(brindle, L"Printing");
    ASSERT_NE(nullptr, progress);
    HWND bar = GetDlgItem(progress, IDC_PRINT_PROGRESS);
    LRESULT pages = SendMessageW(bar, PBM_GETRANGE, FALSE, 0);
    EXPECT_GT(pages, 5);
    ASSERT_TRUE(harness::WaitUntil([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) >= 2; }));
    PostMessageW(progress, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitGone(progress));

    // The pages sent before the cancel, whole and from the first row on.
    std::string printed;
    ASSERT_TRUE(printout::ReadPdfText(title, &printed));
    int sent = printout::PageCount(printed);
    EXPECT_GE(sent, 2);
    EXPECT_LT(sent, pages);
    std::vector<std::string> lines = printout::Lines(printed);
    const size_t cancelledRows = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ("row " + std::to_string(i), lines[i]);

    // The same file again, to the end.
    dialog = OpenPrintDialog(brindle);
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(PrintAndWait(brindle, dialog));
    ASSERT_TRUE(printout::ReadPdfText(title, &printed));
    EXPECT_EQ(pages, printout::PageCount(printed));
    lines = printout::Lines(printed);
    ASSERT_EQ(1000u, lines.size());
    EXPECT_EQ("row 0", lines.front());
    EXPECT_EQ("row 999", lines.back());
    EXPECT_EQ(sent * printout::Lines(printed.substr(0, printed.find('\f'))).size(), cancelledRows) << "whole pages";
    EXPECT_EQ(0u, harness::Close(brindle));
}
