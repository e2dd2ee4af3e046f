// Charset decoding of one read into textBuffer, with the carry of a character cut by the read's end.
#include "logsource/logsource.h"
#include "logsource/charsets.h"
#include "logsource/watch.h"
#include "persist/settings.h"

namespace {

bool IsBase64(BYTE b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '+' || b == '/';
}

// The length a UTF-8 lead byte announces, invalid leads included (a decoder may take the
// continuation bytes after them as part of them); 0 for bytes that lead nothing.
uint32_t Utf8Length(BYTE lead) {
    return lead >= 0xC0 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF7 ? 4 : 0;
}

// Trailing bytes of an unfinished UTF-8 sequence: a lead and only continuation bytes, fewer than
// the lead announces; 0 when the end is complete.
uint32_t Utf8Tail(const BYTE* bytes, uint32_t count) {
    uint32_t back = 0;
    while (back < 3 && back < count && (bytes[count - 1 - back] & 0xC0) == 0x80) ++back;
    if (back == count) return 0;
    return Utf8Length(bytes[count - 1 - back]) > back + 1 ? back + 1 : 0;
}

// Whether a lead among the last bytes announces more bytes than there are, although a byte after it
// already shows the sequence broken. At the end of its input a decoder may take everything after
// such a lead as part of it (one U+FFFD, a line feed lost), while inside the text it stops at the
// breaking byte.
bool Utf8BrokenEnd(const BYTE* bytes, uint32_t count) {
    for (uint32_t back = count < 3 ? count : 3; back > 0; --back)
        if (Utf8Length(bytes[count - back]) > back) return true;
    return false;
}

// Room for a read and what is added to it before the platform converts it: three bytes after a
// UTF-8 read, at most one byte per three of a UTF-7 read.
struct DecodeScratch {
    char bytes[2 * kReadSize];
    wchar_t units[kReadSize + 3];
};
DecodeScratch decodeScratch;

// A read that ends in a broken sequence is decoded followed by three ASCII bytes, so that every
// lead has enough bytes after it to be judged as inside the text; their units are dropped again.
// One copy of the read and one conversion, whatever the bytes: runs of leads cost no more.
uint32_t DecodeUtf8(const BYTE* bytes, uint32_t n, wchar_t* text) {
    if (n == 0) return 0;
    if (n > kReadSize) n = kReadSize;
    if (!Utf8BrokenEnd(bytes, n)) {
        int units = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(bytes), int(n), text, int(kReadSize));
        return units > 0 ? uint32_t(units) : 0;
    }
    DecodeScratch& scratch = decodeScratch;
    CopyMemory(scratch.bytes, bytes, n);
    CopyMemory(scratch.bytes + n, "AAA", 3);
    int units = MultiByteToWideChar(CP_UTF8, 0, scratch.bytes, int(n + 3), scratch.units, int(kReadSize + 3));
    if (units <= 3) return 0;
    uint32_t kept = uint32_t(units) - 3;
    if (kept > kReadSize) kept = kReadSize;
    CopyMemory(text, scratch.units, kept * sizeof(wchar_t));
    return kept;
}

// UTF-7 in which every base64 run starts afresh. The platform keeps the unfinished bits of a run
// that a byte above 0x7F ends (any other end discards them) and spends them on the next run, so the
// text would depend on where the reads end. A '-' before such a byte ends the run the usual way;
// a '+' that such a byte follows at once opens nothing and is left out, as the platform leaves it.
uint32_t DecodeUtf7(const BYTE* bytes, uint32_t n, wchar_t* text) {
    char* plain = decodeScratch.bytes;
    const uint32_t room = sizeof(decodeScratch.bytes);
    uint32_t m = 0;
    bool inRun = false, runHasBits = false;
    for (uint32_t i = 0; i < n && m + 2 <= room; ++i) {
        const BYTE b = bytes[i];
        if (inRun && IsBase64(b)) {
            runHasBits = true;
        } else if (inRun) {
            inRun = false;
            if (b >= 0x80) {
                if (runHasBits) plain[m++] = '-';
                else --m;
            }
        } else if (b == '+') {
            inRun = true;
            runHasBits = false;
        }
        plain[m++] = char(b);
    }
    if (m == 0) return 0;
    int units = MultiByteToWideChar(CP_UTF7, 0, plain, int(m), text, int(kReadSize));
    return units > 0 ? uint32_t(units) : 0;
}

// A lone lead byte at the end of a double-byte read. The bytes after the last one that cannot
// lead are whole pairs except for a final odd one, so only the run at the end needs looking at.
uint32_t DoubleByteTail(UINT codePage, const BYTE* bytes, uint32_t count) {
    uint32_t run = 0;
    while (run < count && IsDBCSLeadByteEx(codePage, bytes[count - 1 - run])) ++run;
    return run % 2;
}

// UTF-7: a base64 run still open at the end must continue in the next read. Runs are cut after a
// multiple of 8 characters (48 bits, 3 whole units), so at most '+' and 8 characters are carried.
CarrySplit Utf7Split(const BYTE* bytes, uint32_t count) {
    bool inRun = false;
    uint32_t runStart = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (inRun) {
            if (!IsBase64(bytes[i])) inRun = false;
        } else if (bytes[i] == '+') {
            inRun = true;
            runStart = i;
        }
    }
    if (!inRun) return {count, count, false};
    uint32_t length = count - runStart - 1;
    uint32_t whole = length == 0 ? 0 : (length - 1) / 8 * 8;
    if (whole == 0) return {runStart, runStart, false};
    uint32_t cut = runStart + 1 + whole;
    return {cut, cut, true};
}

bool IsDoubleByteCodePage(UINT codePage) {
    CPINFO info;
    return GetCPInfo(codePage, &info) && info.MaxCharSize == 2;
}

}  // namespace

ByteOrderMark ProbeByteOrderMark(const BYTE b[6]) {
    if (b[0] == 0x00 && b[1] == 0x00 && b[2] == 0xFE && b[3] == 0xFF) return {CHARSET_UTF32BE, 4};
    if (b[0] == 0xFF && b[1] == 0xFE) return b[2] == 0 && b[3] == 0 ? ByteOrderMark{CHARSET_UTF32LE, 4} : ByteOrderMark{CHARSET_UTF16LE, 2};
    if (b[0] == 0xFE && b[1] == 0xFF) return {CHARSET_UTF16BE, 2};
    if (b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return {CHARSET_UTF8, 3};
    if (b[0] == 0x2B && b[1] == 0x2F && b[2] == 0x76) {
        if (b[3] == 0x38 && b[4] == 0x2D) return {CHARSET_UTF7, 5};
        if (b[3] == 0x38 || b[3] == 0x39 || b[3] == 0x2B || b[3] == 0x2F) return {CHARSET_UTF7, 0};
    }
    return {0, 0};
}

uint32_t CharsetUnitSize(uint32_t charset) {
    if (charset == CHARSET_UTF16LE || charset == CHARSET_UTF16BE) return 2;
    if (charset == CHARSET_UTF32LE || charset == CHARSET_UTF32BE) return 4;
    return 1;
}

bool IsLineFeedUnit(uint32_t charset, const BYTE* u) {
    switch (charset) {
    case CHARSET_UTF16LE: return u[0] == 0x0A && u[1] == 0;
    case CHARSET_UTF16BE: return u[0] == 0 && u[1] == 0x0A;
    case CHARSET_UTF32LE: return u[0] == 0x0A && u[1] == 0 && u[2] == 0 && u[3] == 0;
    case CHARSET_UTF32BE: return u[0] == 0 && u[1] == 0 && u[2] == 0 && u[3] == 0x0A;
    default: return u[0] == 0x0A;
    }
}

bool ReadsIntoTextBuffer(uint32_t charset) { return charset == CHARSET_UTF16LE || charset == CHARSET_UTF16BE; }

UINT ResolveCodePage(uint32_t charset) {
    if (charset == CHARSET_ANSI) return GetACP();
    if (charset == CHARSET_OEM) return GetOEMCP();
    if (charset == CHARSET_CURRENT) {
        DWORD page = 0;
        if (GetLocaleInfoW(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                           reinterpret_cast<LPWSTR>(&page), sizeof(page) / sizeof(wchar_t)) && page)
            return page;
        return GetACP();
    }
    return charset;
}

CarrySplit SplitForCarry(uint32_t charset, const BYTE* bytes, uint32_t count) {
    uint32_t tail = 0;
    switch (charset) {
    case CHARSET_UTF16LE: case CHARSET_UTF16BE: tail = count % 2; break;
    case CHARSET_UTF32LE: case CHARSET_UTF32BE: tail = count % 4; break;
    case CHARSET_UTF8: tail = Utf8Tail(bytes, count); break;
    case CHARSET_UTF7: return Utf7Split(bytes, count);
    default: {
        UINT page = ResolveCodePage(charset);
        if (IsDoubleByteCodePage(page)) tail = DoubleByteTail(page, bytes, count);
    }
    }
    return {count - tail, count - tail, false};
}

BYTE* PrepareRead(DWORD* room) {
    LogSource& s = logSource;
    BYTE* buffer = ReadsIntoTextBuffer(settings.charset) ? reinterpret_cast<BYTE*>(s.textBuffer) : s.byteBuffer;
    CopyMemory(buffer, s.carry, s.carryCount);
    *room = kReadSize - s.carryCount;
    return buffer + s.carryCount;
}

void DropCarry() { logSource.carryCount = 0; }

uint32_t DecodeChunk(uint32_t byteCount) {
    LogSource& s = logSource;
    const uint32_t charset = settings.charset;
    const bool direct = ReadsIntoTextBuffer(charset);
    BYTE* bytes = direct ? reinterpret_cast<BYTE*>(s.textBuffer) : s.byteBuffer;
    // Carried and read bytes never exceed the buffer PrepareRead offered.
    const uint32_t count = byteCount > kReadSize - s.carryCount ? kReadSize : s.carryCount + byteCount;

    CarrySplit split = SplitForCarry(charset, bytes, count);
    uint32_t carried = 0;
    if (split.reopenRun) s.carry[carried++] = '+';
    for (uint32_t i = split.carryFrom; i < count && carried < sizeof(s.carry); ++i) s.carry[carried++] = bytes[i];
    s.carryCount = carried;
    const uint32_t n = split.decodeLength;

    wchar_t* text = s.textBuffer;
    switch (charset) {
    case CHARSET_UTF16LE:
        return n / 2;
    case CHARSET_UTF16BE: {
        uint32_t units = n / 2;
        for (uint32_t i = 0; i < units; ++i) text[i] = wchar_t((text[i] << 8) | (text[i] >> 8));
        return units;
    }
    case CHARSET_UTF32LE: case CHARSET_UTF32BE: {
        const bool big = charset == CHARSET_UTF32BE;
        uint32_t out = 0;
        for (uint32_t i = 0; i + 4 <= n && out + 2 <= kReadSize; i += 4) {
            const BYTE* u = bytes + i;
            uint32_t v = big ? (uint32_t(u[0]) << 24 | uint32_t(u[1]) << 16 | uint32_t(u[2]) << 8 | u[3])
                             : (uint32_t(u[3]) << 24 | uint32_t(u[2]) << 16 | uint32_t(u[1]) << 8 | u[0]);
            out += PutCodePoint(v, text + out);
        }
        return out;
    }
    case CHARSET_UTF8:
        return DecodeUtf8(bytes, n, text);
    case CHARSET_UTF7:
        return DecodeUtf7(bytes, n, text);
    default: {
        if (n == 0) return 0;
        int units = MultiByteToWideChar(charset, 0, reinterpret_cast<const char*>(bytes), int(n), text, int(kReadSize));
        return units > 0 ? uint32_t(units) : 0;
    }
    }
}
