// The stored form of highlighting rules and which rule a row takes.
#include <gtest/gtest.h>
#include "view/highlight.h"
#include <string>

TEST(HighlightRules, ParseReadsFlagsColoursAndTheRestAsText) {
    HighlightRule rule{};
    ASSERT_TRUE(ParseHighlightRule(L"3;FF0000;00ff80;a;b;c", &rule));
    EXPECT_EQ(kRuleMatchCase | kRuleWholeWord, rule.flags);
    EXPECT_EQ(RGB(0xFF, 0, 0), rule.textColor);
    EXPECT_EQ(RGB(0, 0xFF, 0x80), rule.backColor);
    EXPECT_STREQ(L"a;b;c", rule.text);
    ASSERT_TRUE(ParseHighlightRule(L"4;000000;FFFFFF; spaced ", &rule));
    EXPECT_EQ(kRuleOff, rule.flags);
    EXPECT_STREQ(L" spaced ", rule.text);
}

TEST(HighlightRules, ValuesThatAreNoRule) {
    HighlightRule rule{};
    rule.flags = 77;
    for (const wchar_t* bad : {L"", L"1;FF0000;00FF00;", L";FF0000;00FF00;x", L"1;FF000;00FF00;x",
                               L"1;FF0000;00FF0G;x", L"1,FF0000;00FF00;x", L"1;FF0000;00FF00", L"-1;FF0000;00FF00;x",
                               L"1234567890;FF0000;00FF00;x", L"1;FF00000;00FF00;x"})
        EXPECT_FALSE(ParseHighlightRule(bad, &rule)) << std::string(bad, bad + wcslen(bad));
    EXPECT_EQ(77u, rule.flags) << "a failed parse leaves the rule alone";
    std::wstring longest = L"0;000000;000000;" + std::wstring(255, L'x');
    EXPECT_TRUE(ParseHighlightRule(longest.c_str(), &rule));
    EXPECT_FALSE(ParseHighlightRule((longest + L"x").c_str(), &rule));
}

TEST(HighlightRules, FormatWritesTheStoredFormAndParsesBack) {
    HighlightRule rule{kRuleWholeWord | kRuleOff, RGB(0x12, 0xAB, 0x0F), RGB(0xFF, 0xBF, 0x00), L"WARN;x"};
    wchar_t value[300];
    ASSERT_TRUE(FormatHighlightRule(rule, value, 300));
    EXPECT_STREQ(L"6;12AB0F;FFBF00;WARN;x", value);
    HighlightRule back{};
    ASSERT_TRUE(ParseHighlightRule(value, &back));
    EXPECT_EQ(rule.flags, back.flags);
    EXPECT_EQ(rule.textColor, back.textColor);
    EXPECT_EQ(rule.backColor, back.backColor);
    EXPECT_STREQ(rule.text, back.text);
    // Too small a buffer: nothing but an empty string.
    EXPECT_FALSE(FormatHighlightRule(rule, value, 22));
    EXPECT_STREQ(L"", value);
    EXPECT_TRUE(FormatHighlightRule(rule, value, 23));
}

TEST(HighlightRules, FirstSwitchedOnMatchingRuleWinsUnderFindsRules) {
    Highlights set{};
    set.rules[0] = {kRuleOff, 0, 0, L"disk"};
    set.rules[1] = {kRuleMatchCase, 0, 0, L"ERROR"};
    set.rules[2] = {kRuleWholeWord, 0, 0, L"cat"};
    set.rules[3] = {0, 0, 0, L"error"};
    set.count = 4;
    auto match = [&](const wchar_t* row) { return MatchingRule(set, row, static_cast<int>(wcslen(row))); };
    EXPECT_EQ(1, match(L"ERROR disk full"));
    EXPECT_EQ(3, match(L"error: disk full"));
    EXPECT_EQ(-1, match(L"disk full"));
    EXPECT_EQ(2, match(L"the cat sat"));
    EXPECT_EQ(-1, match(L"category cat"));   // Find judges the first occurrence alone
    EXPECT_EQ(-1, match(L""));
    EXPECT_TRUE(AnyRuleOn(set));
    for (int i = 1; i < 4; ++i) set.rules[i].flags |= kRuleOff;
    EXPECT_FALSE(AnyRuleOn(set));
    EXPECT_EQ(-1, match(L"ERROR"));
}
