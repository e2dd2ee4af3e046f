// Page arithmetic of printing: margins, pitch, rows per page and page counts, including the
// inputs that must not divide by zero, overflow or clip the last row of a page.
#include <gtest/gtest.h>
#include <climits>
#include "print/layout.h"

TEST(PrintLayout, WorkedExampleOfA600DpiPage) {
    // 2048 rows, font height 13 at 96 screen pixels per inch, 7016 printable pixels, 25 mm margins.
    EXPECT_EQ(595u, MarginPixels(2500, 600));
    RECT page;
    ASSERT_TRUE(PrintableRect(PageMargins{2500, 2500, 2500, 2500}, 600, 600, 4958, 7016, &page));
    EXPECT_EQ(595, page.top);
    EXPECT_EQ(7016 - 595, page.bottom);
    EXPECT_EQ(5826, page.bottom - page.top);
    double pitch = RowPitch(13, 600, 96);
    EXPECT_DOUBLE_EQ(81.25, pitch);
    EXPECT_EQ(81, RowFontHeight(pitch));
    EXPECT_EQ(71u, RowsPerPage(5826, pitch));
    EXPECT_EQ(29u, PageCount(2048, 71));
}

TEST(PrintLayout, TheLastRowOfAPageIsWhole) {
    // 10.9 pixels a row: ten rows need 109 pixels, so only nine fit in 100.
    EXPECT_EQ(9u, RowsPerPage(100, 10.9));
    for (uint32_t height : {100u, 2914u, 5826u, 9999u}) {
        for (double pitch : {10.9, 40.625, 81.25, 3.3333333333, 7.0}) {
            uint32_t rows = RowsPerPage(height, pitch);
            ASSERT_GT(rows, 0u);
            // The last row starts where it is placed and is as tall as the font made for the pitch.
            EXPECT_LE(RowOffset(rows - 1, pitch) + RowFontHeight(pitch), static_cast<int>(height)) << height << " " << pitch;
            EXPECT_GT((rows + 1) * pitch, height) << "room for one more pitch";
        }
    }
}

TEST(PrintLayout, NothingFitsGivesNoPagesInsteadOfDividingByZero) {
    EXPECT_EQ(0.0, RowPitch(0, 600, 96));          // font height 0
    EXPECT_EQ(0.0, RowPitch(13, 0, 96));           // printer resolution 0
    EXPECT_EQ(0.0, RowPitch(13, 600, 0));          // screen resolution 0
    EXPECT_EQ(0u, RowsPerPage(5826, 0));
    EXPECT_EQ(0u, RowsPerPage(80, 81.25));         // a font taller than the page
    EXPECT_EQ(0u, PageCount(2048, 0));
    EXPECT_EQ(0u, PageCount(0, 71));
    // A negative height counts by its magnitude.
    EXPECT_DOUBLE_EQ(81.25, RowPitch(-13, 600, 96));
    EXPECT_EQ(1, RowFontHeight(1.9));
    EXPECT_EQ(1, RowFontHeight(0));
}

TEST(PrintLayout, MarginsThatLeaveNoRoomGiveNoPage) {
    RECT page{1, 2, 3, 4};
    EXPECT_FALSE(PrintableRect(PageMargins{2500, 15000, 2500, 15000}, 300, 300, 2479, 3508, &page));
    EXPECT_EQ(0, page.bottom);
    EXPECT_FALSE(PrintableRect(PageMargins{11000, 2500, 11000, 2500}, 300, 300, 2479, 3508, &page));
    EXPECT_FALSE(PrintableRect(PageMargins{UINT32_MAX, 0, UINT32_MAX, 0}, 300, 300, 2479, 3508, &page));
    EXPECT_FALSE(PrintableRect(PageMargins{2500, 2500, 2500, 2500}, 0, 300, 2479, 3508, &page));
    EXPECT_TRUE(PrintableRect(PageMargins{0, 0, 0, 0}, 300, 300, 2479, 3508, &page));
    EXPECT_EQ((RECT{0, 0, 2479, 3508}).bottom, page.bottom);
    EXPECT_EQ(UINT32_MAX, MarginPixels(UINT32_MAX, UINT32_MAX));   // no wrap-around
}

TEST(PrintLayout, CeilingWithoutOverflow) {
    EXPECT_EQ(1u, PageCount(UINT32_MAX, UINT32_MAX));
    EXPECT_EQ(UINT32_MAX, PageCount(UINT32_MAX, 1));
    EXPECT_EQ(2u, PageCount(UINT32_MAX, UINT32_MAX - 1));
    EXPECT_EQ(65536u, PageCount(65536, 1));
    EXPECT_EQ(UINT32_MAX, RowsPerPage(UINT32_MAX, 1e-12));
}

TEST(PrintLayout, InchMarginsAreConvertedToMillimetres) {
    EXPECT_EQ(2540u, ToHundredthsOfMm(1000, true));     // 1 inch is 25.4 mm
    EXPECT_EQ(2500u, ToHundredthsOfMm(2500, false));
    EXPECT_EQ(984u, FromHundredthsOfMm(2500, true));
    EXPECT_EQ(2499u, ToHundredthsOfMm(984, true));
    EXPECT_EQ(1000u, FromHundredthsOfMm(2540, true));
    EXPECT_EQ(UINT32_MAX, ToHundredthsOfMm(UINT32_MAX, true));
    // One inch at 600 pixels per inch, through the program's 25.2 mm inch.
    EXPECT_EQ(604u, MarginPixels(ToHundredthsOfMm(1000, true), 600));
}

TEST(PrintLayout, PreviewPitchShrinksThePrintedRow) {
    // A sample page 5.6 times smaller than the paper shows a 13-pixel row 13 / 5.6 pixels high.
    EXPECT_DOUBLE_EQ(13 / 5.6, RowPitch(13, 96, -5.6));
}
