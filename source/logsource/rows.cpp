// Row making: cuts decoded units into rows and keeps the view within the row limit.
// Finished rows wait in a bounded ring and reach the view in one batch per tick (FlushRows).
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "shell/app.h"
#include "view/view.h"
#include <deque>
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
// The texts lie end to end in large chunks, without an allocation per row; a chunk goes back to
// the system as soon as its last row has been dropped or handed to the view, so a large load
// never holds much more than the text of the rows it keeps.
struct PendingRow {
    const wchar_t* text;   // NUL-terminated, inside its chunk
    uint32_t chunk;        // sequence number of the chunk
};

struct Chunk {
    wchar_t* text;
    uint32_t used;   // units
    uint32_t live;   // rows in the ring that lie in it
};

struct PendingRows {
    std::vector<PendingRow> ring;   // reused across ticks, so steady following allocates nothing
    size_t capacity;                // 0: unbounded (locked)
    size_t head;                    // oldest row once the ring has wrapped
    size_t count;
    bool locked;
    std::deque<Chunk> chunks;       // oldest first
    uint32_t firstChunk;            // sequence number of chunks.front()
    wchar_t* spare;                 // one emptied chunk kept for the next rows
};

PendingRows pending;

constexpr uint32_t kChunkUnits = 1u << 17;   // 256 KB; a row (at most 4,096 units) always fits
// A tick of ordinary following leaves a handful of slots; a large load's ring is given back.
constexpr size_t kSlotsKept = 1024;

void ReleaseChunk(wchar_t* text) {
    if (!pending.spare) pending.spare = text;
    else VirtualFree(text, 0, MEM_RELEASE);
}

// Chunks at the front whose rows are all gone; the newest chunk stays while rows are added to it.
void ReleaseEmptyChunks() {
    PendingRows& p = pending;
    while (p.chunks.size() > 1 && p.chunks.front().live == 0) {
        ReleaseChunk(p.chunks.front().text);
        p.chunks.pop_front();
        ++p.firstChunk;
    }
}

void Forget(const PendingRow& row) {
    --pending.chunks[row.chunk - pending.firstChunk].live;
    ReleaseEmptyChunks();
}

void PendRow(void*, const wchar_t* row, uint32_t length) {
    PendingRows& p = pending;
    if (p.chunks.empty() || p.chunks.back().used + length + 1 > kChunkUnits) {
        wchar_t* text = p.spare;
        p.spare = nullptr;
        if (!text) text = static_cast<wchar_t*>(VirtualAlloc(nullptr, kChunkUnits * sizeof(wchar_t), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (!text) return;   // out of memory: the row is lost, as the view would lose it
        if (p.chunks.empty()) p.firstChunk = 0;
        p.chunks.push_back(Chunk{text, 0, 0});
    }
    Chunk& chunk = p.chunks.back();
    PendingRow entry{chunk.text + chunk.used, p.firstChunk + static_cast<uint32_t>(p.chunks.size() - 1)};
    CopyMemory(chunk.text + chunk.used, row, length * sizeof(wchar_t));
    chunk.text[chunk.used + length] = 0;
    chunk.used += length + 1;
    ++chunk.live;

    size_t at;
    if (p.capacity && p.count == p.capacity) {
        at = p.head;
        p.head = (p.head + 1) % p.capacity;
        PendingRow dropped = p.ring[at];
        p.ring[at] = entry;
        Forget(dropped);
        return;
    }
    at = p.count++;   // head is 0 until the ring wraps
    if (at == p.ring.size()) p.ring.push_back(entry);
    else p.ring[at] = entry;
}

void DropPending() {
    PendingRows& p = pending;
    p.count = 0;
    p.head = 0;
    for (Chunk& chunk : p.chunks) ReleaseChunk(chunk.text);
    p.chunks.clear();
    if (p.ring.size() > kSlotsKept) std::vector<PendingRow>().swap(p.ring);
}

// The i-th oldest pending row.
const PendingRow& PendingAt(size_t i) {
    const PendingRows& p = pending;
    return p.ring[p.capacity ? (p.head + i) % p.capacity : i];
}

// Hands the pending rows to the view oldest first; each chunk goes as soon as its rows are in.
struct FlushCursor { size_t next; };

const wchar_t* NextPendingRow(void* context) {
    auto* cursor = static_cast<FlushCursor*>(context);
    // The previous row has been copied by the view by now.
    if (cursor->next > 0) Forget(PendingAt(cursor->next - 1));
    return PendingAt(cursor->next++).text;
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
    return AppendUnits(unitCount, rowLimit, AutoscrollLocked());
}

AppendResult AppendUnits(uint32_t unitCount, uint32_t rowLimit, bool locked) {
    // Should the lock differ from the pending rows', those go first under their rule.
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
        FlushCursor cursor{0};
        AppendViewRows(NextPendingRow, &cursor, p.count, p.locked ? 0 : p.capacity);
    }
    DropPending();
}

void ResetRowState() {
    logSource.rowFill = 0;
    logSource.emptyRun = 0;
    DropPending();
}
