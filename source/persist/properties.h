// Per-file properties kept in the watched file's alternate stream.
#pragma once
#include <windows.h>

void SaveWindowPosition();
int RestoreWindowPosition(int showCommand);  // places the window, returns the show command to use
