// The program's own dialogs, each run by a small wrapper that returns its result. A dialog that
// cannot be shown counts as cancelled: confirmation is reported apart from the values.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>

bool RunRowLengthDialog(uint32_t* length);   // true when confirmed: *length is 1..256
// True when confirmed: *limits is rows | kilobytes << 16, each part 1..65535.
bool RunLimitsDialog(uint32_t* limits);
bool RunAppSettingsDialog();                 // true when saved (the switches are already set)
void RunAssociationsDialog();
void RunVersionHistoryDialog();
void RunAboutDialog();

INT_PTR CALLBACK RowLengthDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SizeLimitDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AppSettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AssociationsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// A typed limit: the leading decimal digits, saturating at `maximum`; no digits or 0 give 1.
uint32_t ReadLimitNumber(const wchar_t* text, uint32_t maximum);

// The association's command line: the program's path quoted, a blank and "%1" quoted. False, and
// nothing written, when `units` cannot hold it.
bool ComposeOpenCommand(const wchar_t* programPath, wchar_t* out, size_t units);
// Room for a quote, the longest path the platform returns (32,767 units), the tail and the NUL.
constexpr size_t kOpenCommandUnits = 1 + 32767 + 6 + 1;
