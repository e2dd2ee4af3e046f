// The History submenu of the real main menu, driven by real opens, and the list in the registry.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "harness.h"
#include "logsource/logsource.h"
#include "persist/history.h"
#include "persist/history_menu.h"
#include "persist/settings.h"
#include "shell/app.h"
#include "ids.h"

namespace {

constexpr wchar_t kKey[] = L"Software\\Skelby\\Brindle";

// Confirms the error box that a failed open shows, from a timer its modal loop dispatches.
int boxesAnswered = 0;
BOOL CALLBACK ConfirmBox(HWND window, LPARAM) {
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    ++boxesAnswered;
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}
void CALLBACK AnswerBoxes(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), ConfirmBox, 0); }

std::wstring Stored(int index) {
    wchar_t name[16], text[512] = L"";
    wsprintfW(name, L"history %d", index);
    DWORD size = sizeof(text), type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_ANY, &type, text, &size) != ERROR_SUCCESS || type != REG_SZ)
        return L"<absent>";
    return text;
}

class HistoryMenu : public testing::Test {
protected:
    HWND main = nullptr;
    std::wstring dir;
    UINT_PTR answering = 0;
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        InitHistory();
        for (wchar_t* entry : history.entries) entry[0] = L'\0';
        app.mainMenu = nullptr;   // the window loads the real main menu
        main = harness::NewMainWindow(SW_SHOWNOACTIVATE);
        ASSERT_NE(nullptr, main);
        RebuildHistoryMenu();
        dir = harness::NewTempDir();
        answering = SetTimer(nullptr, 0, 50, AnswerBoxes);
    }
    void TearDown() override {
        KillTimer(nullptr, answering);
        harness::EndMainWindow(main);
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    }
    std::wstring File(int n) {
        std::wstring path = dir + L"\\file" + std::to_wstring(n) + L".log";
        harness::WriteBytes(path, "row\n");
        return path;
    }
    // The items after Clear history and the separator: label and command.
    std::vector<std::wstring> Items() const {
        HMENU submenu = GetSubMenu(GetSubMenu(app.mainMenu, 0), 1);
        std::vector<std::wstring> items;
        int count = GetMenuItemCount(submenu);
        EXPECT_EQ(IDM_CLEAR_HISTORY, GetMenuItemID(submenu, 0));
        EXPECT_TRUE(GetMenuState(submenu, 1, MF_BYPOSITION) & MF_SEPARATOR);
        for (int i = 2; i < count; ++i) {
            wchar_t text[512] = L"";
            GetMenuStringW(submenu, i, text, 512, MF_BYPOSITION);
            EXPECT_EQ(IDM_HISTORY_FIRST + UINT(i - 2), GetMenuItemID(submenu, i));
            items.emplace_back(text);
        }
        return items;
    }
    static std::wstring Label(int index, const std::wstring& path) { return L"&" + std::to_wstring(index) + L" " + path; }
    void Command(UINT id) {
        PostMessageW(main, WM_COMMAND, id, 0);
        harness::Pump(30);
    }
};

}  // namespace

TEST_F(HistoryMenu, OpensReorderTheMenuAndEveryChangeIsStored) {
    EXPECT_TRUE(Items().empty());
    std::vector<std::wstring> f;
    for (int n = 0; n <= 10; ++n) f.push_back(File(n));
    for (int n = 0; n < 10; ++n) ASSERT_TRUE(OpenLogFile(f[n].c_str()));
    std::vector<std::wstring> expected;
    for (int i = 0; i < 10; ++i) expected.push_back(Label(i, f[9 - i]));
    EXPECT_EQ(expected, Items());
    EXPECT_EQ(f[9], Stored(0));
    EXPECT_EQ(f[0], Stored(9));

    // Entry 3 to the front; the three ahead of it move back, the rest stay.
    Command(IDM_HISTORY_FIRST + 3);
    EXPECT_EQ(L"file6.log - Brindle", harness::WindowText(main));
    std::vector<int> order = {6, 9, 8, 7, 5, 4, 3, 2, 1, 0};
    for (int i = 0; i < 10; ++i) expected[i] = Label(i, f[order[i]]);
    EXPECT_EQ(expected, Items());
    for (int i = 0; i < 10; ++i) EXPECT_EQ(f[order[i]], Stored(i)) << i;

    // Entry 0 again: the same order.
    Command(IDM_HISTORY_FIRST);
    EXPECT_EQ(expected, Items());

    // An eleventh file drops the oldest.
    ASSERT_TRUE(OpenLogFile(f[10].c_str()));
    order = {10, 6, 9, 8, 7, 5, 4, 3, 2, 1};
    for (int i = 0; i < 10; ++i) expected[i] = Label(i, f[order[i]]);
    EXPECT_EQ(expected, Items());
    EXPECT_EQ(f[1], Stored(9));

    // A file that has gone: the error, and the list stays as it was.
    ASSERT_TRUE(DeleteFileW(f[8].c_str()));
    Command(IDM_HISTORY_FIRST + 3);
    EXPECT_EQ(1, boxesAnswered);
    EXPECT_EQ(expected, Items());
    EXPECT_EQ(L"file10.log - Brindle", harness::WindowText(main));

    // The list comes back at the next start.
    for (wchar_t* entry : history.entries) entry[0] = L'\0';
    LoadSettings();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(f[order[i]], history.entries[i]) << i;

    // Clear history keeps the most recent file only, and stores the emptied ones.
    Command(IDM_CLEAR_HISTORY);
    EXPECT_EQ(std::vector<std::wstring>{Label(0, f[10])}, Items());
    EXPECT_EQ(f[10], Stored(0));
    for (int i = 1; i < 10; ++i) EXPECT_EQ(L"", Stored(i)) << i;
}

TEST_F(HistoryMenu, AmpersandsShownAndHandEditedValuesEndInsideTheirBuffers) {
    std::wstring odd = dir + L"\\R&D & co.log";
    ASSERT_TRUE(harness::WriteBytes(odd, "x\n"));
    ASSERT_TRUE(OpenLogFile(odd.c_str()));
    std::wstring doubled = odd;
    for (size_t at = doubled.find(L'&'); at != std::wstring::npos; at = doubled.find(L'&', at + 2)) doubled.insert(at, 1, L'&');
    EXPECT_EQ(std::vector<std::wstring>{L"&0 " + doubled}, Items());

    // A whole buffer's worth without a terminator, and an empty entry ahead of a filled one.
    std::wstring full(kHistoryUnits + 1, L'z');   // stored without the unit after the buffer's worth
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
    RegSetValueExW(key, L"history 0", 0, REG_SZ, reinterpret_cast<const BYTE*>(full.data()), kHistoryUnits * 2);
    RegSetValueExW(key, L"history 1", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), 2);
    RegSetValueExW(key, L"history 2", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"C:\\hidden.log"), 28);
    RegCloseKey(key);
    LoadSettings();
    EXPECT_EQ(kHistoryUnits - 1, wcslen(history.entries[0]));
    EXPECT_STREQ(L"C:\\hidden.log", history.entries[2]);
    RebuildHistoryMenu();
    std::vector<std::wstring> items = Items();
    ASSERT_EQ(1u, items.size());   // shown up to the first empty entry
}
