// The History submenu: its items made from the list, opening an entry, and Clear history.
#include "persist/history_menu.h"
#include "persist/history.h"
#include "logsource/logsource.h"
#include "shell/app.h"
#include "ids.h"

namespace {

// A path whose every unit is "&" doubles in length.
constexpr size_t kLabelUnits = 2 * kHistoryUnits + 16;

HMENU HistorySubmenu() {
    HMENU file = app.mainMenu ? GetSubMenu(app.mainMenu, 0) : nullptr;
    return file ? GetSubMenu(file, 1) : nullptr;
}

}  // namespace

size_t MakeHistoryLabel(wchar_t* out, size_t units, unsigned index, const wchar_t* path) {
    if (units == 0) return 0;
    wchar_t head[16];
    wsprintfW(head, L"&%u ", index);
    size_t n = 0;
    for (const wchar_t* p = head; *p && n + 1 < units; ++p) out[n++] = *p;
    for (const wchar_t* p = path; *p; ++p) {
        size_t need = *p == L'&' ? 2 : 1;
        if (n + need >= units) break;
        out[n++] = *p;
        if (*p == L'&') out[n++] = L'&';
    }
    out[n] = L'\0';
    return n;
}

void RebuildHistoryMenu() {
    if (!app.mainMenu) return;
    for (UINT id = IDM_HISTORY_FIRST; id <= IDM_HISTORY_LAST; ++id) DeleteMenu(app.mainMenu, id, MF_BYCOMMAND);
    HMENU submenu = HistorySubmenu();
    if (!submenu || !history.entries[0]) return;
    auto* label = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, kLabelUnits * sizeof(wchar_t)));
    if (!label) return;
    // Entries behind the first empty one (only from hand-edited values) stay stored but unseen.
    for (int i = 0; i < kHistoryEntries && history.entries[i][0]; ++i) {
        MakeHistoryLabel(label, kLabelUnits, static_cast<unsigned>(i), history.entries[i]);
        AppendMenuW(submenu, MF_STRING, IDM_HISTORY_FIRST + i, label);
    }
    HeapFree(GetProcessHeap(), 0, label);
}

void ClearHistoryCommand() {
    if (!history.entries[0]) return;
    KeepOnlyNewest(history);
    RebuildHistoryMenu();
    StoreHistory();
}

void OpenHistoryEntry(int index) {
    if (index < 0 || index >= kHistoryEntries || !history.entries[0] || !history.entries[index][0]) return;
    // The open moves entries about while it runs: it gets a copy.
    auto* path = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, kHistoryUnits * sizeof(wchar_t)));
    if (!path) return;
    lstrcpynW(path, history.entries[index], kHistoryUnits);
    OpenLogFile(path);
    HeapFree(GetProcessHeap(), 0, path);
}
