// Selection and clipboard.
#pragma once
#include <windows.h>

void CopyCommand();                    // 1202
void SelectAllCommand();               // 1203
void CopyPathToClipboard();            // double click on the path part
