// Row making: cuts decoded units into rows and keeps the view within the row limit.
// Finished rows wait in a bounded ring and reach the view in batches (FlushRows), oldest first:
// a batch cut short by a deadline leaves the rest waiting for the next.
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "shell/app.h"
#include "view/view.h"
#include "logsource/lines.h"
#include <algorithm>
#include <cstdint>

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
    uint32_t mark;         // kept with the row in the view
};

struct Chunk {
    wchar_t* text;
    uint32_t used;   // units
    uint32_t live;   // rows in the ring that lie in it
};

// Arrays on the process heap that grow by doubling: a failed growth is an answer, never the end
// of the process, and the array stays as it was.
template <typename T> bool MakeRoom(T*& items, size_t& slots, size_t needed) {
    if (needed <= slots) return true;
    size_t grown = slots ? slots : 16;
    while (grown < needed) {
        if (grown > SIZE_MAX / 2 / sizeof(T)) return false;
        grown *= 2;
    }
    HANDLE heap = GetProcessHeap();
    void* moved = items ? HeapReAlloc(heap, 0, items, grown * sizeof(T)) : HeapAlloc(heap, 0, grown * sizeof(T));
    if (!moved) return false;
    items = static_cast<T*>(moved);
    slots = grown;
    return true;
}

template <typename T> void FreeArray(T*& items, size_t& slots) {
    if (items) HeapFree(GetProcessHeap(), 0, items);
    items = nullptr;
    slots = 0;
}

struct PendingRows {
    PendingRow* ring;        // reused across ticks, so steady following allocates nothing
    size_t ringSlots;
    size_t capacity;         // 0: unbounded (locked)
    size_t head;             // oldest row once the ring has wrapped
    size_t count;
    bool locked;
    Chunk* chunks;           // chunkCount chunks from chunks[chunkFront], oldest first
    size_t chunkSlots;
    size_t chunkFront;
    size_t chunkCount;
    uint32_t firstChunk;     // sequence number of the front chunk
    wchar_t* spare;          // one emptied chunk kept for the next rows
};

PendingRows pending;

constexpr uint32_t kChunkUnits = 1u << 17;   // 256 KB; a row (at most 4,096 units) always fits
// A tick of ordinary following leaves a handful of slots; a large load's ring is given back.
constexpr size_t kSlotsKept = 1024;

Chunk& ChunkAt(size_t i) { return pending.chunks[pending.chunkFront + i]; }

void ReleaseChunk(wchar_t* text) {
    if (!pending.spare) pending.spare = text;
    else VirtualFree(text, 0, MEM_RELEASE);
}

// Chunks at the front whose rows are all gone; the newest chunk stays while rows are added to it.
void ReleaseEmptyChunks() {
    PendingRows& p = pending;
    while (p.chunkCount > 1 && ChunkAt(0).live == 0) {
        ReleaseChunk(ChunkAt(0).text);
        ++p.chunkFront;
        --p.chunkCount;
        ++p.firstChunk;
    }
}

void Forget(const PendingRow& row) {
    --ChunkAt(row.chunk - pending.firstChunk).live;
    ReleaseEmptyChunks();
}

// A chunk with room for `units` more at the back of the list; false when memory runs out.
bool ChunkWithRoom(uint32_t units) {
    PendingRows& p = pending;
    if (p.chunkCount && ChunkAt(p.chunkCount - 1).used + units <= kChunkUnits) return true;
    if (p.chunkFront && p.chunkFront + p.chunkCount == p.chunkSlots) {
        MoveMemory(p.chunks, p.chunks + p.chunkFront, p.chunkCount * sizeof(Chunk));
        p.chunkFront = 0;
    }
    if (!MakeRoom(p.chunks, p.chunkSlots, p.chunkFront + p.chunkCount + 1)) return false;
    wchar_t* text = p.spare;
    p.spare = nullptr;
    if (!text) text = static_cast<wchar_t*>(VirtualAlloc(nullptr, kChunkUnits * sizeof(wchar_t), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!text) return false;
    if (!p.chunkCount) {
        p.chunkFront = 0;
        p.firstChunk = 0;
    }
    p.chunks[p.chunkFront + p.chunkCount++] = Chunk{text, 0, 0};
    return true;
}

bool PendRow(void*, const wchar_t* row, uint32_t length, bool) { return row && PendMarkedRow(row, length, 0); }

void DropPending() {
    PendingRows& p = pending;
    p.count = 0;
    p.head = 0;
    for (size_t i = 0; i < p.chunkCount; ++i) ReleaseChunk(ChunkAt(i).text);
    p.chunkCount = 0;
    p.chunkFront = 0;
    if (p.ringSlots > kSlotsKept) FreeArray(p.ring, p.ringSlots);
    if (p.chunkSlots > kSlotsKept) FreeArray(p.chunks, p.chunkSlots);
}

// The i-th oldest pending row.
PendingRow& PendingAt(size_t i) {
    PendingRows& p = pending;
    return p.ring[p.capacity ? (p.head + i) % p.capacity : i];
}

// Hands the pending rows to the view oldest first; each chunk goes as soon as its rows are in.
struct FlushCursor { size_t next; };

// The `taken` oldest pending rows are in the view, or trimmed: the others move to the front of the
// ring, which then starts at slot 0 as an unwrapped one does.
void ForgetOldest(size_t taken, size_t forgotten) {
    PendingRows& p = pending;
    if (taken >= p.count) {
        DropPending();
        return;
    }
    for (size_t i = forgotten; i < taken; ++i) Forget(PendingAt(i));
    if (p.capacity && p.count == p.capacity) {
        // Wrapped: slots 0..capacity-1 are all in use; rotate the oldest row left to slot 0.
        std::rotate(p.ring, p.ring + p.head, p.ring + p.capacity);
        p.head = 0;
    }
    MoveMemory(p.ring, p.ring + taken, (p.count - taken) * sizeof(PendingRow));
    p.count -= taken;
}

const wchar_t* NextPendingRow(void* context, uint32_t* mark) {
    auto* cursor = static_cast<FlushCursor*>(context);
    // The previous row has been copied by the view by now.
    if (cursor->next > 0) Forget(PendingAt(cursor->next - 1));
    const PendingRow& row = PendingAt(cursor->next++);
    // A row passed over as trimmed needs no mark.
    if (mark) *mark = DecidedMark(row.text, row.mark);
    return row.text;
}

}  // namespace

// Out of memory the row is lost, as the view would lose it, and the next row is tried afresh.
bool PendMarkedRow(const wchar_t* row, uint32_t length, uint32_t mark) {
    PendingRows& p = pending;
    const bool wraps = p.capacity && p.count == p.capacity;
    if (!wraps && !MakeRoom(p.ring, p.ringSlots, p.count + 1)) return false;
    if (!ChunkWithRoom(length + 1)) return false;
    Chunk& chunk = ChunkAt(p.chunkCount - 1);
    PendingRow entry{chunk.text + chunk.used, p.firstChunk + static_cast<uint32_t>(p.chunkCount - 1), mark};
    CopyMemory(chunk.text + chunk.used, row, length * sizeof(wchar_t));
    chunk.text[chunk.used + length] = 0;
    chunk.used += length + 1;
    ++chunk.live;

    if (wraps) {
        size_t at = p.head;
        p.head = (p.head + 1) % p.capacity;
        PendingRow dropped = p.ring[at];
        p.ring[at] = entry;
        Forget(dropped);
        return true;
    }
    p.ring[p.count++] = entry;   // head is 0 until the ring wraps
    return true;
}

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
    // Every row ends at the limit, so a kept row is always shorter than the buffer; should the
    // record say otherwise, the row is still held within it.
    if (fill >= kMaxRowLimit) fill = kMaxRowLimit - 1;
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
                if (c == 10) emit(context, nullptr, 0, true);   // the line ends all the same
                continue;
            }
        } else {
            s.emptyRun = 0;
        }
        row[fill] = 0;
        if (emit(context, row, fill, c == 10)) {
            if (fill > s.longestRow) {
                s.longestRow = fill;
                result.longestGrew = true;
            }
            ++result.rows;
        }
        fill = 0;
    }
    s.rowFill = fill;
    return result;
}

bool ScrollLockOn() { return (GetKeyState(VK_SCROLL) & 1) != 0; }

bool AutoscrollLocked() { return ScrollLockOn() || logSource.holdScroll; }

AppendResult AppendUnits(uint32_t unitCount, uint32_t rowLimit, bool locked) {
    // Should the lock differ from the pending rows', those go first under their rule.
    size_t capacity = locked ? 0 : (settings.linesLimit ? settings.linesLimit : 1);
    if (pending.count && (pending.locked != locked || pending.capacity != capacity)) FlushRows();
    pending.locked = locked;
    pending.capacity = capacity;

    CutResult cut = CutRows(logSource, logSource.textBuffer, unitCount, rowLimit, settings.cutEmpty != 0,
                            LinesJudged() ? StageRow : PendRow, nullptr);
    if (locked) FlushRows();
    return {cut.rows != 0, cut.longestGrew || (LinesJudged() && TakeLongestGrew())};
}

void RemarkLastRows(size_t rows, uint32_t mark) {
    PendingRows& p = pending;
    size_t inRing = rows < p.count ? rows : p.count;
    for (size_t i = p.count - inRing; i < p.count; ++i) {
        PendingRow& row = PendingAt(i);
        row.mark = (row.mark & kMarkContinues) | (mark & kMarkRuleMask);
    }
    if (rows > inRing) RemarkLastViewRows(rows - inRing, mark);
}

void FlushRows() { FlushRows(0); }

size_t FlushRows(double deadline) {
    PendingRows& p = pending;
    if (LinesJudged()) ReleaseUnfinishedLine();
    if (!p.count) return 0;
    size_t taken = p.count;
    FlushCursor cursor{0};
    if (app.view) taken = AppendViewRows(NextPendingRow, &cursor, p.count, p.locked ? 0 : p.capacity, deadline);
    // The cursor forgets each row when asked for the next one: all but the last it handed out.
    ForgetOldest(taken, cursor.next ? cursor.next - 1 : 0);
    return taken;
}

size_t PendingRowCount() { return pending.count; }

void ResetRowState() {
    logSource.rowFill = 0;
    logSource.emptyRun = 0;
    ResetLineStage();
    DropPending();
}
