// Stand-in until the localised resource loader lands.
#include "dialogs/ui.h"

const wchar_t* UiString(UINT id) {
    static wchar_t empty[1] = L"";
    const wchar_t* text = nullptr;
    int n = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (n <= 0 || !text) return empty;
    wchar_t* copy = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (n + 1) * sizeof(wchar_t)));
    if (!copy) return empty;
    CopyMemory(copy, text, n * sizeof(wchar_t));
    return copy;
}

HMENU LoadUiMenu(UINT id) { return LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id)); }

INT_PTR RunUiDialog(UINT id, HWND owner, DLGPROC procedure, LPARAM param) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), owner, procedure, param);
}
