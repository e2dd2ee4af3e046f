// The Highlighting dialog: the rules in order, each with its text, switches and colours. It edits
// a copy; Save stores and applies the copy, Cancel drops it.
#include "view/highlight.h"
#include "view/view.h"
#include "dialogs/common.h"
#include "dialogs/ui.h"
#include "shell/app.h"
#include "ids.h"
#include <commdlg.h>

namespace {

// What the dialog edits, handed in through its init parameter.
struct RuleEditor {
    Highlights rules;
    COLORREF customColors[16];
    HBRUSH sampleBrush;
    bool filling;   // the fields are being set from a rule: their notifications change nothing
};

// Proposed when there is no rule yet; the texts are what logs write, not words of the interface.
constexpr HighlightRule kErrorRule = {kRuleMatchCase, RGB(0xFF, 0xFF, 0xFF), RGB(0xD0, 0x10, 0x10), L"ERROR"};
constexpr HighlightRule kWarnRule = {kRuleMatchCase, RGB(0x00, 0x00, 0x00), RGB(0xFF, 0xBF, 0x00), L"WARN"};
constexpr HighlightRule kNewRule = {0, RGB(0x00, 0x00, 0x00), RGB(0xFF, 0xFF, 0x80), L""};

const int kRuleFields[] = {IDC_HL_REMOVE, IDC_HL_TEXT, IDC_HL_MATCH_CASE, IDC_HL_WHOLE_WORD, IDC_HL_ON,
                           IDC_HL_TEXT_COLOR, IDC_HL_BACK_COLOR, IDC_HL_SAMPLE};

RuleEditor* EditorOf(HWND dialog) { return reinterpret_cast<RuleEditor*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

int Selected(HWND dialog, const RuleEditor& editor) {
    int index = static_cast<int>(SendDlgItemMessageW(dialog, IDC_HL_LIST, LB_GETCURSEL, 0, 0));
    return index >= 0 && index < editor.rules.count ? index : -1;
}

void FillList(HWND dialog, const RuleEditor& editor, int select) {
    HWND list = GetDlgItem(dialog, IDC_HL_LIST);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < editor.rules.count; ++i)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(editor.rules.rules[i].text));
    SendMessageW(list, LB_SETCURSEL, select, 0);
}

void RefreshSample(HWND dialog, RuleEditor& editor) {
    if (editor.sampleBrush) DeleteObject(editor.sampleBrush);
    editor.sampleBrush = nullptr;
    int index = Selected(dialog, editor);
    if (index >= 0) editor.sampleBrush = CreateSolidBrush(editor.rules.rules[index].backColor);
    InvalidateRect(GetDlgItem(dialog, IDC_HL_SAMPLE), nullptr, TRUE);
}

// The fields show the selected rule; without one they are empty and disabled.
void ShowRule(HWND dialog, RuleEditor& editor) {
    int index = Selected(dialog, editor);
    const HighlightRule* rule = index >= 0 ? &editor.rules.rules[index] : nullptr;
    editor.filling = true;
    SetDlgItemTextW(dialog, IDC_HL_TEXT, rule ? rule->text : L"");
    SetDlgItemTextW(dialog, IDC_HL_SAMPLE, rule ? rule->text : L"");
    CheckDlgButton(dialog, IDC_HL_MATCH_CASE, rule && (rule->flags & kRuleMatchCase) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_HL_WHOLE_WORD, rule && (rule->flags & kRuleWholeWord) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_HL_ON, rule && !(rule->flags & kRuleOff) ? BST_CHECKED : BST_UNCHECKED);
    editor.filling = false;
    for (int id : kRuleFields) EnableWindow(GetDlgItem(dialog, id), rule != nullptr);
    EnableWindow(GetDlgItem(dialog, IDC_HL_UP), index > 0);
    EnableWindow(GetDlgItem(dialog, IDC_HL_DOWN), index >= 0 && index + 1 < editor.rules.count);
    EnableWindow(GetDlgItem(dialog, IDC_HL_ADD), editor.rules.count < kMaxHighlightRules);
    RefreshSample(dialog, editor);
}

void SetFlag(HighlightRule& rule, uint32_t flag, bool on) { rule.flags = on ? rule.flags | flag : rule.flags & ~flag; }

void TextChanged(HWND dialog, RuleEditor& editor, int index) {
    HighlightRule& rule = editor.rules.rules[index];
    GetDlgItemTextW(dialog, IDC_HL_TEXT, rule.text, kHighlightTextUnits);
    SetDlgItemTextW(dialog, IDC_HL_SAMPLE, rule.text);
    HWND list = GetDlgItem(dialog, IDC_HL_LIST);
    SendMessageW(list, LB_DELETESTRING, index, 0);
    SendMessageW(list, LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(rule.text));
    SendMessageW(list, LB_SETCURSEL, index, 0);
}

void ChooseRuleColor(HWND dialog, RuleEditor& editor, COLORREF& color) {
    CHOOSECOLORW choose{};
    choose.lStructSize = sizeof(choose);
    choose.hwndOwner = dialog;
    choose.rgbResult = color;
    choose.lpCustColors = editor.customColors;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
    ui.placeNextWindow = true;
    BOOL chosen = ChooseColorW(&choose);
    ui.placeNextWindow = false;
    if (!chosen) return;
    color = choose.rgbResult;
    RefreshSample(dialog, editor);
}

void Move(HWND dialog, RuleEditor& editor, int from, int to) {
    if (from < 0 || to < 0 || to >= editor.rules.count) return;
    HighlightRule swap = editor.rules.rules[from];
    editor.rules.rules[from] = editor.rules.rules[to];
    editor.rules.rules[to] = swap;
    FillList(dialog, editor, to);
    ShowRule(dialog, editor);
}

void Add(HWND dialog, RuleEditor& editor) {
    if (editor.rules.count >= kMaxHighlightRules) {
        MessageBeep(MB_OK);
        return;
    }
    editor.rules.rules[editor.rules.count++] = kNewRule;
    FillList(dialog, editor, editor.rules.count - 1);
    ShowRule(dialog, editor);
    SetFocus(GetDlgItem(dialog, IDC_HL_TEXT));
}

void Remove(HWND dialog, RuleEditor& editor, int index) {
    if (index < 0) return;
    for (int i = index; i + 1 < editor.rules.count; ++i) editor.rules.rules[i] = editor.rules.rules[i + 1];
    --editor.rules.count;
    FillList(dialog, editor, index < editor.rules.count ? index : editor.rules.count - 1);
    ShowRule(dialog, editor);
}

void OnCommand(HWND dialog, RuleEditor& editor, int id, int code) {
    int index = Selected(dialog, editor);
    HighlightRule* rule = index >= 0 ? &editor.rules.rules[index] : nullptr;
    switch (id) {
    case IDC_HL_LIST: if (code == LBN_SELCHANGE) ShowRule(dialog, editor); break;
    case IDC_HL_ADD: Add(dialog, editor); break;
    case IDC_HL_REMOVE: Remove(dialog, editor, index); break;
    case IDC_HL_UP: Move(dialog, editor, index, index - 1); break;
    case IDC_HL_DOWN: Move(dialog, editor, index, index + 1); break;
    case IDC_HL_TEXT: if (code == EN_CHANGE && rule && !editor.filling) TextChanged(dialog, editor, index); break;
    case IDC_HL_MATCH_CASE: if (rule) SetFlag(*rule, kRuleMatchCase, IsDlgButtonChecked(dialog, id) == BST_CHECKED); break;
    case IDC_HL_WHOLE_WORD: if (rule) SetFlag(*rule, kRuleWholeWord, IsDlgButtonChecked(dialog, id) == BST_CHECKED); break;
    case IDC_HL_ON: if (rule) SetFlag(*rule, kRuleOff, IsDlgButtonChecked(dialog, id) != BST_CHECKED); break;
    case IDC_HL_TEXT_COLOR: if (rule) ChooseRuleColor(dialog, editor, rule->textColor); break;
    case IDC_HL_BACK_COLOR: if (rule) ChooseRuleColor(dialog, editor, rule->backColor); break;
    case IDOK: {
        // A rule without text is no rule.
        int kept = 0;
        for (int i = 0; i < editor.rules.count; ++i)
            if (editor.rules.rules[i].text[0]) editor.rules.rules[kept++] = editor.rules.rules[i];
        editor.rules.count = kept;
        EndDialog(dialog, 1);
        break;
    }
    }
}

INT_PTR CALLBACK HighlightDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    RuleEditor* editor = message == WM_INITDIALOG ? reinterpret_cast<RuleEditor*>(lParam) : EditorOf(dialog);
    if (!editor) return CommonDialogProc(dialog, message, wParam, lParam);
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SendDlgItemMessageW(dialog, IDC_HL_TEXT, EM_LIMITTEXT, kHighlightTextUnits - 1, 0);
        if (editor->rules.count == 0) {
            editor->rules.rules[0] = kErrorRule;
            editor->rules.rules[1] = kWarnRule;
            editor->rules.count = 2;
        }
        FillList(dialog, *editor, 0);
        ShowRule(dialog, *editor);
        break;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_HL_SAMPLE) && editor->sampleBrush) {
            int index = Selected(dialog, *editor);
            if (index >= 0) {
                HDC dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, editor->rules.rules[index].textColor);
                SetBkColor(dc, editor->rules.rules[index].backColor);
                return reinterpret_cast<INT_PTR>(editor->sampleBrush);
            }
        }
        break;
    case WM_COMMAND: OnCommand(dialog, *editor, LOWORD(wParam), HIWORD(wParam)); break;
    case WM_DESTROY:
        if (editor->sampleBrush) DeleteObject(editor->sampleBrush);
        editor->sampleBrush = nullptr;
        break;
    }
    return CommonDialogProc(dialog, message, wParam, lParam);
}

}  // namespace

void HighlightDialogCommand() {
    RuleEditor editor{};
    editor.rules = highlights;
    if (RunUiDialog(IDD_HIGHLIGHT, app.mainWindow, HighlightDialogProc, reinterpret_cast<LPARAM>(&editor)) != 1)
        return;
    highlights = editor.rules;
    StoreHighlights();
    ApplyHighlights();
}
