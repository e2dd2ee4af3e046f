// The tray icon: minimizing into the notification area, the icon's menu and double click, the
// delayed removals around a restore, and the taskbar button through the shell's taskbar list.
#include "status/tray.h"
#include "shell/app.h"
#include "shell/platform.h"
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "dialogs/ui.h"
#include "ids.h"
#include <shobjidl.h>
#include <shlwapi.h>

TrayIcon tray;

namespace {

constexpr UINT kTrayMenuRepeatMs = 150;

ITaskbarList* CreateTaskbarList() {
    ITaskbarList* list = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_ALL, IID_ITaskbarList,
                                reinterpret_cast<void**>(&list))) || !list)
        return nullptr;
    if (FAILED(list->HrInit())) {
        list->Release();
        return nullptr;
    }
    return list;
}

// The button is only ever taken away from a window that is still minimized: a quick restore
// must keep the button it has just been given back.
void HideButtonWhileMinimized(HWND window) {
    if (IsIconic(window)) hideTaskbarButton(window, true);
}

void CALLBACK TaskbarProcessed(HWND, UINT, ULONG_PTR data, LRESULT) {
    HWND window = reinterpret_cast<HWND>(data);
    if (IsIconic(window)) hideTaskbarButton(window, false);
}

void ShowTrayMenu() {
    HWND main = app.mainWindow;
    POINT at{};
    GetCursorPos(&at);
    // The shell lets a process that is raised take the foreground, which the menu needs to close
    // when the user clicks elsewhere.
    HANDLE process = GetCurrentProcess();
    DWORD priority = GetPriorityClass(process);
    SetPriorityClass(process, HIGH_PRIORITY_CLASS);
    SetForegroundWindow(main);
    HideButtonWhileMinimized(main);
    SetTimer(main, TIMER_TRAY_MENU, kTrayMenuRepeatMs, nullptr);
    if (priority) SetPriorityClass(process, priority);
    if (app.trayMenu) TrackPopupMenu(app.trayMenu, TPM_RIGHTBUTTON, at.x, at.y, 0, main, nullptr);
    PostMessageW(main, WM_NULL, 0, 0);
}

}  // namespace

HWND FindNotificationArea() {
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    return taskbar ? FindWindowExW(taskbar, nullptr, L"TrayNotifyWnd", nullptr) : nullptr;
}

bool hideTaskbarButton(HWND window, bool again) {
    ITaskbarList* list = CreateTaskbarList();
    if (!list) return false;
    bool deleted = SUCCEEDED(list->DeleteTab(window));
    list->Release();
    if (deleted && again) {
        // The taskbar may add the button back while it handles the minimize: once it has
        // processed everything up to now, take it away again.
        if (HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr))
            SendMessageCallbackW(taskbar, WM_NULL, 0, 0, TaskbarProcessed, reinterpret_cast<ULONG_PTR>(window));
    }
    return deleted;
}

void showTaskbarButton(HWND window) {
    if (ITaskbarList* list = CreateTaskbarList()) {
        list->AddTab(window);
        list->Release();
    }
}

void ComposeTrayTip(wchar_t* tip, const wchar_t* product, const wchar_t* title, const wchar_t* fullPath) {
    if (!title) {
        lstrcpynW(tip, product, kTrayTipUnits);
        return;
    }
    int length = lstrlenW(title);
    if (length + 1 > int(kTrayTipUnits) - 1) {
        lstrcpynW(tip, title, kTrayTipUnits);
        return;
    }
    lstrcpyW(tip, title);
    tip[length] = L'\n';
    tip[length + 1] = L'\0';
    // No room left for any of the path: the name stands alone.
    if (!PathCompactPathExW(tip + length + 1, fullPath, kTrayTipUnits - 1 - length, 0) || !tip[length + 1])
        tip[length] = L'\0';
}

void InitTrayIcon(HWND owner) {
    NOTIFYICONDATAW& d = tray.data;
    d.cbSize = NOTIFYICONDATAW_V2_SIZE;
    d.hWnd = owner;
    d.uID = kTrayIconId;
    d.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    d.uCallbackMessage = WM_BRINDLE_TRAY;
}

void TrayBeforeMinimize() {
    HWND main = app.mainWindow;
    NOTIFYICONDATAW& d = tray.data;
    bool fileOpen = logSource.handle && logSource.fullPath;
    ComposeTrayTip(d.szTip, UiString(IDS_PRODUCT), fileOpen ? logSource.fileTitle : nullptr, fileOpen ? logSource.fullPath : L"");
    d.hIcon = reinterpret_cast<HICON>(GetClassLongPtrW(main, GCLP_HICONSM));
    // A restore's pending removal must not take the new icon away; an icon still shown from
    // that restore is reused.
    KillTimer(main, TIMER_TRAY_RESTORE);
    bool added = tray.shown && Shell_NotifyIconW(NIM_MODIFY, &d);
    if (!added) added = Shell_NotifyIconW(NIM_ADD, &d) != FALSE;
    tray.shown = added;
    // Without an icon the window minimizes as usual rather than vanish.
    if (!added) return;
    hideTaskbarButton(main, true);
    if (isWindowsOlderThan(kWindows2000)) SetTimer(main, TIMER_TRAY_HIDE, GetDoubleClickTime(), nullptr);
}

void TrayOnQueryOpen() {
    HWND main = app.mainWindow;
    KillTimer(main, TIMER_TRAY_HIDE);
    if (isWindowsOlderThan(kWindows2000)) ShowWindow(main, SW_SHOW);
    else showTaskbarButton(main);
    SetTimer(main, TIMER_TRAY_RESTORE, GetDoubleClickTime(), nullptr);
}

void RemoveTrayIcon() {
    Shell_NotifyIconW(NIM_DELETE, &tray.data);
    tray.shown = false;
}

LRESULT TrayOnNotify(WPARAM wParam, LPARAM lParam) {
    if (wParam != kTrayIconId) return 0;
    if (lParam == WM_LBUTTONDBLCLK) ShowWindow(app.mainWindow, SW_RESTORE);
    else if (lParam == WM_RBUTTONUP) ShowTrayMenu();
    return 0;
}

void TrayOnTaskbarCreated() {
    if (settings.trayMinimize && tray.shown && IsIconic(app.mainWindow)) Shell_NotifyIconW(NIM_ADD, &tray.data);
}

bool TrayOnShellHook(WPARAM wParam, LPARAM lParam) {
    // The shell's record: the window, then the rectangle as four 16-bit values.
    struct MinimizeTarget {
        HWND window;
        SHORT left, top, right, bottom;
    };
    if (wParam != HSHELL_GETMINRECT || !settings.trayMinimize) return false;
    // Any process may send or post this registered message, with any address, even that of a
    // record of ours that starts with the main window's handle. The record is answered only
    // while this thread minimizes the window and asks from within that minimize (no posted
    // message is dispatched meanwhile); its pointer is followed only into writable memory.
    if (!tray.minimizing || InSendMessageEx(nullptr) != ISMEX_NOSEND) return false;
    auto* target = reinterpret_cast<MinimizeTarget*>(lParam);
    if (!IsWritableMemory(target, sizeof(*target)) || target->window != app.mainWindow) return false;
    HWND area = FindNotificationArea();
    RECT r;
    if (!area || !GetWindowRect(area, &r)) return false;
    target->left = static_cast<SHORT>(r.left);
    target->top = static_cast<SHORT>(r.top);
    target->right = static_cast<SHORT>(r.left + GetSystemMetrics(SM_CXSMICON));
    target->bottom = static_cast<SHORT>(r.top + GetSystemMetrics(SM_CYSMICON));
    return true;
}

void TrayOnTimer(UINT_PTR id) {
    HWND main = app.mainWindow;
    switch (id) {
    case TIMER_TRAY_MENU:
        KillTimer(main, TIMER_TRAY_MENU);
        HideButtonWhileMinimized(main);
        break;
    case TIMER_TRAY_RESTORE:
        KillTimer(main, TIMER_TRAY_RESTORE);
        // Minimized again meanwhile: the icon is the new one.
        if (!IsIconic(main)) RemoveTrayIcon();
        break;
    case TIMER_TRAY_HIDE:
        KillTimer(main, TIMER_TRAY_HIDE);
        if (IsIconic(main)) ShowWindow(main, SW_HIDE);
        break;
    }
}
