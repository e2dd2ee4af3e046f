// Highlighting rules: rows that contain a rule's text are painted in the rule's colours. While no
// rule is switched on the view stays the plain list box; with rules it is drawn by the owner.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>

constexpr int kMaxHighlightRules = 16;
constexpr int kHighlightTextUnits = 256;   // up to 255 characters and the terminator

// Rule flags as stored: FLAGS;TEXT-RGB;BACK-RGB;TEXT
constexpr uint32_t kRuleMatchCase = 1;
constexpr uint32_t kRuleWholeWord = 2;
constexpr uint32_t kRuleOff = 4;

struct HighlightRule {
    uint32_t flags;
    COLORREF textColor;
    COLORREF backColor;
    wchar_t text[kHighlightTextUnits];
};

struct Highlights {
    HighlightRule rules[kMaxHighlightRules];
    int count;
};

extern Highlights highlights;

// Pure decisions.
// A stored value into a rule; false for anything that is no rule (bad number or colour, empty text).
bool ParseHighlightRule(const wchar_t* value, HighlightRule* rule);
// A rule into its stored form; false, and nothing useful written, when `units` cannot hold it.
bool FormatHighlightRule(const HighlightRule& rule, wchar_t* out, size_t units);
bool AnyRuleOn(const Highlights& set);
// The first switched-on rule whose text the row contains under Find's rules, or -1.
int MatchingRule(const Highlights& set, const wchar_t* row, int rowLength);

// "highlight 0".."highlight 15": read at start-up; written when the dialog is saved, with the
// values beyond the saved rules deleted.
void LoadHighlights();
void StoreHighlights();

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
void ApplyHighlights();           // after the rules changed: the right kind of view, repainted
void HighlightDialogCommand();    // 1410
