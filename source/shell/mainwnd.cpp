// The main window of class "W": its children, layout, full screen, closing, and message routing.
#include "shell/app.h"
#include "shell/mainwnd.h"
#include "shell/platform.h"
#include "shell/instances.h"
#include "view/view.h"
#include "view/find.h"
#include "view/highlight.h"
#include "status/status.h"
#include "status/tray.h"
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "persist/properties.h"
#include "update/update.h"
#include "dialogs/ui.h"
#include "ids.h"
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <cstdio>

FullScreenState fullScreen;

namespace {

// Menu items whose resource state is checked but whose setting may be off.
struct CheckedSetting { UINT id; const uint32_t* value; };

void SetInitialMenuState() {
    const CheckedSetting checks[] = {{IDM_AUTODETECT, &settings.autodetect}, {IDM_STATUS_BAR, &settings.statusBar},
                                     {IDM_WRAP_LINES, &settings.wrapLines}, {IDM_CUT_EMPTY, &settings.cutEmpty},
                                     {IDM_AUTO_CHECK, &settings.autoCheck}};
    for (const auto& c : checks)
        if (!*c.value) CheckMenuCommand(c.id, false);
    if (settings.filter) CheckMenuCommand(IDM_FILTER_ROWS, true);
    if (app.mainMenu) CheckLanguageMenu(app.mainMenu, settings.language);
}

LRESULT OnCreate(HWND window) {
    app.mainWindow = window;
    app.dialogTarget = window;
    CreateStatusBar(window);
    SetInitialMenuState();
    app.view = CreateView(window);
    app.progressBar = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                                      0, 0, window, nullptr, app.instance, nullptr);
    if (app.progressBar) SendMessageW(app.progressBar, PBM_SETSTEP, 1, 0);
    UpdateHorizontalExtent();
    FocusView();
    if (UpdateCheckDue(settings.autoCheck, settings.startMinute, settings.lastCheck))
        PostMessageW(window, WM_COMMAND, IDM_CHECK_UPDATES, 0);
    return 0;
}

float ScreenScale() {
    float scale = 1.0f;
    if (HDC screen = GetDC(nullptr)) {
        scale = GetDeviceCaps(screen, LOGPIXELSX) / 96.0f;
        ReleaseDC(nullptr, screen);
    }
    return scale;
}

bool ViewShowsLastRow(int& last) {
    last = static_cast<int>(SendMessageW(app.view, LB_GETCOUNT, 0, 0)) - 1;
    int top = static_cast<int>(SendMessageW(app.view, LB_GETTOPINDEX, 0, 0));
    RECT client;
    int rowHeight = static_cast<int>(SendMessageW(app.view, LB_GETITEMHEIGHT, 0, 0));
    if (!GetClientRect(app.view, &client) || rowHeight <= 0 || rowHeight == LB_ERR) return false;
    return last >= top && top != -1 && last <= top + (client.bottom - client.top) / rowHeight;
}

void SyncLockState() {
    bool locked = ScrollLockOn();
    CheckMenuCommand(IDM_LOCK_SCROLL, locked);
    SetStatusLockText(locked);
    SetStatusLockTip(locked);
}

void OnGetMinMaxInfo(HWND window, MINMAXINFO* info) {
    // Full screen: the default maximized position of a borderless window with a menu lies above
    // the screen, so the menu bar would vanish. Fill the monitor instead.
    if ((GetWindowLongW(window, GWL_STYLE) & (WS_POPUP | WS_CAPTION)) == WS_POPUP) {
        MONITORINFO monitor{sizeof(monitor)};
        if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
            info->ptMaxPosition = POINT{0, 0};
            info->ptMaxSize = POINT{monitor.rcMonitor.right - monitor.rcMonitor.left,
                                    monitor.rcMonitor.bottom - monitor.rcMonitor.top};
        }
    }
    info->ptMinTrackSize.x = statusPartsWidth + 2 * GetSystemMetrics(SM_CXFRAME) + 23;
    int height = 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYMENU) +
                 2 * GetSystemMetrics(SM_CYVSCROLL);
    if (settings.statusBar) height += StatusBarHeight();
    if (app.view && (GetWindowLongW(app.view, GWL_STYLE) & WS_HSCROLL)) height += GetSystemMetrics(SM_CYHSCROLL);
    info->ptMinTrackSize.y = height;
}

void OnDpiChanged(HWND window, WPARAM wParam, const RECT* suggested) {
    RECT current;
    GetWindowRect(window, &current);
    printf("WM_DPICHANGED %u; %d %d %d %d (%d, %d) -> %d %d %d %d (%d, %d)\n", LOWORD(wParam), (int)current.left,
           (int)current.top, (int)current.right, (int)current.bottom, (int)(current.right - current.left),
           (int)(current.bottom - current.top), (int)suggested->left, (int)suggested->top, (int)suggested->right,
           (int)suggested->bottom, (int)(suggested->right - suggested->left),
           (int)(suggested->bottom - suggested->top));
    fflush(stdout);
}

// A changed style takes effect on the frame only when the frame is recalculated.
void RefreshFrame(HWND window) {
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void OnClose() {
    LeaveInstanceBlock();
    SaveWindowPosition();
    RemoveTrayIcon();
}

LRESULT OnNotify(const NMHDR* header) {
    // Not copied between processes: from another thread the pointer is the sender's.
    if (!SentByThisThread() || !header) return 0;
    if (header->code == TTN_GETDISPINFOW && header->hwndFrom == app.helpTip) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(const_cast<NMHDR*>(header));
        info->lpszText = const_cast<wchar_t*>(app.helpText);
        info->hinst = nullptr;
        return 0;
    }
    if (header->hwndFrom == app.statusBar) return OnStatusNotify(header);
    return 0;
}

}  // namespace

void HideHelpTip() {
    if (app.helpTip) SendMessageW(app.helpTip, TTM_TRACKACTIVATE, FALSE, 0);
}

void LayoutMainWindow(int width, int height) {
    float scale = ScreenScale();
    LayoutStatusBar(width, scale);
    int statusHeight = StatusBarHeight();
    bool showStatus = GetMenu(app.mainWindow) != nullptr && IsMenuCommandChecked(IDM_STATUS_BAR);
    int last = -1;
    bool keepLast = app.view && ViewShowsLastRow(last);

    int viewWidth = width, viewHeight = showStatus ? height - statusHeight : height;
    // The list box shows the scroll bars of its creation style again whenever its content
    // changes; in the clean mode they are kept beyond the client area instead.
    if (fullScreen.savedViewStyle) viewWidth += GetSystemMetrics(SM_CXVSCROLL);
    HDWP batch = BeginDeferWindowPos(4);
    if (batch && app.view)
        batch = DeferWindowPos(batch, app.view, nullptr, 0, 0, viewWidth, viewHeight,
                               SWP_NOZORDER | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    if (batch && app.statusBar)
        batch = DeferWindowPos(batch, app.statusBar, nullptr, 0, height - statusHeight, width, statusHeight,
                               SWP_NOZORDER | SWP_NOACTIVATE | (showStatus ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    if (batch && app.progressBar) {
        // The status bar has not moved yet inside the batch: place the bar from its new top.
        RECT bar = ProgressBarRect(scale, height - statusHeight, statusHeight);
        batch = DeferWindowPos(batch, app.progressBar, HWND_TOP, bar.left, bar.top, bar.right - bar.left,
                               bar.bottom - bar.top, SWP_NOACTIVATE);
    }
    if (batch) EndDeferWindowPos(batch);
    UpdateHorizontalExtent();
    if (fullScreen.savedViewStyle && app.view && (GetWindowLongW(app.view, GWL_STYLE) & WS_HSCROLL))
        SetWindowPos(app.view, nullptr, 0, 0, viewWidth, viewHeight + GetSystemMetrics(SM_CYHSCROLL),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (keepLast) SendMessageW(app.view, LB_SETTOPINDEX, last, 0);
}

void ToggleFullScreen() {
    HWND window = app.mainWindow;
    if (!IsMenuCommandChecked(IDM_FULLSCREEN)) {
        if (IsZoomed(window)) ShowWindow(window, SW_RESTORE);
        GetWindowRect(window, &fullScreen.savedWindowRect);
        SetWindowLongW(window, GWL_STYLE, WS_POPUP);
        RefreshFrame(window);
        bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
        bool clean = settings.fullscreen ? !shift : shift;
        fullScreen.savedViewStyle = 0;
        if (clean) {
            SetMenu(window, nullptr);
            fullScreen.savedViewStyle = GetWindowLongW(app.view, GWL_STYLE);
            SetWindowLongW(app.view, GWL_STYLE, fullScreen.savedViewStyle & ~(WS_VSCROLL | WS_HSCROLL));
            RefreshFrame(app.view);
        }
        ShowWindow(window, SW_SHOWMAXIMIZED);
        CheckMenuCommand(IDM_FULLSCREEN, true);
        return;
    }
    uint32_t style = envNumber(L"BRINDLE_STYLE");
    SetWindowLongW(window, GWL_STYLE, style ? static_cast<LONG>(style) : WS_OVERLAPPEDWINDOW);
    RefreshFrame(window);
    ShowWindow(window, SW_RESTORE);
    if (!GetMenu(window)) SetMenu(window, app.mainMenu);
    if (fullScreen.savedViewStyle) {
        SetWindowLongW(app.view, GWL_STYLE, fullScreen.savedViewStyle);
        fullScreen.savedViewStyle = 0;
        RefreshFrame(app.view);
    }
    const RECT& r = fullScreen.savedWindowRect;
    MoveWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    CheckMenuCommand(IDM_FULLSCREEN, false);
}

void ExitCommand() {
    CloseLogFile();
    PostMessageW(app.mainWindow, WM_CLOSE, 0, 0);
}

void EscCommand() {
    if (app.dialogTarget && app.dialogTarget != app.mainWindow) PostMessageW(app.dialogTarget, WM_CLOSE, 0, 0);
    else if (settings.escClose) PostMessageW(app.mainWindow, WM_CLOSE, 0, 0);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_SIZE:
        if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED) LayoutMainWindow(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_ACTIVATE:
    case WM_ACTIVATEAPP:
        if (wParam) FocusView();
        SyncLockState();
        return 0;
    case WM_GETMINMAXINFO: OnGetMinMaxInfo(window, reinterpret_cast<MINMAXINFO*>(lParam)); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTCHARS;
    case WM_NCLBUTTONDOWN: case WM_NCRBUTTONDOWN: case WM_NCMBUTTONDOWN:
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN: case WM_XBUTTONDOWN:
        HideHelpTip();
        break;
    case WM_COMMAND: return OnCommand(window, wParam, lParam);
    case WM_NOTIFY: return OnNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_CTLCOLORLISTBOX: return OnCtlColorListBox(reinterpret_cast<HDC>(wParam));
    // Answered only for the view drawn for highlighting rules.
    case WM_MEASUREITEM:
        if (LRESULT answered = OnMeasureViewItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) return answered;
        break;
    case WM_DRAWITEM:
        if (LRESULT answered = OnDrawViewItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return answered;
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MINIMIZE && settings.trayMinimize) {
            TrayBeforeMinimize();
            // The minimize runs here; the shell may ask for its rectangle from this very thread.
            tray.minimizing = true;
            LRESULT result = DefWindowProcW(window, message, wParam, lParam);
            tray.minimizing = false;
            return result;
        }
        break;
    case WM_QUERYOPEN:
        if (settings.trayMinimize) TrayOnQueryOpen();
        return 1;
    case WM_DPICHANGED:
        // Its rectangle is the system's only when this thread was sent it.
        if (!SentByThisThread()) return 0;
        OnDpiChanged(window, wParam, reinterpret_cast<const RECT*>(lParam));
        break;
    case WM_CLOSE: OnClose(); break;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_TIMER: OnLogTimer(wParam); return 0;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) != app.view) break;
        OnContextMenu(reinterpret_cast<HWND>(wParam), lParam);
        return 0;
    case WM_MOUSEWHEEL: OnMouseWheel(wParam); return 0;
    case WM_DROPFILES: OnDropFiles(reinterpret_cast<HDROP>(wParam)); return 0;
    case WM_MENUSELECT: OnMenuSelect(wParam, lParam); return 0;
    case WM_BRINDLE_TRAY: return TrayOnNotify(wParam, lParam);
    case WM_BRINDLE_QUERY: return AnswerInstanceQuery();
    default:
        if (message == findReplaceMessage && findReplaceMessage) { OnFindReplaceMessage(lParam); return 0; }
        if (message == taskbarCreatedMessage && taskbarCreatedMessage) { TrayOnTaskbarCreated(); return 0; }
        if (message == shellHookMessage && shellHookMessage) return TrayOnShellHook(wParam, lParam) ? 1 : 0;
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXW wc{sizeof(wc)};
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = loadIconScaled(instance, L"A", GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    wc.hIconSm = loadSmallIcon(instance, L"A");
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kMainWindowClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CreateMainWindow(HINSTANCE instance, int showCommand) {
    app.instance = instance;
    if (!app.mainMenu) app.mainMenu = LoadUiMenu(IDR_MAIN_MENU);
    uint32_t style = envNumber(L"BRINDLE_STYLE"), extra = envNumber(L"BRINDLE_EXTRA");
    auto coordinate = [](const wchar_t* name) {
        uint32_t v = envNumber(name);
        return v ? static_cast<int>(v) : CW_USEDEFAULT;
    };
    HWND window = CreateWindowExW(extra ? extra : WS_EX_DLGMODALFRAME | WS_EX_ACCEPTFILES, kMainWindowClass,
                                  UiString(IDS_PRODUCT), style ? style : WS_OVERLAPPEDWINDOW,
                                  coordinate(L"BRINDLE_X"), coordinate(L"BRINDLE_Y"), coordinate(L"BRINDLE_WIDTH"),
                                  coordinate(L"BRINDLE_HEIGHT"), nullptr, app.mainMenu, instance, nullptr);
    if (window && showCommand >= 0) ShowWindow(window, showCommand);
    return window;
}
