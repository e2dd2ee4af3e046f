// The main window of class "W": its children and the routing of its messages.
#include "shell/app.h"
#include "shell/platform.h"
#include "view/view.h"
#include "logsource/logsource.h"
#include "dialogs/ui.h"
#include "ids.h"
#include <commctrl.h>

namespace {

LRESULT OnCreate(HWND window) {
    app.mainWindow = window;
    app.view = CreateView(window);
    ShowWindow(app.view, SW_SHOW);
    return 0;
}

void OnSize(int width, int height) {
    if (app.view) MoveWindow(app.view, 0, 0, width, height, TRUE);
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_SIZE: OnSize(LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_TIMER: OnLogTimer(wParam); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXW wc{sizeof(wc)};
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(instance, L"A");
    wc.lpszClassName = L"W";
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CreateMainWindow(HINSTANCE instance, int showCommand) {
    app.instance = instance;
    HWND window = CreateWindowExW(0, L"W", UiString(IDS_PRODUCT), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  800, 600, nullptr, nullptr, instance, nullptr);
    if (window) ShowWindow(window, showCommand);
    return window;
}
