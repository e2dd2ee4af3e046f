// The tray icon of the real main window with the real Shell_NotifyIconW: minimizing into the
// notification area, the tip, restoring by double click, the delayed removal, a taskbar restart.
#include <gtest/gtest.h>
#include <string>
#include "harness.h"
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "shell/app.h"
#include "shell/platform.h"
#include "status/tray.h"
#include "ids.h"

namespace {

class Tray : public testing::Test {
protected:
    HWND main = nullptr;
    void SetUp() override {
        main = harness::NewMainWindow(SW_SHOWNORMAL);
        ASSERT_NE(nullptr, main);
        settings.trayMinimize = 1;
        InitTrayIcon(main);
        harness::Pump(20);
    }
    void TearDown() override {
        RemoveTrayIcon();
        harness::EndMainWindow(main);
    }
    // Whether the shell holds this window's icon: only an existing icon can be modified.
    bool IconShown() const {
        NOTIFYICONDATAW probe{};
        probe.cbSize = NOTIFYICONDATAW_V2_SIZE;
        probe.hWnd = main;
        probe.uID = kTrayIconId;
        return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
    }
    void Minimize() { SendMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0); }
    void DoubleClickIcon() { SendMessageW(main, WM_BRINDLE_TRAY, kTrayIconId, WM_LBUTTONDBLCLK); }
    void PastDoubleClickTime() { harness::Pump(GetDoubleClickTime() + 250); }
};

}  // namespace

TEST_F(Tray, MinimizesIntoTheAreaAndComesBackByDoubleClick) {
    std::wstring log = harness::NewTempDir() + L"\\tray.log";
    ASSERT_TRUE(harness::WriteBytes(log, "t\n"));
    ASSERT_TRUE(OpenLogFile(log.c_str()));
    Minimize();
    EXPECT_TRUE(IsIconic(main));
    EXPECT_TRUE(IconShown());
    EXPECT_EQ(L"tray.log\n\\\\?\\" + log, tray.data.szTip);
    EXPECT_EQ(reinterpret_cast<HICON>(GetClassLongPtrW(main, GCLP_HICONSM)), tray.data.hIcon);
    EXPECT_EQ(UINT(WM_BRINDLE_TRAY), tray.data.uCallbackMessage);

    SendMessageW(main, WM_BRINDLE_TRAY, 2, WM_LBUTTONDBLCLK);   // not our icon
    EXPECT_TRUE(IsIconic(main));
    DoubleClickIcon();
    EXPECT_FALSE(IsIconic(main));
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_TRUE(IconShown());   // for one double-click time
    EXPECT_TRUE(harness::WaitUntil([&] { return !IconShown(); }, 5000));

    // Minimized again before the removal is due: the new icon stays.
    Minimize();
    DoubleClickIcon();
    Minimize();
    PastDoubleClickTime();
    EXPECT_TRUE(IsIconic(main));
    EXPECT_TRUE(IconShown());

    // The shell restarted and lost its icons: the icon comes back.
    NOTIFYICONDATAW lost = tray.data;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &lost));
    SendMessageW(main, taskbarCreatedMessage, 0, 0);
    EXPECT_TRUE(IconShown());

    // Closing removes the icon whatever its state.
    SendMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IconShown());
}

TEST_F(Tray, ProductTipWithoutFileAndOrdinaryMinimizeWhenTheIconFails) {
    Minimize();
    EXPECT_STREQ(L"Brindle", tray.data.szTip);
    EXPECT_TRUE(IconShown());
    ShowWindow(main, SW_RESTORE);
    EXPECT_TRUE(harness::WaitUntil([&] { return !IconShown(); }, 5000));

    // Before Windows 2000 the window hides itself after minimizing into the area, one double-click
    // time later...
    PlatformInfo saved = platformInfo;
    platformInfo.osMajor = 4;
    platformInfo.osMinor = 0;
    ASSERT_TRUE(isWindowsOlderThan(kWindows2000));
    Minimize();
    EXPECT_TRUE(harness::WaitUntil([&] { return !IsWindowVisible(main); }, 5000));
    DoubleClickIcon();
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_TRUE(harness::WaitUntil([&] { return !IsIconic(main) && !IconShown(); }, 5000));

    // ...but when another icon holds the same owner and id, adding fails and the window stays a
    // normal minimized window, reachable from the taskbar.
    NOTIFYICONDATAW taken = tray.data;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &taken));
    Minimize();
    PastDoubleClickTime();
    EXPECT_TRUE(IsIconic(main));
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_FALSE(tray.shown);
    platformInfo = saved;
    Shell_NotifyIconW(NIM_DELETE, &taken);
    ShowWindow(main, SW_RESTORE);

    // With the setting off nothing of this happens.
    settings.trayMinimize = 0;
    Minimize();
    EXPECT_TRUE(IsIconic(main));
    EXPECT_FALSE(IconShown());
}

// The shell's minimize rectangle is written only while this thread minimizes the window and asks
// from within; sent from anywhere else, even with the address of the program's own record that
// starts with the main window's handle, nothing is written.
TEST_F(Tray, MinimizeRectangleOnlyDuringItsOwnMinimize) {
    HWND madeTaskbar = nullptr;
    if (!FindNotificationArea()) {   // Wine's taskbar has no notification area window: one of our own
        WNDCLASSW taskbar{};
        taskbar.lpfnWndProc = DefWindowProcW;
        taskbar.hInstance = GetModuleHandleW(nullptr);
        taskbar.lpszClassName = L"Shell_TrayWnd";
        RegisterClassW(&taskbar);
        taskbar.lpszClassName = L"TrayNotifyWnd";
        RegisterClassW(&taskbar);
        madeTaskbar = CreateWindowExW(0, L"Shell_TrayWnd", L"", WS_POPUP, 0, 700, 800, 30, nullptr, nullptr,
                                      taskbar.hInstance, nullptr);
        CreateWindowExW(0, L"TrayNotifyWnd", L"", WS_CHILD, 600, 0, 200, 30, madeTaskbar, nullptr, taskbar.hInstance,
                        nullptr);
    }
    ASSERT_NE(nullptr, FindNotificationArea());
    struct MinimizeTarget {
        HWND window;
        SHORT left, top, right, bottom;
    } record{main, 0, 0, 0, 0};
    const LPARAM address = reinterpret_cast<LPARAM>(&record);
    EXPECT_EQ(0, SendMessageW(main, shellHookMessage, HSHELL_GETMINRECT, address));   // no minimize
    EXPECT_EQ(0, record.right);
    tray.minimizing = true;
    EXPECT_EQ(0, harness::SendFromAnotherThread(main, shellHookMessage, HSHELL_GETMINRECT, address));
    EXPECT_EQ(0, record.right);
    const App before = app;
    EXPECT_EQ(0, harness::SendFromAnotherThread(main, shellHookMessage, HSHELL_GETMINRECT,
                                                reinterpret_cast<LPARAM>(&app.mainWindow)));
    EXPECT_EQ(before.view, app.view);
    EXPECT_EQ(before.statusBar, app.statusBar);
    EXPECT_EQ(1, SendMessageW(main, shellHookMessage, HSHELL_GETMINRECT, address));
    EXPECT_NE(0, record.right);
    tray.minimizing = false;
    if (madeTaskbar) DestroyWindow(madeTaskbar);
}
