// Status bar and progress bar: creation, layout and the operations other subsystems call.
#pragma once
#include <windows.h>

constexpr int kStatusParts = 9;
extern int statusPartEdges[kStatusParts];
extern int statusPartsWidth;             // width of parts 1 to 8; drives the minimum window width

HWND CreateStatusBar(HWND parent);       // hidden; initial edges and texts
void LayoutStatusBar(int clientWidth, float scale);   // edges, SB_SETPARTS, progress bar placement
int StatusBarHeight();                   // client height, 0 without a status bar
// Over part 5 of a status bar whose top is at statusTop, in the main window's client coordinates.
RECT ProgressBarRect(float scale, int statusTop, int statusHeight);

void RefreshStatus();                  // counters, states, current row
void UpdateProgress();                 // progress bar range and position from the LogSource sizes
void SetStatusSizeText(const char* text, const wchar_t* tip);  // part 6: formatted file size
void SetStatusFile(const wchar_t* path);                      // part 0: file icon, path and tip
void ClearStatusFile();
void SetStatusLockText(bool locked);   // part 3: "LOCKED" or nothing
void SetStatusLockTip(bool locked);    // part 3 tooltip
void ShowUpdateSchedule();             // part 7 tooltip
