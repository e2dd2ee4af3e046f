// The update check: the request to the update service, the reply and its report to the About
// dialog's link or to the status bar; the donation and product pages on the service's host.
#include "update/update.h"
#include "dialogs/ui.h"
#include "persist/settings.h"
#include "shell/app.h"
#include "shell/platform.h"
#include "status/status.h"
#include "ids.h"
#include <commctrl.h>
#include <rpc.h>
#include <shellapi.h>
#include <wininet.h>
#include <cstdlib>
#include <initializer_list>
#include <cstring>
#include <ctime>

#ifndef BRINDLE_UPDATE_URL_DEFAULT
#error "BRINDLE_UPDATE_URL_DEFAULT names the update service; the build sets it from BRINDLE_UPDATE_URL"
#endif
#define BRINDLE_WIDEN2(text) L##text
#define BRINDLE_WIDEN(text) BRINDLE_WIDEN2(text)

UpdateCheck updateCheck;

// One check from its start to its report; allocated by the user-interface thread, filled by the
// check thread, and handed back with a posted message. Whoever holds it last frees it: the
// user-interface thread after the report, or the check thread when the check ended at its
// deadline without it.
struct CheckJob {
    CheckJob* next;       // checks started and not yet reported, on the user-interface thread
    HWND linkWindow;
    HWND resultWindow;
    wchar_t url[kRequestUnits];
    UINT failure;         // string of a failure before any reply, 0 when a reply was read
    UpdateReply reply;
    DWORD started;        // tick count at the start
    DWORD serviceTimeoutMs, budgetMs;   // the waits in force when it started
    volatile LONG connected;   // the service took the connection
    volatile LONG state;       // kRunning, then kFinished (report posted) or kAbandoned (reported at the deadline)
};

namespace {

constexpr LONG kRunning = 0, kFinished = 1, kAbandoned = 2;

constexpr wchar_t kServiceVariable[] = L"BRINDLE_UPDATE_URL";
constexpr wchar_t kDonationPath[] = L"/skelby/services/brindle.donate.php?language=";
constexpr wchar_t kProductPath[] = L"/";
constexpr wchar_t kResultClass[] = L"Brindle.UpdateResult";
constexpr UINT kResultMessage = WM_APP + 1;   // lParam: the finished CheckJob, posted by its thread
constexpr size_t kTextUnits = 512;            // outcome texts with a full-length address and markup

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads digits at `at` into a number that stops at its maximum instead of wrapping.
uint32_t ReadNumber(const char* data, size_t size, size_t& at) {
    uint32_t value = 0;
    for (; at < size && IsDigit(data[at]); ++at) {
        uint32_t digit = static_cast<uint32_t>(data[at] - '0');
        value = value > (0xFFFFFFFFu - digit) / 10 ? 0xFFFFFFFFu : value * 10 + digit;
    }
    return value;
}

bool IsBlankOrBreak(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsForbiddenInAddress(wchar_t c) {
    if (c <= 0x20 || (c >= 0x7F && c <= 0x9F)) return true;   // control characters and the blank
    if (c == L'"' || c == L'\'' || c == L'<' || c == L'>') return true;
    // Other spaces and invisible separators would hide part of the address from the user.
    return c == 0x00A0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200F) || (c >= 0x2028 && c <= 0x202F) ||
           c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

bool StartsWithIgnoringCase(const wchar_t* text, const wchar_t* prefix) {
    for (; *prefix; ++text, ++prefix) {
        wchar_t c = *text;
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != *prefix) return false;
    }
    return true;
}

UpdateOutcome OutcomeOf(uint32_t major, uint32_t minor, uint32_t patch) {
    if (major > kVersionMajor) return UpdateOutcome::NewVersion;
    if (major == kVersionMajor && minor > kVersionMinor) return UpdateOutcome::Upgrade;
    if (major == kVersionMajor && minor == kVersionMinor && patch > kVersionPatch) return UpdateOutcome::Stability;
    return UpdateOutcome::NoUpdate;
}

bool CopyFits(wchar_t* out, size_t units, const wchar_t* text) {
    size_t length = lstrlenW(text);
    if (length >= units) return false;
    memcpy(out, text, (length + 1) * sizeof(wchar_t));
    return true;
}

// The service address: the environment's override, else the one this build was made with.
void ServiceUrl(wchar_t* out, DWORD units) {
    DWORD length = GetEnvironmentVariableW(kServiceVariable, out, units);
    if (length == 0 || length >= units) lstrcpynW(out, BRINDLE_WIDEN(BRINDLE_UPDATE_URL_DEFAULT), units);
}

// Error pages are not replies: an HTTP answer must be 200.
bool AnsweredOk(HINTERNET request) {
    DWORD status = 0, size = sizeof(status);
    if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) return true;
    return status == 200;
}

bool PastDeadline(const CheckJob* job) { return GetTickCount() - job->started >= job->budgetMs; }

// The whole body, which the platform may deliver in several pieces. A body longer than the
// buffer is refused: its address would be read cut short, and a cut address names another page.
// A body still arriving at the deadline is no reply.
bool ReadReply(const CheckJob* job, HINTERNET request, char* buffer, DWORD& filled) {
    filled = 0;
    for (;;) {
        if (PastDeadline(job)) return false;
        DWORD got = 0;
        if (filled == kReplyBytes) {
            char beyond;
            return InternetReadFile(request, &beyond, 1, &got) && got == 0;
        }
        if (!InternetReadFile(request, buffer + filled, kReplyBytes - filled, &got)) return false;
        if (got == 0) return true;
        filled += got;
    }
}

// A service that accepts the connection and then stays silent ends the check as unrecognised
// instead of leaving "Connecting..." in place for minutes.
void LimitWaits(HINTERNET handle, DWORD timeout) {
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        InternetSetOptionW(handle, option, &timeout, sizeof(timeout));
}

// Tells the check that the service took the connection: a wait that ends after that is a reply
// that never came, one that ends before it a connection that never came.
void CALLBACK OnRequestStatus(HINTERNET, DWORD_PTR context, DWORD status, void*, DWORD) {
    if (status == INTERNET_STATUS_CONNECTED_TO_SERVER || status == INTERNET_STATUS_REQUEST_SENT ||
        status == INTERNET_STATUS_RECEIVING_RESPONSE || status == INTERNET_STATUS_RESPONSE_RECEIVED)
        InterlockedExchange(&reinterpret_cast<CheckJob*>(context)->connected, 1);
}

// The request step by step rather than by the all-in-one opener, which connects and waits for
// the answer before its handle could be given any time-out. False with the error when no answer
// came; the handles opened are left for the caller to close.
bool SendRequest(HINTERNET internet, CheckJob* job, HINTERNET* connection, HINTERNET* request, DWORD* error) {
    const wchar_t* url = job->url;
    const DWORD_PTR context = reinterpret_cast<DWORD_PTR>(job);
    *error = ERROR_INTERNET_INVALID_URL;
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = 1;   // pointers into url
    parts.dwUrlPathLength = 1;
    if (!InternetCrackUrlW(url, 0, 0, &parts) || !parts.lpszHostName || parts.dwHostNameLength == 0 ||
        parts.dwHostNameLength >= 256 || (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS))
        return false;
    wchar_t host[256];
    lstrcpynW(host, parts.lpszHostName, static_cast<int>(parts.dwHostNameLength) + 1);
    // The path runs on into the query to the end of the address.
    const wchar_t* object = parts.lpszUrlPath && parts.lpszUrlPath[0] ? parts.lpszUrlPath : L"/";
    *connection = InternetConnectW(internet, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, context);
    if (!*connection) {
        *error = GetLastError();
        return false;
    }
    LimitWaits(*connection, job->serviceTimeoutMs);
    // A reply from the cache could be days old: always ask the service itself.
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
    *request = HttpOpenRequestW(*connection, L"GET", object, nullptr, nullptr, nullptr, flags, context);
    if (!*request) {
        *error = GetLastError();
        return false;
    }
    LimitWaits(*request, job->serviceTimeoutMs);
    if (HttpSendRequestW(*request, nullptr, 0, nullptr, 0)) return true;
    *error = GetLastError();
    return false;
}

// A service that took the connection and then broke off, or said nothing in time, gave no
// recognisable reply; one that could not be reached at all is reported as such.
bool AnsweredBadly(DWORD error) {
    return error == ERROR_INTERNET_CONNECTION_ABORTED || error == ERROR_INTERNET_CONNECTION_RESET ||
           error == ERROR_HTTP_INVALID_SERVER_RESPONSE;
}

DWORD WINAPI UpdateCheckThread(void* parameter) {
    auto* job = static_cast<CheckJob*>(parameter);
    job->reply.outcome = UpdateOutcome::Unrecognised;
    HINTERNET internet = InternetOpenW(UiString(IDS_PRODUCT), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!internet) {
        job->failure = IDS_UPDATE_INIT_FAIL;
    } else {
        LimitWaits(internet, job->serviceTimeoutMs);
        InternetSetStatusCallbackW(internet, OnRequestStatus);
        HINTERNET connection = nullptr, request = nullptr;
        DWORD error = 0;
        if (SendRequest(internet, job, &connection, &request, &error)) {
            char body[kReplyBytes + 1] = {};
            DWORD filled = 0;
            if (AnsweredOk(request) && ReadReply(job, request, body, filled)) job->reply = ParseUpdateReply(body, filled);
        } else if (!job->connected && !AnsweredBadly(error)) {
            job->failure = IDS_UPDATE_NO_CONNECT;
        }
        if (request) InternetCloseHandle(request);
        if (connection) InternetCloseHandle(connection);
        InternetCloseHandle(internet);
    }
    // Only the user-interface thread touches the settings, the pending address and the windows.
    // A check already reported at its deadline has nobody left to hand its result to.
    HWND resultWindow = job->resultWindow;
    if (InterlockedCompareExchange(&job->state, kFinished, kRunning) == kAbandoned) {
        HeapFree(GetProcessHeap(), 0, job);
        return 0;
    }
    PostMessageW(resultWindow, kResultMessage, 0, reinterpret_cast<LPARAM>(job));
    return 0;
}

// A check this program started and has not reported yet, found by its address alone: a number
// that came in a message is compared, never followed.
CheckJob* StartedJob(UINT_PTR address) {
    for (CheckJob* job = updateCheck.jobs; job; job = job->next)
        if (reinterpret_cast<UINT_PTR>(job) == address) return job;
    return nullptr;
}

void ForgetJob(CheckJob* job) {
    for (CheckJob** at = &updateCheck.jobs; *at; at = &(*at)->next) {
        if (*at == job) {
            *at = job->next;
            break;
        }
    }
    if (updateCheck.resultWindow) KillTimer(updateCheck.resultWindow, reinterpret_cast<UINT_PTR>(job));
}

// The About dialog may have closed meanwhile, and its handle may since name another window.
bool IsOwnLiveWindow(HWND window) {
    DWORD process = 0;
    return IsWindow(window) && GetWindowThreadProcessId(window, &process) && process == GetCurrentProcessId();
}

void Announce(const wchar_t* outcomeText, const wchar_t* address) {
    wchar_t text[kTextUnits];
    if (!ComposeAnnouncement(outcomeText, UiString(IDS_UPDATE_CLICK_ICON), text, kTextUnits)) return;
    lstrcpynW(updateCheck.pendingDownloadUrl, address, kAddressUnits);
    if (!app.statusBar) return;
    SendMessageW(app.statusBar, SB_SETICON, 7, reinterpret_cast<LPARAM>(app.iconWarning));
    SendMessageW(app.statusBar, SB_SETTEXTW, 7, reinterpret_cast<LPARAM>(text));
    SendMessageW(app.statusBar, SB_SETTIPTEXTW, 7, reinterpret_cast<LPARAM>(text));
}

void ApplyResult(CheckJob* job) {
    ForgetJob(job);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    const UpdateReply& reply = job->reply;
    wchar_t text[kTextUnits] = L"";
    bool recognised = !job->failure && reply.outcome != UpdateOutcome::Unrecognised &&
                      ComposeOutcomeText(reply, text, kTextUnits);
    if (job->linkWindow) {
        UINT failure = job->failure ? job->failure : IDS_UPDATE_BAD_REPLY;
        if (IsOwnLiveWindow(job->linkWindow)) SetWindowTextW(job->linkWindow, recognised ? text : UiString(failure));
    } else if (recognised && reply.outcome != UpdateOutcome::NoUpdate) {
        Announce(text, reply.address);
    }
    if (recognised) {
        // The next automatic check counts from this start, not from the moment of the reply.
        uint32_t previous = settings.lastCheck;
        settings.lastCheck = settings.startMinute;
        if (!StoreCheckResult(kVersionCode)) settings.lastCheck = previous;
        if (!job->linkWindow && reply.outcome == UpdateOutcome::NoUpdate) ShowUpdateSchedule();
    }
    HeapFree(GetProcessHeap(), 0, job);
}

void ReportFailure(HWND linkWindow, UINT text);

// The check's deadline: whatever the service still does, the check ends now, as a connection
// that never came or as a reply that never came. The thread frees the job when it ends.
void EndAtDeadline(CheckJob* job) {
    KillTimer(updateCheck.resultWindow, reinterpret_cast<UINT_PTR>(job));
    const bool connected = job->connected != 0;
    HWND linkWindow = job->linkWindow;
    if (InterlockedCompareExchange(&job->state, kAbandoned, kRunning) != kRunning) {
        ApplyResult(job);   // finished meanwhile: its report is on the way, or was lost
        return;
    }
    ForgetJob(job);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    ReportFailure(linkWindow, connected ? IDS_UPDATE_BAD_REPLY : IDS_UPDATE_NO_CONNECT);
}

// Any process can find this window and send or post to it: only a report posted to this thread
// of a check it started and whose thread has finished is taken.
LRESULT CALLBACK ResultWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kResultMessage) {
        CheckJob* job = InSendMessageEx(nullptr) == ISMEX_NOSEND ? StartedJob(static_cast<UINT_PTR>(lParam)) : nullptr;
        if (job && job->state == kFinished) ApplyResult(job);
        return 0;
    }
    if (message == WM_TIMER) {
        if (CheckJob* job = StartedJob(wParam)) EndAtDeadline(job);
        else KillTimer(window, wParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND ResultWindow() {
    if (updateCheck.resultWindow) return updateCheck.resultWindow;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ResultWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kResultClass;
    RegisterClassW(&windowClass);
    updateCheck.resultWindow =
        CreateWindowExW(0, kResultClass, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    return updateCheck.resultWindow;
}

uint32_t ProcessorCode() {
    uint32_t code = IsProcessorFeaturePresent(13) ? 3 : IsProcessorFeaturePresent(10) ? 2 : IsProcessorFeaturePresent(6) ? 1 : 0;
    BOOL emulated = FALSE;
    if (optionalApi.IsWow64Process && optionalApi.IsWow64Process(GetCurrentProcess(), &emulated) && emulated) code += 4;
    return code;
}

uint32_t MakeInstallationId() {
    uint32_t os = InstallationOsCode(platformInfo.osMajor, platformInfo.osMinor);
    UUID uuid{};
    if (UuidCreate(&uuid) != RPC_S_UUID_NO_ADDRESS) return ComposeInstallationId(os, ProcessorCode(), uuid.Data4, 0);
    srand(static_cast<unsigned>(_time64(nullptr)));
    return ComposeInstallationId(os, ProcessorCode(), nullptr, static_cast<uint32_t>(rand()));
}

// A page on the update service's host, in the browser.
void OpenServicePage(const wchar_t* path, const wchar_t* suffix) {
    wchar_t service[kRequestUnits], page[1025];
    ServiceUrl(service, kRequestUnits);
    // The page is built from an address anyone can set in the environment: the shell would open
    // any program or document it names, so it passes the download address's test first.
    if (ComposeServicePage(service, path, suffix, page, 1025) && IsSafeWebAddress(page, 1025))
        ShellExecuteW(app.mainWindow, nullptr, page, nullptr, nullptr, SW_SHOWDEFAULT);
}

void ReportFailure(HWND linkWindow, UINT text) {
    if (linkWindow && IsOwnLiveWindow(linkWindow)) SetWindowTextW(linkWindow, UiString(text));
}

}  // namespace

UpdateReply ParseUpdateReply(const char* data, size_t size) {
    UpdateReply reply{};
    reply.outcome = UpdateOutcome::Unrecognised;
    if (!data) return reply;
    size = strnlen(data, size);   // the reply is a NUL-terminated text
    if (size == 0 || !IsDigit(data[0])) return reply;
    size_t at = 0;
    uint32_t parts[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (at + 1 >= size || data[at] != '.' || !IsDigit(data[at + 1])) break;
            ++at;
        }
        parts[i] = ReadNumber(data, size, at);
    }
    const char* mark = static_cast<const char*>(memchr(data, '>', size));
    if (!mark) return reply;
    const char* address = mark + 1;
    size_t length = static_cast<size_t>(data + size - address);
    while (length > 0 && IsBlankOrBreak(address[length - 1])) --length;
    if (length == 0 || length >= kAddressUnits * 3) return reply;
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, address, static_cast<int>(length), reply.address,
                                    kAddressUnits - 1);
    if (units <= 0) {
        reply.address[0] = L'\0';
        return reply;
    }
    reply.address[units] = L'\0';
    if (!IsSafeDownloadAddress(reply.address)) {
        reply.address[0] = L'\0';
        return reply;
    }
    reply.major = parts[0];
    reply.minor = parts[1];
    reply.patch = parts[2];
    reply.outcome = OutcomeOf(parts[0], parts[1], parts[2]);
    return reply;
}

size_t WebSchemeLength(const wchar_t* address) {
    if (!address) return 0;
    return StartsWithIgnoringCase(address, L"https://") ? 8 : StartsWithIgnoringCase(address, L"http://") ? 7 : 0;
}

bool IsSafeWebAddress(const wchar_t* address, size_t units) {
    size_t scheme = WebSchemeLength(address);
    if (!scheme || !address[scheme]) return false;
    size_t length = 0;
    for (; address[length]; ++length)
        if (length + 1 >= units || IsForbiddenInAddress(address[length])) return false;
    return true;
}

bool IsSafeDownloadAddress(const wchar_t* address) { return IsSafeWebAddress(address, kAddressUnits); }

bool ComposeOutcomeText(const UpdateReply& reply, wchar_t* out, size_t units) {
    if (!out || units == 0) return false;
    out[0] = L'\0';
    UINT format = 0;
    switch (reply.outcome) {
    case UpdateOutcome::NoUpdate: return CopyFits(out, units, UiString(IDS_UPDATE_NONE));
    case UpdateOutcome::NewVersion: format = IDS_UPDATE_NEW; break;
    case UpdateOutcome::Upgrade: format = IDS_UPDATE_UPGRADE; break;
    case UpdateOutcome::Stability: format = IDS_UPDATE_STABILITY; break;
    default: return false;
    }
    // wsprintfW writes at most 1,024 units: the strings and a 127-unit address stay far below.
    wchar_t text[1025];
    wsprintfW(text, UiString(format), reply.major, reply.minor, reply.patch, reply.address);
    return CopyFits(out, units, text);
}

bool ComposeAnnouncement(const wchar_t* outcomeText, const wchar_t* iconHint, wchar_t* out, size_t units) {
    if (!out || units == 0 || !outcomeText || !iconHint) return false;
    out[0] = L'\0';
    size_t cut = 0;
    while (outcomeText[cut] && outcomeText[cut] != L'<') ++cut;
    size_t hint = lstrlenW(iconHint);
    if (cut + hint >= units) return false;
    memcpy(out, outcomeText, cut * sizeof(wchar_t));
    memcpy(out + cut, iconHint, (hint + 1) * sizeof(wchar_t));
    return true;
}

bool ComposeRequestUrl(const wchar_t* serviceUrl, uint32_t installed, uint32_t language, uint32_t repo,
                       wchar_t* out, size_t units) {
    if (!serviceUrl || !out || units == 0) return false;
    out[0] = L'\0';
    unsigned first = installed == 0, upgraded = installed != 0 && installed != kVersionCode;
    wchar_t query[128];
    wsprintfW(query, L"?i=%u&u=%u&l=%u&f=%08x&v=%u.%u.%u.%u", first, upgraded, language, repo, kVersionMajor,
              kVersionMinor, kVersionPatch, kVersionBuild);
    size_t service = lstrlenW(serviceUrl), tail = lstrlenW(query);
    if (service + tail > kRequestUnits - 1 || service + tail >= units) return false;
    memcpy(out, serviceUrl, service * sizeof(wchar_t));
    memcpy(out + service, query, (tail + 1) * sizeof(wchar_t));
    return true;
}

bool ComposeServicePage(const wchar_t* serviceUrl, const wchar_t* path, const wchar_t* suffix, wchar_t* out,
                        size_t units) {
    if (!serviceUrl || !path || !suffix || !out || units == 0) return false;
    out[0] = L'\0';
    const wchar_t* separator = wcsstr(serviceUrl, L"://");
    if (!separator || separator == serviceUrl) return false;
    const wchar_t* host = separator + 3;
    size_t hostLength = 0;
    while (host[hostLength] && host[hostLength] != L'/' && host[hostLength] != L'?' && host[hostLength] != L'#')
        ++hostLength;
    if (hostLength == 0) return false;
    size_t origin = static_cast<size_t>(host - serviceUrl) + hostLength;
    size_t pathLength = lstrlenW(path), suffixLength = lstrlenW(suffix);
    if (origin + pathLength + suffixLength >= units) return false;
    memcpy(out, serviceUrl, origin * sizeof(wchar_t));
    memcpy(out + origin, path, pathLength * sizeof(wchar_t));
    memcpy(out + origin + pathLength, suffix, (suffixLength + 1) * sizeof(wchar_t));
    return true;
}

uint32_t InstallationOsCode(uint32_t major, uint32_t minor) {
    if (major < 5) return 0;
    if (major == 5) return minor < 15 ? minor : 15;
    if (major == 6) return minor + 3 < 7 ? minor + 3 : 7;
    return major < 10 ? 7 : 8;
}

uint32_t ComposeInstallationId(uint32_t osCode, uint32_t processorCode, const uint8_t* uuidTail, uint32_t random) {
    uint32_t low = random & 0xFFFF;
    if (uuidTail) {   // bytes 8 to 15 of the UUID
        low = static_cast<uint32_t>(uuidTail[7] ^ uuidTail[4]) | static_cast<uint32_t>(uuidTail[6] ^ uuidTail[3]) << 8 |
              static_cast<uint32_t>((uuidTail[5] ^ uuidTail[2]) | 0x02) << 16;
    }
    uint32_t id = (osCode & 15) << 28 | (processorCode & 15) << 24 | low;
    return id ? id : 1;   // 0 means "not made yet", which would make a new one at every check
}

bool StartUpdateCheck(HWND linkWindow) {
    HWND resultWindow = ResultWindow();
    auto* job = static_cast<CheckJob*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(CheckJob)));
    if (!resultWindow || !job) {
        if (job) HeapFree(GetProcessHeap(), 0, job);
        ReportFailure(linkWindow, IDS_UPDATE_INIT_FAIL);
        return false;
    }
    if (settings.repo == 0) {
        settings.repo = MakeInstallationId();
        StoreSetting(SV_REPO);
    }
    LANGID language = PickResourceLanguage(RT_DIALOG, MAKEINTRESOURCEW(IDD_ABOUT));
    wchar_t service[kRequestUnits];
    ServiceUrl(service, kRequestUnits);
    job->linkWindow = linkWindow;
    job->resultWindow = resultWindow;
    job->started = GetTickCount();
    job->serviceTimeoutMs = updateCheck.serviceTimeoutMs;
    job->budgetMs = updateCheck.budgetMs;
    job->state = kRunning;
    HANDLE thread = nullptr;
    if (ComposeRequestUrl(service, ReadInstalledVersion(), language & 0x3FF, settings.repo, job->url, kRequestUnits) &&
        SetTimer(resultWindow, reinterpret_cast<UINT_PTR>(job), job->budgetMs, nullptr)) {
        job->next = updateCheck.jobs;
        updateCheck.jobs = job;
        thread = CreateThread(nullptr, 0, UpdateCheckThread, job, 0, nullptr);
    }
    if (!thread) {
        ForgetJob(job);
        HeapFree(GetProcessHeap(), 0, job);
        ReportFailure(linkWindow, IDS_UPDATE_INIT_FAIL);
        return false;
    }
    CloseHandle(thread);
    return true;
}

bool OpenPendingDownload() {
    if (!updateCheck.pendingDownloadUrl[0]) return false;
    wchar_t address[kAddressUnits];
    lstrcpynW(address, updateCheck.pendingDownloadUrl, kAddressUnits);
    updateCheck.pendingDownloadUrl[0] = L'\0';
    // Checked again here: the shell opens whatever it is handed.
    if (IsSafeDownloadAddress(address)) ShellExecuteW(app.mainWindow, nullptr, address, nullptr, nullptr, SW_SHOWDEFAULT);
    return true;
}

void DonateCommand() { OpenServicePage(kDonationPath, UiString(IDS_DONATE_LANGUAGE)); }

void OpenProductPage() { OpenServicePage(kProductPath, L""); }
