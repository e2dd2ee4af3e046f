// Page arithmetic of printing; see layout.h.
#include "print/layout.h"
#include <climits>
#include <cmath>

uint32_t MarginPixels(uint32_t margin, uint32_t dpi) {
    // The inch is taken as 25.2 mm, so the margin comes out slightly wide.
    uint64_t thousandths = static_cast<uint64_t>(margin) * 100 / 252;
    uint64_t pixels = dpi * thousandths / 1000;
    return pixels > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(pixels);
}

uint32_t ToHundredthsOfMm(uint32_t value, bool thousandthsOfInch) {
    if (!thousandthsOfInch) return value;
    uint64_t converted = (static_cast<uint64_t>(value) * 254 + 50) / 100;
    return converted > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(converted);
}

uint32_t FromHundredthsOfMm(uint32_t value, bool thousandthsOfInch) {
    if (!thousandthsOfInch) return value;
    return static_cast<uint32_t>((static_cast<uint64_t>(value) * 100 + 127) / 254);
}

bool PrintableRect(const PageMargins& margins, int dpiX, int dpiY, int horzRes, int vertRes, RECT* rect) {
    *rect = RECT{0, 0, 0, 0};
    if (dpiX <= 0 || dpiY <= 0 || horzRes <= 0 || vertRes <= 0) return false;
    int64_t left = MarginPixels(margins.left, static_cast<uint32_t>(dpiX));
    int64_t top = MarginPixels(margins.top, static_cast<uint32_t>(dpiY));
    int64_t right = horzRes - static_cast<int64_t>(MarginPixels(margins.right, static_cast<uint32_t>(dpiX)));
    int64_t bottom = vertRes - static_cast<int64_t>(MarginPixels(margins.bottom, static_cast<uint32_t>(dpiY)));
    if (right <= left || bottom <= top) return false;
    *rect = RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right), static_cast<LONG>(bottom)};
    return true;
}

double RowPitch(LONG fontHeight, int deviceDpi, double scale) {
    double height = fontHeight < 0 ? -static_cast<double>(fontHeight) : static_cast<double>(fontHeight);
    if (height == 0 || deviceDpi <= 0 || scale == 0 || !std::isfinite(scale)) return 0;
    if (scale > 0) return height * deviceDpi / scale;
    return height / -scale;
}

LONG RowFontHeight(double pitch) {
    if (!(pitch >= 2)) return 1;
    return pitch >= LONG_MAX ? LONG_MAX : static_cast<LONG>(pitch);
}

int RowOffset(uint32_t row, double pitch) {
    double offset = row * pitch;
    return offset >= INT_MAX ? INT_MAX : static_cast<int>(offset);
}

uint32_t RowsPerPage(uint32_t printableHeight, double pitch) {
    if (!(pitch > 0)) return 0;
    double rows = std::floor(printableHeight / pitch);
    if (rows >= UINT32_MAX) return UINT32_MAX;
    uint32_t whole = static_cast<uint32_t>(rows);
    // The floating division may round up onto a whole number just above the exact quotient.
    if (whole > 0 && whole * pitch > printableHeight) --whole;
    return whole;
}

uint32_t PageCount(uint32_t rows, uint32_t rowsPerPage) {
    if (rowsPerPage == 0) return 0;
    return rows / rowsPerPage + (rows % rowsPerPage != 0 ? 1 : 0);
}
