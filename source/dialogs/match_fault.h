// Why a regular expression was refused, as a sentence in the user's language.
#pragma once
#include <cstddef>
#include "match/match.h"

// Writes the sentence of `fault` (a reason of match/regex.h and its place, counted from 1 for the
// user) into `out`, at most `units` units with the terminator. False for no fault, or when the
// sentence had to be cut short; `out` is terminated whenever `units` > 0.
bool ComposeMatchFault(wchar_t* out, size_t units, const MatchFault& fault);
