// brindle.exe watching a file, observed from outside through its list box and title.
#include <gtest/gtest.h>
#include "harness.h"

namespace {

std::vector<std::wstring> Lines(std::initializer_list<const wchar_t*> lines) {
    return std::vector<std::wstring>(lines.begin(), lines.end());
}

bool WaitForContent(HWND view, const std::vector<std::wstring>& rows, DWORD timeoutMs = 5000) {
    return harness::WaitUntil([&] { return harness::Rows(view) == rows; }, timeoutMs);
}

const wchar_t kKey[] = L"Software\\Skelby\\Brindle";

// The process's message box other than `not`, once it shows; its text in *text.
HWND WaitForBox(const harness::Process& brindle, HWND notThis, std::wstring* text) {
    HWND box = nullptr;
    harness::WaitUntil([&] {
        box = harness::FindDialog(brindle.info.dwProcessId);
        return box && box != notThis && IsWindow(box);
    });
    if (box == notThis) box = nullptr;
    if (box) *text = harness::WindowText(GetDlgItem(box, 0xFFFF));
    return box;
}

TEST(WatchE2e, FollowsGrowthTruncationAndRotation) {
    std::wstring dir = harness::NewTempDir();
    std::wstring path = dir + L"\\server.log";
    ASSERT_TRUE(harness::WriteBytes(path, "\xEF\xBB\xBF" "start \xC3\xA9t\xC3\xA9\r\nsecond\n"));
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L"\"" + path + L"\""));
    EXPECT_TRUE(WaitForContent(brindle.view, Lines({L"start \x00E9t\x00E9", L"second"})));
    EXPECT_EQ(L"server.log - Brindle", harness::WindowText(brindle.main));

    // A character and a line completed by two separate writes.
    ASSERT_TRUE(harness::AppendBytes(path, "third \xE2\x82"));
    Sleep(300);
    ASSERT_TRUE(harness::AppendBytes(path, "\xAC\n"));
    EXPECT_TRUE(WaitForContent(brindle.view, Lines({L"start \x00E9t\x00E9", L"second", L"third \x20AC"})));

    ASSERT_TRUE(harness::WriteBytes(path, "\xEF\xBB\xBF" "fresh\n"));
    EXPECT_TRUE(WaitForContent(brindle.view, Lines({L"fresh"})));

    ASSERT_TRUE(MoveFileW(path.c_str(), (path + L".1").c_str()));
    ASSERT_TRUE(harness::WriteBytes(path, "rotated\n"));
    EXPECT_TRUE(WaitForContent(brindle.view, Lines({L"rotated"})));

    // Rotated to a hostile file, put in place whole: a UTF-8 mark, then 140,000 bytes that each
    // lead a sequence never finished, then ordinary lines. Each of those bytes shows as one U+FFFD,
    // and the lines after them arrive.
    std::wstring hostile = dir + L"\\hostile.tmp";
    ASSERT_TRUE(harness::WriteBytes(hostile, "\xEF\xBB\xBF" + std::string(140000, '\xC3') + "\nafter 1\nafter 2\n"));
    ASSERT_TRUE(MoveFileW(path.c_str(), (path + L".2").c_str()));
    ASSERT_TRUE(MoveFileW(hostile.c_str(), path.c_str()));
    auto lastRow = [&] {
        // Room for the longest row: the program may change the rows between the two questions.
        static wchar_t row[4097];
        row[0] = 0;
        LRESULT count = SendMessageW(brindle.view, LB_GETCOUNT, 0, 0);
        if (count > 0 && SendMessageW(brindle.view, LB_GETTEXTLEN, count - 1, 0) < 16)
            SendMessageW(brindle.view, LB_GETTEXT, count - 1, reinterpret_cast<LPARAM>(row));
        return std::wstring(row);
    };
    EXPECT_TRUE(harness::WaitUntil([&] { return lastRow() == L"after 2"; }, 10000));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(brindle.info.hProcess, &code));
    ASSERT_EQ(STILL_ACTIVE, code) << "the process ended";
    std::vector<std::wstring> rows = harness::Rows(brindle.view);
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(L"after 1", rows[rows.size() - 2]);
    std::wstring replaced;
    for (size_t i = 0; i + 2 < rows.size(); ++i) replaced += rows[i];
    EXPECT_EQ(std::wstring(140000, L'\xFFFD'), replaced);

    // Paused, then rotated, then Erase: nothing is erased in either file, the user is told, the
    // new file is shown, and the watch stays paused.
    harness::ClickStatus(brindle, 2);
    ASSERT_TRUE(harness::WaitUntil([&] { return harness::StatusText(brindle, 2) == L"File surveillance is paused"; }));
    const std::string shownBytes = harness::ReadBytes(path);
    ASSERT_TRUE(MoveFileW(path.c_str(), (path + L".3").c_str()));
    ASSERT_TRUE(harness::WriteBytes(path, "new one\nnew two\n"));
    PostMessageW(brindle.main, WM_COMMAND, 1209, 0);
    std::wstring text;
    HWND question = WaitForBox(brindle, nullptr, &text);
    ASSERT_NE(nullptr, question);
    EXPECT_EQ(0u, text.find(L"This command will erase the content of the file.")) << harness::Utf8(text);
    PostMessageW(question, WM_COMMAND, IDOK, 0);
    HWND told = WaitForBox(brindle, question, &text);
    ASSERT_NE(nullptr, told);
    EXPECT_EQ(L"Another file has taken this file's name since it was opened, so nothing was erased.\n\nThe new file "
              L"is shown now.", text);
    PostMessageW(told, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(harness::WaitUntil([&] { return !IsWindow(told); }));
    EXPECT_TRUE(WaitForContent(brindle.view, Lines({L"new one", L"new two"})));
    EXPECT_EQ(L"File surveillance is paused", harness::StatusText(brindle, 2));
    EXPECT_EQ("new one\nnew two\n", harness::ReadBytes(path));
    EXPECT_EQ(shownBytes, harness::ReadBytes(path + L".3"));
    ASSERT_TRUE(harness::AppendBytes(path, "while paused\n"));
    harness::Pump(300);
    EXPECT_EQ(2, harness::RowCount(brindle.view)) << "the watch resumed";
    EXPECT_EQ(0u, harness::Close(brindle));

    // The reopen after the rotation named the file as the user did: one entry in History.
    int entries = 0;
    for (int i = 0; i < 10; ++i) {
        wchar_t name[16], entry[1024] = L"";
        wsprintfW(name, L"history %d", i);
        DWORD size = sizeof(entry);
        RegGetValueW(HKEY_CURRENT_USER, L"Software\\Skelby\\Brindle", name, RRF_RT_REG_SZ, nullptr, entry, &size);
        entries += path == entry;
        EXPECT_NE(L"\\\\?\\" + path, entry);
    }
    EXPECT_EQ(1, entries);
}

TEST(WatchE2e, WideFileWithMark) {
    std::wstring dir = harness::NewTempDir();
    std::wstring path = dir + L"\\wide.log";
    const wchar_t text[] = L"\xFEFF" L"wide \x65E5\x672C\nrow 2\n";
    ASSERT_TRUE(harness::WriteBytes(path, std::string(reinterpret_cast<const char*>(text), sizeof(text) - 2)));
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L"\"" + path + L"\""));
    EXPECT_TRUE(WaitForContent(brindle.view, Lines({L"wide \x65E5\x672C", L"row 2"})));
    EXPECT_EQ(0u, harness::Close(brindle));

    // A code page the menu does not offer, put into the registry by hand, reads an unmarked file.
    DWORD off = 0, centralEurope = 1250;
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"autodetect", REG_DWORD, &off, sizeof(off));
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"charset", REG_DWORD, &centralEurope, sizeof(centralEurope));
    std::wstring narrow = dir + L"\\narrow.log";
    ASSERT_TRUE(harness::WriteBytes(narrow, "\x9A\xE8\xF8 \x8A\xC8\xD8\n"));
    ASSERT_TRUE(harness::Start(brindle, L"\"" + narrow + L"\""));
    EXPECT_TRUE(WaitForContent(brindle.view, Lines({L"\x0161\x010D\x0159 \x0160\x010C\x0158"})))
        << harness::Utf8(harness::Rows(brindle.view).empty() ? L"" : harness::Rows(brindle.view)[0]);
    EXPECT_EQ(0u, harness::Close(brindle));
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"autodetect");
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"charset");
}

TEST(WatchE2e, MissingFileAtStartIsReportedAndNothingIsWatched) {
    std::wstring missing = harness::NewTempDir() + L"\\absent.log";
    harness::Process brindle;
    // The box comes before the window is first shown.
    ASSERT_TRUE(harness::Launch(brindle, L"\"" + missing + L"\""));
    HWND box = nullptr;
    ASSERT_TRUE(harness::WaitUntil([&] { return (box = harness::FindDialog(brindle.info.dwProcessId)) != nullptr; }));
    std::wstring text = harness::WindowText(GetDlgItem(box, 0xFFFF));
    EXPECT_EQ(0u, text.find(L"Failed connecting to the file for surveillance.\n\n")) << harness::Utf8(text);
    EXPECT_GT(text.size(), 52u);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(harness::WaitUntil([&] { return !IsWindow(box); }));
    brindle.main = harness::FindMainWindow(brindle.info.dwProcessId);
    ASSERT_NE(nullptr, brindle.main);
    brindle.view = harness::FindView(brindle.main);
    EXPECT_EQ(L"Brindle", harness::WindowText(brindle.main));
    EXPECT_EQ(0, harness::RowCount(brindle.view));
    EXPECT_EQ(0u, harness::Close(brindle));
}

}  // namespace
