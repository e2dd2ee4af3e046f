// The update check and the donation page.
#pragma once

void DonateCommand();                  // 1905
bool StartUpdateCheck();               // 1907: true when the thread started
bool OpenPendingDownload();            // click on status part 7
void OpenProductPage();                // double click on status part 8
