// One instance per file: the named mutex and shared block, the search at start-up, entering and
// leaving the slot table, and the answer to another instance's query.
#include "shell/instances.h"
#include "shell/app.h"
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "ids.h"

InstanceShare share;

namespace {

constexpr wchar_t kMutexName[] = L"Tervo.Brindle::Share::Mutex";
constexpr wchar_t kMappingName[] = L"Tervo.Brindle::Share";
// However many instances are slow to answer, a start waits no longer than this for them in all.
constexpr DWORD kSearchBudgetMs = 2000;

HWND SlotWindow(const InstanceSlot& slot) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(slot.window)); }

void ClearSlot(InstanceSlot& slot) {
    slot.window = 0;
    slot.processId = 0;
    slot.threadId = 0;
    slot.classAtom = 0;
}

// Any program can write the shared table: a window of another class is never asked or brought
// forward. Class names are atoms of the desktop, so the name tells the class atom apart.
bool IsMainWindowClass(HWND window) {
    wchar_t name[8];
    return GetClassNameW(window, name, 8) > 0 && lstrcmpiW(name, kMainWindowClass) == 0;
}

// A slot left by an instance that ended without closing: its window is gone, or the handle now
// belongs to another process, thread or class. A slot of a window of another class is no
// instance's slot either.
bool SlotIsStale(const InstanceSlot& slot) {
    HWND window = SlotWindow(slot);
    if (!IsWindow(window) || !IsMainWindowClass(window)) return true;
    DWORD processId = 0;
    DWORD threadId = GetWindowThreadProcessId(window, &processId);
    ATOM atom = static_cast<ATOM>(GetClassLongW(window, GCW_ATOM));
    return processId != slot.processId || threadId != slot.threadId || atom != slot.classAtom;
}

// Walks the table from the top, clearing stale slots; with `ask`, asks every other live window
// and stops at the first that shows the query path. Once the search budget is spent, the rest
// count as not showing it.
bool WalkSlots(HWND self, bool ask) {
    const DWORD start = GetTickCount();
    for (int i = kInstanceSlots - 1; i >= 0; --i) {
        InstanceSlot& slot = share.slots[i];
        if (!slot.window) continue;
        if (SlotIsStale(slot)) {
            ClearSlot(slot);
            continue;
        }
        if (!ask || SlotWindow(slot) == self) continue;
        const DWORD spent = GetTickCount() - start;
        if (spent < kSearchBudgetMs && askInstance(SlotWindow(slot), kSearchBudgetMs - spent)) return true;
    }
    return false;
}

// Commits this view up to the path's terminator and copies the path there.
bool PutQueryPath(const wchar_t* path) {
    DWORD length = lstrlenW(path);
    if (length >= kQueryUnits) return false;
    DWORD bytes = (length + 1) * sizeof(wchar_t);
    if (!VirtualAlloc(share.view, kQueryOffset + bytes, MEM_COMMIT, PAGE_READWRITE)) return false;
    CopyMemory(share.queryPath, path, bytes);
    return true;
}

}  // namespace

bool QueryPathMatches(const wchar_t* query, DWORD capacity, const wchar_t* path) {
    for (DWORD i = 0; i < capacity; ++i) {
        if (query[i] != path[i]) return false;
        if (!query[i]) return true;
    }
    return false;
}

bool OpenInstanceBlock() {
    share.mutex = CreateMutexW(nullptr, FALSE, kMutexName);
    if (!share.mutex) return false;
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_RESERVE, 0, kShareBytes,
                                        kMappingName);
    if (!mapping) {
        share.mutex = nullptr;
        return false;
    }
    share.view = static_cast<BYTE*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!share.view || !VirtualAlloc(share.view, kShareFirstCommit, MEM_COMMIT, PAGE_READWRITE)) {
        CloseHandle(mapping);
        share.view = nullptr;
        share.mutex = nullptr;
        return false;
    }
    share.slots = reinterpret_cast<InstanceSlot*>(share.view);
    share.queryPath = reinterpret_cast<wchar_t*>(share.view + kQueryOffset);
    return true;
}

bool lockShare() {
    // An abandoned mutex (its owner was killed) is acquired all the same.
    if (!share.mutex || WaitForSingleObject(share.mutex, INFINITE) == WAIT_FAILED) return false;
    ++share.lockCount;
    return true;
}

void unlockShare() {
    if (!share.mutex || share.lockCount == 0) return;
    ReleaseMutex(share.mutex);
    --share.lockCount;
}

bool askInstance(HWND window, DWORD limitMs) {
    DWORD_PTR result = 0;
    const DWORD wait = GetDoubleClickTime() < limitMs ? GetDoubleClickTime() : limitMs;
    if (!SendMessageTimeoutW(window, WM_BRINDLE_QUERY, 0, 0, SMTO_ABORTIFHUNG, wait, &result) ||
        result == 0)
        return false;
    SetForegroundWindow(window);
    share.found = true;
    return true;
}

bool ActivateExistingInstance(const wchar_t* path) {
    if (!lockShare()) return false;
    bool found = false;
    auto* full = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, kPathUnits * sizeof(wchar_t)));
    if (full && MakeExtendedPath(path, full) && PutQueryPath(full)) found = WalkSlots(nullptr, true);
    if (full) HeapFree(GetProcessHeap(), 0, full);
    unlockShare();
    return found;
}

bool EnterInstanceBlock() {
    if (!lockShare()) return true;
    // Two starts on one file close together both find nothing at start-up: the later one to
    // enter finds the earlier here, under the same lock. The walk also frees stale slots.
    bool search = settings.restrictInstances && logSource.handle && PutQueryPath(logSource.fullPath);
    bool another = WalkSlots(app.mainWindow, search);
    if (!another) {
        for (int i = 0; i < kInstanceSlots; ++i) {
            InstanceSlot& slot = share.slots[i];
            if (slot.window) continue;
            slot.window = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(app.mainWindow));
            slot.classAtom = static_cast<uint16_t>(GetClassLongW(app.mainWindow, GCW_ATOM));
            DWORD processId = 0;
            slot.threadId = GetWindowThreadProcessId(app.mainWindow, &processId);
            slot.processId = processId;
            break;
        }
    }
    unlockShare();
    return !another;
}

void LeaveInstanceBlock() {
    if (!lockShare()) return;
    const auto self = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(app.mainWindow));
    for (int i = 0; i < kInstanceSlots; ++i) {
        if (share.slots[i].window != self) continue;
        ClearSlot(share.slots[i]);
        break;
    }
    unlockShare();
}

LRESULT AnswerInstanceQuery() {
    if (!share.mutex || !share.queryPath || !logSource.handle || !logSource.fullPath) return 0;
    // The asker committed its own view; pages are committed per view, so this one commits too.
    if (!VirtualAlloc(share.queryPath, kQueryUnits * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE)) return 0;
    return QueryPathMatches(share.queryPath, kQueryUnits, logSource.fullPath) ? 1 : 0;
}
