// Stand-in until printing lands.
#include "print/print.h"

void PrintSetupCommand() {}
void PrintCommand() {}
