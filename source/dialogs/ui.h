// Strings, menus and dialogs in the chosen user-interface language.
#pragma once
#include <windows.h>

// A string-table entry in the chosen language; valid until the process ends. Never null.
const wchar_t* UiString(UINT id);
HMENU LoadUiMenu(UINT id);
INT_PTR RunUiDialog(UINT id, HWND owner, DLGPROC procedure, LPARAM param = 0);
