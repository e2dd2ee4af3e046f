// The text of every error box: a localised prefix followed by the system's message for a code.
#pragma once
#include <windows.h>

constexpr int kErrorTextUnits = 1025;   // smallest buffer ComposeSystemError may be given

// prefix: at most 512 units are kept; then at most 512 units of the system's text, when it has one.
void ComposeSystemError(wchar_t* buffer, const wchar_t* prefix, DWORD code);

// The error box: string `prefixId` and the system's text for `code`, without caption, owned by
// `owner` (the main window when null).
void ShowSystemError(UINT prefixId, DWORD code, HWND owner = nullptr);
