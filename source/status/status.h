// Status bar and progress bar operations that other subsystems call.
#pragma once
#include <windows.h>

void RefreshStatus();                  // counters, states, current row
void UpdateProgress();                 // progress bar range and position from the LogSource sizes
void SetStatusSizeText(const char* text, const wchar_t* tip);  // part 6: formatted file size
void SetStatusFile(const wchar_t* path);                      // part 0: file icon, path and tip
void ClearStatusFile();
void SetStatusLockText(bool locked);   // part 3: "LOCKED" or nothing
void SetStatusLockTip(bool locked);    // part 3 tooltip
