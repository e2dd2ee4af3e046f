// Load benchmark: a 64 MB log of short lines loaded into the real view under the largest limits,
// then a writer appending single lines; prints load time, rows per second and append latency.
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "shell/app.h"
#include "view/view.h"
#include "ids.h"
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include "bench_clock.h"

namespace {

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

std::string Line(unsigned n) {
    char text[128];
    int length = snprintf(text, sizeof text, "2026-12-08 03:%02u:%02u.%03u INFO worker-%02u request %07u done in %u ms\n",
                          n / 60000 % 60, n / 1000 % 60, n % 1000, n % 16, n, n % 997);
    return std::string(text, static_cast<size_t>(length));
}

bool WriteLog(const std::wstring& path, uint64_t bytes, unsigned& lines) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string block;
    uint64_t written = 0;
    lines = 0;
    while (written < bytes) {
        block.clear();
        while (block.size() < (1u << 20) && written + block.size() < bytes) block += Line(lines++);
        DWORD done = 0;
        WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &done, nullptr);
        written += done;
    }
    CloseHandle(file);
    return true;
}

bool AppendLine(const std::wstring& path, const std::string& line) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &done, nullptr);
    CloseHandle(file);
    return done == line.size();
}

int Rows() { return static_cast<int>(SendMessageW(app.view, LB_GETCOUNT, 0, 0)); }

std::wstring LastRow() {
    int count = Rows();
    if (count <= 0) return L"";
    wchar_t text[kRowBufferUnits + 1] = L"";
    SendMessageW(app.view, LB_GETTEXT, count - 1, reinterpret_cast<LPARAM>(text));
    return text;
}

// Until the file watcher is in this build, the bench reads like its tick does: 65,536-byte reads
// to the end of the file, each decoded and cut, the rows flushed after the loop.
struct DirectReader {
    HANDLE file = INVALID_HANDLE_VALUE;
    std::vector<char> bytes = std::vector<char>(kReadSize);
    uint64_t rowsRead = 0;

    bool Open(const std::wstring& path, uint64_t tailBytes) {
        file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        LARGE_INTEGER size{};
        GetFileSizeEx(file, &size);
        LARGE_INTEGER start;
        start.QuadPart = size.QuadPart > static_cast<LONGLONG>(tailBytes) ? size.QuadPart - tailBytes : 0;
        SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
        SendMessageW(app.view, LB_RESETCONTENT, 0, 0);
        ResetRowState();
        return true;
    }

    void Tick() {
        uint32_t limit = settings.wrapLines ? settings.rowLength : kMaxRowLimit;
        bool appended = false, longer = false, first = true, held = false;
        DWORD startTick = 0;
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(file, bytes.data(), kReadSize, &got, nullptr) || !got) break;
            if (first) startTick = GetTickCount();
            else if (!held && GetTickCount() - startTick > 100) {
                SendMessageW(app.view, WM_SETREDRAW, FALSE, 0);
                held = true;
            }
            int units = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(got), logSource.textBuffer,
                                            static_cast<int>(kReadSize));
            AppendResult r = AppendUnits(static_cast<uint32_t>(units), limit, AutoscrollLocked());
            appended |= r.appended;
            longer |= r.longestGrew;
            first = false;
        }
        FlushRows();
        if (appended && !AutoscrollLocked()) ScrollToEnd();
        if (held) SendMessageW(app.view, WM_SETREDRAW, TRUE, 0);
        if (longer) UpdateHorizontalExtent();
    }
};

void Report(const char* what, double seconds, uint64_t rows) {
    printf("%-44s %9.3f s  %12.0f rows/s\n", what, seconds, rows / seconds);
}

}  // namespace

int main() {
    setvbuf(stdout, nullptr, _IONBF, 0);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    SetDefaultSettings();
    settings.kbLimit = 65535;
    settings.linesLimit = 65535;
    InitLogSource();
    if (!logSource.textBuffer) logSource.textBuffer = new wchar_t[kReadSize]();
    InitViewResources();
    if (!RegisterMainWindowClass(instance) || !CreateMainWindow(instance, SW_SHOWNOACTIVATE) || !app.view) {
        printf("no main window\n");
        return 1;
    }
    Pump();

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring dir = std::wstring(temp) + L"brindle-load-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    std::wstring path = dir + L"\\big.log";
    unsigned lines = 0;
    double t0 = Now();
    if (!WriteLog(path, 64ull << 20, lines)) {
        printf("cannot write %ls\n", path.c_str());
        return 1;
    }
    printf("file: 64 MB, %u lines, written in %.2f s\n", lines, Now() - t0);

    // Load: the real watcher when it is in this build, else the same reading driven here.
    DirectReader direct;
    bool real = OpenLogFile(path.c_str());
    printf("reader: %s\n", real ? "OpenLogFile + surveillance tick" : "direct AppendUnits + FlushRows");
    uint64_t tailRows = 0;
    double loadStart = Now();
    if (real) {
        while (Rows() < static_cast<int>(settings.linesLimit) && Now() - loadStart < 120) {
            OnLogTimer(TIMER_SURVEILLANCE);
            Pump();
        }
        tailRows = static_cast<uint64_t>(settings.kbLimit) * 1024 / Line(0).size();
    } else {
        direct.Open(path, static_cast<uint64_t>(settings.kbLimit) * 1024);
        direct.Tick();
        tailRows = lines;   // the whole 64 MB lies within the 65,535 KB limit
    }
    UpdateWindow(app.view);
    double loadSeconds = Now() - loadStart;
    Report("load (64 MB tail, 65,535-row limit)", loadSeconds, tailRows);
    printf("view: %d rows, last \"%ls\"\n", Rows(), LastRow().c_str());

    // The list box's own costs at this size, which decide between deleting and rebuilding.
    {
        const int n = 1000;
        std::wstring row = LastRow();
        std::vector<wchar_t> text(kRowBufferUnits + 1);
        SendMessageW(app.view, WM_SETREDRAW, FALSE, 0);
        double a = Now();
        for (int i = 0; i < n; ++i) SendMessageW(app.view, LB_DELETESTRING, 0, 0);
        double b = Now();
        for (int i = 0; i < n; ++i) SendMessageW(app.view, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
        double c = Now();
        for (int i = 0; i < n; ++i) {
            SendMessageW(app.view, LB_GETTEXTLEN, i, 0);
            SendMessageW(app.view, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        }
        double d = Now();
        SendMessageW(app.view, WM_SETREDRAW, TRUE, 0);
        printf("list box at %d rows, per call: delete row 0 %.2f us, add %.2f us, read back %.2f us\n", Rows(),
               (b - a) * 1e6 / n, (c - b) * 1e6 / n, (d - c) * 1e6 / n);
        if (tailRows > settings.linesLimit)
            printf("trimming that load row by row would spend about %.1f s in deletions alone\n",
                   (tailRows - settings.linesLimit) * (b - a) / n);
    }

    // A writer appending single lines; latency from the write until the row is in the view.
    std::vector<double> latencies;
    for (unsigned i = 0; i < 200; ++i) {
        std::string line = Line(lines + i);
        std::wstring expected(line.begin(), line.end() - 1);
        double start = Now();
        AppendLine(path, line);
        for (;;) {
            if (real) {
                Pump();
                MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
            } else {
                direct.Tick();
                UpdateWindow(app.view);
            }
            if (LastRow() == expected) break;
            if (Now() - start > 5) break;
        }
        latencies.push_back((Now() - start) * 1000);
    }
    std::sort(latencies.begin(), latencies.end());
    double sum = 0;
    for (double l : latencies) sum += l;
    printf("append latency over %zu single lines: median %.3f ms, mean %.3f ms, max %.3f ms%s\n", latencies.size(),
           latencies[latencies.size() / 2], sum / latencies.size(), latencies.back(),
           real ? " (includes the 10 ms timer)" : " (read, cut, flush, scroll, paint; no timer)");
    printf("view: %d rows\n", Rows());

    // A burst while the view is full: the trimming cost of one tick for several burst sizes.
    if (!real) {
        for (unsigned burst : {10u, 100u, 1000u, 10000u, 60000u}) {
            std::string text;
            for (unsigned i = 0; i < burst; ++i) text += Line(lines + 1000 + i);
            AppendLine(path, text);
            double start = Now();
            direct.Tick();
            char what[64];
            snprintf(what, sizeof what, "burst of %u rows onto a full view", burst);
            Report(what, Now() - start, burst);
        }
        printf("view: %d rows\n", Rows());
    }

    if (real) CloseLogFile();
    if (direct.file != INVALID_HANDLE_VALUE) CloseHandle(direct.file);
    DestroyWindow(app.mainWindow);
    DeleteFileW(path.c_str());
    RemoveDirectoryW(dir.c_str());
    return 0;
}
