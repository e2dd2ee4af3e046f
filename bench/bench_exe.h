// What the benchmarks that start brindle.exe share: where the exe is, and how its main window is
// found among a process's windows.
#pragma once
#include <windows.h>
#include <string>

// A Unix path as Wine names it, on the Unix root's drive.
inline std::wstring WinePath(const char* unixPath) {
    std::wstring out = L"Z:";
    for (const char* p = unixPath; *p; ++p) out += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    return out;
}

// The built exe, or another build named by BRINDLE_E2E_EXE (an experiment).
inline std::wstring ExePath() {
    wchar_t path[MAX_PATH] = L"";
    if (GetEnvironmentVariableW(L"BRINDLE_E2E_EXE", path, MAX_PATH)) return path;
    return WinePath(BRINDLE_EXE_UNIX);
}

struct WindowSearch { DWORD pid; HWND found; };

// EnumWindows callback: the visible main window ("W") of the process in the WindowSearch.
inline BOOL CALLBACK FindMain(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    wchar_t name[8] = L"";
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && GetClassNameW(window, name, 8) && lstrcmpW(name, L"W") == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
