// The row view: a standard list box holding the rows, oldest first.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>

HWND CreateView(HWND parent);    // the list box with its styles, font, storage and subclass
// Replaces the list box by one drawn by its owner, or by the plain one, keeping the rows, the
// selection, the caret, the scroll position and the focus. False, nothing changed, on failure.
bool RebuildView(bool ownerDrawn);
bool IsDrawnView(HWND view);     // the list box is drawn by its owner (highlighting rules are on)
void FocusView();
void ShowRow(int row);
void ScrollToEnd();
void UpdateHorizontalExtent();
void ApplyViewFont();
LRESULT OnCtlColorListBox(HDC dc);
void ChangeFontSize(int steps);  // Larger/Smaller font and Ctrl+wheel
void FontDialogCommand();        // 1402
void BackgroundDialogCommand();  // 1404

// Start-up, before the main window exists: app.viewFont and app.backgroundBrush from the settings.
void InitViewResources();

// Appends rows at the bottom of the view in one batch. With `keep` not 0 the oldest rows go
// first so that at most `keep` remain, as if each row had been appended after trimming the
// view below `keep`; with `keep` 0 nothing is removed.
// The rows come from `next`, one per call, oldest first, each with its mark (kept as the item
// data when not 0; not asked, null, for a row passed over as trimmed); each is copied before
// the next call.
using RowSource = const wchar_t* (*)(void* context, uint32_t* mark);
void AppendViewRows(RowSource next, void* context, size_t count, size_t keep);
// Row `index` of `view` into `out` (kRowBufferUnits), terminated; its length, 0 for a row that
// cannot be read or is longer than any row the program makes (then `out` is empty).
uint32_t ReadViewRow(HWND view, size_t index, wchar_t* out);
// The same within a deadline of WorkClockMs (0: none). A batch that would cost more than the time
// left goes in part, oldest rows first, and the view always ends as a whole run of rows under the
// limit. Returns how many rows were taken from `next` (added, or passed over as trimmed); the
// others wait for the next call.
size_t AppendViewRows(RowSource next, void* context, size_t count, size_t keep, double deadline);
double WorkClockMs();            // milliseconds of the performance counter, for work deadlines
// The last `rows` rows (or all there are) take `mark`'s highlighting rule, keeping their own
// continuation flag.
void RemarkLastViewRows(size_t rows, uint32_t mark);

// Pure decisions behind the view.
constexpr DWORD kViewStyle = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP |
                             LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL |
                             LBS_DISABLENOSCROLL;
DWORD ViewExtendedStyle(bool themed, bool vistaOrLater);
LONG StepFontHeight(LONG height, int steps);   // +1 per step up to 96, -1 per step down to 8
int ViewExtent(uint32_t longestRow, bool wrapLines, uint32_t rowLength, int charWidth);

// How a batch of `incoming` rows meets `current` rows under a limit of `keep` (0: none):
// `drop` rows go from the top; `rebuild` when reading the survivors back and refilling the
// list box is cheaper than deleting its first row `drop` times (each deletion moves every item).
struct ViewTrimPlan { size_t drop; bool rebuild; };
ViewTrimPlan PlanViewTrim(size_t current, size_t incoming, size_t keep);
// What carrying out the plan costs, in microseconds as measured under Wine: a deletion at the top
// moves every row below it, a rebuild reads each survivor back and adds it again.
double ViewTrimCostUs(const ViewTrimPlan& plan, size_t current, size_t incoming);
