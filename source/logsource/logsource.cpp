// Stand-in until the file watcher lands.
#include "logsource/logsource.h"

LogSource logSource;

void InitLogSource() {}
bool OpenLogFile(const wchar_t*) { return false; }
void OnLogTimer(UINT_PTR) {}
void CloseLogFile() {}
