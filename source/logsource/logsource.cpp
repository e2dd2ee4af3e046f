// Stand-in until the file watcher lands.
#include "logsource/logsource.h"

LogSource logSource;

void InitLogSource() {}
bool OpenLogFile(const wchar_t*) { return false; }
void OnLogTimer(UINT_PTR) {}
void CloseLogFile() {}
void ReloadLogFile() {}
void EraseLogFile() {}
void PauseCommand() {}
void LockScrollCommand(bool) {}
void CharsetCommand(UINT) {}
void AutodetectCommand() {}
void UpdateCharsetMenu() {}
