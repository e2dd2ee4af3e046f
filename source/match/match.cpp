// Matching text against rules: Find's plain comparison and prepared rules for highlighting and
// filters.
#include "match/match.h"
#include "match/regex.h"
#include <cwctype>
#include <cwchar>

namespace {

struct FoldTable {
    bool filled;
    wchar_t unit[65536];
};
FoldTable fold;

void FillFoldTable() {
    for (unsigned c = 0; c < 65536; ++c) fold.unit[c] = static_cast<wchar_t>(towlower(static_cast<wint_t>(c)));
    fold.filled = true;
}

// The first occurrence of `text` (`m` units) in `row`, or -1: Find's comparison, which folds both
// sides at every unit unless matchCase.
int FindUnits(const wchar_t* row, int rowLength, const wchar_t* text, int m, bool matchCase) {
    if (m <= 0 || m > rowLength) return -1;
    const wchar_t first = text[0];
    const int last = rowLength - m;
    if (matchCase) {
        for (int p = 0; p <= last; ++p) {
            if (row[p] != first) continue;
            int i = 1;
            while (i < m && row[p + i] == text[i]) ++i;
            if (i == m) return p;
        }
        return -1;
    }
    if (!fold.filled) FillFoldTable();
    const wchar_t* table = fold.unit;
    const wchar_t foldedFirst = table[static_cast<uint16_t>(first)];
    for (int p = 0; p <= last; ++p) {
        if (table[static_cast<uint16_t>(row[p])] != foldedFirst) continue;
        int i = 1;
        while (i < m && table[static_cast<uint16_t>(row[p + i])] == table[static_cast<uint16_t>(text[i])]) ++i;
        if (i == m) return p;
    }
    return -1;
}

// A prepared rule's text in `row`, leftmost first: the alignments are tried in order, each moving
// on by the skip of the unit under the text's last one, which never passes an occurrence.
int FindSkipping(const wchar_t* row, int rowLength, const MatchRule& rule) {
    const int m = rule.length;
    if (m > rowLength) return -1;
    const wchar_t* text = rule.text;
    const wchar_t last = text[m - 1];
    const int end = rowLength - m;
    if (rule.flags & kMatchCase) {
        for (int p = 0; p <= end;) {
            wchar_t c = row[p + m - 1];
            if (c == last) {
                int i = 0;
                while (i < m - 1 && row[p + i] == text[i]) ++i;
                if (i == m - 1) return p;
            }
            p += rule.skip[c & 0xFF];
        }
        return -1;
    }
    const wchar_t* table = fold.unit;
    for (int p = 0; p <= end;) {
        wchar_t c = table[static_cast<uint16_t>(row[p + m - 1])];
        if (c == last) {
            int i = 0;
            while (i < m - 1 && table[static_cast<uint16_t>(row[p + i])] == text[i]) ++i;
            if (i == m - 1) return p;
        }
        p += rule.skip[c & 0xFF];
    }
    return -1;
}

// Only the first occurrence is judged: one inside a word rules the text out.
bool FirstIsWhole(const wchar_t* row, int rowLength, int p, int m) {
    bool before = p > 0 && IsWordCharacter(row[p - 1]);
    bool after = p + m < rowLength && IsWordCharacter(row[p + m]);
    return !before && !after;
}

}  // namespace

bool IsWordCharacter(wchar_t c) { return c != 0 && iswctype(c, _ALPHA | _UPPER | _LOWER | _DIGIT); }

wchar_t FoldUnit(wchar_t c) {
    if (!fold.filled) FillFoldTable();
    return fold.unit[static_cast<uint16_t>(c)];
}

bool TextMatches(const wchar_t* row, int rowLength, const wchar_t* text, bool wholeWord, bool matchCase) {
    if (!row || !text) return false;
    int m = static_cast<int>(wcslen(text));
    int p = FindUnits(row, rowLength, text, m, matchCase);
    if (p < 0) return false;
    return !wholeWord || FirstIsWhole(row, rowLength, p, m);
}

bool PrepareMatchRule(MatchRule* rule, const wchar_t* text, uint32_t flags, MatchFault* fault) {
    if (!rule) return false;
    ReleaseMatchRule(rule);
    if (fault) *fault = MatchFault{0, 0};
    rule->flags = flags & (kMatchCase | kMatchWholeWord | kMatchRegex);
    rule->length = 0;
    rule->text[0] = 0;
    if (!text) return false;
    int length = 0;
    while (length < kMatchTextUnits && text[length]) ++length;
    if (length == 0 || length == kMatchTextUnits) return false;
    if (rule->flags & kMatchRegex) {
        rule->regex = CompileRegex(text, length, rule->flags, fault);
        if (!rule->regex) return false;
    }
    bool matchCase = (rule->flags & kMatchCase) != 0;
    for (int i = 0; i < length; ++i) rule->text[i] = matchCase ? text[i] : FoldUnit(text[i]);
    rule->text[length] = 0;
    rule->length = length;
    for (int c = 0; c < 256; ++c) rule->skip[c] = static_cast<uint8_t>(length < 255 ? length : 255);
    for (int i = 0; i + 1 < length; ++i) rule->skip[rule->text[i] & 0xFF] = static_cast<uint8_t>(length - 1 - i);
    return true;
}

void ReleaseMatchRule(MatchRule* rule) {
    if (!rule) return;
    if (rule->regex) FreeRegex(rule->regex);
    rule->regex = nullptr;
    rule->length = 0;
}

bool RuleMatches(const MatchRule& rule, const wchar_t* text, int length) {
    if (!text || length < 0 || rule.length <= 0) return false;
    // A pattern may match the empty text; plain text never does.
    if (rule.regex) return RegexMatches(rule.regex, text, length);
    int p = FindSkipping(text, length, rule);
    if (p < 0) return false;
    return !(rule.flags & kMatchWholeWord) || FirstIsWhole(text, length, p, rule.length);
}

void ReleaseMatchSet(MatchSet* set) {
    if (!set) return;
    for (int i = 0; i < set->count && i < kMaxMatchRules; ++i) ReleaseMatchRule(&set->rules[i]);
    set->count = 0;
    set->showOnly = 0;
}

int FirstMatchingRule(const MatchSet& set, const wchar_t* text, int length) {
    for (int i = 0; i < set.count && i < kMaxMatchRules; ++i)
        if (RuleMatches(set.rules[i], text, length)) return set.source[i];
    return -1;
}

bool LineShown(const MatchSet& set, const wchar_t* text, int length) {
    const int count = set.count < kMaxMatchRules ? set.count : kMaxMatchRules;
    // Most lines of a busy log fail the Show only rules: those are asked first.
    if (set.showOnly) {
        int i = 0;
        while (i < count && (set.hide[i] || !RuleMatches(set.rules[i], text, length))) ++i;
        if (i == count) return false;
    }
    for (int i = 0; i < count; ++i)
        if (set.hide[i] && RuleMatches(set.rules[i], text, length)) return false;
    return true;
}
