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
// After a successful open, with the path as the open was given it: to the front, menu rebuilt,
// list stored.
void PushHistory(const wchar_t* path);

// The list operation alone: `path` moves to entry 0 (or enters there, pushing entry 9 into the
// spare slot); the entries ahead of its old place move back by one.
void MoveToFront(History& list, const wchar_t* path);
// Clear history: every entry but the most recent one emptied.
void KeepOnlyNewest(History& list);
