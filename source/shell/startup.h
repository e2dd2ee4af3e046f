// Start-up pieces of the entry point that tests drive too.
#pragma once
#include <windows.h>

// Everything up to and including the main window; false when the window cannot be made.
bool StartApplication(HINSTANCE instance);
void FinishStartup();  // accelerators, help tooltip, history menu, charset mark, tray icon owner
void CreateHelpTip();
void PutShieldOnMenuItem(HMENU menu, UINT id);
int StartupShowCommand();
int RunMessageLoop();
