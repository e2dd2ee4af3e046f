// Status bar, find, go to row, copy and the per-file placement, as a user meets them in brindle.exe.
#include <gtest/gtest.h>
#include "harness.h"
#include <commdlg.h>

namespace {

const wchar_t kKey[] = L"Software\\Skelby\\Brindle";
const wchar_t kStream[] = L":Tervo.Brindle.Properties";

constexpr int kFindEdit = 0x480, kWholeWord = 0x410, kMatchCase = 0x411, kUp = 0x420, kDown = 0x421, kRegex = 582;

void SetSetting(const wchar_t* name, DWORD value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, REG_DWORD, &value, sizeof(value));
}

int Caret(HWND view) { return static_cast<int>(SendMessageW(view, LB_GETCURSEL, 0, 0)); }

void SetControlText(HWND dialog, int id, const wchar_t* text) {
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void Check(HWND dialog, int id, bool on) {
    SendMessageW(GetDlgItem(dialog, id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

// Settings of the Find dialog, then its Find Next button; the search runs before the call returns.
void SetUpFind(HWND dialog, const wchar_t* text, bool wholeWord, bool matchCase, bool down, bool regex) {
    SetControlText(dialog, kFindEdit, text);
    Check(dialog, kWholeWord, wholeWord);
    Check(dialog, kMatchCase, matchCase);
    Check(dialog, kUp, !down);
    Check(dialog, kDown, down);
    Check(dialog, kRegex, regex);
}

void FindNext(HWND dialog, const wchar_t* text, bool wholeWord, bool matchCase, bool down, bool regex = false) {
    SetUpFind(dialog, text, wholeWord, matchCase, down, regex);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

BOOL CALLBACK CollectText(HWND child, LPARAM param) {
    *reinterpret_cast<std::wstring*>(param) += harness::WindowText(child) + L"\n";
    return TRUE;
}

// Every text of a window's children, one a line.
std::wstring ChildTexts(HWND window) {
    std::wstring texts;
    EnumChildWindows(window, CollectText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

HWND WaitForDialog(const harness::Process& brindle, const wchar_t* caption) {
    HWND dialog = nullptr;
    harness::WaitUntil([&] { return (dialog = harness::FindDialog(brindle.info.dwProcessId, caption)) != nullptr; });
    return dialog;
}

bool WaitStatus(const harness::Process& brindle, int part, const std::wstring& text) {
    return harness::WaitUntil([&] { return harness::StatusText(brindle, part) == text; });
}

void PutOnClipboard(const wchar_t* text) {
    ASSERT_TRUE(harness::WaitUntil([] { return OpenClipboard(nullptr) != 0; }));
    EmptyClipboard();
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(memory), text, bytes);
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

int Stored(const std::wstring& log, const wchar_t* key) {
    return static_cast<int>(GetPrivateProfileIntW(L"Position", key, -1, (log + kStream).c_str()));
}

FILETIME WriteTime(const std::wstring& path) {
    FILETIME t{};
    HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    GetFileTime(file, nullptr, nullptr, &t);
    CloseHandle(file);
    return t;
}

RECT Rect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// The clipboard is polled only once it changed: opening it while the program copies would make
// the program's own OpenClipboard fail, which it answers by doing nothing.
std::wstring ClipboardAfter(DWORD sequence, bool* present = nullptr) {
    harness::WaitUntil([&] { return GetClipboardSequenceNumber() != sequence; });
    harness::Pump(50);
    return harness::ClipboardText(present);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

TEST(FindE2E, FindGoToAndCopyAsAUserWould) {
    std::wstring path = harness::NewTempDir() + L"\\find.log";
    ASSERT_TRUE(harness::WriteBytes(path, "first line\nthe cat sat\ncategory\ncategory cat\ncat.\nERROR here\n"
                                          "error again\nlast line\njob 7: timeout after 250 ms\n"));
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L"\"" + path + L"\""));
    ASSERT_TRUE(harness::WaitForRows(brindle.view, 9));
    EXPECT_TRUE(WaitStatus(brindle, 4, L"line 9"));
    EXPECT_EQ(L"line 9", harness::StatusTip(brindle, 4));

    // Go to row: the field starts at the current row; 0 and one past the last keep the dialog open.
    harness::PressKeys(brindle.main, {VK_CONTROL, 'G'});
    HWND go = WaitForDialog(brindle, L"Go to row");
    ASSERT_NE(nullptr, go);
    EXPECT_EQ(L"9", harness::WindowText(GetDlgItem(go, 258)));
    for (const wchar_t* bad : {L"0", L"10", L""}) {
        SetControlText(go, 258, bad);
        SendMessageW(go, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(IsWindowVisible(go)) << harness::Utf8(bad);
    }
    auto goTo = [&](HWND dialog, const wchar_t* number, int caret) {
        SetControlText(dialog, 258, number);
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        return harness::WaitUntil([&] { return !IsWindow(dialog) && Caret(brindle.view) == caret; });
    };
    EXPECT_TRUE(goTo(go, L"1", 0));
    EXPECT_TRUE(WaitStatus(brindle, 4, L"line 1"));
    // A click on the row number opens it too; the last row is in range.
    harness::ClickStatus(brindle, 4);
    go = WaitForDialog(brindle, L"Go to row");
    ASSERT_NE(nullptr, go);
    EXPECT_TRUE(goTo(go, L"9", 8));
    harness::PressKeys(brindle.main, {VK_CONTROL, 'G'});
    go = WaitForDialog(brindle, L"Go to row");
    ASSERT_NE(nullptr, go);
    ASSERT_TRUE(goTo(go, L"1", 0));

    // Find: the main window takes no input while the dialog is open.
    harness::PressKeys(brindle.main, {VK_CONTROL, 'F'});
    HWND find = WaitForDialog(brindle, nullptr);
    ASSERT_NE(nullptr, find);
    EXPECT_TRUE(harness::WaitUntil([&] { return !IsWindowEnabled(brindle.main); }));
    FindNext(find, L"cat", true, false, true);
    EXPECT_EQ(1, Caret(brindle.view));                       // "the cat sat"
    FindNext(find, L"cat", true, false, true);
    EXPECT_EQ(4, Caret(brindle.view));                       // "cat.", past "category" and "category cat"
    FindNext(find, L"cat", true, false, true);
    EXPECT_EQ(4, Caret(brindle.view));                       // not found: no wrap-around
    FindNext(find, L"ERROR", false, true, true);
    EXPECT_EQ(5, Caret(brindle.view));
    FindNext(find, L"ERROR", false, true, true);
    EXPECT_EQ(5, Caret(brindle.view));                       // "error again" differs in case
    FindNext(find, L"ERROR", false, false, true);
    EXPECT_EQ(6, Caret(brindle.view));

    // By pattern: the box checked, the text is a regular expression; unchecked, plain text again.
    ASSERT_NE(nullptr, GetDlgItem(find, kRegex));
    FindNext(find, L"timeout after \\d+ ms", false, false, true, true);
    EXPECT_EQ(8, Caret(brindle.view));
    FindNext(find, L"^error", false, false, false, true);
    EXPECT_EQ(6, Caret(brindle.view));                       // up, case folded
    FindNext(find, L"timeout after \\d+ ms", false, false, true, false);
    EXPECT_EQ(6, Caret(brindle.view));                       // no such plain text
    FindNext(find, L"^ERROR", false, true, false, true);
    EXPECT_EQ(5, Caret(brindle.view));
    FindNext(find, L"cat", true, true, false, true);
    EXPECT_EQ(4, Caret(brindle.view));                       // "cat."
    FindNext(find, L"cat", true, true, false, true);
    EXPECT_EQ(3, Caret(brindle.view));                       // any whole match counts: "category cat"
    // A pattern that does not compile: a box says why and where, nothing is searched.
    SetUpFind(find, L"timeout (\\d+ ms", false, false, true, true);
    PostMessageW(find, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(find, IDOK)));
    HWND refusal = WaitForDialog(brindle, L"Regular expression");
    ASSERT_NE(nullptr, refusal);
    EXPECT_NE(std::wstring::npos, ChildTexts(refusal).find(L"character 9")) << harness::Utf8(ChildTexts(refusal));
    PostMessageW(refusal, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(harness::WaitUntil([&] { return !IsWindow(refusal); }));
    EXPECT_EQ(3, Caret(brindle.view));
    FindNext(find, L"last", false, false, true);
    EXPECT_EQ(7, Caret(brindle.view));                       // and the window goes on
    FindNext(find, L"cat", false, false, false);
    EXPECT_EQ(4, Caret(brindle.view));                       // up
    EXPECT_EQ(1, static_cast<int>(SendMessageW(brindle.view, LB_GETSELCOUNT, 0, 0)));
    EXPECT_TRUE(WaitStatus(brindle, 4, L"line 5"));

    // Ctrl+F again brings the open dialog forward instead of a second one; Esc closes it.
    harness::PressKeys(find, {VK_CONTROL, 'F'});
    harness::Pump(200);
    EXPECT_EQ(find, harness::FindDialog(brindle.info.dwProcessId));
    harness::PressKeys(find, {VK_ESCAPE});
    EXPECT_TRUE(harness::WaitUntil([&] { return !IsWindow(find) && IsWindowEnabled(brindle.main); }));

    // F3 searches on with the last settings (up, "cat") without the dialog.
    harness::PressKeys(brindle.main, {VK_F3});
    EXPECT_TRUE(harness::WaitUntil([&] { return Caret(brindle.view) == 3; }));
    harness::PressKeys(brindle.main, {VK_F3});
    EXPECT_TRUE(harness::WaitUntil([&] { return Caret(brindle.view) == 2; }));

    // F3 after a search by pattern searches by that pattern again.
    harness::PressKeys(brindle.main, {VK_CONTROL, 'F'});
    find = WaitForDialog(brindle, nullptr);
    ASSERT_NE(nullptr, find);
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(GetDlgItem(find, kRegex), BM_GETCHECK, 0, 0));   // each opening
    FindNext(find, L"c.t\\b", false, false, true, true);
    EXPECT_EQ(3, Caret(brindle.view));                       // "category cat", not "category" itself
    harness::PressKeys(find, {VK_ESCAPE});
    EXPECT_TRUE(harness::WaitUntil([&] { return !IsWindow(find) && IsWindowEnabled(brindle.main); }));
    harness::PressKeys(brindle.main, {VK_F3});
    EXPECT_TRUE(harness::WaitUntil([&] { return Caret(brindle.view) == 4; }));   // "cat."

    // Copy: rows selected from the bottom up come out in view order, each with CR LF.
    SendMessageW(brindle.view, LB_SETSEL, FALSE, -1);
    for (int row : {3, 2, 1}) SendMessageW(brindle.view, LB_SETSEL, TRUE, row);
    SendMessageW(brindle.view, LB_SETANCHORINDEX, 3, 0);
    SendMessageW(brindle.view, LB_SETCARETINDEX, 1, 0);
    DWORD sequence = GetClipboardSequenceNumber();
    harness::PressKeys(brindle.main, {VK_CONTROL, 'C'});
    EXPECT_EQ(L"the cat sat\r\ncategory\r\ncategory cat\r\n", ClipboardAfter(sequence));

    // Nothing selected: the clipboard is emptied rather than left as it was.
    PutOnClipboard(L"old content");
    SendMessageW(brindle.view, LB_SETSEL, FALSE, -1);
    sequence = GetClipboardSequenceNumber();
    harness::PressKeys(brindle.main, {VK_CONTROL, 'C'});
    bool present = true;
    ClipboardAfter(sequence, &present);
    EXPECT_FALSE(present);

    // Select all copies every row in the view.
    harness::PressKeys(brindle.main, {VK_CONTROL, 'A'});
    sequence = GetClipboardSequenceNumber();
    harness::PressKeys(brindle.main, {VK_CONTROL, 'C'});
    EXPECT_EQ(L"first line\r\nthe cat sat\r\ncategory\r\ncategory cat\r\ncat.\r\nERROR here\r\nerror again\r\nlast line\r\n"
              L"job 7: timeout after 250 ms\r\n",
              ClipboardAfter(sequence));

    // A double click on the path copies the extended-length full path, without a line break.
    sequence = GetClipboardSequenceNumber();
    harness::ClickStatus(brindle, 0, true);
    EXPECT_EQ(L"\\\\?\\" + path, ClipboardAfter(sequence));
    EXPECT_EQ(0u, harness::Close(brindle));
}

TEST(FindE2E, StatusFollowsPauseLockTruncationAndCarriedBytes) {
    std::wstring path = harness::NewTempDir() + L"\\status.log";
    ASSERT_TRUE(harness::WriteBytes(path, "one\ntwo\nthr"));
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L"\"" + path + L"\""));
    ASSERT_TRUE(harness::WaitForRows(brindle.view, 2));
    EXPECT_TRUE(WaitStatus(brindle, 5, L"2 lines in log"));
    EXPECT_EQ(L"2 lines in log", harness::StatusTip(brindle, 5));
    EXPECT_EQ(L"The last log line is not finished", harness::StatusText(brindle, 1));
    EXPECT_EQ(L"The last log line is not finished", harness::StatusTip(brindle, 1));
    EXPECT_NE(nullptr, harness::StatusIcon(brindle, 1));
    EXPECT_EQ(path, harness::StatusText(brindle, 0));
    EXPECT_EQ(path, harness::StatusTip(brindle, 0));
    EXPECT_NE(nullptr, harness::StatusIcon(brindle, 0));
    EXPECT_EQ(0u, harness::StatusTip(brindle, 6).find(L"Actual size: "));
    EXPECT_FALSE(harness::StatusTip(brindle, 7).empty());
    EXPECT_FALSE(harness::StatusTip(brindle, 8).empty());

    // Pause and Lock by clicks on their parts, and back.
    EXPECT_EQ(L"The log is under surveillance", harness::StatusText(brindle, 2));
    HICON playing = harness::StatusIcon(brindle, 2);
    harness::ClickStatus(brindle, 2);
    EXPECT_TRUE(WaitStatus(brindle, 2, L"File surveillance is paused"));
    EXPECT_EQ(L"File surveillance is paused", harness::StatusTip(brindle, 2));
    EXPECT_NE(playing, harness::StatusIcon(brindle, 2));
    harness::ClickStatus(brindle, 2);
    EXPECT_TRUE(WaitStatus(brindle, 2, L"The log is under surveillance"));
    harness::ClickStatus(brindle, 3);
    EXPECT_TRUE(harness::WaitUntil([&] { return harness::StatusText(brindle, 3).find(L"LOCKED") == 0; }));
    EXPECT_EQ(L"Automatic scrolling is locked", harness::StatusTip(brindle, 3));
    harness::ClickStatus(brindle, 3);
    EXPECT_TRUE(WaitStatus(brindle, 3, L""));

    // Truncated to a file without a complete line: the count and row number do not stay behind.
    ASSERT_TRUE(harness::WriteBytes(path, "x"));
    EXPECT_TRUE(WaitStatus(brindle, 5, L"0 lines in log"));
    EXPECT_EQ(0, harness::RowCount(brindle.view));

    // A line feed followed by the first byte of a two-byte character: the last line is unfinished.
    PostMessageW(brindle.main, WM_COMMAND, 1302, 0);   // UTF-8, stored for this file
    EXPECT_TRUE(harness::WaitUntil([&] {
        wchar_t name[32] = L"";
        GetPrivateProfileStringW(L"Format", L"Charset", L"", name, 32, (path + kStream).c_str());
        return lstrcmpW(name, L"UTF-8") == 0;
    }));
    ASSERT_TRUE(harness::AppendBytes(path, "\nb\n\xC5"));
    ASSERT_TRUE(harness::WaitForRows(brindle.view, 2));
    EXPECT_TRUE(WaitStatus(brindle, 1, L"The last log line is not finished"));
    ASSERT_TRUE(harness::AppendBytes(path, "\xBD\n"));
    ASSERT_TRUE(harness::WaitForRows(brindle.view, 3));
    EXPECT_EQ(L"\x017D", harness::Rows(brindle.view)[2]);
    EXPECT_TRUE(WaitStatus(brindle, 1, L""));
    EXPECT_EQ(nullptr, harness::StatusIcon(brindle, 1));
    EXPECT_TRUE(WaitStatus(brindle, 5, L"3 lines in log"));

    // 1,536 bytes with an unfinished last line: the size as the platform formats it, padded.
    ASSERT_TRUE(harness::WriteBytes(path, std::string(1499, 'z') + "\n" + std::string(36, 'u')));
    EXPECT_TRUE(WaitStatus(brindle, 6, L"1.50 KB" + std::wstring(56, L' ')));
    EXPECT_TRUE(WaitStatus(brindle, 1, L"The last log line is not finished"));

    // Closed: the file, the mark, the watch and the row parts empty; no rows.
    PostMessageW(brindle.main, WM_COMMAND, 1108, 0);
    EXPECT_TRUE(WaitStatus(brindle, 5, L"0 lines in log"));
    for (int part : {0, 1, 2, 4}) {
        EXPECT_EQ(L"", harness::StatusText(brindle, part)) << part;
        EXPECT_EQ(nullptr, harness::StatusIcon(brindle, part)) << part;
    }
    EXPECT_EQ(0u, harness::Close(brindle));
}

TEST(FindE2E, PlacementStoredPerFileAndRestored) {
    SetSetting(L"save position", 1);
    std::wstring dir = harness::NewTempDir();
    std::wstring path = dir + L"\\placed.log";
    ASSERT_TRUE(harness::WriteBytes(path, "p\n"));
    std::wstring arguments = L"\"" + path + L"\"";
    harness::Process brindle;

    // Closed as a normal window: the rectangle, and the log keeps its modification time.
    ASSERT_TRUE(harness::Start(brindle, arguments));
    SetWindowPos(brindle.main, nullptr, 130, 90, 600, 420, SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(harness::WaitUntil([&] { return Rect(brindle.main).left == 130; }));
    Sleep(50);   // a different time would show if the close touched the log's stamp
    FILETIME before = WriteTime(path);
    EXPECT_EQ(0u, harness::Close(brindle));
    FILETIME after = WriteTime(path);
    EXPECT_EQ(0, CompareFileTime(&before, &after));
    EXPECT_EQ(130, Stored(path, L"X"));
    EXPECT_EQ(90, Stored(path, L"Y"));
    EXPECT_EQ(600, Stored(path, L"Width"));
    EXPECT_EQ(420, Stored(path, L"Height"));
    EXPECT_EQ(-1, Stored(path, L"Maximized"));
    EXPECT_EQ(-1, Stored(path, L"Minimized"));

    // Restored on the next start; closed maximized.
    ASSERT_TRUE(harness::Start(brindle, arguments));
    RECT r = Rect(brindle.main);
    EXPECT_EQ(130, r.left);
    EXPECT_EQ(90, r.top);
    EXPECT_EQ(600, r.right - r.left);
    EXPECT_EQ(420, r.bottom - r.top);
    ShowWindow(brindle.main, SW_MAXIMIZE);
    ASSERT_TRUE(harness::WaitUntil([&] { return IsZoomed(brindle.main) != 0; }));
    EXPECT_EQ(0u, harness::Close(brindle));
    EXPECT_EQ(1, Stored(path, L"Maximized"));
    EXPECT_EQ(-1, Stored(path, L"Minimized"));

    // Shown maximized; closed minimized, which keeps the last rectangle.
    ASSERT_TRUE(harness::Start(brindle, arguments));
    EXPECT_TRUE(IsZoomed(brindle.main));
    int width = Stored(path, L"Width");
    ShowWindow(brindle.main, SW_MINIMIZE);
    ASSERT_TRUE(harness::WaitUntil([&] { return IsIconic(brindle.main) != 0; }));
    EXPECT_EQ(0u, harness::Close(brindle));
    EXPECT_EQ(-1, Stored(path, L"Maximized"));
    EXPECT_EQ(1, Stored(path, L"Minimized"));
    EXPECT_EQ(width, Stored(path, L"Width"));

    // Shown minimized; Exit closes the file first, so nothing is stored.
    ASSERT_TRUE(harness::Start(brindle, arguments));
    EXPECT_TRUE(IsIconic(brindle.main));
    ShowWindow(brindle.main, SW_RESTORE);
    ASSERT_TRUE(harness::WaitUntil([&] { return !IsIconic(brindle.main); }));
    PostMessageW(brindle.main, WM_COMMAND, 1109, 0);
    EXPECT_EQ(0u, harness::WaitExit(brindle));
    EXPECT_EQ(1, Stored(path, L"Minimized"));

    // A rectangle on a monitor that is gone comes back onto the screen with its size.
    const std::wstring stream = path + kStream;
    WritePrivateProfileStringW(L"Position", L"X", L"5000", stream.c_str());
    WritePrivateProfileStringW(L"Position", L"Y", L"4000", stream.c_str());
    WritePrivateProfileStringW(L"Position", L"Width", L"600", stream.c_str());
    WritePrivateProfileStringW(L"Position", L"Height", L"420", stream.c_str());
    WritePrivateProfileStringW(L"Position", L"Minimized", nullptr, stream.c_str());
    ASSERT_TRUE(harness::Start(brindle, arguments));
    r = Rect(brindle.main);
    EXPECT_EQ(600, r.right - r.left);
    EXPECT_EQ(420, r.bottom - r.top);
    EXPECT_LE(r.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_LE(r.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_GE(r.left, 0);
    EXPECT_GE(r.top, 0);
    EXPECT_EQ(0u, harness::Close(brindle));

    // Numbers at the ends of the 32-bit range, whose sums would overflow: still a window on the screen.
    WritePrivateProfileStringW(L"Position", L"X", L"2147483647", stream.c_str());
    WritePrivateProfileStringW(L"Position", L"Y", L"-2147483648", stream.c_str());
    WritePrivateProfileStringW(L"Position", L"Width", L"2147483647", stream.c_str());
    WritePrivateProfileStringW(L"Position", L"Height", L"2147483600", stream.c_str());
    ASSERT_TRUE(harness::Start(brindle, arguments));
    r = Rect(brindle.main);
    EXPECT_GE(r.left, 0);
    EXPECT_GE(r.top, 0);
    EXPECT_LE(r.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_LE(r.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_GT(r.right - r.left, 0);
    EXPECT_GT(r.bottom - r.top, 0);
    EXPECT_EQ(0u, harness::Close(brindle));

    // A log renamed away while shown: closing leaves nothing behind at its old path.
    std::wstring gone = dir + L"\\gone.log";
    ASSERT_TRUE(harness::WriteBytes(gone, "g\n"));
    ASSERT_TRUE(harness::Start(brindle, L"\"" + gone + L"\""));
    ASSERT_TRUE(harness::WaitForRows(brindle.view, 1));
    ASSERT_TRUE(MoveFileW(gone.c_str(), (gone + L".1").c_str()));
    EXPECT_EQ(0u, harness::Close(brindle));
    EXPECT_FALSE(Exists(gone));
    EXPECT_FALSE(Exists(gone + kStream));

    // "Save position" off: the stored position is neither used nor overwritten, the stored
    // charset still is.
    SetSetting(L"save position", 0);
    ASSERT_TRUE(harness::WriteBytes(path, "\xC5\xBD\n"));
    WritePrivateProfileStringW(L"Position", L"X", L"321", stream.c_str());
    WritePrivateProfileStringW(L"Position", L"Y", L"123", stream.c_str());
    WritePrivateProfileStringW(L"Position", L"Width", L"600", stream.c_str());
    WritePrivateProfileStringW(L"Format", L"Charset", L"UTF-8", stream.c_str());
    ASSERT_TRUE(harness::Start(brindle, arguments));
    EXPECT_TRUE(harness::WaitUntil([&] { return harness::Rows(brindle.view) == std::vector<std::wstring>{L"\x017D"}; }));
    EXPECT_FALSE(Rect(brindle.main).left == 321 && Rect(brindle.main).top == 123);
    SetWindowPos(brindle.main, nullptr, 140, 70, 500, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(harness::WaitUntil([&] { return Rect(brindle.main).left == 140; }));
    EXPECT_EQ(0u, harness::Close(brindle));
    EXPECT_EQ(321, Stored(path, L"X"));
    EXPECT_EQ(123, Stored(path, L"Y"));
    EXPECT_EQ(600, Stored(path, L"Width"));
    SetSetting(L"save position", 1);
}

// At 144 dots per inch parts 3 to 8 are half as wide again; the two icon parts stay 25 pixels.
TEST(FindE2E, StatusPartsFollowTheScreenResolution) {
    const wchar_t desktop[] = L"Control Panel\\Desktop";
    DWORD dpi = 144;
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, desktop, L"LogPixels", REG_DWORD, &dpi, sizeof(dpi)));
    harness::Process brindle;
    bool started = harness::Start(brindle, L"", {L"BRINDLE_WIDTH=900", L"BRINDLE_HEIGHT=400"});
    RegDeleteKeyValueW(HKEY_CURRENT_USER, desktop, L"LogPixels");
    ASSERT_TRUE(started);
    std::vector<int> edges = harness::StatusEdges(brindle);
    ASSERT_EQ(9u, edges.size());
    const int widths[] = {25, 25, 82, 105, 172, 82, 52};   // parts 1 to 7, truncated
    for (int part = 1; part <= 7; ++part) EXPECT_EQ(widths[part - 1], edges[part] - edges[part - 1]) << part;
    EXPECT_EQ(-1, edges[8]);
    RECT client{};
    GetClientRect(harness::StatusBar(brindle), &client);
    EXPECT_EQ(217, client.right - edges[7]);   // part 8: 145 × 1.5
    EXPECT_EQ(0u, harness::Close(brindle));
}

namespace {

constexpr UINT kHighlighting = 1410;
constexpr int kRuleList = 543, kAddRule = 544, kRuleText = 548, kWholeWordRule = 550;

std::wstring Value(const wchar_t* name) {
    wchar_t value[400] = L"";
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return L"(none)";
    return value;
}

void SetValue(const wchar_t* name, const wchar_t* value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, REG_SZ, value, static_cast<DWORD>((wcslen(value) + 1) * 2));
}

std::wstring RuleValue(int index) {
    wchar_t name[32];
    wsprintfW(name, L"highlight %d", index);
    return Value(name);
}

void SetRule(int index, const wchar_t* value) {
    wchar_t name[32];
    wsprintfW(name, L"highlight %d", index);
    SetValue(name, value);
}

void DeleteRules() {
    for (int i = 0; i < 16; ++i) {
        wchar_t name[32];
        wsprintfW(name, L"highlight %d", i);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, name);
    }
}

// What the screen shows near the right end of a row of the view, past any text.
COLORREF RowColour(HWND view, int row) {
    int top = static_cast<int>(SendMessageW(view, LB_GETTOPINDEX, 0, 0));
    int height = static_cast<int>(SendMessageW(view, LB_GETITEMHEIGHT, 0, 0));
    RECT client{};
    GetClientRect(view, &client);
    POINT at{client.right - 6, (row - top) * height + height / 2};
    ClientToScreen(view, &at);
    HDC screen = GetDC(nullptr);
    COLORREF colour = GetPixel(screen, at.x, at.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

bool ShowsColour(HWND view, int row, COLORREF colour) {
    return harness::WaitUntil([&] { return RowColour(view, row) == colour; }, 3000);
}

bool OwnerDrawn(HWND view) { return (GetWindowLongW(view, GWL_STYLE) & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0; }

void Click(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// A rule added in a rule dialog as a user adds it: Add, its text, then each box clicked on.
void AddRule(HWND dialog, int add, int textBox, const wchar_t* text, std::initializer_list<int> boxes) {
    Click(dialog, add);
    SetControlText(dialog, textBox, text);
    for (int box : boxes) {
        Check(dialog, box, true);
        Click(dialog, box);
    }
}

}  // namespace

TEST(FindE2E, HighlightingRulesColourRowsAndKeepFindAndCopy) {
    DeleteRules();
    SetRule(5, L"left over from before");
    std::wstring path = harness::NewTempDir() + L"\\rules.log";
    ASSERT_TRUE(harness::WriteBytes(path, "INFO start\nERROR disk full\nWARN low memory\nplain row\nthe disk\n"));
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L"\"" + path + L"\""));
    ASSERT_TRUE(harness::WaitForRows(brindle.view, 5));
    SetForegroundWindow(brindle.main);

    // No rule: the list box the program always made, in the view's colours.
    EXPECT_EQ(0x1941, GetWindowLongW(brindle.view, GWL_STYLE) & 0xFFFF);
    // The view's background: the stored one, which other tests may have changed, or the system's.
    DWORD plain = GetSysColor(COLOR_WINDOW), size = sizeof(plain);
    RegGetValueW(HKEY_CURRENT_USER, kKey, L"background", RRF_RT_REG_DWORD, nullptr, &plain, &size);
    EXPECT_TRUE(ShowsColour(brindle.view, 1, plain));

    // The dialog proposes ERROR and WARN; Cancel stores nothing and leaves the view alone.
    PostMessageW(brindle.main, WM_COMMAND, kHighlighting, 0);
    HWND dialog = WaitForDialog(brindle, L"Highlighting");
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(2, static_cast<int>(SendDlgItemMessageW(dialog, kRuleList, LB_GETCOUNT, 0, 0)));
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(harness::WaitUntil([&] { return !IsWindow(dialog); }));
    EXPECT_EQ(L"(none)", RuleValue(0));
    EXPECT_EQ(brindle.view, harness::FindView(brindle.main));
    EXPECT_FALSE(OwnerDrawn(brindle.view));

    // Save: the two proposals and a whole-word rule added by hand, in the stored form.
    SendMessageW(brindle.view, LB_SETSEL, TRUE, 3);
    PostMessageW(brindle.main, WM_COMMAND, kHighlighting, 0);
    dialog = WaitForDialog(brindle, L"Highlighting");
    ASSERT_NE(nullptr, dialog);
    AddRule(dialog, kAddRule, kRuleText, L"disk", {kWholeWordRule});
    SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(harness::WaitUntil([&] { return !IsWindow(dialog); }));
    EXPECT_EQ(L"1;FFFFFF;D01010;ERROR", RuleValue(0));
    EXPECT_EQ(L"1;000000;FFBF00;WARN", RuleValue(1));
    EXPECT_EQ(L"2;000000;FFFF80;disk", RuleValue(2));
    EXPECT_EQ(L"(none)", RuleValue(3));
    EXPECT_EQ(L"(none)", RuleValue(5));

    // Applied at once on a view drawn by the program that kept its rows and selection.
    HWND view = nullptr;
    EXPECT_TRUE(harness::WaitUntil([&] { return (view = harness::FindView(brindle.main)) && OwnerDrawn(view); }));
    EXPECT_EQ(5, harness::RowCount(view));
    EXPECT_EQ(1, static_cast<int>(SendMessageW(view, LB_GETSELCOUNT, 0, 0)));
    EXPECT_GT(SendMessageW(view, LB_GETSEL, 3, 0), 0);
    EXPECT_TRUE(ShowsColour(view, 1, RGB(0xD0, 0x10, 0x10)));
    EXPECT_TRUE(ShowsColour(view, 2, RGB(0xFF, 0xBF, 0x00)));
    EXPECT_TRUE(ShowsColour(view, 3, GetSysColor(COLOR_HIGHLIGHT)));  // selected
    EXPECT_TRUE(ShowsColour(view, 0, plain));
    EXPECT_TRUE(ShowsColour(view, 4, RGB(0xFF, 0xFF, 0x80)));         // "the disk": whole word
    EXPECT_EQ(0u, harness::Close(brindle));

    // A restart reads the rules back: the same colours; Find and Copy work on coloured rows.
    harness::Process again;
    ASSERT_TRUE(harness::Start(again, L"\"" + path + L"\""));
    ASSERT_TRUE(harness::WaitForRows(again.view, 5));
    SetForegroundWindow(again.main);
    EXPECT_TRUE(OwnerDrawn(again.view));
    EXPECT_TRUE(ShowsColour(again.view, 1, RGB(0xD0, 0x10, 0x10)));
    harness::PressKeys(again.main, {VK_CONTROL, 'F'});
    HWND find = WaitForDialog(again, nullptr);
    ASSERT_NE(nullptr, find);
    FindNext(find, L"WARN", false, true, false);
    EXPECT_EQ(2, Caret(again.view));
    harness::PressKeys(find, {VK_ESCAPE});
    ASSERT_TRUE(harness::WaitUntil([&] { return !IsWindow(find) && IsWindowEnabled(again.main); }));
    EXPECT_TRUE(ShowsColour(again.view, 2, GetSysColor(COLOR_HIGHLIGHT)));
    DWORD sequence = GetClipboardSequenceNumber();
    harness::PressKeys(again.main, {VK_CONTROL, 'C'});
    EXPECT_EQ(L"WARN low memory\r\n", ClipboardAfter(sequence));
    EXPECT_EQ(0u, harness::Close(again));
    DeleteRules();
}

namespace {

// A list box of a thread that never answers, as another program may own one.
struct HungListBox {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = nullptr;
    HWND box = nullptr;
    static DWORD WINAPI Hold(void* parameter) {
        auto* hung = static_cast<HungListBox*>(parameter);
        hung->box = CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS, 0, 0, 100, 100,
                                    nullptr, nullptr, nullptr, nullptr);
        SendMessageW(hung->box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"row"));
        SetEvent(hung->ready);
        WaitForSingleObject(hung->release, INFINITE);   // takes no message meanwhile
        DestroyWindow(hung->box);
        return 0;
    }
    HungListBox() {
        thread = CreateThread(nullptr, 0, Hold, this, 0, nullptr);
        WaitForSingleObject(ready, 5000);
    }
    ~HungListBox() {
        SetEvent(release);
        WaitForSingleObject(thread, 5000);
        for (HANDLE h : {thread, ready, release}) CloseHandle(h);
    }
};

}  // namespace

// Any process can send the registered messages whose parameters are pointers, and the draw
// requests that name a window. Forged ones, sent and posted with pointers and windows that mean
// nothing in the program, change nothing, crash nothing and hold nothing up; the real Find
// dialog still works around them and the file goes on being followed.
TEST(FindE2E, ForgedFindAndShellMessagesChangeNothing) {
    SetSetting(L"tray minimize", 1);
    struct TrayOffAfterwards {
        ~TrayOffAfterwards() { RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"tray minimize"); }
    } trayOff;
    std::wstring path = harness::NewTempDir() + L"\\forged.log";
    ASSERT_TRUE(harness::WriteBytes(path, "one\ntwo cat\nthree\n"));
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L"\"" + path + L"\""));
    ASSERT_TRUE(harness::WaitForRows(brindle.view, 3));
    const UINT findMessage = RegisterWindowMessageW(L"commdlg_FindReplace");
    const UINT shellMessage = RegisterWindowMessageW(L"SHELLHOOK");
    FINDREPLACEW ours{};   // an address of this process: in the program it is whatever lies there
    ours.lStructSize = sizeof(ours);
    ours.Flags = FR_FINDNEXT | FR_DIALOGTERM;
    const LPARAM pointers[] = {0, 0x10, static_cast<LPARAM>(0x7FFE0000), static_cast<LPARAM>(0xFFFFFFF0),
                               reinterpret_cast<LPARAM>(&ours)};
    auto forge = [&](UINT message, WPARAM wParam) {
        for (LPARAM pointer : pointers) {
            DWORD_PTR result = 0;
            EXPECT_NE(0, SendMessageTimeoutW(brindle.main, message, wParam, pointer, SMTO_ABORTIFHUNG, 5000, &result))
                << message << " " << pointer;
            PostMessageW(brindle.main, message, wParam, pointer);
        }
        harness::Pump(100);
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(brindle.info.hProcess, 0));
    };

    forge(findMessage, 0);   // no Find dialog open
    harness::PressKeys(brindle.main, {VK_CONTROL, 'F'});
    HWND find = WaitForDialog(brindle, nullptr);
    ASSERT_NE(nullptr, find);
    ASSERT_TRUE(harness::WaitUntil([&] { return !IsWindowEnabled(brindle.main); }));
    FindNext(find, L"cat", false, false, false);
    EXPECT_TRUE(harness::WaitUntil([&] { return Caret(brindle.view) == 1; }));
    SendMessageW(brindle.view, LB_SETCARETINDEX, 2, FALSE);
    ASSERT_EQ(2, Caret(brindle.view));
    forge(findMessage, 0);
    EXPECT_EQ(2, Caret(brindle.view));   // a search upward would have gone back to row 1
    EXPECT_TRUE(IsWindow(find));
    EXPECT_FALSE(IsWindowEnabled(brindle.main));   // no forged end of the dialog
    SendMessageW(find, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(harness::WaitUntil([&] { return !IsWindow(find) && IsWindowEnabled(brindle.main); }));

    forge(shellMessage, HSHELL_GETMINRECT);
    PostMessageW(brindle.main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(harness::WaitUntil([&] { return IsIconic(brindle.main) != 0; }));
    forge(shellMessage, HSHELL_GETMINRECT);
    ShowWindow(brindle.main, SW_RESTORE);

    // A draw request naming a list box whose thread never answers: the program does not ask it
    // for its rows, and goes on following.
    HungListBox hung;
    ASSERT_NE(nullptr, hung.box);
    DRAWITEMSTRUCT draw{ODT_LISTBOX, 0, 0, ODA_DRAWENTIRE, 0, hung.box, nullptr, {0, 0, 100, 16}, 0};
    MEASUREITEMSTRUCT measure{ODT_LISTBOX, 0, 0, 0, 16, 0};
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(brindle.main, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw), SMTO_NORMAL, 3000, &answer);
    SendMessageTimeoutW(brindle.main, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure), SMTO_NORMAL, 3000, &answer);

    // Update results: the program's message-only window reads a job only of a check it started.
    // One forged in the program's own memory would name the main window for its report.
    PostMessageW(brindle.main, WM_COMMAND, 1907, 0);
    HWND results = nullptr;
    ASSERT_TRUE(harness::WaitUntil([&] {
        for (results = FindWindowExW(HWND_MESSAGE, nullptr, L"Brindle.UpdateResult", nullptr); results;
             results = FindWindowExW(HWND_MESSAGE, results, L"Brindle.UpdateResult", nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(results, &owner);
            if (owner == brindle.info.dwProcessId) return true;
        }
        return false;
    }));
    const std::wstring title = harness::WindowText(brindle.main);
    HWND names[2] = {brindle.main, brindle.main};
    void* job = VirtualAllocEx(brindle.info.hProcess, nullptr, 16384, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(nullptr, job);
    ASSERT_TRUE(WriteProcessMemory(brindle.info.hProcess, job, names, sizeof(names), nullptr));
    for (LPARAM pointer : {reinterpret_cast<LPARAM>(job), LPARAM(0), LPARAM(0x10), static_cast<LPARAM>(0xFFFFFFF0)}) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(results, WM_APP + 1, 0, pointer, SMTO_ABORTIFHUNG, 5000, &result);
        PostMessageW(results, WM_APP + 1, 0, pointer);
    }
    harness::Pump(300);
    EXPECT_EQ(title, harness::WindowText(brindle.main));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(brindle.info.hProcess, 0));

    ASSERT_TRUE(harness::AppendBytes(path, "four\n"));
    EXPECT_TRUE(harness::WaitForRows(brindle.view, 4));
    EXPECT_EQ(L"four", harness::Rows(brindle.view).back());
    EXPECT_EQ(0u, harness::Close(brindle));
}

namespace {

constexpr UINT kFilterRows = 1213, kFilters = 1411;
constexpr int kFilterList = 560, kAddFilter = 561, kFilterText = 565, kFilterMatchCase = 566, kFilterHide = 570,
              kFilterRegex = 571;

DWORD Number(const wchar_t* name) {
    DWORD value = 99, size = sizeof(value);
    RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

// The filter values and the settings this scenario changes, gone before and after it.
struct FilterSettingsGone {
    FilterSettingsGone() { Clear(); }
    ~FilterSettingsGone() { Clear(); }
    static void Clear() {
        DeleteRules();
        for (int i = 0; i < 16; ++i) {
            wchar_t name[32];
            wsprintfW(name, L"filter %d", i);
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, name);
        }
        for (const wchar_t* name : {L"filter", L"row length", L"lines limit", L"wrap lines"})
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, name);
    }
};

bool ShowsRows(const harness::Process& brindle, const std::vector<std::wstring>& rows) {
    return harness::WaitUntil([&] { return harness::Rows(brindle.view) == rows; });
}

}  // namespace

// Rules in the registry before start: Show only and Hide together, lines judged whole across their
// wrapped rows, the row limit counting the rows shown, live appends, the switch off and on, the
// status bar, and the dialog.
TEST(FindE2E, FiltersShowOnlyTheLinesThatMatterLiveAndWhole) {
    FilterSettingsGone gone;
    SetValue(L"filter 0", L"1;ERROR");          // Show only, match case
    SetValue(L"filter 1", L"3;FATAL");          // Show only, whole word
    SetValue(L"filter 2", L"16;cache");         // Hide
    SetValue(L"filter 3", L"x;not a rule");
    SetValue(L"filter 4", L"0;");
    SetValue(L"filter 5", L"4;INFO");           // switched off
    SetSetting(L"filter 6", 7);                 // not REG_SZ: no rule
    SetSetting(L"filter", 1);
    SetSetting(L"row length", 20);
    SetSetting(L"wrap lines", 1);
    SetSetting(L"lines limit", 8);
    SetRule(0, L"1;FFFFFF;D01010;disk");

    // ERROR at the very start, far more hidden lines than the limit after it: it stays in view.
    std::string text = "ERROR first\n";
    for (int i = 0; i < 300; ++i) text += "INFO line " + std::to_string(i) + "\n";
    text += "DEBUG no errors\nERROR in the cache\nFATAL two\nFATALITY\n";
    text += "xxxxxxxxxxxxxxxxxxxxxxxxx ERROR late\n";        // the match lies in its second row
    text += "yyyyyyyyyyyyyyyyyyyyyyyyy cache ERROR\n";       // hidden whole by its second row
    text += "ERROR 1234567890123 disk full\n";               // coloured whole by its second row
    std::wstring path = harness::NewTempDir() + L"\\filtered.log";
    ASSERT_TRUE(harness::WriteBytes(path, text));
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L"\"" + path + L"\""));
    const std::vector<std::wstring> shown = {L"ERROR first", L"FATAL two", L"xxxxxxxxxxxxxxxxxxxx", L"xxxxx ERROR late",
                                             L"ERROR 1234567890123 ", L"disk full"};
    ASSERT_TRUE(ShowsRows(brindle, shown));
    // 300 INFO, the DEBUG line, the two with the cache and FATALITY.
    EXPECT_TRUE(WaitStatus(brindle, 5, L"Filtered: 304 hidden"));
    EXPECT_NE(std::wstring::npos, harness::StatusTip(brindle, 5).find(L"304 lines left out"));
    EXPECT_NE(std::wstring::npos, harness::StatusTip(brindle, 5).find(L"last 256 kB"));
    SetForegroundWindow(brindle.main);
    EXPECT_TRUE(ShowsColour(brindle.view, 4, RGB(0xD0, 0x10, 0x10)));
    EXPECT_TRUE(ShowsColour(brindle.view, 5, RGB(0xD0, 0x10, 0x10)));
    EXPECT_NE(RGB(0xD0, 0x10, 0x10), RowColour(brindle.view, 3));

    // Appended lines are filtered as they come; a line written in pieces is judged when it ends.
    ASSERT_TRUE(harness::AppendBytes(path, "DEBUG y\nERROR three\nINFO z\nxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"));
    std::vector<std::wstring> more = shown;
    more.push_back(L"ERROR three");
    ASSERT_TRUE(ShowsRows(brindle, more));
    EXPECT_TRUE(WaitStatus(brindle, 5, L"Filtered: 306 hidden"));
    ASSERT_TRUE(harness::AppendBytes(path, " FATAL\n"));
    more.insert(more.end(), {L"xxxxxxxxxxxxxxxxxxxx", L"xxxxxxxxxxx FATAL"});
    // The limit counts shown rows: the oldest go as the ninth and tenth arrive.
    more.erase(more.begin(), more.begin() + 1);
    ASSERT_TRUE(ShowsRows(brindle, more));

    // Off from the View menu: stored at once, every line again under the limit, part 5 as always.
    PostMessageW(brindle.main, WM_COMMAND, kFilterRows, 0);
    EXPECT_TRUE(harness::WaitUntil([] { return Number(L"filter") == 0; }));
    EXPECT_TRUE(WaitStatus(brindle, 5, L"8 lines in log"));
    std::vector<std::wstring> rows = harness::Rows(brindle.view);
    ASSERT_EQ(8u, rows.size());
    EXPECT_EQ(L"xxxxxxxxxxx FATAL", rows.back());
    EXPECT_EQ(L"INFO z", rows[5]);
    // And on again.
    PostMessageW(brindle.main, WM_COMMAND, kFilterRows, 0);
    EXPECT_TRUE(harness::WaitUntil([] { return Number(L"filter") == 1; }));
    ASSERT_TRUE(ShowsRows(brindle, more));
    EXPECT_TRUE(WaitStatus(brindle, 5, L"Filtered: 306 hidden"));

    // The dialog lists the rules that are rules; Cancel keeps everything, Save stores and renumbers.
    PostMessageW(brindle.main, WM_COMMAND, kFilters, 0);
    HWND dialog = WaitForDialog(brindle, L"Filters");
    ASSERT_NE(nullptr, dialog);
    ASSERT_EQ(4, static_cast<int>(SendDlgItemMessageW(dialog, kFilterList, LB_GETCOUNT, 0, 0)));
    wchar_t line[320] = L"";
    SendDlgItemMessageW(dialog, kFilterList, LB_GETTEXT, 2, reinterpret_cast<LPARAM>(line));
    EXPECT_STREQ(L"Hide: cache", line);
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(harness::WaitUntil([&] { return !IsWindow(dialog); }));
    EXPECT_EQ(L"x;not a rule", Value(L"filter 3"));
    PostMessageW(brindle.main, WM_COMMAND, kFilterRows, 0);   // off, for Save to switch on again
    EXPECT_TRUE(harness::WaitUntil([] { return Number(L"filter") == 0; }));
    PostMessageW(brindle.main, WM_COMMAND, kFilters, 0);
    dialog = WaitForDialog(brindle, L"Filters");
    ASSERT_NE(nullptr, dialog);
    AddRule(dialog, kAddFilter, kFilterText, L"FATAL", {kFilterMatchCase, kFilterHide});
    SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(harness::WaitUntil([&] { return !IsWindow(dialog); }));
    // The rules are stored before filtering is switched on, both after the dialog has gone.
    EXPECT_TRUE(harness::WaitUntil([] { return Number(L"filter") == 1; }));
    EXPECT_EQ(L"1;ERROR", Value(L"filter 0"));
    EXPECT_EQ(L"3;FATAL", Value(L"filter 1"));
    EXPECT_EQ(L"16;cache", Value(L"filter 2"));
    EXPECT_EQ(L"4;INFO", Value(L"filter 3"));
    EXPECT_EQ(L"17;FATAL", Value(L"filter 4"));
    EXPECT_EQ(L"(none)", Value(L"filter 5"));
    EXPECT_EQ(99u, Number(L"filter 6"));
    // Hide wins over Show only: the FATAL lines are gone.
    EXPECT_TRUE(ShowsRows(brindle, {L"ERROR first", L"xxxxxxxxxxxxxxxxxxxx", L"xxxxx ERROR late", L"ERROR 1234567890123 ",
                                    L"disk full", L"ERROR three"}));
    EXPECT_EQ(0u, harness::Close(brindle));

    // A restart finds the rules and the switch as they were.
    harness::Process again;
    ASSERT_TRUE(harness::Start(again, L"\"" + path + L"\""));
    EXPECT_TRUE(ShowsRows(again, {L"ERROR first", L"xxxxxxxxxxxxxxxxxxxx", L"xxxxx ERROR late", L"ERROR 1234567890123 ",
                                  L"disk full", L"ERROR three"}));
    EXPECT_EQ(0u, harness::Close(again));
}

// Regular expressions in the rules: a Show only pattern, a colouring pattern, and patterns that
// would take a backtracking matcher forever, as Hide rules over long rows; then a pattern that
// does not compile, refused by the dialog with its reason.
TEST(FindE2E, PatternRulesFilterAndColourWithoutEverHoldingTheWindow) {
    FilterSettingsGone gone;
    SetValue(L"filter 0", L"9;^\\S+ \\S+ (ERROR|FATAL)");
    SetValue(L"filter 1", L"24;(a|aa)*b");
    SetValue(L"filter 2", L"24;(x+x+)+y");
    SetValue(L"filter 3", L"24;^(([a-z])+.)+[A-Z]([a-z])+$");
    SetValue(L"filter 4", L"8;(unclosed");   // does not compile: no rule
    SetValue(L"filter 5", L"24;^\\S+ \\S+ ERROR drop");
    SetSetting(L"filter", 1);
    SetSetting(L"wrap lines", 0);
    SetRule(0, L"8;FFFFFF;D01010;timeout after \\d+ ms");
    std::string text = "2026-11-23 09:00:00.001 ERROR timeout after 250 ms\n"
                       "2026-11-23 09:00:00.002 INFO request ERROR-free\n"
                       "2026-11-23 09:00:00.003 FATAL out of memory\n"
                       "2026-11-23 09:00:00.004 ERROR drop this one\n"
                       "x ERROR not at the third field\n";
    // Rows of 4,094 units that every Show only rule lets through, for every Hide rule to judge.
    const std::string as = "2026-11-23 09:00:01 ERROR " + std::string(4068, 'a');
    const std::string xs = "2026-11-23 09:00:02 ERROR " + std::string(4068, 'x');
    const std::string words = "2026-11-23 09:00:03 ERROR " + std::string(4068, 'q');
    for (int i = 0; i < 20; ++i) text += as + "\n" + xs + "\n" + words + "\n";
    std::wstring path = harness::NewTempDir() + L"\\patterns.log";
    ASSERT_TRUE(harness::WriteBytes(path, text));
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L"\"" + path + L"\""));
    ASSERT_TRUE(harness::WaitForRows(brindle.view, 62));
    std::vector<std::wstring> rows = harness::Rows(brindle.view);
    EXPECT_EQ(L"2026-11-23 09:00:00.001 ERROR timeout after 250 ms", rows[0]);
    EXPECT_EQ(L"2026-11-23 09:00:00.003 FATAL out of memory", rows[1]);
    EXPECT_EQ(std::wstring(as.begin(), as.end()), rows[2]);
    EXPECT_EQ(std::wstring(words.begin(), words.end()), rows.back());
    SetForegroundWindow(brindle.main);
    SendMessageW(brindle.view, LB_SETTOPINDEX, 0, 0);
    EXPECT_TRUE(ShowsColour(brindle.view, 0, RGB(0xD0, 0x10, 0x10)));
    EXPECT_NE(RGB(0xD0, 0x10, 0x10), RowColour(brindle.view, 1));

    // More long rows while it follows: each tick judges them and the window answers at once.
    std::string more;
    for (int i = 0; i < 20; ++i) more += as + "\n" + xs + "\n";
    ASSERT_TRUE(harness::AppendBytes(path, more));
    EXPECT_TRUE(harness::WaitForRows(brindle.view, 102, 10000));
    DWORD_PTR result = 0;
    EXPECT_NE(0, SendMessageTimeoutW(brindle.main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result));

    // A pattern that does not compile: the dialog says why and stays, and nothing is stored.
    PostMessageW(brindle.main, WM_COMMAND, kFilters, 0);
    HWND dialog = WaitForDialog(brindle, L"Filters");
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(5, static_cast<int>(SendDlgItemMessageW(dialog, kFilterList, LB_GETCOUNT, 0, 0)));
    AddRule(dialog, kAddFilter, kFilterText, L"timeout (after", {kFilterRegex});
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    HWND refusal = nullptr;
    ASSERT_TRUE(harness::WaitUntil([&] {
        refusal = harness::FindDialog(brindle.info.dwProcessId, L"Regular expression");
        return refusal != nullptr;
    }));
    std::wstring reason;
    for (HWND child = GetWindow(refusal, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        reason += harness::WindowText(child);
    EXPECT_NE(std::wstring::npos, reason.find(L"9")) << harness::Utf8(reason);   // where: the parenthesis
    PostMessageW(refusal, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(harness::WaitUntil([&] { return !IsWindow(refusal); }));
    EXPECT_TRUE(IsWindow(dialog));
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(harness::WaitUntil([&] { return !IsWindow(dialog); }));
    EXPECT_EQ(L"8;(unclosed", Value(L"filter 4"));
    EXPECT_EQ(0u, harness::Close(brindle));
}
