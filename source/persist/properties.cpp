// Stand-in until the window placement per file lands.
#include "persist/properties.h"

void SaveWindowPosition() {}
int RestoreWindowPosition(int showCommand) { return showCommand; }
