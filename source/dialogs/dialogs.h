// The program's own dialogs, each run by a small wrapper that returns its result.
#pragma once
#include <windows.h>
#include <cstdint>

uint32_t RunRowLengthDialog();         // new row length, 0 when cancelled
uint32_t RunLimitsDialog();            // kbLimit << 16 | linesLimit, 0 when cancelled
bool RunAppSettingsDialog();           // true when confirmed (settings already updated)
void RunAssociationsDialog();
void RunVersionHistoryDialog();
void RunAboutDialog();

// Thread hooks that place dialogs over the main window.
LRESULT CALLBACK DialogCbtHook(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK DialogCallWndRetHook(int code, WPARAM wParam, LPARAM lParam);
