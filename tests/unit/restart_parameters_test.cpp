// The command line a language change restarts the program with: the open file as one argument.
#include <gtest/gtest.h>
#include "persist/settings.h"
#include "dialogs/ui.h"
#include "ids.h"
#include <shellapi.h>
#include <string>

namespace {

// What start-up would see as its first argument.
std::wstring FirstArgument(const wchar_t* parameters) {
    std::wstring line = std::wstring(L"\"C:\\Program Files\\Brindle\\brindle.exe\" ") + parameters;
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(line.c_str(), &count);
    std::wstring first = count == 2 ? argv[1] : L"<" + std::to_wstring(count) + L" arguments>";
    LocalFree(argv);
    return first;
}

}  // namespace

TEST(RestartParameters, TheOpenFileArrivesWholeAsTheFirstArgument) {
    wchar_t out[300];
    for (const wchar_t* path : {L"\\\\?\\C:\\log files\\my app.log", L"\\\\?\\UNC\\server\\share\\a b\\c.log",
                                L"C:\\plain.log", L"C:\\odd name\\ends in\\"}) {
        ASSERT_TRUE(ComposeRestartParameters(path, out, 300));
        EXPECT_EQ(path, FirstArgument(out));
    }
    EXPECT_STREQ(L"\"C:\\a b\\\\\"", (ComposeRestartParameters(L"C:\\a b\\", out, 300), out));
    EXPECT_FALSE(ComposeRestartParameters(L"C:\\abc", out, 8));
    EXPECT_TRUE(ComposeRestartParameters(L"C:\\abc", out, 9));
    EXPECT_STREQ(L"\"C:\\abc\"", out);
}

TEST(LanguageMenu, CommandsAndStoredValuesCorrespond) {
    EXPECT_EQ(UINT(IDM_LANG_ENGLISH), LanguageMenuCommand(9));
    EXPECT_EQ(UINT(IDM_LANG_CZECH), LanguageMenuCommand(1029));
    EXPECT_EQ(UINT(IDM_LANG_SLOVAK), LanguageMenuCommand(1051));
    EXPECT_EQ(UINT(IDM_LANG_AUTO), LanguageMenuCommand(0));
    EXPECT_EQ(0u, LanguageMenuCommand(1033));
    EXPECT_EQ(0u, LanguageMenuCommand(1031));
    for (DWORD language : {9u, 1029u, 1051u, 0u}) EXPECT_EQ(language, LanguageOfCommand(LanguageMenuCommand(language)));
    EXPECT_EQ(DWORD(-1), LanguageOfCommand(IDM_LANG_LAST_RADIO));
}
