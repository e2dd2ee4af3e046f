// Row making: cuts decoded units into rows and keeps the view within the row limit.
// Finished rows wait in a bounded ring and reach the view in one batch per tick (FlushRows).
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "shell/app.h"
#include "view/view.h"
#include <string>
#include <vector>

namespace {

bool IsBlankUnit(wchar_t c) {
    return c == 9 || c == 11 || c == 12 || c == 13 || c == 32 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2002 && c <= 0x200B) || c == 0x202F || c == 0x205F || c == 0x2060 || c == 0x3000 ||
           c == 0xFEFF;
}

// Rows finished but not yet in the view. While autoscrolling is free only the newest linesLimit
// rows can outlive the trimming, so the ring holds no more than that however large the backlog;
// while it is locked every row is kept, and the rows are handed over after each read instead.
struct PendingRows {
    std::vector<std::wstring> slots;   // reused across ticks, so steady following allocates nothing
    size_t capacity;                   // 0: unbounded (locked)
    size_t head;                       // oldest row once the ring has wrapped
    size_t count;
    bool locked;
};

PendingRows pending;

// A tick of ordinary following leaves a handful of slots; a large load's ring is given back.
constexpr size_t kSlotsKept = 1024;

void PendRow(void*, const wchar_t* row, uint32_t length) {
    PendingRows& p = pending;
    size_t at;
    if (p.capacity && p.count == p.capacity) {
        at = p.head;
        p.head = (p.head + 1) % p.capacity;
    } else {
        at = p.count++;   // head is 0 until the ring wraps
    }
    if (at == p.slots.size()) p.slots.emplace_back(row, length);
    else p.slots[at].assign(row, length);
}

void DropPending() {
    pending.count = 0;
    pending.head = 0;
    if (pending.slots.size() > kSlotsKept) std::vector<std::wstring>().swap(pending.slots);
}

}  // namespace

bool IsBlankRow(const wchar_t* row, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i)
        if (!IsBlankUnit(row[i])) return false;
    return true;
}

CutResult CutRows(LogSource& s, const wchar_t* units, uint32_t count, uint32_t rowLimit, bool cutEmpty,
                  RowEmit emit, void* context) {
    if (rowLimit < 1) rowLimit = 1;
    if (rowLimit > kMaxRowLimit) rowLimit = kMaxRowLimit;
    CutResult result{0, false};
    wchar_t* row = s.rowBuffer;
    uint32_t fill = s.rowFill;
    for (uint32_t i = 0; i < count; ++i) {
        wchar_t c = units[i];
        if (c >= 32) {
            if (c == 0xFEFF || c == 0xFFFE) continue;
            row[fill++] = c;
            if (fill < rowLimit) continue;
        } else if (c == 10) {
            // ends the row below
        } else if (c == 13) {
            continue;
        } else if (c == 9) {
            uint32_t stop = (fill / 8) * 8 + 8;
            if (stop > rowLimit) stop = rowLimit;
            while (fill < stop) row[fill++] = L' ';
            if (fill < rowLimit) continue;
        } else {
            row[fill++] = c ? c : 0xFFFD;
            if (fill < rowLimit) continue;
        }

        if (cutEmpty && IsBlankRow(row, fill)) {
            if (s.emptyRun < 3) ++s.emptyRun;   // saturates: every run longer than 2 behaves alike
            if (s.emptyRun != 2) {
                fill = 0;
                continue;
            }
        } else {
            s.emptyRun = 0;
        }
        if (fill > s.longestRow) {
            s.longestRow = fill;
            result.longestGrew = true;
        }
        row[fill] = 0;
        emit(context, row, fill);
        fill = 0;
        ++result.rows;
    }
    s.rowFill = fill;
    return result;
}

bool ScrollLockOn() { return (GetKeyState(VK_SCROLL) & 1) != 0; }

bool AutoscrollLocked() { return ScrollLockOn() || logSource.holdScroll; }

AppendResult AppendUnits(uint32_t unitCount, uint32_t rowLimit) {
    // The lock cannot change while a read is being cut (no input is taken meanwhile), so it is
    // asked once per read; should it differ from the pending rows', those go first under their rule.
    bool locked = AutoscrollLocked();
    size_t capacity = locked ? 0 : (settings.linesLimit ? settings.linesLimit : 1);
    if (pending.count && (pending.locked != locked || pending.capacity != capacity)) FlushRows();
    pending.locked = locked;
    pending.capacity = capacity;

    CutResult cut = CutRows(logSource, logSource.textBuffer, unitCount, rowLimit, settings.cutEmpty != 0,
                            PendRow, nullptr);
    if (locked) FlushRows();
    return {cut.rows != 0, cut.longestGrew};
}

void FlushRows() {
    PendingRows& p = pending;
    if (!p.count) return;
    if (app.view) {
        std::vector<const wchar_t*> rows(p.count);
        for (size_t i = 0; i < p.count; ++i)
            rows[i] = p.slots[p.capacity ? (p.head + i) % p.capacity : i].c_str();
        AppendViewRows(rows.data(), rows.size(), p.locked ? 0 : p.capacity);
    }
    DropPending();
}

void ResetRowState() {
    logSource.rowFill = 0;
    logSource.emptyRun = 0;
    DropPending();
}
