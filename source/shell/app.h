// The application shell's record: the process-wide window handles and loaded resources.
#pragma once
#include <windows.h>

struct App {
    HINSTANCE instance;
    HWND mainWindow;
    HWND view;          // the list box that holds the rows
    HWND statusBar;
    HWND progressBar;
    HWND helpTip;
    HWND dialogTarget;  // modeless dialog target for IsDialogMessageW: main window or Find dialog
    HMENU mainMenu;     // menu 1000 in the chosen language
    HMENU contextMenu;  // first popup of menu 2000
    HMENU trayMenu;     // first popup of menu 2001
    HACCEL accelerators;
    HBRUSH backgroundBrush;
    HFONT viewFont;
    HICON iconPlay, iconPause, iconFile, iconBuff, iconWarning;  // 16 x 16 status icons
    const wchar_t* helpText;  // what the help tooltip shows when asked for its text
};

extern App app;

// Main menu state helpers; quiet no-ops when there is no menu yet (tests without a shell).
void EnableMenuCommand(UINT id, bool enabled);
void CheckMenuCommand(UINT id, bool checked);
bool IsMenuCommandChecked(UINT id);

// Window class "W": registered once; the main window procedure routes messages to the subsystems.
constexpr wchar_t kMainWindowClass[] = L"W";
bool RegisterMainWindowClass(HINSTANCE instance);
HWND CreateMainWindow(HINSTANCE instance, int showCommand);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
