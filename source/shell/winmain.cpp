// Entry point: start-up in order, the message loop and the exit code.
#include "shell/app.h"
#include "shell/platform.h"
#include "shell/instances.h"
#include "shell/startup.h"
#include "logsource/logsource.h"
#include "persist/properties.h"
#include "persist/settings.h"
#include "dialogs/placement.h"
#include <shellapi.h>
#include <objbase.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    app.instance = instance;
    SetLastError(0);
    BindOptionalApi();
    if (optionalApi.ChangeWindowMessageFilter) {
        optionalApi.ChangeWindowMessageFilter(shellHookMessage, MSGFLT_ADD);
        optionalApi.ChangeWindowMessageFilter(taskbarCreatedMessage, MSGFLT_ADD);
        optionalApi.ChangeWindowMessageFilter(1035, MSGFLT_ADD);
    }
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv && argc <= 1) {
        LocalFree(argv);
        argv = nullptr;
    }
    // Every start takes part, file or not: an instance without one can be found once it opens one.
    OpenInstanceBlock();
    if (argv) {
        ReadRestrictInstances();
        if (settings.restrictInstances && ActivateExistingInstance(argv[1])) {
            LocalFree(argv);
            return 0;
        }
    }

    CoInitialize(nullptr);
    int exitCode = 0;
    if (StartApplication(instance)) {
        if (argv) OpenLogFile(argv[1]);  // further arguments are ignored
        if (EnterInstanceBlock()) {
            FinishStartup();
            ShowWindow(app.mainWindow, RestoreWindowPosition(StartupShowCommand()));
            if (optionalApi.RegisterShellHookWindow) optionalApi.RegisterShellHookWindow(app.mainWindow);
            // The centring hook comes and goes with each request for it (ArmDialogCentring).
            HHOOK cbt = SetWindowsHookExW(WH_CBT, DialogCbtHook, nullptr, GetCurrentThreadId());
            InstallPostedMessageFilter();
            exitCode = RunMessageLoop();
            if (cbt) UnhookWindowsHookEx(cbt);
            EndDialogCentring();
        } else {
            // Another start on the same file entered first and was brought forward; this window
            // was never shown, and without WM_CLOSE it stores nothing.
            DestroyWindow(app.mainWindow);
        }
    }
    if (argv) LocalFree(argv);
    CoUninitialize();
    return exitCode;
}
