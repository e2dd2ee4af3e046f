// The regular-expression matcher: answers compared with std::wregex on random patterns and texts,
// adversarial patterns and rows at full size in guarded buffers, and every refusal with its reason.
#include <gtest/gtest.h>
#include "match/regex.h"
#include "dialogs/match_fault.h"
#include "harness.h"
#include <cstring>
#include <random>
#include <regex>
#include <string>

using harness::GuardedBuffer;

namespace {

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

// The answer of std::wregex, with its exceptions kept here: false in `ok` when it refused.
bool Reference(const std::wstring& pattern, const std::wstring& text, bool matchCase, bool wholeWord, bool* ok) {
    *ok = true;
    try {
        // Whole word: the preceding unit, when there is one, is no word character, nor the next.
        std::wstring full = wholeWord ? L"(?:^|[^A-Za-z0-9])(?:" + pattern + L")(?![A-Za-z0-9])" : pattern;
        auto syntax = std::regex_constants::ECMAScript;
        if (!matchCase) syntax |= std::regex_constants::icase;
        std::wregex re(full, syntax);
        return std::regex_search(text, re);
    } catch (...) {
        *ok = false;
        return false;
    }
}

struct Compiled {
    Regex* regex;
    MatchFault fault;
    Compiled(const std::wstring& pattern, uint32_t flags)
        : regex(CompileRegex(pattern.c_str(), static_cast<int>(pattern.size()), flags, &fault)) {}
    ~Compiled() { FreeRegex(regex); }
    bool Matches(const std::wstring& text) const { return RegexMatches(regex, text.c_str(), static_cast<int>(text.size())); }
};

// Random patterns of the subset, over few letters so that texts meet them often. Bounded depth.
// std::wregex backtracks, so a group that can match the empty text is never repeated without
// bound: such patterns take it exponential time (the matcher under test is checked on them below).
struct PatternMaker {
    std::mt19937 random;
    int Pick(int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); }

    std::wstring Atom(int depth, bool* nullable, bool* group) {
        static const wchar_t* const kLiterals[] = {L"a", L"b", L"A", L"c", L"1", L" ", L"-", L"\\.", L"\\x61", L"\\u0042"};
        static const wchar_t* const kClasses[] = {L".", L"\\d", L"\\D", L"\\w", L"\\W", L"\\s", L"\\S", L"[ab]",
                                                  L"[^a]", L"[a-c]", L"[^a-c1]", L"[A-C]", L"[\\d-]", L"[\\w ]",
                                                  L"[^\\s]", L"[0-9b]"};
        int kind = depth >= 2 ? Pick(2) : Pick(4);
        *nullable = false;
        *group = kind >= 2;
        if (kind == 0) return kLiterals[Pick(10)];
        if (kind == 1) return kClasses[Pick(16)];
        std::wstring inner = Alternation(depth + 1, nullable);
        return (kind == 2 ? L"(" : L"(?:") + inner + L")";
    }

    std::wstring Piece(int depth, bool* nullable) {
        *nullable = true;
        int kind = Pick(12);
        if (kind == 0) return L"^";
        if (kind == 1) return L"$";
        if (kind == 2) return Pick(2) ? L"\\b" : L"\\B";
        bool group = false;
        std::wstring atom = Atom(depth, nullable, &group);
        static const wchar_t* const kQuantifiers[] = {L"", L"", L"?", L"{2}", L"{0,2}", L"{0}", L"*", L"+", L"{1,}", L"{2,3}"};
        int q = Pick(group && *nullable ? 6 : 10);
        std::wstring quantifier = kQuantifiers[q];
        if (q >= 2 && Pick(4) == 0) quantifier += L"?";
        if (q == 2 || q == 4 || q == 5 || q == 6) *nullable = true;
        return atom + quantifier;
    }

    std::wstring Sequence(int depth, bool* nullable) {
        std::wstring s;
        *nullable = true;
        for (int n = Pick(4); n >= 0; --n) {
            bool piece = false;
            s += Piece(depth, &piece);
            *nullable = *nullable && piece;
        }
        return s;
    }

    std::wstring Alternation(int depth, bool* nullable) {
        std::wstring s = Sequence(depth, nullable);
        while (Pick(4) == 0) {
            bool more = true;
            s += L"|" + (Pick(5) == 0 ? std::wstring() : Sequence(depth, &more));
            *nullable = *nullable || more;
        }
        return s;
    }

    std::wstring Text() {
        static const wchar_t kUnits[] = L"aabbAB1 -.cC";
        std::wstring t;
        for (int n = Pick(12); n > 0; --n) t += kUnits[Pick(12)];
        return t;
    }
};

}  // namespace

TEST(Regex, AgreesWithStdRegexOnRandomPatternsAndTexts) {
    PatternMaker maker{std::mt19937(20261209)};
    int compared = 0;
    for (int round = 0; round < 700; ++round) {
        bool nullable = false;
        std::wstring pattern = maker.Alternation(0, &nullable);
        bool matchCase = maker.Pick(2) == 0;
        bool wholeWord = maker.Pick(4) == 0;
        uint32_t flags = (matchCase ? kMatchCase : 0) | (wholeWord ? kMatchWholeWord : 0);
        Compiled ours(pattern, flags);
        ASSERT_NE(nullptr, ours.regex) << Narrow(pattern) << " reason " << ours.fault.reason << " at " << ours.fault.at;
        for (int t = 0; t < 12; ++t) {
            std::wstring text = t == 0 ? std::wstring() : maker.Text();
            bool ok = false;
            bool expected = Reference(pattern, text, matchCase, wholeWord, &ok);
            if (!ok) continue;
            ++compared;
            ASSERT_EQ(expected, ours.Matches(text)) << "/" << Narrow(pattern) << "/ on \"" << Narrow(text)
                                                    << "\" case " << matchCase << " word " << wholeWord;
        }
    }
    EXPECT_GT(compared, 7000);
}

TEST(Regex, HandWrittenCasesOfTheSyntax) {
    struct Case {
        const wchar_t* pattern;
        uint32_t flags;
        const wchar_t* text;
        bool expected;
    };
    const Case cases[] = {
        {L"timeout after \\d+ ms", kMatchCase, L"12:00 timeout after 250 ms, retrying", true},
        {L"timeout after \\d+ ms", kMatchCase, L"timeout after ms", false},
        {L"^\\d{4}-\\d\\d-\\d\\d \\S+ (ERROR|WARN)", kMatchCase, L"2024-05-01 12:00:01 WARN disk", true},
        {L"^\\d{4}-\\d\\d-\\d\\d \\S+ (ERROR|WARN)", kMatchCase, L" 2024-05-01 12:00:01 WARN disk", false},
        {L"\\d+ ms$", kMatchCase, L"took 17 ms", true},
        {L"\\d+ ms$", kMatchCase, L"took 17 ms.", false},
        {L"user=\\w+@\\w+\\.com", kMatchCase, L"login user=ann@example.com ok", true},
        {L"error", 0, L"An ERROR here", true},
        {L"[E-F]RROR", 0, L"an error", true},          // the class folds with the pattern
        {L"[^e]rror", 0, L"ERROR", false},             // and negation comes after folding
        {L"error", kMatchCase, L"An ERROR here", false},
        {L"cat", kMatchWholeWord | kMatchCase, L"category cat", true},   // every match is judged, not the first
        {L"cat", kMatchWholeWord | kMatchCase, L"category", false},
        {L"c.t", kMatchWholeWord | kMatchCase, L"concat c-t", true},
        {L"\\bčas\\b", kMatchCase, L"volný čas!", true},  // Find's word characters: letters beyond ASCII
        {L"\\w+", kMatchCase, L"_", false},             // and no underscore
        {L"\\bx", kMatchCase, L"čx", false},
        {L"a*", kMatchCase, L"", true},                 // an empty match matches every text
        {L"(a*)*", kMatchCase, L"bbb", true},
        {L"()*|x", kMatchCase, L"z", true},
        {L"^$", kMatchCase, L"", true},
        {L"^$", kMatchCase, L"a", false},
        {L"\\t\\x41\\u0042", kMatchCase, L"\tAB", true},
        {L"\\/\\{\\}\\[\\]\\(\\)\\|\\^\\$\\*\\+\\?\\\\", kMatchCase, L"/{}[]()|^$*+?\\", true},
        {L"a{3}", kMatchCase, L"aa", false},
        {L"a{3}", kMatchCase, L"xaaax", true},
        {L"a{2,}?b", kMatchCase, L"aaab", true},
        {L"a{1000}", kMatchCase, L"a", false},
        {L"x|", kMatchCase, L"q", true},
        {L"[\\d-]+x", kMatchCase, L"1-2x", true},
        {L"[]", kMatchCase, L"anything", false},
        {L"[^]", kMatchCase, L"a", true},
        {L"a}b]", kMatchCase, L"a}b]", true},
    };
    for (const Case& c : cases) {
        Compiled ours(c.pattern, c.flags);
        ASSERT_NE(nullptr, ours.regex) << Narrow(c.pattern);
        EXPECT_EQ(c.expected, ours.Matches(c.text)) << Narrow(c.pattern) << " on " << Narrow(c.text);
    }
    // Through a prepared rule as highlighting and filters use it.
    MatchRule rule{};
    MatchFault fault{};
    ASSERT_TRUE(PrepareMatchRule(&rule, L"(ERROR|FATAL) \\d+", kMatchRegex, &fault));
    EXPECT_TRUE(RuleMatches(rule, L"fatal 12", 8));
    EXPECT_FALSE(RuleMatches(rule, L"fatal x", 7));
    EXPECT_FALSE(PrepareMatchRule(&rule, L"(ERROR", kMatchRegex, &fault));
    EXPECT_EQ(kRegexUnclosedGroup, fault.reason);
    ReleaseMatchRule(&rule);
}

TEST(Regex, RefusedPatternsGiveTheirReasonAndPlace) {
    struct Case {
        const wchar_t* pattern;
        int reason;
        int at;
    };
    const Case cases[] = {
        {L"ab\\q", kRegexBadEscape, 2},       {L"\\0", kRegexBadEscape, 0},
        {L"[\\B]", kRegexBadEscape, 1},        {L"\\x4", kRegexBadHexEscape, 0},
        {L"a\\u12G4", kRegexBadHexEscape, 1},  {L"(a)\\1", kRegexBackreference, 3},
        {L"(?<n>a)\\k<n>", kRegexBadGroup, 0}, {L"a\\k<n>", kRegexBackreference, 1},
        {L"a(?=b)", kRegexLookaround, 1},      {L"(?!b)", kRegexLookaround, 0},
        {L"x(?<=b)", kRegexLookaround, 1},     {L"(?<!b)", kRegexLookaround, 0},
        {L"(?i)a", kRegexBadGroup, 0},         {L"a(b(c)", kRegexUnclosedGroup, 1},
        {L"ab)", kRegexUnopenedGroup, 2},      {L"a[bc", kRegexUnclosedClass, 1},
        {L"[z-a]", kRegexBadRange, 1},         {L"*a", kRegexNothingToRepeat, 0},
        {L"a|+", kRegexNothingToRepeat, 2},    {L"a**", kRegexNothingToRepeat, 2},
        {L"^*", kRegexNothingToRepeat, 1},     {L"(?:)x\\b+", kRegexNothingToRepeat, 7},
        {L"{2}", kRegexNothingToRepeat, 0},    {L"a{", kRegexBadCount, 1},
        {L"a{x}", kRegexBadCount, 1},          {L"a{3,2}", kRegexBadCount, 1},
        {L"a{2,3", kRegexBadCount, 1},         {L"a{1001}", kRegexCountTooLarge, 1},
        {L"a{0,1001}", kRegexCountTooLarge, 1}, {L"a{99999999999}", kRegexCountTooLarge, 1},
        {L"ab\\", kRegexTrailingBackslash, 2}, {L"((a{1000}){1000}){1000}", kRegexTooComplex, 0},
    };
    for (const Case& c : cases) {
        Compiled ours(c.pattern, kMatchCase);
        EXPECT_EQ(nullptr, ours.regex) << Narrow(c.pattern);
        EXPECT_EQ(c.reason, ours.fault.reason) << Narrow(c.pattern);
        EXPECT_EQ(c.at, ours.fault.at) << Narrow(c.pattern);
    }
}

TEST(Regex, AdversarialPatternsAndRowsAtFullSizeInGuardedBuffers) {
    const int kRow = 4095;
    GuardedBuffer row(kRow * sizeof(wchar_t));
    ASSERT_NE(nullptr, row.data);
    wchar_t* text = reinterpret_cast<wchar_t*>(row.data);
    auto fill = [&](wchar_t unit, wchar_t last) {
        for (int i = 0; i < kRow; ++i) text[i] = unit;
        text[kRow - 1] = last;
    };
    struct Case {
        std::wstring pattern;
        wchar_t unit, last;
        bool expected;
        bool expectedFolded;     // with Match case off
    };
    std::wstring nested(50, L'(');   // 255 units: groups nested fifty deep, each repeated
    for (int d = 0; d < 50; ++d) nested += L"a*)*";
    nested += L"bcccc";
    std::wstring alternatives;   // 255 units of alternatives that all begin alike
    while (alternatives.size() + 4 <= 255) alternatives += alternatives.empty() ? L"a+ab" : L"|a+b";
    while (alternatives.size() < 255) alternatives += L"a";
    std::wstring counted = L"(a|b){1000}";
    const Case cases[] = {
        {L"(a|aa)*b", 'a', 'a', false, false},
        {L"(a|aa)*b", 'a', 'b', true, true},
        {L"(x+x+)+y", 'x', 'x', false, false},
        {L"^(([a-z])+.)+[A-Z]([a-z])+$", 'a', '!', false, false},
        {L"^(([a-z])+.)+[A-Z]([a-z])+$", 'a', 'a', false, true},
        {L"(.*)*(.*)*(.*)*z", 'a', 'a', false, false},
        {L"(a*)*(a*)*(a*)*$", 'a', 'a', true, true},
        {nested, 'a', 'a', false, false},
        {alternatives, 'a', 'a', false, false},
        {counted + L"c", 'a', 'a', false, false},
        {L"\\b\\B\\b", 'a', ' ', false, false},
    };
    for (const Case& c : cases) {
        ASSERT_LE(c.pattern.size(), 255u);
        // The pattern too ends at a guard page: nothing past its length is read.
        GuardedBuffer patternBuffer(c.pattern.size() * sizeof(wchar_t));
        wchar_t* pattern = reinterpret_cast<wchar_t*>(patternBuffer.data);
        memcpy(pattern, c.pattern.data(), c.pattern.size() * sizeof(wchar_t));
        for (uint32_t flags : {kMatchCase, 0u, kMatchCase | kMatchWholeWord}) {
            MatchFault fault{};
            Regex* regex = CompileRegex(pattern, static_cast<int>(c.pattern.size()), flags, &fault);
            ASSERT_NE(nullptr, regex) << Narrow(c.pattern) << " reason " << fault.reason;
            fill(c.unit, c.last);
            // Each row is one word: a match is whole or there is none.
            bool expected = flags & kMatchCase || flags & kMatchWholeWord ? c.expected : c.expectedFolded;
            EXPECT_EQ(expected, RegexMatches(regex, text, kRow)) << Narrow(c.pattern) << " flags " << flags;
            EXPECT_EQ(expected, RegexMatches(regex, text, kRow)) << "the same answer from the cache";
            FreeRegex(regex);
        }
    }
}

TEST(Regex, ManyStatesOutgrowTheCacheAndTheAnswersStay) {
    // A 'c' fifteen units after an 'a' with only a and b between: the DFA needs 2^15 states. Under
    // a smaller cache it empties the cache often, and under the smallest it simulates the automaton.
    const int kRow = 4095;
    GuardedBuffer row(kRow * sizeof(wchar_t));
    wchar_t* text = reinterpret_cast<wchar_t*>(row.data);
    std::mt19937 random(7);
    for (int limit : {100000, 300, 2}) {
        Compiled ours(L"(a|b)*a(a|b){14}c", limit == 300 ? 0 : kMatchCase);
        ASSERT_NE(nullptr, ours.regex);
        LimitRegexCache(ours.regex, limit);
        for (int round = 0; round < 6; ++round) {
            for (int i = 0; i < kRow; ++i) text[i] = random() % 2 ? 'a' : 'b';
            if (round % 2) text[1000 + random() % 3000] = 'c';
            bool expected = false;
            for (int i = 0; i + 15 < kRow && !expected; ++i) {
                if (text[i] != 'a' || text[i + 15] != 'c') continue;
                int k = 1;
                while (k <= 14 && text[i + k] != 'c') ++k;
                expected = k > 14;
            }
            EXPECT_EQ(expected, RegexMatches(ours.regex, text, kRow)) << "round " << round << " cache " << limit;
            EXPECT_EQ(expected, RegexMatches(ours.regex, text, kRow)) << "round " << round << " again";
        }
    }
}

TEST(Regex, EveryReasonHasASentenceThatSaysWhereWithinItsBuffer) {
    wchar_t text[200];
    for (int reason = 1; reason < kRegexFaultCount; ++reason) {
        ASSERT_TRUE(ComposeMatchFault(text, 200, MatchFault{reason, 6})) << reason;
        std::wstring sentence = text;
        EXPECT_GT(sentence.size(), 10u) << reason;
        EXPECT_EQ(std::wstring::npos, sentence.find(L"%d")) << reason;
        bool placed = reason != kRegexTooComplex && reason != kRegexNoMemory;
        EXPECT_EQ(placed, sentence.find(L'7') != std::wstring::npos) << reason;
    }
    // Bounded: cut short, terminated, and said to be cut.
    wchar_t small[12];
    for (wchar_t& u : small) u = L'#';
    EXPECT_FALSE(ComposeMatchFault(small, 10, MatchFault{kRegexUnclosedGroup, 1234}));
    EXPECT_EQ(9u, wcslen(small));
    EXPECT_EQ(L'#', small[10]);
    EXPECT_FALSE(ComposeMatchFault(small, 1, MatchFault{kRegexUnclosedGroup, 0}));
    EXPECT_EQ(0, small[0]);
    EXPECT_FALSE(ComposeMatchFault(text, 200, MatchFault{kRegexFaultNone, 0}));
    EXPECT_TRUE(ComposeMatchFault(text, 200, MatchFault{99, 0})) << "an unknown reason still says something";
    // A refusal from the matcher reads back with its place counted from 1.
    MatchFault fault{};
    EXPECT_EQ(nullptr, CompileRegex(L"timeout (\\d+ ms", 16, 0, &fault));
    ASSERT_TRUE(ComposeMatchFault(text, 200, fault));
    EXPECT_NE(std::wstring::npos, std::wstring(text).find(L'9')) << Narrow(text);
}
