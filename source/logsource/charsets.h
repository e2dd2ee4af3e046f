// Charset vocabulary and the pure decisions of decoding: the byte-order-mark probe, the names
// kept in the properties stream, unit sizes and where a read's incomplete character begins.
#pragma once
#include <windows.h>
#include <cstdint>

struct CharsetEntry {
    uint32_t charset;
    UINT menuItem;             // radio item of the Charset menu and its command
    const wchar_t* streamName; // value of "Charset" in section "Format" of the properties stream
    bool setsFallback;         // the byte-oriented charsets become the fallback for unmarked files
};

const CharsetEntry* CharsetByIdentifier(uint32_t charset);   // nullptr: no name, no radio item
const CharsetEntry* CharsetByMenuItem(UINT menuItem);        // 1302..1310
const CharsetEntry* CharsetByStreamName(const wchar_t* name); // exact name, else nullptr
// UTF-16 or UTF-32, or a code page this system can decode (the menu's or any other).
bool IsUsableCharset(uint32_t charset);

struct ByteOrderMark {
    uint32_t charset;  // 0 when none
    uint32_t length;   // bytes to skip; 0 also for the UTF-7 forms decoded with the text
};
ByteOrderMark ProbeByteOrderMark(const BYTE first[6]);

uint32_t CharsetUnitSize(uint32_t charset);                 // 2 for UTF-16, 4 for UTF-32, else 1
bool IsLineFeedUnit(uint32_t charset, const BYTE* unit);    // unit of CharsetUnitSize bytes
bool ReadsIntoTextBuffer(uint32_t charset);                 // UTF-16 bytes are already units

// Where a read is cut for decoding: bytes [0, decodeLength) are decoded now, and the carry
// is bytes [carryFrom, count), preceded by '+' when a UTF-7 base64 run must be reopened.
struct CarrySplit {
    uint32_t decodeLength;
    uint32_t carryFrom;
    bool reopenRun;
};
CarrySplit SplitForCarry(uint32_t charset, const BYTE* bytes, uint32_t count);

// Platform code page behind a charset identifier (0, 1 and 3 resolved to real pages).
UINT ResolveCodePage(uint32_t charset);

// UTF-32 code point to UTF-16; values that are not characters become U+FFFD. Returns units written.
inline uint32_t PutCodePoint(uint32_t v, wchar_t* out) {
    if (v < 0x10000) {
        out[0] = (v >= 0xD800 && v <= 0xDFFF) ? wchar_t(0xFFFD) : wchar_t(v);
        return 1;
    }
    if (v > 0x10FFFF) { out[0] = 0xFFFD; return 1; }
    v -= 0x10000;
    out[0] = wchar_t(0xD800 | (v >> 10));
    out[1] = wchar_t(0xDC00 | (v & 0x3FF));
    return 2;
}
