// Localised resources: the per-resource language choice, the string cache shared with the
// update-check thread, menus, and modal dialogs with the Vista font substitution.
#include "dialogs/ui.h"
#include "shell/platform.h"
#include "persist/settings.h"
#include "ids.h"
#include <cstdint>
#include <cstring>

Ui ui;

namespace {

constexpr int kMaxLanguages = 1024;

struct StringCacheEntry {
    uint32_t id;
    HMODULE module;
    wchar_t* text;   // heap copy with a NUL, never freed
};

struct StringCache {
    StringCacheEntry* entries;
    uint32_t count;
    uint32_t capacity;
    CRITICAL_SECTION lock;
    bool lockReady;  // false until the static initialiser below ran: only one thread exists then
};

StringCache stringCache;

// The lock exists before the entry point, so no thread can ever race its creation. Anything
// that asks for a string from an earlier static initialiser simply runs unlocked.
struct StringCacheLockInit {
    StringCacheLockInit() {
        InitializeCriticalSection(&stringCache.lock);
        stringCache.lockReady = true;
    }
} stringCacheLockInit;

HMODULE OwnModule() { return GetModuleHandleW(nullptr); }

struct LanguageList {
    LANGID ids[kMaxLanguages];
    int count;
};

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    LanguageList& list = *reinterpret_cast<LanguageList*>(param);
    int at = list.count;
    while (at > 0 && list.ids[at - 1] > language) --at;   // after any equal ones
    MoveMemory(&list.ids[at + 1], &list.ids[at], (list.count - at) * sizeof(LANGID));
    list.ids[at] = language;
    ++list.count;
    return list.count < kMaxLanguages;
}

bool Contains(const LANGID* ids, int count, LANGID wanted) {
    int low = 0, high = count - 1;
    while (low <= high) {
        int middle = (low + high) / 2;
        if (ids[middle] == wanted) return true;
        if (ids[middle] < wanted) low = middle + 1; else high = middle - 1;
    }
    return false;
}

// The language itself, then its default, neutral and remaining sublanguages.
bool TryFamily(const LANGID* ids, int count, LANGID language, LANGID* found) {
    WORD primary = PRIMARYLANGID(language);
    LANGID tries[3] = {language, MAKELANGID(primary, 1), MAKELANGID(primary, 0)};
    for (LANGID candidate : tries)
        if (Contains(ids, count, candidate)) { *found = candidate; return true; }
    for (WORD sub = 2; sub <= 63; ++sub)
        if (Contains(ids, count, MAKELANGID(primary, sub))) { *found = MAKELANGID(primary, sub); return true; }
    return false;
}

// Entry `index` of a string-table block, or null when the slot is empty or the block is short.
const wchar_t* StringInBlock(const UiResource& block, UINT index, WORD* length) {
    const WORD* unit = static_cast<const WORD*>(block.data);
    const WORD* end = unit + block.size / sizeof(WORD);
    for (UINT i = 0; i < index; ++i) {
        if (unit >= end) return nullptr;
        WORD n = *unit;
        if (n >= end - unit) return nullptr;
        unit += 1 + n;
    }
    if (unit >= end || *unit == 0 || *unit >= end - unit) return nullptr;
    *length = *unit;
    return reinterpret_cast<const wchar_t*>(unit + 1);
}

bool AppendToCache(UINT id, wchar_t* text) {
    StringCache& cache = stringCache;
    if (cache.count == cache.capacity) {
        HANDLE heap = GetProcessHeap();
        uint32_t capacity = cache.capacity ? cache.capacity * 2 : 1;
        void* grown = cache.entries
            ? HeapReAlloc(heap, 0, cache.entries, capacity * sizeof(StringCacheEntry))
            : HeapAlloc(heap, 0, capacity * sizeof(StringCacheEntry));
        if (!grown) return false;
        cache.entries = static_cast<StringCacheEntry*>(grown);
        cache.capacity = capacity;
    }
    cache.entries[cache.count++] = {id, OwnModule(), text};
    return true;
}

const wchar_t* LookUpString(UINT id) {
    HMODULE module = OwnModule();
    for (uint32_t i = stringCache.count; i-- > 0;) {
        const StringCacheEntry& entry = stringCache.entries[i];
        if (entry.id == id && entry.module == module) return entry.text;
    }
    UiResource block = FindUiResource(RT_STRING, MAKEINTRESOURCEW(id / 16 + 1));
    if (!block.data) return nullptr;
    WORD length = 0;
    const wchar_t* source = StringInBlock(block, id % 16, &length);
    if (!source) return nullptr;
    HANDLE heap = GetProcessHeap();
    wchar_t* copy = static_cast<wchar_t*>(HeapAlloc(heap, 0, (length + 1) * sizeof(wchar_t)));
    if (!copy) return nullptr;
    CopyMemory(copy, source, length * sizeof(wchar_t));
    copy[length] = L'\0';
    if (!AppendToCache(id, copy)) {
        HeapFree(heap, 0, copy);
        return nullptr;
    }
    return copy;
}

// Length in units of the NUL-terminated string at `at`, including the NUL; 0 when it runs off.
DWORD TerminatedUnits(const BYTE* data, DWORD at, DWORD size) {
    for (DWORD units = 1; at + units * 2 <= size; ++units)
        if (*reinterpret_cast<const WORD*>(data + at + (units - 1) * 2) == 0) return units;
    return 0;
}

// A menu or class field of a dialog template: 0, 0xFFFF with an ordinal, or a string.
DWORD SkipNameOrOrdinal(const BYTE* data, DWORD at, DWORD size) {
    if (at + 2 > size) return 0;
    WORD first = *reinterpret_cast<const WORD*>(data + at);
    if (first == 0x0000) return at + 2;
    if (first == 0xFFFF) return at + 4 <= size ? at + 4 : 0;
    DWORD units = TerminatedUnits(data, at, size);
    return units ? at + units * 2 : 0;
}

}  // namespace

LANGID ChooseResourceLanguage(const LANGID* available, int count, LANGID preferred, LANGID user, LANGID system) {
    if (count <= 0) return 0;
    LANGID found = 0;
    if (PRIMARYLANGID(preferred) != 0 && TryFamily(available, count, preferred, &found)) return found;
    if (TryFamily(available, count, user, &found)) return found;
    if (TryFamily(available, count, system, &found)) return found;
    static const LANGID kNeutral[] = {0x0000, 0x0400, 0x0800};
    for (LANGID neutral : kNeutral)
        if (Contains(available, count, neutral)) return neutral;
    if (Contains(available, count, 1033)) return 1033;
    if (Contains(available, count, LANG_ENGLISH)) return LANG_ENGLISH;
    for (WORD sub = 2; sub <= 63; ++sub)
        if (Contains(available, count, MAKELANGID(LANG_ENGLISH, sub))) return MAKELANGID(LANG_ENGLISH, sub);
    return (available[0] == 0 && count > 1) ? available[1] : available[0];
}

LANGID PickResourceLanguage(LPCWSTR type, LPCWSTR name) {
    LanguageList list;
    list.count = 0;
    EnumResourceLanguagesW(OwnModule(), type, name, CollectLanguage, reinterpret_cast<LONG_PTR>(&list));
    if (list.count == 0) return 0;
    return ChooseResourceLanguage(list.ids, list.count, ui.language, GetUserDefaultLangID(), GetSystemDefaultLangID());
}

UiResource FindUiResource(LPCWSTR type, LPCWSTR name) {
    UiResource result{nullptr, 0, PickResourceLanguage(type, name)};
    if (!result.language) return result;
    HMODULE module = OwnModule();
    HRSRC found = FindResourceExW(module, type, name, result.language);
    if (!found) return result;
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return result;
    result.data = data;
    result.size = SizeofResource(module, found);
    if (!result.size) result.data = nullptr;
    return result;
}

const wchar_t* FindUiString(UINT id) {
    id &= 0xFFFF;   // string ids are 16-bit
    bool locked = stringCache.lockReady;
    if (locked) EnterCriticalSection(&stringCache.lock);
    const wchar_t* text = LookUpString(id);
    if (locked) LeaveCriticalSection(&stringCache.lock);
    return text;
}

const wchar_t* UiString(UINT id) {
    const wchar_t* text = FindUiString(id);
    return text ? text : L"";
}

HMENU LoadUiMenu(UINT id) {
    UiResource menu = FindUiResource(RT_MENU, MAKEINTRESOURCEW(id));
    return menu.data ? LoadMenuIndirectW(menu.data) : nullptr;
}

namespace {

struct LanguageItem {
    UINT command;
    DWORD language;
};
constexpr LanguageItem kLanguageItems[] = {
    {IDM_LANG_ENGLISH, LANG_ENGLISH}, {IDM_LANG_CZECH, 1029}, {IDM_LANG_SLOVAK, 1051}, {IDM_LANG_AUTO, 0},
};

}  // namespace

UINT LanguageMenuCommand(DWORD language) {
    for (const LanguageItem& item : kLanguageItems)
        if (item.language == language) return item.command;
    return 0;
}

DWORD LanguageOfCommand(UINT command) {
    for (const LanguageItem& item : kLanguageItems)
        if (item.command == command) return item.language;
    return static_cast<DWORD>(-1);
}

void CheckLanguageMenu(HMENU menu, DWORD language) {
    UINT command = LanguageMenuCommand(language);
    if (!menu || !command) return;
    // Automatic is a radio group of its own, after the three languages' group.
    if (command == IDM_LANG_AUTO) CheckMenuRadioItem(menu, IDM_LANG_AUTO, IDM_LANG_AUTO, command, MF_BYCOMMAND);
    else CheckMenuRadioItem(menu, IDM_LANG_ENGLISH, IDM_LANG_LAST_RADIO, command, MF_BYCOMMAND);
}

void LanguageCommand(UINT command) {
    DWORD language = LanguageOfCommand(command);
    if (language != static_cast<DWORD>(-1)) StoreLanguageAndRestart(language);
}

bool SubstituteDialogFont(BYTE* data, DWORD* size) {
    static const wchar_t kShellFace[] = L"MS Shell Dlg 2";
    static const wchar_t kVistaFace[] = L"Segoe UI";
    constexpr DWORD kShellBytes = sizeof(kShellFace), kVistaBytes = sizeof(kVistaFace);
    constexpr DWORD kHeaderBytes = 26;   // version .. cy of DLGTEMPLATEEX
    DWORD total = *size;
    if (!data || total < kHeaderBytes) return false;
    const WORD* words = reinterpret_cast<const WORD*>(data);
    if (words[0] != 1 || words[1] != 0xFFFF) return false;
    DWORD style = *reinterpret_cast<const DWORD*>(data + 12);
    if (!(style & DS_SETFONT)) return false;
    DWORD at = SkipNameOrOrdinal(data, kHeaderBytes, total);   // menu
    if (at) at = SkipNameOrOrdinal(data, at, total);           // window class
    if (!at) return false;
    DWORD titleUnits = TerminatedUnits(data, at, total);
    if (!titleUnits) return false;
    DWORD pointSize = at + titleUnits * 2;
    DWORD face = pointSize + 6;   // point size, weight, italic, charset
    if (face + kShellBytes > total || memcmp(data + face, kShellFace, kShellBytes) != 0) return false;
    *reinterpret_cast<WORD*>(data + pointSize) = 9;
    memcpy(data + face, kVistaFace, kVistaBytes);
    // The face is 12 bytes shorter: a multiple of 4, so the items stay DWORD-aligned.
    MoveMemory(data + face + kVistaBytes, data + face + kShellBytes, total - face - kShellBytes);
    *size = total - (kShellBytes - kVistaBytes);
    return true;
}

INT_PTR RunUiDialog(UINT id, HWND owner, DLGPROC procedure, LPARAM param) {
    UiResource dialog = FindUiResource(RT_DIALOG, MAKEINTRESOURCEW(id));
    if (!dialog.data) return -1;
    // The module's resource pages are read-only, so the font is changed in a private copy; the
    // original stays intact and every showing substitutes afresh.
    HANDLE heap = GetProcessHeap();
    BYTE* copy = static_cast<BYTE*>(HeapAlloc(heap, 0, dialog.size));
    if (!copy) return -1;
    CopyMemory(copy, dialog.data, dialog.size);
    DWORD size = dialog.size;
    if (isWindowsAtLeast(kWindowsVista)) SubstituteDialogFont(copy, &size);
    ui.placeNextWindow = true;
    INT_PTR result = DialogBoxIndirectParamW(OwnModule(), reinterpret_cast<LPCDLGTEMPLATEW>(copy), owner, procedure, param);
    // A dialog that never came up must not leave the placement armed for an unrelated window.
    ui.placeNextWindow = false;
    HeapFree(heap, 0, copy);
    return result;
}
