// Whole lines between the row maker and the pending rows: the filters' verdict and the
// highlighting rule of each line, decided once, on the line's whole text.
#include "logsource/lines.h"
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "view/highlight.h"
#include "view/view.h"
#include "status/status.h"
#include "shell/app.h"

Filters filters;

namespace {

// The rows of the line being made, end to end: the judged units and the row that crosses them.
constexpr uint32_t kStageUnits = kJudgedLineUnits + kRowBufferUnits;

struct LineStage {
    wchar_t* text;          // kStageUnits, allocated at the first judged line
    uint32_t* rowEnds;      // where each held row ends in `text`
    uint32_t fill;          // units in `text`
    uint32_t heldFrom;      // where the first held row begins; the text before it is in the view
    uint32_t rows;          // rows held
    bool judged;            // the judged length was reached: the rest of the line follows its verdict
    bool shown;
    uint32_t mark;
    uint32_t released;      // rows of this line given on (pending or in the view) before it was whole
    uint32_t releasedMark;
    bool longestGrew;       // a row passed under filters was longer than any before
};

LineStage stage;

bool StageReady() {
    if (stage.text) return true;
    stage.text = static_cast<wchar_t*>(VirtualAlloc(nullptr, kStageUnits * sizeof(wchar_t), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    stage.rowEnds = static_cast<uint32_t*>(VirtualAlloc(nullptr, (kStageUnits + 1) * sizeof(uint32_t), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (stage.text && stage.rowEnds) return true;
    if (stage.text) VirtualFree(stage.text, 0, MEM_RELEASE);
    if (stage.rowEnds) VirtualFree(stage.rowEnds, 0, MEM_RELEASE);
    stage.text = nullptr;
    stage.rowEnds = nullptr;
    return false;
}

uint32_t JudgedUnits() { return stage.fill < kJudgedLineUnits ? stage.fill : kJudgedLineUnits; }

uint32_t HighlightMarkOf(const wchar_t* text, uint32_t length) {
    int rule = highlights.prepared.count ? FirstMatchingRule(highlights.prepared, text, static_cast<int>(length)) : -1;
    return rule >= 0 && rule < static_cast<int>(kMarkRuleMask) ? static_cast<uint32_t>(rule) + 1 : 0;
}

// The verdict on what the line holds so far.
void Judge() {
    const int length = static_cast<int>(JudgedUnits());
    stage.shown = !FilteringOn() || LineShown(filters.prepared, stage.text, length);
    stage.mark = stage.shown ? HighlightMarkOf(stage.text, static_cast<uint32_t>(length)) : 0;
    if (!stage.shown) ++filters.hiddenLines;
}

// Continuation rows carry their flag only while highlighting may have to mark their line again.
uint32_t RowMark(bool first) {
    uint32_t mark = stage.mark;
    if (!first && highlights.prepared.count) mark |= kMarkContinues;
    return mark;
}

// One row under the line's verdict. Without filters the row maker has counted it already.
bool PassRow(const wchar_t* row, uint32_t length, bool first) {
    if (!PendMarkedRow(row, length, RowMark(first))) return false;
    if (FilteringOn() && length > logSource.longestRow) {
        logSource.longestRow = length;
        stage.longestGrew = true;
    }
    return true;
}

// The held rows go on under the verdict; answers how many reached the pending rows.
uint32_t PassHeldRows() {
    uint32_t passed = 0;
    if (stage.shown) {
        uint32_t from = stage.heldFrom;
        for (uint32_t i = 0; i < stage.rows; ++i) {
            uint32_t end = stage.rowEnds[i];
            if (PassRow(stage.text + from, end - from, stage.released + i == 0)) ++passed;
            from = end;
        }
    }
    stage.released += stage.rows;
    stage.rows = 0;
    stage.heldFrom = stage.fill;
    return passed;
}

// A line that was partly given on before it was whole takes its final colour there too.
void RemarkReleasedRows() {
    if (!stage.released || stage.mark == stage.releasedMark) return;
    RemarkLastRows(stage.released, stage.mark);
    stage.releasedMark = stage.mark;
}

void EndLine() {
    stage.fill = 0;
    stage.heldFrom = 0;
    stage.rows = 0;
    stage.judged = false;
    stage.released = 0;
    stage.releasedMark = 0;
}

}  // namespace

bool FilteringOn() { return settings.filter != 0; }

bool LinesJudged() { return FilteringOn() || highlights.prepared.count != 0; }

bool StageRow(void*, const wchar_t* row, uint32_t length, bool endsLine) {
    const bool nothingHeld = !stage.fill && !stage.rows && !stage.judged;
    // A line that was one blank row, left out by Restrict empty lines: nothing to judge.
    if (!row && nothingHeld) return false;
    if (row && ((endsLine && nothingHeld) || !StageReady())) {
        // A line of one row, as most are, or any row when there is no memory for a line: judged
        // where it lies, without a copy, its colour only once it reaches the view.
        stage.shown = !FilteringOn() || LineShown(filters.prepared, row, static_cast<int>(length));
        stage.mark = stage.shown && highlights.prepared.count ? kMarkUndecided : 0;
        if (!stage.shown) ++filters.hiddenLines;
        return stage.shown && PassRow(row, length, true);
    }
    // Without filters every row is shown in the end, and counts as appended when it comes; under
    // filters a row counts when its line's verdict lets it through.
    const bool shownAnyway = !FilteringOn() && row;
    bool passed = false;
    if (stage.judged) {
        // Past the judged length the rows follow the line's verdict one by one.
        if (row && stage.shown) passed = PassRow(row, length, false);
        if (row) ++stage.released;
    } else if (row) {
        if (length > kRowBufferUnits) length = kRowBufferUnits;   // the row maker never makes longer rows
        CopyMemory(stage.text + stage.fill, row, length * sizeof(wchar_t));
        stage.fill += length;
        stage.rowEnds[stage.rows++] = stage.fill;
        if (stage.fill >= kJudgedLineUnits) {
            Judge();
            stage.judged = true;
            RemarkReleasedRows();   // before the held rows join the released ones
            passed = PassHeldRows() != 0;
        }
    }
    if (endsLine) {
        if (!stage.judged) {
            Judge();
            RemarkReleasedRows();
            passed = PassHeldRows() != 0 || passed;
        }
        EndLine();
    }
    return shownAnyway || passed;
}

bool TakeLongestGrew() {
    bool grew = stage.longestGrew;
    stage.longestGrew = false;
    return grew;
}

void ReleaseUnfinishedLine() {
    if (FilteringOn() || stage.judged || !stage.rows || !stage.text) return;
    // The text stays for the verdict on the whole line; the counter of hidden lines is untouched.
    const int length = static_cast<int>(JudgedUnits());
    stage.shown = true;
    stage.mark = HighlightMarkOf(stage.text, static_cast<uint32_t>(length));
    RemarkReleasedRows();
    PassHeldRows();
    stage.releasedMark = stage.mark;
}

void ResetLineStage() {
    EndLine();
    filters.hiddenLines = 0;
}

void LeaveLineStage() {
    if (!LinesJudged()) EndLine();
}

uint32_t DecidedMark(const wchar_t* row, uint32_t mark) {
    if (!(mark & kMarkUndecided)) return mark;
    return HighlightMarkOf(row, static_cast<uint32_t>(lstrlenW(row)));
}

bool LineHeld() { return stage.rows != 0 || stage.fill != 0; }

void LoadFilters() {
    LoadRules(RuleForm::Filter, &filters.rules);
    PrepareFilters();
}

void PrepareFilters() { PrepareRules(filters.rules, RuleForm::Filter, &filters.prepared); }
