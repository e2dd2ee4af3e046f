// The Settings record and its registry key: defaults first, stored values over them, and the
// values a command changed written back at once. One table names every value.
#include "persist/settings.h"
#include "persist/history.h"
#include "dialogs/ui.h"
#include "logsource/logsource.h"
#include "logsource/charsets.h"
#include "shell/app.h"
#include "ids.h"
#include <shellapi.h>
#include <cstddef>
#include <cstring>

Settings settings;

namespace {

enum class Kind { Dword, Font, History };

struct ValueSpec {
    SettingValue value;   // the index, checked below
    UINT nameId;          // untranslated value name in the string table
    Kind kind;
    size_t offset;        // of the field in Settings
};

#define DWORD_VALUE(sv, id, field) {sv, id, Kind::Dword, offsetof(Settings, field)}
constexpr ValueSpec kValues[SV_COUNT] = {
    DWORD_VALUE(SV_ROW_LENGTH, IDS_REG_ROW_LENGTH, rowLength),
    DWORD_VALUE(SV_TEXT_COLOR, IDS_REG_TEXT_COLOR, textColor),
    DWORD_VALUE(SV_BACKGROUND, IDS_REG_BACKGROUND, backgroundColor),
    DWORD_VALUE(SV_CHARSET, IDS_REG_CHARSET, charset),
    DWORD_VALUE(SV_AUTODETECT, IDS_REG_AUTODETECT, autodetect),
    DWORD_VALUE(SV_STATUS_BAR, IDS_REG_STATUS_BAR, statusBar),
    {SV_FONT, IDS_REG_FONT, Kind::Font, offsetof(Settings, font)},
    DWORD_VALUE(SV_KB_LIMIT, IDS_REG_KB_LIMIT, kbLimit),
    DWORD_VALUE(SV_WRAP_LINES, IDS_REG_WRAP_LINES, wrapLines),
    DWORD_VALUE(SV_LINES_LIMIT, IDS_REG_LINES_LIMIT, linesLimit),
    DWORD_VALUE(SV_LAST_CHECK, IDS_REG_LAST_CHECK, lastCheck),
    DWORD_VALUE(SV_AUTO_CHECK, IDS_REG_AUTO_CHECK, autoCheck),
    DWORD_VALUE(SV_RESTRICT_INSTANCES, IDS_REG_RESTRICT_INSTANCES, restrictInstances),
    DWORD_VALUE(SV_REPO, IDS_REG_REPO, repo),
    DWORD_VALUE(SV_LANGUAGE, IDS_REG_LANGUAGE, language),
    DWORD_VALUE(SV_CUT_EMPTY, IDS_REG_CUT_EMPTY, cutEmpty),
    DWORD_VALUE(SV_TRAY_MINIMIZE, IDS_REG_TRAY_MINIMIZE, trayMinimize),
    DWORD_VALUE(SV_FULLSCREEN, IDS_REG_FULLSCREEN, fullscreen),
    DWORD_VALUE(SV_ESC_CLOSE, IDS_REG_ESC_CLOSE, escClose),
    DWORD_VALUE(SV_SAVE_POSITION, IDS_REG_SAVE_POSITION, savePosition),
    DWORD_VALUE(SV_FILTER, IDS_REG_FILTER, filter),
    {SV_HISTORY, IDS_REG_HISTORY, Kind::History, 0},
};
#undef DWORD_VALUE

constexpr bool TableInEnumOrder() {
    for (int i = 0; i < SV_COUNT; ++i)
        if (kValues[i].value != i) return false;
    return true;
}
static_assert(TableInEnumOrder(), "kValues is indexed by SettingValue");
static_assert(sizeof(LOGFONTW) == 92, "the font is stored as 92 raw bytes");

constexpr DWORD kHistoryValueBytes = kHistoryUnits * sizeof(wchar_t);

BYTE* FieldOf(const ValueSpec& spec) { return reinterpret_cast<BYTE*>(&settings) + spec.offset; }
DWORD FieldSize(const ValueSpec& spec) { return spec.kind == Kind::Font ? sizeof(LOGFONTW) : sizeof(uint32_t); }

HKEY OpenKey(bool forWriting) {
    // A missing name would address the key's default value: never read or write that.
    const wchar_t* path = FindUiString(IDS_REG_KEY);
    if (!path) return nullptr;
    HKEY key = nullptr;
    LONG status = forWriting
        ? RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr)
        : RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key);
    return status == ERROR_SUCCESS ? key : nullptr;
}

bool HistoryName(int index, wchar_t* name) {   // name holds 64 units
    const wchar_t* pattern = FindUiString(IDS_REG_HISTORY);
    if (!pattern) return false;
    wsprintfW(name, pattern, static_cast<unsigned>(index));
    return true;
}

// The stored bytes over the field, whatever their type; a shorter value replaces only its own
// bytes, a missing or larger one nothing.
void QueryRaw(HKEY key, const wchar_t* name, BYTE* field, DWORD size) {
    if (!name) return;
    BYTE stored[sizeof(LOGFONTW)];
    memcpy(stored, field, size);
    DWORD got = size;
    if (RegQueryValueExW(key, name, nullptr, nullptr, stored, &got) == ERROR_SUCCESS) memcpy(field, stored, size);
}

void QueryHistoryEntry(HKEY key, int index) {
    wchar_t* entry = history.entries[index];
    wchar_t name[64];
    if (!entry || !HistoryName(index, name)) return;
    DWORD got = kHistoryValueBytes, type = REG_NONE;
    // A value of another kind holds no path, whatever its bytes would read as.
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(entry), &got) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        entry[0] = L'\0';
        return;
    }
    // A value stored without its terminator still ends inside the buffer.
    DWORD units = got / sizeof(wchar_t);
    entry[units < kHistoryUnits ? units : kHistoryUnits - 1] = L'\0';
}

void StoreHistoryEntries(HKEY key) {
    wchar_t name[64];
    for (int index = kHistoryEntries - 1; index >= 0; --index) {
        const wchar_t* entry = history.entries[index];
        if (!entry || !HistoryName(index, name)) continue;
        DWORD bytes = (lstrlenW(entry) + 1) * sizeof(wchar_t);
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(entry), bytes);
    }
}

void StoreValue(HKEY key, SettingValue value) {
    if (value < 0 || value >= SV_COUNT) return;
    const ValueSpec& spec = kValues[value];
    if (spec.kind == Kind::History) { StoreHistoryEntries(key); return; }
    const wchar_t* name = FindUiString(spec.nameId);
    if (!name) return;
    RegSetValueExW(key, name, 0, spec.kind == Kind::Font ? REG_BINARY : REG_DWORD, FieldOf(spec), FieldSize(spec));
}

uint32_t ClampNumber(uint32_t value, uint32_t low, uint32_t high) {
    return value < low ? low : value > high ? high : value;
}

uint32_t CurrentMinute() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks{{now.dwLowDateTime, now.dwHighDateTime}};
    return static_cast<uint32_t>(ticks.QuadPart / 600000000ull);
}

}  // namespace

void SetDefaultSettings() {
    Settings s{};
    s.rowLength = 80; s.kbLimit = 256; s.linesLimit = 2048;
    s.textColor = GetSysColor(COLOR_WINDOWTEXT);
    s.backgroundColor = GetSysColor(COLOR_WINDOW);
    s.charset = 3; s.autodetect = 1; s.statusBar = 1; s.wrapLines = 1; s.autoCheck = 1;
    s.restrictInstances = 1; s.savePosition = 1;
    s.font.lfHeight = 13; s.font.lfWeight = FW_NORMAL; s.font.lfCharSet = DEFAULT_CHARSET;
    s.font.lfOutPrecision = OUT_TT_PRECIS; s.font.lfQuality = PROOF_QUALITY; s.font.lfPitchAndFamily = FF_MODERN;
    lstrcpyW(s.font.lfFaceName, L"Lucida Console");
    settings = s;
}

void BringSettingsIntoRange(Settings& s) {
    // A zero limit would stall the row maker and a wide row would overrun its buffer.
    s.rowLength = ClampNumber(s.rowLength, 1, 256);
    s.kbLimit = ClampNumber(s.kbLimit, 1, 65535);
    s.linesLimit = ClampNumber(s.linesLimit, 1, 65535);
    s.font.lfFaceName[LF_FACESIZE - 1] = L'\0';
    // A charset the program cannot decode would show nothing at all.
    if (!IsUsableCharset(s.charset)) s.charset = CHARSET_CURRENT;
}

void LoadSettings() {
    SetDefaultSettings();
    if (HKEY key = OpenKey(false)) {
        for (const ValueSpec& spec : kValues)
            if (spec.kind == Kind::Dword) QueryRaw(key, FindUiString(spec.nameId), FieldOf(spec), FieldSize(spec));
        for (int index = kHistoryEntries - 1; index >= 0; --index) QueryHistoryEntry(key, index);
        const ValueSpec& font = kValues[SV_FONT];
        QueryRaw(key, FindUiString(font.nameId), FieldOf(font), FieldSize(font));
        RegCloseKey(key);
    }
    BringSettingsIntoRange(settings);
    // Fixed here for the whole run: a running instance never switches language.
    if (settings.language) ui.language = static_cast<LANGID>(settings.language);
    settings.startMinute = CurrentMinute();
}

void ReadRestrictInstances() {
    settings.restrictInstances = 1;
    if (HKEY key = OpenKey(false)) {
        const ValueSpec& spec = kValues[SV_RESTRICT_INSTANCES];
        QueryRaw(key, FindUiString(spec.nameId), FieldOf(spec), FieldSize(spec));
        RegCloseKey(key);
    }
}

void StoreSettings(const SettingValue* values, int count) {
    if (!values || count <= 0) return;
    HKEY key = OpenKey(true);
    if (!key) return;
    for (int i = 0; i < count; ++i) StoreValue(key, values[i]);
    RegCloseKey(key);
}

HKEY OpenSettingsKey(bool forWriting) { return OpenKey(forWriting); }

uint32_t ReadInstalledVersion() {
    uint32_t installed = 0;
    if (HKEY key = OpenKey(false)) {
        QueryRaw(key, FindUiString(IDS_REG_INSTALLED), reinterpret_cast<BYTE*>(&installed), sizeof(installed));
        RegCloseKey(key);
    }
    return installed;
}

bool StoreCheckResult(uint32_t installedVersion) {
    HKEY key = OpenKey(true);
    if (!key) return false;
    if (const wchar_t* name = FindUiString(IDS_REG_INSTALLED))
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&installedVersion), sizeof(installedVersion));
    StoreValue(key, SV_LAST_CHECK);
    RegCloseKey(key);
    return true;
}

bool ComposeRestartParameters(const wchar_t* path, wchar_t* out, size_t units) {
    size_t length = lstrlenW(path);
    size_t trailing = 0;   // backslashes before the closing quote must be doubled to stay literal
    while (trailing < length && path[length - 1 - trailing] == L'\\') ++trailing;
    if (length + trailing + 3 > units) return false;
    size_t at = 0;
    out[at++] = L'"';
    memcpy(out + at, path, length * sizeof(wchar_t));
    at += length;
    for (size_t i = 0; i < trailing; ++i) out[at++] = L'\\';
    out[at++] = L'"';
    out[at] = L'\0';
    return true;
}

void StoreLanguageAndRestart(uint32_t language) {
    settings.language = language;
    StoreSetting(SV_LANGUAGE);
    HANDLE heap = GetProcessHeap();
    // Taken before the window closes, so that whatever closing does to the file, the new
    // instance reopens the one that was on screen.
    constexpr size_t kParameterUnits = kPathUnits * 2 + 3;
    wchar_t* parameters = nullptr;
    if (logSource.handle && logSource.fullPath) {
        parameters = static_cast<wchar_t*>(HeapAlloc(heap, 0, kParameterUnits * sizeof(wchar_t)));
        if (parameters && !ComposeRestartParameters(logSource.fullPath, parameters, kParameterUnits)) {
            HeapFree(heap, 0, parameters);
            parameters = nullptr;
        }
    }
    if (app.mainWindow) SendMessageW(app.mainWindow, WM_CLOSE, 0, 0);
    wchar_t* program = static_cast<wchar_t*>(HeapAlloc(heap, 0, kPathUnits * sizeof(wchar_t)));
    if (program) {
        DWORD length = GetModuleFileNameW(nullptr, program, kPathUnits);
        if (length > 0 && length < kPathUnits)
            ShellExecuteW(nullptr, nullptr, program, parameters, nullptr, SW_SHOWDEFAULT);
        HeapFree(heap, 0, program);
    }
    if (parameters) HeapFree(heap, 0, parameters);
}
