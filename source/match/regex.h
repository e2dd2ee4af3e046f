// Regular expressions matched in linear time: a pattern compiled once into an automaton that
// answers whether a text contains a match, never by backtracking.
#pragma once
#include "match/match.h"

// Compiles `pattern` (`length` units) under kMatchCase and kMatchWholeWord of `flags`. Null when
// the pattern is refused or memory runs out; `fault`, when given, then says why and where.
Regex* CompileRegex(const wchar_t* pattern, int length, uint32_t flags, MatchFault* fault);
// Whether `text` contains a match. The regex keeps a cache between calls: one thread at a time.
bool RegexMatches(Regex* regex, const wchar_t* text, int length);
void FreeRegex(Regex* regex);
