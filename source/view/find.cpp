// Find and go to row: searching the rows held in the view, and jumping to a row by its number.
#include "view/find.h"
#include "view/view.h"
#include "shell/app.h"
#include "logsource/logsource.h"
#include "dialogs/common.h"
#include "dialogs/match_fault.h"
#include "dialogs/ui.h"
#include "match/regex.h"
#include "ids.h"

SearchState search = {L"", true, false, false, false, {}, nullptr, false, nullptr, nullptr};

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

// The Find dialog's template with the Regular expression box, in the language of the other
// dialogs: a fixed copy (its handle is its address) that lives as long as the process. Null
// when the resource is missing: the system's own dialog is shown then.
HGLOBAL FindDialogTemplate() {
    if (search.dialogTemplate) return search.dialogTemplate;
    UiResource found = FindUiResource(RT_DIALOG, MAKEINTRESOURCEW(IDD_FIND));
    if (!found.data) return nullptr;
    HGLOBAL copy = GlobalAlloc(GMEM_FIXED, found.size);
    if (!copy) return nullptr;
    CopyMemory(copy, found.data, found.size);
    search.dialogTemplate = copy;
    return copy;
}

// A search step by pattern compiles it first; a pattern that does not compile is said why, over
// the Find dialog when it is open, and nothing is searched.
bool CompileSearchPattern() {
    MatchFault fault{};
    uint32_t flags = (search.findMatchCase ? kMatchCase : 0) | (search.findWholeWord ? kMatchWholeWord : 0);
    search.regex = CompileRegex(search.findText, lstrlenW(search.findText), flags, &fault);
    if (search.regex) return true;
    wchar_t text[512];
    ComposeMatchFault(text, 512, fault);
    HWND owner = search.dialog && IsWindow(search.dialog) ? search.dialog : app.mainWindow;
    MessageBoxW(owner, text, UiString(IDS_REGEX_CAPTION), MB_ICONERROR);
    return false;
}

void ReleaseSearchPattern() {
    FreeRegex(search.regex);
    search.regex = nullptr;
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
    wchar_t text[kRowBufferUnits];
    // A row that cannot be read, or longer than any row the program makes, never matches.
    uint32_t got = ReadViewRow(app.view, static_cast<size_t>(row), text);
    if (!got) return false;
    if (search.findRegex) return search.regex && RegexMatches(search.regex, text, static_cast<int>(got));
    return TextMatches(text, static_cast<int>(got), search.findText, search.findWholeWord, search.findMatchCase);
}

void FindNextRow() {
    if (search.findRegex && !CompileSearchPattern()) return;
    bool includeCurrent = search.findFirst;
    search.findFirst = false;
    int found = SearchRows(CurrentRow(), ViewRowCount(), search.findDown, includeCurrent, MatchesRow, nullptr);
    ReleaseSearchPattern();
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
    // Each opening starts with the direction Down and every box unchecked, Regular expression too.
    HGLOBAL dialogTemplate = FindDialogTemplate();
    data.hInstance = dialogTemplate ? reinterpret_cast<HINSTANCE>(dialogTemplate) : app.instance;
    data.Flags = FR_DOWN | (dialogTemplate ? FR_ENABLETEMPLATEHANDLE : 0);
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
        search.findRegex = IsDlgButtonChecked(search.dialog, IDC_FIND_REGEX) == BST_CHECKED;
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
