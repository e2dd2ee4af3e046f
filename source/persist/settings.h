// Program-wide preferences: one record loaded from the registry at start-up and written back
// value by value whenever a command changes it.
#pragma once
#include <windows.h>
#include <cstdint>

struct Settings {
    uint32_t rowLength;        // wrap width, 1..256
    COLORREF textColor;
    COLORREF backgroundColor;
    uint32_t charset;          // charset in use (0, 1, 3, 16..19, 65000, 65001 or any code page)
    uint32_t autodetect;
    uint32_t statusBar;
    uint32_t kbLimit;          // 1..65535 kilobytes loaded from the end of a file
    uint32_t wrapLines;
    uint32_t linesLimit;       // 1..65535 rows kept in the view
    uint32_t lastCheck;        // minutes since 1601 of the last update check
    uint32_t autoCheck;
    uint32_t restrictInstances;
    uint32_t repo;
    uint32_t language;         // 0 automatic, 9, 1029 or 1051
    uint32_t cutEmpty;
    uint32_t trayMinimize;
    uint32_t fullscreen;
    uint32_t escClose;
    uint32_t savePosition;
    uint32_t filter;           // filtering of lines is on
    LOGFONTW font;
    uint32_t startMinute;      // derived at load: minutes since 1601 when the program started
};

extern Settings settings;

// Registry values, in the order a multi-value store writes them.
enum SettingValue {
    SV_ROW_LENGTH, SV_TEXT_COLOR, SV_BACKGROUND, SV_CHARSET, SV_AUTODETECT, SV_STATUS_BAR,
    SV_FONT, SV_KB_LIMIT, SV_WRAP_LINES, SV_LINES_LIMIT, SV_LAST_CHECK, SV_AUTO_CHECK,
    SV_RESTRICT_INSTANCES, SV_REPO, SV_LANGUAGE, SV_CUT_EMPTY, SV_TRAY_MINIMIZE, SV_FULLSCREEN,
    SV_ESC_CLOSE, SV_SAVE_POSITION, SV_FILTER, SV_HISTORY, SV_COUNT
};

void SetDefaultSettings();            // defaults only, no registry access
// Defaults, then every stored value, brought into range; fixes the user-interface language and
// startMinute. Call after InitHistory (the history values are read into its buffers).
void LoadSettings();
void ReadRestrictInstances();         // "restrict instances" alone, before the full load
void StoreSettings(const SettingValue* values, int count);  // one opened key, in the given order
// The program's key, opened for reading or created for writing; null when that fails. The caller closes it.
HKEY OpenSettingsKey(bool forWriting);
inline void StoreSetting(SettingValue value) { StoreSettings(&value, 1); }
// Writes "language", closes the main window and starts the program again on the open file.
void StoreLanguageAndRestart(uint32_t language);

// The update check's value "installed" (major * 65536 + minor * 256 + patch), not part of the
// record: absent or unreadable reads as 0.
uint32_t ReadInstalledVersion();
// After a valid update reply: "installed", then "last check" from the record, through one key.
// False when the key could not be opened for writing (nothing stored then).
bool StoreCheckResult(uint32_t installedVersion);

// Hand-edited values outside what the dialogs produce: row length into 1..256, the two limits
// into 1..65535, the font's face name terminated.
void BringSettingsIntoRange(Settings& s);
// The restart's command line: the path quoted as one argument. False when `units` is too small.
bool ComposeRestartParameters(const wchar_t* path, wchar_t* out, size_t units);
