// Find and go to row.
#pragma once
#include <windows.h>

void FindCommand();                    // 1204
void FindNextCommand();                // 1205
void GotoCommand();                    // 1206
void OnFindReplaceMessage(LPARAM findReplace);   // find-next notification of the Find dialog
void ClearSearchText();
