// Printing rows.
#pragma once

void PrintSetupCommand();              // 1102
void PrintCommand();                   // 1103
