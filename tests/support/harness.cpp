// Test helpers: files, pumping, and a brindle.exe process seen from outside.
#include "harness.h"
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "shell/app.h"
#include <atomic>
#include <commctrl.h>
#include <iterator>

namespace harness {

std::wstring FromUnixPath(const char* unixPath) {
    std::wstring out = L"Z:";
    for (const char* p = unixPath; *p; ++p) out += (*p == '/') ? L'\\' : static_cast<wchar_t>(*p);
    return out;
}

std::wstring BrindleExe() {
#ifdef BRINDLE_EXE_UNIX
    return FromUnixPath(BRINDLE_EXE_UNIX);
#else
    return L"brindle.exe";
#endif
}

std::wstring NewTempDir() {
    static std::atomic<int> counter{0};
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    wchar_t dir[MAX_PATH];
    wsprintfW(dir, L"%sbrindle-%lu-%lu-%d", base, GetCurrentProcessId(), GetTickCount(), counter++);
    CreateDirectoryW(dir, nullptr);
    return dir;
}

static bool WriteWith(const std::wstring& path, const std::string& bytes, DWORD disposition) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    if (disposition == OPEN_ALWAYS) SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD written = 0;
    BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

GuardedBuffer::GuardedBuffer(SIZE_T bytes) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const SIZE_T page = info.dwPageSize, body = (bytes + page - 1) / page * page;
    region = static_cast<BYTE*>(VirtualAlloc(nullptr, body + 2 * page, MEM_RESERVE, PAGE_NOACCESS));
    if (region && VirtualAlloc(region + page, body, MEM_COMMIT, PAGE_READWRITE)) data = region + page + body - bytes;
}

GuardedBuffer::~GuardedBuffer() {
    if (region) VirtualFree(region, 0, MEM_RELEASE);
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) { return WriteWith(path, bytes, CREATE_ALWAYS); }
bool AppendBytes(const std::wstring& path, const std::string& bytes) { return WriteWith(path, bytes, OPEN_ALWAYS); }

std::string Utf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    std::string bytes;
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char block[4096];
    DWORD got = 0;
    while (ReadFile(file, block, sizeof(block), &got, nullptr) && got) bytes.append(block, got);
    CloseHandle(file);
    return bytes;
}

std::string Encode(uint32_t charset, const std::wstring& text) {
    std::string out;
    if (charset >= 16 && charset <= 19) {
        const bool little = charset % 2 == 0;
        const int width = charset <= 17 ? 2 : 4;
        for (size_t i = 0; i < text.size(); ++i) {
            uint32_t v = text[i];
            if (width == 4 && v >= 0xD800 && v <= 0xDBFF && i + 1 < text.size())
                v = 0x10000 + ((v - 0xD800) << 10) + (text[++i] - 0xDC00);
            for (int b = 0; b < width; ++b) out += char(v >> (little ? 8 * b : 8 * (width - 1 - b)));
        }
        return out;
    }
    int n = WideCharToMultiByte(charset, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    out.resize(n);
    WideCharToMultiByte(charset, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

void Pump(DWORD milliseconds) {
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (GetTickCount() - start >= milliseconds) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (GetTickCount() - start < milliseconds);
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start > timeoutMs) return done();
        Pump(10);
    }
}

namespace {

struct ForeignSend {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result;
};

DWORD WINAPI SendForeign(void* parameter) {
    auto* m = static_cast<ForeignSend*>(parameter);
    m->result = SendMessageW(m->window, m->message, m->wParam, m->lParam);
    return 0;
}

}  // namespace

LRESULT SendFromAnotherThread(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ForeignSend send{window, message, wParam, lParam, -1};
    HANDLE thread = CreateThread(nullptr, 0, SendForeign, &send, 0, nullptr);
    if (!thread) return -1;
    WaitUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 10000);
    CloseHandle(thread);
    return send.result;
}

bool Launch(Process& process, const std::wstring& arguments, const std::vector<std::wstring>& environment) {
    std::wstring commandLine = L"\"" + (process.exe.empty() ? BrindleExe() : process.exe) + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    std::wstring block;
    if (!environment.empty()) {
        wchar_t* current = GetEnvironmentStringsW();
        for (const wchar_t* p = current; *p; p += wcslen(p) + 1) {
            std::wstring entry = p;
            bool replaced = false;
            for (const auto& e : environment)
                if (_wcsnicmp(entry.c_str(), e.c_str(), e.find(L'=') + 1) == 0) replaced = true;
            if (!replaced) block += entry + L'\0';
        }
        FreeEnvironmentStringsW(current);
        for (const auto& e : environment) block += e + L'\0';
        block += L'\0';
    }
    STARTUPINFOW si{sizeof(si)};
    std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(0);
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE,
                        environment.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT,
                        environment.empty() ? nullptr : block.data(), nullptr, &si, &process.info))
        return false;
    return true;
}

bool Start(Process& process, const std::wstring& arguments, const std::vector<std::wstring>& environment) {
    if (!Launch(process, arguments, environment)) return false;
    process.main = FindMainWindow(process.info.dwProcessId);
    process.view = process.main ? FindView(process.main) : nullptr;
    if (!process.main) WaitExit(process, 0);  // ends it: a stray process would hold the test's output open
    return process.main != nullptr;
}

HWND FindMainWindow(DWORD processId, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] {
        for (HWND w = FindWindowW(L"W", nullptr); w; w = FindWindowExW(nullptr, w, L"W", nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == processId && IsWindowVisible(w)) { found = w; return true; }
        }
        return false;
    }, timeoutMs);
    return found;
}

HWND FindView(HWND main) { return FindWindowExW(main, nullptr, L"LISTBOX", nullptr); }

int RowCount(HWND view) { return static_cast<int>(SendMessageW(view, LB_GETCOUNT, 0, 0)); }

std::vector<std::wstring> Rows(HWND view) {
    std::vector<std::wstring> rows;
    int count = RowCount(view);
    for (int i = 0; i < count; ++i) {
        LRESULT length = SendMessageW(view, LB_GETTEXTLEN, i, 0);
        if (length < 0) break;
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        LRESULT got = SendMessageW(view, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        text.resize(got < 0 ? 0 : static_cast<size_t>(got));
        rows.push_back(text);
    }
    return rows;
}

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = L"";
    SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

bool WaitForRows(HWND view, int count, DWORD timeoutMs) {
    return WaitUntil([&] { return RowCount(view) == count; }, timeoutMs);
}

Process::~Process() {
    if (info.hProcess) WaitExit(*this, 0);
}

DWORD WaitExit(Process& process, DWORD timeoutMs) {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.info.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.info.hProcess, 99);
        WaitForSingleObject(process.info.hProcess, 5000);
    }
    GetExitCodeProcess(process.info.hProcess, &code);
    CloseHandle(process.info.hProcess);
    CloseHandle(process.info.hThread);
    process.info = {};
    return code;
}

DWORD Close(Process& process, DWORD timeoutMs) {
    if (process.main) PostMessageW(process.main, WM_CLOSE, 0, 0);
    return WaitExit(process, timeoutMs);
}

void PressKeys(HWND window, std::initializer_list<BYTE> keys) {
    SetForegroundWindow(window);
    WaitUntil([&] { return GetForegroundWindow() == window; }, 2000);
    for (BYTE k : keys) keybd_event(k, 0, 0, 0);
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) keybd_event(*it, 0, KEYEVENTF_KEYUP, 0);
}

namespace {

struct WindowSearch { DWORD processId; const wchar_t* className; const wchar_t* caption; bool enabledOnly; HWND found; };

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    if ((search->processId && pid != search->processId) || lstrcmpW(name, search->className) != 0 || !IsWindowVisible(window))
        return TRUE;
    if (search->enabledOnly && !IsWindowEnabled(window)) return TRUE;
    if (search->caption && WindowText(window) != search->caption) return TRUE;
    search->found = window;
    return FALSE;
}

// A buffer inside the observed process for the status bar's answers.
std::wstring AskStatus(const Process& process, int part, bool tip) {
    HWND bar = StatusBar(process);
    if (!bar) return L"";
    constexpr SIZE_T units = 1024;
    void* remote = VirtualAllocEx(process.info.hProcess, nullptr, units * sizeof(wchar_t), MEM_COMMIT | MEM_RESERVE,
                                  PAGE_READWRITE);
    if (!remote) return L"";
    std::wstring text(units, L'\0');
    WriteProcessMemory(process.info.hProcess, remote, text.data(), units * sizeof(wchar_t), nullptr);
    if (tip) SendMessageW(bar, SB_GETTIPTEXTW, MAKEWPARAM(part, units), reinterpret_cast<LPARAM>(remote));
    else if (SendMessageW(bar, SB_GETTEXTLENGTHW, part, 0) & 0xFFFF) SendMessageW(bar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process.info.hProcess, remote, text.data(), units * sizeof(wchar_t), nullptr);
    VirtualFreeEx(process.info.hProcess, remote, 0, MEM_RELEASE);
    text.resize(wcsnlen(text.c_str(), units - 1));
    return text;
}

}  // namespace

HWND FindProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* caption, bool enabledOnly) {
    WindowSearch search{processId, className, caption, enabledOnly, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindDialog(DWORD processId, const wchar_t* caption) { return FindProcessWindow(processId, L"#32770", caption); }

HWND NewMainWindow(int showCommand) {
    SetDefaultSettings();
    InitLogSource();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    return RegisterMainWindowClass(instance) ? CreateMainWindow(instance, showCommand) : nullptr;
}

void EndMainWindow(HWND main) {
    CloseLogFile();
    if (IsWindow(main)) DestroyWindow(main);  // destroys its menu too
    Pump(20);
    app.mainMenu = nullptr;
}

std::wstring NewDeepDir(size_t units) {
    std::wstring dir = L"\\\\?\\" + NewTempDir();
    for (wchar_t part = L'a'; dir.size() <= units; ++part) {
        dir += L"\\" + std::wstring(200, part);
        if (!CreateDirectoryW(dir.c_str(), nullptr)) return L"";
    }
    return dir;
}

HWND StatusBar(const Process& process) {
    return process.main ? FindWindowExW(process.main, nullptr, STATUSCLASSNAMEW, nullptr) : nullptr;
}

std::wstring StatusText(const Process& process, int part) { return AskStatus(process, part, false); }
std::wstring StatusTip(const Process& process, int part) { return AskStatus(process, part, true); }

HICON StatusIcon(const Process& process, int part) {
    HWND bar = StatusBar(process);
    return bar ? reinterpret_cast<HICON>(SendMessageW(bar, SB_GETICON, part, 0)) : nullptr;
}

std::vector<int> StatusEdges(const Process& process) {
    HWND bar = StatusBar(process);
    std::vector<int> edges;
    int parts = bar ? static_cast<int>(SendMessageW(bar, SB_GETPARTS, 0, 0)) : 0;
    if (parts <= 0 || parts > 256) return edges;
    edges.resize(static_cast<size_t>(parts));
    SIZE_T bytes = edges.size() * sizeof(int);
    void* remote = VirtualAllocEx(process.info.hProcess, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return {};
    SendMessageW(bar, SB_GETPARTS, parts, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process.info.hProcess, remote, edges.data(), bytes, nullptr);
    VirtualFreeEx(process.info.hProcess, remote, 0, MEM_RELEASE);
    return edges;
}

void ClickStatus(const Process& process, int part, bool doubleClick) {
    HWND bar = StatusBar(process);
    std::vector<int> edges = StatusEdges(process);
    if (!bar || part < 0 || static_cast<size_t>(part) >= edges.size()) return;
    RECT client{};
    GetClientRect(bar, &client);
    int left = part == 0 ? 0 : edges[part - 1];
    int right = edges[part] < 0 ? client.right : edges[part];
    LPARAM at = MAKELPARAM((left + right) / 2, client.bottom / 2);
    PostMessageW(bar, doubleClick ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(bar, WM_LBUTTONUP, 0, at);
}

std::wstring ClipboardText(bool* present) {
    std::wstring text;
    bool has = false;
    if (WaitUntil([] { return OpenClipboard(nullptr) != 0; }, 2000)) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* units = static_cast<const wchar_t*>(GlobalLock(data))) {
                text = units;
                has = true;
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
    }
    if (present) *present = has;
    return text;
}

}  // namespace harness
