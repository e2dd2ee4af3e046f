// Strings, menus and dialogs loaded from this executable's own resources.
#include <gtest/gtest.h>
#include "dialogs/ui.h"
#include "ids.h"
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// Resets the preference afterwards; strings already cached keep the language they came in.
struct PreferLanguage {
    LANGID saved;
    explicit PreferLanguage(LANGID language) : saved(ui.language) { ui.language = language; }
    ~PreferLanguage() { ui.language = saved; }
};

bool Contains(const void* data, DWORD size, const wchar_t* text) {
    size_t bytes = wcslen(text) * sizeof(wchar_t);
    const BYTE* p = static_cast<const BYTE*>(data);
    for (DWORD at = 0; at + bytes <= size; at += 2)
        if (memcmp(p + at, text, bytes) == 0) return true;
    return false;
}

struct DialogSeen {
    LOGFONTW font{};
    bool placementArmed = false;
    int shown = 0;
};

INT_PTR CALLBACK RecordingDialog(HWND dialog, UINT message, WPARAM, LPARAM param) {
    if (message != WM_INITDIALOG) return FALSE;
    DialogSeen& seen = *reinterpret_cast<DialogSeen*>(param);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    GetObjectW(font, sizeof(seen.font), &seen.font);
    seen.placementArmed = ui.placeNextWindow;
    ++seen.shown;
    EndDialog(dialog, 42);
    return TRUE;
}

}  // namespace

TEST(UiStrings, MissingAndEmptyStringsAndTheCache) {
    EXPECT_EQ(nullptr, FindUiString(7));       // an empty slot of an existing block
    EXPECT_EQ(nullptr, FindUiString(60000));   // a block that does not exist
    EXPECT_STREQ(L"", UiString(7));
    const wchar_t* product = UiString(IDS_PRODUCT);
    EXPECT_STREQ(L"Brindle", product);
    EXPECT_EQ(product, UiString(IDS_PRODUCT));   // served from the cache, same pointer
    EXPECT_EQ(product, UiString(IDS_PRODUCT + 0x10000));   // ids are 16-bit
}

TEST(UiStrings, ThreadsShareOneCacheEntryPerId) {
    constexpr UINT kLast = 4200;
    constexpr int kThreads = 6;
    std::vector<std::vector<const wchar_t*>> seen(kThreads, std::vector<const wchar_t*>(kLast + 1));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&seen, t] {
            // Each thread walks the ids from another starting point so that inserts collide.
            for (UINT i = 0; i <= kLast; ++i) {
                UINT id = (i + t * 700) % (kLast + 1);
                seen[t][id] = FindUiString(id);
            }
        });
    for (std::thread& thread : threads) thread.join();
    int found = 0;
    for (UINT id = 0; id <= kLast; ++id) {
        const wchar_t* mine = FindUiString(id);
        for (int t = 0; t < kThreads; ++t) ASSERT_EQ(mine, seen[t][id]) << "string " << id;
        found += mine != nullptr;
    }
    EXPECT_GT(found, 100);
}

TEST(UiStrings, RegistryNamesExistOnceWhateverTheLanguage) {
    PreferLanguage czech(1029);
    UiResource block = FindUiResource(RT_STRING, MAKEINTRESOURCEW(IDS_REG_ROW_LENGTH / 16 + 1));
    EXPECT_EQ(1033, block.language);
    EXPECT_STREQ(L"Software\\Skelby\\Brindle", FindUiString(IDS_REG_KEY));
    EXPECT_STREQ(L"history %u", FindUiString(IDS_REG_HISTORY));
    EXPECT_STREQ(L"save position", FindUiString(IDS_REG_SAVE_POSITION));
}

TEST(UiResources, MissingResourcesYieldEmptyRecordsAndNullHandles) {
    {
        PreferLanguage slovak(1051);
        UiResource about = FindUiResource(RT_DIALOG, MAKEINTRESOURCEW(1009));
        EXPECT_EQ(1051, about.language);
        EXPECT_NE(nullptr, about.data);
        EXPECT_GT(about.size, 26u);
    }
    UiResource none = FindUiResource(RT_DIALOG, MAKEINTRESOURCEW(4242));
    EXPECT_EQ(nullptr, none.data);
    EXPECT_EQ(0u, none.size);
    EXPECT_EQ(0, none.language);
    EXPECT_EQ(nullptr, LoadUiMenu(4242));
    EXPECT_EQ(-1, RunUiDialog(4242, nullptr, RecordingDialog, 0));
    EXPECT_FALSE(ui.placeNextWindow);
}

TEST(UiResources, LanguageMenuMarksTheStoredSetting) {
    HMENU menu = LoadUiMenu(IDR_MAIN_MENU);
    ASSERT_NE(nullptr, menu);
    auto checked = [&menu](UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0; };
    auto radio = [&menu](UINT id) {
        MENUITEMINFOW info{sizeof(info), MIIM_FTYPE};
        GetMenuItemInfoW(menu, id, FALSE, &info);
        return (info.fType & MFT_RADIOCHECK) != 0;
    };
    CheckLanguageMenu(menu, 1051);
    EXPECT_TRUE(checked(IDM_LANG_SLOVAK));
    EXPECT_TRUE(radio(IDM_LANG_SLOVAK));
    EXPECT_FALSE(checked(IDM_LANG_ENGLISH));
    EXPECT_FALSE(checked(IDM_LANG_AUTO));
    DestroyMenu(menu);

    menu = LoadUiMenu(IDR_MAIN_MENU);
    CheckLanguageMenu(menu, 0);
    EXPECT_TRUE(checked(IDM_LANG_AUTO));
    EXPECT_TRUE(radio(IDM_LANG_AUTO));
    EXPECT_FALSE(checked(IDM_LANG_ENGLISH) || checked(IDM_LANG_CZECH) || checked(IDM_LANG_SLOVAK));
    DestroyMenu(menu);

    menu = LoadUiMenu(IDR_MAIN_MENU);
    CheckLanguageMenu(menu, 1031);   // a hand-edited value marks nothing
    for (UINT id : {IDM_LANG_ENGLISH, IDM_LANG_CZECH, IDM_LANG_SLOVAK, IDM_LANG_AUTO}) EXPECT_FALSE(checked(id)) << id;
    DestroyMenu(menu);
}

TEST(UiDialogs, VistaFontOnACopyEveryTimeTheOriginalUntouched) {
    bool vista = LOBYTE(LOWORD(GetVersion())) >= 6;
    HDC screen = GetDC(nullptr);
    int logPixels = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    DialogSeen seen;
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(42, RunUiDialog(1000, nullptr, RecordingDialog, reinterpret_cast<LPARAM>(&seen)));
        EXPECT_EQ(round + 1, seen.shown);
        EXPECT_TRUE(seen.placementArmed);
        EXPECT_FALSE(ui.placeNextWindow);
        EXPECT_STREQ(vista ? L"Segoe UI" : L"MS Shell Dlg 2", seen.font.lfFaceName);
        EXPECT_EQ(-MulDiv(vista ? 9 : 8, logPixels, 72), seen.font.lfHeight);
    }
    UiResource original = FindUiResource(RT_DIALOG, MAKEINTRESOURCEW(1000));
    EXPECT_TRUE(Contains(original.data, original.size, L"MS Shell Dlg 2"));
}
