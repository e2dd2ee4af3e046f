// The stored form of highlighting and filter rules, and what prepared rules answer.
#include <gtest/gtest.h>
#include "persist/rules.h"
#include "match/match.h"
#include <string>

namespace {

std::string Ascii(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) out += *text < 128 ? static_cast<char>(*text) : '?';
    return out;
}

bool Parse(const wchar_t* value, RuleForm form, StoredRule* rule) { return ParseStoredRule(value, form, rule); }

// A set of rules as the dialogs leave them, prepared as loading prepares them.
struct Prepared {
    RuleSet set{};
    MatchSet match{};
    Prepared(RuleForm form, std::initializer_list<StoredRule> rules) {
        for (const StoredRule& rule : rules) set.rules[set.count++] = rule;
        PrepareRules(set, form, &match);
    }
    ~Prepared() { ReleaseMatchSet(&match); }
    int First(const std::wstring& text) const { return FirstMatchingRule(match, text.c_str(), static_cast<int>(text.size())); }
    bool Shown(const std::wstring& text) const { return LineShown(match, text.c_str(), static_cast<int>(text.size())); }
};

}  // namespace

TEST(StoredRules, HighlightingReadsFlagsColoursAndTheRestAsText) {
    StoredRule rule{};
    ASSERT_TRUE(Parse(L"3;FF0000;00ff80;a;b;c", RuleForm::Highlight, &rule));
    EXPECT_EQ(kRuleMatchCase | kRuleWholeWord, rule.flags);
    EXPECT_EQ(RGB(0xFF, 0, 0), rule.textColor);
    EXPECT_EQ(RGB(0, 0xFF, 0x80), rule.backColor);
    EXPECT_STREQ(L"a;b;c", rule.text);
    ASSERT_TRUE(Parse(L"4;000000;FFFFFF; spaced ", RuleForm::Highlight, &rule));
    EXPECT_EQ(kRuleOff, rule.flags);
    EXPECT_STREQ(L" spaced ", rule.text);
    // Hide means nothing to highlighting and is dropped.
    ASSERT_TRUE(Parse(L"17;000000;FFFFFF;x", RuleForm::Highlight, &rule));
    EXPECT_EQ(kRuleMatchCase, rule.flags);
}

TEST(StoredRules, FiltersReadFlagsAndTheRestAsText) {
    StoredRule rule{};
    ASSERT_TRUE(Parse(L"18;DEBUG;x", RuleForm::Filter, &rule));
    EXPECT_EQ(kRuleHide | kRuleWholeWord, rule.flags);
    EXPECT_STREQ(L"DEBUG;x", rule.text);
    // What would be colours for highlighting is text here.
    ASSERT_TRUE(Parse(L"0;FF0000;00FF00;x", RuleForm::Filter, &rule));
    EXPECT_STREQ(L"FF0000;00FF00;x", rule.text);
    ASSERT_TRUE(Parse(L"255;x", RuleForm::Filter, &rule));
    EXPECT_EQ(kRuleMatchCase | kRuleWholeWord | kRuleOff | kRuleRegex | kRuleHide, rule.flags);
}

TEST(StoredRules, ValuesThatAreNoRule) {
    StoredRule rule{};
    rule.flags = 77;
    for (const wchar_t* bad : {L"", L"1;FF0000;00FF00;", L";FF0000;00FF00;x", L"1;FF000;00FF00;x",
                               L"1;FF0000;00FF0G;x", L"1,FF0000;00FF00;x", L"1;FF0000;00FF00", L"-1;FF0000;00FF00;x",
                               L"1234567890;FF0000;00FF00;x", L"1;FF00000;00FF00;x"})
        EXPECT_FALSE(Parse(bad, RuleForm::Highlight, &rule)) << std::string(bad, bad + wcslen(bad));
    for (const wchar_t* bad : {L"", L"1;", L";x", L"x;y", L"1 ;x", L"-1;x", L"1234567890;x", L"16"})
        EXPECT_FALSE(Parse(bad, RuleForm::Filter, &rule)) << std::string(bad, bad + wcslen(bad));
    EXPECT_EQ(77u, rule.flags) << "a failed parse leaves the rule alone";
    std::wstring longest = L"0;000000;000000;" + std::wstring(255, L'x');
    EXPECT_TRUE(Parse(longest.c_str(), RuleForm::Highlight, &rule));
    EXPECT_FALSE(Parse((longest + L"x").c_str(), RuleForm::Highlight, &rule));
    std::wstring longestFilter = L"16;" + std::wstring(255, L'x');
    EXPECT_TRUE(Parse(longestFilter.c_str(), RuleForm::Filter, &rule));
    EXPECT_FALSE(Parse((longestFilter + L"x").c_str(), RuleForm::Filter, &rule));
}

TEST(StoredRules, FormatWritesTheStoredFormAndParsesBack) {
    StoredRule rule{kRuleWholeWord | kRuleOff | kRuleHide, RGB(0x12, 0xAB, 0x0F), RGB(0xFF, 0xBF, 0x00), L"WARN;x"};
    wchar_t value[300];
    ASSERT_TRUE(FormatStoredRule(rule, RuleForm::Highlight, value, 300));
    EXPECT_STREQ(L"6;12AB0F;FFBF00;WARN;x", value);
    StoredRule back{};
    ASSERT_TRUE(Parse(value, RuleForm::Highlight, &back));
    EXPECT_EQ(kRuleWholeWord | kRuleOff, back.flags);
    EXPECT_EQ(rule.textColor, back.textColor);
    EXPECT_EQ(rule.backColor, back.backColor);
    EXPECT_STREQ(rule.text, back.text);
    ASSERT_TRUE(FormatStoredRule(rule, RuleForm::Filter, value, 300));
    EXPECT_STREQ(L"22;WARN;x", value);
    ASSERT_TRUE(Parse(value, RuleForm::Filter, &back));
    EXPECT_EQ(rule.flags, back.flags);
    // Too small a buffer: nothing but an empty string.
    EXPECT_FALSE(FormatStoredRule(rule, RuleForm::Highlight, value, 22));
    EXPECT_STREQ(L"", value);
    EXPECT_TRUE(FormatStoredRule(rule, RuleForm::Highlight, value, 23));
    EXPECT_FALSE(FormatStoredRule(rule, RuleForm::Filter, value, 9));
    EXPECT_STREQ(L"", value);
}

TEST(PreparedRules, FirstSwitchedOnMatchingRuleWinsUnderFindsRules) {
    Prepared set(RuleForm::Highlight, {{kRuleOff, 0, 0, L"disk"}, {kRuleMatchCase, 0, 0, L"ERROR"},
                                       {kRuleWholeWord, 0, 0, L"cat"}, {0, 0, 0, L"error"}});
    EXPECT_EQ(1, set.First(L"ERROR disk full"));
    EXPECT_EQ(3, set.First(L"error: disk full"));
    EXPECT_EQ(3, set.First(L"Error"));            // folded once when prepared, the text at each call
    EXPECT_EQ(3, set.First(L"xxeRRor"));
    EXPECT_EQ(-1, set.First(L"disk full"));
    EXPECT_EQ(2, set.First(L"the cat sat"));
    EXPECT_EQ(-1, set.First(L"category cat"));   // Find judges the first occurrence alone
    EXPECT_EQ(-1, set.First(L""));
    EXPECT_TRUE(AnyRuleOn(set.set));
    for (int i = 1; i < 4; ++i) set.set.rules[i].flags |= kRuleOff;
    EXPECT_FALSE(AnyRuleOn(set.set));
    PrepareRules(set.set, RuleForm::Highlight, &set.match);
    EXPECT_EQ(-1, set.First(L"ERROR"));
}

// Folding is Find's: the C library's, whose C locale folds A to Z alone. A prepared rule, whose
// text is folded once, answers exactly as Find's comparison, which folds at every call.
TEST(PreparedRules, CaseFoldsExactlyAsFind) {
    const wchar_t* rules[] = {L"\x10C" L"as", L"\x10D" L"AS", L"eRRor", L"k", L"\xDF" L"e"};
    const wchar_t* texts[] = {L"\x10C" L"AS", L"\x10D" L"as", L"za \x10C" L"As", L"ERROR", L"xxerror", L"K",
                              L"\x212A", L"\xDF" L"E", L"SSE", L""};
    for (const wchar_t* rule : rules) {
        Prepared set(RuleForm::Highlight, {{0, 0, 0, {}}});
        lstrcpyW(set.set.rules[0].text, rule);
        PrepareRules(set.set, RuleForm::Highlight, &set.match);
        for (const wchar_t* text : texts)
            EXPECT_EQ(TextMatches(text, static_cast<int>(wcslen(text)), rule, false, false), set.First(text) == 0)
                << Ascii(rule) << " in " << Ascii(text);
    }
    Prepared czech(RuleForm::Highlight, {{0, 0, 0, L"\x10C" L"as"}});
    EXPECT_EQ(0, czech.First(L"\x10C" L"AS"));
}

// Prepared plain rules search differently from Find's comparison (skipping along the row); on
// random rows of a few units, some sharing a low byte, both always give the same answer.
TEST(PreparedRules, AnswerAsFindOnRandomRows) {
    const wchar_t alphabet[] = {L'a', L'b', L'A', L'\x161', L'\x160', L' ', L'x', L'\x2061'};
    unsigned seed = 7;
    auto random = [&](unsigned range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % range;
    };
    for (int round = 0; round < 3000; ++round) {
        std::wstring text, row;
        for (unsigned i = 1 + random(5); i; --i) text += alphabet[random(8)];
        for (unsigned i = random(40); i; --i) row += alphabet[random(8)];
        if (random(2)) row.insert(random(static_cast<unsigned>(row.size()) + 1), text);
        uint32_t flags = random(4);
        Prepared set(RuleForm::Highlight, {{flags, 0, 0, {}}});
        lstrcpyW(set.set.rules[0].text, text.c_str());
        PrepareRules(set.set, RuleForm::Highlight, &set.match);
        bool find = TextMatches(row.c_str(), static_cast<int>(row.size()), text.c_str(), flags & kRuleWholeWord,
                                flags & kRuleMatchCase);
        ASSERT_EQ(find, set.First(row) == 0) << Ascii(text.c_str()) << " in " << Ascii(row.c_str()) << " flags " << flags;
    }
}

TEST(PreparedRules, FiltersShowOnlyWhatAShowRuleMatchesAndNothingAHideRuleMatches) {
    Prepared none(RuleForm::Filter, {});
    EXPECT_TRUE(none.Shown(L"anything"));
    EXPECT_TRUE(none.Shown(L""));

    Prepared hideOnly(RuleForm::Filter, {{kRuleHide | kRuleMatchCase, 0, 0, L"DEBUG"}});
    EXPECT_FALSE(hideOnly.Shown(L"12:00 DEBUG tick"));
    EXPECT_TRUE(hideOnly.Shown(L"12:00 debug tick"));
    EXPECT_TRUE(hideOnly.Shown(L""));

    // Show only ERROR or FATAL, but never the ones about the cache; a rule switched off counts for nothing.
    Prepared mixed(RuleForm::Filter, {{kRuleMatchCase, 0, 0, L"ERROR"}, {kRuleHide, 0, 0, L"cache"},
                                      {kRuleMatchCase | kRuleWholeWord, 0, 0, L"FATAL"}, {kRuleOff, 0, 0, L"INFO"},
                                      {kRuleOff | kRuleHide, 0, 0, L"disk"}});
    EXPECT_TRUE(mixed.Shown(L"ERROR disk full"));
    EXPECT_TRUE(mixed.Shown(L"FATAL: out of memory"));
    EXPECT_FALSE(mixed.Shown(L"FATALITY"));
    EXPECT_FALSE(mixed.Shown(L"INFO started"));
    EXPECT_FALSE(mixed.Shown(L"ERROR in CACHE"));
    EXPECT_FALSE(mixed.Shown(L""));
    EXPECT_EQ(2, mixed.match.showOnly);

    // Only switched-off Show only rules: every line that no Hide rule takes is shown.
    Prepared offShow(RuleForm::Filter, {{kRuleOff, 0, 0, L"ERROR"}, {kRuleHide, 0, 0, L"noise"}});
    EXPECT_TRUE(offShow.Shown(L"INFO"));
    EXPECT_FALSE(offShow.Shown(L"noise"));
}
