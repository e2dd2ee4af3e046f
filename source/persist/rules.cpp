// Stored rules of highlighting and filters: their text form and their registry values.
#include "persist/rules.h"
#include "persist/settings.h"
#include "dialogs/ui.h"
#include "ids.h"

namespace {

// "4294967295;RRGGBB;RRGGBB;" and 255 characters of text, with room to spare.
constexpr size_t kValueUnits = 300;

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

// Six hexadecimal digits RRGGBB and a ';' after them.
bool ParseColor(const wchar_t*& at, COLORREF* color) {
    uint32_t value = 0;
    for (int i = 0; i < 6; ++i) {
        int digit = HexDigit(at[i]);
        if (digit < 0) return false;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    if (at[6] != L';') return false;
    at += 7;
    *color = RGB(value >> 16 & 0xFF, value >> 8 & 0xFF, value & 0xFF);
    return true;
}

uint32_t KnownFlags(RuleForm form) {
    uint32_t known = kRuleMatchCase | kRuleWholeWord | kRuleOff | kRuleRegex;
    return form == RuleForm::Filter ? known | kRuleHide : known;
}

bool RuleName(RuleForm form, int index, wchar_t* name) {   // name holds 64 units
    const wchar_t* pattern = FindUiString(form == RuleForm::Filter ? IDS_REG_FILTER_RULE : IDS_REG_HIGHLIGHT);
    if (!pattern) return false;
    wsprintfW(name, pattern, static_cast<unsigned>(index));
    return true;
}

}  // namespace

bool ParseStoredRule(const wchar_t* value, RuleForm form, StoredRule* rule) {
    if (!value || !rule) return false;
    const wchar_t* at = value;
    uint32_t flags = 0;
    int digits = 0;
    for (; *at >= L'0' && *at <= L'9'; ++at) {
        if (++digits > 9) return false;   // nothing larger than the known flags is meant
        flags = flags * 10 + static_cast<uint32_t>(*at - L'0');
    }
    if (!digits || *at != L';') return false;
    ++at;
    StoredRule parsed{};
    parsed.flags = flags & KnownFlags(form);
    if (form == RuleForm::Highlight && (!ParseColor(at, &parsed.textColor) || !ParseColor(at, &parsed.backColor)))
        return false;
    size_t length = lstrlenW(at);
    if (length == 0 || length >= kRuleTextUnits) return false;
    CopyMemory(parsed.text, at, (length + 1) * sizeof(wchar_t));
    *rule = parsed;
    return true;
}

bool FormatStoredRule(const StoredRule& rule, RuleForm form, wchar_t* out, size_t units) {
    if (!out || !units) return false;
    out[0] = 0;
    wchar_t head[40];
    unsigned flags = static_cast<unsigned>(rule.flags & KnownFlags(form));
    int headLength = form == RuleForm::Filter
        ? wsprintfW(head, L"%u;", flags)
        : wsprintfW(head, L"%u;%02X%02X%02X;%02X%02X%02X;", flags, GetRValue(rule.textColor),
                    GetGValue(rule.textColor), GetBValue(rule.textColor), GetRValue(rule.backColor),
                    GetGValue(rule.backColor), GetBValue(rule.backColor));
    size_t textLength = 0;
    while (textLength < kRuleTextUnits && rule.text[textLength]) ++textLength;
    if (textLength == kRuleTextUnits || headLength + textLength + 1 > units) return false;
    CopyMemory(out, head, headLength * sizeof(wchar_t));
    CopyMemory(out + headLength, rule.text, textLength * sizeof(wchar_t));
    out[headLength + textLength] = 0;
    return true;
}

bool AnyRuleOn(const RuleSet& set) {
    for (int i = 0; i < set.count && i < kMaxRules; ++i)
        if (!(set.rules[i].flags & kRuleOff) && set.rules[i].text[0]) return true;
    return false;
}

void PrepareRules(const RuleSet& set, RuleForm form, MatchSet* prepared) {
    ReleaseMatchSet(prepared);
    for (int i = 0; i < set.count && i < kMaxRules && prepared->count < kMaxMatchRules; ++i) {
        const StoredRule& rule = set.rules[i];
        if (rule.flags & kRuleOff) continue;
        int at = prepared->count;
        if (!PrepareMatchRule(&prepared->rules[at], rule.text, rule.flags, nullptr)) continue;
        prepared->source[at] = i;
        prepared->hide[at] = form == RuleForm::Filter && (rule.flags & kRuleHide) != 0;
        if (form == RuleForm::Filter && !prepared->hide[at]) ++prepared->showOnly;
        ++prepared->count;
    }
}

void LoadRules(RuleForm form, RuleSet* set) {
    set->count = 0;
    HKEY key = OpenSettingsKey(false);
    if (!key) return;
    wchar_t name[64];
    wchar_t value[kValueUnits];
    MatchRule probe{};
    for (int index = 0; index < kMaxRules; ++index) {
        if (!RuleName(form, index, name)) break;
        DWORD type = 0, bytes = sizeof(value) - sizeof(wchar_t);
        if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) != ERROR_SUCCESS ||
            type != REG_SZ)
            continue;
        value[bytes / sizeof(wchar_t)] = 0;   // a value stored without its terminator
        StoredRule& rule = set->rules[set->count];
        if (!ParseStoredRule(value, form, &rule)) continue;
        // A pattern that does not compile is no rule.
        if ((rule.flags & kRuleRegex) && !PrepareMatchRule(&probe, rule.text, rule.flags, nullptr)) continue;
        ReleaseMatchRule(&probe);
        ++set->count;
    }
    RegCloseKey(key);
}

void StoreRules(RuleForm form, const RuleSet& set) {
    HKEY key = OpenSettingsKey(true);
    if (!key) return;
    wchar_t name[64];
    wchar_t value[kValueUnits];
    int stored = 0;
    for (int i = 0; i < set.count && i < kMaxRules; ++i) {
        if (!FormatStoredRule(set.rules[i], form, value, kValueUnits) || !RuleName(form, stored, name)) continue;
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       (lstrlenW(value) + 1) * sizeof(wchar_t));
        ++stored;
    }
    for (int index = stored; index < kMaxRules; ++index)
        if (RuleName(form, index, name)) RegDeleteValueW(key, name);
    RegCloseKey(key);
}
