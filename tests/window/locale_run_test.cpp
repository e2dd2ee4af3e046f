// Run by ctest once per Wine locale (LC_ALL), in a fresh process so that no string is cached
// yet; skipped in the ordinary run. BRINDLE_EXPECT_LANGUAGE is the language the program should
// pick, BRINDLE_EXPECT_CODE the text of string 62 in it, BRINDLE_PREFER_LANGUAGE the stored setting.
#include <gtest/gtest.h>
#include "dialogs/ui.h"
#include "ids.h"
#include <cstdlib>
#include <string>

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t value[64] = L"";
    DWORD n = GetEnvironmentVariableW(name, value, 64);
    return n > 0 && n < 64 ? value : L"";
}

}  // namespace

TEST(LocaleRun, PicksTheLanguageOfTheLocaleOrTheSetting) {
    std::wstring expected = Environment(L"BRINDLE_EXPECT_LANGUAGE");
    if (expected.empty()) GTEST_SKIP() << "only in the locale runs";
    LANGID language = static_cast<LANGID>(wcstoul(expected.c_str(), nullptr, 10));
    std::wstring user = Environment(L"BRINDLE_EXPECT_USER_LANGID");
    if (!user.empty()) {
        ASSERT_EQ(wcstoul(user.c_str(), nullptr, 10), GetUserDefaultLangID()) << "the locale did not reach Wine";
    }
    ui.language = static_cast<LANGID>(wcstoul(Environment(L"BRINDLE_PREFER_LANGUAGE").c_str(), nullptr, 10));

    EXPECT_EQ(Environment(L"BRINDLE_EXPECT_CODE"), UiString(62));
    EXPECT_EQ(language, FindUiResource(RT_STRING, MAKEINTRESOURCEW(62 / 16 + 1)).language);
    EXPECT_EQ(language, PickResourceLanguage(RT_MENU, MAKEINTRESOURCEW(IDR_MAIN_MENU)));
    LANGID usOnlyInEnglish = language == 9 ? 1033 : language;
    EXPECT_EQ(usOnlyInEnglish, PickResourceLanguage(RT_MENU, MAKEINTRESOURCEW(IDR_TRAY_MENU)));
    EXPECT_EQ(usOnlyInEnglish, PickResourceLanguage(RT_DIALOG, MAKEINTRESOURCEW(1007)));
    HMENU menu = LoadUiMenu(IDR_MAIN_MENU);
    EXPECT_NE(nullptr, menu);
    DestroyMenu(menu);
    EXPECT_STREQ(L"row length", FindUiString(IDS_REG_ROW_LENGTH));
    EXPECT_STREQ(L"Brindle", UiString(IDS_PRODUCT));
}
