// The main window in this process: layout of its children, the minimum size, Ctrl+wheel steps.
#include <gtest/gtest.h>
#include "harness.h"
#include "shell/app.h"
#include "shell/startup.h"
#include "status/status.h"
#include "dialogs/ui.h"
#include <commctrl.h>

namespace {

class ShellWindow : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(StartApplication(GetModuleHandleW(nullptr)));
        ShowWindow(app.mainWindow, SW_SHOWNORMAL);
        harness::Pump(30);
    }
    void TearDown() override {
        DestroyWindow(app.mainWindow);
        harness::Pump(20);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
    }
    static RECT ChildRect(HWND child) {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, app.mainWindow, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    static void ResizeClient(int width, int height) {
        RECT r{0, 0, width, height};
        AdjustWindowRectEx(&r, GetWindowLongW(app.mainWindow, GWL_STYLE), GetMenu(app.mainWindow) != nullptr,
                           GetWindowLongW(app.mainWindow, GWL_EXSTYLE));
        SetWindowPos(app.mainWindow, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
        harness::Pump(20);
    }
    static int PostedCommands(UINT id) {
        int n = 0;
        MSG msg;
        while (PeekMessageW(&msg, app.mainWindow, WM_COMMAND, WM_COMMAND, PM_REMOVE))
            if (LOWORD(msg.wParam) == id) ++n;
        return n;
    }
};

}  // namespace

TEST_F(ShellWindow, ViewAndStatusBarShareTheClientArea) {
    ResizeClient(800, 600);
    RECT client;
    GetClientRect(app.mainWindow, &client);
    ASSERT_EQ(800, client.right);
    RECT status = ChildRect(app.statusBar);
    RECT view = ChildRect(app.view);
    EXPECT_TRUE(IsWindowVisible(app.statusBar));
    EXPECT_EQ(0, view.left);
    EXPECT_EQ(0, view.top);
    EXPECT_EQ(800, view.right);
    EXPECT_EQ(status.top, view.bottom);
    EXPECT_EQ(client.bottom, status.bottom);
    EXPECT_EQ(800, status.right - status.left);
    // Parts 1 to 8 keep their widths at the right; part 0 takes the rest.
    EXPECT_EQ(525, statusPartsWidth);
    EXPECT_EQ(800 - 525, statusPartEdges[0]);
    EXPECT_EQ(-1, statusPartEdges[8]);

    // Without the status bar item checked, the view takes the whole client area.
    SendMessageW(app.mainWindow, WM_COMMAND, 1403, 0);
    harness::Pump(30);
    EXPECT_FALSE(IsWindowVisible(app.statusBar));
    EXPECT_EQ(client.bottom, ChildRect(app.view).bottom);
    SendMessageW(app.mainWindow, WM_COMMAND, 1403, 0);
    harness::Pump(30);
    EXPECT_TRUE(IsWindowVisible(app.statusBar));
}

TEST_F(ShellWindow, LastRowStaysVisibleAcrossResizes) {
    ResizeClient(600, 400);
    for (int i = 0; i < 300; ++i) {
        wchar_t row[16];
        wsprintfW(row, L"row %d", i);
        SendMessageW(app.view, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row));
    }
    SendMessageW(app.view, LB_SETTOPINDEX, 299, 0);
    auto lastVisible = [] {
        int top = static_cast<int>(SendMessageW(app.view, LB_GETTOPINDEX, 0, 0));
        RECT c;
        GetClientRect(app.view, &c);
        int rows = c.bottom / static_cast<int>(SendMessageW(app.view, LB_GETITEMHEIGHT, 0, 0));
        return top <= 299 && 299 < top + rows;
    };
    ASSERT_TRUE(lastVisible());
    for (int height : {250, 700, 300}) {
        ResizeClient(600, height);
        EXPECT_TRUE(lastVisible()) << height;
    }
    // Scrolled up, the top row stays.
    SendMessageW(app.view, LB_SETTOPINDEX, 10, 0);
    ResizeClient(600, 500);
    EXPECT_EQ(10, SendMessageW(app.view, LB_GETTOPINDEX, 0, 0));
}

TEST_F(ShellWindow, MinimumTrackingSizeFollowsTheStatusParts) {
    ResizeClient(900, 500);
    MoveWindow(app.mainWindow, 0, 0, 50, 20, TRUE);
    harness::Pump(20);
    RECT r;
    GetWindowRect(app.mainWindow, &r);
    EXPECT_EQ(525 + 2 * GetSystemMetrics(SM_CXFRAME) + 23, r.right - r.left);
    RECT status;
    GetClientRect(app.statusBar, &status);
    int minHeight = 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYMENU) +
                    2 * GetSystemMetrics(SM_CYVSCROLL) + status.bottom +
                    ((GetWindowLongW(app.view, GWL_STYLE) & WS_HSCROLL) ? GetSystemMetrics(SM_CYHSCROLL) : 0);
    EXPECT_EQ(minHeight, r.bottom - r.top);
}

TEST_F(ShellWindow, CtrlWheelPostsOneStepPerStartedNotch) {
    PostedCommands(1211);
    struct Case { short delta; WPARAM keys; UINT id; int steps; };
    const Case cases[] = {{240, MK_CONTROL, 1211, 2}, {120, MK_CONTROL, 1211, 1}, {121, MK_CONTROL, 1211, 2},
                          {-1, MK_CONTROL, 1212, 1},  {-360, MK_CONTROL, 1212, 3}, {240, 0, 1211, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(0, SendMessageW(app.mainWindow, WM_MOUSEWHEEL, MAKEWPARAM(c.keys, c.delta), 0));
        EXPECT_EQ(c.steps, PostedCommands(c.id)) << c.delta;
    }
}

// The help line shows the chosen language's text for the item or popup under the mouse.
TEST_F(ShellWindow, MenuHelpLineFollowsTheSelection) {
    auto simpleText = [] {
        wchar_t text[256] = L"";
        SendMessageW(app.statusBar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));  // the simple part while simple
        return std::wstring(text);
    };
    HMENU view = GetSubMenu(app.mainMenu, 1);
    SendMessageW(app.mainWindow, WM_MENUSELECT, MAKEWPARAM(1201, MF_HILITE), reinterpret_cast<LPARAM>(view));
    EXPECT_TRUE(SendMessageW(app.statusBar, SB_ISSIMPLE, 0, 0));
    EXPECT_EQ(std::wstring(UiString(1201 + 256)), simpleText());
    EXPECT_FALSE(simpleText().empty());
    SendMessageW(app.mainWindow, WM_MENUSELECT, MAKEWPARAM(2, MF_POPUP | MF_HILITE), reinterpret_cast<LPARAM>(app.mainMenu));
    EXPECT_EQ(std::wstring(UiString(256 + 2)), simpleText());
    SendMessageW(app.mainWindow, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_FALSE(SendMessageW(app.statusBar, SB_ISSIMPLE, 0, 0));
}
