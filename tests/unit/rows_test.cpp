// The row rules on their own (CutRows) and the view's pure decisions.
#include <gtest/gtest.h>
#include "logsource/logsource.h"
#include "logsource/watch.h"
#include "view/view.h"
#include "harness.h"
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Cutter {
    std::unique_ptr<LogSource> state = std::make_unique<LogSource>();
    std::vector<std::wstring> rows;
    std::wstring ends;   // per call: '|' for a row that ends its line, '.' for one that does not, '0' for a line feed alone
    bool longestGrew = false;

    static bool Emit(void* context, const wchar_t* row, uint32_t length, bool endsLine) {
        auto* cutter = static_cast<Cutter*>(context);
        if (!row) {
            EXPECT_TRUE(endsLine);
            cutter->ends += L'0';
            return false;
        }
        EXPECT_EQ(0, row[length]);   // rows reach the view NUL-terminated
        cutter->rows.emplace_back(row, length);
        cutter->ends += endsLine ? L'|' : L'.';
        return true;
    }
    Cutter& Feed(const std::wstring& units, uint32_t limit, bool cutEmpty = false) {
        CutResult r = CutRows(*state, units.data(), static_cast<uint32_t>(units.size()), limit, cutEmpty, Emit, this);
        longestGrew = r.longestGrew;
        return *this;
    }
};

using Rows = std::vector<std::wstring>;

}  // namespace

TEST(CutRows, WrapsHardAtTheRowLimit) {
    EXPECT_EQ((Rows{L"abcdefghij", L"klm"}), Cutter().Feed(L"abcdefghijklm\n", 10).rows);
    // A line exactly as long as the limit: the full row, then an empty row at its line feed.
    EXPECT_EQ((Rows{L"abcdefghij", L""}), Cutter().Feed(L"abcdefghij\n", 10).rows);
    // Rows cut by the limit go on their line; only the row at the line feed ends it.
    EXPECT_EQ(L".|", Cutter().Feed(L"abcdefghij\n", 10).ends);
    EXPECT_EQ(L"..|", Cutter().Feed(L"abcdefghijklmnopqrstu\n", 10).ends);
    // Without wrapping the limit is 4,095 units.
    Cutter unwrapped;
    unwrapped.Feed(std::wstring(5000, L'x') + L"\n", kMaxRowLimit);
    ASSERT_EQ(2u, unwrapped.rows.size());
    EXPECT_EQ(4095u, unwrapped.rows[0].size());
    EXPECT_EQ(905u, unwrapped.rows[1].size());
    // A surrogate pair is cut like any two units.
    EXPECT_EQ((Rows{L"ab\xD83D", L"\xDE00"}), Cutter().Feed(L"ab\xD83D\xDE00\n", 3).rows);
}

TEST(CutRows, ExpandsTabsToEveryEighthColumnWithinTheLimit) {
    EXPECT_EQ((Rows{L"a       b"}), Cutter().Feed(L"a\tb\n", 80).rows);
    EXPECT_EQ((Rows{L"        x"}), Cutter().Feed(L"\tx\n", 80).rows);
    // With row length 4, a tab at column 2 pads to column 4 and so ends the row.
    EXPECT_EQ((Rows{L"ab  ", L"cd"}), Cutter().Feed(L"ab\tcd\n", 4).rows);
    // Continuation rows start at column 0 for the tab rule.
    EXPECT_EQ((Rows{L"abcdefghij", L"kl      m"}), Cutter().Feed(L"abcdefghijkl\tm\n", 10).rows);
    // Near the 4,095 limit the tab fills only up to it.
    Cutter nearLimit;
    nearLimit.Feed(std::wstring(4090, L'x') + L"\tyz\n", kMaxRowLimit);
    ASSERT_EQ(2u, nearLimit.rows.size());
    EXPECT_EQ(std::wstring(4090, L'x') + L"     ", nearLimit.rows[0]);
    EXPECT_EQ(L"yz", nearLimit.rows[1]);
}

TEST(CutRows, DropsCarriageReturnsAndMarksAndShowsNul) {
    EXPECT_EQ((Rows{L"one", L"two"}), Cutter().Feed(L"one\r\ntwo\r\n", 80).rows);
    // A lone carriage return joins the text on both sides.
    EXPECT_EQ((Rows{L"onetwo"}), Cutter().Feed(L"one\rtwo\n", 80).rows);
    // Only carriage returns: one growing row, cut at the limit.
    Cutter crOnly;
    crOnly.Feed(L"abc\rdef\rghi\r", 4);
    EXPECT_EQ((Rows{L"abcd", L"efgh"}), crOnly.rows);
    EXPECT_EQ(1u, crOnly.state->rowFill);
    EXPECT_EQ((Rows{L"a\xFFFD" L"b"}), Cutter().Feed(std::wstring(L"a\0b\n", 4), 80).rows);
    EXPECT_EQ((Rows{L"ab"}), Cutter().Feed(L"\xFEFF" L"a\xFFFE" L"b\n", 80).rows);
}

TEST(CutRows, KeepsAnUnfinishedLineUntilItsLineFeed) {
    Cutter c;
    c.Feed(L"first\nhalf a ", 80);
    EXPECT_EQ((Rows{L"first"}), c.rows);
    EXPECT_EQ(7u, c.state->rowFill);
    c.Feed(L"line\n", 80);
    EXPECT_EQ((Rows{L"first", L"half a line"}), c.rows);
    EXPECT_EQ(0u, c.state->rowFill);
}

TEST(CutRows, RestrictEmptyLinesShowsOneBlankRowOfARun) {
    auto cut = [](const wchar_t* text) { return Cutter().Feed(text, 80, true).rows; };
    EXPECT_EQ((Rows{L"a", L"b"}), cut(L"a\n\nb\n"));
    EXPECT_EQ((Rows{L"a", L"", L"b"}), cut(L"a\n\n\nb\n"));
    EXPECT_EQ((Rows{L"a", L"", L"b"}), cut(L"a\n\n\n\nb\n"));
    // A line of blank units counts as blank; the shown row keeps its units.
    EXPECT_EQ((Rows{L"a", L"b"}), cut(L"a\n   \nb\n"));
    EXPECT_EQ((Rows{L"a", L"\x3000 ", L"b"}), cut(L"a\n\t\n\x3000 \n\n\nb\n"));
    // Each run is counted afresh after a text row.
    EXPECT_EQ((Rows{L"a", L"", L"b", L"c"}), cut(L"a\n\n\nb\n\nc\n"));
    // A left-out row still ends its line, so that whole lines are told apart, also when a line
    // exactly as long as the limit leaves only its empty remainder at the line feed.
    Cutter ends;
    ends.Feed(L"a\n\nabcdefghij\nk\n", 10, true);
    EXPECT_EQ((Rows{L"a", L"abcdefghij", L"k"}), ends.rows);
    EXPECT_EQ(L"|0.0|", ends.ends);
    // Off: every blank row stays.
    EXPECT_EQ((Rows{L"a", L"", L"", L"b"}), Cutter().Feed(L"a\n\n\nb\n", 80, false).rows);
    EXPECT_TRUE(IsBlankRow(L"", 0));
    EXPECT_TRUE(IsBlankRow(L" \t\x00A0\x200B\xFEFF", 5));
    EXPECT_FALSE(IsBlankRow(L" .", 2));
}

TEST(CutRows, TracksTheLongestRow) {
    Cutter c;
    c.Feed(L"abc\n", 80);
    EXPECT_TRUE(c.longestGrew);
    EXPECT_EQ(3u, c.state->longestRow);
    c.Feed(L"ab\n", 80);
    EXPECT_FALSE(c.longestGrew);
    c.Feed(L"abcdef\n", 4);
    EXPECT_TRUE(c.longestGrew);
    EXPECT_EQ(4u, c.state->longestRow);
    // Dropped blank rows never count, however long.
    c.Feed(std::wstring(40, L' ') + L"\n", 80, true);
    EXPECT_FALSE(c.longestGrew);
}

TEST(CutRows, BringsTheRowLimitIntoRange) {
    EXPECT_EQ((Rows{L"a", L"b"}), Cutter().Feed(L"ab", 0).rows);
    Cutter wide;
    wide.Feed(std::wstring(5000, L'x'), 100000);
    ASSERT_EQ(1u, wide.rows.size());
    EXPECT_EQ(kMaxRowLimit, wide.rows[0].size());
}

namespace {

struct HostileCut {
    const LogSource* record;
    uint32_t bound;       // no row may be longer
    uint32_t exactly;     // every row is this long, when not 0
    size_t rows = 0;

    static bool Emit(void* context, const wchar_t* row, uint32_t length, bool) {
        auto* cut = static_cast<HostileCut*>(context);
        if (!row) return false;
        EXPECT_EQ(cut->record->rowBuffer, row);
        EXPECT_LE(length, cut->bound);
        if (cut->exactly) {
            EXPECT_EQ(cut->exactly, length);
        }
        if (length <= kMaxRowLimit) {
            EXPECT_EQ(0, row[length]);
        }
        ++cut->rows;
        return true;
    }
};

uint32_t NextRandom(uint32_t& state, uint32_t range) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % range;
}

}  // namespace

// The row buffer ends the record, so a page that cannot be touched can lie right behind it.
static_assert(sizeof(LogSource) - offsetof(LogSource, rowBuffer) - sizeof(LogSource::rowBuffer) < alignof(LogSource),
              "rowBuffer is the record's last field");

// Units built to hurt, in reads of the real size, under row limits in and out of range that change
// between reads as settings may between ticks: the row stays in its buffer (a page that cannot be
// touched lies right after its last unit), rows are never longer than the limit, nothing before
// the row fields changes.
TEST(CutRows, HostileUnitsInFullReadsStayInTheRowBuffer) {
    const size_t recordEnd = offsetof(LogSource, rowBuffer) + sizeof(LogSource::rowBuffer);
    harness::GuardedBuffer memory(recordEnd);
    harness::GuardedBuffer input(kReadSize * sizeof(wchar_t));
    ASSERT_NE(nullptr, memory.data);
    ASSERT_NE(nullptr, input.data);
    LogSource& s = *reinterpret_cast<LogSource*>(memory.data);
    auto* units = reinterpret_cast<wchar_t*>(input.data);
    const size_t rowFields = offsetof(LogSource, rowFill);
    FillMemory(&s, rowFields, 0xA5);
    std::vector<BYTE> before(memory.data, memory.data + rowFields);

    const std::vector<std::wstring> alphabets = {
        L"\t", L"\tx", L"\r", std::wstring(1, L'\0'), L"\xFFFE\xFEFF", L"\xD800\xDC00\xDBFF", L"x", L"\n",
        L" \x3000\n\n", L"\t\r\n x\x00A0\xFFFE\0",
    };
    const uint32_t limits[] = {0, 1, 7, 8, 9, 80, 256, 4094, 4095, 4096, 100000};
    auto clamp = [](uint32_t limit) { return limit < 1 ? 1 : limit > kMaxRowLimit ? kMaxRowLimit : limit; };
    uint32_t state = 20261209;
    for (const std::wstring& alphabet : alphabets) {
        for (bool varying : {false, true}) {
            s.rowFill = s.emptyRun = s.longestRow = 0;
            const uint32_t fixed = limits[NextRandom(state, 11)];
            const bool cutEmpty = NextRandom(state, 2) != 0;
            for (int read = 0; read < 3; ++read) {
                for (uint32_t i = 0; i < kReadSize; ++i) units[i] = alphabet[NextRandom(state, uint32_t(alphabet.size()))];
                const uint32_t limit = varying ? limits[NextRandom(state, 11)] : fixed;
                HostileCut cut{&s, varying ? kMaxRowLimit : clamp(limit),
                               !varying && alphabet == L"\t" && !cutEmpty ? clamp(limit) : 0};
                CutRows(s, units, kReadSize, limit, cutEmpty, HostileCut::Emit, &cut);
                EXPECT_LT(s.rowFill, kMaxRowLimit);
                ASSERT_EQ(0, memcmp(before.data(), memory.data, rowFields)) << "alphabet of " << alphabet.size();
            }
        }
    }
    // A row count beyond the buffer in the record itself still never takes a unit past it.
    for (uint32_t forged : {kMaxRowLimit - 1, kMaxRowLimit, kRowBufferUnits, 5000u, 0xFFFFFFFFu}) {
        for (const wchar_t* text : {L"x", L"\t", L"\n"}) {
            s.rowFill = forged;
            HostileCut cut{&s, kMaxRowLimit, 0};
            CutRows(s, text, 1, kMaxRowLimit, false, HostileCut::Emit, &cut);
            EXPECT_EQ(1u, cut.rows) << forged;
            EXPECT_EQ(0u, s.rowFill);
        }
    }
}

TEST(ViewDecisions, FontHeightStepsStayWithin8And96) {
    EXPECT_EQ(96, StepFontHeight(96, 1));
    EXPECT_EQ(96, StepFontHeight(95, 1));
    EXPECT_EQ(14, StepFontHeight(13, 1));
    EXPECT_EQ(8, StepFontHeight(9, -1));
    EXPECT_EQ(8, StepFontHeight(8, -1));
    EXPECT_EQ(96, StepFontHeight(90, 10));
    EXPECT_EQ(8, StepFontHeight(12, -10));
    EXPECT_EQ(-14, StepFontHeight(-13, 1));   // a stored character height grows too
}

TEST(ViewDecisions, ExtentFollowsTheLongestRowWithinTheRowLength) {
    EXPECT_EQ(80 * 7 + 4, ViewExtent(300, true, 80, 7));
    EXPECT_EQ(300 * 7 + 4, ViewExtent(300, false, 80, 7));
    EXPECT_EQ(12 * 7 + 4, ViewExtent(12, true, 80, 7));
    EXPECT_EQ(4, ViewExtent(0, true, 80, 7));
}

TEST(ViewDecisions, EdgeOnlyWithoutThemedVista) {
    EXPECT_EQ(static_cast<DWORD>(WS_EX_STATICEDGE), ViewExtendedStyle(false, true));
    EXPECT_EQ(static_cast<DWORD>(WS_EX_STATICEDGE), ViewExtendedStyle(true, false));
    EXPECT_EQ(0u, ViewExtendedStyle(true, true));
    EXPECT_EQ(0x46311941u, kViewStyle);
}

TEST(ViewDecisions, TrimPlanDropsOnlyWhatTheLimitRequires) {
    EXPECT_EQ(0u, PlanViewTrim(100, 50, 0).drop);        // locked: nothing goes
    EXPECT_EQ(0u, PlanViewTrim(100, 50, 150).drop);
    EXPECT_EQ(1u, PlanViewTrim(150, 1, 150).drop);
    EXPECT_FALSE(PlanViewTrim(65535, 1, 65535).rebuild);  // following a file: one deletion
    EXPECT_EQ(200u, PlanViewTrim(200, 150, 150).drop);    // the batch replaces every row
    EXPECT_TRUE(PlanViewTrim(200, 150, 150).rebuild);
    // Thousands of deletions at the top of a large view cost more than one refill.
    EXPECT_TRUE(PlanViewTrim(65535, 20000, 65535).rebuild);
    EXPECT_EQ(20000u, PlanViewTrim(65535, 20000, 65535).drop);
    EXPECT_FALSE(PlanViewTrim(65535, 100, 65535).rebuild);
    // A long lock can leave far more rows than the limit; the estimate must not overflow.
    EXPECT_TRUE(PlanViewTrim(400000, 10, 65535).rebuild);
    // Over the limit after a lock: the surplus and the room for the batch go together.
    EXPECT_EQ(60u, PlanViewTrim(150, 10, 100).drop);
}

// The identity check of a rotated log: volume serial and file index, where a serial of 0 (Wine's
// answer when its volume query fails) says nothing, so the same file stays the same.
TEST(FileIdentity, ASerialOfZeroComparesTheFileIndexAlone) {
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    a.dwVolumeSerialNumber = b.dwVolumeSerialNumber = 0x1234;
    a.nFileIndexHigh = b.nFileIndexHigh = 7;
    a.nFileIndexLow = b.nFileIndexLow = 42;
    EXPECT_TRUE(SameFileIdentity(a, b));
    b.dwVolumeSerialNumber = 0;
    EXPECT_TRUE(SameFileIdentity(a, b));
    EXPECT_TRUE(SameFileIdentity(b, a));
    b.nFileIndexLow = 43;
    EXPECT_FALSE(SameFileIdentity(a, b));
    b.nFileIndexLow = 42;
    b.nFileIndexHigh = 8;
    EXPECT_FALSE(SameFileIdentity(b, a));
    // Two known serials that differ: another volume, whatever the index.
    b = a;
    b.dwVolumeSerialNumber = 0x5678;
    EXPECT_FALSE(SameFileIdentity(a, b));
}
