// Stored rules: highlighting ("highlight N", FLAGS;RRGGBB;RRGGBB;TEXT) and filters ("filter N",
// FLAGS;TEXT), up to 16 of each, read at start-up and written when their dialog is saved.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>
#include "match/match.h"

constexpr int kMaxRules = 16;
constexpr int kRuleTextUnits = kMatchTextUnits;   // up to 255 characters and the terminator

// Rule flags as stored. Match case, whole word and regular expression are the matcher's own.
constexpr uint32_t kRuleMatchCase = kMatchCase;
constexpr uint32_t kRuleWholeWord = kMatchWholeWord;
constexpr uint32_t kRuleOff = 4;
constexpr uint32_t kRuleRegex = kMatchRegex;
constexpr uint32_t kRuleHide = 16;   // filters: hide the lines that match; without it, show only them

struct StoredRule {
    uint32_t flags;
    COLORREF textColor;   // highlighting only
    COLORREF backColor;   // highlighting only
    wchar_t text[kRuleTextUnits];
};

struct RuleSet {
    StoredRule rules[kMaxRules];
    int count;
};

enum class RuleForm { Highlight, Filter };

// Pure decisions.
// A stored value into a rule; false for anything that is no rule (bad number or colour, empty or
// too long text), leaving `rule` alone. Flags the form does not know are dropped.
bool ParseStoredRule(const wchar_t* value, RuleForm form, StoredRule* rule);
// A rule into its stored form; false, and nothing useful written, when `units` cannot hold it.
bool FormatStoredRule(const StoredRule& rule, RuleForm form, wchar_t* out, size_t units);
bool AnyRuleOn(const RuleSet& set);
// The switched-on rules of `set`, prepared for matching, in order; a rule that cannot be prepared
// (a pattern that does not compile) is left out. What `prepared` held before is released.
void PrepareRules(const RuleSet& set, RuleForm form, MatchSet* prepared);

// The registry: values of higher numbers than the rules stored are deleted; a value that is not
// REG_SZ, does not parse, or holds a pattern that does not compile is no rule.
void LoadRules(RuleForm form, RuleSet* set);
void StoreRules(RuleForm form, const RuleSet& set);
