// The watched file's properties stream: window placement per file, and the guarded key writes.
#include "persist/properties.h"
#include "persist/settings.h"
#include "logsource/logsource.h"
#include "shell/app.h"

namespace {

constexpr wchar_t kPositionSection[] = L"Position";

// Whether fullPath still names the file behind the open handle (not renamed away or deleted).
bool PathNamesOpenFile() {
    bool same = false;
    return CompareWatchedPath(&same) && same;
}

void WriteNumber(const wchar_t* key, int value) {
    wchar_t text[63];
    wsprintfW(text, L"%d", value);
    WritePrivateProfileStringW(kPositionSection, key, text, logSource.propertiesPath);
}

int ReadNumber(const wchar_t* key) {
    return static_cast<int>(GetPrivateProfileIntW(kPositionSection, key, 0, logSource.propertiesPath));
}

// Anyone who can write the file can write its stream. Within these bounds every sum and
// difference of the placement fits an int, and no screen reaches past them.
constexpr int kCoordinateLimit = 0x7FFF;

int ReadCoordinate(const wchar_t* key) {
    int value = ReadNumber(key);
    return value < -kCoordinateLimit ? -kCoordinateLimit : value > kCoordinateLimit ? kCoordinateLimit : value;
}

bool FileSize(HANDLE file, LARGE_INTEGER* size) { return GetFileSizeEx(file, size) != 0; }

// The stream's writes change the time stamps the file shares with it; a line appended meanwhile
// brings its own time, which stays.
void PutBackWriteTime(const FILETIME& written, const LARGE_INTEGER& sizeThen) {
    LARGE_INTEGER sizeNow;
    if (!FileSize(logSource.handle, &sizeNow) || sizeNow.QuadPart != sizeThen.QuadPart) return;
    HANDLE stream = CreateFileW(logSource.propertiesPath, FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (stream == INVALID_HANDLE_VALUE) return;
    SetFileTime(stream, nullptr, nullptr, &written);
    CloseHandle(stream);
}

}  // namespace

RestorePlan PlanRestore(const StoredPosition& p, int showCommand) {
    // A width or height of 0 or less was never a window: it counts as absent.
    int minimizedShow = p.minimized ? SW_SHOWMINNOACTIVE : showCommand;
    if (p.width > 0 && !p.maximized) return {p.height > 0, minimizedShow};
    if (p.maximized) return {false, SW_SHOWMAXIMIZED};
    return {false, minimizedShow};
}

RECT FitIntoArea(const RECT& rect, const RECT& area) {
    LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
    LONG areaWidth = area.right - area.left, areaHeight = area.bottom - area.top;
    if (width > areaWidth) width = areaWidth;
    if (height > areaHeight) height = areaHeight;
    LONG left = rect.left, top = rect.top;
    if (left < area.left) left = area.left;
    if (left + width > area.right) left = area.right - width;
    if (top < area.top) top = area.top;
    if (top + height > area.bottom) top = area.bottom - height;
    return RECT{left, top, left + width, top + height};
}

bool WriteFileProperty(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    if (!PathNamesOpenFile()) return false;
    return WritePrivateProfileStringW(section, key, value, logSource.propertiesPath) != 0;
}

void SaveWindowPosition() {
    LogSource& s = logSource;
    if (!settings.savePosition || !s.handle || !app.mainWindow) return;
    if (!PathNamesOpenFile()) return;
    FILETIME written;
    LARGE_INTEGER sizeThen;
    bool timeTaken = GetFileTime(s.handle, nullptr, nullptr, &written) && FileSize(s.handle, &sizeThen);

    HWND window = app.mainWindow;
    RECT r;
    if (!IsIconic(window) && GetWindowRect(window, &r)) {
        WriteNumber(L"X", r.left);
        WriteNumber(L"Y", r.top);
        WriteNumber(L"Width", r.right - r.left);
        WriteNumber(L"Height", r.bottom - r.top);
    }
    bool maximized = IsZoomed(window) != 0, minimized = !maximized && IsIconic(window);
    WritePrivateProfileStringW(kPositionSection, L"Maximized", maximized ? L"1" : nullptr, s.propertiesPath);
    WritePrivateProfileStringW(kPositionSection, L"Minimized", minimized ? L"1" : nullptr, s.propertiesPath);

    if (timeTaken) PutBackWriteTime(written, sizeThen);
}

int RestoreWindowPosition(int showCommand) {
    if (!settings.savePosition || !logSource.handle || !app.mainWindow) return showCommand;
    StoredPosition stored{ReadCoordinate(L"X"), ReadCoordinate(L"Y"), ReadCoordinate(L"Width"), ReadCoordinate(L"Height"),
                          ReadNumber(L"Maximized"), ReadNumber(L"Minimized")};
    RestorePlan plan = PlanRestore(stored, showCommand);
    if (plan.move) {
        RECT rect{stored.x, stored.y, stored.x + stored.width, stored.y + stored.height};
        // A monitor removed since the close would leave the window where nobody can see it.
        if (!MonitorFromRect(&rect, MONITOR_DEFAULTTONULL)) {
            MONITORINFO monitor{sizeof(monitor)};
            if (GetMonitorInfoW(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &monitor))
                rect = FitIntoArea(rect, monitor.rcWork);
        }
        MoveWindow(app.mainWindow, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, FALSE);
    }
    return plan.show;
}
