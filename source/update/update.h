// The update check and the donation page.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>

void DonateCommand();                  // 1905
// Starts the check thread: linkWindow is the About dialog's link control, or null for the
// automatic check (command 1907). True when the thread started.
bool StartUpdateCheck(HWND linkWindow);
// Click on status part 7: true when an address was pending (it is then forgotten); it is opened
// only if it still passes the address check.
bool OpenPendingDownload();
void OpenProductPage();                // double click on status part 8

constexpr DWORD kServiceTimeoutMs = 15000;     // connecting, sending and each wait for reply data
constexpr DWORD kCheckBudgetMs = 25000;        // the whole check, whatever the service does

// The update check's process-wide state; touched only by the user-interface thread.
struct CheckJob;
struct UpdateCheck {
    HWND resultWindow;                 // message-only window that receives the check thread's results
    wchar_t pendingDownloadUrl[128];   // empty when nothing is pending
    CheckJob* jobs;                    // checks started and not reported yet
    // The waits of a check, taken by each check when it starts (tests shorten them).
    DWORD serviceTimeoutMs = kServiceTimeoutMs;
    DWORD budgetMs = kCheckBudgetMs;
};
extern UpdateCheck updateCheck;

// This program's version as the service sees it.
constexpr uint32_t kVersionMajor = 1, kVersionMinor = 7, kVersionPatch = 1, kVersionBuild = 2982;
constexpr uint32_t kVersionCode = kVersionMajor << 16 | kVersionMinor << 8 | kVersionPatch;   // 67329
constexpr uint32_t kReplyBytes = 1023;         // a reply must fit in this many bytes
constexpr size_t kAddressUnits = 128;          // download address with its terminator
constexpr size_t kRequestUnits = 2049;         // request URL with its terminator
constexpr uint32_t kCheckIntervalMinutes = 4320;

enum class UpdateOutcome { Unrecognised, NoUpdate, NewVersion, Upgrade, Stability };

struct UpdateReply {
    UpdateOutcome outcome;
    uint32_t major, minor, patch;
    wchar_t address[kAddressUnits];    // empty unless recognised
};

// The reply grammar: a version "major.minor.patch" at the very start (digits, saturating; a part
// that cannot be read is 0), anything, the first ">", then the download address in UTF-8 to the
// end of the data (or its first NUL), trailing line breaks and blanks dropped. Anything else,
// and any address that fails IsSafeDownloadAddress, is unrecognised.
UpdateReply ParseUpdateReply(const char* data, size_t size);
// 8 for an address beginning "https://", 7 for "http://" (any case), else 0.
size_t WebSchemeLength(const wchar_t* address);
// An address the shell may open: non-empty, "http://" or "https://" (any case), no control
// characters, blanks, quotes, "<" or ">", and shorter than kAddressUnits.
bool IsSafeDownloadAddress(const wchar_t* address);
// The same test for an address of up to `units` units with its terminator.
bool IsSafeWebAddress(const wchar_t* address, size_t units);
// The outcome text of a recognised reply (link markup included), always terminated. False when
// it does not fit.
bool ComposeOutcomeText(const UpdateReply& reply, wchar_t* out, size_t units);
// The status bar's announcement: the outcome text cut before its link, then the icon hint.
bool ComposeAnnouncement(const wchar_t* outcomeText, const wchar_t* iconHint, wchar_t* out, size_t units);

// "service?i=..&u=..&l=..&f=%08x&v=1.7.1.2982"; false when it would exceed the request limit.
bool ComposeRequestUrl(const wchar_t* serviceUrl, uint32_t installed, uint32_t language, uint32_t repo,
                       wchar_t* out, size_t units);
// Scheme, host and port of the service followed by `path` and `suffix`: the donation and product
// pages live on the service's host. False when the service address has no "scheme://host".
bool ComposeServicePage(const wchar_t* serviceUrl, const wchar_t* path, const wchar_t* suffix, wchar_t* out,
                        size_t units);

// The installation identifier from its parts: the system version, the processor code (0..3 by
// SSE level, plus 4 under 32-bit emulation), and either bytes 8 to 15 of a fresh UUID or, when
// none could be made (null), a random number of which the low 16 bits are used.
uint32_t InstallationOsCode(uint32_t major, uint32_t minor);
uint32_t ComposeInstallationId(uint32_t osCode, uint32_t processorCode, const uint8_t* uuidTail, uint32_t random);

// The automatic trigger at window creation: on, and more than three days since the last check.
inline bool UpdateCheckDue(uint32_t autoCheck, uint32_t startMinute, uint32_t lastCheck) {
    return autoCheck && startMinute > lastCheck + kCheckIntervalMinutes;
}
