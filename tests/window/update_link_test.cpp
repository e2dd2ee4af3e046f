// The update check started from a link control, as the About dialog starts it: real requests to
// the reference service on 127.0.0.1, the link's texts and the registry values they leave.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include "harness.h"
#include "update_service.h"
#include "update/update.h"
#include "persist/settings.h"
#include "dialogs/ui.h"
#include "dialogs/common.h"
#include "ids.h"

namespace {

constexpr wchar_t kKey[] = L"Software\\Skelby\\Brindle";
constexpr uint32_t kStartMinute = 213000000;

bool Stored(const wchar_t* name, DWORD& value) {
    DWORD size = sizeof(value);
    return RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS;
}

class UpdateLink : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(updateservice::Base().empty()) << "the reference update service is started by tools/test.sh";
        GetEnvironmentVariableW(L"BRINDLE_UPDATE_URL", savedUrl, 512);
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        SetDefaultSettings();
        settings.startMinute = kStartMinute;
        // The services that never answer are waited for as long as the checks allow: shorter here.
        updateCheck.serviceTimeoutMs = 1500;
        updateCheck.budgetMs = 3000;
    }
    void TearDown() override {
        updateCheck.serviceTimeoutMs = kServiceTimeoutMs;
        updateCheck.budgetMs = kCheckBudgetMs;
        SetEnvironmentVariableW(L"BRINDLE_UPDATE_URL", savedUrl[0] ? savedUrl : nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        SetDefaultSettings();
    }
    // A check of `reply` reported to a fresh static control, as the About dialog's link would be.
    std::wstring Check(const std::string& reply, const std::wstring& service = L"") {
        std::wstring token = updateservice::NewToken();
        EXPECT_TRUE(updateservice::SetReply(token, reply));
        return Ended(service.empty() ? updateservice::ServiceUrl(token) : service);
    }
    // What the link says once a check of `service` has ended, or after `waitMs`.
    std::wstring Ended(const std::wstring& service, DWORD waitMs = 5000) {
        SetEnvironmentVariableW(L"BRINDLE_UPDATE_URL", service.c_str());
        HWND link = CreateWindowExW(0, L"Static", UiString(IDS_UPDATE_CONNECTING), WS_POPUP, 0, 0, 400, 40, nullptr,
                                    nullptr, nullptr, nullptr);
        EXPECT_TRUE(StartUpdateCheck(link));
        std::wstring connecting = UiString(IDS_UPDATE_CONNECTING);
        harness::WaitUntil([&] { return harness::WindowText(link) != connecting; }, waitMs);
        std::wstring text = harness::WindowText(link);
        DestroyWindow(link);
        return text;
    }
    wchar_t savedUrl[512] = L"";
};

std::wstring Offer(UINT format, const wchar_t* version, const std::wstring& address) {
    std::wstring text = UiString(format);
    text.replace(text.find(L"%u.%u.%u"), 8, version);
    text.replace(text.find(L"%s"), 2, address);
    return text;
}

}  // namespace

TEST_F(UpdateLink, EachVersionGivesItsTextAndIsStored) {
    std::wstring address = updateservice::Base() + L"/get/brindle.exe";
    std::string reply(">");
    reply += harness::Utf8(address) + "\r\n";
    EXPECT_EQ(L"No update is available.", Check("1.7.1" + reply));
    DWORD installed = 0, lastCheck = 0;
    ASSERT_TRUE(Stored(L"installed", installed));
    EXPECT_EQ(67329u, installed);
    ASSERT_TRUE(Stored(L"last check", lastCheck));
    EXPECT_EQ(kStartMinute, lastCheck);
    EXPECT_EQ(Offer(IDS_UPDATE_STABILITY, L"1.7.2", address), Check("1.7.2" + reply));
    EXPECT_EQ(Offer(IDS_UPDATE_UPGRADE, L"1.8.0", address), Check("1.8.0" + reply));
    EXPECT_EQ(Offer(IDS_UPDATE_NEW, L"2.0.0", address), Check("2.0.0" + reply));
    EXPECT_EQ(L"No update is available.", Check("1.6.9" + reply));
    EXPECT_EQ(kStartMinute, settings.lastCheck);
}

TEST_F(UpdateLink, UnrecognisedRepliesOfferToTryAgainAndStoreNothing) {
    const std::string replies[] = {
        "1.8.0", "", "<html><head><title>502 Bad Gateway</title></head><body>proxy</body></html>",
        "1.8.0>http://127.0.0.1/" + std::string(200 - 17, 'a'), "1.8.0>file:///C:/windows/system32/calc.exe",
        "1.8.0>javascript:alert(1)", "1.8.0>http://127.0.0.1/a\" onclick=\"x",
        // Longer than the reply buffer: the address would arrive cut, as "http://127.0.0.1/download/b".
        "1.8.0" + std::string(990, ' ') + ">http://127.0.0.1/download/brindle-setup.exe",
    };
    for (const std::string& reply : replies)
        EXPECT_EQ(std::wstring(UiString(IDS_UPDATE_BAD_REPLY)), Check(reply)) << reply;
    DWORD value = 0;
    EXPECT_FALSE(Stored(L"installed", value));
    EXPECT_FALSE(Stored(L"last check", value));
    EXPECT_EQ(0u, settings.lastCheck);
}

TEST_F(UpdateLink, RefusedConnectionOffersToTryAgain) {
    EXPECT_EQ(std::wstring(UiString(IDS_UPDATE_NO_CONNECT)), Check("1.8.0>http://127.0.0.1/a", updateservice::ClosedPortUrl()));
    DWORD value = 0;
    EXPECT_FALSE(Stored(L"installed", value));
}

// The About dialog's link, clicked when the check cannot start (a service address too long for
// the request): the link says so instead of blaming a reply that never came.
TEST_F(UpdateLink, CheckThatCannotStartSaysSoOnTheLink) {
    SetEnvironmentVariableW(L"BRINDLE_UPDATE_URL", (L"http://127.0.0.1/" + std::wstring(2020, L'a')).c_str());
    HWND dialog = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 400, 60, nullptr, nullptr, nullptr, nullptr);
    HWND link = CreateWindowExW(0, L"Static", L"", WS_CHILD, 0, 0, 400, 40, dialog, nullptr, nullptr, nullptr);
    NMLINK click{};
    click.hdr = {link, IDC_UPDATE_LINK, static_cast<UINT>(NM_CLICK)};
    lstrcpyW(click.item.szUrl, L"check");
    CommonDialogProc(dialog, WM_NOTIFY, IDC_UPDATE_LINK, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(std::wstring(UiString(IDS_UPDATE_INIT_FAIL)), harness::WindowText(link));
    DestroyWindow(dialog);
}

// A service that takes the connection and never answers: the check gives up after its time-out
// instead of showing "Connecting" for as long as the service holds the line.
TEST_F(UpdateLink, SilentServiceEndsAsUnrecognised) {
    std::wstring token = updateservice::NewToken();
    ASSERT_TRUE(updateservice::SetReply(token, "1.8.0>http://127.0.0.1/a"));
    EXPECT_EQ(std::wstring(UiString(IDS_UPDATE_BAD_REPLY)),
              Ended(updateservice::Base() + L"/t/" + token + L"/silent/brindle.php", 40000));
    EXPECT_EQ(1u, updateservice::Requests(token).size());
}

// A service whose connection never completes (its queue of connections waiting to be accepted
// is full): the check ends as a failure to connect, not as a reply that never came.
TEST_F(UpdateLink, ConnectionThatNeverCompletesIsAFailureToConnect) {
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof(address);
    ASSERT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)));
    ASSERT_EQ(0, listen(listener, 0));
    ASSERT_EQ(0, getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size));
    SOCKET queued = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(0, connect(queued, reinterpret_cast<sockaddr*>(&address), sizeof(address)));
    wchar_t url[128];
    wsprintfW(url, L"http://127.0.0.1:%u/skelby/services/brindle.php", ntohs(address.sin_port));
    EXPECT_EQ(std::wstring(UiString(IDS_UPDATE_NO_CONNECT)), Ended(url, 30000));
    closesocket(queued);
    closesocket(listener);
    WSACleanup();
}

// The longest address arrives whole in a real link control, ready to be clicked.
TEST_F(UpdateLink, LinkControlCarriesTheWholeAddress) {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_LINK_CLASS};
    InitCommonControlsEx(&classes);
    std::wstring address = updateservice::Base() + L"/" + std::wstring(127 - updateservice::Base().size() - 1, L'd');
    ASSERT_EQ(127u, address.size());
    std::wstring token = updateservice::NewToken();
    ASSERT_TRUE(updateservice::SetReply(token, "1.7.2>" + harness::Utf8(address)));
    SetEnvironmentVariableW(L"BRINDLE_UPDATE_URL", updateservice::ServiceUrl(token).c_str());
    HWND parent = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 600, 60, nullptr, nullptr, nullptr, nullptr);
    HWND link = CreateWindowExW(0, WC_LINK, UiString(IDS_UPDATE_CONNECTING), WS_CHILD | WS_VISIBLE, 0, 0, 600, 40, parent,
                                nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, link);
    ASSERT_TRUE(StartUpdateCheck(link));
    LITEM item{};
    item.mask = LIF_ITEMINDEX | LIF_URL;
    EXPECT_TRUE(harness::WaitUntil([&] { return SendMessageW(link, LM_GETITEM, 0, reinterpret_cast<LPARAM>(&item)); }));
    EXPECT_EQ(address, item.szUrl);
    DestroyWindow(parent);
}

// A dialog closed before the reply arrives: the result is kept, its vanished link is not touched.
TEST_F(UpdateLink, ClosedLinkIsLeftAlone) {
    std::wstring token = updateservice::NewToken();
    ASSERT_TRUE(updateservice::SetReply(token, "1.7.1>http://127.0.0.1/a"));
    SetEnvironmentVariableW(L"BRINDLE_UPDATE_URL", updateservice::ServiceUrl(token).c_str());
    HWND link = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(StartUpdateCheck(link));
    DestroyWindow(link);
    DWORD installed = 0;
    EXPECT_TRUE(harness::WaitUntil([&] { return Stored(L"installed", installed); }));
    EXPECT_EQ(1u, updateservice::Requests(token).size());
}
