// Per-file properties kept in the watched file's alternate stream: the window placement when the
// file was last closed, and the charset chosen for it.
#pragma once
#include <windows.h>

// WM_CLOSE of the main window: the placement into section "Position", when `savePosition` is on
// and a file is open; the log's last-write time is put back afterwards.
void SaveWindowPosition();
// Start-up, in place of the first ShowWindow: moves the window to the stored rectangle and
// returns the show command to use.
int RestoreWindowPosition(int showCommand);

// Writes one key of the open file's stream (value nullptr deletes it), but only while the path
// still names the open file: writing to a path the log left would create a file there.
bool WriteFileProperty(const wchar_t* section, const wchar_t* key, const wchar_t* value);

// Pure decisions behind the placement.
struct StoredPosition { int x, y, width, height, maximized, minimized; };
struct RestorePlan { bool move; int show; };
RestorePlan PlanRestore(const StoredPosition& stored, int showCommand);
// A rectangle moved into `area`, keeping its size where it fits and shrunk to the area otherwise.
RECT FitIntoArea(const RECT& rect, const RECT& area);
