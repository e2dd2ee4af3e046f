// Row length, File size restriction and Application settings; About and History of changes.
#include "dialogs/dialogs.h"
#include "dialogs/common.h"
#include "dialogs/ui.h"
#include "shell/app.h"
#include "persist/settings.h"
#include "status/tray.h"
#include "ids.h"
#include <commctrl.h>

namespace {

constexpr uint32_t kMaxRowLength = 256;
constexpr uint32_t kMaxLimit = 65535;

void SetSpin(HWND dialog, int spin, uint32_t maximum, uint32_t position) {
    SendDlgItemMessageW(dialog, spin, UDM_SETRANGE32, 1, maximum);
    SendDlgItemMessageW(dialog, spin, UDM_SETPOS32, 0, position);
}

uint32_t ReadEdit(HWND dialog, int edit, uint32_t maximum) {
    wchar_t text[256] = L"";
    GetDlgItemTextW(dialog, edit, text, 256);
    return ReadLimitNumber(text, maximum);
}

// The wrapper's result record comes in through the init parameter and stays with the dialog.
uint32_t* ResultOf(HWND dialog) { return reinterpret_cast<uint32_t*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

void KeepResult(HWND dialog, LPARAM param) { SetWindowLongPtrW(dialog, DWLP_USER, param); }

void Check(HWND dialog, int box, uint32_t on) { CheckDlgButton(dialog, box, on ? BST_CHECKED : BST_UNCHECKED); }
uint32_t Checked(HWND dialog, int box) { return IsDlgButtonChecked(dialog, box) == BST_CHECKED ? 1 : 0; }

}  // namespace

uint32_t ReadLimitNumber(const wchar_t* text, uint32_t maximum) {
    uint32_t value = 0;
    for (const wchar_t* c = text; c && *c >= L'0' && *c <= L'9'; ++c) {
        value = value * 10 + static_cast<uint32_t>(*c - L'0');
        if (value >= maximum) {
            value = maximum;
            break;
        }
    }
    return value ? value : 1;
}

INT_PTR CALLBACK RowLengthDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        KeepResult(dialog, lParam);
        SetSpin(dialog, IDC_ROW_LENGTH_SPIN, kMaxRowLength, settings.rowLength);
    } else if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        if (uint32_t* result = ResultOf(dialog)) *result = ReadEdit(dialog, IDC_ROW_LENGTH, kMaxRowLength);
        EndDialog(dialog, 1);
    }
    return CommonDialogProc(dialog, message, wParam, lParam);
}

INT_PTR CALLBACK SizeLimitDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        KeepResult(dialog, lParam);
        SetSpin(dialog, IDC_KB_LIMIT_SPIN, kMaxLimit, settings.kbLimit);
        SetSpin(dialog, IDC_LINES_LIMIT_SPIN, kMaxLimit, settings.linesLimit);
    } else if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        uint32_t kilobytes = ReadEdit(dialog, IDC_KB_LIMIT, kMaxLimit);
        uint32_t rows = ReadEdit(dialog, IDC_LINES_LIMIT, kMaxLimit);
        if (uint32_t* result = ResultOf(dialog)) *result = rows | kilobytes << 16;
        EndDialog(dialog, 1);
    }
    return CommonDialogProc(dialog, message, wParam, lParam);
}

INT_PTR CALLBACK AppSettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        // Without a notification area there is nowhere to minimize to.
        if (FindNotificationArea()) {
            EnableWindow(GetDlgItem(dialog, IDC_TRAY_MINIMIZE), TRUE);
            Check(dialog, IDC_TRAY_MINIMIZE, settings.trayMinimize);
        }
        Check(dialog, IDC_FULLSCREEN, settings.fullscreen);
        Check(dialog, IDC_ESC_CLOSE, settings.escClose);
        Check(dialog, IDC_SAVE_POSITION, settings.savePosition);
        Check(dialog, IDC_RESTRICT_INSTANCES, settings.restrictInstances);
    } else if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        // A disabled tray box is unchecked, so saving without a notification area turns it off.
        settings.trayMinimize = Checked(dialog, IDC_TRAY_MINIMIZE);
        settings.fullscreen = Checked(dialog, IDC_FULLSCREEN);
        settings.escClose = Checked(dialog, IDC_ESC_CLOSE);
        settings.savePosition = Checked(dialog, IDC_SAVE_POSITION);
        settings.restrictInstances = Checked(dialog, IDC_RESTRICT_INSTANCES);
        EndDialog(dialog, 1);
    }
    return CommonDialogProc(dialog, message, wParam, lParam);
}

bool RunRowLengthDialog(uint32_t* length) {
    uint32_t value = 0;
    if (RunUiDialog(IDD_ROW_LENGTH, app.mainWindow, RowLengthDialogProc, reinterpret_cast<LPARAM>(&value)) != 1)
        return false;
    if (value < 1 || value > kMaxRowLength) return false;
    *length = value;
    return true;
}

bool RunLimitsDialog(uint32_t* limits) {
    uint32_t value = 0;
    if (RunUiDialog(IDD_SIZE_LIMIT, app.mainWindow, SizeLimitDialogProc, reinterpret_cast<LPARAM>(&value)) != 1)
        return false;
    if (!(value & 0xFFFF) || !(value >> 16)) return false;
    *limits = value;
    return true;
}

bool RunAppSettingsDialog() { return RunUiDialog(IDD_APP_SETTINGS, app.mainWindow, AppSettingsDialogProc) == 1; }

void RunVersionHistoryDialog() { RunUiDialog(IDD_HISTORY, app.mainWindow, CommonDialogProc); }

void RunAboutDialog() { RunUiDialog(IDD_ABOUT, app.mainWindow, CommonDialogProc); }
