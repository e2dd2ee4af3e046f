// The row view: a standard list box holding the rows, oldest first.
#pragma once
#include <windows.h>

HWND CreateView(HWND parent);    // the list box with its styles, font, storage and subclass
void FocusView();
void ShowRow(int row);
void ScrollToEnd();
void UpdateHorizontalExtent();
void ApplyViewFont();
LRESULT OnCtlColorListBox(HDC dc);
void ChangeFontSize(int steps);  // Larger/Smaller font and Ctrl+wheel
void FontDialogCommand();        // 1402
void BackgroundDialogCommand();  // 1404
