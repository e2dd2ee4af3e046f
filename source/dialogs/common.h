// The behaviour shared by all of the program's own dialogs.
#pragma once
#include <windows.h>
#include <cstddef>

// Every dialog procedure handles its own messages first, then passes every message on to this
// one and returns its result. The About and History of changes dialogs run it alone.
INT_PTR CALLBACK CommonDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Pure decisions behind it.
enum LinkAction { kLinkIgnore, kLinkCheck, kLinkOpen };
// "check" starts the update check; only web addresses go to the shell, nothing else is opened.
LinkAction ClassifyLink(const wchar_t* address);
// UTF-16 units of the "HISTORY" text: the resource bytes after its byte-order mark, 0 when shorter.
size_t HistoryTextUnits(DWORD resourceBytes);
// Where the help tip of a control goes, from the control's window rectangle.
POINT HelpTipPosition(const RECT& control, bool vistaOrLater);
// The heading font without visual styles: the GUI font as "Trebuchet MS" bold, 4 units larger.
LOGFONTW HeadingFallbackFont(const LOGFONTW& guiFont);
