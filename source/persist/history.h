// The list of recently opened files: ten path buffers and a spare, read and stored with the
// settings under "history 0" to "history 9".
#pragma once
#include <windows.h>

constexpr int kHistoryEntries = 10;        // shown and stored; index 0 is the most recent
constexpr DWORD kHistoryUnits = 32768;     // each buffer, terminator included

struct History {
    // Entries 0..9, then the spare slot that takes the entry falling off the end. Null until
    // InitHistory; then allocated, empty, and kept until the process ends.
    wchar_t* entries[kHistoryEntries + 1];
};

extern History history;

void InitHistory();   // start-up, before LoadSettings; an allocation failure ends the process
void StoreHistory();  // "history 9" down to "history 0"
void HistoryAdd(const wchar_t* path);  // to the front, menu rebuilt, stored
