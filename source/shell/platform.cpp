// Platform detection and start-up helpers.
#include "shell/platform.h"
#include <cwchar>

uint32_t envNumber(const wchar_t* name) {
    wchar_t value[1536];
    DWORD n = GetEnvironmentVariableW(name, value, 1536);
    if (n == 0 || n >= 1536) return 0;
    return static_cast<uint32_t>(wcstoul(value, nullptr, 0));
}
