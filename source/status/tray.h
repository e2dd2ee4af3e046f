// The notification-area icon that the window can be minimized into.
#pragma once
#include <windows.h>

void TrayBeforeMinimize();
void TrayOnQueryOpen();
void RemoveTrayIcon();
LRESULT TrayOnNotify(WPARAM wParam, LPARAM lParam);   // message 1027
void TrayOnTaskbarCreated();
bool TrayOnShellHook(WPARAM wParam, LPARAM lParam);   // true when it answered
void TrayOnTimer(UINT_PTR id);                        // timers 4, 5, 6
