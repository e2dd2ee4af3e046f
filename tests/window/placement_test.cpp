// Dialog placement by the two thread hooks, with real windows of this thread.
#include <gtest/gtest.h>
#include "harness.h"
#include "dialogs/placement.h"
#include "dialogs/ui.h"
#include "ids.h"

namespace {

struct Seen {
    RECT created{};   // the dialog's rectangle when WM_INITDIALOG arrives
    RECT settled{};   // after WM_INITDIALOG was processed
    int createdWindows = 0;
};

INT_PTR CALLBACK RecordingDialog(HWND dialog, UINT message, WPARAM, LPARAM param) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, param);
        GetWindowRect(dialog, &reinterpret_cast<Seen*>(param)->created);
        PostMessageW(dialog, WM_APP, 0, 0);
        return TRUE;
    }
    if (message == WM_APP) {
        GetWindowRect(dialog, &reinterpret_cast<Seen*>(GetWindowLongPtrW(dialog, DWLP_USER))->settled);
        EndDialog(dialog, 7);
        return TRUE;
    }
    return FALSE;
}

HWND MakeOwner(int x, int y, int width, int height) {
    return CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, x, y, width, height, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

TEST(Placement, CbtHookCentresAndLiftsTheDialogOverItsOwner) {
    HHOOK cbt = SetWindowsHookExW(WH_CBT, DialogCbtHook, nullptr, GetCurrentThreadId());
    ASSERT_NE(nullptr, cbt);
    HWND owner = MakeOwner(40, 30, 800, 600);
    Seen seen;
    EXPECT_EQ(7, RunUiDialog(IDD_HISTORY, owner, RecordingDialog, reinterpret_cast<LPARAM>(&seen)));
    EXPECT_FALSE(ui.placeNextWindow);
    int width = seen.settled.right - seen.settled.left, height = seen.settled.bottom - seen.settled.top;
    EXPECT_EQ((40 + 840) / 2 - width / 2, seen.settled.left);
    EXPECT_EQ((30 + 630) / 2 - height / 2 + (height - 600) / 20, seen.settled.top);
    EXPECT_EQ(nullptr, ui.placedWindow);
    DestroyWindow(owner);
    UnhookWindowsHookEx(cbt);
}

INT_PTR CALLBACK ButtonRecordingDialog(HWND dialog, UINT message, WPARAM, LPARAM param) {
    if (message != WM_INITDIALOG) return FALSE;
    RECT button{}, expected{243, 181, 0, 0};
    GetWindowRect(GetDlgItem(dialog, IDCANCEL), &button);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&button), 2);
    MapDialogRect(dialog, &expected);
    *reinterpret_cast<bool*>(param) = button.left == expected.left && button.top == expected.top;
    EndDialog(dialog, 7);
    return TRUE;
}

// Without an owner there is nothing to place over: the flag is spent on the dialog, never on its
// controls, which stay where the template puts them.
TEST(Placement, WindowWithoutOwnerIsLeftAloneAndSpendsTheFlag) {
    HHOOK cbt = SetWindowsHookExW(WH_CBT, DialogCbtHook, nullptr, GetCurrentThreadId());
    ASSERT_NE(nullptr, cbt);
    bool buttonInPlace = false;
    EXPECT_EQ(7, RunUiDialog(IDD_HISTORY, nullptr, ButtonRecordingDialog, reinterpret_cast<LPARAM>(&buttonInPlace)));
    EXPECT_TRUE(buttonInPlace);
    EXPECT_FALSE(ui.placeNextWindow);
    EXPECT_EQ(nullptr, ui.placedWindow);
    UnhookWindowsHookEx(cbt);
}

TEST(Placement, CentringHookExistsOnlyWhileArmed) {
    HWND owner = MakeOwner(100, 50, 700, 500);
    EXPECT_EQ(nullptr, ui.centringHook);
    ArmDialogCentring();
    EXPECT_NE(nullptr, ui.centringHook);
    ui.placeNextWindow = false;
    Seen seen;
    UiResource about = FindUiResource(RT_DIALOG, MAKEINTRESOURCEW(IDD_ABOUT));
    ASSERT_NE(nullptr, about.data);
    EXPECT_EQ(7, DialogBoxIndirectParamW(GetModuleHandleW(nullptr), static_cast<LPCDLGTEMPLATEW>(about.data), owner,
                                         RecordingDialog, reinterpret_cast<LPARAM>(&seen)));
    // Consumed by the dialog: flag and hook are gone.
    EXPECT_FALSE(ui.centreNextDialog);
    EXPECT_EQ(nullptr, ui.centringHook);
    int width = seen.settled.right - seen.settled.left, height = seen.settled.bottom - seen.settled.top;
    EXPECT_EQ((100 + 800) / 2 - width / 2, seen.settled.left);
    EXPECT_EQ((50 + 550) / 2 - height / 2, seen.settled.top);

    // Armed by an operation that showed nothing: its end takes flag and hook away.
    ArmDialogCentring();
    EndDialogCentring();
    EXPECT_FALSE(ui.centreNextDialog);
    EXPECT_EQ(nullptr, ui.centringHook);
    DestroyWindow(owner);
}
