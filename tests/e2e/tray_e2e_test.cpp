// brindle.exe minimized into the notification area, seen from outside: the icon through the
// shell, the double click through its callback message, and the tray menu driven by keys.
#include <gtest/gtest.h>
#include "harness.h"
#include <shellapi.h>

namespace {

const wchar_t kKey[] = L"Software\\Skelby\\Brindle";

bool IconShown(HWND owner) {
    NOTIFYICONDATAW probe{};
    probe.cbSize = NOTIFYICONDATAW_V2_SIZE;
    probe.hWnd = owner;
    probe.uID = 1;
    return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

struct MenuSearch { DWORD processId; HWND menu; };

BOOL CALLBACK FindPopupMenu(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<MenuSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    if (pid == search->processId && lstrcmpW(name, L"#32768") == 0 && IsWindowVisible(window)) {
        search->menu = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

TEST(TrayE2E, MinimizeRestoreAndCloseFromTheTrayMenu) {
    DWORD on = 1;
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"tray minimize", REG_DWORD, &on, sizeof(on));
    std::wstring log = harness::NewTempDir() + L"\\tray.log";
    ASSERT_TRUE(harness::WriteBytes(log, "t\n"));
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L"\"" + log + L"\""));

    PostMessageW(brindle.main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(harness::WaitUntil([&] { return IsIconic(brindle.main) && IconShown(brindle.main); }));
    PostMessageW(brindle.main, 1027, 1, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(harness::WaitUntil([&] { return !IsIconic(brindle.main) && !IconShown(brindle.main); }));

    PostMessageW(brindle.main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(harness::WaitUntil([&] { return IsIconic(brindle.main) && IconShown(brindle.main); }));
    PostMessageW(brindle.main, 1027, 1, WM_RBUTTONUP);
    MenuSearch search{brindle.info.dwProcessId, nullptr};
    ASSERT_TRUE(harness::WaitUntil([&] { EnumWindows(FindPopupMenu, LPARAM(&search)); return search.menu != nullptr; }));
    // The menu's own mnemonic: "&Close".
    keybd_event('C', 0, 0, 0);
    keybd_event('C', 0, KEYEVENTF_KEYUP, 0);
    EXPECT_EQ(0u, harness::WaitExit(brindle));
    EXPECT_FALSE(IconShown(brindle.main));
    // The file was closed before the window: no placement was written for it.
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((log + L":Tervo.Brindle.Properties").c_str()));
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"tray minimize");
}
