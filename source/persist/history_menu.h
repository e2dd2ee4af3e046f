// The History submenu of the File menu and its commands.
#pragma once
#include <windows.h>
#include <cstddef>

// Entries 1130 + index after Clear history and the separator, up to the first empty entry.
void RebuildHistoryMenu();
void ClearHistoryCommand();            // 1121
void OpenHistoryEntry(int index);      // 1130..1139

// "&" + index digit + space + the whole path, with every "&" of the path doubled so that it is
// shown rather than taken as a mnemonic. Cut to `units` with its terminator; returns the length.
size_t MakeHistoryLabel(wchar_t* out, size_t units, unsigned index, const wchar_t* path);
