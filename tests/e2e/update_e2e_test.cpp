// The automatic update check seen from outside: brindle.exe asks the reference service on
// 127.0.0.1, announces in status part 7, opens the download on a click, and stores its values.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <string>
#include "harness.h"
#include "update_service.h"

namespace {

const wchar_t kKey[] = L"Software\\Skelby\\Brindle";
const std::wstring kBlank(32, L' ');
const std::wstring kAnnouncement =
    L"Upgrade to 1.8.0 is available. Click on this icon to navigate to download page.";

void SetSetting(const wchar_t* name, DWORD value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, REG_DWORD, &value, sizeof(value));
}
void DeleteSetting(const wchar_t* name) { RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, name); }
bool Stored(const wchar_t* name, DWORD& value) {
    DWORD size = sizeof(value);
    return RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS;
}

uint32_t NowMinute() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return static_cast<uint32_t>((static_cast<ULONGLONG>(now.dwHighDateTime) << 32 | now.dwLowDateTime) / 600000000ull);
}

// The shell opens addresses in the prefix's browser: here one that only fetches from 127.0.0.1,
// so the service records what was opened and nothing leaves the machine.
void UseLocalBrowser() {
    std::wstring browser;
    const char* script = BRINDLE_SOURCE_UNIX "/tests/support/local-browser.sh";
    for (const char* c = script; *c; ++c) browser += static_cast<wchar_t>(*c);
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", L"Browsers", REG_SZ, browser.c_str(),
                    static_cast<DWORD>((browser.size() + 1) * sizeof(wchar_t)));
}

void FreshInstallation() {
    for (const wchar_t* name : {L"repo", L"installed", L"last check", L"language"}) DeleteSetting(name);
    SetSetting(L"auto check", 1);
}

bool StartWithService(harness::Process& brindle, const std::wstring& service) {
    return harness::Start(brindle, L"", {L"BRINDLE_UPDATE_URL=" + service});
}

// The tip after a check without news: the next check three days after the given start minute.
std::wstring ScheduleTip(uint32_t startMinute) {
    ULARGE_INTEGER next;
    next.QuadPart = (static_cast<ULONGLONG>(startMinute) + 4320) * 600000000ull;
    FILETIME utc{next.LowPart, next.HighPart}, local;
    SYSTEMTIME t{};
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToSystemTime(&local, &t);
    wchar_t tip[128];
    wsprintfW(tip, L"No update is available. Next check is scheduled to %u.%u.%u %02u:%02u", t.wDay, t.wMonth, t.wYear,
              t.wHour, t.wMinute);
    return tip;
}

bool Requested(const std::wstring& token, const std::string& path) {
    for (const std::string& r : updateservice::Requests(token))
        if (r == path) return true;
    return false;
}

class UpdateE2E : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(updateservice::Base().empty()) << "the reference update service is started by tools/test.sh";
        UseLocalBrowser();
        FreshInstallation();
        ASSERT_TRUE(updateservice::SetReply(L"-", ""));   // forget pages opened earlier in the run
    }
    void TearDown() override { FreshInstallation(); }
};

}  // namespace

TEST_F(UpdateE2E, NewerVersionIsAnnouncedStoredAndOpenedOnClick) {
    std::wstring token = updateservice::NewToken();
    std::wstring download = updateservice::DownloadUrl(token);
    ASSERT_TRUE(updateservice::SetReply(token, "1.8.0 (notes)>" + harness::Utf8(download) + "\r\n"));
    uint32_t before = NowMinute();
    harness::Process brindle;
    ASSERT_TRUE(StartWithService(brindle, updateservice::ServiceUrl(token)));
    EXPECT_TRUE(harness::WaitUntil([&] { return harness::StatusText(brindle, 7) == kAnnouncement; })) << harness::Utf8(harness::StatusText(brindle, 7));
    EXPECT_EQ(kAnnouncement, harness::StatusTip(brindle, 7));
    EXPECT_NE(nullptr, harness::StatusIcon(brindle, 7));

    // The first check makes the identifier, stores it and sends it.
    std::vector<std::string> requests = updateservice::Requests(token);
    ASSERT_EQ(1u, requests.size());
    DWORD repo = 0, installed = 0, lastCheck = 0;
    ASSERT_TRUE(Stored(L"repo", repo));
    EXPECT_NE(0u, repo);
    char hex[16];
    snprintf(hex, sizeof(hex), "%08lx", repo);
    EXPECT_EQ(hex, updateservice::Field(requests[0], "f"));
    EXPECT_EQ("1", updateservice::Field(requests[0], "i"));
    EXPECT_EQ("0", updateservice::Field(requests[0], "u"));
    EXPECT_EQ("9", updateservice::Field(requests[0], "l"));
    EXPECT_EQ("1.7.1.2982", updateservice::Field(requests[0], "v"));
    ASSERT_TRUE(Stored(L"installed", installed));
    EXPECT_EQ(67329u, installed);
    ASSERT_TRUE(Stored(L"last check", lastCheck));
    EXPECT_GE(lastCheck, before);
    EXPECT_LE(lastCheck, NowMinute());

    // A click opens the download page and clears the part.
    harness::ClickStatus(brindle, 7);
    EXPECT_TRUE(harness::WaitUntil([&] { return harness::StatusText(brindle, 7) == kBlank; }));
    EXPECT_EQ(nullptr, harness::StatusIcon(brindle, 7));
    EXPECT_EQ(ScheduleTip(lastCheck), harness::StatusTip(brindle, 7));
    std::string downloadPath = harness::Utf8(download.substr(updateservice::Base().size()));
    EXPECT_TRUE(harness::WaitUntil([&] { return Requested(token, downloadPath); }, 15000));
    // A second click has nothing left to open.
    harness::ClickStatus(brindle, 7);
    harness::Pump(300);
    EXPECT_EQ(2u, updateservice::Requests(token).size());
    EXPECT_EQ(0u, harness::Close(brindle));

    // After an upgrade ("installed" older), the same identifier goes out with u=1; no news is quiet.
    SetSetting(L"installed", 67328);
    SetSetting(L"last check", 0);
    std::wstring second = updateservice::NewToken();
    ASSERT_TRUE(updateservice::SetReply(second, "1.7.1>http://127.0.0.1/brindle.exe\n"));
    before = NowMinute();
    ASSERT_TRUE(StartWithService(brindle, updateservice::ServiceUrl(second)));
    EXPECT_TRUE(harness::WaitUntil([&] { return Stored(L"installed", installed) && installed == 67329; }));
    requests = updateservice::Requests(second);
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(hex, updateservice::Field(requests[0], "f"));
    EXPECT_EQ("0", updateservice::Field(requests[0], "i"));
    EXPECT_EQ("1", updateservice::Field(requests[0], "u"));
    ASSERT_TRUE(Stored(L"last check", lastCheck));
    EXPECT_TRUE(harness::WaitUntil([&] { return harness::StatusTip(brindle, 7) == ScheduleTip(lastCheck); }));
    EXPECT_EQ(kBlank, harness::StatusText(brindle, 7));
    EXPECT_EQ(nullptr, harness::StatusIcon(brindle, 7));
    EXPECT_EQ(0u, harness::Close(brindle));
}

// Czech interface: l=5 in the request and "cz" on the donation page; an error page is no reply.
TEST_F(UpdateE2E, CzechInterfaceAndAnErrorPage) {
    SetSetting(L"language", 1029);
    std::wstring token = updateservice::NewToken();
    ASSERT_TRUE(updateservice::SetReply(token, "<html><body><h1>503 Service Unavailable</h1></body></html>"));
    harness::Process brindle;
    ASSERT_TRUE(StartWithService(brindle, updateservice::ServiceUrl(token)));
    ASSERT_TRUE(harness::WaitUntil([&] { return updateservice::Requests(token).size() == 1; }));
    EXPECT_EQ("5", updateservice::Field(updateservice::Requests(token)[0], "l"));
    // Opening the donation page goes through the same message queue, after the check's report.
    PostMessageW(brindle.main, WM_COMMAND, 1905, 0);
    EXPECT_TRUE(harness::WaitUntil([&] { return Requested(L"-", "/skelby/services/brindle.donate.php?language=cz"); }, 15000));
    // The product page (double click on the credit line) lives on the same host.
    harness::ClickStatus(brindle, 8, true);
    EXPECT_TRUE(harness::WaitUntil([&] { return Requested(L"-", "/"); }, 15000));
    DWORD value = 0;
    EXPECT_FALSE(Stored(L"installed", value));
    EXPECT_FALSE(Stored(L"last check", value));
    EXPECT_EQ(kBlank, harness::StatusText(brindle, 7));
    EXPECT_EQ(nullptr, harness::StatusIcon(brindle, 7));
    EXPECT_EQ(0u, harness::Close(brindle));
}

// Exactly three days after the last check is not yet due; one minute more is. Command 1906 turns
// the automatic check off and says so in the tip.
TEST_F(UpdateE2E, DueOnlyAfterMoreThanThreeDaysAndSwitchable) {
    std::wstring early = updateservice::NewToken();
    ASSERT_TRUE(updateservice::SetReply(early, "1.7.1>http://127.0.0.1/a"));
    uint32_t now = NowMinute();
    SetSetting(L"last check", now - 4320);
    harness::Process brindle;
    ASSERT_TRUE(StartWithService(brindle, updateservice::ServiceUrl(early)));
    harness::Pump(800);
    if (NowMinute() == now) {   // else the start may have fallen into the next minute
        EXPECT_EQ(0u, updateservice::Requests(early).size());
    }
    PostMessageW(brindle.main, WM_COMMAND, 1906, 0);
    std::wstring off = L"No update is available. Automatic checking is disabled, check manually in the About dialog.";
    EXPECT_TRUE(harness::WaitUntil([&] { return harness::StatusTip(brindle, 7) == off; }));
    DWORD autoCheck = 1;
    EXPECT_TRUE(Stored(L"auto check", autoCheck));
    EXPECT_EQ(0u, autoCheck);
    EXPECT_EQ(0u, harness::Close(brindle));

    SetSetting(L"auto check", 1);
    std::wstring due = updateservice::NewToken();
    ASSERT_TRUE(updateservice::SetReply(due, "1.7.1>http://127.0.0.1/a"));
    SetSetting(L"last check", NowMinute() - 4321);
    ASSERT_TRUE(StartWithService(brindle, updateservice::ServiceUrl(due)));
    EXPECT_TRUE(harness::WaitUntil([&] { return updateservice::Requests(due).size() == 1; }));
    EXPECT_EQ(0u, harness::Close(brindle));
}
