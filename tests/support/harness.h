// Helpers shared by the test suites: temporary files, message pumping, and driving brindle.exe
// as a separate process observed through window messages.
#pragma once
#include <windows.h>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace harness {

std::wstring FromUnixPath(const char* unixPath);   // Z:\... under Wine
std::wstring BrindleExe();                          // the built brindle.exe
std::wstring NewTempDir();                          // a fresh folder under %TEMP%
bool WriteBytes(const std::wstring& path, const std::string& bytes);   // create or replace
bool AppendBytes(const std::wstring& path, const std::string& bytes);
std::string Utf8(const std::wstring& text);
std::string ReadBytes(const std::wstring& path);    // whole file, shared with any writer; empty on failure
// Text in a charset of the program: 16/17 UTF-16 LE/BE, 18/19 UTF-32 LE/BE, else a code page.
std::string Encode(uint32_t charset, const std::wstring& text);

void Pump(DWORD milliseconds);                      // dispatch this thread's messages for a while
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);  // pumping meanwhile
// Sends a message from a thread of its own, as another program would, pumping until it returns.
LRESULT SendFromAnotherThread(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A brindle.exe started by a test. `environment` lines are NAME=VALUE, added to the current block.
struct Process {
    std::wstring exe;  // empty: the built brindle.exe
    PROCESS_INFORMATION info{};
    HWND main = nullptr;
    HWND view = nullptr;
    ~Process();  // a process a failed test left running is ended, so ctest is not held up
};
// Starts the process and waits for its visible main window; a process without one is ended.
bool Start(Process& process, const std::wstring& arguments, const std::vector<std::wstring>& environment = {});
// Only starts the process (for start-ups that show a message box before the window).
bool Launch(Process& process, const std::wstring& arguments, const std::vector<std::wstring>& environment = {});
HWND FindMainWindow(DWORD processId, DWORD timeoutMs = 10000);
HWND FindView(HWND main);
int RowCount(HWND view);
std::vector<std::wstring> Rows(HWND view);
std::wstring WindowText(HWND window);
bool WaitForRows(HWND view, int count, DWORD timeoutMs = 5000);
DWORD Close(Process& process, DWORD timeoutMs = 10000);
// Keys through the real input queue, so the program's accelerator table sees them: all pressed in
// order, then released in reverse.
void PressKeys(HWND window, std::initializer_list<BYTE> keys);
// A visible top-level window of that class owned by the process (any process for 0), enabled when
// asked, with the given caption when one is given; FindDialog looks for a dialog (#32770).
HWND FindProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* caption = nullptr,
                       bool enabledOnly = false);
HWND FindDialog(DWORD processId, const wchar_t* caption = nullptr);

// The status bar of a started process: texts and tips are read through a buffer inside it.
HWND StatusBar(const Process& process);
std::wstring StatusText(const Process& process, int part);
std::wstring StatusTip(const Process& process, int part);
HICON StatusIcon(const Process& process, int part);
std::vector<int> StatusEdges(const Process& process);   // right edges of the parts (SB_GETPARTS)
// A click (NM_CLICK) or double click (NM_DBLCLK) in the middle of a part.
void ClickStatus(const Process& process, int part, bool doubleClick = false);
// CF_UNICODETEXT of the clipboard; `present` false when it holds no text.
std::wstring ClipboardText(bool* present = nullptr);   // WM_CLOSE, wait, exit code (kills on timeout)
DWORD WaitExit(Process& process, DWORD timeoutMs = 10000);
// The program's main window in this process, on default settings and an idle Log Source.
HWND NewMainWindow(int showCommand);
void EndMainWindow(HWND main);   // closes the file, destroys the window and forgets its menu
// Memory whose last byte lies right before a page that cannot be touched, with another such page
// right before its first: a read or write past either end faults at once instead of passing unseen.
struct GuardedBuffer {
    BYTE* region = nullptr;
    BYTE* data = nullptr;   // `bytes` bytes, zero-filled; null when the memory could not be had
    explicit GuardedBuffer(SIZE_T bytes);
    ~GuardedBuffer();
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;
};

// A fresh folder whose extended-length path ("\\?\" form) is longer than `units`.
std::wstring NewDeepDir(size_t units);

}  // namespace harness
