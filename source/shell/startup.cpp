// Start-up after the instance check: controls, themes, icons, buffers, settings, menus and the
// main window; then the accelerators, the help tooltip and the message loop.
#include "shell/startup.h"
#include "shell/app.h"
#include "shell/platform.h"
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "persist/history.h"
#include "persist/history_menu.h"
#include "status/tray.h"
#include "dialogs/ui.h"
#include "view/view.h"
#include "view/highlight.h"
#include "logsource/lines.h"
#include "ids.h"
#include <commctrl.h>

namespace {

WNDPROC helpTipProcedure;

// The help tip hides itself whenever the user does anything else.
LRESULT CALLBACK HelpTipProc(HWND tip, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && lParam) SetActiveWindow(reinterpret_cast<HWND>(lParam));
        SendMessageW(tip, TTM_TRACKACTIVATE, FALSE, 0);
        break;
    case WM_ACTIVATEAPP:
        if (!wParam) SendMessageW(tip, TTM_TRACKACTIVATE, FALSE, 0);
        break;
    case WM_KILLFOCUS: case WM_LBUTTONDOWN: case WM_MBUTTONDOWN: case WM_RBUTTONDOWN: case WM_XBUTTONDOWN:
        SendMessageW(tip, TTM_TRACKACTIVATE, FALSE, 0);
        break;
    }
    return CallOwnControl(helpTipProcedure, tip, message, wParam, lParam);
}

HMENU FirstPopup(UINT id) {
    HMENU menu = LoadUiMenu(id);
    return menu ? GetSubMenu(menu, 0) : nullptr;
}

}  // namespace

bool StartApplication(HINSTANCE instance) {
    app.instance = instance;
    InitCommonControls();
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES |
                                              ICC_PROGRESS_CLASS | ICC_LINK_CLASS};
    InitCommonControlsEx(&icc);
    BindThemeApi();
    app.iconPlay = static_cast<HICON>(LoadImageW(instance, L"PLAY", IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    app.iconPause = static_cast<HICON>(LoadImageW(instance, L"PAUSE", IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    app.iconFile = static_cast<HICON>(LoadImageW(instance, L"FILE", IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    app.iconBuff = static_cast<HICON>(LoadImageW(instance, L"BUFF", IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    app.iconWarning = LoadIconW(nullptr, IDI_WARNING);
    InitLogSource();
    InitHistory();
    LoadSettings();
    LoadHighlights();
    LoadFilters();
    app.contextMenu = FirstPopup(IDR_CONTEXT_MENU);
    app.trayMenu = FirstPopup(IDR_TRAY_MENU);
    if (app.trayMenu) {
        MENUITEMINFOW item{sizeof(item)};
        item.fMask = MIIM_STATE;
        item.fState = MFS_DEFAULT;
        SetMenuItemInfoW(app.trayMenu, IDM_RESTORE, FALSE, &item);
    }
    InitViewResources();
    if (!RegisterMainWindowClass(instance)) return false;
    app.mainMenu = LoadUiMenu(IDR_MAIN_MENU);
    if (isWindowsAtLeast(kWindowsVista)) PutShieldOnMenuItem(app.mainMenu, IDM_ASSOCIATIONS);
    return CreateMainWindow(instance, -1) != nullptr;
}

void FinishStartup() {
    app.accelerators = LoadAcceleratorsW(app.instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    CreateHelpTip();
    RebuildHistoryMenu();
    UpdateCharsetMenu();
    InitTrayIcon(app.mainWindow);
}

void CreateHelpTip() {
    app.helpTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, L"", WS_POPUP | TTS_NOPREFIX, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, app.instance, nullptr);
    if (!app.helpTip) return;
    helpTipProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(app.helpTip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HelpTipProc)));
    RECT margins{4, 4, 4, 4};
    SendMessageW(app.helpTip, TTM_SETMARGIN, 0, reinterpret_cast<LPARAM>(&margins));
    SendMessageW(app.helpTip, TTM_SETMAXTIPWIDTH, 0, 300);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = app.mainWindow;
    tool.uId = reinterpret_cast<UINT_PTR>(app.mainWindow);
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(app.helpTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    app.helpText = UiString(IDS_PRODUCT);
}

void PutShieldOnMenuItem(HMENU menu, UINT id) {
    HICON shield = loadSmallIcon(nullptr, IDI_SHIELD);
    if (!shield || !menu) return;
    ICONINFO info{};
    if (!GetIconInfo(shield, &info)) return;
    BITMAP bm{};
    int width = 0, height = 0;
    if (info.hbmColor && GetObjectW(info.hbmColor, sizeof(bm), &bm)) {
        width = bm.bmWidth;
        height = bm.bmHeight;
    } else if (info.hbmMask && GetObjectW(info.hbmMask, sizeof(bm), &bm)) {
        width = bm.bmWidth;
        height = bm.bmHeight / 2;
    }
    HBITMAP bitmap = nullptr;
    if (width > 0 && height > 0) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = 44;  // as the platform's shield code expects; the rest of the header is zero
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        bitmap = CreateDIBSection(memory, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap && bits) {
            HGDIOBJ old = SelectObject(memory, bitmap);
            ZeroMemory(bits, static_cast<size_t>(width) * height * 4);
            bool drawn = DrawIconEx(memory, 0, 0, shield, width, height, 0, nullptr, DI_NORMAL) != 0;
            SelectObject(memory, old);
            GdiFlush();
            auto* pixels = static_cast<uint32_t*>(bits);
            bool anyAlpha = false;
            for (int i = 0; i < width * height && !anyAlpha; ++i) anyAlpha = (pixels[i] >> 24) != 0;
            if (drawn && !anyAlpha && info.hbmMask) {
                // No alpha in the icon: derive transparency from its mask.
                auto* mask = static_cast<uint32_t*>(HeapAlloc(GetProcessHeap(), 0, static_cast<size_t>(width) * height * 4));
                if (mask) {
                    BITMAPINFO mi = bi;
                    mi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
                    if (GetDIBits(memory, info.hbmMask, 0, height, mask, &mi, DIB_RGB_COLORS) == height)
                        for (int i = 0; i < width * height; ++i)
                            pixels[i] = (pixels[i] & 0x00FFFFFF) | ((mask[i] & 0x00FFFFFF) ? 0 : 0xFF000000u);
                    HeapFree(GetProcessHeap(), 0, mask);
                }
            }
            if (!drawn) {
                DeleteObject(bitmap);
                bitmap = nullptr;
            }
        } else if (bitmap) {
            DeleteObject(bitmap);
            bitmap = nullptr;
        }
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    DestroyIcon(shield);
    if (bitmap) SetMenuItemBitmaps(menu, id, MF_BYCOMMAND, bitmap, bitmap);
}

int StartupShowCommand() {
    STARTUPINFOW si{sizeof(si)};
    GetStartupInfoW(&si);
    return (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : SW_SHOWDEFAULT;
}

int RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // A timer message is neither a key to translate nor dialog navigation, and the surveillance
        // timer brings a hundred a second: it goes straight to its window.
        if (msg.message == WM_TIMER) {
            DispatchMessageW(&msg);
            continue;
        }
        KeepSurveillanceAlive();
        if (app.accelerators && TranslateAcceleratorW(app.mainWindow, app.accelerators, &msg)) continue;
        if (app.dialogTarget && IsDialogMessageW(app.dialogTarget, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
