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
