// Error texts for message boxes: the localised prefix and the system's explanation.
#include "dialogs/errors.h"
#include "dialogs/ui.h"
#include "shell/app.h"

void ComposeSystemError(wchar_t* buffer, const wchar_t* prefix, DWORD code) {
    constexpr int kPart = 512;
    lstrcpynW(buffer, prefix ? prefix : L"", kPart + 1);
    wchar_t* system = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, reinterpret_cast<LPWSTR>(&system), 0, nullptr);
    if (length && system) {
        int used = lstrlenW(buffer);
        lstrcpynW(buffer + used, system, kPart + 1);
    }
    if (system) LocalFree(system);
}

void ShowSystemError(UINT prefixId, DWORD code, HWND owner) {
    wchar_t text[kErrorTextUnits];
    ComposeSystemError(text, UiString(prefixId), code);
    MessageBoxW(owner ? owner : app.mainWindow, text, nullptr, MB_ICONERROR);
}
