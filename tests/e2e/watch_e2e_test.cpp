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
