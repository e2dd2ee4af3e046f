// Regular expressions against the same 64 MB of UTF-16 log rows, as the view holds them: Brindle's
// matcher, the plain matcher where the pattern is literal, and std::wregex, for both Match case
// settings; then the pathological patterns on 4,095-unit rows, timed per row.
#include <windows.h>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>
#include "bench_clock.h"
#include "match/regex.h"

namespace {

constexpr size_t kTotalUnits = 32u * 1024 * 1024;   // 64 MB of UTF-16
constexpr int kRowUnits = 4095;

struct Rows {
    std::wstring text;
    std::vector<uint32_t> start;   // row i is text[start[i], start[i + 1])
    size_t Count() const { return start.size() - 1; }
};

// Rows in the manner of a server log: time stamp, level, module, a message; a few end in a
// duration, some name a user, errors and warnings among much information.
Rows MakeRows() {
    const wchar_t* levels[] = {L"INFO", L"INFO", L"INFO", L"DEBUG", L"DEBUG", L"WARN", L"ERROR", L"INFO",
                               L"INFO", L"DEBUG", L"INFO", L"FATAL", L"INFO", L"WARN", L"INFO", L"DEBUG"};
    const wchar_t* modules[] = {L"http", L"db", L"cache", L"auth", L"scheduler", L"mailer", L"worker-3", L"api.v2"};
    const wchar_t* notes[] = {L"request GET /api/orders/%u handled",
                              L"user=jose%u@example.com logged in from 10.0.%u.17",
                              L"price 12,50 \x20AC applied to cart %u",
                              L"cache miss for key user:%u",
                              L"retrying connection to 10.0.0.17:5432 (attempt %u)",
                              L"upload \x6587\x4EF6%u.txt stored",
                              L"timeout after %u ms",
                              L"session expired for caf\x00E9 terminal %u",
                              L"query SELECT * FROM events WHERE id = %u returned 0 rows",
                              L"user=m%u@mail.example.org password changed"};
    Rows rows;
    rows.text.reserve(kTotalUnits + 512);
    unsigned seed = 20261209;
    wchar_t note[160], line[320];
    for (unsigned n = 0; rows.text.size() < kTotalUnits; ++n) {
        seed = seed * 1103515245 + 12345;
        unsigned r = seed >> 8;
        wsprintfW(note, notes[(r / 128) % 10], r % 5000, (r / 7) % 250);
        // A third of the rows end in the time taken.
        if ((r / 16) % 3 == 0) {
            wsprintfW(line, L"2026-12-08 %02u:%02u:%02u.%03u %s [%s] %s in %u ms", (n / 3600000) % 24, (n / 60000) % 60,
                      (n / 1000) % 60, n % 1000, levels[r % 16], modules[(r / 16) % 8], note, r % 900);
        } else {
            wsprintfW(line, L"2026-12-08 %02u:%02u:%02u.%03u %s [%s] %s", (n / 3600000) % 24, (n / 60000) % 60,
                      (n / 1000) % 60, n % 1000, levels[r % 16], modules[(r / 16) % 8], note);
        }
        rows.start.push_back(static_cast<uint32_t>(rows.text.size()));
        rows.text += line;
    }
    rows.start.push_back(static_cast<uint32_t>(rows.text.size()));
    return rows;
}

double Megabytes(size_t units) { return static_cast<double>(units) * 2.0 / (1024.0 * 1024.0); }

struct Figure {
    double seconds;
    size_t matches;
    bool ran;
};

template <typename Matches>
Figure TimeRows(const Rows& rows, Matches matches) {
    Figure f = {0, 0, true};
    double t0 = Now();
    for (size_t i = 0; i < rows.Count(); ++i) {
        const wchar_t* row = rows.text.data() + rows.start[i];
        int length = static_cast<int>(rows.start[i + 1] - rows.start[i]);
        if (matches(row, length)) ++f.matches;
    }
    f.seconds = Now() - t0;
    return f;
}

// The floor: every unit of every row read once, nothing decided.
Figure Floor(const Rows& rows) {
    volatile unsigned sink = 0;
    Figure f = TimeRows(rows, [&](const wchar_t* row, int length) {
        unsigned sum = 0;
        for (int i = 0; i < length; ++i) sum += row[i];
        sink = sink + sum;
        return false;
    });
    return f;
}

Figure StdRows(const Rows& rows, const wchar_t* pattern, bool matchCase) {
    try {
        auto syntax = std::regex_constants::ECMAScript;
        if (!matchCase) syntax |= std::regex_constants::icase;
        std::wregex re(pattern, syntax);
        return TimeRows(rows, [&](const wchar_t* row, int length) { return std::regex_search(row, row + length, re); });
    } catch (...) {
        return Figure{0, 0, false};
    }
}

struct Pattern {
    const wchar_t* text;
    const wchar_t* plain[3];   // the literal alternatives the plain matcher searches for, when there are
};

void CompareOnRows(const Rows& rows, bool matchCase, int* goalsMissed) {
    const Pattern patterns[] = {
        {L"ERROR", {L"ERROR", nullptr, nullptr}},
        {L"ERROR|WARN|FATAL", {L"ERROR", L"WARN", L"FATAL"}},
        {L"^\\d{4}-\\d\\d-\\d\\d \\S+ (ERROR|WARN)", {nullptr, nullptr, nullptr}},
        {L"\\d+ ms$", {nullptr, nullptr, nullptr}},
        {L"user=\\w+@\\w+\\.com", {nullptr, nullptr, nullptr}},
    };
    const double mb = Megabytes(rows.text.size());
    printf("\nMatch case %s                          Brindle       plain  std::wregex   x wregex   rows matched\n",
           matchCase ? "on " : "off");
    for (const Pattern& p : patterns) {
        MatchFault fault{};
        uint32_t flags = matchCase ? kMatchCase : 0;
        Regex* regex = CompileRegex(p.text, static_cast<int>(wcslen(p.text)), flags, &fault);
        if (!regex) {
            printf("  %ls: refused, reason %d at %d\n", p.text, fault.reason, fault.at);
            ++*goalsMissed;
            continue;
        }
        Figure ours = TimeRows(rows, [&](const wchar_t* row, int length) { return RegexMatches(regex, row, length); });
        FreeRegex(regex);
        char plainText[32] = "-";
        if (p.plain[0]) {
            Figure plain = TimeRows(rows, [&](const wchar_t* row, int length) {
                for (const wchar_t* word : p.plain)
                    if (word && TextMatches(row, length, word, false, matchCase)) return true;
                return false;
            });
            snprintf(plainText, sizeof plainText, "%7.0f MB/s", mb / plain.seconds);
            if (plain.matches != ours.matches) snprintf(plainText, sizeof plainText, "disagrees!");
        }
        Figure theirs = StdRows(rows, p.text, matchCase);
        double rate = mb / ours.seconds;
        double ratio = theirs.ran ? theirs.seconds / ours.seconds : 0;
        char stdText[32] = "refused";
        if (theirs.ran) snprintf(stdText, sizeof stdText, "%6.1f MB/s", mb / theirs.seconds);
        printf("  %-36ls %7.0f MB/s %12s %12s %8.0fx %9zu%s\n", p.text, rate, plainText, stdText, ratio, ours.matches,
               theirs.ran && theirs.matches != ours.matches ? "  (std::wregex counts otherwise)" : "");
        // Every pattern here holds a literal of three units or more.
        if (rate < 200 || (theirs.ran && ratio < 10)) ++*goalsMissed;
    }
}

// std::wregex on one row, in a thread of its own with a large stack: its matcher recurses with
// the length of the text. The time of the row, or a negative figure when it threw.
struct StdRow {
    const std::wregex* re;
    const std::wstring* row;
    double seconds;
};

DWORD WINAPI StdRowThread(void* param) {
    StdRow* job = static_cast<StdRow*>(param);
    try {
        double t0 = Now();
        std::regex_search(*job->row, *job->re);
        job->seconds = Now() - t0;
    } catch (...) {
        job->seconds = -1;
    }
    return 0;
}

double TimeStdRow(const std::wregex& re, const std::wstring& row) {
    StdRow job = {&re, &row, -1};
    HANDLE thread = CreateThread(nullptr, 256u * 1024 * 1024, StdRowThread, &job, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread) return -1;
    WaitForSingleObject(thread, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    return job.seconds;
}

std::wstring Row(wchar_t unit, int length, wchar_t last) {
    std::wstring row(static_cast<size_t>(length), unit);
    if (last && length > 0) row[length - 1] = last;
    return row;
}

void Pathological(bool matchCase, int* goalsMissed) {
    struct Case {
        const wchar_t* pattern;
        wchar_t unit;
        wchar_t last;
    };
    // Rows that do not match, so that a backtracking matcher tries every way.
    const Case cases[] = {{L"(a|aa)*b", 'a', 0}, {L"(x+x+)+y", 'x', 0}, {L"^(([a-z])+.)+[A-Z]([a-z])+$", 'a', '!'}};
    printf("\nPathological patterns, Match case %s: 4,095-unit rows that do not match\n", matchCase ? "on" : "off");
    printf("  pattern                              Brindle first row   each next row   std::wregex survives\n");
    for (const Case& c : cases) {
        uint32_t flags = matchCase ? kMatchCase : 0;
        MatchFault fault{};
        Regex* regex = CompileRegex(c.pattern, static_cast<int>(wcslen(c.pattern)), flags, &fault);
        if (!regex) {
            ++*goalsMissed;
            continue;
        }
        std::wstring row = Row(c.unit, kRowUnits, c.last);
        double t0 = Now();
        bool first = RegexMatches(regex, row.data(), kRowUnits);
        double firstRow = Now() - t0;
        const int kRepeats = 2000;
        int found = first ? 1 : 0;
        t0 = Now();
        for (int i = 0; i < kRepeats; ++i) found += RegexMatches(regex, row.data(), kRowUnits) ? 1 : 0;
        double eachRow = (Now() - t0) / kRepeats;
        FreeRegex(regex);
        if (firstRow > 0.001 || eachRow > 0.001 || found) ++*goalsMissed;
        // std::wregex on growing rows until one takes a second or more, or it throws.
        char survived[80] = "refused";
        try {
            auto syntax = std::regex_constants::ECMAScript;
            if (!matchCase) syntax |= std::regex_constants::icase;
            std::wregex re(c.pattern, syntax);
            int length = 1;
            double last = 0;
            int longest = 0;
            for (; length <= kRowUnits; ++length) {
                double seconds = TimeStdRow(re, Row(c.unit, length, c.last));
                if (seconds < 0) {
                    snprintf(survived, sizeof survived, "threw at %d units", length);
                    break;
                }
                last = seconds;
                longest = length;
                if (seconds > 1.0) break;
            }
            if (longest == kRowUnits && last <= 1.0) snprintf(survived, sizeof survived, "all 4,095 units, %.3f ms", last * 1000);
            else if (last > 1.0) snprintf(survived, sizeof survived, "%d units, then %d units took %.2f s", longest - 1, longest, last);
        } catch (...) {
        }
        printf("  %-36ls %10.3f ms %13.4f ms   %s\n", c.pattern, firstRow * 1000, eachRow * 1000, survived);
    }
}

}  // namespace

int main() {
    Rows rows = MakeRows();
    const double mb = Megabytes(rows.text.size());
    Figure floor = Floor(rows);
    double floorRate = mb / floor.seconds;
    printf("match_bench: %.1f MB of UTF-16 log rows (%zu rows, %.0f units a row on average)\n", mb, rows.Count(),
           static_cast<double>(rows.text.size()) / rows.Count());
    printf("floor: every unit of every row read once, %.0f MB/s\n", floorRate);
    // What a rule costs when it is loaded or a search starts.
    const wchar_t* compiled[] = {L"ERROR", L"^\\d{4}-\\d\\d-\\d\\d \\S+ (ERROR|WARN)", L"user=\\w+@\\w+\\.com"};
    for (const wchar_t* pattern : compiled) {
        const int kCompiles = 200;
        double t0 = Now();
        for (int i = 0; i < kCompiles; ++i) FreeRegex(CompileRegex(pattern, static_cast<int>(wcslen(pattern)), 0, nullptr));
        printf("compile %-36ls %7.3f ms\n", pattern, (Now() - t0) * 1000 / kCompiles);
    }
    int goalsMissed = 0;
    CompareOnRows(rows, true, &goalsMissed);
    CompareOnRows(rows, false, &goalsMissed);
    Pathological(true, &goalsMissed);
    Pathological(false, &goalsMissed);
    printf("\ngoals: each pattern >= 200 MB/s and >= 10x std::wregex; a pathological 4,095-unit row < 1 ms: %s\n",
           goalsMissed ? "MISSED" : "met");
    return 0;
}
