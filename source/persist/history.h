// The list of recently opened files.
#pragma once
#include <windows.h>

void HistoryAdd(const wchar_t* path);  // to the front, menu rebuilt, stored
