// The history list: its buffers, moving a path to the front, and storing the list.
#include "persist/history.h"
#include "persist/history_menu.h"
#include "persist/settings.h"
#include <cwchar>

History history;

void InitHistory() {
    if (history.entries[0]) return;
    HANDLE heap = GetProcessHeap();
    for (wchar_t*& entry : history.entries)
        entry = static_cast<wchar_t*>(HeapAlloc(heap, HEAP_ZERO_MEMORY | HEAP_GENERATE_EXCEPTIONS,
                                                kHistoryUnits * sizeof(wchar_t)));
}

void StoreHistory() { StoreSetting(SV_HISTORY); }

void MoveToFront(History& list, const wchar_t* path) {
    // Paths compare code unit by code unit: another letter case or a relative form is another entry.
    int found = kHistoryEntries;
    for (int i = 0; i < kHistoryEntries; ++i) {
        if (wcscmp(list.entries[i], path) == 0) {
            found = i;
            break;
        }
    }
    for (int j = found - 1; j >= 0; --j) lstrcpynW(list.entries[j + 1], list.entries[j], kHistoryUnits);
    lstrcpynW(list.entries[0], path, kHistoryUnits);
}

void KeepOnlyNewest(History& list) {
    for (int i = kHistoryEntries - 1; i >= 1; --i) list.entries[i][0] = L'\0';
}

void PushHistory(const wchar_t* path) {
    if (!history.entries[0] || !path) return;
    MoveToFront(history, path);
    RebuildHistoryMenu();
    StoreHistory();
}
