// The history buffers and their storing; the menu and the list operations are still stand-ins.
#include "persist/history.h"
#include "persist/settings.h"

History history;

void InitHistory() {
    if (history.entries[0]) return;
    HANDLE heap = GetProcessHeap();
    for (wchar_t*& entry : history.entries)
        entry = static_cast<wchar_t*>(HeapAlloc(heap, HEAP_ZERO_MEMORY | HEAP_GENERATE_EXCEPTIONS,
                                                kHistoryUnits * sizeof(wchar_t)));
}

void StoreHistory() { StoreSetting(SV_HISTORY); }

void HistoryAdd(const wchar_t*) {}
