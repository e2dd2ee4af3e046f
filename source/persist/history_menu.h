// The History submenu of the File menu.
#pragma once
#include <windows.h>

void RebuildHistoryMenu();
void ClearHistoryCommand();            // 1121
void OpenHistoryEntry(int index);      // 1130..1139
