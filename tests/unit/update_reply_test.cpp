// The update check's pure parts: the reply grammar and its guards, the texts, the addresses,
// the installation identifier and the three-day rule.
#include <gtest/gtest.h>
#include <string>
#include "update/update.h"

namespace {

UpdateReply Parse(const std::string& reply) { return ParseUpdateReply(reply.data(), reply.size()); }

std::wstring OutcomeText(const std::string& reply) {
    wchar_t text[512];
    UpdateReply parsed = Parse(reply);
    return ComposeOutcomeText(parsed, text, 512) ? text : L"(none)";
}

}  // namespace

TEST(UpdateReply, VersionDecidesTheOutcome) {
    const struct { const char* reply; UpdateOutcome outcome; } cases[] = {
        {"1.7.1>http://h/a", UpdateOutcome::NoUpdate},   {"1.7.2>http://h/a", UpdateOutcome::Stability},
        {"1.8.0>http://h/a", UpdateOutcome::Upgrade},    {"2.0.0>http://h/a", UpdateOutcome::NewVersion},
        {"1.6.9>http://h/a", UpdateOutcome::NoUpdate},   {"0.99.99>http://h/a", UpdateOutcome::NoUpdate},
        {"1.7>http://h/a", UpdateOutcome::NoUpdate},     {"1.8 beta>http://h/a", UpdateOutcome::Upgrade},
        {"1.x.5>http://h/a", UpdateOutcome::NoUpdate},   {"1.7.1 build 3000 > http://h/a", UpdateOutcome::Unrecognised},
    };
    for (const auto& c : cases) EXPECT_EQ(c.outcome, Parse(c.reply).outcome) << c.reply;
    UpdateReply r = Parse("1.7.2 notes here >https://example.org/get?v=1.7.2&x=1\r\n \t\n");
    EXPECT_EQ(1u, r.major);
    EXPECT_EQ(7u, r.minor);
    EXPECT_EQ(2u, r.patch);
    EXPECT_STREQ(L"https://example.org/get?v=1.7.2&x=1", r.address);
}

// Large numbers stop at the maximum instead of wrapping round to an older version.
TEST(UpdateReply, VersionNumbersSaturate) {
    UpdateReply r = Parse("4294967297.0.0>http://h/a");
    EXPECT_EQ(0xFFFFFFFFu, r.major);
    EXPECT_EQ(UpdateOutcome::NewVersion, r.outcome);
    EXPECT_EQ(0xFFFFFFFFu, Parse("1.99999999999999999999.0>http://h/a").minor);
}

TEST(UpdateReply, ErrorPagesAndUnsafeAddressesAreUnrecognised) {
    const std::string bad[] = {
        "", "1.8.0", "1.8.0 http://h/a", "<html><body>Proxy error</body></html>",
        " 1.8.0>http://h/a", "v1.8.0>http://h/a", "1.8.0>", "1.8.0>\r\n", "1.8.0>http://", "1.8.0>file:///c:/x.exe",
        "1.8.0>javascript:alert(1)", "1.8.0>ftp://h/a", "1.8.0>http://h/a b", "1.8.0>http://h/\"a",
        "1.8.0>http://h/'a", "1.8.0>http://h/<a", "1.8.0>http://h/>a", "1.8.0>http://h/\x01" "a",
        "1.8.0>http://h/\xC2\xA0" "a", "1.8.0>http://h/\xFF\xFE", "1.8.0>http://h/" + std::string(200 - 9, 'a'),
    };
    for (const std::string& reply : bad) {
        UpdateReply r = Parse(reply);
        EXPECT_EQ(UpdateOutcome::Unrecognised, r.outcome) << reply;
        EXPECT_STREQ(L"", r.address) << reply;
    }
    // The reply ends at its first NUL, as the text it is.
    std::string withNul("1.8.0>http://h/a\0junk", 21);
    EXPECT_STREQ(L"http://h/a", Parse(withNul).address);
    EXPECT_EQ(UpdateOutcome::Unrecognised, ParseUpdateReply(nullptr, 4).outcome);
}

TEST(UpdateReply, AddressOf127UnitsIsTheLongestAccepted) {
    std::string address = "HTTP://h/" + std::string(127 - 9, 'a');
    UpdateReply r = Parse("1.8.0>" + address);
    ASSERT_EQ(UpdateOutcome::Upgrade, r.outcome);
    EXPECT_EQ(127u, wcslen(r.address));
    EXPECT_EQ(UpdateOutcome::Unrecognised, Parse("1.8.0>" + address + "a").outcome);
    // UTF-8 counts by the units it makes: 127 two-byte letters still fit.
    std::string czech = "http://h/";
    for (int i = 0; i < 127 - 9; ++i) czech += "\xC5\xA1";
    EXPECT_EQ(UpdateOutcome::Upgrade, Parse("1.8.0>" + czech).outcome);
}

// The whole text, link markup included, fits with the longest address.
TEST(UpdateReply, OutcomeTextsCarryTheLinkWhole) {
    EXPECT_EQ(L"No update is available.", OutcomeText("1.6.9>http://h/a"));
    EXPECT_EQ(L"Stability update to 1.7.2 is available. <a href=\"http://h/a\">Download here</a>", OutcomeText("1.7.2>http://h/a"));
    EXPECT_EQ(L"Upgrade to 1.8.0 is available. <a href=\"http://h/a\">Download here</a>", OutcomeText("1.8.0>http://h/a"));
    EXPECT_EQ(L"New Brindle, version 2.0.0 is available. <a href=\"http://h/a\">Download here</a>", OutcomeText("2.0.0>http://h/a"));
    std::string address = "http://h/" + std::string(127 - 9, 'z');
    std::wstring text = OutcomeText("4294967295.4294967295.4294967295>" + address);
    EXPECT_EQ(L"New Brindle, version 4294967295.4294967295.4294967295 is available. <a href=\"http://h/" +
                  std::wstring(127 - 9, L'z') + L"\">Download here</a>",
              text);
    wchar_t small[40];
    UpdateReply r = Parse("1.8.0>" + address);
    EXPECT_FALSE(ComposeOutcomeText(r, small, 40));
    EXPECT_STREQ(L"", small);
    EXPECT_EQ(L"(none)", OutcomeText("1.8.0"));
}

TEST(UpdateReply, AnnouncementDropsTheLink) {
    wchar_t text[128];
    ASSERT_TRUE(ComposeAnnouncement(L"Upgrade to 1.8.0 is available. <a href=\"x\">Download here</a>", L"Click.", text, 128));
    EXPECT_STREQ(L"Upgrade to 1.8.0 is available. Click.", text);
    EXPECT_FALSE(ComposeAnnouncement(L"0123456789<", L"0123456789", text, 20));
    EXPECT_TRUE(ComposeAnnouncement(L"012345678<", L"0123456789", text, 20));
}

TEST(UpdateReply, SafeAddressCheckStandsAlone) {
    EXPECT_TRUE(IsSafeDownloadAddress(L"https://h/a"));
    EXPECT_TRUE(IsSafeDownloadAddress(L"hTtP://h"));
    EXPECT_FALSE(IsSafeDownloadAddress(L""));
    EXPECT_FALSE(IsSafeDownloadAddress(nullptr));
    EXPECT_FALSE(IsSafeDownloadAddress(L"https://h/\u2028"));
    EXPECT_FALSE(IsSafeDownloadAddress(L"\\\\server\\share\\setup.exe"));
    EXPECT_FALSE(IsSafeDownloadAddress((L"http://h/" + std::wstring(119, L'a')).c_str()));
}

TEST(UpdateRequest, QueryCarriesTheInstallation) {
    wchar_t url[kRequestUnits];
    const wchar_t* service = L"http://127.0.0.1:8080/skelby/services/brindle.php";
    ASSERT_TRUE(ComposeRequestUrl(service, 0, 9, 0x1a2b3c, url, kRequestUnits));
    EXPECT_STREQ(L"http://127.0.0.1:8080/skelby/services/brindle.php?i=1&u=0&l=9&f=001a2b3c&v=1.7.1.2982", url);
    ASSERT_TRUE(ComposeRequestUrl(service, 67328, 5, 0x8F000001, url, kRequestUnits));
    EXPECT_STREQ(L"http://127.0.0.1:8080/skelby/services/brindle.php?i=0&u=1&l=5&f=8f000001&v=1.7.1.2982", url);
    ASSERT_TRUE(ComposeRequestUrl(service, 67329, 27, 1, url, kRequestUnits));
    EXPECT_STREQ(L"http://127.0.0.1:8080/skelby/services/brindle.php?i=0&u=0&l=27&f=00000001&v=1.7.1.2982", url);
    // At most 2,048 characters: a longer request is not sent cut short.
    ASSERT_TRUE(ComposeRequestUrl(service, 0, 9, 0, url, kRequestUnits));
    size_t query = wcslen(url) - wcslen(service);
    std::wstring longService = L"http://h/" + std::wstring(2048 - 9 - query, L'p');
    ASSERT_TRUE(ComposeRequestUrl(longService.c_str(), 0, 9, 0, url, kRequestUnits));
    EXPECT_EQ(2048u, wcslen(url));
    longService += L'p';
    EXPECT_FALSE(ComposeRequestUrl(longService.c_str(), 0, 9, 0, url, kRequestUnits));
}

TEST(UpdateRequest, PagesLiveOnTheServiceHost) {
    wchar_t page[1025];
    ASSERT_TRUE(ComposeServicePage(L"https://u.example:8443/x/brindle.php?q=1", L"/skelby/services/brindle.donate.php?language=",
                                   L"cz", page, 1025));
    EXPECT_STREQ(L"https://u.example:8443/skelby/services/brindle.donate.php?language=cz", page);
    ASSERT_TRUE(ComposeServicePage(L"http://127.0.0.1:9", L"/", L"", page, 1025));
    EXPECT_STREQ(L"http://127.0.0.1:9/", page);
    EXPECT_FALSE(ComposeServicePage(L"brindle.php", L"/", L"", page, 1025));
    EXPECT_FALSE(ComposeServicePage(L"http:///brindle.php", L"/", L"", page, 1025));
    EXPECT_FALSE(ComposeServicePage(L"http://h", L"/abc", L"", page, 10));
}

TEST(InstallationId, SystemProcessorAndRandomPart) {
    const struct { uint32_t major, minor, code; } systems[] = {
        {4, 0, 0}, {5, 0, 0}, {5, 1, 1}, {5, 2, 2}, {6, 0, 3}, {6, 1, 4}, {6, 2, 5},
        {6, 3, 6}, {6, 4, 7}, {6, 9, 7}, {7, 0, 7}, {9, 9, 7}, {10, 0, 8}, {11, 0, 8},
    };
    for (const auto& s : systems) EXPECT_EQ(s.code, InstallationOsCode(s.major, s.minor)) << s.major << "." << s.minor;
    const uint8_t tail[8] = {0x80, 0x81, 0x10, 0x20, 0x30, 0x11, 0x22, 0x33};   // b8..b15
    // b15^b12 = 0x33^0x30, b14^b11 = 0x22^0x20, (b13^b10)|2 = (0x11^0x10)|2
    EXPECT_EQ(0x87030203u, ComposeInstallationId(8, 7, tail, 0));
    EXPECT_EQ(0x4300BEEFu, ComposeInstallationId(4, 3, nullptr, 0x1234BEEF));
    EXPECT_NE(0u, ComposeInstallationId(0, 0, nullptr, 0x10000));   // 0 would read as "not made yet"
}

TEST(UpdateTrigger, MoreThanThreeDaysAfterTheLastCheck) {
    EXPECT_FALSE(UpdateCheckDue(1, 100000, 100000 - 4320));
    EXPECT_TRUE(UpdateCheckDue(1, 100000, 100000 - 4321));
    EXPECT_FALSE(UpdateCheckDue(0, 100000, 0));
    EXPECT_TRUE(UpdateCheckDue(1, 100000, 0));
}
