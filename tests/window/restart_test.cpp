// Choosing a language: "language" is written, the main window is closed, and the program is
// started again on the open file. The program started here is this test executable; the probe
// below makes that second copy report its arguments and leave before any test runs.
#include <gtest/gtest.h>
#include "harness.h"
#include "persist/settings.h"
#include "logsource/logsource.h"
#include "shell/app.h"
#include <shellapi.h>
#include <string>

namespace {

constexpr wchar_t kProbe[] = L"BRINDLE_RESTART_PROBE";

// In the restarted copy: write argc and the first argument to the file the variable names.
struct RestartProbe {
    RestartProbe() {
        wchar_t report[MAX_PATH];
        DWORD n = GetEnvironmentVariableW(kProbe, report, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return;
        int argc = 0;
        wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
        std::wstring text = std::to_wstring(argc) + L"|" + (argc > 1 ? argv[1] : L"");
        HANDLE file = CreateFileW(report, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, text.c_str(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
        CloseHandle(file);
        ExitProcess(0);
    }
} restartProbe;

int closes = 0;
LRESULT CALLBACK CountingWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) { ++closes; return 0; }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::wstring ReadReport(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return L"";
    wchar_t buffer[1024] = L"";
    DWORD got = 0;
    ReadFile(file, buffer, sizeof(buffer) - sizeof(wchar_t), &got, nullptr);
    CloseHandle(file);
    return std::wstring(buffer, got / sizeof(wchar_t));
}

}  // namespace

TEST(LanguageRestart, StoresClosesAndRestartsOnTheSameFile) {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Skelby\\Brindle");
    std::wstring dir = harness::NewTempDir();
    std::wstring log = dir + L"\\my app log.txt";
    ASSERT_TRUE(harness::WriteBytes(log, "one\n"));
    std::wstring report = dir + L"\\report.txt";

    WNDCLASSW wc{};
    wc.lpfnWndProc = CountingWindow;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"RestartTestMain";
    RegisterClassW(&wc);
    HWND main = CreateWindowW(L"RestartTestMain", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, main);

    App savedApp = app;
    HANDLE savedHandle = logSource.handle;
    wchar_t* savedPath = logSource.fullPath;
    std::wstring fullPath = L"\\\\?\\" + log;
    app.mainWindow = main;
    logSource.handle = CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    logSource.fullPath = fullPath.data();
    uint32_t savedLanguage = settings.language;
    closes = 0;

    SetEnvironmentVariableW(kProbe, report.c_str());
    StoreLanguageAndRestart(1051);
    SetEnvironmentVariableW(kProbe, nullptr);

    CloseHandle(logSource.handle);
    logSource.handle = savedHandle;
    logSource.fullPath = savedPath;
    app = savedApp;
    DestroyWindow(main);

    EXPECT_EQ(1, closes);
    EXPECT_EQ(1051u, settings.language);
    DWORD stored = 0, size = sizeof(stored);
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, L"Software\\Skelby\\Brindle", L"language",
                                          RRF_RT_REG_DWORD, nullptr, &stored, &size));
    EXPECT_EQ(1051u, stored);
    ASSERT_TRUE(harness::WaitUntil([&] { return !ReadReport(report).empty(); }, 15000));
    EXPECT_EQ(L"2|" + fullPath, ReadReport(report));

    // No file open: the new instance gets no argument.
    closes = 0;
    DeleteFileW(report.c_str());
    SetEnvironmentVariableW(kProbe, report.c_str());
    StoreLanguageAndRestart(0);
    SetEnvironmentVariableW(kProbe, nullptr);
    EXPECT_EQ(0, closes);   // no main window in this process now
    ASSERT_TRUE(harness::WaitUntil([&] { return !ReadReport(report).empty(); }, 15000));
    EXPECT_EQ(L"1|", ReadReport(report));

    settings.language = savedLanguage;
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Skelby\\Brindle");
}
