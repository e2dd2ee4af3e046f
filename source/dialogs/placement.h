// One-shot placement of dialogs over the main window: at creation (WH_CBT) for the program's own
// and the system's dialogs, after WM_INITDIALOG (WH_CALLWNDPROCRET) for the Open dialog.
#pragma once
#include <windows.h>

// Top-left corner that centres a width x height window over `parent` (a window rectangle).
// With `lift`, a window lower than the parent rises by a twentieth of the height difference.
// Halvings and the twentieth are signed divisions truncated towards zero.
POINT CentreOver(int width, int height, const RECT& parent, bool lift);

// WH_CBT hook of the user-interface thread, installed for the program's lifetime: places the first
// window created after ui.placeNextWindow was armed, and disarms the flag.
LRESULT CALLBACK DialogCbtHook(int code, WPARAM wParam, LPARAM lParam);
// WH_CALLWNDPROCRET hook, present only while ui.centreNextDialog is armed.
LRESULT CALLBACK DialogCallWndRetHook(int code, WPARAM wParam, LPARAM lParam);

// Arms ui.centreNextDialog and installs the hook that serves it.
void ArmDialogCentring();
// Disarms it and removes the hook: called by the hook once it centred a dialog, and by the
// operation that armed it when that is over, whether a dialog came up or not.
void EndDialogCentring();
