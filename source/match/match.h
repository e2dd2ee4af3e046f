// Matching text against rules: the one answer that Find, highlighting and filters share. Pure code,
// no window or registry: a rule is prepared once (its case folded, its pattern compiled) and then
// asked about many texts.
#pragma once
#include <cstddef>
#include <cstdint>

// Rule flags, as the stored rules carry them.
constexpr uint32_t kMatchCase = 1;
constexpr uint32_t kMatchWholeWord = 2;
constexpr uint32_t kMatchRegex = 8;

constexpr int kMatchTextUnits = 256;   // a rule's text: up to 255 units and the terminator

// Find's word characters: letters and digits.
bool IsWordCharacter(wchar_t c);
// Find's case folding (the C library's towlower), by a table filled at the first call.
wchar_t FoldUnit(wchar_t c);

// Whether `row` contains `text` under Find's rules: only the first occurrence is judged for whole
// words; `text` is folded here, at each call.
bool TextMatches(const wchar_t* row, int rowLength, const wchar_t* text, bool wholeWord, bool matchCase);

struct Regex;

// A rule ready to be asked: its text folded once when case does not matter, or its compiled pattern.
struct MatchRule {
    uint32_t flags;                     // kMatchCase, kMatchWholeWord, kMatchRegex
    int length;
    wchar_t text[kMatchTextUnits];      // folded unless kMatchCase
    Regex* regex;                       // compiled pattern when kMatchRegex, owned by the rule
    // How far the text may move on along a row when the unit under its last one (folded unless
    // kMatchCase) has this low byte (Horspool's rule, units of one low byte sharing the shortest
    // move).
    uint8_t skip[256];
};

// Why a pattern was refused, and where (a unit index into the pattern).
struct MatchFault {
    int reason;                         // 0: none; else one of the matcher's reasons
    int at;
};

// Prepares `rule` for `text` (terminated, at most 255 units) under `flags`. False for an empty or
// too long text, or a pattern that does not compile (`fault` then says why, when given). A rule
// prepared before is released first.
bool PrepareMatchRule(MatchRule* rule, const wchar_t* text, uint32_t flags, MatchFault* fault);
void ReleaseMatchRule(MatchRule* rule);
bool RuleMatches(const MatchRule& rule, const wchar_t* text, int length);

// Rules prepared in their order, as highlighting and filters ask them.
constexpr int kMaxMatchRules = 16;
struct MatchSet {
    MatchRule rules[kMaxMatchRules];
    int source[kMaxMatchRules];   // the rule's place in the stored list
    bool hide[kMaxMatchRules];    // filters: a Hide rule, else Show only
    int count;
    int showOnly;                 // how many Show only rules there are
};

void ReleaseMatchSet(MatchSet* set);
// The stored place of the first rule that `text` matches, or -1.
int FirstMatchingRule(const MatchSet& set, const wchar_t* text, int length);
// Filters: a line is shown when no Show only rule is on or it matches one, and it matches no Hide rule.
bool LineShown(const MatchSet& set, const wchar_t* text, int length);
