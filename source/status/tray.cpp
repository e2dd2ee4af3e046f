// Stand-in until the tray icon lands.
#include "status/tray.h"

void TrayBeforeMinimize() {}
void TrayOnQueryOpen() {}
void RemoveTrayIcon() {}
LRESULT TrayOnNotify(WPARAM, LPARAM) { return 0; }
void TrayOnTaskbarCreated() {}
bool TrayOnShellHook(WPARAM, LPARAM) { return false; }
void TrayOnTimer(UINT_PTR id) { if (id) {} }
