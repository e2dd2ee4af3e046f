// Stand-in until the history list lands.
#include "persist/history_menu.h"

void RebuildHistoryMenu() {}
void ClearHistoryCommand() {}
void OpenHistoryEntry(int) {}
