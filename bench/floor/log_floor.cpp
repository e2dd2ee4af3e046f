// The speed floor of the end-to-end bench: the least a program can do to follow a log with the
// platform's list box. A bare window with a list box of the view's style and font that, on a
// 10 ms timer, reads what the file gained, cuts UTF-8 lines and adds them at the bottom, trimmed
// to the row limit, scrolled to the end. No charsets, wrapping, status bar or menus.
//
//   log_floor.exe FILE ROWS KB [anything]   ROWS: row limit; KB: the tail read at start
#include "persist/history.h"
#include "persist/settings.h"
#include "shell/platform.h"
#include "view/view.h"
#include <windows.h>
#include <shellapi.h>
#include <string>
#include <vector>

namespace {

struct FloorState {
    HWND window, view;
    HANDLE file;
    uint64_t offset;                // next byte to read
    size_t rowLimit;
    bool skipFirstRow;              // the tail starts inside a line
    bool atStart;                   // a byte-order mark may come first
    std::string carry;              // bytes of the unfinished last line
    std::vector<char> bytes;        // carry + one read
    std::vector<wchar_t> text;
    std::vector<std::wstring> ring; // the newest rows of this tick, at most rowLimit
    size_t head, count;
};

FloorState state;

constexpr DWORD kReadBytes = 65536;

void KeepRow(const wchar_t* row, size_t length) {
    FloorState& f = state;
    if (f.skipFirstRow) {
        f.skipFirstRow = false;
        return;
    }
    if (length && row[length - 1] == L'\r') --length;
    // Slots are reused from tick to tick; the ring grows up to the row limit only on a backlog.
    size_t at = (f.head + f.count) % f.rowLimit;
    if (at == f.ring.size()) f.ring.emplace_back();
    f.ring[at].assign(row, length);
    if (f.count == f.rowLimit) f.head = (f.head + 1) % f.rowLimit;
    else ++f.count;
}

// Whole lines of the carried and the read bytes are decoded in one call and cut at line feeds.
void CutLines(size_t total) {
    FloorState& f = state;
    size_t start = 0;
    if (f.atStart && total >= 3 && memcmp(f.bytes.data(), "\xEF\xBB\xBF", 3) == 0) start = 3;
    f.atStart = false;
    size_t end = total;
    while (end > start && f.bytes[end - 1] != '\n') --end;
    // A line longer than a read is cut there, so that the carry always fits beside the next read.
    if (total - end >= kReadBytes) end = total;
    if (end > start) {
        int units = MultiByteToWideChar(CP_UTF8, 0, f.bytes.data() + start, static_cast<int>(end - start),
                                        f.text.data(), static_cast<int>(f.text.size()));
        const wchar_t* row = f.text.data();
        for (int i = 0; i < units; ++i) {
            if (f.text[i] != L'\n') continue;
            KeepRow(row, f.text.data() + i - row);
            row = f.text.data() + i + 1;
        }
    }
    f.carry.assign(f.bytes.data() + end, total - end);
}

void Tick() {
    FloorState& f = state;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(f.file, &size) || static_cast<uint64_t>(size.QuadPart) == f.offset) return;
    if (static_cast<uint64_t>(size.QuadPart) < f.offset) {
        SendMessageW(f.view, LB_RESETCONTENT, 0, 0);
        f.offset = 0;
        f.carry.clear();
        SetFilePointer(f.file, 0, nullptr, FILE_BEGIN);
    }
    for (;;) {
        CopyMemory(f.bytes.data(), f.carry.data(), f.carry.size());
        DWORD got = 0;
        if (!ReadFile(f.file, f.bytes.data() + f.carry.size(), kReadBytes, &got, nullptr) || !got) break;
        f.offset += got;
        CutLines(f.carry.size() + got);
    }
    if (!f.count) return;

    size_t have = static_cast<size_t>(SendMessageW(f.view, LB_GETCOUNT, 0, 0));
    size_t drop = have + f.count > f.rowLimit ? have + f.count - f.rowLimit : 0;
    bool batch = f.count + drop > 1;
    if (batch) SendMessageW(f.view, WM_SETREDRAW, FALSE, 0);
    if (drop >= have) SendMessageW(f.view, LB_RESETCONTENT, 0, 0);
    else
        for (size_t i = 0; i < drop; ++i) SendMessageW(f.view, LB_DELETESTRING, 0, 0);
    for (size_t i = 0; i < f.count; ++i)
        SendMessageW(f.view, LB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(f.ring[(f.head + i) % f.rowLimit].c_str()));
    SendMessageW(f.view, LB_SETTOPINDEX, SendMessageW(f.view, LB_GETCOUNT, 0, 0) - 1, 0);
    if (batch) SendMessageW(f.view, WM_SETREDRAW, TRUE, 0);
    f.head = f.count = 0;
    // A large load's rows are not kept twice.
    if (f.ring.size() > 1024) std::vector<std::wstring>().swap(f.ring);
}

LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        Tick();
        return 0;
    case WM_SIZE:
        if (state.view) MoveWindow(state.view, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_SETFOCUS:
        if (state.view) SetFocus(state.view);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 4) return 2;
    FloorState& f = state;
    f.rowLimit = wcstoul(argv[2], nullptr, 10);
    uint64_t tail = static_cast<uint64_t>(wcstoul(argv[3], nullptr, 10)) * 1024;
    if (!f.rowLimit) return 2;
    f.file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
    if (f.file == INVALID_HANDLE_VALUE) return 1;
    LARGE_INTEGER size{};
    GetFileSizeEx(f.file, &size);
    if (static_cast<uint64_t>(size.QuadPart) > tail) {
        f.offset = size.QuadPart - tail;
        f.skipFirstRow = true;
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(f.offset);
        SetFilePointerEx(f.file, at, nullptr, FILE_BEGIN);
    }
    f.atStart = f.offset == 0;
    f.bytes.resize(kReadBytes * 2);   // a carried line is shorter than a read
    f.text.resize(kReadBytes * 2);

    // The view's font as the user set it in the registry, and its border as the program decides it.
    BindOptionalApi();
    InitHistory();
    LoadSettings();
    WNDCLASSW wc{};
    wc.lpfnWndProc = FloorProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"W";
    RegisterClassW(&wc);
    f.window = CreateWindowExW(0, L"W", L"floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    f.view = CreateWindowExW(ViewExtendedStyle(themeState() != 0, isWindowsAtLeast(kWindowsVista)), L"LISTBOX", L"", kViewStyle, 0, 0, 0, 0,
                             f.window, nullptr, instance, nullptr);
    if (!f.window || !f.view) return 1;
    SendMessageW(f.view, WM_SETFONT, reinterpret_cast<WPARAM>(CreateFontIndirectW(&settings.font)), FALSE);
    RECT client;
    GetClientRect(f.window, &client);
    MoveWindow(f.view, 0, 0, client.right, client.bottom, FALSE);
    ShowWindow(f.view, SW_SHOW);   // the view's style has no WS_VISIBLE: the program's layout shows it
    ShowWindow(f.window, SW_SHOWNORMAL);
    SetFocus(f.view);
    SetTimer(f.window, 1, 10, nullptr);
    PostMessageW(f.window, WM_TIMER, 1, 0);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    LocalFree(argv);
    return 0;
}
