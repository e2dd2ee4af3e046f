// Main window internals shared by the window procedure and the command table.
#pragma once
#include <windows.h>
#include <shellapi.h>

void LayoutMainWindow(int width, int height);
void ToggleFullScreen();
void ExitCommand();
void EscCommand();
void HideHelpTip();
LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnStatusNotify(const NMHDR* header);
void OnContextMenu(HWND source, LPARAM point);
void OnMouseWheel(WPARAM wParam);
void OnDropFiles(HDROP drop);
void OnMenuSelect(WPARAM wParam, LPARAM lParam);
void OpenCommand();

struct FullScreenState {
    RECT savedWindowRect;
    LONG savedViewStyle;   // 0 when the clean mode removed nothing
};
extern FullScreenState fullScreen;
