// The resource set carried by the executable: every string, menu, dialog, icon and fixed record in
// each language it must exist in, read back from this test module, which links the same resources.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <cwctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>
#include "harness.h"
#include "ids.h"

namespace {

constexpr WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_NEUTRAL);     // 9
constexpr WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);  // 1033
constexpr WORD kCzech = 1029;
constexpr WORD kSlovak = 1051;
const WORD kTranslated[] = {kEnglish, kCzech, kSlovak};

HMODULE Self() { return GetModuleHandleW(nullptr); }

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    reinterpret_cast<std::set<WORD>*>(param)->insert(language);
    return TRUE;
}

std::set<WORD> Languages(LPCWSTR type, LPCWSTR name) {
    std::set<WORD> found;
    EnumResourceLanguagesW(Self(), type, name, CollectLanguage, reinterpret_cast<LONG_PTR>(&found));
    return found;
}

struct Blob {
    const BYTE* data = nullptr;
    DWORD size = 0;
};

Blob Load(LPCWSTR type, LPCWSTR name, WORD language) {
    Blob blob;
    HRSRC found = FindResourceExW(Self(), type, name, language);
    if (!found) return blob;
    HGLOBAL loaded = LoadResource(Self(), found);
    if (!loaded) return blob;
    blob.data = static_cast<const BYTE*>(LockResource(loaded));
    blob.size = SizeofResource(Self(), found);
    return blob;
}

// Slot `id` of its string-table block, or nullopt-like `present` false when the block is absent.
struct Slot {
    bool blockPresent = false;
    std::wstring text;
};

Slot StringAt(UINT id, WORD language) {
    Slot slot;
    Blob block = Load(RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    if (!block.data) return slot;
    slot.blockPresent = true;
    const WCHAR* p = reinterpret_cast<const WCHAR*>(block.data);
    for (UINT i = 0; i < id % 16; ++i) p += 1 + *p;
    slot.text.assign(p + 1, *p);
    return slot;
}

// ---- the id header, read as the build reads it ----

std::map<std::string, long> HeaderIds() {
    std::map<std::string, long> ids;
    std::ifstream in(harness::FromUnixPath(BRINDLE_SOURCE_UNIX "/resources/ids.h").c_str());
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string directive, name, value;
        if (!(words >> directive >> name >> value) || directive != "#define") continue;
        char* end = nullptr;
        long number = std::strtol(value.c_str(), &end, 0);
        if (end && *end == '\0') ids[name] = number;
    }
    return ids;
}

bool IsRangeMarker(const std::string& name) {
    for (const char* marker : {"_FIRST", "_LAST", "_BASE", "_OFFSET"})
        if (name.find(marker) != std::string::npos) return true;
    return false;
}

// Fixed names live in string blocks 9 and 10 (ids 128 to 159), in English (US) only.
bool IsFixedString(UINT id) { return id >= 128 && id <= 159; }

// ---- texts compared across languages ----

// printf conversions, link addresses and trailing line breaks must survive translation.
std::vector<std::wstring> Skeleton(const std::wstring& text) {
    std::vector<std::wstring> parts;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%') {
            size_t j = i + 1;
            while (j < text.size() && !std::iswalpha(text[j]) && text[j] != L'%') ++j;
            while (j < text.size() && (text[j] == L'l' || text[j] == L'h')) ++j;
            if (j < text.size()) parts.push_back(text.substr(i, j - i + 1));
            i = j;
        } else if (text.compare(i, 3, L"<a ") == 0) {
            size_t close = text.find(L'>', i);
            parts.push_back(text.substr(i, close - i + 1));
        } else if (text.compare(i, 4, L"</a>") == 0) {
            parts.push_back(L"</a>");
        }
    }
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, L"\n\n") == 0) parts.push_back(L"\\n\\n");
    return parts;
}

std::string Narrow(const std::wstring& text) { return harness::Utf8(text); }

// ---- menus ----

struct MenuEntry {
    std::wstring path;   // positions from the top, e.g. "0/1/0"
    UINT id;             // 0 for separators and popups
    bool separator;
    bool popup;
    bool checked;
    bool grayed;
    std::wstring label;
};

void WalkMenu(HMENU menu, const std::wstring& prefix, std::vector<MenuEntry>& out) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t label[256] = L"";
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = label;
        info.cch = 255;
        ASSERT_TRUE(GetMenuItemInfoW(menu, i, TRUE, &info));
        MenuEntry entry{prefix + std::to_wstring(i), info.hSubMenu ? 0u : info.wID,
                        (info.fType & MFT_SEPARATOR) != 0, info.hSubMenu != nullptr,
                        (info.fState & MFS_CHECKED) != 0, (info.fState & MFS_GRAYED) != 0, label};
        out.push_back(entry);
        if (info.hSubMenu) WalkMenu(info.hSubMenu, entry.path + L"/", out);
    }
}

std::vector<MenuEntry> MenuIn(UINT id, WORD language) {
    std::vector<MenuEntry> entries;
    Blob blob = Load(RT_MENU, MAKEINTRESOURCEW(id), language);
    if (!blob.data) return entries;
    HMENU menu = LoadMenuIndirectW(blob.data);
    if (!menu) return entries;
    WalkMenu(menu, L"", entries);
    DestroyMenu(menu);
    return entries;
}

// The main menu as it must come out of the resource: -1 a popup, 0 a separator, C checked, G grey.
const char* const kMainMenu[] = {
    "0 -1", "0/0 1101", "0/1 -1", "0/1/0 1121", "0/1/1 0", "0/2 1108 G", "0/3 0", "0/4 1102",
    "0/5 1103 G", "0/6 0", "0/7 1109",
    "1 -1", "1/0 1201 G", "1/1 1207 G", "1/2 1219 G", "1/3 1213", "1/4 0", "1/5 1211", "1/6 1212", "1/7 0",
    "1/8 1202 G", "1/9 1203 G", "1/10 0", "1/11 1204 G", "1/12 1205 G", "1/13 1206 G", "1/14 0",
    "1/15 1208", "1/16 0", "1/17 1209",
    "2 -1", "2/0 1401", "2/1 1406", "2/2 1402", "2/3 1404", "2/4 1410", "2/5 1411", "2/6 0", "2/7 1405",
    "2/8 1409", "2/9 0", "2/10 1408 C", "2/11 1407 C", "2/12 1403 C",
    "3 -1", "3/0 1305", "3/1 1303", "3/2 1304", "3/3 0", "3/4 1309", "3/5 1302", "3/6 1306",
    "3/7 1307", "3/8 1308", "3/9 1310", "3/10 0", "3/11 1319 C",
    "4 -1", "4/0 1501", "4/1 1502", "4/2 1503", "4/3 0", "4/4 1519",
    "5 -1", "5/0 1908", "5/1 1906 C", "5/2 0", "5/3 1905", "5/4 0", "5/5 1909",
};

std::string Describe(const MenuEntry& e) {
    std::string text = Narrow(e.path) + " " + (e.popup ? "-1" : std::to_string(e.id));
    if (e.checked) text += " C";
    if (e.grayed && !e.separator) text += " G";  // the system reports separators as grey
    return text;
}

// ---- dialog templates ----

struct DialogItem {
    DWORD exStyle, style;
    short x, y, cx, cy;
    int id;
    std::wstring cls, title;
};

struct DialogTemplate {
    bool extended = false;
    DWORD exStyle = 0, style = 0;
    short cx = 0, cy = 0;
    std::wstring title, face;
    WORD points = 0;
    std::vector<DialogItem> items;
};

// A name or ordinal field of a template; the predefined class ordinals come back as their names,
// other ordinals as "#n".
std::wstring ReadNameOrOrdinal(const WORD*& p) {
    if (*p == 0) { ++p; return L""; }
    if (*p == 0xFFFF) {
        WORD ordinal = p[1];
        p += 2;
        if (ordinal == 0x80) return L"Button";
        if (ordinal == 0x81) return L"Edit";
        if (ordinal == 0x82) return L"Static";
        return L"#" + std::to_wstring(ordinal);
    }
    std::wstring s(reinterpret_cast<const wchar_t*>(p));
    p += s.size() + 1;
    return s;
}

const WORD* AlignDword(const WORD* p, const BYTE* base) {
    size_t offset = reinterpret_cast<const BYTE*>(p) - base;
    return reinterpret_cast<const WORD*>(base + ((offset + 3) & ~size_t(3)));
}

DialogTemplate ParseDialog(const Blob& blob) {
    DialogTemplate t;
    const WORD* p = reinterpret_cast<const WORD*>(blob.data);
    if (p[0] != 1 || p[1] != 0xFFFF) return t;
    t.extended = true;
    auto dword = [](const WORD* q) { return DWORD(q[0]) | (DWORD(q[1]) << 16); };
    t.exStyle = dword(p + 4);
    t.style = dword(p + 6);
    WORD count = p[8];
    t.cx = short(p[11]);
    t.cy = short(p[12]);
    p += 13;
    ReadNameOrOrdinal(p);  // menu
    ReadNameOrOrdinal(p);  // class
    t.title = ReadNameOrOrdinal(p);
    if (t.style & DS_SETFONT) {
        t.points = p[0];
        p += 3;  // points, weight, italic + charset
        t.face = ReadNameOrOrdinal(p);
    }
    for (WORD i = 0; i < count; ++i) {
        p = AlignDword(p, blob.data);
        DialogItem item;
        item.exStyle = dword(p + 2);
        item.style = dword(p + 4);
        item.x = short(p[6]);
        item.y = short(p[7]);
        item.cx = short(p[8]);
        item.cy = short(p[9]);
        item.id = int(dword(p + 10));
        p += 12;
        item.cls = ReadNameOrOrdinal(p);
        item.title = ReadNameOrOrdinal(p);
        WORD extra = *p++;
        p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p) + extra);
        t.items.push_back(item);
    }
    return t;
}

struct ExpectedControl {
    int id;
    const wchar_t* cls;   // "Button", "Edit", "Static" or a registered class name
    short x, y, cx, cy;   // cx 0: position not fixed
    DWORD styleBits;      // must all be set
};

struct ExpectedDialog {
    UINT id;
    short cx, cy;
    const wchar_t* englishTitle;
    std::vector<ExpectedControl> controls;
};

const DWORD kUpDown = UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_SETBUDDYINT;

const std::vector<ExpectedDialog>& ExpectedDialogs() {
    static const std::vector<ExpectedDialog> dialogs = {
        {IDD_GOTO, 180, 56, L"Go to row", {
            {127, L"Static", 0, 30, 182, 2, SS_ETCHEDHORZ}, {-1, L"Static", 0, 0, 0, 0, 0},
            {258, L"Edit", 0, 0, 0, 0, ES_NUMBER | WS_TABSTOP}, {1, L"Button", 68, 36, 50, 14, BS_DEFPUSHBUTTON},
            {2, L"Button", 123, 36, 50, 14, 0}}},
        {IDD_ROW_LENGTH, 180, 56, L"Row length settings", {
            {127, L"Static", 0, 30, 182, 2, SS_ETCHEDHORZ}, {-1, L"Static", 7, 11, 87, 10, 0},
            {259, L"Edit", 95, 10, 57, 12, ES_NUMBER | ES_AUTOHSCROLL | WS_BORDER},
            {260, UPDOWN_CLASSW, 152, 10, 10, 12, kUpDown},
            {1, L"Button", 68, 36, 50, 14, BS_DEFPUSHBUTTON}, {2, L"Button", 123, 36, 50, 14, 0}}},
        {IDD_PRINTING, 220, 90, L"Printing", {
            {127, L"Static", 0, 66, 222, 2, SS_ETCHEDHORZ}, {-1, L"Static", 7, 5, 25, 25, SS_ICON | SS_CENTERIMAGE},
            {261, PROGRESS_CLASSW, 14, 40, 192, 12, 0}, {1025, L"Static", 40, 12, 160, 14, 0},
            {2, L"Button", 163, 71, 50, 14, 0}}},
        {IDD_ASSOCIATIONS, 250, 155, L"File type associations", {
            {127, L"Static", 0, 128, 252, 2, SS_ETCHEDHORZ},
            {-1, L"Static", 2, 0, 35, 35, SS_ICON | SS_CENTERIMAGE | SS_REALSIZEIMAGE},
            {1025, L"Static", 40, 12, 210, 14, 0}, {512, L"Button", 50, 35, 160, 10, BS_AUTOCHECKBOX},
            {513, L"Button", 50, 47, 160, 10, BS_AUTOCHECKBOX}, {1026, L"Static", 40, 75, 210, 10, 0},
            {527, L"Button", 50, 95, 160, 14, BS_AUTOCHECKBOX}, {1, L"Button", 138, 135, 50, 14, BS_DEFPUSHBUTTON},
            {2, L"Button", 193, 135, 50, 14, 0}, {122, L"Static", 7, 137, 130, 9, 0}}},
        // 14 units wider than first drawn: "Reduce size of loaded data to:" wrapped in 87 units.
        {IDD_SIZE_LIMIT, 200, 71, L"File size restriction", {
            {127, L"Static", 0, 45, 202, 2, SS_ETCHEDHORZ}, {-1, L"Static", 7, 11, 101, 10, 0},
            {263, L"Edit", 109, 10, 57, 12, ES_NUMBER}, {264, UPDOWN_CLASSW, 166, 10, 10, 12, kUpDown | UDS_NOTHOUSANDS},
            {-1, L"Static", 170, 11, 18, 10, 0}, {-1, L"Static", 7, 26, 101, 10, 0},
            {265, L"Edit", 109, 25, 57, 12, ES_NUMBER}, {266, UPDOWN_CLASSW, 166, 25, 10, 12, kUpDown | UDS_NOTHOUSANDS},
            {-1, L"Static", 170, 26, 24, 10, 0}, {1, L"Button", 88, 51, 50, 14, BS_DEFPUSHBUTTON},
            {2, L"Button", 143, 51, 50, 14, 0}}},
        {IDD_APP_SETTINGS, 280, 179, L"Application settings", {
            {127, L"Static", 0, 152, 282, 2, SS_ETCHEDHORZ},
            {-1, L"Static", 2, 0, 35, 35, SS_ICON | SS_CENTERIMAGE | SS_REALSIZEIMAGE},
            {1025, L"Static", 40, 12, 180, 14, 0}, {531, L"Button", 50, 35, 220, 10, BS_AUTOCHECKBOX | WS_DISABLED},
            {532, L"Button", 50, 47, 220, 10, BS_AUTOCHECKBOX}, {533, L"Button", 50, 59, 220, 10, BS_AUTOCHECKBOX},
            {1026, L"Static", 40, 87, 160, 14, 0}, {541, L"Button", 50, 107, 180, 10, BS_AUTOCHECKBOX},
            {542, L"Button", 50, 119, 180, 10, BS_AUTOCHECKBOX}, {1, L"Button", 168, 159, 50, 14, BS_DEFPUSHBUTTON},
            {2, L"Button", 223, 159, 50, 14, 0}}},
        {IDD_HISTORY, 300, 200, L"History of changes", {
            {127, L"Static", 0, 176, 302, 2, SS_ETCHEDHORZ}, {2, L"Button", 243, 181, 50, 14, BS_DEFPUSHBUTTON},
            {267, L"Edit", 7, 7, 286, 162, ES_MULTILINE | ES_READONLY | WS_BORDER | WS_VSCROLL | WS_TABSTOP}}},
        // The update link has room for a second line: some check results are longer than 161 units.
        {IDD_ABOUT, 230, 101, L"About Brindle...", {
            {299, L"Static", 2, 0, 56, 56, SS_ICON | SS_CENTERIMAGE | SS_REALSIZEIMAGE},
            {127, L"Static", 0, 76, 232, 2, SS_ETCHEDHORZ}, {2, L"Button", 173, 82, 50, 14, BS_DEFPUSHBUTTON},
            {1024, L"Static", 58, 16, 170, 12, 0}, {271, L"Static", 58, 28, 170, 9, 0},
            {262, L"SysLink", 58, 46, 170, 10, 0}, {121, L"SysLink", 7, 83, 161, 16, 0}}},
        // Highlighting rules: beyond the dialogs of the first release.
        {IDD_HIGHLIGHT, 300, 227, L"Highlighting", {
            {127, L"Static", 0, 201, 302, 2, SS_ETCHEDHORZ}, {1025, L"Static", 7, 7, 286, 14, 0},
            {543, L"#131", 7, 26, 200, 92, LBS_NOTIFY | WS_VSCROLL | WS_TABSTOP},
            {544, L"Button", 214, 26, 79, 14, 0}, {545, L"Button", 214, 44, 79, 14, 0},
            {546, L"Button", 214, 68, 79, 14, 0}, {547, L"Button", 214, 86, 79, 14, 0},
            {-1, L"Static", 7, 128, 40, 10, 0}, {548, L"Edit", 50, 126, 157, 12, ES_AUTOHSCROLL | WS_TABSTOP},
            {549, L"Button", 50, 143, 157, 10, BS_AUTOCHECKBOX}, {550, L"Button", 50, 156, 157, 10, BS_AUTOCHECKBOX},
            {551, L"Button", 50, 169, 157, 10, BS_AUTOCHECKBOX}, {572, L"Button", 50, 182, 157, 10, BS_AUTOCHECKBOX}, {552, L"Button", 214, 125, 79, 14, 0},
            {553, L"Button", 214, 143, 79, 14, 0}, {554, L"Static", 214, 163, 79, 14, SS_CENTERIMAGE | WS_BORDER},
            {1, L"Button", 188, 207, 50, 14, BS_DEFPUSHBUTTON}, {2, L"Button", 243, 207, 50, 14, 0}}},
        {IDD_FILTERS, 300, 227, L"Filters", {
            {127, L"Static", 0, 201, 302, 2, SS_ETCHEDHORZ}, {1025, L"Static", 7, 7, 286, 14, 0},
            {560, L"#131", 7, 26, 200, 92, LBS_NOTIFY | WS_VSCROLL | WS_TABSTOP},
            {561, L"Button", 214, 26, 79, 14, 0}, {562, L"Button", 214, 44, 79, 14, 0},
            {563, L"Button", 214, 68, 79, 14, 0}, {564, L"Button", 214, 86, 79, 14, 0},
            {-1, L"Static", 7, 128, 40, 10, 0}, {565, L"Edit", 50, 126, 157, 12, ES_AUTOHSCROLL | WS_TABSTOP},
            {566, L"Button", 50, 143, 157, 10, BS_AUTOCHECKBOX}, {567, L"Button", 50, 156, 157, 10, BS_AUTOCHECKBOX},
            {568, L"Button", 50, 169, 157, 10, BS_AUTOCHECKBOX}, {571, L"Button", 50, 182, 157, 10, BS_AUTOCHECKBOX}, {-1, L"Static", 214, 128, 79, 10, 0},
            {569, L"Button", 214, 143, 79, 10, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP},
            {570, L"Button", 214, 156, 79, 10, BS_AUTORADIOBUTTON},
            {1, L"Button", 188, 207, 50, 14, BS_DEFPUSHBUTTON | WS_GROUP}, {2, L"Button", 243, 207, 50, 14, 0}}},
    };
    return dialogs;
}

// Dialog 1007 and menu 2001 carry their English variant under English (US), the rest under neutral.
WORD EnglishOf(LPCWSTR type, UINT id) {
    if ((type == RT_DIALOG && id == IDD_APP_SETTINGS) || (type == RT_MENU && id == IDR_TRAY_MENU))
        return kEnglishUs;
    return kEnglish;
}

std::vector<WORD> LanguagesOf(LPCWSTR type, UINT id) {
    return {EnglishOf(type, id), kCzech, kSlovak};
}

INT_PTR CALLBACK SilentDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

}  // namespace

// ---- ids ----

TEST(Resources, IdsOfOneKindNeverShareANumber) {
    std::map<std::string, long> ids = HeaderIds();
    ASSERT_GT(ids.size(), 100u) << "ids.h was not read";
    const char* kinds[] = {"IDM_", "IDD_", "IDC_", "IDS_", "TIMER_", "WM_BRINDLE_"};
    for (const char* kind : kinds) {
        std::map<long, std::string> seen;
        for (const auto& [name, value] : ids) {
            if (name.rfind(kind, 0) != 0 || IsRangeMarker(name)) continue;
            auto [it, fresh] = seen.emplace(value, name);
            EXPECT_TRUE(fresh) << name << " and " << it->second << " are both " << value;
        }
    }
    // Menus share one numbering among themselves (the accelerator table is another type).
    EXPECT_NE(ids["IDR_MAIN_MENU"], ids["IDR_CONTEXT_MENU"]);
    EXPECT_NE(ids["IDR_CONTEXT_MENU"], ids["IDR_TRAY_MENU"]);
    EXPECT_NE(ids["IDR_MAIN_MENU"], ids["IDR_TRAY_MENU"]);
    // Help texts are computed from command and control ids, so they must not land on named strings.
    std::set<long> named;
    for (const auto& [name, value] : ids)
        if (name.rfind("IDS_", 0) == 0 && !IsRangeMarker(name)) named.insert(value);
    for (const auto& [name, value] : ids) {
        if (IsRangeMarker(name)) continue;
        if (name.rfind("IDM_", 0) == 0) {
            EXPECT_EQ(0u, named.count(value + IDS_HELP_MENU_OFFSET)) << name;
        }
        if (name.rfind("IDC_", 0) == 0) {
            EXPECT_EQ(0u, named.count(value + IDS_HELP_CONTROL_OFFSET)) << name;
        }
    }
}

// ---- strings ----

TEST(Resources, EveryNamedStringExistsInEachLanguageItBelongsTo) {
    for (const auto& [name, value] : HeaderIds()) {
        if (name.rfind("IDS_", 0) != 0 || IsRangeMarker(name)) continue;
        UINT id = UINT(value);
        if (IsFixedString(id)) {
            EXPECT_FALSE(StringAt(id, kEnglishUs).text.empty()) << name;
            for (WORD language : kTranslated)
                EXPECT_FALSE(StringAt(id, language).blockPresent) << name << " in " << language;
        } else {
            for (WORD language : kTranslated)
                EXPECT_FALSE(StringAt(id, language).text.empty()) << name << " missing in " << language;
        }
    }
}

TEST(Resources, FixedNamesLiveInBlocksNineAndTenOfEnglishUsOnly) {
    EXPECT_EQ(std::set<WORD>{kEnglishUs}, Languages(RT_STRING, MAKEINTRESOURCEW(9)));
    EXPECT_EQ(std::set<WORD>{kEnglishUs}, Languages(RT_STRING, MAKEINTRESOURCEW(10)));
    EXPECT_EQ(L"Software\\Skelby\\Brindle", StringAt(IDS_REG_KEY, kEnglishUs).text);
    EXPECT_EQ(L"history %u", StringAt(IDS_REG_HISTORY, kEnglishUs).text);
    EXPECT_EQ(L"Tervo.Brindle.1", StringAt(IDS_PROGID, kEnglishUs).text);
    EXPECT_EQ(L"%SystemRoot%\\system32\\shell32.dll,-152", StringAt(IDS_DEFAULT_ICON, kEnglishUs).text);
    EXPECT_EQ(L"*\\shell\\Tervo.Brindle", StringAt(IDS_VERB_KEY, kEnglishUs).text);
    EXPECT_EQ(L":Tervo.Brindle.Properties", StringAt(IDS_STREAM_NAME, kEnglishUs).text);
    EXPECT_EQ(L"save position", StringAt(IDS_REG_SAVE_POSITION, kEnglishUs).text);
    EXPECT_TRUE(StringAt(128, kEnglishUs).text.empty());
}

TEST(Resources, TranslationsFillTheSameSlotsWithTheSameFormatsAndLinks) {
    int compared = 0;
    for (UINT block = 1; block <= 4096; ++block) {
        if (block == 9 || block == 10) continue;
        std::set<WORD> languages = Languages(RT_STRING, MAKEINTRESOURCEW(block));
        if (languages.empty()) continue;
        EXPECT_EQ(std::set<WORD>(std::begin(kTranslated), std::end(kTranslated)), languages) << "block " << block;
        for (UINT id = (block - 1) * 16; id < block * 16; ++id) {
            std::wstring english = StringAt(id, kEnglish).text;
            for (WORD language : {kCzech, kSlovak}) {
                std::wstring other = StringAt(id, language).text;
                EXPECT_EQ(english.empty(), other.empty()) << "string " << id << " in " << language;
                EXPECT_EQ(Skeleton(english), Skeleton(other)) << "string " << id << " in " << language;
            }
            compared += !english.empty();
        }
    }
    EXPECT_GT(compared, 100);
}

TEST(Resources, QuotedTextsAndLanguageMarkers) {
    EXPECT_EQ(L"Brindle", StringAt(IDS_PRODUCT, kEnglish).text);
    EXPECT_EQ(L"%s - %s", StringAt(IDS_TITLE_FORMAT, kCzech).text);
    EXPECT_EQ(L"en", StringAt(IDS_DONATE_LANGUAGE, kEnglish).text);
    EXPECT_EQ(L"cz", StringAt(IDS_DONATE_LANGUAGE, kCzech).text);
    EXPECT_EQ(L"cz", StringAt(IDS_DONATE_LANGUAGE, kSlovak).text);
    EXPECT_EQ(L"Sledovat soubor...", StringAt(IDS_VERB_CAPTION, kCzech).text);
    EXPECT_EQ(L"You are missing neccessary privilegies.", StringAt(IDS_NO_RIGHTS, kEnglish).text);
    for (WORD language : kTranslated) {
        EXPECT_EQ(std::wstring(32, L' '), StringAt(IDS_UPDATE_BLANK, language).text);
        // The status bar shows the notice from its eleventh character on.
        EXPECT_GT(StringAt(IDS_NOTICE, language).text.size(), 10u);
        std::wstring locked = StringAt(IDS_LOCKED, language).text;
        EXPECT_EQ(L' ', locked.back()) << "the lock text is padded";
    }
    EXPECT_TRUE(StringAt(7, kEnglish).text.empty());
    EXPECT_FALSE(StringAt(4000 * 16, kEnglish).blockPresent);
}

TEST(Resources, HelpTextsExistForTheDocumentedMenuItemsAndControls) {
    std::vector<UINT> ids = {256, 257, 258, 259, 260, 261, 1357, 1358, 1359, 1364, 1365, 1377,
                             1467, 1468, 1475, 1575, 1666, 1775, 2162, 2164, 2165};
    for (UINT id = 1457; id <= 1465; ++id) ids.push_back(id);
    for (UINT id = 1558; id <= 1566; ++id) ids.push_back(id);
    for (UINT id = 1657; id <= 1665; ++id) ids.push_back(id);
    for (int control : {1, 2, 121, 122, 258, 259, 260, 261, 262, 263, 264, 265, 266, 267, 271,
                        512, 513, 527, 531, 532, 533, 541, 542, 543, 544, 545, 546, 547, 548, 549, 550,
                        551, 552, 553, 554})
        ids.push_back(UINT(control + IDS_HELP_CONTROL_OFFSET));
    for (UINT id : ids)
        for (WORD language : kTranslated)
            EXPECT_FALSE(StringAt(id, language).text.empty()) << "help " << id << " in " << language;
    EXPECT_EQ(L"Click to save changes and close the dialog", StringAt(3585, kEnglish).text);
    EXPECT_EQ(L"Row number to jump to", StringAt(3842, kEnglish).text);
    EXPECT_EQ(L"Brindle 1.7.1.2982", StringAt(3855, kSlovak).text);
}

// ---- menus ----

TEST(Resources, MenusExistInTheirLanguagesAndMatchAcrossThem) {
    EXPECT_EQ((std::set<WORD>{kEnglish, kCzech, kSlovak}), Languages(RT_MENU, MAKEINTRESOURCEW(IDR_MAIN_MENU)));
    EXPECT_EQ((std::set<WORD>{kEnglish, kCzech, kSlovak}), Languages(RT_MENU, MAKEINTRESOURCEW(IDR_CONTEXT_MENU)));
    EXPECT_EQ((std::set<WORD>{kEnglishUs, kCzech, kSlovak}), Languages(RT_MENU, MAKEINTRESOURCEW(IDR_TRAY_MENU)));
    for (UINT menu : {IDR_MAIN_MENU, IDR_CONTEXT_MENU, IDR_TRAY_MENU}) {
        std::vector<MenuEntry> english = MenuIn(menu, EnglishOf(RT_MENU, menu));
        ASSERT_FALSE(english.empty()) << menu;
        for (WORD language : {kCzech, kSlovak}) {
            std::vector<MenuEntry> other = MenuIn(menu, language);
            ASSERT_EQ(english.size(), other.size()) << menu << " in " << language;
            for (size_t i = 0; i < english.size(); ++i) {
                EXPECT_EQ(Describe(english[i]), Describe(other[i])) << menu << " in " << language;
                EXPECT_EQ(english[i].separator, other[i].separator);
                EXPECT_EQ(english[i].label.empty(), other[i].label.empty());
            }
        }
    }
}

TEST(Resources, MainMenuHasTheItemsSeparatorsAndStatesOfTheCommandTable) {
    std::vector<MenuEntry> entries = MenuIn(IDR_MAIN_MENU, kEnglish);
    ASSERT_EQ(std::size(kMainMenu), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(kMainMenu[i], Describe(entries[i]));
    std::map<UINT, std::wstring> labels;
    for (const MenuEntry& e : entries) labels[e.id] = e.label;
    EXPECT_EQ(L"&Open...\tCtrl+O", labels[IDM_OPEN]);
    EXPECT_EQ(L"Loc&k autoscrolling\tScroll Lock", labels[IDM_LOCK_SCROLL]);
    EXPECT_EQ(L"&Czech (Česky)", labels[IDM_LANG_CZECH]);
    EXPECT_EQ(L"UTF-32 B&E", labels[IDM_CHARSET_UTF32BE]);
    EXPECT_EQ(L"&About Brindle...\tF1", labels[IDM_ABOUT]);

    std::vector<MenuEntry> context = MenuIn(IDR_CONTEXT_MENU, kEnglish);
    ASSERT_EQ(5u, context.size());
    EXPECT_EQ(IDM_COPY, context[1].id);
    EXPECT_EQ(IDM_PRINT, context[2].id);
    EXPECT_TRUE(context[3].separator);
    EXPECT_EQ(IDM_SELECT_ALL, context[4].id);
    std::vector<MenuEntry> tray = MenuIn(IDR_TRAY_MENU, kEnglishUs);
    ASSERT_EQ(3u, tray.size());
    EXPECT_EQ(IDM_RESTORE, tray[1].id);
    EXPECT_EQ(IDM_EXIT, tray[2].id);
}

TEST(Resources, MnemonicsAreUniqueWithinEachPopup) {
    for (UINT menu : {IDR_MAIN_MENU, IDR_CONTEXT_MENU, IDR_TRAY_MENU}) {
        for (WORD language : LanguagesOf(RT_MENU, menu)) {
            std::map<std::wstring, std::set<wchar_t>> used;  // parent path -> mnemonics
            for (const MenuEntry& e : MenuIn(menu, language)) {
                size_t amp = e.label.find(L'&');
                if (amp == std::wstring::npos || amp + 1 >= e.label.size()) continue;
                std::wstring parent = e.path.substr(0, e.path.rfind(L'/') == std::wstring::npos ? 0 : e.path.rfind(L'/'));
                wchar_t key[2] = {e.label[amp + 1], 0};
                CharLowerW(key);
                EXPECT_TRUE(used[parent].insert(key[0]).second)
                    << "menu " << menu << " in " << language << ": " << Narrow(e.label);
            }
        }
    }
}

// ---- accelerators ----

TEST(Resources, AcceleratorTableHoldsEveryKeyOnce) {
    EXPECT_EQ(std::set<WORD>{kEnglishUs}, Languages(RT_ACCELERATOR, MAKEINTRESOURCEW(IDR_ACCELERATORS)));
    HACCEL table = LoadAcceleratorsW(Self(), MAKEINTRESOURCEW(IDR_ACCELERATORS));
    ASSERT_NE(nullptr, table);
    ACCEL entries[64];
    int count = CopyAcceleratorTableW(table, entries, 64);
    struct Key { BYTE flags; WORD key; WORD command; };
    const BYTE c = FVIRTKEY | FCONTROL, v = FVIRTKEY;
    const Key expected[] = {
        {c, 'O', 1101}, {c, 'P', 1103}, {c, VK_F4, 1108}, {v, VK_ESCAPE, 1119}, {v, VK_PAUSE, 1201},
        {c, 'F', 1204}, {v, VK_F3, 1205}, {c, 'G', 1206}, {v, VK_SCROLL, 1207}, {v, VK_F11, 1208},
        {FVIRTKEY | FSHIFT, VK_F11, 1208}, {v, VK_F1, 1909}, {c, 'C', 1202}, {c, 'A', 1203},
        {c, 'X', 1209}, {c, 'R', 1219}, {c, VK_UP, 1211}, {c, VK_DOWN, 1212}, {c, 'D', 1319},
        {c, 'W', 1407}, {c, 'E', 1408}, {c, 'L', 1213}, {c, '0', 1305}, {c, '7', 1309}, {c, '8', 1302}, {c, 'U', 1306},
    };
    ASSERT_EQ(int(std::size(expected)), count);
    for (const Key& key : expected) {
        bool found = false;
        for (int i = 0; i < count; ++i)
            found |= (entries[i].fVirt & ~0x80) == key.flags && entries[i].key == key.key && entries[i].cmd == key.command;
        EXPECT_TRUE(found) << "key " << key.key << " for " << key.command;
    }
    DestroyAcceleratorTable(table);
}

// ---- dialogs ----

TEST(Resources, DialogTemplatesMatchTheirLayoutInEveryLanguage) {
    for (const ExpectedDialog& expected : ExpectedDialogs()) {
        std::vector<WORD> languages = LanguagesOf(RT_DIALOG, expected.id);
        EXPECT_EQ(std::set<WORD>(languages.begin(), languages.end()),
                  Languages(RT_DIALOG, MAKEINTRESOURCEW(expected.id)));
        DialogTemplate english;
        for (WORD language : languages) {
            DialogTemplate t = ParseDialog(Load(RT_DIALOG, MAKEINTRESOURCEW(expected.id), language));
            SCOPED_TRACE("dialog " + std::to_string(expected.id) + " in " + std::to_string(language));
            ASSERT_TRUE(t.extended);
            EXPECT_EQ(L"MS Shell Dlg 2", t.face);
            EXPECT_EQ(8, t.points);
            EXPECT_EQ(DWORD(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU),
                      t.style & (DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU));
            EXPECT_EQ(expected.id == IDD_ABOUT, (t.style & DS_NOFAILCREATE) != 0);
            EXPECT_TRUE(t.exStyle & WS_EX_CONTEXTHELP);
            EXPECT_EQ(expected.cx, t.cx);
            EXPECT_EQ(expected.cy, t.cy);
            EXPECT_FALSE(t.title.empty());
            ASSERT_EQ(expected.controls.size(), t.items.size());
            for (size_t i = 0; i < t.items.size(); ++i) {
                const ExpectedControl& want = expected.controls[i];
                const DialogItem& got = t.items[i];
                EXPECT_EQ(want.id, got.id) << "item " << i;
                EXPECT_EQ(0, _wcsicmp(want.cls, got.cls.c_str())) << "item " << i;
                EXPECT_EQ(want.styleBits, got.style & want.styleBits) << "control " << want.id;
                if (want.cx) {
                    EXPECT_EQ(want.x, got.x) << "control " << want.id;
                    EXPECT_EQ(want.y, got.y) << "control " << want.id;
                    EXPECT_EQ(want.cx, got.cx) << "control " << want.id;
                    EXPECT_EQ(want.cy, got.cy) << "control " << want.id;
                }
                if (_wcsicmp(got.cls.c_str(), L"Static") == 0 && (got.style & SS_TYPEMASK) == SS_ICON) {
                    EXPECT_NE(nullptr, FindResourceW(Self(), got.title.c_str(), RT_GROUP_ICON)) << Narrow(got.title);
                }
            }
            if (language == languages.front()) {
                english = t;
                EXPECT_EQ(expected.englishTitle, t.title);
            } else {
                for (size_t i = 0; i < t.items.size(); ++i) {
                    EXPECT_EQ(english.items[i].style, t.items[i].style) << "control " << t.items[i].id;
                    EXPECT_EQ(english.items[i].exStyle, t.items[i].exStyle) << "control " << t.items[i].id;
                    EXPECT_EQ(english.items[i].x, t.items[i].x);
                    EXPECT_EQ(english.items[i].y, t.items[i].y);
                    EXPECT_EQ(english.items[i].title.empty(), t.items[i].title.empty()) << "control " << t.items[i].id;
                    EXPECT_EQ(Skeleton(english.items[i].title), Skeleton(t.items[i].title)) << "control " << t.items[i].id;
                }
            }
        }
    }
}

TEST(Resources, DialogsCreateWithAllTheirControlsInEveryLanguage) {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS | ICC_LINK_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);
    for (const ExpectedDialog& expected : ExpectedDialogs()) {
        for (WORD language : LanguagesOf(RT_DIALOG, expected.id)) {
            Blob blob = Load(RT_DIALOG, MAKEINTRESOURCEW(expected.id), language);
            ASSERT_NE(nullptr, blob.data);
            HWND dialog = CreateDialogIndirectParamW(Self(), reinterpret_cast<LPCDLGTEMPLATEW>(blob.data),
                                                     nullptr, SilentDialog, 0);
            ASSERT_NE(nullptr, dialog) << "dialog " << expected.id << " in " << language;
            for (const ExpectedControl& control : expected.controls) {
                if (control.id == -1) continue;
                EXPECT_NE(nullptr, GetDlgItem(dialog, control.id))
                    << "control " << control.id << " of " << expected.id << " in " << language;
            }
            DestroyWindow(dialog);
        }
    }
}

// ---- icons, history, version, manifest ----

TEST(Resources, IconsCarrySixteenThirtyTwoAndFortyEightPixelImages) {
    for (const wchar_t* name : {L"A", L"B", L"PLAY", L"PAUSE", L"FILE", L"BUFF", L"SETUP", L"ASSOC", L"PRINT"}) {
        SCOPED_TRACE(Narrow(name));
        EXPECT_EQ(std::set<WORD>{kEnglishUs}, Languages(RT_GROUP_ICON, name));
        Blob group = Load(RT_GROUP_ICON, name, kEnglishUs);
        ASSERT_NE(nullptr, group.data);
        WORD count = reinterpret_cast<const WORD*>(group.data)[2];
        std::set<int> sizes;
        for (WORD i = 0; i < count; ++i) {
            const BYTE* entry = group.data + 6 + 14 * i;
            sizes.insert(entry[0]);
            EXPECT_EQ(32, entry[6] | (entry[7] << 8));
        }
        EXPECT_EQ((std::set<int>{16, 32, 48}), sizes);
        HICON small = static_cast<HICON>(LoadImageW(Self(), name, IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
        EXPECT_NE(nullptr, small);
        if (small) DestroyIcon(small);
    }
}

TEST(Resources, HistoryIsUtf16WithNewestVersionFirst) {
    EXPECT_EQ(std::set<WORD>{kEnglishUs}, Languages(L"TEXT", L"HISTORY"));
    Blob history = Load(L"TEXT", L"HISTORY", kEnglishUs);
    ASSERT_GT(history.size, 2u);
    ASSERT_EQ(0xFF, history.data[0]);
    ASSERT_EQ(0xFE, history.data[1]);
    std::wstring text(reinterpret_cast<const wchar_t*>(history.data + 2), (history.size - 2) / 2);
    EXPECT_EQ(0u, text.rfind(L"1.7.1\r\nreleased ", 0));
    size_t lone = 0;  // every line ends with CR LF
    for (size_t i = 0; i < text.size(); ++i) {
        lone += text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r');
        lone += text[i] == L'\r' && (i + 1 == text.size() || text[i + 1] != L'\n');
    }
    EXPECT_EQ(0u, lone);
    EXPECT_NE(std::wstring::npos, text.find(L"\r\n\r\n1.7.0\r\nreleased "));
    EXPECT_NE(std::wstring::npos, text.find(L"\r\n * "));
}

TEST(Resources, VersionRecordAndManifest) {
    Blob version = Load(RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO), kEnglishUs);
    ASSERT_NE(nullptr, version.data);
    const VS_FIXEDFILEINFO* fixed = nullptr;
    for (DWORD at = 0; at + sizeof(VS_FIXEDFILEINFO) <= version.size; at += 4) {
        if (*reinterpret_cast<const DWORD*>(version.data + at) == 0xFEEF04BD) {
            fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(version.data + at);
            break;
        }
    }
    ASSERT_NE(nullptr, fixed);
    EXPECT_EQ(MAKELONG(7, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(2982, 1), fixed->dwFileVersionLS);
    EXPECT_EQ(MAKELONG(7, 1), fixed->dwProductVersionMS);

    Blob manifest = Load(RT_MANIFEST, MAKEINTRESOURCEW(1), kEnglishUs);
    ASSERT_NE(nullptr, manifest.data);
    std::string xml(reinterpret_cast<const char*>(manifest.data), manifest.size);
    EXPECT_NE(std::string::npos, xml.find("Microsoft.Windows.Common-Controls"));
    EXPECT_NE(std::string::npos, xml.find("version=\"6.0.0.0\""));
    EXPECT_NE(std::string::npos, xml.find(">true</dpiAware>"));
}
