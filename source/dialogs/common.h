// The behaviour shared by all of the program's own dialogs.
#pragma once
#include <windows.h>

// Every dialog procedure handles its own messages first, then passes every message on to this
// one and returns its result.
INT_PTR CALLBACK CommonDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
