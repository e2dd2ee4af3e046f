// Highlighting rules: their stored form, their registry values, the owner-drawn rows that show
// them, and the switch between the plain and the owner-drawn view.
#include "view/highlight.h"
#include "view/view.h"
#include "view/find.h"
#include "shell/app.h"
#include "shell/platform.h"
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

namespace {

// Any process can send these requests, naming a window of its own that may never answer: only
// the drawn view's, made by this thread, are the view's. A posted one never gets this far.
bool IsDrawnViewRequest(UINT type, UINT id, HWND named) {
    return type == ODT_LISTBOX && app.view && IsDrawnView(app.view) && id == static_cast<UINT>(GetDlgCtrlID(app.view)) &&
           (!named || named == app.view);
}

}  // namespace

LRESULT OnMeasureViewItem(MEASUREITEMSTRUCT* item) {
    if (!item || !SentByThisThread() || !IsDrawnViewRequest(item->CtlType, item->CtlID, nullptr)) return 0;
    item->itemHeight = static_cast<UINT>(ViewRowHeight());
    return TRUE;
}

LRESULT OnDrawViewItem(const DRAWITEMSTRUCT* item) {
    if (!item || !SentByThisThread() || !item->hwndItem || !IsDrawnViewRequest(item->CtlType, item->CtlID, item->hwndItem))
        return 0;
    HDC dc = item->hDC;
    RECT row = item->rcItem;
    if (item->itemAction == ODA_FOCUS) {
        DrawFocusRect(dc, &row);
        return TRUE;
    }
    if (item->itemID == static_cast<UINT>(-1)) return TRUE;
    // The whole visible width, wherever the list box put the origin for its horizontal scroll.
    RECT fill = row;
    RECT client;
    if (GetClientRect(item->hwndItem, &client)) {
        DPtoLP(dc, reinterpret_cast<POINT*>(&client), 2);
        if (client.left < fill.left) fill.left = client.left;
        if (client.right > fill.right) fill.right = client.right;
    }
    HGDIOBJ oldFont = GetCurrentObject(dc, OBJ_FONT) != app.viewFont ? SelectObject(dc, app.viewFont) : nullptr;
    DrawViewRow(dc, item->hwndItem, static_cast<int>(item->itemID), fill, row.left + 1,
                (item->itemState & ODS_SELECTED) != 0);
    if (oldFont) SelectObject(dc, oldFont);
    if (item->itemState & ODS_FOCUS) DrawFocusRect(dc, &row);
    return TRUE;
}

void DrawViewRow(HDC dc, HWND view, int index, const RECT& fill, int textX, bool selected) {
    wchar_t text[kRowBufferUnits];
    int length = 0;
    LRESULT units = SendMessageW(view, LB_GETTEXTLEN, index, 0);
    if (units > 0 && units <= static_cast<LRESULT>(kMaxRowLimit)) {
        LRESULT got = SendMessageW(view, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text));
        if (got > 0 && got <= static_cast<LRESULT>(kMaxRowLimit)) length = static_cast<int>(got);
    }
    text[length] = 0;
    COLORREF fore = settings.textColor, back = settings.backgroundColor;
    if (selected) {
        fore = GetSysColor(COLOR_HIGHLIGHTTEXT);
        back = GetSysColor(COLOR_HIGHLIGHT);
    } else if (int rule = MatchingRule(highlights, text, length); rule >= 0) {
        fore = highlights.rules[rule].textColor;
        back = highlights.rules[rule].backColor;
    }
    COLORREF oldFore = SetTextColor(dc, fore), oldBack = SetBkColor(dc, back);
    // Placed as the plain list box places its text.
    ExtTextOutW(dc, textX, fill.top, ETO_OPAQUE | ETO_CLIPPED, &fill, text, static_cast<UINT>(length), nullptr);
    SetTextColor(dc, oldFore);
    SetBkColor(dc, oldBack);
}

void PaintDrawnView(HWND view, bool redrawOff) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(view, &paint);   // the strip below the last row is erased meanwhile
    if (!dc) return;
    RECT client;
    LRESULT count = SendMessageW(view, LB_GETCOUNT, 0, 0), top = SendMessageW(view, LB_GETTOPINDEX, 0, 0);
    int height = static_cast<int>(SendMessageW(view, LB_GETITEMHEIGHT, 0, 0));
    // Like the list box, nothing is drawn while redrawing is off.
    if (!redrawOff && GetClientRect(view, &client) && count > 0 && top >= 0 && height > 0) {
        // The rows as the list box lays them out: shifted left by the horizontal scroll, the
        // focus rectangle where the list box itself will toggle it.
        int shift = GetScrollPos(view, SB_HORZ);
        LRESULT caret = GetFocus() == view ? SendMessageW(view, LB_GETCARETINDEX, 0, 0) : LB_ERR;
        HGDIOBJ oldFont = SelectObject(dc, app.viewFont);
        for (LRESULT i = top; i < count; ++i) {
            int y = static_cast<int>(i - top) * height;
            if (y >= paint.rcPaint.bottom || y >= client.bottom) break;
            if (y + height <= paint.rcPaint.top) continue;
            RECT fill{client.left, y, client.right, y + height};
            DrawViewRow(dc, view, static_cast<int>(i), fill, 1 - shift, SendMessageW(view, LB_GETSEL, i, 0) > 0);
            if (i == caret) {
                RECT focus{-shift, y, client.right, y + height};
                DrawFocusRect(dc, &focus);
            }
        }
        SelectObject(dc, oldFont);
    }
    EndPaint(view, &paint);
}

void ApplyHighlights() {
    bool wanted = AnyRuleOn(highlights);
    if (app.view && IsDrawnView(app.view) != wanted) RebuildView(wanted);
    if (app.view) InvalidateRect(app.view, nullptr, TRUE);
}
