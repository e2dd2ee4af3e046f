// Selection and clipboard: Select all, the right click's selection, Copy, and Copy path.
#include "view/clipboard.h"
#include "shell/app.h"
#include "status/status.h"
#include "logsource/logsource.h"
#include "dialogs/ui.h"
#include "dialogs/errors.h"
#include "ids.h"

namespace {

// The rows in view order, each followed by CR LF, in movable memory for the clipboard; nullptr
// and the error code when memory could not be had.
HGLOBAL CopySelectedRows(const int* rows, int count, DWORD* error) {
    SIZE_T units = 1;
    for (int i = 0; i < count; ++i) {
        LRESULT length = SendMessageW(app.view, LB_GETTEXTLEN, rows[i], 0);
        units += (length > 0 ? static_cast<SIZE_T>(length) : 0) + 4;
    }
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, units * sizeof(wchar_t));
    wchar_t* text = memory ? static_cast<wchar_t*>(GlobalLock(memory)) : nullptr;
    if (!text) {
        *error = GetLastError();
        if (memory) GlobalFree(memory);
        return nullptr;
    }
    SIZE_T at = 0;
    for (int i = 0; i < count; ++i) {
        LRESULT length = SendMessageW(app.view, LB_GETTEXTLEN, rows[i], 0);
        if (length > 0) {
            LRESULT got = SendMessageW(app.view, LB_GETTEXT, rows[i], reinterpret_cast<LPARAM>(text + at));
            if (got > 0 && got <= length) at += static_cast<SIZE_T>(got);
        }
        text[at++] = L'\r';
        text[at++] = L'\n';
    }
    text[at] = 0;
    GlobalUnlock(memory);
    return memory;
}

}  // namespace

int RowFromHitIndex(int lowWord, int top) {
    // The hit test carries only the low 16 bits of the row; the rows on screen lie at or below
    // the top row and within 65,536 of it, which gives back the high bits.
    int row = (top & ~0xFFFF) | (lowWord & 0xFFFF);
    if (row < top) row += 0x10000;
    return row;
}

bool IsKeyboardMenuPoint(LPARAM screenPoint) {
    // Both coordinates: a click on the column x = -1 of a monitor left of the primary is a click.
    return static_cast<short>(LOWORD(screenPoint)) == -1 && static_cast<short>(HIWORD(screenPoint)) == -1;
}

void SelectClickedRow(HWND view, LPARAM screenPoint) {
    // (-1, -1) lies inside the view whenever the window reaches past the desktop's top left corner.
    if (IsKeyboardMenuPoint(screenPoint) || SendMessageW(view, LB_GETSELCOUNT, 0, 0) > 1) return;
    POINT point{static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
    if (!ScreenToClient(view, &point)) return;
    LRESULT hit = SendMessageW(view, LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y));
    if (HIWORD(hit) != 0) return;   // outside the client area
    LRESULT top = SendMessageW(view, LB_GETTOPINDEX, 0, 0);
    LRESULT count = SendMessageW(view, LB_GETCOUNT, 0, 0);
    if (top < 0 || count <= 0) return;
    int row = RowFromHitIndex(LOWORD(hit), static_cast<int>(top));
    if (row >= count) row = static_cast<int>(count) - 1;
    SendMessageW(view, LB_SETCARETINDEX, row, FALSE);
    SendMessageW(view, LB_SETSEL, FALSE, -1);
    SendMessageW(view, LB_SETSEL, TRUE, row);
}

void SelectAllCommand() {
    if (app.view) SendMessageW(app.view, LB_SETSEL, TRUE, -1);
    RefreshStatus();
}

void CopyCommand() {
    if (!logSource.handle || !app.view) return;
    if (!OpenClipboard(app.mainWindow)) return;
    EmptyClipboard();   // from here on the old content is gone, even when nothing is copied
    LRESULT selected = SendMessageW(app.view, LB_GETSELCOUNT, 0, 0);
    int count = selected > 0 ? static_cast<int>(selected) : 0;
    int* rows = count ? static_cast<int*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, count * sizeof(int))) : nullptr;
    if (!rows) {
        CloseClipboard();
        return;
    }
    // Increasing order whatever the order of selecting: the rows are copied as the view shows them.
    LRESULT got = SendMessageW(app.view, LB_GETSELITEMS, count, reinterpret_cast<LPARAM>(rows));
    count = got > 0 && got <= count ? static_cast<int>(got) : 0;
    DWORD error = 0;
    HGLOBAL memory = CopySelectedRows(rows, count, &error);
    bool handedOver = false;
    if (memory) {
        handedOver = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        if (!handedOver) {
            error = GetLastError();
            GlobalFree(memory);   // still ours when the clipboard refused it
        }
    }
    CloseClipboard();
    GlobalFree(rows);
    // Only now: an open clipboard would block every other program while the box waits.
    if (!handedOver) ShowSystemError(IDS_ERR_CLIPBOARD, error);
}

void CopyPathToClipboard() {
    if (!logSource.handle) return;
    if (!OpenClipboard(app.mainWindow)) return;
    SIZE_T bytes = (static_cast<SIZE_T>(lstrlenW(logSource.fullPath)) + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    void* text = memory ? GlobalLock(memory) : nullptr;
    if (!text) {
        if (memory) GlobalFree(memory);
        CloseClipboard();
        return;
    }
    CopyMemory(text, logSource.fullPath, bytes);
    GlobalUnlock(memory);
    if (!EmptyClipboard()) {
        GlobalFree(memory);
        CloseClipboard();
        return;
    }
    if (SetClipboardData(CF_UNICODETEXT, memory)) MessageBeep(MB_ICONASTERISK);
    else GlobalFree(memory);
    CloseClipboard();
}
