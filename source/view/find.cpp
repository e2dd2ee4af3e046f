// Stand-in until find and go to row land.
#include "view/find.h"

void FindCommand() {}
void FindNextCommand() {}
void GotoCommand() {}
void OnFindReplaceMessage(LPARAM) {}
void ClearSearchText() {}
