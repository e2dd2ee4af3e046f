#include <gtest/gtest.h>
#include "harness.h"
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "shell/app.h"
#include "shell/platform.h"
#include "view/highlight.h"
#include "view/view.h"
#include <commctrl.h>

TEST(MainWindow, HoldsTheViewListBox) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    ASSERT_TRUE(RegisterMainWindowClass(instance));
    HWND main = CreateMainWindow(instance, SW_SHOWNOACTIVATE);
    ASSERT_NE(nullptr, main);
    harness::Pump(50);
    wchar_t className[16] = L"";
    GetClassNameW(main, className, 16);
    EXPECT_STREQ(L"W", className);
    EXPECT_EQ(L"Brindle", harness::WindowText(main));
    HWND view = harness::FindView(main);
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(view, app.view);
    LONG style = GetWindowLongW(view, GWL_STYLE);
    EXPECT_EQ(LBS_HASSTRINGS | LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT,
              style & (LBS_HASSTRINGS | LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT | LBS_SORT | LBS_OWNERDRAWFIXED));
    DestroyWindow(main);
    harness::Pump(20);
}

// Notifications and draw requests from another thread carry records that mean nothing here (from
// another process the pointer is the sender's): they are not followed. A click on the pause part
// from the status bar itself is.
TEST(MainWindow, NotificationsAndDrawRequestsOnlyFromItsOwnThread) {
    HWND main = harness::NewMainWindow(SW_SHOWNOACTIVATE);
    ASSERT_NE(nullptr, main);
    InstallPostedMessageFilter();
    std::wstring log = harness::NewTempDir() + L"\\notify.log";
    ASSERT_TRUE(harness::WriteBytes(log, "one\n"));
    ASSERT_TRUE(OpenLogFile(log.c_str()));
    ASSERT_TRUE(harness::WaitForRows(app.view, 1));
    NMMOUSE click{};
    click.hdr = {app.statusBar, 0, static_cast<UINT>(NM_CLICK)};
    click.dwItemSpec = 2;   // the play or pause sign
    harness::SendFromAnotherThread(main, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click));
    harness::Pump(100);
    EXPECT_FALSE(logSource.paused) << "a notification from another thread was followed";
    // Posted, even from this thread, the record is never read.
    if (PostMessageW(main, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click))) {
        harness::Pump(100);
        EXPECT_FALSE(logSource.paused) << "a posted notification was followed";
    }
    SendMessageW(main, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click));
    EXPECT_TRUE(harness::WaitUntil([] { return logSource.paused; }));

    // With a rule on, the view is drawn by its owner; its own draw request is answered only when
    // it comes from this thread and names it.
    highlights.rules = RuleSet{};
    highlights.rules.rules[0] = {0, RGB(255, 255, 255), RGB(200, 0, 0), L"one"};
    highlights.rules.count = 1;
    ApplyHighlights();
    ASSERT_TRUE(IsDrawnView(app.view));
    HDC dc = GetDC(app.view);
    DRAWITEMSTRUCT draw{ODT_LISTBOX, 0, 0, ODA_DRAWENTIRE, 0, app.view, dc, {0, 0, 50, 10}, 0};
    EXPECT_EQ(TRUE, SendMessageW(main, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw)));
    EXPECT_EQ(0, harness::SendFromAnotherThread(main, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw)));
    DRAWITEMSTRUCT other = draw;
    other.hwndItem = main;   // names a window that is not the view
    EXPECT_EQ(0, SendMessageW(main, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&other)));
    MEASUREITEMSTRUCT measure{ODT_LISTBOX, 0, 0, 0, 1, 0};
    EXPECT_EQ(TRUE, SendMessageW(main, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure)));
    EXPECT_EQ(static_cast<UINT>(ViewRowHeight()), measure.itemHeight);
    measure.itemHeight = 1;
    EXPECT_EQ(0, harness::SendFromAnotherThread(main, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure)));
    EXPECT_EQ(1u, measure.itemHeight);
    ReleaseDC(app.view, dc);
    highlights.rules = RuleSet{};
    ApplyHighlights();
    harness::EndMainWindow(main);
}
