// Several brindle.exe under one Wine prefix: one instance per file, found through the shared
// block, which this test reads as any other process could.
#include <gtest/gtest.h>
#include "harness.h"

namespace {

const wchar_t kKey[] = L"Software\\Skelby\\Brindle";

void SetSetting(const wchar_t* name, DWORD value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, REG_DWORD, &value, sizeof(value));
}

void DeleteSetting(const wchar_t* name) { RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, name); }

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// The instance table at the start of the shared block: 192 slots of window, process, thread, atom.
struct SharedTable {
    HANDLE mapping = nullptr;
    const uint32_t* slots = nullptr;
    bool Open() {
        mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, L"Tervo.Brindle::Share");
        if (!mapping) return false;
        void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
        if (!view || !VirtualAlloc(view, 4096, MEM_COMMIT, PAGE_READWRITE)) return false;
        slots = static_cast<const uint32_t*>(view);
        return true;
    }
    ~SharedTable() {
        if (slots) UnmapViewOfFile(slots);
        if (mapping) CloseHandle(mapping);
    }
    int SlotOf(HWND window) const {
        for (int i = 0; i < 192; ++i)
            if (slots[4 * i] == static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window))) return i;
        return -1;
    }
    DWORD ProcessAt(int slot) const { return slots[4 * slot + 1]; }
};

// Asked again while polling: a window that was just brought forward by an exiting start may still
// be settling into the foreground when the driver asks.
bool BringForward(HWND window) {
    return harness::WaitUntil([&] {
        if (GetForegroundWindow() == window) return true;
        SetForegroundWindow(window);
        return false;
    }, 3000);
}

bool IsForeground(HWND window) {
    return harness::WaitUntil([&] { return GetForegroundWindow() == window; }, 3000);
}

}  // namespace

TEST(InstancesE2E, SameFileBringsTheFirstForwardOtherwiseAWindowOfItsOwn) {
    DeleteSetting(L"restrict instances");
    std::wstring dir = harness::NewTempDir();
    std::wstring log = dir + L"\\shared.log";
    ASSERT_TRUE(harness::WriteBytes(log, "a\nb\n"));
    harness::Process first, other;
    ASSERT_TRUE(harness::Start(first, Quoted(log)));
    ASSERT_TRUE(harness::WaitForRows(first.view, 2));
    // Started without a file, it still takes part.
    ASSERT_TRUE(harness::Start(other, L""));
    SharedTable table;
    ASSERT_TRUE(table.Open());
    EXPECT_GE(table.SlotOf(first.main), 0);
    EXPECT_GE(table.SlotOf(other.main), 0);

    // The same file by its full path, then relative to the current folder: no window, exit 0.
    for (bool relative : {false, true}) {
        SCOPED_TRACE(relative ? "relative" : "full");
        ASSERT_TRUE(BringForward(other.main));
        harness::Process again;
        wchar_t saved[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, saved);
        if (relative) SetCurrentDirectoryW(dir.c_str());
        ASSERT_TRUE(harness::Launch(again, relative ? L".\\shared.log" : Quoted(log)));
        SetCurrentDirectoryW(saved);
        EXPECT_EQ(0u, harness::WaitExit(again));
        EXPECT_TRUE(IsForeground(first.main));
    }

    // Another letter case names another path: a window of its own.
    harness::Process upper;
    ASSERT_TRUE(harness::Start(upper, Quoted(dir + L"\\SHARED.LOG")));
    EXPECT_EQ(0u, harness::Close(upper));

    // One instance per file switched off.
    SetSetting(L"restrict instances", 0);
    harness::Process second;
    ASSERT_TRUE(harness::Start(second, Quoted(log)));
    EXPECT_EQ(L"shared.log - Brindle", harness::WindowText(second.main));
    EXPECT_EQ(0u, harness::Close(second));
    DeleteSetting(L"restrict instances");

    // A closed file is not shown any more: its former instance answers no.
    PostMessageW(first.main, WM_COMMAND, 1108, 0);
    ASSERT_TRUE(harness::WaitUntil([&] { return harness::WindowText(first.main) == L"Brindle"; }));
    harness::Process reopened;
    ASSERT_TRUE(harness::Start(reopened, Quoted(log)));
    EXPECT_EQ(0u, harness::Close(reopened));

    int firstSlot = table.SlotOf(first.main);
    EXPECT_EQ(0u, harness::Close(first));
    EXPECT_EQ(-1, table.SlotOf(first.main));   // left on closing
    if (firstSlot >= 0) {
        EXPECT_EQ(0u, table.ProcessAt(firstSlot));
    }
    EXPECT_EQ(0u, harness::Close(other));
}

// A killed instance leaves its slot behind; with the search on or off, the next instance to
// enter takes it over.
TEST(InstancesE2E, KilledInstanceSlotIsTakenOver) {
    std::wstring log = harness::NewTempDir() + L"\\killed.log";
    ASSERT_TRUE(harness::WriteBytes(log, "x\n"));
    SharedTable table;
    for (DWORD restrict : {1u, 0u}) {
        SCOPED_TRACE(restrict);
        SetSetting(L"restrict instances", restrict);
        harness::Process victim, next;
        ASSERT_TRUE(harness::Start(victim, Quoted(log)));
        ASSERT_TRUE(table.slots || table.Open());
        int slot = table.SlotOf(victim.main);
        ASSERT_GE(slot, 0);
        TerminateProcess(victim.info.hProcess, 7);
        EXPECT_EQ(7u, harness::WaitExit(victim));
        EXPECT_EQ(slot, table.SlotOf(victim.main));   // left behind

        ASSERT_TRUE(harness::Start(next, Quoted(log)));
        EXPECT_EQ(slot, table.SlotOf(next.main));
        EXPECT_EQ(next.info.dwProcessId, table.ProcessAt(slot));
        EXPECT_EQ(0u, harness::Close(next));
    }
    DeleteSetting(L"restrict instances");
}

// Two starts on one file close together (a repeated double click): one window remains. The
// path is long enough that the answering instance reads it from beyond the block's first page.
TEST(InstancesE2E, TwoQuickStartsLeaveOneWindow) {
    DeleteSetting(L"restrict instances");
    std::wstring dir = harness::NewDeepDir(600);
    ASSERT_FALSE(dir.empty());
    std::wstring log = dir + L"\\twice.log";
    ASSERT_TRUE(harness::WriteBytes(log, "y\n"));
    // Two programs starting at once on a busy machine can each take many seconds: the margins
    // bound a hang, not the time a start should take.
    constexpr DWORD kSlowStartMs = 60000;
    harness::Process a, b;
    ASSERT_TRUE(harness::Launch(a, Quoted(log)));
    ASSERT_TRUE(harness::Launch(b, Quoted(log)));
    HANDLE both[] = {a.info.hProcess, b.info.hProcess};
    DWORD ended = WaitForMultipleObjects(2, both, FALSE, kSlowStartMs);
    ASSERT_TRUE(ended == WAIT_OBJECT_0 || ended == WAIT_OBJECT_0 + 1);
    harness::Process& gone = ended == WAIT_OBJECT_0 ? a : b;
    harness::Process& kept = ended == WAIT_OBJECT_0 ? b : a;
    EXPECT_EQ(0u, harness::WaitExit(gone));
    // The one that ended stored no placement for the file; the other has not closed yet.
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((log + L":Tervo.Brindle.Properties").c_str()));
    kept.main = harness::FindMainWindow(kept.info.dwProcessId, kSlowStartMs);
    ASSERT_NE(nullptr, kept.main);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(kept.info.hProcess, 300));
    EXPECT_EQ(0u, harness::Close(kept, kSlowStartMs));
}
