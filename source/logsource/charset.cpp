// The charset table, the Charset menu's radio mark and the charset commands (1301-1310, 1319).
#include "logsource/logsource.h"
#include "shell/platform.h"
#include "logsource/charsets.h"
#include "persist/settings.h"
#include "persist/properties.h"
#include "shell/app.h"
#include "ids.h"

namespace {

// Menu order is irrelevant here; the menu item ties each identifier to its command.
constexpr CharsetEntry kCharsets[] = {
    {CHARSET_ANSI, IDM_CHARSET_ANSI, L"ACP", true},
    {CHARSET_OEM, IDM_CHARSET_OEM, L"OEM", true},
    {CHARSET_CURRENT, IDM_CHARSET_CURRENT, L"Current", true},
    {CHARSET_UTF7, IDM_CHARSET_UTF7, L"UTF-7", true},
    {CHARSET_UTF8, IDM_CHARSET_UTF8, L"UTF-8", true},
    {CHARSET_UTF16LE, IDM_CHARSET_UTF16LE, L"UCS-2", false},
    {CHARSET_UTF16BE, IDM_CHARSET_UTF16BE, L"UCS-2BE", false},
    {CHARSET_UTF32LE, IDM_CHARSET_UTF32LE, L"UCS-4", false},
    {CHARSET_UTF32BE, IDM_CHARSET_UTF32BE, L"UCS-4BE", false},
};

constexpr wchar_t kFormatSection[] = L"Format";
constexpr wchar_t kCharsetKey[] = L"Charset";


}  // namespace

const CharsetEntry* CharsetByIdentifier(uint32_t charset) {
    for (const CharsetEntry& e : kCharsets)
        if (e.charset == charset) return &e;
    return nullptr;
}

bool IsUsableCharset(uint32_t charset) {
    if (charset >= CHARSET_UTF16LE && charset <= CHARSET_UTF32BE) return true;   // decoded by the program itself
    // Any other number is a code page, also one put into the registry by hand beyond the menu's.
    return IsValidCodePage(ResolveCodePage(charset)) != 0;
}

const CharsetEntry* CharsetByMenuItem(UINT menuItem) {
    for (const CharsetEntry& e : kCharsets)
        if (e.menuItem == menuItem) return &e;
    return nullptr;
}

const CharsetEntry* CharsetByStreamName(const wchar_t* name) {
    if (!name || !*name) return nullptr;
    for (const CharsetEntry& e : kCharsets)
        if (lstrcmpW(e.streamName, name) == 0) return &e;
    return nullptr;
}

bool ReadStoredCharset(uint32_t* charset) {
    wchar_t name[64] = L"";
    GetPrivateProfileStringW(kFormatSection, kCharsetKey, nullptr, name, 64, logSource.propertiesPath);
    const CharsetEntry* entry = CharsetByStreamName(name);
    if (!entry) return false;
    *charset = entry->charset;
    return true;
}

void UpdateCharsetMenu() {
    if (isWindowsOlderThan(kWindows2000)) {
        EnableMenuCommand(IDM_CHARSET_CURRENT, false);
        if (settings.charset == CHARSET_CURRENT) settings.charset = CHARSET_ANSI;
        if (logSource.fallbackCharset == CHARSET_CURRENT) logSource.fallbackCharset = CHARSET_ANSI;
    }
    // A code page without an item of its own leaves no item marked.
    const CharsetEntry* current = CharsetByIdentifier(settings.charset);
    if (!app.mainMenu) return;
    // Item by item: the menu's items are not in identifier order and 1301 has no item.
    for (const CharsetEntry& e : kCharsets) {
        if (&e == current)
            CheckMenuRadioItem(app.mainMenu, e.menuItem, e.menuItem, e.menuItem, MF_BYCOMMAND);
        else
            CheckMenuItem(app.mainMenu, e.menuItem, MF_BYCOMMAND | MF_UNCHECKED);
    }
}

void CharsetCommand(UINT id) {
    LogSource& s = logSource;
    if (id == IDM_CHARSET_ANSI_RAW) {
        settings.charset = CHARSET_ANSI;
    } else {
        const CharsetEntry* entry = CharsetByMenuItem(id);
        if (!entry) return;
        if (id == IDM_CHARSET_CURRENT && isWindowsOlderThan(kWindows2000)) return;
        settings.charset = entry->charset;
        if (entry->setsFallback) s.fallbackCharset = entry->charset;
    }
    s.suppressAutodetect = true;
    StoreSetting(SV_CHARSET);
    // Only the watched file's stream: with no file open, propertiesPath names a closed file or nothing.
    const CharsetEntry* named = id == IDM_CHARSET_ANSI_RAW ? nullptr : CharsetByIdentifier(settings.charset);
    if (named && s.handle) WriteFileProperty(kFormatSection, kCharsetKey, named->streamName);
    // The reload sets the mark too, but does nothing while no file is open.
    UpdateCharsetMenu();
    ReloadLogFile();
}

void AutodetectCommand() {
    bool current = app.mainMenu ? IsMenuCommandChecked(IDM_AUTODETECT) : settings.autodetect != 0;
    bool on = !current;
    settings.autodetect = on ? 1 : 0;
    CheckMenuCommand(IDM_AUTODETECT, on);
    StoreSetting(SV_AUTODETECT);
    if (!on) return;
    logSource.suppressAutodetect = false;
    ReloadLogFile();
}
