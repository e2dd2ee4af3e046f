// File type associations: the program's ProgID, ".log" and ".txt", and the all-files verb, all
// under HKEY_CLASSES_ROOT. Without the rights to write there the dialog only shows the state.
#include "dialogs/dialogs.h"
#include "dialogs/common.h"
#include "dialogs/errors.h"
#include "dialogs/ui.h"
#include "shell/app.h"
#include "ids.h"
#include <shlwapi.h>
#include <cwchar>
#include <initializer_list>

namespace {

constexpr DWORD kEditFlags = 0x00010001;
constexpr DWORD kIconBytes = 584;       // the icon reference copied from the text file type
constexpr DWORD kExtensionBytes = 512;  // the ProgID an extension names
const wchar_t kTextFileType[] = L"txtfile";

// The default value of root\subkey as a string, terminated inside `buffer`; other types, values
// that do not fit and missing keys all fail.
bool ReadDefaultString(const wchar_t* subkey, wchar_t* buffer, DWORD bytes) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0, size = bytes - sizeof(wchar_t);
    LONG status = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    buffer[size / sizeof(wchar_t)] = L'\0';
    return true;
}

void SetString(HKEY key, const wchar_t* name, const wchar_t* text) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(wchar_t)));
}

// Creates or opens `subkey` below `parent` and sets its default value; a failure is skipped.
void SetDefaultString(HKEY parent, const wchar_t* subkey, const wchar_t* text) {
    HKEY key;
    if (RegCreateKeyExW(parent, subkey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) return;
    SetString(key, nullptr, text);
    RegCloseKey(key);
}

// The command that opens a file with this very executable; null when its path cannot be had
// whole (a truncated path would name another program). The caller frees it.
wchar_t* MakeOpenCommand() {
    HANDLE heap = GetProcessHeap();
    auto* path = static_cast<wchar_t*>(HeapAlloc(heap, 0, 32768 * sizeof(wchar_t)));
    auto* command = static_cast<wchar_t*>(HeapAlloc(heap, 0, kOpenCommandUnits * sizeof(wchar_t)));
    bool made = false;
    if (path && command) {
        DWORD length = GetModuleFileNameW(nullptr, path, 32768);
        made = length > 0 && length < 32768 && ComposeOpenCommand(path, command, kOpenCommandUnits);
    }
    if (path) HeapFree(heap, 0, path);
    if (!made && command) {
        HeapFree(heap, 0, command);
        command = nullptr;
    }
    return command;
}

void RegisterProgId(HKEY progId) {
    SetString(progId, nullptr, UiString(IDS_PRODUCT));
    DWORD flags = kEditFlags;
    RegSetValueExW(progId, L"EditFlags", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flags), sizeof(flags));
    SetString(progId, L"FriendlyTypeName", UiString(IDS_LOG_FILE_TYPE));
    SetDefaultString(progId, L"CurVer", UiString(IDS_PROGID));
    wchar_t icon[kIconBytes / sizeof(wchar_t)];
    if (!ReadDefaultString(L"txtfile\\DefaultIcon", icon, kIconBytes)) lstrcpynW(icon, UiString(IDS_DEFAULT_ICON), 292);
    SetDefaultString(progId, L"DefaultIcon", icon);
    if (wchar_t* command = MakeOpenCommand()) {
        SetDefaultString(progId, L"shell\\open\\command", command);
        HeapFree(GetProcessHeap(), 0, command);
    }
}

bool Associated(const wchar_t* extension) {
    wchar_t progId[kExtensionBytes / sizeof(wchar_t)];
    return ReadDefaultString(extension, progId, kExtensionBytes) && wcscmp(progId, UiString(IDS_PROGID)) == 0;
}

bool VerbPresent() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, UiString(IDS_VERB_KEY), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void ShowCurrentState(HWND dialog) {
    CheckDlgButton(dialog, IDC_ASSOC_LOG, Associated(L".log") ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_ASSOC_TXT, Associated(L".txt") ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_ASSOC_VERB, VerbPresent() ? BST_CHECKED : BST_UNCHECKED);
}

// False when the dialog was ended because the current state cannot even be read.
bool OnInitDialog(HWND dialog) {
    HKEY progId;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, UiString(IDS_PROGID), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &progId,
                        nullptr) == ERROR_SUCCESS) {
        RegisterProgId(progId);
        RegCloseKey(progId);
        ShowCurrentState(dialog);
        return true;
    }
    LONG status = RegOpenKeyExW(HKEY_CLASSES_ROOT, UiString(IDS_PROGID), 0, KEY_READ, &progId);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND && status != ERROR_PATH_NOT_FOUND) {
        EndDialog(dialog, 0);
        ShowSystemError(IDS_ERR_ASSOC_READ, static_cast<DWORD>(status));
        return false;
    }
    for (int id : {IDOK, IDC_ASSOC_LOG, IDC_ASSOC_TXT, IDC_ASSOC_VERB}) EnableWindow(GetDlgItem(dialog, id), FALSE);
    SetDlgItemTextW(dialog, IDC_RIGHTS_NOTE, UiString(IDS_NO_RIGHTS));
    if (status == ERROR_SUCCESS) {
        RegCloseKey(progId);
        ShowCurrentState(dialog);
    }
    return true;
}

// Unchecking gives back only what is ours: another program's association stays as it is.
void SetExtension(const wchar_t* extension, bool associated) {
    if (associated) SetDefaultString(HKEY_CLASSES_ROOT, extension, UiString(IDS_PROGID));
    else if (Associated(extension)) SetDefaultString(HKEY_CLASSES_ROOT, extension, kTextFileType);
}

void OnSave(HWND dialog) {
    if (!IsWindowEnabled(GetDlgItem(dialog, IDOK))) return;   // Enter in the read-only dialog
    SetExtension(L".log", IsDlgButtonChecked(dialog, IDC_ASSOC_LOG) == BST_CHECKED);
    SetExtension(L".txt", IsDlgButtonChecked(dialog, IDC_ASSOC_TXT) == BST_CHECKED);
    if (IsDlgButtonChecked(dialog, IDC_ASSOC_VERB) == BST_CHECKED) {
        HKEY verb;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, UiString(IDS_VERB_KEY), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &verb,
                            nullptr) == ERROR_SUCCESS) {
            SetString(verb, nullptr, UiString(IDS_VERB_CAPTION));
            if (wchar_t* command = MakeOpenCommand()) {
                SetDefaultString(verb, L"Command", command);
                HeapFree(GetProcessHeap(), 0, command);
            }
            RegCloseKey(verb);
        }
    } else {
        SHDeleteKeyW(HKEY_CLASSES_ROOT, UiString(IDS_VERB_KEY));
    }
    EndDialog(dialog, 1);
}

}  // namespace

bool ComposeOpenCommand(const wchar_t* programPath, wchar_t* out, size_t units) {
    static const wchar_t kTail[] = L"\" \"%1\"";
    size_t length = programPath ? wcslen(programPath) : 0;
    if (!length || units < 1 + length + (sizeof(kTail) / sizeof(wchar_t))) return false;
    out[0] = L'"';
    CopyMemory(out + 1, programPath, length * sizeof(wchar_t));
    CopyMemory(out + 1 + length, kTail, sizeof(kTail));
    return true;
}

INT_PTR CALLBACK AssociationsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        if (!OnInitDialog(dialog)) return TRUE;
    } else if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        OnSave(dialog);
    }
    return CommonDialogProc(dialog, message, wParam, lParam);
}

void RunAssociationsDialog() { RunUiDialog(IDD_ASSOCIATIONS, app.mainWindow, AssociationsDialogProc); }
