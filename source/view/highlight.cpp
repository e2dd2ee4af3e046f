// Highlighting rules: the owner-drawn rows that show them, the marks of the rows, and the switch
// between the plain and the owner-drawn view.
#include "view/highlight.h"
#include "view/view.h"
#include "logsource/lines.h"
#include "shell/app.h"
#include "shell/platform.h"
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "dialogs/ui.h"
#include "ids.h"

Highlights highlights;

void LoadHighlights() {
    LoadRules(RuleForm::Highlight, &highlights.rules);
    PrepareRules(highlights.rules, RuleForm::Highlight, &highlights.prepared);
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
    int length = static_cast<int>(ReadViewRow(view, static_cast<size_t>(index), text));
    COLORREF fore = settings.textColor, back = settings.backgroundColor;
    LRESULT mark = SendMessageW(view, LB_GETITEMDATA, index, 0);
    int rule = mark == LB_ERR ? -1 : static_cast<int>(mark & kMarkRuleMask) - 1;
    if (selected) {
        fore = GetSysColor(COLOR_HIGHLIGHTTEXT);
        back = GetSysColor(COLOR_HIGHLIGHT);
    } else if (rule >= 0 && rule < highlights.rules.count) {
        fore = highlights.rules.rules[rule].textColor;
        back = highlights.rules.rules[rule].backColor;
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

namespace {

// Every row of the view marked again: the rows of one line (joined by their continuation flags)
// are judged together on up to the judged length of their text.
void RemarkView(HWND view) {
    LRESULT count = SendMessageW(view, LB_GETCOUNT, 0, 0);
    if (count <= 0) return;
    HANDLE heap = GetProcessHeap();
    auto* line = static_cast<wchar_t*>(HeapAlloc(heap, 0, (kJudgedLineUnits + kRowBufferUnits) * sizeof(wchar_t)));
    for (LRESULT first = 0; first < count;) {
        LRESULT end = first + 1;
        while (end < count && (SendMessageW(view, LB_GETITEMDATA, end, 0) & kMarkContinues)) ++end;
        // The line's rows end to end; a row always fits, since fewer than the judged units precede it.
        uint32_t fill = 0;
        for (LRESULT i = first; line && i < end && fill < kJudgedLineUnits; ++i)
            fill += ReadViewRow(view, static_cast<size_t>(i), line + fill);
        if (fill > kJudgedLineUnits) fill = kJudgedLineUnits;
        // Without memory for a line each row is judged alone.
        int rule = -1;
        if (line) rule = FirstMatchingRule(highlights.prepared, line, static_cast<int>(fill));
        for (LRESULT i = first; i < end; ++i) {
            if (!line) {
                wchar_t row[kRowBufferUnits];
                uint32_t length = ReadViewRow(view, static_cast<size_t>(i), row);
                rule = FirstMatchingRule(highlights.prepared, row, static_cast<int>(length));
            }
            LPARAM mark = (i > first ? kMarkContinues : 0) | (rule >= 0 ? static_cast<LPARAM>(rule) + 1 : 0);
            SendMessageW(view, LB_SETITEMDATA, i, mark);
        }
        first = end;
    }
    if (line) HeapFree(heap, 0, line);
}

}  // namespace

void ApplyHighlights() {
    PrepareRules(highlights.rules, RuleForm::Highlight, &highlights.prepared);
    LeaveLineStage();
    if (app.view) RemarkView(app.view);
    bool wanted = AnyRuleOn(highlights.rules);
    if (app.view && IsDrawnView(app.view) != wanted) RebuildView(wanted);
    if (app.view) InvalidateRect(app.view, nullptr, TRUE);
}
