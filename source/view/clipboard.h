// Selection and clipboard.
#pragma once
#include <windows.h>

void CopyCommand();                    // 1202
void SelectAllCommand();               // 1203
void CopyPathToClipboard();            // double click on the path part
// A context menu asked for from the keyboard: its point is (-1, -1), which is no place to act on.
bool IsKeyboardMenuPoint(LPARAM screenPoint);
// Right click on the view: a single selection moves to the clicked row before the menu opens.
void SelectClickedRow(HWND view, LPARAM screenPoint);
// The row a list box hit test names, from the low 16 bits it carries and the top row's index.
int RowFromHitIndex(int lowWord, int top);
