// Page arithmetic of printing: margins, row pitch, rows per page and page counts. Pure functions,
// unsigned and integer where the layout is, never dividing by zero or overflowing.
#pragma once
#include <windows.h>
#include <cstdint>

// A margin in hundredths of a millimetre as printer pixels at `dpi`: dpi × (m × 100 / 252) / 1000.
uint32_t MarginPixels(uint32_t margin, uint32_t dpi);

// The page setup dialog reports margins and paper in thousandths of an inch or in hundredths of a
// millimetre; the layout works in hundredths of a millimetre. Rounded to the nearest unit.
uint32_t ToHundredthsOfMm(uint32_t value, bool thousandthsOfInch);
uint32_t FromHundredthsOfMm(uint32_t value, bool thousandthsOfInch);

struct PageMargins {
    uint32_t left, top, right, bottom;   // hundredths of a millimetre
};

// The printable rectangle of a page of horzRes × vertRes printer pixels; false when the margins
// leave no width or no height (the rectangle is then left empty).
bool PrintableRect(const PageMargins& margins, int dpiX, int dpiY, int horzRes, int vertRes, RECT* rect);

// Distance from one row's top to the next in device pixels, for a view font `fontHeight` logical
// units high (a negative height counts by its magnitude). Printing (scale > 0): the font scaled
// from a screen of `scale` pixels per inch to a device of `deviceDpi`. Preview (scale < 0): the
// printed size shrunk by the factor -scale. 0 when there is no pitch (height, resolution or scale 0).
double RowPitch(LONG fontHeight, int deviceDpi, double scale);
// The font height that lays rows at `pitch`: truncated, and 1 below 2.
LONG RowFontHeight(double pitch);
// Offset of row j of a page from the printable top.
int RowOffset(uint32_t row, double pitch);

// Whole rows that fit in `printableHeight` at `pitch`, so that the last one is never clipped;
// 0 when none fits or there is no pitch.
uint32_t RowsPerPage(uint32_t printableHeight, double pitch);
// Pages for `rows` rows at `rowsPerPage`, rounded up; 0 when nothing fits on a page.
uint32_t PageCount(uint32_t rows, uint32_t rowsPerPage);
