// The search rules, the row walk, the right click's row past 16 bits, and the stored placement.
#include <gtest/gtest.h>
#include "view/find.h"
#include "view/clipboard.h"
#include "persist/properties.h"
#include <set>
#include <string>

namespace {

bool Matches(const std::wstring& row, const wchar_t* text, bool wholeWord = false, bool matchCase = false) {
    return TextMatches(row.c_str(), static_cast<int>(row.size()), text, wholeWord, matchCase);
}

struct Walk {
    std::set<int> hits;
    std::set<int> tested;
    static bool Test(void* context, int row) {
        auto* walk = static_cast<Walk*>(context);
        walk->tested.insert(row);
        return walk->hits.count(row) != 0;
    }
    int Run(int current, int count, bool down, bool first) {
        return SearchRows(current, count, down, first, Test, this);
    }
};

}  // namespace

TEST(FindRules, WholeWordJudgesOnlyTheFirstOccurrence) {
    for (const wchar_t* row : {L"the cat sat", L"cat", L"cat.", L"(cat)"}) EXPECT_TRUE(Matches(row, L"cat", true)) << row;
    EXPECT_FALSE(Matches(L"category", L"cat", true));
    EXPECT_FALSE(Matches(L"category cat", L"cat", true));
    EXPECT_FALSE(Matches(L"bobcat", L"cat", true));
    EXPECT_FALSE(Matches(L"cat9", L"cat", true));
    EXPECT_TRUE(Matches(L"log_file", L"log", true));   // the underscore is no word character
    EXPECT_TRUE(Matches(L"category", L"cat"));
}

TEST(FindRules, CaseAndLength) {
    EXPECT_TRUE(Matches(L"an error here", L"ERROR"));
    EXPECT_FALSE(Matches(L"an error here", L"ERROR", false, true));
    EXPECT_TRUE(Matches(L"an ERROR here", L"ERROR", false, true));
    EXPECT_FALSE(Matches(L"ca", L"cat"));
    EXPECT_FALSE(Matches(L"", L"cat"));
    EXPECT_FALSE(Matches(L"cat", L""));
}

TEST(FindRules, WalkNeverLeavesTheView) {
    Walk walk;
    EXPECT_EQ(-1, walk.Run(0, 0, false, true));    // up in an empty view
    EXPECT_EQ(-1, walk.Run(0, 0, true, true));
    EXPECT_EQ(-1, walk.Run(4, 5, true, false));    // first step from the end
    EXPECT_EQ(-1, walk.Run(0, 5, false, false));   // up from row 0 beeps at once
    EXPECT_EQ(-1, walk.Run(9, 5, false, true));    // a caret beyond rows trimmed meanwhile
    for (int row : walk.tested) {
        EXPECT_GE(row, 0);
        EXPECT_LT(row, 5);
    }
}

TEST(FindRules, WalkStartsAtTheCurrentRowOnlyFirst) {
    Walk walk;
    walk.hits = {2, 5};
    EXPECT_EQ(2, walk.Run(2, 8, true, true));
    EXPECT_EQ(5, walk.Run(2, 8, true, false));
    EXPECT_EQ(-1, walk.Run(5, 8, true, false));   // no wrap-around
    EXPECT_EQ(2, walk.Run(5, 8, false, false));
    EXPECT_EQ(2, walk.Run(-1, 8, true, true));    // no caret counts as row 0
}

TEST(RightClick, RowPastSixteenBits) {
    EXPECT_EQ(12, RowFromHitIndex(12, 10));
    EXPECT_EQ(70000, RowFromHitIndex(70000 & 0xFFFF, 69990));
    EXPECT_EQ(65540, RowFromHitIndex(4, 65530));     // the screen spans a 65,536 boundary
    EXPECT_EQ(131071, RowFromHitIndex(0xFFFF, 131000));
}

// The keyboard's menu point is (-1, -1); a click on the column x = -1 (a monitor left of the
// primary) or the row y = -1 is a click.
TEST(RightClick, KeyboardPointOnlyWhenBothCoordinatesAreMinusOne) {
    EXPECT_TRUE(IsKeyboardMenuPoint(MAKELPARAM(-1, -1)));
    EXPECT_FALSE(IsKeyboardMenuPoint(MAKELPARAM(-1, 300)));
    EXPECT_FALSE(IsKeyboardMenuPoint(MAKELPARAM(200, -1)));
    EXPECT_FALSE(IsKeyboardMenuPoint(MAKELPARAM(0, 0)));
}

// A size of 0 or less was never a window: such a rectangle is not applied.
TEST(StoredPlacement, NoSizeIsNoRectangle) {
    auto plan = PlanRestore({10, 20, 640, 0, 0, 0}, SW_SHOWDEFAULT);
    EXPECT_FALSE(plan.move);
    EXPECT_EQ(SW_SHOWDEFAULT, plan.show);
    EXPECT_FALSE(PlanRestore({10, 20, 640, -5, 0, 0}, SW_SHOWDEFAULT).move);
    plan = PlanRestore({10, 20, -640, 480, 0, 1}, SW_SHOWDEFAULT);
    EXPECT_FALSE(plan.move);
    EXPECT_EQ(SW_SHOWMINNOACTIVE, plan.show);
}

TEST(StoredPlacement, FitsOntoTheNearestArea) {
    RECT area{0, 0, 1280, 1000};
    RECT r = FitIntoArea(RECT{-3000, -900, -2000, -100}, area);
    EXPECT_EQ(0, r.left);
    EXPECT_EQ(0, r.top);
    EXPECT_EQ(1000, r.right);
    EXPECT_EQ(800, r.bottom);
    r = FitIntoArea(RECT{-5000, 10, -1000, 2010}, area);   // larger than the area: shrunk to it
    EXPECT_EQ(0, r.left);
    EXPECT_EQ(0, r.top);
    EXPECT_EQ(1280, r.right);
    EXPECT_EQ(1000, r.bottom);
}
