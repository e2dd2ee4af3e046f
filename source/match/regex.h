// Regular expressions matched in linear time: a pattern compiled once into an automaton that
// answers whether a text contains a match, never by backtracking.
#pragma once
#include "match/match.h"

// Why a pattern was refused: MatchFault.reason, with MatchFault.at the unit index in the pattern
// where the fault was found. The user-visible sentence of reason r is string 80 + r.
constexpr int kRegexFaultNone = 0;
constexpr int kRegexBadEscape = 1;           // a backslash before a letter or digit the syntax does not know
constexpr int kRegexBadHexEscape = 2;        // \x without two hex digits or \u without four
constexpr int kRegexBackreference = 3;       // \1 to \9, \k<name>
constexpr int kRegexLookaround = 4;          // (?= (?! (?<= (?<!
constexpr int kRegexBadGroup = 5;            // (? followed by anything but : = ! <= <!
constexpr int kRegexUnclosedGroup = 6;       // ( without its )
constexpr int kRegexUnopenedGroup = 7;       // ) without its (
constexpr int kRegexUnclosedClass = 8;       // [ without its ]
constexpr int kRegexBadRange = 9;            // a range whose end comes before its start, as in [z-a]
constexpr int kRegexNothingToRepeat = 10;    // a quantifier at the start, after | or ( or an anchor, or twice
constexpr int kRegexBadCount = 11;           // {…} that is not {m}, {m,} or {m,n} with m <= n
constexpr int kRegexCountTooLarge = 12;      // a count above kRegexMaxCount
constexpr int kRegexTrailingBackslash = 13;  // the pattern ends in a lone backslash
constexpr int kRegexTooComplex = 14;         // the automaton would exceed kRegexMaxStates
constexpr int kRegexNoMemory = 15;           // memory ran out while compiling
constexpr int kRegexFaultCount = 16;

constexpr int kRegexMaxCount = 1000;         // the largest m or n of {m,n}
constexpr int kRegexMaxStates = 40000;       // the largest automaton a pattern may compile to

// Compiles `pattern` (`length` units) under kMatchCase and kMatchWholeWord of `flags`. Null when
// the pattern is refused or memory runs out; `fault`, when given, then says why and where.
Regex* CompileRegex(const wchar_t* pattern, int length, uint32_t flags, MatchFault* fault);
// Whether `text` contains a match. The regex keeps a cache between calls: one thread at a time.
bool RegexMatches(Regex* regex, const wchar_t* text, int length);
void FreeRegex(Regex* regex);
// Shrinks the cache of DFA states to `states` (at least 2) and empties it: for tests of the cache.
void LimitRegexCache(Regex* regex, int states);
