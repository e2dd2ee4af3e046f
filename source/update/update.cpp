// Stand-in until the update check lands.
#include "update/update.h"

void DonateCommand() {}
bool StartUpdateCheck(HWND) { return false; }
bool OpenPendingDownload() { return false; }
void OpenProductPage() {}
