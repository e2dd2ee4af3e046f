// Whole lines: filters decide which lines become rows, and highlighting which rule colours a
// line's rows. Both judge a line by its whole text, so the rows of a line wait here until its
// line feed (or until the judged length is reached) and then go on together with one mark.
#pragma once
#include <windows.h>
#include <cstdint>
#include "persist/rules.h"

constexpr uint32_t kJudgedLineUnits = 32768;   // a longer line is judged by its first units

// The mark kept with a row in the view (its list-box item data).
constexpr uint32_t kMarkRuleMask = 0xFF;        // highlighting rule + 1, 0 for none
constexpr uint32_t kMarkContinues = 0x100;      // the row goes on the line of the row above it
// A pending row that is its whole line, whose rule is decided only if it reaches the view: most
// rows of a large load are trimmed before they get there.
constexpr uint32_t kMarkUndecided = 0x200;

struct Filters {
    RuleSet rules;
    MatchSet prepared;          // the switched-on rules, ready
    uint32_t hiddenLines;       // lines left out since the file was loaded
};

extern Filters filters;

bool FilteringOn();             // "filter" is set (the rules may still let every line through)
void LoadFilters();             // start-up: the stored rules, prepared
void PrepareFilters();          // after the rules changed
void FilterDialogCommand();     // 1411

// The row maker's side. While neither filters nor highlighting are on, rows bypass the stage.
bool LinesJudged();
// A RowEmit: `row` null for a line feed that ended a row the row maker left out.
bool StageRow(void* context, const wchar_t* row, uint32_t length, bool endsLine);
// End of a batch of reads: without filters the rows of an unfinished line go to the view now,
// marked by the text so far, and are marked again once the line is whole.
void ReleaseUnfinishedLine();
bool TakeLongestGrew();         // a row passed under filters widened the view, since last asked
void ResetLineStage();          // a reload or a newly opened file: nothing held, nothing counted
// The rules changed so that rows bypass the stage from now on: the line it followed is forgotten
// (its rows are in the view already, as nothing but filters holds rows past a batch of reads).
void LeaveLineStage();
bool LineHeld();                // rows of an unfinished line wait here
// The mark of a pending row as it enters the view: an undecided one is judged on its own text.
uint32_t DecidedMark(const wchar_t* row, uint32_t mark);
