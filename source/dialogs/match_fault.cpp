// The sentence of a refused regular expression: the reason's string with its place put in.
#include "dialogs/match_fault.h"
#include "dialogs/ui.h"
#include "match/regex.h"
#include "ids.h"

namespace {

// Appends `text` to `out` at `*used`; false when it did not fit whole.
bool Append(wchar_t* out, size_t units, size_t* used, const wchar_t* text, size_t length) {
    size_t room = units - 1 - *used;
    size_t n = length < room ? length : room;
    for (size_t i = 0; i < n; ++i) out[*used + i] = text[i];
    *used += n;
    out[*used] = 0;
    return n == length;
}

}  // namespace

bool ComposeMatchFault(wchar_t* out, size_t units, const MatchFault& fault) {
    if (!out || units == 0) return false;
    out[0] = 0;
    if (fault.reason == kRegexFaultNone) return false;
    UINT id = fault.reason > 0 && fault.reason < kRegexFaultCount ? IDS_REGEX_FAULT + fault.reason : IDS_REGEX_FAULT;
    const wchar_t* sentence = UiString(id);
    // The place: the one "%d" of the sentence, the first character being 1.
    wchar_t number[12];
    size_t digits = 0;
    unsigned place = fault.at >= 0 ? static_cast<unsigned>(fault.at) + 1 : 1;
    do {
        number[digits++] = static_cast<wchar_t>('0' + place % 10);
        place /= 10;
    } while (place && digits < 11);
    for (size_t i = 0; i < digits / 2; ++i) {
        wchar_t t = number[i];
        number[i] = number[digits - 1 - i];
        number[digits - 1 - i] = t;
    }
    size_t used = 0;
    bool whole = true;
    bool placed = false;
    for (const wchar_t* p = sentence; *p && whole; ++p) {
        if (!placed && p[0] == '%' && p[1] == 'd') {
            whole = Append(out, units, &used, number, digits);
            placed = true;
            ++p;
        } else {
            whole = Append(out, units, &used, p, 1);
        }
    }
    return whole;
}
