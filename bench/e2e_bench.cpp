// End-to-end benchmark: brindle.exe started on generated logs and watched from this process as a
// user meets it: start to last row readable, append to row readable, idle CPU of the program and of
// wineserver, resident memory, and a busy log (a writer process at a fixed rate: the window's answer
// to WM_NULL meanwhile, how far the last row trails the writer, the last line after it stops).
// Beside it the floor (bench/floor): a bare program that follows the
// same file into a list box of the view's style and font, measured the same way, and the exe's
// figure over the floor's; optionally the same program code hosted by this bench without the exe's
// start-up extras (no thread hooks, no instance block). Every figure with the prefix's visual theme
// on, as Wine sets it, and off.
//
//   e2e_bench.exe                 brindle.exe and the floor, 3 runs each (BRINDLE_E2E_RUNS: the count)
//   BRINDLE_E2E_ONLY=host,exe,floor,rules,filters,patterns   the columns to measure
//   BRINDLE_E2E_THEME=on|off      one theme only
//   BRINDLE_E2E_EXE=path          another build of the exe (an experiment) in the exe column
//   BRINDLE_E2E_RULES=0           no exe columns with rules (three highlighting rules; three Show only
//                                 and two Hide filters; pattern rules, three colouring and two filters)
//   BRINDLE_E2E_BUSY=0|only       no busy-log figures (a writer at 20,000 and 100,000 lines a second),
//                                 or those alone
//   BRINDLE_E2E_BUSY_SECONDS=n    how long the busy writer writes (8)
#include "logsource/logsource.h"
#include "persist/history.h"
#include "persist/properties.h"
#include "persist/rules.h"
#include "persist/settings.h"
#include "shell/app.h"
#include "shell/startup.h"
#include "dialogs/ui.h"
#include "ids.h"
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>
#include <objbase.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include "bench_clock.h"
#include "bench_exe.h"

namespace {

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

unsigned seed = 20261208;
unsigned Random(unsigned range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % range;
}

// ---- rules ----

// The programs measured side by side: the exe, the same code hosted by this bench, the floor, and
// the exe with rules: three highlighting rules, whose cost must be painting only; three Show only
// and two Hide filter rules; and three highlighting and two filter rules that are patterns. The
// last two are measured on the big load alone: their rules leave out most lines.
enum Program { kHost, kExe, kFloor, kExeRules, kExeFilters, kExePatterns, kPrograms };
const char* const kProgramNames[kPrograms] = {"bench host (no hooks)", "brindle.exe", "floor", "exe, three rules",
                                              "exe, 3+2 filters", "exe, pattern rules"};
bool LoadOnly(Program program) { return program == kExeFilters || program == kExePatterns; }

struct BenchRules {
    std::initializer_list<StoredRule> highlight, filter;
};

const StoredRule kThreeHighlights[] = {{kRuleMatchCase, RGB(255, 255, 255), RGB(0xD0, 0x10, 0x10), L"ERROR"},
                                       {kRuleMatchCase, RGB(0, 0, 0), RGB(0xFF, 0xBF, 0x00), L"WARN"},
                                       {kRuleWholeWord, RGB(255, 255, 255), RGB(0x20, 0x60, 0xC0), L"timeout"}};
const StoredRule kFilters[] = {{kRuleMatchCase, 0, 0, L"ERROR"}, {kRuleMatchCase, 0, 0, L"WARN"},
                               {kRuleWholeWord, 0, 0, L"timeout"}, {kRuleHide, 0, 0, L"cache miss"},
                               {kRuleHide | kRuleMatchCase, 0, 0, L"DEBUG"}};
const StoredRule kPatternHighlights[] = {
    {kRuleRegex | kRuleMatchCase, RGB(255, 255, 255), RGB(0xD0, 0x10, 0x10), L"^\\S+ ERROR"},
    {kRuleRegex | kRuleMatchCase, RGB(0, 0, 0), RGB(0xFF, 0xBF, 0x00), L"WARN\\s+\\[\\w+\\]"},
    {kRuleRegex, RGB(255, 255, 255), RGB(0x20, 0x60, 0xC0), L"timeout \\d+ ms"}};
const StoredRule kPatternFilters[] = {{kRuleRegex | kRuleMatchCase, 0, 0, L"^\\d\\d:\\d\\d:\\d\\d\\.\\d+ (ERROR|WARN)"},
                                      {kRuleRegex | kRuleHide, 0, 0, L"cache miss user:\\d+"}};

RuleSet SetOf(const StoredRule* rules, size_t count) {
    RuleSet set{};
    for (size_t i = 0; i < count && i < kMaxRules; ++i) set.rules[set.count++] = rules[i];
    return set;
}

// The rules the exe finds in the registry when it starts, with filtering on for the filter programs.
void StoreBenchRules(Program program) {
    RuleSet none{};
    RuleSet highlight = program == kExeRules ? SetOf(kThreeHighlights, 3)
                      : program == kExePatterns ? SetOf(kPatternHighlights, 3) : none;
    RuleSet filter = program == kExeFilters ? SetOf(kFilters, 5) : program == kExePatterns ? SetOf(kPatternFilters, 2) : none;
    StoreRules(RuleForm::Highlight, highlight);
    StoreRules(RuleForm::Filter, filter);
    settings.filter = filter.count != 0;
    StoreSetting(SV_FILTER);
}

// ---- generated logs ----

// What the exe shows of a log under a set of filter rules: computed beside the log by the same
// matcher, so that the bench knows the last row to wait for.
struct Filtered {
    size_t rows = 0;
    std::wstring lastLine;
};

struct Log {
    std::wstring path;
    std::wstring lastLine;    // the row that must be readable last
    Filtered filtered[2];     // under the rules of the filter programs, in their order
    size_t rows = 0;          // rows the view holds once loaded
    uint64_t textBytes = 0;   // UTF-16 bytes of those rows' text
};

// Log lines as servers write them: mostly short, a few long ones (dumps, traces), accented names,
// currency, Cyrillic and CJK text.
std::wstring MakeLine(unsigned n) {
    static const wchar_t* levels[] = {L"INFO ", L"INFO ", L"DEBUG", L"WARN ", L"ERROR"};
    static const wchar_t* modules[] = {L"http", L"db", L"cache", L"auth", L"scheduler", L"mailer"};
    static const wchar_t* notes[] = {L"request handled", L"user Jos\x00E9 M\x00FCller logged in",
                                     L"price 12,50 \x20AC applied", L"cache miss user:4711",
                                     L"\x043F\x0440\x0438\x0432\x0435\x0442 \x043C\x0438\x0440", L"upload \x6587\x4EF6.txt stored",
                                     L"\x017Dlu\x0165ou\x010Dk\x00FD k\x016F\x0148", L"timeout 3000 ms"};
    wchar_t head[160];
    wsprintfW(head, L"03:%02u:%02u.%03u %s [%s] %s", n / 60000 % 60, n / 1000 % 60, n % 1000, levels[n % 5],
              modules[n / 5 % 6], notes[Random(8)]);
    std::wstring line = head;
    if (Random(100) == 0) {
        // A long line: a dump of key/value pairs, 200 to 2,000 units (never wrapped at 4,095).
        unsigned length = 200 + Random(1800);
        while (line.size() < length) {
            wchar_t pair[48];
            wsprintfW(pair, L" k%u=\x00E9%u", Random(1000), Random(100000));
            line += pair;
        }
    }
    return line;
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD done = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) && done == bytes.size();
}

std::string Encode(const std::wstring& text, bool wide) {
    if (wide) return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// A file of `bytes` (about), with the mark of its charset so that detection picks it; `limit`
// is the row limit, so the view ends with the last `limit` lines.
bool WriteLog(Log& log, uint64_t bytes, bool wide, size_t limit) {
    HANDLE file = CreateFileW(log.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::vector<uint32_t> lengths;
    uint64_t written = 0;
    // Only the big log is loaded under filters: its lines are judged as the exe will judge them.
    const bool judged = bytes > (1u << 24) && !wide;
    MatchSet sets[2] = {};
    if (judged) {
        PrepareRules(SetOf(kFilters, 5), RuleForm::Filter, &sets[0]);
        PrepareRules(SetOf(kPatternFilters, 2), RuleForm::Filter, &sets[1]);
    }
    for (Filtered& f : log.filtered) f = Filtered{};
    bool ok = WriteAll(file, wide ? std::string("\xFF\xFE") : std::string("\xEF\xBB\xBF"));
    std::wstring block;
    for (unsigned n = 0; ok && written < bytes;) {
        block.clear();
        while (block.size() < (1u << 19) && written + block.size() < bytes) {
            std::wstring line = MakeLine(n++);
            lengths.push_back(static_cast<uint32_t>(line.size()));
            log.lastLine = line;
            for (int k = 0; judged && k < 2; ++k)
                if (LineShown(sets[k], line.c_str(), static_cast<int>(line.size()))) {
                    ++log.filtered[k].rows;
                    log.filtered[k].lastLine = line;
                }
            block += line;
            block += L'\n';
        }
        std::string encoded = Encode(block, wide);
        ok = WriteAll(file, encoded);
        written += encoded.size();
    }
    CloseHandle(file);
    for (int k = 0; k < 2; ++k) {
        ReleaseMatchSet(&sets[k]);
        log.filtered[k].rows = std::min(limit, log.filtered[k].rows);
    }
    log.rows = std::min(limit, lengths.size());
    log.textBytes = 0;
    for (size_t i = lengths.size() - log.rows; i < lengths.size(); ++i) log.textBytes += lengths[i] * 2ull;
    return ok;
}

bool AppendLine(const std::wstring& path, const std::wstring& line) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = WriteAll(file, Encode(line + L"\n", false));
    CloseHandle(file);
    return ok;
}

// ---- the watched process ----

std::string ReadSmallFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    std::string text;
    if (file == INVALID_HANDLE_VALUE) return text;
    char block[4096];
    DWORD got = 0;
    while (ReadFile(file, block, sizeof block, &got, nullptr) && got) text.append(block, got);
    CloseHandle(file);
    return text;
}

// Under Wine the Linux /proc is reachable through Z:; a process is found by its command line.
const wchar_t* kProc = L"Z:\\proc\\";

bool HasProc() { return GetFileAttributesW(L"Z:\\proc\\self\\schedstat") != INVALID_FILE_ATTRIBUTES; }

template <typename Match> DWORD FindUnixProcess(Match match) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((std::wstring(kProc) + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    DWORD pid = 0;
    do {
        if (found.cFileName[0] < L'0' || found.cFileName[0] > L'9') continue;
        std::wstring base = std::wstring(kProc) + found.cFileName + L"\\";
        if (match(base)) pid = wcstoul(found.cFileName, nullptr, 10);
    } while (!pid && FindNextFileW(search, &found));
    FindClose(search);
    return pid;
}

DWORD FindWineServer() {
    char prefix[1024] = "";
    GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    std::string wanted = std::string("WINEPREFIX=") + prefix + '\0';
    return FindUnixProcess([&](const std::wstring& base) {
        return ReadSmallFile(base + L"comm").rfind("wineserver", 0) == 0 &&
               (!prefix[0] || ReadSmallFile(base + L"environ").find(wanted) != std::string::npos);
    });
}

// CPU time of every thread of a Linux process, in nanoseconds (the scheduler's own account).
uint64_t CpuNanoseconds(DWORD unixPid) {
    std::wstring tasks = std::wstring(kProc) + std::to_wstring(unixPid) + L"\\task\\";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((tasks + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    uint64_t total = 0;
    do {
        if (found.cFileName[0] < L'0' || found.cFileName[0] > L'9') continue;
        total += _strtoui64(ReadSmallFile(tasks + found.cFileName + L"\\schedstat").c_str(), nullptr, 10);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return total;
}

struct Target {
    PROCESS_INFORMATION info{};
    HWND main = nullptr;
    HWND view = nullptr;
    DWORD unixPid = 0;
};

// The limits of the run, for Brindle from the registry and for the floor on its command line.
constexpr unsigned kRowLimit = 65535, kKbLimit = 65535;

std::wstring SelfPath() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

void Close(Target& target) {
    if (!target.info.hProcess) return;
    if (target.main) PostMessageW(target.main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(target.info.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(target.info.hProcess, 1);
    WaitForSingleObject(target.info.hProcess, 5000);
    CloseHandle(target.info.hProcess);
    CloseHandle(target.info.hThread);
    target = Target{};
}

// Starts a program on `file`; the trailing argument, which the programs ignore, tells its process
// apart in /proc.
bool Launch(Target& target, Program program, const std::wstring& file, unsigned rowLimit = kRowLimit) {
    static int runs = 0;
    wchar_t tag[32];
    wsprintfW(tag, L"e2e-%lu-%d", GetCurrentProcessId(), ++runs);
    std::wstring command;
    if (program == kHost) command = L"\"" + SelfPath() + L"\" --host \"" + file + L"\" ";
    else if (program != kFloor) {
        StoreBenchRules(program);
        command = L"\"" + ExePath() + L"\" \"" + file + L"\" ";
    }
    else command = L"\"" + WinePath(LOG_FLOOR_UNIX) + L"\" \"" + file + L"\" " + std::to_wstring(rowLimit) + L" " +
                   std::to_wstring(kKbLimit) + L" ";
    command += tag;
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOW startup{sizeof startup};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &target.info)) {
        printf("cannot start %ls: error %lu\n", command.c_str(), GetLastError());
        return false;
    }
    WindowSearch search{target.info.dwProcessId, nullptr};
    for (double start = Now(); !target.view && Now() - start < 60; Sleep(2)) {
        if (WaitForSingleObject(target.info.hProcess, 0) == WAIT_OBJECT_0) break;
        search.found = nullptr;
        EnumWindows(FindMain, reinterpret_cast<LPARAM>(&search));
        target.main = search.found;
        target.view = target.main ? FindWindowExW(target.main, nullptr, L"LISTBOX", nullptr) : nullptr;
    }
    if (!target.view) {
        printf("no window from %ls\n", command.c_str());
        Close(target);
        return false;
    }
    if (HasProc()) {
        std::string wanted(1, '\0');
        wanted += Encode(tag, false);
        wanted += '\0';
        target.unixPid = FindUnixProcess([&](const std::wstring& base) {
            return ReadSmallFile(base + L"cmdline").find(wanted) != std::string::npos;
        });
    }
    return true;
}

LRESULT Ask(HWND view, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(view, message, wParam, lParam, SMTO_NORMAL, 120000, &result)) return LB_ERR;
    return static_cast<LRESULT>(result);
}

bool LastRowIs(HWND view, size_t rows, const std::wstring& text) {
    LRESULT count = Ask(view, LB_GETCOUNT);
    if (count != static_cast<LRESULT>(rows)) return false;
    static wchar_t buffer[kRowBufferUnits + 1];
    buffer[0] = 0;
    LRESULT length = Ask(view, LB_GETTEXT, count - 1, reinterpret_cast<LPARAM>(buffer));
    return length == static_cast<LRESULT>(text.size()) && text == buffer;
}

// Waiting for an appended row on a full view: one message a poll (the last row's length, which
// differs from the previous row's), so that observing costs the program little beside its work.
bool WaitAppended(HWND view, size_t rows, const std::wstring& text, double timeout) {
    for (double start = Now(); Now() - start < timeout; Sleep(1))
        if (Ask(view, LB_GETTEXTLEN, rows - 1) == static_cast<LRESULT>(text.size()) && LastRowIs(view, rows, text))
            return true;
    return false;
}

bool WaitRow(HWND view, size_t rows, const std::wstring& text, double timeout) {
    for (double start = Now(); Now() - start < timeout; Sleep(1))
        if (LastRowIs(view, rows, text)) return true;
    return false;
}

struct Memory { double resident = 0, peak = 0; };   // MB

Memory MemoryOf(const Target& target) {
    PROCESS_MEMORY_COUNTERS counters{sizeof counters};
    Memory m;
    if (GetProcessMemoryInfo(target.info.hProcess, &counters, sizeof counters)) {
        m.resident = counters.WorkingSetSize / 1048576.0;
        m.peak = counters.PeakWorkingSetSize / 1048576.0;
    }
    return m;
}

// ---- one column of figures ----

// The busy-log scenarios: a writer process appends numbered 100-byte lines at a fixed rate.
struct BusyCase { unsigned rate, rows; };
constexpr BusyCase kBusyCases[] = {{20000, 2048}, {20000, 65535}, {100000, 2048}, {100000, 65535}};
constexpr int kBusyCount = 4;

struct BusyFigures {
    // Answer to WM_NULL while the writer writes (ms), how far the last row trails the writer (ms),
    // and the time from the writer's end to its last line as the last row (ms).
    std::vector<double> answerP50, answerP99, answerMax, trailMedian, trailMax, settle;
};

struct Figures {
    BusyFigures busy[kBusyCount];
    std::vector<double> start, load, loadCpu, loadServerCpu, loadWide, latencyMedian, latencyMax, appendCpu,
        appendServerCpu, cpuProgram, cpuServer, cpuTogether, steady, peak;
    Memory base;
    LONG viewStyle = 0, viewExStyle = 0;
    RECT viewClient{};
    bool failed = false;
};

constexpr int kAppends = 60;

struct Logs { Log big, wide, idle, one; };

bool Fail(Figures& f, Target& t) {
    f.failed = true;
    Close(t);
    return false;
}

// Start to the row of a 1-line file, once; also the resident base and the view's look.
bool MeasureStart(Program program, Logs& logs, Figures& f) {
    Target t;
    double begin = Now();
    if (!Launch(t, program, logs.one.path) || !WaitRow(t.view, 1, logs.one.lastLine, 30)) return Fail(f, t);
    f.start.push_back(Now() - begin);
    // The scroll bars come and go with the content; the rest of the style is the view's own.
    f.viewStyle = GetWindowLongW(t.view, GWL_STYLE) & ~(WS_VISIBLE | WS_HSCROLL | WS_VSCROLL | WS_DISABLED);
    f.viewExStyle = GetWindowLongW(t.view, GWL_EXSTYLE);
    GetClientRect(t.view, &f.viewClient);
    Sleep(500);
    f.base = MemoryOf(t);
    Close(t);
    return true;
}

// One run: the 64 MB load, appends on the full view, and (but for the floor, UTF-8 only) the
// 16 MB UTF-16 load.
bool MeasureRun(Program program, int run, Logs& logs, DWORD server, Figures& f) {
    Target t;
    Log& big = logs.big;
    // CPU time beside the wall time: the machine may be shared, and CPU time is what a
    // change in the program moves.
    uint64_t serverBefore = server ? CpuNanoseconds(server) : 0;
    double start = Now();
    const Filtered* shown = program == kExeFilters ? &big.filtered[0] : program == kExePatterns ? &big.filtered[1] : nullptr;
    if (!Launch(t, program, big.path) ||
        !WaitRow(t.view, shown ? shown->rows : big.rows, shown ? shown->lastLine : big.lastLine, 120))
        return Fail(f, t);
    f.load.push_back(Now() - start);
    if (t.unixPid) f.loadCpu.push_back(CpuNanoseconds(t.unixPid) / 1e9);
    if (server) f.loadServerCpu.push_back((CpuNanoseconds(server) - serverBefore) / 1e9);
    if (LoadOnly(program)) {
        Close(t);
        return true;
    }
    Sleep(300);
    Memory m = MemoryOf(t);
    f.steady.push_back(m.resident - f.base.resident);
    f.peak.push_back(m.peak - f.base.peak);

    std::vector<double> latencies;
    // CPU per append beside the latency: it does not wait for a shared machine's other work.
    uint64_t program0 = t.unixPid ? CpuNanoseconds(t.unixPid) : 0, server0 = server ? CpuNanoseconds(server) : 0;
    for (int i = 0; i < kAppends; ++i) {
        Sleep(Random(20));   // any phase of the program's 10 ms timer
        wchar_t line[96];
        wsprintfW(line, L"appended %d.%d.%04d \x00FAdaje \x20AC%s", run, program, i, i % 2 ? L"" : L" \x010Dtvrtek");
        double at = Now();
        if (!AppendLine(big.path, line)) break;
        if (!WaitAppended(t.view, big.rows, line, 10)) return Fail(f, t);
        latencies.push_back((Now() - at) * 1000);
        big.lastLine = line;
    }
    if (t.unixPid && !latencies.empty())
        f.appendCpu.push_back((CpuNanoseconds(t.unixPid) - program0) / 1e6 / latencies.size());
    if (server && !latencies.empty())
        f.appendServerCpu.push_back((CpuNanoseconds(server) - server0) / 1e6 / latencies.size());
    Close(t);
    if (latencies.empty()) return false;
    f.latencyMedian.push_back(Median(latencies));
    f.latencyMax.push_back(*std::max_element(latencies.begin(), latencies.end()));

    if (program == kFloor) return true;
    start = Now();
    if (!Launch(t, program, logs.wide.path) || !WaitRow(t.view, logs.wide.rows, logs.wide.lastLine, 120))
        return Fail(f, t);
    f.loadWide.push_back(Now() - start);
    Close(t);
    return true;
}

// Idle CPU of a started process and of wineserver, in a window of 3.3 s after a second's rest. The
// programs take turns window by window, so that a shared machine weighs on each alike.
void MeasureIdle(Program program, Logs& logs, DWORD server, Figures& f) {
    Target t;
    if (!Launch(t, program, logs.idle.path) || !WaitRow(t.view, logs.idle.rows, logs.idle.lastLine, 30)) {
        Fail(f, t);
        return;
    }
    Sleep(1000);
    if (t.unixPid) {
        uint64_t p0 = CpuNanoseconds(t.unixPid), s0 = server ? CpuNanoseconds(server) : 0;
        double at = Now();
        Sleep(3333);
        double seconds = Now() - at;
        double program = (CpuNanoseconds(t.unixPid) - p0) / 1e7 / seconds;
        double wineserver = server ? (CpuNanoseconds(server) - s0) / 1e7 / seconds : 0;
        f.cpuProgram.push_back(program);
        if (server) f.cpuServer.push_back(wineserver);
        f.cpuTogether.push_back(program + wineserver);
    }
    Close(t);
}

// ---- the busy log ----

// Line n of the busy writer: 100 bytes with its line feed.
std::string BusyLine(unsigned n) {
    char line[128];
    int length = snprintf(line, sizeof line, "busy %09u ", n);
    std::string text(line, static_cast<size_t>(length));
    text.resize(99, 'x');
    return text + '\n';
}

// The writer process: line n goes out at `t0` + n / rate (the performance counter, which all
// processes share), in one write per millisecond, for `seconds`.
int Writer(const wchar_t* path, unsigned rate, double seconds, double t0) {
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    const unsigned total = static_cast<unsigned>(rate * seconds);
    while (Now() < t0) Sleep(1);
    std::string block;
    for (unsigned written = 0; written < total;) {
        double due = (Now() - t0) * rate;
        unsigned until = due >= total ? total : static_cast<unsigned>(due);
        block.clear();
        for (; written < until; ++written) block += BusyLine(written);
        if (!block.empty() && !WriteAll(file, block)) return 1;
        if (written < total) Sleep(1);
    }
    CloseHandle(file);
    return 0;
}

double Percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t at = static_cast<size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
    return values[at < values.size() ? at : values.size() - 1];
}

double BusySeconds() {
    wchar_t value[32] = L"";
    double seconds = GetEnvironmentVariableW(L"BRINDLE_E2E_BUSY_SECONDS", value, 32) ? _wtof(value) : 8;
    return seconds > 0.5 ? seconds : 0.5;
}

// The number of the view's last row, or -1. A tick may change the rows between the questions,
// which then are asked again.
long LastBusyRowOnce(HWND view) {
    LRESULT count = Ask(view, LB_GETCOUNT);
    if (count <= 0 || Ask(view, LB_GETTEXTLEN, count - 1) > static_cast<LRESULT>(kRowBufferUnits)) return -1;
    static wchar_t row[kRowBufferUnits + 1];
    row[0] = 0;
    if (Ask(view, LB_GETTEXT, count - 1, reinterpret_cast<LPARAM>(row)) <= 0) return -1;
    unsigned n = 0;
    return swscanf(row, L"busy %u", &n) == 1 ? static_cast<long>(n) : -1;
}

long LastBusyRow(HWND view) {
    long last = -1;
    for (int attempt = 0; attempt < 5 && last < 0; ++attempt) last = LastBusyRowOnce(view);
    return last;
}

// One program under one writer: started on a fresh file of one line, then the writer comes.
bool MeasureBusy(Program program, const BusyCase& busy, const std::wstring& dir, BusyFigures& f) {
    static int files = 0;
    std::wstring path = dir + L"\\busy" + std::to_wstring(++files) + L".log";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    WriteAll(file, "start\n");
    CloseHandle(file);
    Target t;
    if (!Launch(t, program, path, busy.rows) || !WaitRow(t.view, 1, L"start", 30)) {
        Close(t);
        return false;
    }
    Sleep(300);
    const double seconds = BusySeconds();
    const double t0 = Now() + 0.3;
    wchar_t arguments[64];
    swprintf(arguments, 64, L" %u %.3f %.6f", busy.rate, seconds, t0);
    std::wstring command = L"\"" + SelfPath() + L"\" --writer \"" + path + L"\"" + arguments;
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION writer{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &writer)) {
        Close(t);
        return false;
    }
    std::vector<double> answers, trails;
    const double end = t0 + seconds;
    for (double next = t0; Now() < end; next += 0.020) {
        while (Now() < next) Sleep(1);
        double at = Now();
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(t.main, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result)) break;
        double answered = Now();
        if (answered > end) break;
        answers.push_back((answered - at) * 1000);
        long last = LastBusyRow(t.view);
        double written = (Now() - t0) * busy.rate;
        trails.push_back(last < 0 ? (Now() - t0) * 1000 : std::max(0.0, (written - (last + 1)) / busy.rate * 1000));
        if (Now() > next + 0.020) next = Now() - 0.020;   // a long answer: the next sample follows at once
    }
    WaitForSingleObject(writer.hProcess, 60000);
    CloseHandle(writer.hProcess);
    CloseHandle(writer.hThread);
    const long lastLine = static_cast<long>(busy.rate * seconds) - 1;
    double settled = -1;
    for (double since = Now(); Now() - since < 60; Sleep(1))
        if (LastBusyRow(t.view) == lastLine) {
            settled = (Now() - end) * 1000;
            break;
        }
    Close(t);
    DeleteFileW(path.c_str());
    DeleteFileW((path + UiString(IDS_STREAM_NAME)).c_str());
    if (answers.empty() || settled < 0) return false;
    f.answerP50.push_back(Percentile(answers, 0.5));
    f.answerP99.push_back(Percentile(answers, 0.99));
    f.answerMax.push_back(*std::max_element(answers.begin(), answers.end()));
    f.trailMedian.push_back(Median(trails));
    f.trailMax.push_back(*std::max_element(trails.begin(), trails.end()));
    f.settle.push_back(settled);
    return true;
}

// One program's figure over another's, or "-" where either has none.
void PrintRatio(const Figures* over, const Figures* under, std::vector<double> Figures::*a,
                std::vector<double> Figures::*b) {
    char ratio[64] = "-";
    auto of = [&](std::vector<double> Figures::*m) {
        double base = Median(under->*m);
        return base > 0 ? Median(over->*m) / base : 0.0;
    };
    if (over && under && !(over->*a).empty() && !(under->*a).empty()) {
        if (b && !(over->*b).empty() && !(under->*b).empty()) snprintf(ratio, sizeof ratio, "%.2f / %.2f", of(a), of(b));
        else snprintf(ratio, sizeof ratio, "%.2f", of(a));
    }
    printf(" %14s", ratio);
}

// One line of the table: a cell per program, then brindle.exe's figure over the floor's and the
// figure with rules over the one without.
void Row(const char* what, const Figures* columns[kPrograms], const char* format,
         std::vector<double> Figures::*a, std::vector<double> Figures::*b = nullptr) {
    printf("%-50s", what);
    for (int c = 0; c < kPrograms; ++c) {
        char cell[64] = "-";
        const Figures* f = columns[c];
        if (f && !(f->*a).empty()) {
            if (b) snprintf(cell, sizeof cell, format, Median(f->*a), Median(f->*b));
            else snprintf(cell, sizeof cell, format, Median(f->*a));
        }
        printf(" %22s", cell);
    }
    PrintRatio(columns[kExe], columns[kFloor], a, b);
    PrintRatio(columns[kExeRules], columns[kExe], a, b);
    PrintRatio(columns[kExeFilters], columns[kExe], a, b);
    PrintRatio(columns[kExePatterns], columns[kExe], a, b);
    printf("\n");
}

// The same start-up as the exe's entry point, without the thread hooks and the instance block.
int Host(const wchar_t* file) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    CoInitialize(nullptr);
    int code = 1;
    if (StartApplication(instance)) {
        OpenLogFile(file);
        FinishStartup();
        ShowWindow(app.mainWindow, RestoreWindowPosition(StartupShowCommand()));
        code = RunMessageLoop();
    }
    CoUninitialize();
    return code;
}

// The prefix's visual theme, as programs read it when they start (Wine's default: on).
constexpr wchar_t kThemeKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager";

bool ReadThemeActive(wchar_t* value, DWORD units) {
    DWORD bytes = units * sizeof(wchar_t);
    value[0] = 0;
    return RegGetValueW(HKEY_CURRENT_USER, kThemeKey, L"ThemeActive", RRF_RT_REG_SZ, nullptr, value, &bytes) ==
           ERROR_SUCCESS;
}

void WriteThemeActive(const wchar_t* value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kThemeKey, L"ThemeActive", REG_SZ, value,
                    static_cast<DWORD>((lstrlenW(value) + 1) * sizeof(wchar_t)));
}

// The limits of the figures, stored for the run and put back afterwards.
struct StoredLimits {
    uint32_t kbLimit, linesLimit, wrapLines, cutEmpty, autodetect;
    void Save() {
        LoadSettings();
        *this = {settings.kbLimit, settings.linesLimit, settings.wrapLines, settings.cutEmpty, settings.autodetect};
    }
    void Apply() const {
        settings.kbLimit = kbLimit;
        settings.linesLimit = linesLimit;
        settings.wrapLines = wrapLines;
        settings.cutEmpty = cutEmpty;
        settings.autodetect = autodetect;
        const SettingValue values[] = {SV_KB_LIMIT, SV_LINES_LIMIT, SV_WRAP_LINES, SV_CUT_EMPTY, SV_AUTODETECT};
        StoreSettings(values, 5);
    }
};

bool busyLogs = true, busyOnly = false;
std::wstring busyDir;

// Every figure of the chosen programs under one theme. Runs are interleaved across programs,
// so that a shared machine's changing load weighs on each alike and the ratios hold.
void MeasureAll(const bool chosen[kPrograms], int runs, Logs& logs, DWORD server, Figures figures[kPrograms]) {
    if (busyOnly) runs = 0;
    for (int p = 0; p < kPrograms && !busyOnly; ++p)
        if (chosen[p] && !LoadOnly(Program(p))) MeasureStart(Program(p), logs, figures[p]);
    for (int run = 0; run < runs; ++run)
        for (int p = 0; p < kPrograms; ++p)
            if (chosen[p] && !figures[p].failed) MeasureRun(Program(p), run, logs, server, figures[p]);
    for (int window = 0; window < (busyOnly ? 0 : 3); ++window)
        for (int p = 0; p < kPrograms; ++p)
            if (chosen[p] && !LoadOnly(Program(p))) MeasureIdle(Program(p), logs, server, figures[p]);
    if (!busyLogs) return;
    for (int c = 0; c < kBusyCount; ++c) {
        // The exe finds its row limit in the registry, the floor on its command line.
        settings.linesLimit = kBusyCases[c].rows;
        StoreSetting(SV_LINES_LIMIT);
        for (Program p : {kExe, kFloor})
            if (chosen[p] && !MeasureBusy(p, kBusyCases[c], busyDir, figures[p].busy[c]))
                printf("busy log %u lines/s into %u rows: %s did not finish\n", kBusyCases[c].rate, kBusyCases[c].rows,
                       kProgramNames[p]);
    }
    settings.linesLimit = kRowLimit;
    StoreSetting(SV_LINES_LIMIT);
}

void PrintTable(const char* theme, int runs, const bool chosen[kPrograms], const Figures figures[kPrograms]) {
    const Figures* columns[kPrograms];
    for (int p = 0; p < kPrograms; ++p) columns[p] = chosen[p] ? &figures[p] : nullptr;
    char heading[64];
    snprintf(heading, sizeof heading, "theme %s, median of %d runs", theme, runs);
    printf("\n%-50s", heading);
    for (int p = 0; p < kPrograms; ++p) printf(" %22s", kProgramNames[p]);
    printf(" %14s %14s %14s %14s\n", "exe / floor", "rules / exe", "filters / exe", "patterns / exe");
    Row("start, 1-line file: start->row readable (once)", columns, "%.2f s", &Figures::start);
    Row("load 64 MB UTF-8, 65,535 rows: start->last row", columns, "%.2f s", &Figures::load);
    Row("  CPU of that load: program / wineserver", columns, "%.2f / %.2f s", &Figures::loadCpu, &Figures::loadServerCpu);
    Row("load 16 MB UTF-16, 65,535 rows: start->last row", columns, "%.2f s", &Figures::loadWide);
    Row("append->row readable, median / max", columns, "%.1f / %.1f ms", &Figures::latencyMedian, &Figures::latencyMax);
    Row("  CPU per append (observing included): prog / ws", columns, "%.2f / %.2f ms", &Figures::appendCpu,
        &Figures::appendServerCpu);
    Row("idle CPU, 1,000 rows: program / wineserver", columns, "%.2f / %.2f %%", &Figures::cpuProgram, &Figures::cpuServer);
    Row("  idle CPU together", columns, "%.2f %%", &Figures::cpuTogether);
    Row("resident over a 1-line file: steady / peak", columns, "+%.1f / +%.1f MB", &Figures::steady, &Figures::peak);
    printf("%-50s", "view: style / extended style, client size");
    for (int p = 0; p < kPrograms; ++p) {
        char cell[64] = "-";
        if (chosen[p] && !LoadOnly(Program(p)))
            snprintf(cell, sizeof cell, "%08lx/%lx %ldx%ld", static_cast<unsigned long>(figures[p].viewStyle),
                     static_cast<unsigned long>(figures[p].viewExStyle), figures[p].viewClient.right,
                     figures[p].viewClient.bottom);
        printf(" %22s", cell);
    }
    printf("\n");
    for (int p = 0; p < kPrograms; ++p)
        if (chosen[p] && figures[p].failed) printf("some runs of %s did not finish\n", kProgramNames[p]);
    if (!busyLogs || (!chosen[kExe] && !chosen[kFloor])) return;
    printf("\nbusy log, %.0f s of 100-byte lines, %s: brindle.exe | floor%36s\n", BusySeconds(), theme, "");
    printf("%-26s %-40s %-40s\n", "", "WM_NULL answer p50 / p99 / max", "trailing median / max; last line after end");
    for (int c = 0; c < kBusyCount; ++c) {
        for (Program p : {kExe, kFloor}) {
            const BusyFigures& b = figures[p].busy[c];
            char what[64], answer[64] = "-", trail[80] = "-";
            snprintf(what, sizeof what, "%u/s into %u, %s", kBusyCases[c].rate, kBusyCases[c].rows, p == kExe ? "exe" : "floor");
            if (chosen[p] && !b.answerP50.empty()) {
                snprintf(answer, sizeof answer, "%.1f / %.1f / %.1f ms", Median(b.answerP50), Median(b.answerP99), Median(b.answerMax));
                snprintf(trail, sizeof trail, "%.0f / %.0f ms; %.0f ms", Median(b.trailMedian), Median(b.trailMax), Median(b.settle));
            }
            printf("%-26s %-40s %-40s\n", what, answer, trail);
        }
    }
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc >= 3 && lstrcmpW(argv[1], L"--host") == 0) return Host(argv[2]);
    if (argc >= 6 && lstrcmpW(argv[1], L"--writer") == 0) return Writer(argv[2], wcstoul(argv[3], nullptr, 10), _wtof(argv[4]), _wtof(argv[5]));
    setvbuf(stdout, nullptr, _IONBF, 0);

    wchar_t value[64] = L"";
    int runs = GetEnvironmentVariableW(L"BRINDLE_E2E_RUNS", value, 64) ? _wtoi(value) : 3;
    if (runs < 1) runs = 1;
    value[0] = 0;
    bool chosen[kPrograms] = {false, true, true, true, true, true};
    if (GetEnvironmentVariableW(L"BRINDLE_E2E_ONLY", value, 64)) {
        chosen[kHost] = wcsstr(value, L"host") != nullptr;
        chosen[kExe] = wcsstr(value, L"exe") != nullptr;
        chosen[kFloor] = wcsstr(value, L"floor") != nullptr;
        chosen[kExeRules] = wcsstr(value, L"rules") != nullptr;
        chosen[kExeFilters] = wcsstr(value, L"filters") != nullptr;
        chosen[kExePatterns] = wcsstr(value, L"patterns") != nullptr;
    }
    value[0] = 0;
    if (GetEnvironmentVariableW(L"BRINDLE_E2E_RULES", value, 64) && lstrcmpW(value, L"0") == 0)
        chosen[kExeRules] = chosen[kExeFilters] = chosen[kExePatterns] = false;
    value[0] = 0;
    if (GetEnvironmentVariableW(L"BRINDLE_E2E_BUSY", value, 64)) {
        busyLogs = lstrcmpW(value, L"0") != 0;
        busyOnly = lstrcmpW(value, L"only") == 0;
    }
    value[0] = 0;
    GetEnvironmentVariableW(L"BRINDLE_E2E_THEME", value, 64);
    bool themeOn = !value[0] || lstrcmpW(value, L"off") != 0, themeOff = !value[0] || lstrcmpW(value, L"on") != 0;

    InitHistory();
    RuleSet userRules{}, userFilters{};
    LoadRules(RuleForm::Highlight, &userRules);
    LoadRules(RuleForm::Filter, &userFilters);
    StoredLimits previous;
    previous.Save();
    const StoredLimits bench{kKbLimit, kRowLimit, 0, 0, 1};
    bench.Apply();
    wchar_t previousTheme[16];
    bool hadTheme = ReadThemeActive(previousTheme, 16);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring dir = std::wstring(temp) + L"brindle-e2e-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    Logs logs;
    Log &big = logs.big, &wide = logs.wide, &idle = logs.idle, &one = logs.one;
    busyDir = dir;
    big.path = dir + L"\\big.log";
    wide.path = dir + L"\\wide.log";
    idle.path = dir + L"\\idle.log";
    one.path = dir + L"\\one.log";
    double t0 = Now();
    bool written = WriteLog(big, 64ull << 20, false, kRowLimit) && WriteLog(wide, 16ull << 20, true, kRowLimit) &&
                   WriteLog(idle, 200000, false, kRowLimit) && WriteLog(one, 1, false, kRowLimit);
    if (!written || idle.rows < 1000) {
        printf("cannot write the logs in %ls\n", dir.c_str());
        previous.Apply();
        return 1;
    }

    // The idle file is cut to 1,000 lines exactly.
    {
        std::string text = ReadSmallFile(idle.path);
        size_t at = 3;
        for (int n = 0; n < 1000 && at != std::string::npos; ++n) at = text.find('\n', at) + 1;
        std::string kept = text.substr(0, at);
        size_t previousEnd = kept.rfind('\n', kept.size() - 2);
        std::string last = kept.substr(previousEnd + 1, kept.size() - previousEnd - 2);
        int n = MultiByteToWideChar(CP_UTF8, 0, last.data(), static_cast<int>(last.size()), nullptr, 0);
        idle.lastLine.assign(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, last.data(), static_cast<int>(last.size()), idle.lastLine.data(), n);
        idle.rows = 1000;
        HANDLE file = CreateFileW(idle.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        WriteAll(file, kept);
        CloseHandle(file);
    }

    printf("logs written in %.1f s: 64 MB UTF-8 (%.1f MB of row text in view), 16 MB UTF-16, %zu-line and 1-line UTF-8\n",
           Now() - t0, big.textBytes / 1048576.0, idle.rows);
    DWORD server = HasProc() ? FindWineServer() : 0;
    printf("cpu accounting: %s; wineserver %s\n", HasProc() ? "/proc schedstat" : "none",
           server ? "found" : "not found");
    printf("exe: %ls\nfloor: %ls (a list box of the view's style and font, LB_ADDSTRING on a 10 ms timer)\n",
           ExePath().c_str(), WinePath(LOG_FLOOR_UNIX).c_str());

    Figures on[kPrograms], off[kPrograms];
    if (themeOn) {
        WriteThemeActive(L"1");
        MeasureAll(chosen, runs, logs, server, on);
        PrintTable("on (the prefix's default)", runs, chosen, on);
    }
    if (themeOff) {
        WriteThemeActive(L"0");
        MeasureAll(chosen, runs, logs, server, off);
        PrintTable("off", runs, chosen, off);
    }
    if (hadTheme) WriteThemeActive(previousTheme);
    printf("targets: load <= 1.0 s, latency <= 8 / 15 ms, idle <= 1.0 %% together, peak <= %.1f MB (2 x rows' text + 2)\n",
           2 * big.textBytes / 1048576.0 + 2);

    previous.Apply();
    StoreRules(RuleForm::Highlight, userRules);
    StoreRules(RuleForm::Filter, userFilters);
    // The program kept each file's window position in the file's properties stream.
    for (const Log* log : {&big, &wide, &idle, &one}) {
        DeleteFileW(log->path.c_str());
        DeleteFileW((log->path + UiString(IDS_STREAM_NAME)).c_str());
    }
    RemoveDirectoryW(dir.c_str());
    LocalFree(argv);
    return 0;
}
