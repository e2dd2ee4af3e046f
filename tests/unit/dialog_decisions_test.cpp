// The pure decisions behind the dialogs: typed limits, placement arithmetic, links, the history
// text, the association's command line and the error text.
#include <gtest/gtest.h>
#include "dialogs/common.h"
#include "dialogs/dialogs.h"
#include "dialogs/errors.h"
#include "dialogs/placement.h"
#include <string>

TEST(DialogDecisions, TypedLimitsSaturateAndNeverReadZero) {
    EXPECT_EQ(1u, ReadLimitNumber(L"0", 256));
    EXPECT_EQ(1u, ReadLimitNumber(L"", 256));
    EXPECT_EQ(1u, ReadLimitNumber(L"abc", 256));
    EXPECT_EQ(1u, ReadLimitNumber(L"-5", 65535));       // pasted past the digits-only edit
    EXPECT_EQ(1u, ReadLimitNumber(nullptr, 65535));
    EXPECT_EQ(256u, ReadLimitNumber(L"300", 256));
    EXPECT_EQ(256u, ReadLimitNumber(L"256", 256));
    EXPECT_EQ(255u, ReadLimitNumber(L"255", 256));
    EXPECT_EQ(65535u, ReadLimitNumber(L"70000", 65535));
    EXPECT_EQ(65535u, ReadLimitNumber(L"99999999999", 65535));   // would wrap a 32-bit number
    EXPECT_EQ(65535u, ReadLimitNumber(L"4294967296", 65535));
    EXPECT_EQ(5000u, ReadLimitNumber(L"0005000", 65535));
    EXPECT_EQ(12u, ReadLimitNumber(L"12kB", 65535));
}

// A 300-unit dialog (531 x 375 pixels at 96 dpi with the dialog font) over a 600-pixel window.
TEST(DialogDecisions, PlacementCentresAndLiftsByATwentiethOfTheDifference) {
    RECT owner{40, 30, 840, 630};
    POINT lifted = CentreOver(531, 375, owner, true);
    EXPECT_EQ(440 - 265, lifted.x);
    EXPECT_EQ(330 - 187 - 11, lifted.y);   // (375 - 600) / 20 = -11.25, truncated towards zero
    POINT centred = CentreOver(531, 375, owner, false);
    EXPECT_EQ(lifted.x, centred.x);
    EXPECT_EQ(330 - 187, centred.y);
    // A window taller than its owner is pushed down, and negative coordinates halve towards zero.
    RECT left{-301, -100, -1, 100};
    POINT tall = CentreOver(101, 241, left, true);
    EXPECT_EQ(-151 - 50, tall.x);
    EXPECT_EQ(0 - 120 + 2, tall.y);
}

TEST(DialogDecisions, LinksOpenOnlyWebAddresses) {
    EXPECT_EQ(kLinkCheck, ClassifyLink(L"check"));
    EXPECT_EQ(kLinkOpen, ClassifyLink(L"https://www.tervo.example/brindle/"));
    EXPECT_EQ(kLinkOpen, ClassifyLink(L"HTTP://example.org"));
    EXPECT_EQ(kLinkIgnore, ClassifyLink(L"Check"));
    EXPECT_EQ(kLinkIgnore, ClassifyLink(L"file:///C:/windows/system32/calc.exe"));
    EXPECT_EQ(kLinkIgnore, ClassifyLink(L"C:\\windows\\notepad.exe"));
    EXPECT_EQ(kLinkIgnore, ClassifyLink(L"javascript:alert(1)"));
    EXPECT_EQ(kLinkIgnore, ClassifyLink(L"https://"));
    EXPECT_EQ(kLinkIgnore, ClassifyLink(L""));
    EXPECT_EQ(kLinkIgnore, ClassifyLink(nullptr));
}

TEST(DialogDecisions, HistoryTextIsTheResourceAfterItsMark) {
    EXPECT_EQ(0u, HistoryTextUnits(0));
    EXPECT_EQ(0u, HistoryTextUnits(1));
    EXPECT_EQ(0u, HistoryTextUnits(2));
    EXPECT_EQ(1u, HistoryTextUnits(4));
    EXPECT_EQ(1u, HistoryTextUnits(5));   // a stray odd byte is not a unit
    EXPECT_EQ(1000u, HistoryTextUnits(2002));
}

TEST(DialogDecisions, OpenCommandQuotesThePathAndTheFile) {
    wchar_t out[64];
    ASSERT_TRUE(ComposeOpenCommand(L"C:\\Program Files\\Brindle\\brindle.exe", out, 64));
    EXPECT_STREQ(L"\"C:\\Program Files\\Brindle\\brindle.exe\" \"%1\"", out);
    // Exactly enough room: quote, path, the six-unit tail and the terminator.
    ASSERT_TRUE(ComposeOpenCommand(L"a.exe", out, 1 + 5 + 6 + 1));
    EXPECT_STREQ(L"\"a.exe\" \"%1\"", out);
    out[0] = L'x';
    EXPECT_FALSE(ComposeOpenCommand(L"a.exe", out, 1 + 5 + 6));
    EXPECT_EQ(L'x', out[0]);
    EXPECT_FALSE(ComposeOpenCommand(L"", out, 64));
    // The longest path the platform hands out still fits the command buffer.
    std::wstring longest(32767, L'p');
    std::wstring command(kOpenCommandUnits, L'\0');
    ASSERT_TRUE(ComposeOpenCommand(longest.c_str(), command.data(), command.size()));
    EXPECT_EQ(1 + 32767 + 6u, wcslen(command.c_str()));
}

TEST(DialogDecisions, ErrorTextIsThePrefixAndTheSystemsParagraph) {
    wchar_t text[kErrorTextUnits];
    ComposeSystemError(text, L"Failed.\n\n", ERROR_FILE_NOT_FOUND);
    std::wstring composed = text;
    ASSERT_GT(composed.size(), 9u);
    EXPECT_EQ(L"Failed.\n\n", composed.substr(0, 9));
    ComposeSystemError(text, L"Failed.\n\n", 0x2FFFFFFF);   // no such code: the prefix alone
    EXPECT_STREQ(L"Failed.\n\n", text);
    std::wstring longPrefix(2000, L'x');
    ComposeSystemError(text, longPrefix.c_str(), ERROR_ACCESS_DENIED);
    composed = text;
    EXPECT_EQ(std::wstring(512, L'x'), composed.substr(0, 512));
    EXPECT_LE(composed.size(), 1024u);
    EXPECT_GT(composed.size(), 512u);
}
