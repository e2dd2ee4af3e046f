// Entry point: start-up, the message loop and the exit code.
#include "shell/app.h"
#include "logsource/logsource.h"
#include "persist/settings.h"
#include <commctrl.h>
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    InitLogSource();
    LoadSettings();
    if (!RegisterMainWindowClass(instance)) return 0;
    HWND window = CreateMainWindow(instance, showCommand);
    if (!window) return 0;
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv && argc > 1) OpenLogFile(argv[1]);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
