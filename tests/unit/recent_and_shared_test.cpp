// Pure decisions of the history list, the instance query and the tray tip.
#include <gtest/gtest.h>
#include "persist/history.h"
#include "persist/history_menu.h"
#include "shell/instances.h"
#include "status/tray.h"
#include <string>
#include <vector>

namespace {

// Eleven real 32,768-unit buffers, as the program allocates them.
struct List {
    std::vector<std::wstring> buffers = std::vector<std::wstring>(kHistoryEntries + 1, std::wstring(kHistoryUnits, L'\0'));
    History history{};
    List() {
        for (int i = 0; i <= kHistoryEntries; ++i) history.entries[i] = buffers[i].data();
    }
    void Fill(int count) {
        for (int i = 0; i < count; ++i) lstrcpyW(history.entries[i], (L"f" + std::to_wstring(i)).c_str());
    }
    std::vector<std::wstring> Shown() const {
        std::vector<std::wstring> out;
        for (int i = 0; i < kHistoryEntries; ++i) out.emplace_back(history.entries[i]);
        return out;
    }
};

using Names = std::vector<std::wstring>;

}  // namespace

TEST(HistoryList, MovesAnEntryToTheFrontAndAddsNewOnesDroppingTheOldest) {
    List list;
    list.Fill(10);
    MoveToFront(list.history, L"f3");
    EXPECT_EQ((Names{L"f3", L"f0", L"f1", L"f2", L"f4", L"f5", L"f6", L"f7", L"f8", L"f9"}), list.Shown());
    MoveToFront(list.history, L"f3");   // already first: nothing moves
    EXPECT_EQ((Names{L"f3", L"f0", L"f1", L"f2", L"f4", L"f5", L"f6", L"f7", L"f8", L"f9"}), list.Shown());
    MoveToFront(list.history, L"new");
    EXPECT_EQ((Names{L"new", L"f3", L"f0", L"f1", L"f2", L"f4", L"f5", L"f6", L"f7", L"f8"}), list.Shown());
    EXPECT_STREQ(L"f9", list.history.entries[kHistoryEntries]);   // fell into the spare slot
    // Another letter case is another entry.
    MoveToFront(list.history, L"F0");
    EXPECT_EQ((Names{L"F0", L"new", L"f3", L"f0", L"f1", L"f2", L"f4", L"f5", L"f6", L"f7"}), list.Shown());

    KeepOnlyNewest(list.history);
    EXPECT_EQ((Names{L"F0", L"", L"", L"", L"", L"", L"", L"", L"", L""}), list.Shown());
}

TEST(HistoryList, LongestPathMovesWhole) {
    List list;
    list.Fill(2);
    std::wstring longest(kHistoryUnits - 1, L'p');
    MoveToFront(list.history, longest.c_str());
    MoveToFront(list.history, L"f1");
    EXPECT_EQ(longest, list.history.entries[1]);
}

TEST(HistoryLabel, MnemonicDigitAndAmpersandsShownAsThemselves) {
    wchar_t label[64];
    EXPECT_EQ(11u, MakeHistoryLabel(label, 64, 0, L"C:\\a.log"));
    EXPECT_STREQ(L"&0 C:\\a.log", label);
    MakeHistoryLabel(label, 64, 9, L"C:\\R&D\\a&&b.log");
    EXPECT_STREQ(L"&9 C:\\R&&D\\a&&&&b.log", label);
    // Cut inside its buffer, never half an ampersand pair.
    EXPECT_EQ(5u, MakeHistoryLabel(label, 7, 1, L"ab&c"));
    EXPECT_STREQ(L"&1 ab", label);
}

TEST(HistoryLabel, WholePathOfAmpersandsFits) {
    std::wstring path(kHistoryUnits - 1, L'&');
    std::wstring label(2 * kHistoryUnits + 16, L'x');
    EXPECT_EQ(3u + 2 * path.size(), MakeHistoryLabel(label.data(), label.size(), 4, path.c_str()));
}

TEST(InstanceQuery, ExactWholePathWithinTheBlockOnly) {
    std::wstring query = std::wstring(L"\\\\?\\C:\\logs\\app.log") + L'\0';
    EXPECT_TRUE(QueryPathMatches(query.c_str(), kQueryUnits, L"\\\\?\\C:\\logs\\app.log"));
    EXPECT_FALSE(QueryPathMatches(query.c_str(), kQueryUnits, L"\\\\?\\C:\\logs\\APP.log"));
    EXPECT_FALSE(QueryPathMatches(query.c_str(), kQueryUnits, L"\\\\?\\C:\\logs\\app.log.1"));
    EXPECT_FALSE(QueryPathMatches(query.c_str(), kQueryUnits, L"\\\\?\\C:\\logs\\app"));
    // An unterminated query matches nothing, even a path equal to all of it.
    std::wstring full(kQueryUnits, L'x');
    std::wstring path = full + L'\0';
    EXPECT_FALSE(QueryPathMatches(full.data(), kQueryUnits, path.c_str()));
    EXPECT_FALSE(QueryPathMatches(query.c_str(), 5, L"\\\\?\\C:\\logs\\app.log"));
}

TEST(TrayTip, ProductNameWithoutAFile) {
    wchar_t tip[kTrayTipUnits];
    ComposeTrayTip(tip, L"Brindle", nullptr, L"");
    EXPECT_STREQ(L"Brindle", tip);
}

TEST(TrayTip, NameOnTheFirstLineShortenedPathOnTheSecond) {
    wchar_t tip[kTrayTipUnits];
    ComposeTrayTip(tip, L"Brindle", L"app.log", L"\\\\?\\C:\\logs\\app.log");
    EXPECT_STREQ(L"app.log\n\\\\?\\C:\\logs\\app.log", tip);

    std::wstring deep = L"\\\\?\\C:";
    for (int i = 0; i < 40; ++i) deep += L"\\directory" + std::to_wstring(i);
    deep += L"\\app.log";
    ComposeTrayTip(tip, L"Brindle", L"app.log", deep.c_str());
    std::wstring text = tip;
    ASSERT_EQ(0u, text.find(L"app.log\n"));
    EXPECT_LE(text.size(), 127u);
    EXPECT_NE(std::wstring::npos, text.find(L"..."));
    EXPECT_EQ(L"app.log", text.substr(text.size() - 7));
}

TEST(TrayTip, LongDisplayNameAloneAndCutToTheTip) {
    wchar_t tip[kTrayTipUnits];
    std::wstring name(126, L'n');
    ComposeTrayTip(tip, L"Brindle", name.c_str(), L"C:\\x");
    EXPECT_EQ(name, tip);
    std::wstring longest(259, L'm');
    ComposeTrayTip(tip, L"Brindle", longest.c_str(), L"C:\\x");
    EXPECT_EQ(longest.substr(0, 127), tip);
    // 125 units leave room for the line break and one unit of path at most.
    std::wstring fits(125, L'k');
    ComposeTrayTip(tip, L"Brindle", fits.c_str(), L"C:\\logs\\x.log");
    EXPECT_EQ(0u, std::wstring(tip).find(fits));
    EXPECT_LE(wcslen(tip), 127u);
}
