// Placement of dialogs over the main window by two thread hooks.
#include "dialogs/placement.h"
#include "dialogs/ui.h"

POINT CentreOver(int width, int height, const RECT& parent, bool lift) {
    POINT at{(parent.left + parent.right) / 2 - width / 2, (parent.top + parent.bottom) / 2 - height / 2};
    if (lift) at.y += (height - (parent.bottom - parent.top)) / 20;
    return at;
}

namespace {

// Children follow their parent, and a window with no owner or a size left to the system has
// nothing to be placed over or no size to place.
bool Placeable(const CREATESTRUCTW& create) {
    return !(create.style & WS_CHILD) && create.hwndParent && create.cx != CW_USEDEFAULT &&
           create.cy != CW_USEDEFAULT && create.cx > 0 && create.cy > 0;
}

}  // namespace

LRESULT CALLBACK DialogCbtHook(int code, WPARAM wParam, LPARAM lParam) {
    HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND && window && lParam && ui.placeNextWindow) {
        CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        if (create) {
            // The flag belongs to the first window created after arming, placed or not: a later
            // window (the dialog's own controls) must never be moved by it.
            ui.placeNextWindow = false;
            RECT parent;
            if (Placeable(*create) && GetWindowRect(create->hwndParent, &parent)) {
                POINT at = CentreOver(create->cx, create->cy, parent, true);
                create->x = at.x;
                create->y = at.y;
                // Some platforms (Wine) create the window from their own copy of the creation
                // data; the place is then given when the window is first activated.
                ui.placedWindow = window;
                ui.placedAt = at;
            }
        }
    } else if (code == HCBT_ACTIVATE && window && window == ui.placedWindow) {
        ui.placedWindow = nullptr;
        RECT now;
        if (GetWindowRect(window, &now) && (now.left != ui.placedAt.x || now.top != ui.placedAt.y))
            SetWindowPos(window, nullptr, ui.placedAt.x, ui.placedAt.y, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    } else if (code == HCBT_DESTROYWND && window && window == ui.placedWindow) {
        ui.placedWindow = nullptr;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK DialogCallWndRetHook(int code, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallNextHookEx(nullptr, code, wParam, lParam);
    if (code != HC_ACTION || !lParam || !ui.centreNextDialog) return result;
    const CWPRETSTRUCT* ret = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (ret->message != WM_INITDIALOG) return result;
    // A child dialog (a template inside the Open dialog) finishes first; the flag waits for its frame.
    if (GetWindowLongW(ret->hwnd, GWL_STYLE) & WS_CHILD) return result;
    HWND parent = GetParent(ret->hwnd);
    RECT window, over;
    if (parent && GetWindowRect(ret->hwnd, &window) && GetWindowRect(parent, &over)) {
        int width = window.right - window.left, height = window.bottom - window.top;
        POINT at = CentreOver(width, height, over, false);
        MoveWindow(ret->hwnd, at.x, at.y, width, height, TRUE);
    }
    EndDialogCentring();
    return result;
}

void ArmDialogCentring() {
    ui.centreNextDialog = true;
    if (!ui.centringHook)
        ui.centringHook = SetWindowsHookExW(WH_CALLWNDPROCRET, DialogCallWndRetHook, nullptr, GetCurrentThreadId());
}

void EndDialogCentring() {
    ui.centreNextDialog = false;
    if (ui.centringHook) {
        UnhookWindowsHookEx(ui.centringHook);
        ui.centringHook = nullptr;
    }
}
