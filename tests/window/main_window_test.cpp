#include <gtest/gtest.h>
#include "harness.h"
#include "shell/app.h"

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
