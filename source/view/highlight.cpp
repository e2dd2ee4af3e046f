// Highlighting rules: their stored form, their registry values, the owner-drawn rows that show
// them, and the switch between the plain and the owner-drawn view.
#include "view/highlight.h"
#include "view/view.h"
#include "view/find.h"
#include "shell/app.h"
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "dialogs/ui.h"
#include "ids.h"

Highlights highlights;

namespace {

// "4294967295;RRGGBB;RRGGBB;" and 255 characters of text, with room to spare.
constexpr size_t kValueUnits = 300;

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

// Six hexadecimal digits RRGGBB and a ';' after them.
bool ParseColor(const wchar_t*& at, COLORREF* color) {
    uint32_t value = 0;
    for (int i = 0; i < 6; ++i) {
        int digit = HexDigit(at[i]);
        if (digit < 0) return false;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    if (at[6] != L';') return false;
    at += 7;
    *color = RGB(value >> 16 & 0xFF, value >> 8 & 0xFF, value & 0xFF);
    return true;
}

bool RuleName(int index, wchar_t* name) {   // name holds 64 units
    const wchar_t* pattern = FindUiString(IDS_REG_HIGHLIGHT);
    if (!pattern) return false;
    wsprintfW(name, pattern, static_cast<unsigned>(index));
    return true;
}

bool ViewIsOwnerDrawn() {
    return app.view && (GetWindowLongW(app.view, GWL_STYLE) & LBS_OWNERDRAWFIXED) != 0;
}

}  // namespace

bool ParseHighlightRule(const wchar_t* value, HighlightRule* rule) {
    if (!value || !rule) return false;
    const wchar_t* at = value;
    uint32_t flags = 0;
    int digits = 0;
    for (; *at >= L'0' && *at <= L'9'; ++at) {
        if (++digits > 9) return false;   // nothing larger than the three flags is meant
        flags = flags * 10 + static_cast<uint32_t>(*at - L'0');
    }
    if (!digits || *at != L';') return false;
    ++at;
    HighlightRule parsed{};
    parsed.flags = flags & (kRuleMatchCase | kRuleWholeWord | kRuleOff);
    if (!ParseColor(at, &parsed.textColor) || !ParseColor(at, &parsed.backColor)) return false;
    size_t length = lstrlenW(at);
    if (length == 0 || length >= kHighlightTextUnits) return false;
    CopyMemory(parsed.text, at, (length + 1) * sizeof(wchar_t));
    *rule = parsed;
    return true;
}

bool FormatHighlightRule(const HighlightRule& rule, wchar_t* out, size_t units) {
    if (!out || !units) return false;
    out[0] = 0;
    wchar_t head[40];
    int headLength = wsprintfW(head, L"%u;%02X%02X%02X;%02X%02X%02X;", static_cast<unsigned>(rule.flags),
                               GetRValue(rule.textColor), GetGValue(rule.textColor), GetBValue(rule.textColor),
                               GetRValue(rule.backColor), GetGValue(rule.backColor), GetBValue(rule.backColor));
    size_t textLength = 0;
    while (textLength < kHighlightTextUnits && rule.text[textLength]) ++textLength;
    if (textLength == kHighlightTextUnits || headLength + textLength + 1 > units) return false;
    CopyMemory(out, head, headLength * sizeof(wchar_t));
    CopyMemory(out + headLength, rule.text, textLength * sizeof(wchar_t));
    out[headLength + textLength] = 0;
    return true;
}

bool AnyRuleOn(const Highlights& set) {
    for (int i = 0; i < set.count && i < kMaxHighlightRules; ++i)
        if (!(set.rules[i].flags & kRuleOff) && set.rules[i].text[0]) return true;
    return false;
}

int MatchingRule(const Highlights& set, const wchar_t* row, int rowLength) {
    for (int i = 0; i < set.count && i < kMaxHighlightRules; ++i) {
        const HighlightRule& rule = set.rules[i];
        if (rule.flags & kRuleOff) continue;
        if (TextMatches(row, rowLength, rule.text, (rule.flags & kRuleWholeWord) != 0,
                        (rule.flags & kRuleMatchCase) != 0))
            return i;
    }
    return -1;
}

void LoadHighlights() {
    highlights.count = 0;
    HKEY key = OpenSettingsKey(false);
    if (!key) return;
    wchar_t name[64];
    wchar_t value[kValueUnits];
    for (int index = 0; index < kMaxHighlightRules; ++index) {
        if (!RuleName(index, name)) break;
        DWORD type = 0, bytes = sizeof(value) - sizeof(wchar_t);
        if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) != ERROR_SUCCESS ||
            type != REG_SZ)
            continue;
        value[bytes / sizeof(wchar_t)] = 0;   // a value stored without its terminator
        if (ParseHighlightRule(value, &highlights.rules[highlights.count])) ++highlights.count;
    }
    RegCloseKey(key);
}

void StoreHighlights() {
    HKEY key = OpenSettingsKey(true);
    if (!key) return;
    wchar_t name[64];
    wchar_t value[kValueUnits];
    int stored = 0;
    for (int i = 0; i < highlights.count && i < kMaxHighlightRules; ++i) {
        if (!FormatHighlightRule(highlights.rules[i], value, kValueUnits) || !RuleName(stored, name)) continue;
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       (lstrlenW(value) + 1) * sizeof(wchar_t));
        ++stored;
    }
    for (int index = stored; index < kMaxHighlightRules; ++index)
        if (RuleName(index, name)) RegDeleteValueW(key, name);
    RegCloseKey(key);
}

int ViewRowHeight() {
    // As the plain list box measures its rows, so both kinds of view show the same rows.
    static const wchar_t alphabet[] = L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    HDC dc = GetDC(nullptr);
    if (!dc) return 16;
    HGDIOBJ old = SelectObject(dc, app.viewFont ? app.viewFont : GetStockObject(SYSTEM_FONT));
    SIZE size{};
    GetTextExtentPoint32W(dc, alphabet, 52, &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return size.cy > 0 ? size.cy : 16;
}

void OnMeasureViewItem(MEASUREITEMSTRUCT* item) {
    if (item && item->CtlType == ODT_LISTBOX) item->itemHeight = static_cast<UINT>(ViewRowHeight());
}

void OnDrawViewItem(const DRAWITEMSTRUCT* item) {
    if (!item || item->CtlType != ODT_LISTBOX) return;
    HDC dc = item->hDC;
    RECT row = item->rcItem;
    if (item->itemAction == ODA_FOCUS) {
        DrawFocusRect(dc, &row);
        return;
    }
    if (item->itemID == static_cast<UINT>(-1)) return;
    wchar_t text[kRowBufferUnits];
    int length = 0;
    LRESULT units = SendMessageW(item->hwndItem, LB_GETTEXTLEN, item->itemID, 0);
    if (units > 0 && units <= static_cast<LRESULT>(kMaxRowLimit)) {
        LRESULT got = SendMessageW(item->hwndItem, LB_GETTEXT, item->itemID, reinterpret_cast<LPARAM>(text));
        if (got > 0 && got <= static_cast<LRESULT>(kMaxRowLimit)) length = static_cast<int>(got);
    }
    text[length] = 0;

    COLORREF fore = settings.textColor, back = settings.backgroundColor;
    if (item->itemState & ODS_SELECTED) {
        fore = GetSysColor(COLOR_HIGHLIGHTTEXT);
        back = GetSysColor(COLOR_HIGHLIGHT);
    } else if (int rule = MatchingRule(highlights, text, length); rule >= 0) {
        fore = highlights.rules[rule].textColor;
        back = highlights.rules[rule].backColor;
    }
    // The whole visible width, wherever the list box put the origin for its horizontal scroll.
    RECT fill = row;
    RECT client;
    if (GetClientRect(item->hwndItem, &client)) {
        DPtoLP(dc, reinterpret_cast<POINT*>(&client), 2);
        if (client.left < fill.left) fill.left = client.left;
        if (client.right > fill.right) fill.right = client.right;
    }
    HGDIOBJ oldFont = SelectObject(dc, app.viewFont);
    COLORREF oldFore = SetTextColor(dc, fore), oldBack = SetBkColor(dc, back);
    // Placed as the plain list box places its text.
    ExtTextOutW(dc, row.left + 1, row.top, ETO_OPAQUE | ETO_CLIPPED, &fill, text, static_cast<UINT>(length), nullptr);
    SetTextColor(dc, oldFore);
    SetBkColor(dc, oldBack);
    if (oldFont) SelectObject(dc, oldFont);
    if (item->itemState & ODS_FOCUS) DrawFocusRect(dc, &row);
}

void ApplyHighlights() {
    bool wanted = AnyRuleOn(highlights);
    if (app.view && ViewIsOwnerDrawn() != wanted) RebuildView(wanted);
    if (app.view) InvalidateRect(app.view, nullptr, TRUE);
}
