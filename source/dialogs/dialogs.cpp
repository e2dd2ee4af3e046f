// Stand-ins until the dialogs land.
#include "dialogs/dialogs.h"

uint32_t RunRowLengthDialog() { return 0; }
uint32_t RunLimitsDialog() { return 0; }
bool RunAppSettingsDialog() { return false; }
void RunAssociationsDialog() {}
void RunVersionHistoryDialog() {}
void RunAboutDialog() {}

LRESULT CALLBACK DialogCbtHook(int code, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK DialogCallWndRetHook(int code, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
