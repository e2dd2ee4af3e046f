// The settings key in the test prefix's real registry: defaults, round trips, hand-edited values.
#include <gtest/gtest.h>
#include "persist/settings.h"
#include "persist/history.h"
#include "dialogs/ui.h"
#include <cstring>
#include <string>

namespace {

constexpr wchar_t kKey[] = L"Software\\Skelby\\Brindle";

class SettingsStore : public testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        InitHistory();
        for (wchar_t* entry : history.entries) entry[0] = L'\0';
        savedLanguage = ui.language;
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        ui.language = savedLanguage;
        SetDefaultSettings();
    }
    static void Put(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size));
        RegCloseKey(key);
    }
    static void PutDword(const wchar_t* name, DWORD value) { Put(name, REG_DWORD, &value, 4); }
    // Type and size of a stored value; type 0 when it is absent.
    static DWORD Stored(const wchar_t* name, void* data = nullptr, DWORD* size = nullptr) {
        DWORD type = 0, ignored = 0;
        if (!size) size = &ignored;
        if (RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data, size) != ERROR_SUCCESS) return 0;
        return type;
    }
    static DWORD ValueCount() {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
        DWORD count = 0;
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(key);
        return count;
    }
    LANGID savedLanguage = 0;
};

void ExpectDefaults(const Settings& s) {
    EXPECT_EQ(80u, s.rowLength); EXPECT_EQ(256u, s.kbLimit); EXPECT_EQ(2048u, s.linesLimit);
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), s.textColor); EXPECT_EQ(GetSysColor(COLOR_WINDOW), s.backgroundColor);
    EXPECT_EQ(3u, s.charset); EXPECT_EQ(0u, s.lastCheck); EXPECT_EQ(0u, s.repo); EXPECT_EQ(0u, s.language);
    // On: autodetect, status bar, wrap lines, auto check, restrict instances, save position.
    EXPECT_EQ(0x3Fu, s.autodetect | s.statusBar << 1 | s.wrapLines << 2 | s.autoCheck << 3 |
                     s.restrictInstances << 4 | s.savePosition << 5);
    EXPECT_EQ(0u, s.cutEmpty | s.trayMinimize | s.fullscreen | s.escClose);
    LOGFONTW font{13, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, OUT_TT_PRECIS, 0, PROOF_QUALITY, 0x30, L"Lucida Console"};
    EXPECT_EQ(0, memcmp(&font, &s.font, sizeof(font)));
}

const SettingValue kEveryValue[] = {
    SV_ROW_LENGTH, SV_TEXT_COLOR, SV_BACKGROUND, SV_CHARSET, SV_AUTODETECT, SV_STATUS_BAR, SV_FONT,
    SV_KB_LIMIT, SV_WRAP_LINES, SV_LINES_LIMIT, SV_LAST_CHECK, SV_AUTO_CHECK, SV_RESTRICT_INSTANCES, SV_REPO,
    SV_LANGUAGE, SV_CUT_EMPTY, SV_TRAY_MINIMIZE, SV_FULLSCREEN, SV_ESC_CLOSE, SV_SAVE_POSITION, SV_HISTORY};

}  // namespace

TEST_F(SettingsStore, FirstRunWithoutKeyHasEveryDefault) {
    settings.rowLength = 7;
    ui.language = 0;
    LoadSettings();
    ExpectDefaults(settings);
    EXPECT_EQ(0, ui.language);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
    EXPECT_LE(t.QuadPart / 600000000ull - settings.startMinute, 1u);
    EXPECT_EQ(L'\0', history.entries[0][0]);
    EXPECT_EQ(0u, ValueCount());   // reading never creates the key
}

TEST_F(SettingsStore, EveryValueRoundTripsWithItsTypeAndSize) {
    Settings& s = settings;
    s.rowLength = 120; s.textColor = RGB(1, 2, 3); s.backgroundColor = RGB(250, 240, 230); s.charset = 65001;
    s.autodetect = 0; s.statusBar = 0; s.kbLimit = 65535; s.wrapLines = 0; s.linesLimit = 1; s.lastCheck = 221234567;
    s.autoCheck = 0; s.restrictInstances = 0; s.repo = 0xDEADBEEF; s.language = 1051; s.cutEmpty = 1;
    s.trayMinimize = 1; s.fullscreen = 1; s.escClose = 1; s.savePosition = 0;
    s.font.lfHeight = -17; s.font.lfWeight = 700; s.font.lfItalic = 1; s.font.lfCharSet = 238;
    lstrcpyW(s.font.lfFaceName, L"Courier New");
    lstrcpyW(history.entries[0], L"C:\\logs\\newest file.log");
    lstrcpyW(history.entries[3], L"\\\\?\\C:\\Ü\\třetí.log");
    std::wstring longest(kHistoryUnits - 1, L'x');
    lstrcpyW(history.entries[9], longest.c_str());
    Settings written = s;
    StoreSettings(kEveryValue, sizeof(kEveryValue) / sizeof(kEveryValue[0]));

    EXPECT_EQ(DWORD(REG_DWORD), Stored(L"row length"));
    EXPECT_EQ(DWORD(REG_DWORD), Stored(L"save position"));
    DWORD size = 0;
    EXPECT_EQ(DWORD(REG_BINARY), Stored(L"font", nullptr, &size));
    EXPECT_EQ(92u, size);
    EXPECT_EQ(DWORD(REG_SZ), Stored(L"history 1", nullptr, &size));
    EXPECT_EQ(2u, size);   // empty entries are stored as empty strings
    EXPECT_EQ(20u + 10u, ValueCount());

    SetDefaultSettings();
    for (wchar_t* entry : history.entries) entry[0] = L'\0';
    LoadSettings();
    written.startMinute = s.startMinute;
    EXPECT_EQ(0, memcmp(&written, &s, sizeof(Settings)));
    EXPECT_EQ(1051, ui.language);   // a stored language becomes the preferred one
    EXPECT_STREQ(L"C:\\logs\\newest file.log", history.entries[0]);
    EXPECT_STREQ(L"\\\\?\\C:\\Ü\\třetí.log", history.entries[3]);
    EXPECT_EQ(longest, history.entries[9]);
    EXPECT_STREQ(L"", history.entries[1]);
}

TEST_F(SettingsStore, StoresExactlyTheNamedValues) {
    settings.statusBar = 0;
    StoreSetting(SV_STATUS_BAR);
    EXPECT_EQ(1u, ValueCount());
    DWORD value = 99, size = 4;
    EXPECT_EQ(DWORD(REG_DWORD), Stored(L"status bar", &value, &size));
    EXPECT_EQ(0u, value);

    settings.kbLimit = 512; settings.linesLimit = 4096;
    const SettingValue limits[] = {SV_KB_LIMIT, SV_LINES_LIMIT};
    StoreSettings(limits, 2);
    EXPECT_EQ(3u, ValueCount());
    size = 4;
    Stored(L"lines limit", &value, &size);
    EXPECT_EQ(4096u, value);

    StoreHistory();
    EXPECT_EQ(13u, ValueCount());
    EXPECT_EQ(DWORD(REG_SZ), Stored(L"history 0"));
    EXPECT_EQ(DWORD(REG_SZ), Stored(L"history 9"));
    EXPECT_EQ(0u, Stored(L"history 10"));
    EXPECT_EQ(0u, Stored(L""));   // never the key's default value
}

TEST_F(SettingsStore, PartialKeyKeepsTheOtherDefaults) {
    PutDword(L"kb limit", 1000);
    PutDword(L"esc close", 1);
    LoadSettings();
    EXPECT_EQ(1000u, settings.kbLimit);
    EXPECT_EQ(1u, settings.escClose);
    Settings expected = settings;
    expected.kbLimit = 256;
    expected.escClose = 0;
    ExpectDefaults(expected);
}

TEST_F(SettingsStore, OversizedValuesKeepDefaultsAndShortOnesReplaceTheirBytes) {
    const BYTE eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    Put(L"row length", REG_BINARY, eight, 8);
    BYTE bigFont[100] = {};
    Put(L"font", REG_BINARY, bigFont, sizeof(bigFont));
    std::wstring tooLong(kHistoryUnits, L'y');   // 65,538 bytes with the terminator
    Put(L"history 2", REG_SZ, tooLong.c_str(), static_cast<DWORD>((tooLong.size() + 1) * 2));
    // Untyped: two bytes E9 FD over the default 3 make 65001.
    const BYTE utf8[2] = {0xE9, 0xFD};
    Put(L"charset", REG_BINARY, utf8, 2);
    // A string where a number belongs is taken by its bytes: "1" is 0x31, on.
    Put(L"cut empty", REG_SZ, L"1", 4);
    // A history entry stored without its terminator still ends where its bytes end; one of
    // another kind is no path at all, whatever its bytes would read as.
    Put(L"history 4", REG_SZ, L"abc", 4);
    Put(L"history 5", REG_BINARY, L"cd", 6);
    PutDword(L"history 6", 0x41);
    LoadSettings();
    EXPECT_EQ(80u, settings.rowLength);
    EXPECT_STREQ(L"Lucida Console", settings.font.lfFaceName);
    EXPECT_EQ(13, settings.font.lfHeight);
    EXPECT_STREQ(L"", history.entries[2]);
    EXPECT_EQ(65001u, settings.charset);
    EXPECT_EQ(0x31u, settings.cutEmpty);
    EXPECT_STREQ(L"ab", history.entries[4]);
    EXPECT_STREQ(L"", history.entries[5]);
    EXPECT_STREQ(L"", history.entries[6]);
}

TEST_F(SettingsStore, HandEditedNumbersAreBroughtIntoRange) {
    PutDword(L"row length", 0);
    PutDword(L"kb limit", 0);
    PutDword(L"lines limit", 0xFFFFFFFF);
    LoadSettings();
    EXPECT_EQ(1u, settings.rowLength);
    EXPECT_EQ(1u, settings.kbLimit);
    EXPECT_EQ(65535u, settings.linesLimit);
    // A number that names no code page of the system would decode nothing: the default instead.
    for (DWORD foreign : {2u, 12345u, 65002u, 0xFFFFFFFFu}) {
        PutDword(L"charset", foreign);
        LoadSettings();
        EXPECT_EQ(3u, settings.charset) << foreign;
    }
    // A code page the system has is used, also one the Charset menu does not offer.
    for (DWORD page : {1250u, 20866u, 437u}) {
        PutDword(L"charset", page);
        LoadSettings();
        EXPECT_EQ(page, settings.charset) << page;
    }
    Put(L"charset", REG_SZ, L"65001", 12);
    LoadSettings();
    EXPECT_EQ(3u, settings.charset);
    PutDword(L"charset", 17);
    LoadSettings();
    EXPECT_EQ(17u, settings.charset);
    PutDword(L"row length", 100000);
    PutDword(L"kb limit", 65536);
    PutDword(L"lines limit", 65535);
    LOGFONTW face{};
    for (wchar_t& c : face.lfFaceName) c = L'Z';   // no terminator
    face.lfHeight = 20;
    Put(L"font", REG_BINARY, &face, sizeof(face));
    LoadSettings();
    EXPECT_EQ(256u, settings.rowLength);
    EXPECT_EQ(65535u, settings.kbLimit);
    EXPECT_EQ(65535u, settings.linesLimit);
    EXPECT_EQ(20, settings.font.lfHeight);
    EXPECT_EQ(31, lstrlenW(settings.font.lfFaceName));
}

TEST_F(SettingsStore, RestrictInstancesIsReadAlone) {
    settings.restrictInstances = 0;
    ReadRestrictInstances();
    EXPECT_EQ(1u, settings.restrictInstances);   // absent: on
    PutDword(L"restrict instances", 0);
    PutDword(L"row length", 33);
    settings.rowLength = 80;
    ReadRestrictInstances();
    EXPECT_EQ(0u, settings.restrictInstances);
    EXPECT_EQ(80u, settings.rowLength);
}

TEST_F(SettingsStore, UpdateCheckWritesInstalledThenLastCheck) {
    EXPECT_EQ(0u, ReadInstalledVersion());
    settings.lastCheck = 221000000;
    StoreCheckResult(67329);
    EXPECT_EQ(67329u, ReadInstalledVersion());
    DWORD value = 0, size = 4;
    EXPECT_EQ(DWORD(REG_DWORD), Stored(L"installed", &value, &size));
    EXPECT_EQ(67329u, value);
    EXPECT_EQ(DWORD(REG_DWORD), Stored(L"last check", &value, &size));
    EXPECT_EQ(221000000u, value);
    EXPECT_EQ(2u, ValueCount());
    LoadSettings();
    EXPECT_EQ(221000000u, settings.lastCheck);
}

TEST_F(SettingsStore, ValueNamesDoNotFollowTheChosenLanguage) {
    PutDword(L"language", 1029);
    LoadSettings();
    EXPECT_EQ(1029, ui.language);
    settings.wrapLines = 0;
    StoreSetting(SV_WRAP_LINES);
    EXPECT_EQ(DWORD(REG_DWORD), Stored(L"wrap lines"));
    EXPECT_EQ(2u, ValueCount());
}
