// Find and go to row: the search state, the system's modeless Find dialog and the Go to row dialog.
#pragma once
#include <windows.h>
#include <commdlg.h>
#include "match/match.h"

constexpr int kFindTextUnits = 512;    // the Find dialog counts its buffer in UTF-16 units

struct SearchState {
    wchar_t findText[kFindTextUnits];
    bool findDown;
    bool findWholeWord;
    bool findMatchCase;
    bool findFirst;                    // the next step starts with the current row itself
    FINDREPLACEW dialogData;           // lives as long as the process: the dialog keeps a pointer
    HWND dialog;                       // the open Find dialog, or nullptr
    bool findRegex;                    // the text is a regular expression (the dialog's box 582)
    Regex* regex;                      // the pattern compiled for the search step under way
    HGLOBAL dialogTemplate;            // the Find dialog with that box, in the user's language
};

extern SearchState search;

void FindCommand();                    // 1204
void FindNextCommand();                // 1205
void GotoCommand();                    // 1206
void OnFindReplaceMessage(LPARAM findReplace);   // "commdlg_FindReplace" sent by the Find dialog
void ClearSearchText();                // a newly opened file starts with an empty search text

void FindNextRow();                    // one search step: ShowRow on the first match, else a beep
bool RowMatches(int row);

// Pure decisions behind the search.
// The first row in the search's direction for which `matches` holds, or -1. Starts at `current`
// itself when `includeCurrent`, else at its neighbour; never tests an index outside 0..count-1.
int SearchRows(int current, int count, bool down, bool includeCurrent, bool (*matches)(void* context, int row),
               void* context);
// Go to row: whether the typed number names a row.
inline bool RowNumberInRange(BOOL parsed, UINT number, int count) {
    return parsed && number >= 1 && count > 0 && number <= static_cast<UINT>(count);
}
