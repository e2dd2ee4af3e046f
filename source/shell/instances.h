// One instance per file: the named shared block through which running instances find each other.
#pragma once
#include <windows.h>
#include <cstdint>

constexpr int kInstanceSlots = 192;
constexpr DWORD kQueryOffset = 3072;      // bytes: the query path follows the slot table
constexpr DWORD kQueryUnits = 32768;      // the query path, terminator included
constexpr DWORD kShareBytes = kQueryOffset + kQueryUnits * sizeof(wchar_t);   // 68,608
constexpr DWORD kShareFirstCommit = 4096;

// One entered instance; a window of 0 marks a free slot. Another process writes these too.
struct InstanceSlot {
    uint32_t window;
    uint32_t processId;
    uint32_t threadId;     // of the thread that owns the window
    uint16_t classAtom;
    uint16_t unused;
};
static_assert(sizeof(InstanceSlot) == 16, "the slot layout is shared with every other instance");

struct InstanceShare {
    HANDLE mutex;          // null: sharing is off for this process
    BYTE* view;            // the whole mapping, committed piecewise
    InstanceSlot* slots;   // kInstanceSlots, at the start of the view
    wchar_t* queryPath;    // at kQueryOffset
    LONG lockCount;        // successful waits not yet released
    bool found;            // the start-up search brought another instance forward
};
extern InstanceShare share;

// Creates or opens the mutex and the mapping; any failure leaves sharing off (false).
bool OpenInstanceBlock();
bool lockShare();
void unlockShare();
// Asks a main window whether it shows the query path, waiting at most one double-click time and
// at most `limitMs`; brings it forward when it does.
bool askInstance(HWND window, DWORD limitMs);
// Start-up search: true when another instance shows `path` and was brought forward.
bool ActivateExistingInstance(const wchar_t* path);
// Enters the main window. When the open file turns out to be shown by another instance that
// entered meanwhile (and one instance per file is wanted), that one is brought forward instead,
// nothing is entered, and the result is false: this instance should end at once.
bool EnterInstanceBlock();
void LeaveInstanceBlock();
LRESULT AnswerInstanceQuery();   // message 1035

// The query path, written by another process, equals `path`: compared within `capacity` units,
// an unterminated query matches nothing.
bool QueryPathMatches(const wchar_t* query, DWORD capacity, const wchar_t* path);
