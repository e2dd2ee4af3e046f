// Starting, restarting and ending the watch of a file, and erasing its content on request.
#include "logsource/logsource.h"
#include "view/find.h"
#include "logsource/charsets.h"
#include "logsource/watch.h"
#include "persist/settings.h"
#include "persist/history.h"
#include "shell/app.h"
#include "status/status.h"
#include "view/view.h"
#include "dialogs/ui.h"
#include "dialogs/errors.h"
#include "ids.h"
#include <commdlg.h>
#include <shlwapi.h>

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Commands that need an open file: Print, Close, Pause to Lock autoscrolling, Reload.
constexpr UINT kFileCommands[] = {IDM_PRINT, IDM_CLOSE, IDM_PAUSE, IDM_COPY, IDM_SELECT_ALL, IDM_FIND,
                                  IDM_FIND_NEXT, IDM_GOTO, IDM_LOCK_SCROLL, IDM_RELOAD};

// The path as the user gave it, and the path to open: they differ when a rotated file is
// reopened by its full path. Copies, as the open overwrites fullPath and givenPath.
wchar_t pathCopy[kPathUnits];
wchar_t openCopy[kPathUnits];

void EnableFileCommands(bool enabled) {
    for (UINT id : kFileCommands) EnableMenuCommand(id, enabled);
}

void ArmFirstTick() {
    if (!app.mainWindow) return;
    ArmSurveillanceTimer(20);
    ForgetSurveillanceTimer();
    PostMessageW(app.mainWindow, WM_TIMER, TIMER_SURVEILLANCE, 0);
}

void MakeFileTitle(const wchar_t* path) {
    LogSource& s = logSource;
    if (GetFileTitleW(path, s.fileTitle, 260) == 0) return;
    const wchar_t* tail = wcsrchr(path, L'\\');
    if (!tail) tail = wcsrchr(path, L'/');
    lstrcpynW(s.fileTitle, tail ? tail + 1 : path, 260);
}

// The rest of the line cut by the kilobyte limit, read in the charset's unit from the current
// position; returns the bytes skipped, line feed included, so that bytesConsumed stays the file
// offset. Reads in blocks and leaves the pointer right after the line feed, or after the last
// whole unit when the file ends first.
uint64_t SkipCutLine(HANDLE file, uint64_t position, uint32_t charset) {
    const uint32_t unit = CharsetUnitSize(charset);
    BYTE* block = logSource.byteBuffer;
    uint64_t skipped = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, block, 4096, &got, nullptr) || got < unit) break;
        DWORD whole = got - got % unit;
        for (DWORD i = 0; i < whole; i += unit) {
            if (IsLineFeedUnit(charset, block + i)) {
                skipped += unit;
                SeekTo(file, position + skipped);
                return skipped;
            }
            skipped += unit;
        }
        if (whole < got) break;
    }
    SeekTo(file, position + skipped);
    return skipped;
}

}  // namespace

bool QueryFileSize(HANDLE file, uint64_t* size) {
    SetLastError(0);
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != 0) return false;
    *size = (uint64_t(high) << 32) | low;
    return true;
}

bool SeekTo(HANDLE file, uint64_t offset) {
    LONG high = LONG(offset >> 32);
    SetLastError(0);
    DWORD low = SetFilePointer(file, LONG(offset & 0xFFFFFFFF), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != 0);
}

uint64_t SeekLoadStart(HANDLE file, uint64_t start) {
    uint64_t size = 0;
    const uint64_t limit = uint64_t(settings.kbLimit) * 1024;
    if (!QueryFileSize(file, &size) || size <= limit) {
        SeekTo(file, start);
        return start;
    }
    // The cut stays on the charset's unit grid, or every later unit would be read askew.
    const uint32_t unit = CharsetUnitSize(settings.charset);
    uint64_t cut = size - limit;
    cut += (unit - cut % unit) % unit;
    SeekTo(file, cut);
    return cut + SkipCutLine(file, cut, settings.charset);
}

bool IsWatchableFile(DWORD fileType, bool sizeRead) {
    // A pipe, console or serial port would hold the window in its first read until a writer
    // spoke, and its size means nothing; a disk, a volume or a raw device passes for a disk file
    // but has no size of its own.
    return fileType == FILE_TYPE_DISK && sizeRead;
}

void EmptyView() {
    if (app.view) SendMessageW(app.view, LB_RESETCONTENT, 0, 0);
    ResetRowState();
}

bool MakeExtendedPath(const wchar_t* path, wchar_t* out) {
    auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    if (path[0] == L'\\' && path[1] == L'\\' && path[2] == L'?' && path[3] == L'\\') {
        if (lstrlenW(path) > int(kPathUnits - 1)) return false;
        lstrcpyW(out, path);
        return true;
    }
    // The device form ("\\.\C:\logs\x.log", "\\.\UNC\server\share") names the same file as the
    // extended form; it must not be taken for a share on a server called ".".
    if (separator(path[0]) && separator(path[1]) && path[2] == L'.' && separator(path[3])) {
        DWORD length = GetFullPathNameW(path, kPathUnits, out, nullptr);
        if (length == 0 || length >= kPathUnits || out[2] != L'.' || out[3] != L'\\') return false;
        out[2] = L'?';
        return true;
    }
    // A UNC path, also when written with forward slashes ("//server/share"): the full path
    // comes back with backslashes, so the prefix joins it the same way.
    if (separator(path[0]) && separator(path[1])) {
        constexpr DWORD capacity = kPathUnits - 6;
        DWORD length = GetFullPathNameW(path, capacity, out + 6, nullptr);
        if (length == 0 || length >= capacity) return false;
        CopyMemory(out, L"\\\\?\\UNC", 7 * sizeof(wchar_t));
        return true;
    }
    constexpr DWORD capacity = kPathUnits - 4;
    DWORD length = GetFullPathNameW(path, capacity, out + 4, nullptr);
    if (length == 0 || length >= capacity) return false;
    CopyMemory(out, L"\\\\?\\", 4 * sizeof(wchar_t));
    return true;
}

namespace {

// Opens `path` and shows it under `shown`; both are the same except for a reopened rotated file.
bool OpenAs(const wchar_t* path, const wchar_t* shown) {
    LogSource& s = logSource;
    // A longer path could only be opened cut short, which would name another file.
    if (lstrlenW(path) >= int(kPathUnits) || lstrlenW(shown) >= int(kPathUnits)) {
        ShowSystemError(IDS_ERR_OPEN, ERROR_FILENAME_EXCED_RANGE);
        ArmFirstTick();
        return false;
    }
    lstrcpyW(openCopy, path);
    lstrcpyW(pathCopy, shown);
    HANDLE file = CreateFileW(openCopy, GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE || file == nullptr) {
        ShowSystemError(IDS_ERR_OPEN, GetLastError());
        ArmFirstTick();
        return false;
    }
    uint64_t size = 0;
    if (!IsWatchableFile(GetFileType(file), QueryFileSize(file, &size))) {
        CloseHandle(file);
        ShowSystemError(IDS_ERR_OPEN, ERROR_NOT_SUPPORTED);
        ArmFirstTick();
        return false;
    }

    CloseLogFile();
    if (!MakeExtendedPath(openCopy, s.fullPath)) lstrcpyW(s.fullPath, openCopy);
    lstrcpyW(s.givenPath, pathCopy);
    lstrcpyW(s.propertiesPath, s.fullPath);
    lstrcatW(s.propertiesPath, UiString(IDS_STREAM_NAME));
    PushHistory(pathCopy);
    s.handle = file;
    MakeFileTitle(pathCopy);

    wchar_t title[260];
    wnsprintfW(title, 260, UiString(IDS_TITLE_FORMAT), s.fileTitle, UiString(IDS_PRODUCT));
    if (app.mainWindow) SetWindowTextW(app.mainWindow, title);

    EnableFileCommands(true);
    CheckMenuCommand(IDM_LOCK_SCROLL, ScrollLockOn());
    SetStatusFile(pathCopy);
    RefreshStatus();
    ShowRow(0);
    ClearSearchText();
    s.longestRow = 0;
    s.holdScroll = false;
    s.lastSize = 0;
    s.sizeText[0] = 0;
    ReloadLogFile();
    ArmFirstTick();
    return true;
}

}  // namespace

bool OpenLogFile(const wchar_t* path) { return OpenAs(path, path); }

bool ReopenLogFile() {
    LogSource& s = logSource;
    return OpenAs(s.fullPath, s.givenPath[0] ? s.givenPath : s.fullPath);
}

void ReserveRowStorage() {
    if (!app.view) return;
    WPARAM items = settings.linesLimit + 4;
    LPARAM bytes = settings.wrapLines ? LPARAM(2 * items * (settings.rowLength + 4)) : LPARAM(2 * items * 384);
    SendMessageW(app.view, LB_INITSTORAGE, items, bytes);
}

void ReloadLogFile() {
    LogSource& s = logSource;
    if (!s.handle) return;
    EmptyView();
    SeekTo(s.handle, 0);
    ReserveRowStorage();
    s.bytesConsumed = 0;
    s.detectedCharset = 0;
    s.bomLength = 0;
    DropCarry();

    BYTE probe[6];
    DWORD got = 0;
    if (ReadFile(s.handle, probe, 6, &got, nullptr) && got == 6) {
        ByteOrderMark mark = ProbeByteOrderMark(probe);
        s.detectedCharset = mark.charset;
        s.bomLength = mark.length;
    }

    uint64_t start = 0;
    bool readStored = true;
    if (settings.autodetect && !s.suppressAutodetect) {
        if (s.detectedCharset) {
            settings.charset = s.detectedCharset;
            UpdateCharsetMenu();
            start = s.bomLength;
            readStored = false;
        } else {
            settings.charset = s.fallbackCharset;
        }
    } else {
        s.suppressAutodetect = false;
    }
    if (readStored) {
        uint32_t stored;
        if (ReadStoredCharset(&stored)) settings.charset = stored;
        UpdateCharsetMenu();
    }
    s.bytesConsumed = SeekLoadStart(s.handle, start);
    s.loading = true;
    if (s.paused) s.readOnce = true;
    // A reload is also how the user asks the cycle to start again after its timer failed.
    if (SurveillanceStopped()) ArmFirstTick();
}

void CloseLogFile() {
    LogSource& s = logSource;
    EmptyView();
    DropCarry();
    if (s.handle) CloseHandle(s.handle);
    s.handle = nullptr;
    ReleaseViewRedraw();
    if (app.mainWindow) {
        KillTimer(app.mainWindow, TIMER_SURVEILLANCE);
        ForgetSurveillanceTimer();
        SetWindowTextW(app.mainWindow, UiString(IDS_PRODUCT));
    }
    EnableFileCommands(false);
    CheckMenuCommand(IDM_PAUSE, false);
    CheckMenuCommand(IDM_LOCK_SCROLL, false);
    RefreshStatus();
    ClearStatusFile();
    s.holdScroll = false;
    s.paused = false;
    s.readOnce = false;
}

void EraseLogFile() {
    LogSource& s = logSource;
    if (!s.handle) {
        EmptyView();
        RefreshStatus();
        return;
    }
    if (MessageBoxW(app.mainWindow, UiString(IDS_ERASE_TEXT), UiString(IDS_ERASE_CAPTION), MB_OKCANCEL | MB_ICONWARNING) != IDOK) {
        RefreshStatus();
        return;
    }
    HANDLE file = CreateFileW(s.fullPath, GENERIC_WRITE | FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ShowSystemError(IDS_ERR_ERASE, GetLastError());
        RefreshStatus();
        return;
    }
    // Rotated since the last identity check: the path names a file whose lines the user has not
    // seen. Nothing is erased; the user is told, and that file is shown instead, as the rotation
    // check would show it, with the watch paused or not as it was.
    bool same = false;
    if (!HandlesNameOneFile(s.handle, file, &same)) {
        DWORD code = GetLastError();
        CloseHandle(file);
        ShowSystemError(IDS_ERR_ERASE, code);
        RefreshStatus();
        return;
    }
    if (!same) {
        CloseHandle(file);
        const bool paused = s.paused;
        OpenReplacement();
        if (paused && s.handle && !s.paused) {
            s.paused = true;
            s.readOnce = true;   // the new file's lines once, as a reload while paused shows them
            CheckMenuCommand(IDM_PAUSE, true);
        }
        RefreshStatus();
        MessageBoxW(app.mainWindow, UiString(IDS_ERASE_ROTATED), nullptr, MB_ICONWARNING);
        return;
    }
    const uint64_t kept = s.detectedCharset != 0 && s.detectedCharset == settings.charset ? s.bomLength : 0;
    if (!SeekTo(file, kept) || !SetEndOfFile(file)) {
        // Nothing was erased: the view and the reading position stay as they are.
        DWORD code = GetLastError();
        CloseHandle(file);
        ShowSystemError(IDS_ERR_ERASE, code);
        RefreshStatus();
        return;
    }
    EmptyView();
    CloseHandle(file);
    // Start over at once rather than trust the next tick to see a smaller size: a writer
    // could regrow the file past its old size before then.
    DropCarry();
    SeekTo(s.handle, 0);
    s.bytesConsumed = 0;
    s.lastSize = 0;
    RefreshStatus();
}
