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
    ASSERT_TRUE(harness::WaitUntil([&] { return harness::FindProcessWindow(brindle.info.dwProcessId, L"#32768") != nullptr; }));
    // The menu's own mnemonic: "&Close".
    keybd_event('C', 0, 0, 0);
    keybd_event('C', 0, KEYEVENTF_KEYUP, 0);
    EXPECT_EQ(0u, harness::WaitExit(brindle));
    EXPECT_FALSE(IconShown(brindle.main));
    // The file was closed before the window: no placement was written for it.
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((log + L":Tervo.Brindle.Properties").c_str()));
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"tray minimize");
}
