// The Highlighting and Filters dialogs: an ordered list of rules, each with its text and switches,
// and either colours (highlighting) or what it does (filters). Each edits a copy; Save stores and
// applies the copy, Cancel drops it.
#include "view/highlight.h"
#include "view/view.h"
#include "logsource/lines.h"
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "status/status.h"
#include "dialogs/common.h"
#include "dialogs/match_fault.h"
#include "dialogs/ui.h"
#include "shell/app.h"
#include "ids.h"
#include <commdlg.h>

namespace {

// The controls of one kind of rule dialog; 0 where the kind has no such control.
struct RuleDialogKind {
    RuleForm form;
    int dialogId;
    int list, add, remove, up, down, text, matchCase, wholeWord, on, regex;
    int textColor, backColor, sample;   // highlighting
    int show, hide;                     // filters
};

constexpr RuleDialogKind kHighlightKind = {
    RuleForm::Highlight, IDD_HIGHLIGHT, IDC_HL_LIST, IDC_HL_ADD, IDC_HL_REMOVE, IDC_HL_UP, IDC_HL_DOWN,
    IDC_HL_TEXT, IDC_HL_MATCH_CASE, IDC_HL_WHOLE_WORD, IDC_HL_ON, IDC_HL_REGEX, IDC_HL_TEXT_COLOR, IDC_HL_BACK_COLOR,
    IDC_HL_SAMPLE, 0, 0};
constexpr RuleDialogKind kFilterKind = {
    RuleForm::Filter, IDD_FILTERS, IDC_FL_LIST, IDC_FL_ADD, IDC_FL_REMOVE, IDC_FL_UP, IDC_FL_DOWN,
    IDC_FL_TEXT, IDC_FL_MATCH_CASE, IDC_FL_WHOLE_WORD, IDC_FL_ON, IDC_FL_REGEX, 0, 0, 0, IDC_FL_SHOW, IDC_FL_HIDE};

// What the dialog edits, handed in through its init parameter.
struct RuleEditor {
    const RuleDialogKind* kind;
    RuleSet rules;
    COLORREF customColors[16];
    HBRUSH sampleBrush;
    bool filling;   // the fields are being set from a rule: their notifications change nothing
};

// Proposed when there is no highlighting rule yet; the texts are what logs write, not words of
// the interface.
constexpr StoredRule kErrorRule = {kRuleMatchCase, RGB(0xFF, 0xFF, 0xFF), RGB(0xD0, 0x10, 0x10), L"ERROR"};
constexpr StoredRule kWarnRule = {kRuleMatchCase, RGB(0x00, 0x00, 0x00), RGB(0xFF, 0xBF, 0x00), L"WARN"};
constexpr StoredRule kNewRule = {0, RGB(0x00, 0x00, 0x00), RGB(0xFF, 0xFF, 0x80), L""};

RuleEditor* EditorOf(HWND dialog) { return reinterpret_cast<RuleEditor*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

int Selected(HWND dialog, const RuleEditor& editor) {
    int index = static_cast<int>(SendDlgItemMessageW(dialog, editor.kind->list, LB_GETCURSEL, 0, 0));
    return index >= 0 && index < editor.rules.count ? index : -1;
}

// The list's line for a rule: its text, and for filters what it does.
void ListLine(const RuleEditor& editor, const StoredRule& rule, wchar_t* line) {   // line holds 320 units
    if (editor.kind->form != RuleForm::Filter) {
        lstrcpynW(line, rule.text, kRuleTextUnits);
        return;
    }
    wsprintfW(line, UiString(rule.flags & kRuleHide ? IDS_FILTER_LIST_HIDE : IDS_FILTER_LIST_SHOW), rule.text);
}

void SetListLine(HWND dialog, const RuleEditor& editor, int index, bool insert) {
    wchar_t line[320];
    ListLine(editor, editor.rules.rules[index], line);
    HWND list = GetDlgItem(dialog, editor.kind->list);
    if (!insert) SendMessageW(list, LB_DELETESTRING, index, 0);
    SendMessageW(list, insert ? LB_ADDSTRING : LB_INSERTSTRING, insert ? 0 : index, reinterpret_cast<LPARAM>(line));
}

void FillList(HWND dialog, const RuleEditor& editor, int select) {
    HWND list = GetDlgItem(dialog, editor.kind->list);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < editor.rules.count; ++i) SetListLine(dialog, editor, i, true);
    SendMessageW(list, LB_SETCURSEL, select, 0);
}

void RefreshSample(HWND dialog, RuleEditor& editor) {
    if (!editor.kind->sample) return;
    if (editor.sampleBrush) DeleteObject(editor.sampleBrush);
    editor.sampleBrush = nullptr;
    int index = Selected(dialog, editor);
    if (index >= 0) editor.sampleBrush = CreateSolidBrush(editor.rules.rules[index].backColor);
    InvalidateRect(GetDlgItem(dialog, editor.kind->sample), nullptr, TRUE);
}

void Check(HWND dialog, int id, bool on) {
    if (id) CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

// The fields show the selected rule; without one they are empty and disabled.
void ShowRule(HWND dialog, RuleEditor& editor) {
    const RuleDialogKind& k = *editor.kind;
    int index = Selected(dialog, editor);
    const StoredRule* rule = index >= 0 ? &editor.rules.rules[index] : nullptr;
    uint32_t flags = rule ? rule->flags : kRuleOff;
    editor.filling = true;
    SetDlgItemTextW(dialog, k.text, rule ? rule->text : L"");
    if (k.sample) SetDlgItemTextW(dialog, k.sample, rule ? rule->text : L"");
    Check(dialog, k.matchCase, flags & kRuleMatchCase);
    Check(dialog, k.wholeWord, flags & kRuleWholeWord);
    Check(dialog, k.on, !(flags & kRuleOff));
    Check(dialog, k.regex, flags & kRuleRegex);
    Check(dialog, k.show, rule && !(flags & kRuleHide));
    Check(dialog, k.hide, rule && (flags & kRuleHide));
    editor.filling = false;
    const int fields[] = {k.remove, k.text, k.matchCase, k.wholeWord, k.on, k.regex, k.textColor, k.backColor, k.sample, k.show, k.hide};
    for (int id : fields)
        if (id) EnableWindow(GetDlgItem(dialog, id), rule != nullptr);
    EnableWindow(GetDlgItem(dialog, k.up), index > 0);
    EnableWindow(GetDlgItem(dialog, k.down), index >= 0 && index + 1 < editor.rules.count);
    EnableWindow(GetDlgItem(dialog, k.add), editor.rules.count < kMaxRules);
    RefreshSample(dialog, editor);
}

void SetFlag(StoredRule& rule, uint32_t flag, bool on) { rule.flags = on ? rule.flags | flag : rule.flags & ~flag; }

void TextChanged(HWND dialog, RuleEditor& editor, int index) {
    StoredRule& rule = editor.rules.rules[index];
    GetDlgItemTextW(dialog, editor.kind->text, rule.text, kRuleTextUnits);
    if (editor.kind->sample) SetDlgItemTextW(dialog, editor.kind->sample, rule.text);
    SetListLine(dialog, editor, index, false);
    SendDlgItemMessageW(dialog, editor.kind->list, LB_SETCURSEL, index, 0);
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
    StoredRule swap = editor.rules.rules[from];
    editor.rules.rules[from] = editor.rules.rules[to];
    editor.rules.rules[to] = swap;
    FillList(dialog, editor, to);
    ShowRule(dialog, editor);
}

void Add(HWND dialog, RuleEditor& editor) {
    if (editor.rules.count >= kMaxRules) {
        MessageBeep(MB_OK);
        return;
    }
    editor.rules.rules[editor.rules.count++] = kNewRule;
    FillList(dialog, editor, editor.rules.count - 1);
    ShowRule(dialog, editor);
    SetFocus(GetDlgItem(dialog, editor.kind->text));
}

void Remove(HWND dialog, RuleEditor& editor, int index) {
    if (index < 0) return;
    for (int i = index; i + 1 < editor.rules.count; ++i) editor.rules.rules[i] = editor.rules.rules[i + 1];
    --editor.rules.count;
    FillList(dialog, editor, index < editor.rules.count ? index : editor.rules.count - 1);
    ShowRule(dialog, editor);
}

// A pattern that does not compile is not saved: the dialog says why and where, and shows the rule.
bool PatternsCompile(HWND dialog, RuleEditor& editor) {
    for (int i = 0; i < editor.rules.count; ++i) {
        const StoredRule& rule = editor.rules.rules[i];
        if (!(rule.flags & kRuleRegex) || !rule.text[0]) continue;
        MatchRule probe{};
        MatchFault fault{};
        if (PrepareMatchRule(&probe, rule.text, rule.flags, &fault)) {
            ReleaseMatchRule(&probe);
            continue;
        }
        SendDlgItemMessageW(dialog, editor.kind->list, LB_SETCURSEL, i, 0);
        ShowRule(dialog, editor);
        wchar_t reason[512];
        if (!ComposeMatchFault(reason, 512, fault)) reason[0] = 0;
        MessageBoxW(dialog, reason, UiString(IDS_REGEX_CAPTION), MB_OK | MB_ICONERROR);
        HWND text = GetDlgItem(dialog, editor.kind->text);
        SetFocus(text);
        SendMessageW(text, EM_SETSEL, fault.at, fault.at + 1);
        return false;
    }
    return true;
}

void Save(HWND dialog, RuleEditor& editor) {
    if (!PatternsCompile(dialog, editor)) return;
    // A rule without text is no rule.
    int kept = 0;
    for (int i = 0; i < editor.rules.count; ++i)
        if (editor.rules.rules[i].text[0]) editor.rules.rules[kept++] = editor.rules.rules[i];
    editor.rules.count = kept;
    EndDialog(dialog, 1);
}

void OnCommand(HWND dialog, RuleEditor& editor, int id, int code) {
    const RuleDialogKind& k = *editor.kind;
    int index = Selected(dialog, editor);
    StoredRule* rule = index >= 0 ? &editor.rules.rules[index] : nullptr;
    bool checked = IsDlgButtonChecked(dialog, id) == BST_CHECKED;
    if (id == k.list) {
        if (code == LBN_SELCHANGE) ShowRule(dialog, editor);
    } else if (id == k.add) {
        Add(dialog, editor);
    } else if (id == k.remove) {
        Remove(dialog, editor, index);
    } else if (id == k.up) {
        Move(dialog, editor, index, index - 1);
    } else if (id == k.down) {
        Move(dialog, editor, index, index + 1);
    } else if (id == k.text) {
        if (code == EN_CHANGE && rule && !editor.filling) TextChanged(dialog, editor, index);
    } else if (id == IDOK) {
        Save(dialog, editor);
    } else if (!rule || editor.filling) {
        return;
    } else if (id == k.matchCase) {
        SetFlag(*rule, kRuleMatchCase, checked);
    } else if (id == k.wholeWord) {
        SetFlag(*rule, kRuleWholeWord, checked);
    } else if (id == k.on) {
        SetFlag(*rule, kRuleOff, !checked);
    } else if (id == k.regex) {
        SetFlag(*rule, kRuleRegex, checked);
    } else if (k.show && (id == k.show || id == k.hide)) {
        SetFlag(*rule, kRuleHide, IsDlgButtonChecked(dialog, k.hide) == BST_CHECKED);
        SetListLine(dialog, editor, index, false);
        SendDlgItemMessageW(dialog, k.list, LB_SETCURSEL, index, 0);
    } else if (k.textColor && id == k.textColor) {
        ChooseRuleColor(dialog, editor, rule->textColor);
    } else if (k.backColor && id == k.backColor) {
        ChooseRuleColor(dialog, editor, rule->backColor);
    }
}

INT_PTR CALLBACK RuleDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    RuleEditor* editor = message == WM_INITDIALOG ? reinterpret_cast<RuleEditor*>(lParam) : EditorOf(dialog);
    if (!editor) return CommonDialogProc(dialog, message, wParam, lParam);
    const RuleDialogKind& k = *editor->kind;
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SendDlgItemMessageW(dialog, k.text, EM_LIMITTEXT, kRuleTextUnits - 1, 0);
        if (editor->rules.count == 0 && k.form == RuleForm::Highlight) {
            editor->rules.rules[0] = kErrorRule;
            editor->rules.rules[1] = kWarnRule;
            editor->rules.count = 2;
        }
        FillList(dialog, *editor, 0);
        ShowRule(dialog, *editor);
        break;
    case WM_CTLCOLORSTATIC:
        if (k.sample && reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, k.sample) && editor->sampleBrush) {
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

// The dialog on a copy of `rules`; true, with `rules` replaced, when the user saved.
bool RunRuleDialog(const RuleDialogKind& kind, RuleSet* rules) {
    RuleEditor editor{};
    editor.kind = &kind;
    editor.rules = *rules;
    if (RunUiDialog(kind.dialogId, app.mainWindow, RuleDialogProc, reinterpret_cast<LPARAM>(&editor)) != 1)
        return false;
    *rules = editor.rules;
    return true;
}

}  // namespace

void HighlightDialogCommand() {
    if (!RunRuleDialog(kHighlightKind, &highlights.rules)) return;
    StoreRules(RuleForm::Highlight, highlights.rules);
    ApplyHighlights();
}

void FilterDialogCommand() {
    if (!RunRuleDialog(kFilterKind, &filters.rules)) return;
    StoreRules(RuleForm::Filter, filters.rules);
    PrepareFilters();
    // Saving switches filtering on; the tail is cut again under the new rules.
    settings.filter = 1;
    CheckMenuCommand(IDM_FILTER_ROWS, true);
    StoreSetting(SV_FILTER);
    ReloadLogFile();
    RefreshStatus();
}
