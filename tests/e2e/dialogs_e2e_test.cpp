// The program's dialogs used from outside as a user would: open from the menu command, type,
// confirm or cancel; what they store is read back from the real registry.
#include <gtest/gtest.h>
#include "harness.h"
#include <commctrl.h>
#include <shellapi.h>
#include <string>

namespace {

const wchar_t kKey[] = L"Software\\Skelby\\Brindle";
constexpr UINT kRowLength = 1401, kAssociations = 1405, kLimits = 1406, kAppSettings = 1409, kHistory = 1908;

void SetSetting(const wchar_t* name, DWORD value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, REG_DWORD, &value, sizeof(value));
}

DWORD Setting(const wchar_t* name) {
    DWORD value = 0xDEADBEEF, size = sizeof(value);
    RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

struct DialogSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindDialog(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<DialogSearch*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    wchar_t cls[16] = L"";
    GetClassNameW(w, cls, 16);
    if (pid == s->process && lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(w) && IsWindowEnabled(w)) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

// The process's visible, enabled dialog frame (modal dialogs disable the main window).
HWND WaitForDialog(const harness::Process& brindle, DWORD timeoutMs = 5000) {
    DialogSearch search{brindle.info.dwProcessId, nullptr};
    harness::WaitUntil([&] {
        search.found = nullptr;
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    }, timeoutMs);
    return search.found;
}

HWND OpenDialog(const harness::Process& brindle, UINT command) {
    PostMessageW(brindle.main, WM_COMMAND, command, 0);
    return WaitForDialog(brindle);
}

bool WaitClosed(HWND dialog) { return harness::WaitUntil([&] { return !IsWindow(dialog); }); }

std::wstring ItemText(HWND dialog, int id) { return harness::WindowText(GetDlgItem(dialog, id)); }

void Type(HWND dialog, int id, const wchar_t* text) {
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void Click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

bool Checked(HWND dialog, int id) { return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Keys go through the real input queue of the foreground window.
void Press(HWND window, std::initializer_list<BYTE> keys) {
    SetForegroundWindow(window);
    harness::WaitUntil([&] { return GetForegroundWindow() == window; }, 2000);
    for (BYTE k : keys) keybd_event(k, 0, 0, 0);
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) keybd_event(*it, 0, KEYEVENTF_KEYUP, 0);
}

// Confirms with the given text in the edit and waits for the stored value.
DWORD ConfirmRowLength(const harness::Process& brindle, const wchar_t* text) {
    HWND dialog = OpenDialog(brindle, kRowLength);
    if (!dialog) return 0xDEADBEEF;
    Type(dialog, 259, text);
    Click(dialog, IDOK);
    WaitClosed(dialog);
    harness::WaitUntil([&] { return IsWindowEnabled(brindle.main) != FALSE; });
    return Setting(L"row length");
}

}  // namespace

TEST(DialogsE2E, RowLengthClampsStoresAndCancels) {
    SetSetting(L"row length", 100);
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L""));
    HWND dialog = OpenDialog(brindle, kRowLength);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"100", ItemText(dialog, 259));
    EXPECT_FALSE(IsWindowEnabled(brindle.main));
    // The arrow keys stop at both ends of the range.
    Type(dialog, 259, L"256");
    Press(dialog, {VK_UP});
    harness::Pump(100);
    EXPECT_EQ(L"256", ItemText(dialog, 259));
    Type(dialog, 259, L"1");
    Press(dialog, {VK_DOWN});
    harness::Pump(100);
    EXPECT_EQ(L"1", ItemText(dialog, 259));
    Press(dialog, {VK_UP});
    EXPECT_TRUE(harness::WaitUntil([&] { return ItemText(dialog, 259) == L"2"; }));
    // Esc ends with nothing stored.
    Type(dialog, 259, L"50");
    Press(dialog, {VK_ESCAPE});
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_EQ(100u, Setting(L"row length"));

    EXPECT_EQ(1u, ConfirmRowLength(brindle, L"0"));
    EXPECT_EQ(256u, ConfirmRowLength(brindle, L"300"));
    EXPECT_EQ(1u, ConfirmRowLength(brindle, L"-5"));
    EXPECT_EQ(256u, ConfirmRowLength(brindle, L"99999999999"));
    EXPECT_EQ(77u, ConfirmRowLength(brindle, L"77"));
    EXPECT_EQ(0u, harness::Close(brindle));

    // The stored value is what the next start shows.
    ASSERT_TRUE(harness::Start(brindle, L""));
    dialog = OpenDialog(brindle, kRowLength);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"77", ItemText(dialog, 259));
    PostMessageW(dialog, WM_CLOSE, 0, 0);   // the caption's close box
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_EQ(77u, Setting(L"row length"));
    EXPECT_EQ(0u, harness::Close(brindle));
}

TEST(DialogsE2E, SizeLimitsKeepBothPartsUpToTheLargest) {
    SetSetting(L"kb limit", 64);
    SetSetting(L"lines limit", 3000);
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L""));
    auto confirm = [&](const wchar_t* kilobytes, const wchar_t* rows) {
        HWND dialog = OpenDialog(brindle, kLimits);
        ASSERT_NE(nullptr, dialog);
        Type(dialog, 263, kilobytes);
        Type(dialog, 265, rows);
        Press(dialog, {VK_RETURN});
        EXPECT_TRUE(WaitClosed(dialog));
        harness::WaitUntil([&] { return IsWindowEnabled(brindle.main) != FALSE; });
    };
    HWND dialog = OpenDialog(brindle, kLimits);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"64", ItemText(dialog, 263));
    EXPECT_EQ(L"3000", ItemText(dialog, 265));
    Type(dialog, 263, L"9");
    Click(dialog, IDCANCEL);
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_EQ(64u, Setting(L"kb limit"));

    confirm(L"1000", L"5000");
    EXPECT_EQ(1000u, Setting(L"kb limit"));
    EXPECT_EQ(5000u, Setting(L"lines limit"));
    dialog = OpenDialog(brindle, kLimits);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"1000", ItemText(dialog, 263));   // no thousands separators
    EXPECT_EQ(L"5000", ItemText(dialog, 265));
    Press(dialog, {VK_RETURN});
    EXPECT_TRUE(WaitClosed(dialog));
    harness::WaitUntil([&] { return IsWindowEnabled(brindle.main) != FALSE; });
    EXPECT_EQ(1000u, Setting(L"kb limit"));
    EXPECT_EQ(5000u, Setting(L"lines limit"));

    // Both at their maximum pack into all ones, which is still a confirmation.
    confirm(L"70000", L"99999999999");
    EXPECT_EQ(65535u, Setting(L"kb limit"));
    EXPECT_EQ(65535u, Setting(L"lines limit"));
    confirm(L"0", L"");
    EXPECT_EQ(1u, Setting(L"kb limit"));
    EXPECT_EQ(1u, Setting(L"lines limit"));
    confirm(L"65535", L"65535");
    EXPECT_EQ(0u, harness::Close(brindle));

    ASSERT_TRUE(harness::Start(brindle, L""));
    dialog = OpenDialog(brindle, kLimits);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"65535", ItemText(dialog, 263));
    EXPECT_EQ(L"65535", ItemText(dialog, 265));
    Press(dialog, {VK_ESCAPE});
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_EQ(0u, harness::Close(brindle));
    SetSetting(L"kb limit", 64);
    SetSetting(L"lines limit", 3000);
}

TEST(DialogsE2E, AppSettingsSavesAllFiveAndTakeEffect) {
    const wchar_t* names[] = {L"tray minimize", L"fullscreen", L"esc close", L"save position", L"restrict instances"};
    SetSetting(L"tray minimize", 1);
    for (int i = 1; i < 5; ++i) SetSetting(names[i], 0);
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L""));
    HWND dialog = OpenDialog(brindle, kAppSettings);
    ASSERT_NE(nullptr, dialog);
    // No notification area on this desktop: the tray box stays disabled and unchecked.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 531)));
    EXPECT_FALSE(Checked(dialog, 531));
    for (int box : {532, 533, 541, 542}) EXPECT_FALSE(Checked(dialog, box)) << box;
    Click(dialog, 532);
    Click(dialog, 541);
    Press(dialog, {VK_ESCAPE});
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_EQ(1u, Setting(L"tray minimize"));
    EXPECT_EQ(0u, Setting(L"fullscreen"));

    dialog = OpenDialog(brindle, kAppSettings);
    ASSERT_NE(nullptr, dialog);
    EXPECT_FALSE(Checked(dialog, 532));
    Click(dialog, 532);
    Click(dialog, 541);
    Click(dialog, IDOK);
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_TRUE(harness::WaitUntil([&] { return Setting(L"save position") == 1; }));
    const DWORD expected[] = {0, 1, 0, 1, 0};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(expected[i], Setting(names[i])) << harness::Utf8(names[i]);

    // Saving without changes writes all five again; Esc in the main window now closes it.
    SetSetting(L"restrict instances", 7);
    dialog = OpenDialog(brindle, kAppSettings);
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(Checked(dialog, 532));
    EXPECT_TRUE(Checked(dialog, 541));
    Click(dialog, 533);
    Click(dialog, IDOK);
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_TRUE(harness::WaitUntil([&] { return Setting(L"restrict instances") == 0; }));
    EXPECT_EQ(1u, Setting(L"esc close"));
    harness::WaitUntil([&] { return IsWindowEnabled(brindle.main) != FALSE; });
    Press(brindle.main, {VK_ESCAPE});
    EXPECT_EQ(0u, harness::WaitExit(brindle, 5000));
    for (const wchar_t* name : names) SetSetting(name, 0);
}
