// Row making: cuts decoded units into rows and keeps the view within the row limit.
// First version: rows go to the view one by one as they end.
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "shell/app.h"

namespace {

bool IsBlankUnit(wchar_t c) {
    return c == 9 || c == 11 || c == 12 || c == 13 || c == 32 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2002 && c <= 0x200B) || c == 0x202F || c == 0x205F || c == 0x2060 || c == 0x3000 || c == 0xFEFF;
}

bool RowIsBlank(const wchar_t* row, uint32_t fill) {
    for (uint32_t i = 0; i < fill; ++i)
        if (!IsBlankUnit(row[i])) return false;
    return true;
}

}  // namespace

bool AutoscrollLocked() { return (GetKeyState(VK_SCROLL) & 1) != 0 || logSource.holdScroll; }

AppendResult AppendUnits(uint32_t unitCount, uint32_t rowLimit) {
    AppendResult result{false, false};
    LogSource& s = logSource;
    for (uint32_t i = 0; i < unitCount; ++i) {
        wchar_t c = s.textBuffer[i];
        if (c == 0xFEFF || c == 0xFFFE || c == 13) continue;
        if (c == 0) {
            s.rowBuffer[s.rowFill++] = 0xFFFD;
        } else if (c == 9) {
            uint32_t stop = (s.rowFill / 8) * 8 + 8;
            while (s.rowFill < stop && s.rowFill < rowLimit) s.rowBuffer[s.rowFill++] = L' ';
        } else if (c != 10) {
            s.rowBuffer[s.rowFill++] = c;
        }
        if (c != 10 && s.rowFill < rowLimit) continue;

        if (settings.cutEmpty && RowIsBlank(s.rowBuffer, s.rowFill)) {
            if (++s.emptyRun != 2) { s.rowFill = 0; continue; }
        } else {
            s.emptyRun = 0;
        }
        if (s.rowFill > s.longestRow) { s.longestRow = s.rowFill; result.longestGrew = true; }
        s.rowBuffer[s.rowFill] = 0;
        s.rowFill = 0;
        if (app.view) {
            if (!AutoscrollLocked())
                while (SendMessageW(app.view, LB_GETCOUNT, 0, 0) >= static_cast<LRESULT>(settings.linesLimit))
                    SendMessageW(app.view, LB_DELETESTRING, 0, 0);
            SendMessageW(app.view, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.rowBuffer));
        }
        result.appended = true;
    }
    return result;
}

void FlushRows() {}

void ResetRowState() {
    logSource.rowFill = 0;
    logSource.emptyRun = 0;
}
