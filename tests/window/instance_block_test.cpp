// The shared instance block in this process: the query answered through the window's own view of
// a path another view wrote, and stale slots freed when entering.
#include <gtest/gtest.h>
#include <string>
#include "harness.h"
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "shell/app.h"
#include "shell/instances.h"
#include "ids.h"

namespace {

class InstanceBlock : public testing::Test {
protected:
    HWND main = nullptr;
    void SetUp() override {
        main = harness::NewMainWindow(SW_SHOWNOACTIVATE);
        ASSERT_NE(nullptr, main);
        ASSERT_TRUE(OpenInstanceBlock());
    }
    void TearDown() override {
        LeaveInstanceBlock();
        harness::EndMainWindow(main);
    }
    static uint32_t Handle(HWND window) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)); }
    int SlotOf(HWND window) const {
        for (int i = 0; i < kInstanceSlots; ++i)
            if (share.slots[i].window == Handle(window)) return i;
        return -1;
    }
};

}  // namespace

// Another process commits only its own view before writing the path; the answering window
// must commit its view too before it reads past the first page.
TEST_F(InstanceBlock, QueryAnsweredThroughItsOwnViewAndOnlyForTheExactPath) {
    std::wstring dir = harness::NewDeepDir(600);
    ASSERT_FALSE(dir.empty());
    std::wstring log = dir + L"\\deep.log";
    ASSERT_TRUE(harness::WriteBytes(log, "deep\n"));
    ASSERT_TRUE(OpenLogFile(log.c_str()));
    ASSERT_GT(lstrlenW(logSource.fullPath), 600);   // reaches into the second page of the block

    HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, L"Tervo.Brindle::Share");
    ASSERT_NE(nullptr, mapping);
    auto* other = static_cast<BYTE*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(nullptr, other);
    ASSERT_NE(nullptr, VirtualAlloc(other, kShareBytes, MEM_COMMIT, PAGE_READWRITE));
    auto* query = reinterpret_cast<wchar_t*>(other + kQueryOffset);

    ASSERT_TRUE(lockShare());
    lstrcpyW(query, logSource.fullPath);
    EXPECT_EQ(1, SendMessageW(main, WM_BRINDLE_QUERY, 0, 0));
    CharUpperW(query + lstrlenW(query) - 8);
    EXPECT_EQ(0, SendMessageW(main, WM_BRINDLE_QUERY, 0, 0));
    // The whole area without a terminator.
    for (DWORD i = 0; i < kQueryUnits; ++i) query[i] = L'\\';
    EXPECT_EQ(0, SendMessageW(main, WM_BRINDLE_QUERY, 0, 0));
    lstrcpyW(query, logSource.fullPath);
    CloseLogFile();
    EXPECT_EQ(0, SendMessageW(main, WM_BRINDLE_QUERY, 0, 0));   // no file open any more
    unlockShare();
    EXPECT_EQ(0, share.lockCount);

    UnmapViewOfFile(other);
    CloseHandle(mapping);
}

TEST_F(InstanceBlock, EnteringFreesDeadAndReusedSlotsAndTakesTheFirstFree) {
    // Entering once clears whatever earlier runs left; leaving makes that slot the first free one.
    ASSERT_TRUE(EnterInstanceBlock());
    int first = SlotOf(main);
    ASSERT_GE(first, 0);
    const InstanceSlot mine = share.slots[first];
    EXPECT_EQ(GetCurrentProcessId(), mine.processId);
    EXPECT_EQ(GetCurrentThreadId(), mine.threadId);
    EXPECT_EQ(static_cast<uint16_t>(GetClassLongW(main, GCW_ATOM)), mine.classAtom);
    LeaveInstanceBlock();
    EXPECT_EQ(-1, SlotOf(main));

    int spare = first + 1;
    while (spare < kInstanceSlots && share.slots[spare].window) ++spare;
    ASSERT_LT(spare, kInstanceSlots);
    HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(DestroyWindow(gone));
    share.slots[first] = InstanceSlot{Handle(gone), GetCurrentProcessId(), GetCurrentThreadId(), 1, 0};
    // This very window under another process's name: its handle was reused.
    share.slots[spare] = mine;
    share.slots[spare].processId ^= 0x40;

    settings.restrictInstances = 0;   // no search: entering alone must free them
    ASSERT_TRUE(EnterInstanceBlock());
    EXPECT_EQ(first, SlotOf(main));
    EXPECT_EQ(0u, share.slots[spare].window);
    EXPECT_EQ(0u, share.slots[spare].processId);
}

namespace {

int queriesSeen = 0;
WNDPROC staticProcedure = nullptr;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_BRINDLE_QUERY) {
        ++queriesSeen;
        return 1;   // it would claim every file
    }
    return CallWindowProcW(staticProcedure, window, message, wParam, lParam);
}

}  // namespace

// The search finds the file also when it is named in the device form; a window of another
// program entered in the table is neither asked nor brought forward, and its slot is freed.
TEST_F(InstanceBlock, SearchMatchesTheDeviceFormAndAsksOnlyTheProgramsWindows) {
    std::wstring log = harness::NewTempDir() + L"\\shown.log";
    ASSERT_TRUE(harness::WriteBytes(log, "x\n"));
    ASSERT_TRUE(OpenLogFile(log.c_str()));
    ASSERT_TRUE(EnterInstanceBlock());
    EXPECT_TRUE(ActivateExistingInstance((L"\\\\.\\" + log).c_str()));
    LeaveInstanceBlock();

    HWND foreign = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, foreign);
    staticProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(foreign, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
    ASSERT_TRUE(lockShare());
    int free = 0;
    while (free < kInstanceSlots && share.slots[free].window) ++free;
    ASSERT_LT(free, kInstanceSlots);
    share.slots[free] = InstanceSlot{Handle(foreign), GetCurrentProcessId(), GetCurrentThreadId(),
                                     static_cast<uint16_t>(GetClassLongW(foreign, GCW_ATOM)), 0};
    unlockShare();
    queriesSeen = 0;
    EXPECT_FALSE(ActivateExistingInstance(log.c_str()));
    EXPECT_EQ(0, queriesSeen);
    EXPECT_EQ(0u, share.slots[free].window);
    DestroyWindow(foreign);
}

namespace {

// Instances that answer only after three seconds, each on a thread of its own.
LONG slowAsked = 0;

LRESULT CALLBACK SlowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_BRINDLE_QUERY) {
        InterlockedIncrement(&slowAsked);
        Sleep(3000);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

struct SlowInstance {
    HANDLE thread = nullptr;
    DWORD threadId = 0;
    HWND window = nullptr;
    HANDLE ready = nullptr;
};

DWORD WINAPI RunSlowInstance(void* parameter) {
    auto* slow = static_cast<SlowInstance*>(parameter);
    slow->window = CreateWindowExW(0, kMainWindowClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                   GetModuleHandleW(L"kernel32.dll"), nullptr);
    SetEvent(slow->ready);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    if (slow->window) DestroyWindow(slow->window);
    return 0;
}

}  // namespace

// Eight instances of the program's class that each take three seconds to answer: a start asks
// them one double-click time each only until two seconds are spent, then gives up on the rest.
// With a double-click time of 1.5 s, the second ask waits only for the half second left: the
// search ends after two seconds, not after three (each ask waiting its full time) or twelve (no
// budget).
TEST_F(InstanceBlock, SlowInstancesHoldASearchAtMostTwoSeconds) {
    WNDCLASSEXW slowClass{sizeof(slowClass)};
    slowClass.lpfnWndProc = SlowProc;
    slowClass.hInstance = GetModuleHandleW(L"kernel32.dll");
    slowClass.lpszClassName = kMainWindowClass;
    ASSERT_NE(0, RegisterClassExW(&slowClass));
    SlowInstance slow[8];
    for (SlowInstance& s : slow) {
        s.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        s.thread = CreateThread(nullptr, 0, RunSlowInstance, &s, 0, &s.threadId);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(s.ready, 5000));
        ASSERT_NE(nullptr, s.window);
    }
    ASSERT_TRUE(lockShare());
    int at = 0;
    for (SlowInstance& s : slow) {
        while (at < kInstanceSlots && share.slots[at].window) ++at;
        ASSERT_LT(at, kInstanceSlots);
        share.slots[at] = InstanceSlot{Handle(s.window), GetCurrentProcessId(), s.threadId,
                                       static_cast<uint16_t>(GetClassLongW(s.window, GCW_ATOM)), 0};
    }
    unlockShare();

    slowAsked = 0;
    const UINT doubleClick = GetDoubleClickTime();
    SetDoubleClickTime(1500);
    const DWORD start = GetTickCount();
    EXPECT_FALSE(ActivateExistingInstance(L"C:\\nowhere\\slow.log"));
    const DWORD spent = GetTickCount() - start;
    SetDoubleClickTime(doubleClick);
    // Asked while the budget lasted; the others counted as not showing the file without a wait.
    EXPECT_EQ(2, slowAsked) << spent << " ms";
    EXPECT_GE(spent, 1900u);
    EXPECT_LT(spent, 2600u);
    for (SlowInstance& s : slow) {
        PostThreadMessageW(s.threadId, WM_QUIT, 0, 0);
        WaitForSingleObject(s.thread, 5000);
        CloseHandle(s.thread);
        CloseHandle(s.ready);
    }
    UnregisterClassW(kMainWindowClass, slowClass.hInstance);
    ASSERT_TRUE(lockShare());
    for (SlowInstance& s : slow)
        for (int i = 0; i < kInstanceSlots; ++i)
            if (share.slots[i].window == Handle(s.window)) share.slots[i] = InstanceSlot{};
    unlockShare();
}
