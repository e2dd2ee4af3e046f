// The update check and the donation page.
#pragma once
#include <windows.h>

void DonateCommand();                  // 1905
// Starts the check thread: linkWindow is the About dialog's link control, or null for the
// automatic check (command 1907). True when the thread started.
bool StartUpdateCheck(HWND linkWindow);
bool OpenPendingDownload();            // click on status part 7
void OpenProductPage();                // double click on status part 8
