// Regular expressions in linear time. A pattern is parsed (with an explicit stack) into a tree,
// the tree is turned into a Thompson automaton (again without recursion), and texts are run
// through a lazy DFA built from that automaton on demand. The DFA's cache has a fixed budget: when
// it is full it is emptied and built anew, and a call that empties it too often finishes as a plain
// simulation of the automaton, so a text costs at most (automaton size) x (text length) steps.
#include "match/regex.h"
#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// ---- Growable arrays that answer failure instead of throwing (trivially copyable items) ----

template <typename T>
struct Vec {
    T* data;
    int count;
    int capacity;
};

template <typename T>
bool Push(Vec<T>& v, const T& item) {
    if (v.count == v.capacity) {
        int capacity = v.capacity ? v.capacity * 2 : 16;
        T* data = static_cast<T*>(realloc(v.data, sizeof(T) * static_cast<size_t>(capacity)));
        if (!data) return false;
        v.data = data;
        v.capacity = capacity;
    }
    v.data[v.count++] = item;
    return true;
}

template <typename T>
void Release(Vec<T>& v) {
    free(v.data);
    v = Vec<T>{};
}

// ---- Properties of UTF-16 units: Find's word characters, ECMAScript's white space, digits ----

constexpr uint8_t kPropWord = 1;
constexpr uint8_t kPropSpace = 2;
constexpr uint8_t kPropDigit = 4;

constexpr int kBitmapWords = 65536 / 32;

// Filled at the first compile: the property of each unit, each property as a bitmap, and Find's
// folding, so that compiling looks them up instead of asking the C library 65536 times.
struct PropertyTable {
    bool filled;
    uint8_t unit[65536];
    uint32_t word[kBitmapWords];
    uint32_t space[kBitmapWords];
    uint32_t digit[kBitmapWords];
    uint16_t fold[65536];
};
PropertyTable properties;

bool IsPatternSpace(unsigned c) {
    return (c >= 9 && c <= 13) || c == 32 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

const PropertyTable& Properties() {
    if (!properties.filled) {
        for (unsigned c = 0; c < 65536; ++c) {
            uint8_t p = 0;
            uint32_t bit = 1u << (c & 31);
            if (IsWordCharacter(static_cast<wchar_t>(c))) p |= kPropWord, properties.word[c >> 5] |= bit;
            if (IsPatternSpace(c)) p |= kPropSpace, properties.space[c >> 5] |= bit;
            if (c >= '0' && c <= '9') p |= kPropDigit, properties.digit[c >> 5] |= bit;
            properties.unit[c] = p;
            properties.fold[c] = static_cast<uint16_t>(FoldUnit(static_cast<wchar_t>(c)));
        }
        properties.filled = true;
    }
    return properties;
}

// ---- Sets of units, as bitmaps over the 65536 values ----

inline void SetBit(uint32_t* bits, unsigned v) { bits[v >> 5] |= 1u << (v & 31); }
inline bool TestBit(const uint32_t* bits, unsigned v) { return (bits[v >> 5] >> (v & 31)) & 1u; }

void AddRange(uint32_t* bits, unsigned lo, unsigned hi) {
    for (unsigned v = lo; v <= hi; ++v) SetBit(bits, v);
}

void AddProperty(uint32_t* bits, uint8_t property, bool negate) {
    const PropertyTable& t = Properties();
    const uint32_t* p = property == kPropWord ? t.word : property == kPropSpace ? t.space : t.digit;
    for (int w = 0; w < kBitmapWords; ++w) bits[w] |= negate ? ~p[w] : p[w];
}

// A set the automaton tests: one unit, any unit, or a bitmap, always over folded units.
struct SetDef {
    int single;          // >= 0: that unit; -1: the bitmap; -2: any unit
    uint32_t* bits;
};

// ---- The tree the parser builds ----

enum : uint8_t { kNodeSet, kNodeEmpty, kNodeAssert, kNodeConcat, kNodeAlt, kNodeRepeat };
enum : uint8_t { kAssertBegin, kAssertEnd, kAssertBoundary, kAssertNotBoundary, kAssertNotAfterWord,
                 kAssertNotBeforeWord };
constexpr int kInfinite = -1;

struct Node {
    uint8_t kind;
    uint8_t assertion;
    int set;
    int min, max;        // kNodeRepeat; max kInfinite for no bound
    int first, last;     // children of kNodeConcat, kNodeAlt; first is the child of kNodeRepeat
    int next;            // the next sibling
};

// An open group while parsing: its alternation, the alternative being written, and the atom a
// quantifier would apply to (-1 when there is none).
struct Frame {
    int alt;
    int concat;
    int atom;
    int openAt;
};

// ---- The automaton ----

enum : uint8_t { kNfaSet, kNfaSplit, kNfaAssert, kNfaMatch };

struct NfaState {
    uint8_t kind;
    uint8_t assertion;
    int set;
    int out;
    int out1;            // kNfaSplit's second branch, -1 for a plain jump
};

// A piece of the automaton under construction: its entry and the list of its loose ends, threaded
// through the loose slots themselves (slot = state * 2 + branch).
struct Fragment {
    int start;
    int head;
    int tail;
};

struct Task {
    int node;
    bool combine;
};

struct Compiler {
    const wchar_t* pattern;
    int length;
    bool matchCase;
    bool wordAssertions;
    MatchFault fault;
    Vec<Node> nodes;
    Vec<SetDef> sets;
    Vec<Frame> frames;
    Vec<NfaState> nfa;
    Vec<Task> tasks;
    Vec<Fragment> fragments;
};

bool Refuse(Compiler& c, int reason, int at) {
    if (c.fault.reason == 0) c.fault = MatchFault{reason, at};
    return false;
}

bool OutOfMemory(Compiler& c) { return Refuse(c, kRegexNoMemory, 0); }

int NewNode(Compiler& c, uint8_t kind) {
    Node node = {kind, 0, -1, 0, 0, -1, -1, -1};
    if (!Push(c.nodes, node)) return -1;
    return c.nodes.count - 1;
}

void AppendChild(Compiler& c, int parent, int child) {
    Node& p = c.nodes.data[parent];
    if (p.last < 0) p.first = child;
    else c.nodes.data[p.last].next = child;
    p.last = child;
}

wchar_t Fold(const Compiler& c, wchar_t unit) { return c.matchCase ? unit : FoldUnit(unit); }

int NewSet(Compiler& c, int single, uint32_t* bits) {
    SetDef def = {single, bits};
    if (!Push(c.sets, def)) {
        free(bits);
        return -1;
    }
    return c.sets.count - 1;
}

// A bitmap of raw units made a set over folded units, then negated.
int NewBitmapSet(Compiler& c, uint32_t* raw, bool negate) {
    uint32_t* bits = raw;
    if (!c.matchCase) {
        bits = static_cast<uint32_t*>(calloc(kBitmapWords, sizeof(uint32_t)));
        if (!bits) {
            free(raw);
            return -1;
        }
        const uint16_t* fold = Properties().fold;
        for (int w = 0; w < kBitmapWords; ++w)
            for (uint32_t b = raw[w]; b; b &= b - 1) SetBit(bits, fold[w * 32 + __builtin_ctz(b)]);
        free(raw);
    }
    if (negate)
        for (int w = 0; w < kBitmapWords; ++w) bits[w] = ~bits[w];
    return NewSet(c, -1, bits);
}

bool IsHex(wchar_t u) { return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F'); }
int HexValue(wchar_t u) { return u <= '9' ? u - '0' : (u | 0x20) - 'a' + 10; }
bool IsAsciiAlnum(wchar_t u) { return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z'); }

// One escape at `i` (the backslash): a unit (`unit`), or a class (`property`, `negate`), or an
// assertion (`assertion`), and the index after it.
struct Escape {
    int kind;            // 0 unit, 1 class, 2 assertion
    wchar_t unit;
    uint8_t property;
    bool negate;
    uint8_t assertion;
    int end;
};

bool ParseEscape(Compiler& c, int i, bool inClass, Escape* e) {
    *e = Escape{0, 0, 0, false, 0, i + 2};
    if (i + 1 >= c.length) return Refuse(c, kRegexTrailingBackslash, i);
    wchar_t u = c.pattern[i + 1];
    switch (u) {
    case 'd': case 'D': e->kind = 1; e->property = kPropDigit; e->negate = u == 'D'; return true;
    case 'w': case 'W': e->kind = 1; e->property = kPropWord; e->negate = u == 'W'; return true;
    case 's': case 'S': e->kind = 1; e->property = kPropSpace; e->negate = u == 'S'; return true;
    case 't': e->unit = 9; return true;
    case 'b':
        if (inClass) {
            e->unit = 8;       // a backspace inside a class, as in ECMAScript
            return true;
        }
        e->kind = 2;
        e->assertion = kAssertBoundary;
        return true;
    case 'B':
        if (inClass) return Refuse(c, kRegexBadEscape, i);
        e->kind = 2;
        e->assertion = kAssertNotBoundary;
        return true;
    case 'x': case 'u': {
        int digits = u == 'x' ? 2 : 4;
        int value = 0;
        for (int d = 0; d < digits; ++d) {
            int at = i + 2 + d;
            if (at >= c.length || !IsHex(c.pattern[at])) return Refuse(c, kRegexBadHexEscape, i);
            value = value * 16 + HexValue(c.pattern[at]);
        }
        e->unit = static_cast<wchar_t>(value);
        e->end = i + 2 + digits;
        return true;
    }
    case 'k':
        if (i + 2 < c.length && c.pattern[i + 2] == '<') return Refuse(c, kRegexBackreference, i);
        return Refuse(c, kRegexBadEscape, i);
    default:
        if (u >= '1' && u <= '9') return Refuse(c, kRegexBackreference, i);
        if (IsAsciiAlnum(u)) return Refuse(c, kRegexBadEscape, i);
        e->unit = u;       // any other escaped unit stands for itself
        return true;
    }
}

// A class `[...]` starting at `i`; on success `*end` is the index after its `]`.
int ParseClass(Compiler& c, int i, int* end) {
    uint32_t* raw = static_cast<uint32_t*>(calloc(kBitmapWords, sizeof(uint32_t)));
    if (!raw) {
        OutOfMemory(c);
        return -1;
    }
    int j = i + 1;
    bool negate = j < c.length && c.pattern[j] == '^';
    if (negate) ++j;
    for (;;) {
        if (j >= c.length) {
            free(raw);
            Refuse(c, kRegexUnclosedClass, i);
            return -1;
        }
        if (c.pattern[j] == ']') break;
        // One item: a unit or a class escape, and maybe a range to a second unit.
        int itemAt = j;
        Escape first = {0, c.pattern[j], 0, false, 0, j + 1};
        if (c.pattern[j] == '\\' && !ParseEscape(c, j, true, &first)) {
            free(raw);
            return -1;
        }
        j = first.end;
        if (first.kind == 1) {
            AddProperty(raw, first.property, first.negate);
            continue;
        }
        if (j + 1 < c.length && c.pattern[j] == '-' && c.pattern[j + 1] != ']') {
            Escape second = {0, c.pattern[j + 1], 0, false, 0, j + 2};
            if (c.pattern[j + 1] == '\\' && !ParseEscape(c, j + 1, true, &second)) {
                free(raw);
                return -1;
            }
            if (second.kind == 1) {
                // [a-\d]: the dash stands for itself, as ECMAScript's web grammar has it.
                SetBit(raw, static_cast<uint16_t>(first.unit));
                SetBit(raw, '-');
                AddProperty(raw, second.property, second.negate);
            } else {
                if (second.unit < first.unit) {
                    free(raw);
                    Refuse(c, kRegexBadRange, itemAt);
                    return -1;
                }
                AddRange(raw, static_cast<uint16_t>(first.unit), static_cast<uint16_t>(second.unit));
            }
            j = second.end;
            continue;
        }
        SetBit(raw, static_cast<uint16_t>(first.unit));
    }
    *end = j + 1;
    int set = NewBitmapSet(c, raw, negate);
    if (set < 0) OutOfMemory(c);
    return set;
}

// Adds an atom node to the alternative being written; it becomes what a quantifier applies to.
bool AddAtom(Compiler& c, int node, bool repeatable) {
    if (node < 0) return OutOfMemory(c);
    Frame& top = c.frames.data[c.frames.count - 1];
    AppendChild(c, top.concat, node);
    top.atom = repeatable ? node : -1;
    return true;
}

bool AddSetAtom(Compiler& c, int set) {
    if (set < 0) return OutOfMemory(c);
    int node = NewNode(c, kNodeSet);
    if (node >= 0) c.nodes.data[node].set = set;
    return AddAtom(c, node, true);
}

bool AddAssertAtom(Compiler& c, uint8_t assertion) {
    int node = NewNode(c, kNodeAssert);
    if (node >= 0) c.nodes.data[node].assertion = assertion;
    if (assertion == kAssertBoundary || assertion == kAssertNotBoundary) c.wordAssertions = true;
    return AddAtom(c, node, false);
}

// A quantifier: the atom's node becomes the repetition, its content moves to a new child.
bool Quantify(Compiler& c, int at, int min, int max) {
    Frame& top = c.frames.data[c.frames.count - 1];
    if (top.atom < 0) return Refuse(c, kRegexNothingToRepeat, at);
    int atom = top.atom;
    int moved = NewNode(c, kNodeEmpty);
    if (moved < 0) return OutOfMemory(c);
    Node* nodes = c.nodes.data;
    nodes[moved] = nodes[atom];
    nodes[moved].next = -1;
    nodes[atom].kind = kNodeRepeat;
    nodes[atom].min = min;
    nodes[atom].max = max;
    nodes[atom].first = nodes[atom].last = moved;
    c.frames.data[c.frames.count - 1].atom = -1;
    return true;
}

// Reads a count at `*j`; false when there is no digit. Large values stop growing past the limit.
bool ReadCount(const Compiler& c, int* j, int* value) {
    if (*j >= c.length || c.pattern[*j] < '0' || c.pattern[*j] > '9') return false;
    int v = 0;
    while (*j < c.length && c.pattern[*j] >= '0' && c.pattern[*j] <= '9') {
        if (v <= kRegexMaxCount) v = v * 10 + (c.pattern[*j] - '0');
        ++*j;
    }
    *value = v;
    return true;
}

bool OpenGroup(Compiler& c, int at) {
    int alt = NewNode(c, kNodeAlt);
    int concat = alt >= 0 ? NewNode(c, kNodeConcat) : -1;
    if (concat < 0) return OutOfMemory(c);
    AppendChild(c, alt, concat);
    Frame frame = {alt, concat, -1, at};
    if (!Push(c.frames, frame)) return OutOfMemory(c);
    return true;
}

// The whole pattern into a tree; the root is node 0, an alternation.
bool Parse(Compiler& c) {
    if (!OpenGroup(c, 0)) return false;
    int i = 0;
    while (i < c.length) {
        wchar_t u = c.pattern[i];
        switch (u) {
        case '(':
            if (i + 1 < c.length && c.pattern[i + 1] == '?') {
                wchar_t k = i + 2 < c.length ? c.pattern[i + 2] : 0;
                wchar_t k2 = i + 3 < c.length ? c.pattern[i + 3] : 0;
                if (k == '=' || k == '!' || (k == '<' && (k2 == '=' || k2 == '!'))) return Refuse(c, kRegexLookaround, i);
                if (k != ':') return Refuse(c, kRegexBadGroup, i);
                if (!OpenGroup(c, i)) return false;
                i += 3;
            } else {
                if (!OpenGroup(c, i)) return false;
                ++i;
            }
            break;
        case ')': {
            if (c.frames.count <= 1) return Refuse(c, kRegexUnopenedGroup, i);
            int group = c.frames.data[--c.frames.count].alt;
            Frame& parent = c.frames.data[c.frames.count - 1];
            AppendChild(c, parent.concat, group);
            parent.atom = group;
            ++i;
            break;
        }
        case '|': {
            int concat = NewNode(c, kNodeConcat);
            if (concat < 0) return OutOfMemory(c);
            Frame& top = c.frames.data[c.frames.count - 1];
            AppendChild(c, top.alt, concat);
            top.concat = concat;
            top.atom = -1;
            ++i;
            break;
        }
        case '*': case '+': case '?': case '{': {
            int min = u == '+' ? 1 : 0;
            int max = u == '?' ? 1 : kInfinite;
            int j = i + 1;
            if (u == '{') {
                if (c.frames.data[c.frames.count - 1].atom < 0) return Refuse(c, kRegexNothingToRepeat, i);
                if (!ReadCount(c, &j, &min)) return Refuse(c, kRegexBadCount, i);
                max = min;
                if (j < c.length && c.pattern[j] == ',') {
                    ++j;
                    max = kInfinite;
                    if (j < c.length && c.pattern[j] != '}' && !ReadCount(c, &j, &max)) return Refuse(c, kRegexBadCount, i);
                }
                if (j >= c.length || c.pattern[j] != '}') return Refuse(c, kRegexBadCount, i);
                ++j;
                if (min > kRegexMaxCount || max > kRegexMaxCount) return Refuse(c, kRegexCountTooLarge, i);
                if (max != kInfinite && max < min) return Refuse(c, kRegexBadCount, i);
            }
            if (!Quantify(c, i, min, max)) return false;
            if (j < c.length && c.pattern[j] == '?') ++j;   // lazy: the same answer
            i = j;
            break;
        }
        case '^':
            if (!AddAssertAtom(c, kAssertBegin)) return false;
            ++i;
            break;
        case '$':
            if (!AddAssertAtom(c, kAssertEnd)) return false;
            ++i;
            break;
        case '.':
            if (!AddSetAtom(c, NewSet(c, -2, nullptr))) return false;
            ++i;
            break;
        case '[': {
            int end = i;
            int set = ParseClass(c, i, &end);
            if (set < 0) return false;
            if (!AddSetAtom(c, set)) return false;
            i = end;
            break;
        }
        case '\\': {
            Escape e;
            if (!ParseEscape(c, i, false, &e)) return false;
            if (e.kind == 2) {
                if (!AddAssertAtom(c, e.assertion)) return false;
            } else if (e.kind == 1) {
                uint32_t* raw = static_cast<uint32_t*>(calloc(kBitmapWords, sizeof(uint32_t)));
                if (!raw) return OutOfMemory(c);
                AddProperty(raw, e.property, false);
                if (!AddSetAtom(c, NewBitmapSet(c, raw, e.negate))) return false;
            } else if (!AddSetAtom(c, NewSet(c, static_cast<uint16_t>(Fold(c, e.unit)), nullptr))) {
                return false;
            }
            i = e.end;
            break;
        }
        default:
            if (!AddSetAtom(c, NewSet(c, static_cast<uint16_t>(Fold(c, u)), nullptr))) return false;
            ++i;
            break;
        }
    }
    if (c.frames.count > 1) return Refuse(c, kRegexUnclosedGroup, c.frames.data[c.frames.count - 1].openAt);
    return true;
}

// ---- From the tree to the automaton ----

int NewState(Compiler& c, uint8_t kind, int out, int out1) {
    if (c.nfa.count >= kRegexMaxStates) {
        Refuse(c, kRegexTooComplex, 0);
        return -1;
    }
    NfaState s = {kind, 0, -1, out, out1};
    if (!Push(c.nfa, s)) {
        OutOfMemory(c);
        return -1;
    }
    return c.nfa.count - 1;
}

int& Slot(Compiler& c, int slot) {
    NfaState& s = c.nfa.data[slot >> 1];
    return (slot & 1) ? s.out1 : s.out;
}

void Patch(Compiler& c, int head, int target) {
    while (head >= 0) {
        int& slot = Slot(c, head);
        head = slot;
        slot = target;
    }
}

// Joins loose-end lists: b's ends after a's.
void JoinEnds(Compiler& c, Fragment& a, const Fragment& b) {
    if (b.head < 0) return;
    if (a.head < 0) {
        a.head = b.head;
        a.tail = b.tail;
        return;
    }
    Slot(c, a.tail) = b.head;
    a.tail = b.tail;
}

void Chain(Compiler& c, Fragment& a, const Fragment& b) {
    Patch(c, a.head, b.start);
    a.head = b.head;
    a.tail = b.tail;
}

// A state whose first branch is loose: a fragment of its own.
bool Single(Compiler& c, uint8_t kind, int out1, Fragment* f) {
    int s = NewState(c, kind, -1, out1);
    if (s < 0) return false;
    *f = Fragment{s, s * 2, s * 2};
    return true;
}

bool PushFragment(Compiler& c, const Fragment& f) { return Push(c.fragments, f) || OutOfMemory(c); }

Fragment PopFragment(Compiler& c) { return c.fragments.data[--c.fragments.count]; }

bool PushTask(Compiler& c, int node, bool combine) {
    Task t = {node, combine};
    return Push(c.tasks, t) || OutOfMemory(c);
}

int ChildCount(const Compiler& c, int node) {
    int n = 0;
    for (int k = c.nodes.data[node].first; k >= 0; k = c.nodes.data[k].next) ++n;
    return n;
}

// How many copies of its child a repetition compiles to.
int Copies(const Node& n) {
    if (n.max == kInfinite) return n.min > 0 ? n.min : 1;
    return n.max;
}

bool Evaluate(Compiler& c, int node) {
    const Node& n = c.nodes.data[node];
    Fragment f;
    switch (n.kind) {
    case kNodeSet:
        if (!Single(c, kNfaSet, -1, &f)) return false;
        c.nfa.data[f.start].set = n.set;
        return PushFragment(c, f);
    case kNodeAssert:
        if (!Single(c, kNfaAssert, -1, &f)) return false;
        c.nfa.data[f.start].assertion = n.assertion;
        return PushFragment(c, f);
    case kNodeConcat: case kNodeAlt:
        if (n.first < 0) break;
        if (!PushTask(c, node, true)) return false;
        for (int k = n.first; k >= 0; k = c.nodes.data[k].next)
            if (!PushTask(c, k, false)) return false;
        return true;
    case kNodeRepeat: {
        int copies = Copies(n);
        if (copies == 0) break;
        if (!PushTask(c, node, true)) return false;
        for (int k = 0; k < copies; ++k)
            if (!PushTask(c, n.first, false)) return false;
        return true;
    }
    default:
        break;
    }
    // Nothing to match: a plain jump.
    if (!Single(c, kNfaSplit, -1, &f)) return false;
    return PushFragment(c, f);
}

// The children's fragments are on the fragment stack, the first child's on top.
bool Combine(Compiler& c, int node) {
    const Node n = c.nodes.data[node];
    Fragment result = PopFragment(c);
    if (n.kind == kNodeConcat) {
        for (int k = ChildCount(c, node) - 1; k > 0; --k) Chain(c, result, PopFragment(c));
        return PushFragment(c, result);
    }
    if (n.kind == kNodeAlt) {
        int count = ChildCount(c, node);
        if (count == 1) return PushFragment(c, result);
        // A chain of splits, the first alternative on the first branch of the first split.
        Fragment alt = {-1, -1, -1};
        int previous = -1;
        for (int k = 0; k < count; ++k) {
            Fragment branch = k == 0 ? result : PopFragment(c);
            int entry = branch.start;
            if (k < count - 1) {
                int split = NewState(c, kNfaSplit, branch.start, -1);
                if (split < 0) return false;
                entry = split;
            }
            if (previous < 0) alt.start = entry;
            else c.nfa.data[previous].out1 = entry;
            previous = entry;
            JoinEnds(c, alt, branch);
        }
        return PushFragment(c, alt);
    }
    // A repetition: `min` copies in a row, the last one looping back when there is no bound,
    // then the copies up to `max`, each optional.
    int copies = Copies(n);
    Fragment whole = {-1, -1, -1};
    for (int k = 0; k < copies; ++k) {
        Fragment piece = k == 0 ? result : PopFragment(c);
        bool loops = n.max == kInfinite && k == copies - 1;
        bool optional = k >= n.min;
        if (loops || optional) {
            int split = NewState(c, kNfaSplit, piece.start, -1);
            if (split < 0) return false;
            if (loops) {
                Patch(c, piece.head, split);
                // x+ enters the piece, x* the split.
                piece = Fragment{optional ? split : piece.start, split * 2 + 1, split * 2 + 1};
            } else {
                piece.start = split;
                Fragment skip = {-1, split * 2 + 1, split * 2 + 1};
                JoinEnds(c, piece, skip);
            }
        }
        if (k == 0) whole = piece;
        else Chain(c, whole, piece);
    }
    return PushFragment(c, whole);
}

bool BuildAutomaton(Compiler& c, int root, int* start) {
    if (!PushTask(c, root, false)) return false;
    while (c.tasks.count > 0) {
        Task t = c.tasks.data[--c.tasks.count];
        if (!(t.combine ? Combine(c, t.node) : Evaluate(c, t.node))) return false;
    }
    Fragment f = PopFragment(c);
    int match = NewState(c, kNfaMatch, -1, -1);
    if (match < 0) return false;
    Patch(c, f.head, match);
    *start = f.start;
    return true;
}

// ---- The lazy DFA ----

constexpr uint8_t kFlagAtStart = 1;
constexpr uint8_t kFlagAfterWord = 2;
constexpr int32_t kUnknown = -1;
constexpr int32_t kFound = -2;       // a match ends before the unit
constexpr int32_t kDead = -3;        // no match can follow
constexpr int32_t kUncached = -4;    // the cache is given up for the rest of this text
constexpr size_t kTransitionBudget = 1u << 20;   // bytes of transitions in one regex's cache
constexpr int kSetPoolMinimum = 1 << 16;
constexpr int kFlushesBeforeSimulation = 4;
constexpr int kLiteralUnits = 32;

struct DfaState {
    int setStart;
    int setCount;
    uint8_t flags;
    int8_t endMatch;     // -1 not yet known
};

struct Context {
    bool atStart;
    bool afterWord;
    bool atEnd;
    bool beforeWord;
    bool permissive;     // every assertion but ^ holds: what could ever begin
};

}  // namespace

struct Regex {
    NfaState* nfa;
    int nfaCount;
    int start;
    uint16_t* classOf;   // unit -> class of units that every set treats alike
    int classCount;
    uint8_t* member;     // set * classCount + class: whether the set holds the class
    uint8_t* wordClass;  // class -> a word character
    bool deadAfterStart; // nothing can begin after the first unit (a pattern that starts with ^)
    // A run of units that every match holds: a text without it is answered at once.
    int literalLength;
    uint16_t literalClass[kLiteralUnits];
    wchar_t literalFirst[2];   // the units whose class is the run's first, when there are at most two
    int literalFirstCount;

    DfaState* states;
    int stateCount;
    int stateCapacity;
    int32_t* transitions;   // [state * classCount + class]: the next state times classCount
    int* pool;              // the sets of the states
    int poolCount;
    int poolCapacity;
    int* hash;              // state + 1, or 0
    int hashCapacity;
    int flushes;            // in the current call

    int* sparse;            // closure set
    int* dense;
    int denseCount;
    int* sparseNext;        // the set after a unit
    int* denseNext;
    int nextCount;
    int* stack;
    int* current;           // the set while the cache is given up
    int currentCount;
};

namespace {

bool Holds(const Context& x, uint8_t assertion) {
    switch (assertion) {
    case kAssertBegin: return x.atStart;
    case kAssertEnd: return x.permissive || x.atEnd;
    case kAssertBoundary: return x.permissive || x.afterWord != x.beforeWord;
    case kAssertNotBoundary: return x.permissive || x.afterWord == x.beforeWord;
    case kAssertNotAfterWord: return x.permissive || !x.afterWord;
    case kAssertNotBeforeWord: return x.permissive || !x.beforeWord;
    default: return false;
    }
}

inline bool InSparse(const int* sparse, const int* dense, int count, int v) {
    unsigned at = static_cast<unsigned>(sparse[v]);
    return at < static_cast<unsigned>(count) && dense[at] == v;
}

// Everything reachable without consuming from `seeds` and the start (a match may begin at every
// unit): into the closure set. True when the match state is reached.
bool Closure(Regex* r, const int* seeds, int seedCount, const Context& x) {
    r->denseCount = 0;
    int top = 0;
    r->stack[top++] = r->start;
    int next = 0;
    for (;;) {
        if (top == 0) {
            if (next >= seedCount) break;
            r->stack[top++] = seeds[next++];
        }
        int s = r->stack[--top];
        if (s < 0 || InSparse(r->sparse, r->dense, r->denseCount, s)) continue;
        r->sparse[s] = r->denseCount;
        r->dense[r->denseCount++] = s;
        const NfaState& n = r->nfa[s];
        // Each state enters the set once, so the stack holds at most two entries per state.
        switch (n.kind) {
        case kNfaSplit:
            if (n.out1 >= 0) r->stack[top++] = n.out1;
            r->stack[top++] = n.out;
            break;
        case kNfaAssert:
            if (Holds(x, n.assertion)) r->stack[top++] = n.out;
            break;
        case kNfaMatch:
            return true;
        default:
            break;
        }
    }
    return false;
}

// The closure set's consuming states that take `cls`, stepped over it: into the next set, sorted.
void Step(Regex* r, int cls) {
    r->nextCount = 0;
    for (int i = 0; i < r->denseCount; ++i) {
        const NfaState& n = r->nfa[r->dense[i]];
        if (n.kind != kNfaSet || !r->member[n.set * r->classCount + cls]) continue;
        if (InSparse(r->sparseNext, r->denseNext, r->nextCount, n.out)) continue;
        r->sparseNext[n.out] = r->nextCount;
        r->denseNext[r->nextCount++] = n.out;
    }
    std::sort(r->denseNext, r->denseNext + r->nextCount);
}

Context Before(const Regex* r, uint8_t flags, int cls) {
    return Context{(flags & kFlagAtStart) != 0, (flags & kFlagAfterWord) != 0, false, r->wordClass[cls] != 0, false};
}

Context AtEnd(uint8_t flags) {
    return Context{(flags & kFlagAtStart) != 0, (flags & kFlagAfterWord) != 0, true, false, false};
}

uint32_t HashSet(const int* set, int count, uint8_t flags) {
    uint32_t h = 2166136261u ^ flags;
    for (int i = 0; i < count; ++i) h = (h ^ static_cast<uint32_t>(set[i])) * 16777619u;
    return h ^ (h >> 15);
}

void Flush(Regex* r) {
    r->stateCount = 0;
    r->poolCount = 0;
    memset(r->hash, 0, sizeof(int) * static_cast<size_t>(r->hashCapacity));
}

// The state of `set` and `flags`: found in the cache or added to it. -1 when the cache is full.
int FindOrAdd(Regex* r, const int* set, int count, uint8_t flags) {
    uint32_t mask = static_cast<uint32_t>(r->hashCapacity - 1);
    uint32_t h = HashSet(set, count, flags) & mask;
    for (;; h = (h + 1) & mask) {
        int entry = r->hash[h];
        if (entry == 0) break;
        const DfaState& d = r->states[entry - 1];
        if (d.flags == flags && d.setCount == count &&
            memcmp(r->pool + d.setStart, set, sizeof(int) * static_cast<size_t>(count)) == 0)
            return entry - 1;
    }
    if (r->stateCount >= r->stateCapacity || r->poolCount + count > r->poolCapacity) return -1;
    int index = r->stateCount++;
    DfaState& d = r->states[index];
    d.setStart = r->poolCount;
    d.setCount = count;
    d.flags = flags;
    d.endMatch = -1;
    if (count > 0) memcpy(r->pool + r->poolCount, set, sizeof(int) * static_cast<size_t>(count));
    r->poolCount += count;
    int32_t* row = r->transitions + static_cast<size_t>(index) * static_cast<size_t>(r->classCount);
    for (int k = 0; k < r->classCount; ++k) row[k] = kUnknown;
    r->hash[h] = index + 1;
    return index;
}

void AddInitialState(Regex* r) { FindOrAdd(r, nullptr, 0, kFlagAtStart); }

// The transition of state `s` on class `cls`, computed and cached. Leaves the next set in
// denseNext for a caller that goes on without the cache (kUncached).
int32_t Transition(Regex* r, int s, int cls) {
    const DfaState d = r->states[s];
    if (Closure(r, r->pool + d.setStart, d.setCount, Before(r, d.flags, cls))) {
        r->transitions[static_cast<size_t>(s) * r->classCount + cls] = kFound;
        return kFound;
    }
    Step(r, cls);
    if (r->nextCount == 0 && r->deadAfterStart) {
        r->transitions[static_cast<size_t>(s) * r->classCount + cls] = kDead;
        return kDead;
    }
    uint8_t flags = r->wordClass[cls] ? kFlagAfterWord : 0;
    int t = FindOrAdd(r, r->denseNext, r->nextCount, flags);
    if (t >= 0) {
        r->transitions[static_cast<size_t>(s) * r->classCount + cls] = t * r->classCount;
        return t;
    }
    if (++r->flushes > kFlushesBeforeSimulation) return kUncached;
    Flush(r);
    AddInitialState(r);
    return FindOrAdd(r, r->denseNext, r->nextCount, flags);
}

bool EndMatches(Regex* r, int s) {
    DfaState& d = r->states[s];
    if (d.endMatch < 0) d.endMatch = Closure(r, r->pool + d.setStart, d.setCount, AtEnd(d.flags)) ? 1 : 0;
    return d.endMatch != 0;
}

// The rest of the text without the cache: the automaton simulated unit by unit.
bool Simulate(Regex* r, const wchar_t* text, int from, int length, uint8_t flags) {
    r->currentCount = r->nextCount;
    memcpy(r->current, r->denseNext, sizeof(int) * static_cast<size_t>(r->nextCount));
    for (int i = from; i < length; ++i) {
        int cls = r->classOf[static_cast<uint16_t>(text[i])];
        if (Closure(r, r->current, r->currentCount, Before(r, flags, cls))) return true;
        Step(r, cls);
        if (r->nextCount == 0 && r->deadAfterStart) return false;
        r->currentCount = r->nextCount;
        memcpy(r->current, r->denseNext, sizeof(int) * static_cast<size_t>(r->nextCount));
        flags = r->wordClass[cls] ? kFlagAfterWord : 0;
    }
    return Closure(r, r->current, r->currentCount, AtEnd(flags));
}

// ---- Classes of units: refined by every set, so that a class is inside or outside each ----

struct Partition {
    uint16_t* classOf;   // folded unit -> class
    int* size;
    int* inside;
    int* split;
    int count;
};

void RefineSingle(Partition& p, unsigned v) {
    int old = p.classOf[v];
    if (p.size[old] <= 1) return;
    --p.size[old];
    p.classOf[v] = static_cast<uint16_t>(p.count);
    p.size[p.count++] = 1;
}

void RefineBitmap(Partition& p, const uint32_t* bits) {
    for (int k = 0; k < p.count; ++k) p.inside[k] = 0, p.split[k] = -1;
    for (int w = 0; w < kBitmapWords; ++w)
        for (uint32_t b = bits[w]; b; b &= b - 1) ++p.inside[p.classOf[w * 32 + __builtin_ctz(b)]];
    // A class partly inside splits: its units inside move to a new class.
    int before = p.count;
    for (int k = 0; k < before; ++k) {
        if (p.inside[k] == 0 || p.inside[k] == p.size[k]) continue;
        p.split[k] = p.count;
        p.size[p.count++] = p.inside[k];
        p.size[k] -= p.inside[k];
    }
    for (int w = 0; w < kBitmapWords; ++w)
        for (uint32_t b = bits[w]; b; b &= b - 1) {
            unsigned v = static_cast<unsigned>(w * 32 + __builtin_ctz(b));
            int to = p.split[p.classOf[v]];
            if (to >= 0) p.classOf[v] = static_cast<uint16_t>(to);
        }
}

void ReleaseCompiler(Compiler& c) {
    for (int i = 0; i < c.sets.count; ++i) free(c.sets.data[i].bits);
    Release(c.sets);
    Release(c.nodes);
    Release(c.frames);
    Release(c.nfa);
    Release(c.tasks);
    Release(c.fragments);
}

// Classes, membership and the word property of each class, from the compiler's sets.
bool BuildClasses(Compiler& c, Regex* r) {
    Partition p = {};
    // Only the entries below the count of classes are ever read.
    p.classOf = static_cast<uint16_t*>(calloc(65536, sizeof(uint16_t)));
    p.size = static_cast<int*>(malloc(65536 * sizeof(int)));
    p.inside = static_cast<int*>(malloc(65536 * sizeof(int)));
    p.split = static_cast<int*>(malloc(65536 * sizeof(int)));
    r->classOf = static_cast<uint16_t*>(malloc(65536 * sizeof(uint16_t)));
    bool ok = p.classOf && p.size && p.inside && p.split && r->classOf;
    uint32_t* word = ok ? static_cast<uint32_t*>(calloc(kBitmapWords, sizeof(uint32_t))) : nullptr;
    ok = ok && word;
    if (ok) {
        p.size[0] = 65536;
        p.count = 1;
        // Classes over folded units: each text unit is folded once, by the class table.
        if (c.wordAssertions) {
            AddProperty(word, kPropWord, false);
            RefineBitmap(p, word);
        }
        for (int s = 0; s < c.sets.count; ++s) {
            const SetDef& def = c.sets.data[s];
            if (def.single >= 0) RefineSingle(p, static_cast<unsigned>(def.single));
            else if (def.single == -1) RefineBitmap(p, def.bits);
        }
        r->classCount = p.count;
        r->member = static_cast<uint8_t*>(calloc(static_cast<size_t>(c.sets.count + 1) * p.count, 1));
        r->wordClass = static_cast<uint8_t*>(calloc(static_cast<size_t>(p.count), 1));
        ok = r->member && r->wordClass;
    }
    if (ok) {
        // Every set treats a class alike: one representative unit answers for it.
        for (int k = 0; k < p.count; ++k) p.inside[k] = -1;
        for (unsigned v = 0; v < 65536; ++v)
            if (p.inside[p.classOf[v]] < 0) p.inside[p.classOf[v]] = static_cast<int>(v);
        for (int k = 0; k < p.count; ++k) {
            unsigned v = static_cast<unsigned>(p.inside[k]);
            r->wordClass[k] = c.wordAssertions && TestBit(word, v) ? 1 : 0;
            for (int s = 0; s < c.sets.count; ++s) {
                const SetDef& def = c.sets.data[s];
                bool in = def.single == -2 || (def.single >= 0 ? static_cast<unsigned>(def.single) == v : TestBit(def.bits, v));
                if (in) r->member[s * p.count + k] = 1;
            }
        }
        const uint16_t* fold = Properties().fold;
        for (unsigned u = 0; u < 65536; ++u) r->classOf[u] = p.classOf[c.matchCase ? u : fold[u]];
    }
    free(word);
    free(p.classOf);
    free(p.size);
    free(p.inside);
    free(p.split);
    return ok;
}

bool AllocateCache(Regex* r) {
    size_t row = sizeof(int32_t) * static_cast<size_t>(r->classCount);
    size_t capacity = kTransitionBudget / row;
    if (capacity < 16) capacity = 16;
    if (capacity > 8192) capacity = 8192;
    r->stateCapacity = static_cast<int>(capacity);
    r->hashCapacity = 1;
    while (r->hashCapacity < 2 * r->stateCapacity) r->hashCapacity *= 2;
    r->poolCapacity = std::max(kSetPoolMinimum, 2 * r->nfaCount + 16);
    size_t m = static_cast<size_t>(r->nfaCount);
    r->states = static_cast<DfaState*>(malloc(sizeof(DfaState) * capacity));
    r->transitions = static_cast<int32_t*>(malloc(row * capacity));
    r->pool = static_cast<int*>(malloc(sizeof(int) * static_cast<size_t>(r->poolCapacity)));
    r->hash = static_cast<int*>(calloc(static_cast<size_t>(r->hashCapacity), sizeof(int)));
    r->sparse = static_cast<int*>(calloc(m, sizeof(int)));
    r->dense = static_cast<int*>(calloc(m, sizeof(int)));
    r->sparseNext = static_cast<int*>(calloc(m, sizeof(int)));
    r->denseNext = static_cast<int*>(calloc(m, sizeof(int)));
    r->stack = static_cast<int*>(calloc(2 * m + 2, sizeof(int)));
    r->current = static_cast<int*>(calloc(m, sizeof(int)));
    return r->states && r->transitions && r->pool && r->hash && r->sparse && r->dense && r->sparseNext &&
           r->denseNext && r->stack && r->current;
}

void FindLiteral(const Compiler& c, Regex* r);

}  // namespace

Regex* CompileRegex(const wchar_t* pattern, int length, uint32_t flags, MatchFault* fault) {
    if (fault) *fault = MatchFault{0, 0};
    Compiler c = {};
    c.pattern = pattern;
    c.length = pattern && length > 0 ? length : 0;
    c.matchCase = (flags & kMatchCase) != 0;
    Regex* r = nullptr;
    int start = 0;
    bool ok = Parse(c);
    int root = 0;
    if (ok && (flags & kMatchWholeWord)) {
        // A match neither starts right after a word character nor ends right before one.
        int whole = NewNode(c, kNodeConcat);
        int before = whole >= 0 ? NewNode(c, kNodeAssert) : -1;
        int after = before >= 0 ? NewNode(c, kNodeAssert) : -1;
        ok = after >= 0 || OutOfMemory(c);
        if (ok) {
            c.nodes.data[before].assertion = kAssertNotAfterWord;
            c.nodes.data[after].assertion = kAssertNotBeforeWord;
            AppendChild(c, whole, before);
            AppendChild(c, whole, 0);
            AppendChild(c, whole, after);
            c.wordAssertions = true;
            root = whole;
        }
    }
    ok = ok && BuildAutomaton(c, root, &start);
    if (ok) {
        r = static_cast<Regex*>(calloc(1, sizeof(Regex)));
        ok = r || OutOfMemory(c);
    }
    if (ok) {
        r->nfaCount = c.nfa.count;
        r->nfa = static_cast<NfaState*>(malloc(sizeof(NfaState) * static_cast<size_t>(c.nfa.count)));
        ok = r->nfa || OutOfMemory(c);
        if (ok) memcpy(r->nfa, c.nfa.data, sizeof(NfaState) * static_cast<size_t>(c.nfa.count));
        r->start = start;
    }
    ok = ok && (BuildClasses(c, r) || OutOfMemory(c));
    ok = ok && (AllocateCache(r) || OutOfMemory(c));
    if (ok) {
        // Could anything begin at a later unit? If not, a text whose start did not lead on is done.
        Context later = {false, false, false, false, true};
        bool canMatch = Closure(r, nullptr, 0, later);
        bool canConsume = false;
        for (int i = 0; i < r->denseCount; ++i) canConsume = canConsume || r->nfa[r->dense[i]].kind == kNfaSet;
        r->deadAfterStart = !canMatch && !canConsume;
        AddInitialState(r);
        FindLiteral(c, r);
    }
    if (!ok) {
        if (fault) *fault = c.fault.reason ? c.fault : MatchFault{kRegexNoMemory, 0};
        FreeRegex(r);
        r = nullptr;
    }
    ReleaseCompiler(c);
    return r;
}

namespace {

bool HoldsLiteral(const Regex* r, const wchar_t* text, int length) {
    const int n = r->literalLength;
    const int last = length - n;
    const uint16_t* classOf = r->classOf;
    const wchar_t a = r->literalFirst[0], b = r->literalFirst[r->literalFirstCount - 1];
    const uint16_t first = r->literalClass[0];
    for (int p = 0; p <= last; ++p) {
        wchar_t u = text[p];
        if (r->literalFirstCount > 0 ? (u != a && u != b) : classOf[static_cast<uint16_t>(u)] != first) continue;
        int k = 1;
        while (k < n && classOf[static_cast<uint16_t>(text[p + k])] == r->literalClass[k]) ++k;
        if (k == n) return true;
    }
    return false;
}

// The longest run of single units in the pattern's top-level sequence, when it has no alternatives.
void FindLiteral(const Compiler& c, Regex* r) {
    const Node* nodes = c.nodes.data;
    if (nodes[0].first < 0 || nodes[0].first != nodes[0].last) return;
    int bestStart = -1, bestLength = 0, runStart = -1, runLength = 0;
    for (int k = nodes[nodes[0].first].first;; k = nodes[k].next) {
        bool single = k >= 0 && nodes[k].kind == kNodeSet && c.sets.data[nodes[k].set].single >= 0;
        if (single) {
            wchar_t v = static_cast<wchar_t>(c.sets.data[nodes[k].set].single);
            single = c.matchCase || FoldUnit(v) == v;
        }
        if (single && runLength < kLiteralUnits) {
            if (runLength == 0) runStart = k;
            ++runLength;
        } else {
            if (runLength > bestLength) bestStart = runStart, bestLength = runLength;
            runLength = 0;
            if (single) runStart = k, runLength = 1;
        }
        if (k < 0) break;
    }
    if (bestLength < 2) return;
    int k = bestStart;
    for (int i = 0; i < bestLength; ++i, k = nodes[k].next)
        r->literalClass[i] = r->classOf[static_cast<uint16_t>(c.sets.data[nodes[k].set].single)];
    r->literalLength = bestLength;
    // The first unit's spellings, when there are at most two, are sought directly.
    int count = 0;
    for (unsigned u = 0; u < 65536; ++u) {
        if (r->classOf[u] != r->literalClass[0]) continue;
        if (count < 2) r->literalFirst[count] = static_cast<wchar_t>(u);
        ++count;
    }
    r->literalFirstCount = count <= 2 ? count : 0;
}

}  // namespace

bool RegexMatches(Regex* r, const wchar_t* text, int length) {
    if (!r || length < 0 || (!text && length > 0)) return false;
    if (r->literalLength && !HoldsLiteral(r, text, length)) return false;
    r->flushes = 0;
    const uint16_t* classOf = r->classOf;
    const int32_t* transitions = r->transitions;
    const int width = r->classCount;
    int s = 0;    // the initial state, always first in the cache; kept times the width
    for (int i = 0; i < length; ++i) {
        int cls = classOf[static_cast<uint16_t>(text[i])];
        int32_t t = transitions[s + cls];
        if (t < 0) {
            if (t == kUnknown) {
                t = Transition(r, s / width, cls);
                if (t >= 0) t *= width;
            }
            if (t == kFound) return true;
            if (t == kDead) return false;
            if (t == kUncached) return Simulate(r, text, i + 1, length, r->wordClass[cls] ? kFlagAfterWord : 0);
        }
        s = t;
    }
    return EndMatches(r, s / width);
}

void LimitRegexCache(Regex* r, int states) {
    if (!r) return;
    if (states < 2) states = 2;
    if (states < r->stateCapacity) r->stateCapacity = states;
    Flush(r);
    AddInitialState(r);
}

void FreeRegex(Regex* r) {
    if (!r) return;
    free(r->nfa);
    free(r->classOf);
    free(r->member);
    free(r->wordClass);
    free(r->states);
    free(r->transitions);
    free(r->pool);
    free(r->hash);
    free(r->sparse);
    free(r->dense);
    free(r->sparseNext);
    free(r->denseNext);
    free(r->stack);
    free(r->current);
    free(r);
}
