// Shrink benchmark: brindle.exe watching a large sparse log that is cut to a size still far above
// the kilobyte limit, observed from outside as a user meets it: seconds from the cut to the last
// row readable, and from the start to the first load for comparison.
//
//   shrink_bench.exe                          a 6 GB log cut to 5 GB
//   BRINDLE_SHRINK_MB=from,to                 other sizes in MB
//   BRINDLE_SHRINK_TIMEOUT=seconds            how long to wait for the row (default 600)
//   BRINDLE_E2E_EXE=path                      another build of the exe
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "bench_clock.h"
#include "bench_exe.h"

namespace {

double Setting(const wchar_t* name, int index, double fallback) {
    wchar_t value[64] = L"";
    if (!GetEnvironmentVariableW(name, value, 64)) return fallback;
    wchar_t* at = value;
    for (int i = 0; i < index && at; ++i) {
        at = wcschr(at, L',');
        if (at) ++at;
    }
    return at && *at ? _wtof(at) : fallback;
}

// The file's size becomes `size` and ends in `tail`; what lies before the tail is a hole that
// costs no disk. The pointer is left at the end.
bool CutOrGrow(HANDLE file, uint64_t size, const std::string& tail) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size - tail.size());
    DWORD written = 0;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file) &&
           WriteFile(file, tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr) && written == tail.size();
}

// The last row's text, asked with a time-out: the program answers only between its ticks.
std::wstring LastRow(HWND view) {
    DWORD_PTR count = 0, length = 0;
    if (!SendMessageTimeoutW(view, LB_GETCOUNT, 0, 0, SMTO_NORMAL, 1000, &count) || LRESULT(count) <= 0) return L"";
    if (!SendMessageTimeoutW(view, LB_GETTEXTLEN, count - 1, 0, SMTO_NORMAL, 1000, &length) || LRESULT(length) > 64) return L"";
    wchar_t row[80] = L"";
    SendMessageTimeoutW(view, LB_GETTEXT, count - 1, reinterpret_cast<LPARAM>(row), SMTO_NORMAL, 1000, &length);
    return row;
}

bool WaitLastRow(HWND view, const wchar_t* text, double timeout) {
    for (double start = Now(); Now() - start < timeout; Sleep(1))
        if (LastRow(view) == text) return true;
    return false;
}

}  // namespace

int main() {
    const uint64_t mb = 1024 * 1024;
    const uint64_t from = static_cast<uint64_t>(Setting(L"BRINDLE_SHRINK_MB", 0, 6144)) * mb;
    const uint64_t to = static_cast<uint64_t>(Setting(L"BRINDLE_SHRINK_MB", 1, 5120)) * mb;
    const double timeout = Setting(L"BRINDLE_SHRINK_TIMEOUT", 0, 600);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t path[MAX_PATH];
    wsprintfW(path, L"%sbrindle-shrink-%lu.log", temp, GetCurrentProcessId());

    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    // Each marker follows a line feed, so the line cut by the kilobyte limit is never the marker.
    if (file == INVALID_HANDLE_VALUE || !CutOrGrow(file, from, "\nbefore the cut\n")) {
        printf("cannot make the %llu MB log: error %lu\n", from / mb, GetLastError());
        return 1;
    }

    std::wstring command = L"\"" + ExePath() + L"\" \"" + path + L"\"";
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION process{};
    const double started = Now();
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        printf("cannot start %ls: error %lu\n", command.c_str(), GetLastError());
        return 1;
    }
    WindowSearch search{process.dwProcessId, nullptr};
    HWND view = nullptr;
    for (; !view && Now() - started < 60; Sleep(2)) {
        EnumWindows(FindMain, reinterpret_cast<LPARAM>(&search));
        view = search.found ? FindWindowExW(search.found, nullptr, L"LISTBOX", nullptr) : nullptr;
    }
    int status = 1;
    if (!view) {
        printf("no window\n");
    } else if (!WaitLastRow(view, L"before the cut", 60)) {
        printf("the %llu MB log did not load\n", from / mb);
    } else {
        printf("start to last row of the %llu MB log:  %8.3f s\n", from / mb, Now() - started);
        const double cut = Now();
        if (!CutOrGrow(file, to, "\nafter the cut\n")) {
            printf("cannot cut the log: error %lu\n", GetLastError());
        } else if (WaitLastRow(view, L"after the cut", timeout)) {
            printf("cut to %llu MB, to last row readable: %8.3f s\n", to / mb, Now() - cut);
            status = 0;
        } else {
            printf("cut to %llu MB: no last row within %.0f s\n", to / mb, timeout);
        }
    }
    if (search.found) PostMessageW(search.found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(file);
    DeleteFileW(path);
    return status;
}
