// The one LogSource record and its long-lived buffers.
#include "logsource/logsource.h"
#include "logsource/lines.h"

LogSource logSource;

namespace {

template <typename T> T* AllocateZeroed(SIZE_T bytes) {
    // A failed start-up allocation ends the process through the heap's exception.
    return static_cast<T*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY | HEAP_GENERATE_EXCEPTIONS, bytes));
}

}  // namespace

void InitLogSource() {
    LogSource& s = logSource;
    if (s.byteBuffer) return;
    s.byteBuffer = AllocateZeroed<BYTE>(kReadSize);
    s.textBuffer = AllocateZeroed<wchar_t>(kReadSize * sizeof(wchar_t));
    s.fullPath = AllocateZeroed<wchar_t>(kPathUnits * sizeof(wchar_t));
    s.propertiesPath = AllocateZeroed<wchar_t>(kPropertiesUnits * sizeof(wchar_t));
    s.givenPath = AllocateZeroed<wchar_t>(kPathUnits * sizeof(wchar_t));
    s.fallbackCharset = CHARSET_CURRENT;
}

bool LastLineUnfinished() { return logSource.rowFill > 0 || logSource.carryCount > 0 || LineHeld(); }
