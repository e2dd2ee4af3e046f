// Find and go to row: searching the rows held in the view, and jumping to a row by its number.
#include "view/find.h"
#include "view/view.h"
#include "shell/app.h"
#include "logsource/logsource.h"
#include "dialogs/common.h"
#include "dialogs/ui.h"
#include "ids.h"

SearchState search = {L"", true, false, false, false, {}, nullptr};

namespace {

bool MatchesRow(void*, int row) { return RowMatches(row); }

int ViewRowCount() {
    LRESULT count = app.view ? SendMessageW(app.view, LB_GETCOUNT, 0, 0) : 0;
    return count > 0 ? static_cast<int>(count) : 0;
}

int CurrentRow() {
    LRESULT current = app.view ? SendMessageW(app.view, LB_GETCURSEL, 0, 0) : LB_ERR;
    return current < 0 ? 0 : static_cast<int>(current);
}

INT_PTR CALLBACK GotoDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetDlgItemInt(dialog, IDC_GOTO_ROW, static_cast<UINT>(CurrentRow() + 1), FALSE);
    } else if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        BOOL parsed = FALSE;
        UINT number = GetDlgItemInt(dialog, IDC_GOTO_ROW, &parsed, FALSE);
        // The count as it is now: the surveillance keeps adding and trimming rows meanwhile.
        if (RowNumberInRange(parsed, number, ViewRowCount())) EndDialog(dialog, static_cast<INT_PTR>(number));
        else MessageBeep(MB_OK);
    }
    return CommonDialogProc(dialog, message, wParam, lParam);
}

}  // namespace

int SearchRows(int current, int count, bool down, bool includeCurrent, bool (*matches)(void*, int), void* context) {
    if (count <= 0) return -1;
    if (current < 0) current = 0;
    int step = down ? 1 : -1;
    int row = includeCurrent ? current : current + step;
    // Rows may have been trimmed since the caret was placed.
    if (row >= count) {
        if (down) return -1;
        row = count - 1;
    }
    for (; row >= 0 && row < count; row += step)
        if (matches(context, row)) return row;
    return -1;
}

bool RowMatches(int row) {
    if (!app.view || row < 0) return false;
    LRESULT length = SendMessageW(app.view, LB_GETTEXTLEN, row, 0);
    // A row that cannot be read, or longer than any row the program makes, never matches.
    if (length <= 0 || length > static_cast<LRESULT>(kMaxRowLimit)) return false;
    wchar_t text[kRowBufferUnits];
    LRESULT got = SendMessageW(app.view, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text));
    if (got <= 0 || got > static_cast<LRESULT>(kMaxRowLimit)) return false;
    text[got] = 0;
    return TextMatches(text, static_cast<int>(got), search.findText, search.findWholeWord, search.findMatchCase);
}

void FindNextRow() {
    bool includeCurrent = search.findFirst;
    search.findFirst = false;
    int found = SearchRows(CurrentRow(), ViewRowCount(), search.findDown, includeCurrent, MatchesRow, nullptr);
    if (found >= 0) ShowRow(found);
    else MessageBeep(MB_OK);
}

void FindCommand() {
    if (!logSource.handle) return;
    if (search.dialog && IsWindow(search.dialog)) {
        SetActiveWindow(search.dialog);
        return;
    }
    search.findFirst = true;
    FINDREPLACEW& data = search.dialogData;
    data.lStructSize = sizeof(data);
    data.hwndOwner = app.mainWindow;
    data.hInstance = app.instance;
    data.Flags = FR_DOWN;
    data.lpstrFindWhat = search.findText;
    data.wFindWhatLen = kFindTextUnits;
    ui.placeNextWindow = true;   // over the main window
    HWND dialog = FindTextW(&data);
    ui.placeNextWindow = false;  // armed for this dialog alone, shown or not
    if (dialog) {
        search.dialog = dialog;
        app.dialogTarget = dialog;
        EnableWindow(app.mainWindow, FALSE);
    }
    FocusView();
}

void FindNextCommand() {
    if (logSource.handle && search.findText[0]) FindNextRow();
}

void OnFindReplaceMessage(LPARAM findReplace) {
    // Any process may send or post this registered message. The open Find dialog reports on the
    // program's own record, so nothing else counts, and only that record is read.
    if (!search.dialog || findReplace != reinterpret_cast<LPARAM>(&search.dialogData)) return;
    const FINDREPLACEW* data = &search.dialogData;
    if (data->Flags & FR_DIALOGTERM) {
        search.dialog = nullptr;
        app.dialogTarget = app.mainWindow;
        EnableWindow(app.mainWindow, TRUE);
        FocusView();
    } else if (data->Flags & FR_FINDNEXT) {
        search.findDown = (data->Flags & FR_DOWN) != 0;
        search.findWholeWord = (data->Flags & FR_WHOLEWORD) != 0;
        search.findMatchCase = (data->Flags & FR_MATCHCASE) != 0;
        FindNextRow();
    }
}

void GotoCommand() {
    if (!logSource.handle) return;
    INT_PTR result = RunUiDialog(IDD_GOTO, app.mainWindow, GotoDialogProc);
    if (result > 0 && result <= ViewRowCount()) ShowRow(static_cast<int>(result - 1));
    FocusView();
}

void ClearSearchText() { search.findText[0] = 0; }
