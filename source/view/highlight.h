// Highlighting rules: rows that contain a rule's text are painted in the rule's colours. While no
// rule is switched on the view stays the plain list box; with rules it is drawn by the owner.
#pragma once
#include <windows.h>

#include "persist/rules.h"

// The stored rules, and the switched-on ones prepared for matching. A row's rule is decided once,
// on its line's whole text, when it enters the view, and kept with it as its mark.
struct Highlights {
    RuleSet rules;
    MatchSet prepared;
};

extern Highlights highlights;

void LoadHighlights();            // start-up: the stored rules, prepared

// The view's side: owner-drawn rows and their height, and the switch between the two kinds of view.
// Each answers TRUE when the request was the drawn view's, sent by this thread; else 0, and the
// main window answers as it would without rules.
LRESULT OnDrawViewItem(const DRAWITEMSTRUCT* item);
LRESULT OnMeasureViewItem(MEASUREITEMSTRUCT* item);
// The whole client area of the drawn view in one go: the list box would set up its clipping and
// ask the main window once for every row, which costs several times the drawing itself.
void PaintDrawnView(HWND view, bool redrawOff);
// One row: `fill` in the row's colours, its text from `textX`.
void DrawViewRow(HDC dc, HWND view, int index, const RECT& fill, int textX, bool selected);
int ViewRowHeight();              // the height the plain list box gives its rows in the view font
// After the rules changed: prepared again, every row in the view marked afresh (its line judged
// on the rows the view still holds), the right kind of view, repainted.
void ApplyHighlights();
void HighlightDialogCommand();    // 1410
