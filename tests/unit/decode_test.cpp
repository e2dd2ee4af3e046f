// Charset decisions and decoding: the mark probe, the name table, the carry split and
// DecodeChunk fed in pieces cut at every byte position.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "logsource/logsource.h"
#include "logsource/charsets.h"
#include "persist/settings.h"
#include "dialogs/errors.h"
#include "harness.h"

namespace {

using Bytes = std::string;

ByteOrderMark Probe(const Bytes& six) {
    return ProbeByteOrderMark(reinterpret_cast<const BYTE*>(six.data()));
}

TEST(ByteOrderMarkProbe, FollowsTheMarkTable) {
    struct Row { Bytes bytes; uint32_t charset; uint32_t length; };
    const Row rows[] = {
        {Bytes("\x00\x00\xFE\xFF\x00\x00", 6), CHARSET_UTF32BE, 4},
        {Bytes("\xFF\xFE\x00\x00\x41\x00", 6), CHARSET_UTF32LE, 4},   // also UTF-16 LE starting with NUL
        {Bytes("\xFF\xFE\x41\x00\x00\x00", 6), CHARSET_UTF16LE, 2},
        {Bytes("\xFF\xFE\x00\x41\x00\x00", 6), CHARSET_UTF16LE, 2},
        {Bytes("\xFE\xFF\x00\x41\x00\x42", 6), CHARSET_UTF16BE, 2},
        {Bytes("\xEF\xBB\xBF\x61\x62\x63", 6), CHARSET_UTF8, 3},
        {Bytes("+/v8-a", 6), CHARSET_UTF7, 5},
        {Bytes("+/v8AO", 6), CHARSET_UTF7, 0},
        {Bytes("+/v9AO", 6), CHARSET_UTF7, 0},
        {Bytes("+/v+AO", 6), CHARSET_UTF7, 0},
        {Bytes("+/v/AO", 6), CHARSET_UTF7, 0},
        {Bytes("+/vAAO", 6), 0, 0},
        {Bytes("\xEF\xBB\x61\x62\x63\x64", 6), 0, 0},
        {Bytes("\x00\x00\xFF\xFE\x00\x00", 6), 0, 0},
        {Bytes("plain ", 6), 0, 0},
    };
    for (const Row& row : rows) {
        ByteOrderMark mark = Probe(row.bytes);
        EXPECT_EQ(row.charset, mark.charset) << testing::PrintToString(row.bytes);
        EXPECT_EQ(row.length, mark.length) << testing::PrintToString(row.bytes);
    }
}

TEST(CharsetTable, NamesMenuItemsAndFallbacks) {
    struct Row { uint32_t charset; UINT item; const wchar_t* name; bool fallback; };
    const Row rows[] = {
        {0, 1303, L"ACP", true}, {1, 1304, L"OEM", true}, {3, 1305, L"Current", true},
        {65000, 1309, L"UTF-7", true}, {65001, 1302, L"UTF-8", true}, {16, 1306, L"UCS-2", false},
        {17, 1307, L"UCS-2BE", false}, {18, 1308, L"UCS-4", false}, {19, 1310, L"UCS-4BE", false},
    };
    for (const Row& row : rows) {
        const CharsetEntry* byId = CharsetByIdentifier(row.charset);
        ASSERT_NE(nullptr, byId);
        EXPECT_EQ(row.item, byId->menuItem);
        EXPECT_STREQ(row.name, byId->streamName);
        EXPECT_EQ(row.fallback, byId->setsFallback);
        EXPECT_EQ(byId, CharsetByMenuItem(row.item));
        EXPECT_EQ(byId, CharsetByStreamName(row.name));
    }
    EXPECT_EQ(nullptr, CharsetByIdentifier(1252));
    EXPECT_EQ(nullptr, CharsetByMenuItem(1301));
    EXPECT_EQ(nullptr, CharsetByStreamName(L""));
    EXPECT_EQ(nullptr, CharsetByStreamName(L"UTF-16"));
    EXPECT_EQ(nullptr, CharsetByStreamName(L"utf-8"));
}

// Any code page the system has is usable, the menu's or not; a number it has not is not.
TEST(CharsetTable, UsableIsAnyCodePageOfTheSystem) {
    for (uint32_t charset : {0u, 1u, 3u, 16u, 17u, 18u, 19u, 65000u, 65001u, 1250u, 1252u, 20866u, 437u})
        EXPECT_TRUE(IsUsableCharset(charset)) << charset;
    for (uint32_t charset : {2u, 12345u, 65002u, 0xFFFFFFFFu}) EXPECT_FALSE(IsUsableCharset(charset)) << charset;
}

// Only a disk file whose size can be read is watched: a volume or a raw device passes for a disk
// file but its size cannot be read; pipes, consoles and serial ports are no disk files.
TEST(OpenRules, OnlyADiskFileWithASizeIsWatched) {
    EXPECT_TRUE(IsWatchableFile(FILE_TYPE_DISK, true));
    EXPECT_FALSE(IsWatchableFile(FILE_TYPE_DISK, false));
    for (DWORD type : {DWORD(FILE_TYPE_PIPE), DWORD(FILE_TYPE_CHAR), DWORD(FILE_TYPE_UNKNOWN)})
        EXPECT_FALSE(IsWatchableFile(type, true)) << type;
}


CarrySplit Split(uint32_t charset, const Bytes& bytes) {
    return SplitForCarry(charset, reinterpret_cast<const BYTE*>(bytes.data()), uint32_t(bytes.size()));
}

uint32_t Tail(uint32_t charset, const Bytes& bytes) {
    CarrySplit split = Split(charset, bytes);
    EXPECT_FALSE(split.reopenRun);
    EXPECT_EQ(split.decodeLength, split.carryFrom);
    return uint32_t(bytes.size()) - split.carryFrom;
}

TEST(CarrySplit, FixedWidthRemainders) {
    EXPECT_EQ(1u, Tail(16, Bytes("a\0b", 3)));
    EXPECT_EQ(0u, Tail(17, Bytes("\0a\0b", 4)));
    for (uint32_t extra = 0; extra < 4; ++extra) EXPECT_EQ(extra, Tail(19, Bytes(8 + extra, 'x')));
}

TEST(CarrySplit, Utf8KeepsOnlyAnUnfinishedSequence) {
    EXPECT_EQ(0u, Tail(65001, "ab"));
    EXPECT_EQ(1u, Tail(65001, "a\xE2"));
    EXPECT_EQ(2u, Tail(65001, "a\xE2\x82"));
    EXPECT_EQ(0u, Tail(65001, "a\xE2\x82\xAC"));
    EXPECT_EQ(3u, Tail(65001, "a\xF0\x9F\x98"));
    EXPECT_EQ(0u, Tail(65001, "a\xF0\x9F\x98\x80"));
    EXPECT_EQ(1u, Tail(65001, "\xC3"));
    EXPECT_EQ(0u, Tail(65001, "a\x80\x80\x80\x80"));   // stray continuation bytes decode as they are
    EXPECT_EQ(0u, Tail(65001, "a\xFF"));
    EXPECT_EQ(1u, Tail(65001, "a\xC0"));          // invalid, but decoded with what follows it
    EXPECT_EQ(0u, Tail(65001, "a\xE7\n"));        // broken already: nothing to wait for
}

TEST(CarrySplit, DoubleBytePagesKeepALoneLeadByte) {
    // Shift-JIS: 0x82 leads a pair; 0x82 0x82 is one character (lead, then a trail that could lead).
    EXPECT_EQ(1u, Tail(932, "a\x82"));
    EXPECT_EQ(0u, Tail(932, "a\x82\xA0"));
    EXPECT_EQ(0u, Tail(932, "\x82\x82"));
    EXPECT_EQ(1u, Tail(932, "\x82\x82\x82"));
    EXPECT_EQ(0u, Tail(1252, "a\x82"));
}

TEST(CarrySplit, Utf7ReopensALongRunAtAWholeUnit) {
    CarrySplit closed = Split(65000, "a+AGE-b");
    EXPECT_EQ(7u, closed.decodeLength);
    CarrySplit bare = Split(65000, "ab+");
    EXPECT_EQ(2u, bare.decodeLength);
    EXPECT_FALSE(bare.reopenRun);
    CarrySplit literal = Split(65000, "a+-");
    EXPECT_EQ(3u, literal.decodeLength);
    CarrySplit shortRun = Split(65000, "ab+AGEAY");
    EXPECT_EQ(2u, shortRun.decodeLength);
    EXPECT_EQ(2u, shortRun.carryFrom);
    EXPECT_FALSE(shortRun.reopenRun);
    CarrySplit eight = Split(65000, "x+AGEAYgBj");   // exactly 8: nothing whole may be left without a character after
    EXPECT_EQ(1u, eight.decodeLength);
    CarrySplit long1 = Split(65000, "x+AGEAYgBjAG");
    EXPECT_EQ(10u, long1.decodeLength);
    EXPECT_EQ(10u, long1.carryFrom);
    EXPECT_TRUE(long1.reopenRun);
    CarrySplit plusInRun = Split(65000, "x+AG+AYgBjA");   // '+' inside a run is a base64 character
    EXPECT_EQ(10u, plusInRun.decodeLength);
    EXPECT_TRUE(plusInRun.reopenRun);
}

// Decodes `bytes` as the tick does, in reads cut at the given offsets; returns all units.
std::wstring DecodeInReads(uint32_t charset, const Bytes& bytes, const std::vector<size_t>& cuts) {
    InitLogSource();
    settings.charset = charset;
    logSource.carryCount = 0;
    std::wstring text;
    size_t from = 0;
    std::vector<size_t> ends = cuts;
    ends.push_back(bytes.size());
    for (size_t end : ends) {
        DWORD room = 0;
        BYTE* target = PrepareRead(&room);
        size_t n = end - from;
        EXPECT_LE(n, room);
        CopyMemory(target, bytes.data() + from, n);
        uint32_t units = DecodeChunk(uint32_t(n));
        EXPECT_LE(units, kReadSize);
        text.append(logSource.textBuffer, units);
        from = end;
    }
    return text;
}


TEST(DecodeChunk, NoCharacterIsLostAtAnyReadBoundary) {
    const std::wstring all = L"Zeile \x00E9t\x00E9 \x20AC 100 \x65E5\x672C\x8A9E \xD83D\xDE00 ok\n+plus+-\n";
    const std::wstring japanese = L"log \x65E5\x672C\x8A9E\x30C6\x30B9\x30C8 end\n";
    for (uint32_t charset : {65001u, 65000u, 16u, 17u, 18u, 19u, 932u}) {
        const std::wstring& text = charset == 932 ? japanese : all;
        Bytes bytes = harness::Encode(charset, text);
        ASSERT_FALSE(bytes.empty());
        ASSERT_EQ(text, DecodeInReads(charset, bytes, {})) << charset;
        for (size_t cut = 1; cut < bytes.size(); ++cut)
            EXPECT_EQ(text, DecodeInReads(charset, bytes, {cut})) << "charset " << charset << " cut " << cut;
        std::vector<size_t> everyByte;
        for (size_t cut = 1; cut < bytes.size(); ++cut) everyByte.push_back(cut);
        EXPECT_EQ(text, DecodeInReads(charset, bytes, everyByte)) << "charset " << charset << " byte by byte";
    }
}

// Cases of a property run; set BRINDLE_PROPERTY_CASES to run many more by hand.
int PropertyCases(int usual) {
    wchar_t value[32];
    return GetEnvironmentVariableW(L"BRINDLE_PROPERTY_CASES", value, 32) ? _wtoi(value) : usual;
}

struct Random {
    uint32_t state;
    uint32_t operator()(uint32_t range) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % range;
    }
};

// Characters of every kind, surrogate pairs whole, so that every charset can encode them.
std::wstring RandomText(Random& r, size_t length) {
    std::wstring text;
    while (text.size() < length) {
        switch (r(6)) {
        case 0: text += L"+-\n\r\t"[r(5)]; break;
        case 1: text += static_cast<wchar_t>(0x20 + r(0x5F)); break;
        case 2: text += static_cast<wchar_t>(0xA0 + r(0x160)); break;
        case 3: text += static_cast<wchar_t>(0x3040 + r(0x6000)); break;
        case 4: text += static_cast<wchar_t>(0xE000 + r(0x1FFE)); break;
        default: {
            uint32_t v = 0x10000 + r(0xFFFFF);
            text += static_cast<wchar_t>(0xD800 | ((v - 0x10000) >> 10));
            text += static_cast<wchar_t>(0xDC00 | (v & 0x3FF));
        }
        }
    }
    return text;
}

std::string Hex(const Bytes& bytes) {
    std::string out;
    char two[4];
    for (unsigned char b : bytes) {
        snprintf(two, sizeof two, "%02X ", b);
        out += two;
    }
    return out;
}

// Any stream, cut into reads anywhere, decodes to what one whole read of it gives: raw bytes in
// every charset, and beside them encoded text in UTF-7 and UTF-8.
TEST(DecodeChunk, AnyStreamCutAtRandomReadsDecodesAsOneWholeRead) {
    const uint32_t charsets[] = {0, 1, 3, 932, 936, 65001, 65000, 16, 17, 18, 19};
    const int cases = PropertyCases(1500);
    Random r{20261208};
    for (int c = 0; c < cases; ++c) {
        const uint32_t charset = charsets[c % (sizeof charsets / sizeof charsets[0])];
        const size_t length = r(200);
        Bytes bytes;
        if ((charset == 65000 || charset == 65001) && r(2)) {
            bytes = harness::Encode(charset, RandomText(r, length));
        } else {
            // Raw bytes, weighted towards line feeds, continuation bytes, lead bytes, NULs and UTF-7 signs.
            for (size_t i = 0; i < length; ++i) {
                uint32_t kind = r(8);
                bytes += static_cast<char>(kind == 0 ? 0x0A : kind == 1 ? 0x80 + r(0x40) : kind == 2 ? 0xC0 + r(0x40)
                                           : kind == 3 ? 0 : kind == 4 ? "+-A/z"[r(5)] : r(256));
            }
        }
        if (bytes.size() < 2) continue;
        std::vector<size_t> cuts;
        for (uint32_t k = 1 + r(5); k > 0; --k) cuts.push_back(1 + r(static_cast<uint32_t>(bytes.size() - 1)));
        std::sort(cuts.begin(), cuts.end());
        cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
        const std::wstring whole = DecodeInReads(charset, bytes, {});
        ASSERT_EQ(whole, DecodeInReads(charset, bytes, cuts)) << "charset " << charset << ", case " << c << ", bytes "
                                                              << Hex(bytes) << ", first cut " << cuts[0];
    }
}

TEST(DecodeChunk, Utf32ValuesOutsideUnicodeBecomeReplacementCharacters) {
    Bytes be("\x00\x01\xF6\x00" "\x00\x00\x00\x41" "\x00\x11\x00\x00" "\x00\x00\xD8\x00" "\x00\x00\x00\x0A", 20);
    EXPECT_EQ(std::wstring(L"\xD83D\xDE00" L"A\xFFFD\xFFFD\n"), DecodeInReads(19, be, {}));
}

TEST(DecodeChunk, FullReadNeverOverflowsTheTextBuffer) {
    // Read sizes shrink by the carried bytes: a carry plus a full read is still 65,536 bytes.
    Bytes bytes(kReadSize * 2 - 1, 'a');
    bytes[kReadSize - 1] = '\xE2';
    bytes[kReadSize] = '\x82';
    bytes[kReadSize + 1] = '\xAC';
    std::wstring text = DecodeInReads(65001, bytes, {kReadSize});
    EXPECT_EQ(size_t(kReadSize * 2 - 3), text.size());
    EXPECT_EQ(L'\x20AC', text[kReadSize - 1]);
    EXPECT_EQ(0u, logSource.carryCount);
}

// ---- Full-size reads of hostile streams ----

// The Log Source's read buffers replaced by guarded ones while a test runs.
class GuardedDecode : public testing::Test {
protected:
    harness::GuardedBuffer bytes{kReadSize};
    harness::GuardedBuffer text{kReadSize * sizeof(wchar_t)};
    BYTE* savedBytes = nullptr;
    wchar_t* savedText = nullptr;

    void SetUp() override {
        InitLogSource();
        ASSERT_NE(nullptr, bytes.data);
        ASSERT_NE(nullptr, text.data);
        savedBytes = logSource.byteBuffer;
        savedText = logSource.textBuffer;
        logSource.byteBuffer = bytes.data;
        logSource.textBuffer = reinterpret_cast<wchar_t*>(text.data);
    }
    void TearDown() override {
        logSource.byteBuffer = savedBytes;
        logSource.textBuffer = savedText;
        logSource.carryCount = 0;
    }

    // Decodes as the tick does: every read as large as the room PrepareRead gives (the real size),
    // or, with `r`, of random sizes from one byte up. Returns all units; checks after every read
    // that no unit count exceeds the text buffer and that no byte of the record outside the
    // carry changed.
    std::wstring Decode(uint32_t charset, const Bytes& stream, Random* r) {
        settings.charset = charset;
        logSource.carryCount = 0;
        LogSource before;
        CopyMemory(&before, &logSource, sizeof before);
        const size_t carryFrom = offsetof(LogSource, carry), carryTo = offsetof(LogSource, carryCount) + sizeof(uint32_t);
        std::wstring out;
        for (size_t from = 0; from < stream.size();) {
            DWORD room = 0;
            BYTE* target = PrepareRead(&room);
            size_t n = std::min<size_t>(room, stream.size() - from);
            if (r && (*r)(3)) n = std::min<size_t>(n, 1 + (*r)((*r)(2) ? 16 : kReadSize));
            CopyMemory(target, stream.data() + from, n);
            from += n;
            uint32_t units = DecodeChunk(uint32_t(n));
            EXPECT_LE(units, kReadSize);
            if (units > kReadSize) break;
            out.append(logSource.textBuffer, units);
            const BYTE* now = reinterpret_cast<const BYTE*>(&logSource);
            const BYTE* was = reinterpret_cast<const BYTE*>(&before);
            EXPECT_TRUE(memcmp(now, was, carryFrom) == 0 && memcmp(now + carryTo, was + carryTo, sizeof before - carryTo) == 0)
                << "the record changed outside the carry, charset " << charset;
        }
        return out;
    }
};

struct Alphabet {
    const char* name;
    std::vector<Bytes> tokens;   // the stream is made of these, picked at random
    Bytes opening;               // once at the front
};

std::vector<Alphabet> HostileAlphabets() {
    std::vector<Alphabet> alphabets = {
        {"one two-byte lead", {"\xC3"}, ""},
        {"one four-byte lead", {"\xF0"}, ""},
        {"interleaved leads", {"\xC3", "\xE2", "\xF0", "\xC0", "\xF8", "\xFF", "\xED", "\xDF"}, ""},
        {"lone continuation bytes", {"\x80", "\x9F", "\xBF", "\xC3\xA9", "\xE2\x82", "a"}, ""},
        {"base64 run without an end", {"A", "z", "0", "/", "+", "AGE", "9"}, "+"},
        {"plus signs", {"+", "+", "+-", "+A", "+AG", "\n"}, ""},
        {"NUL", {Bytes(1, '\0'), Bytes(4, '\0'), "\n"}, ""},
        {"surrogate halves",
         {"\xED\xA0\x80", "\xED\xBF\xBF", Bytes("\x00\xD8", 2), Bytes("\x00\xDC", 2), Bytes("\xD8\x00", 2),
          Bytes("\x00\xD8\x00\x00", 4), Bytes("\x00\x00\xDC\x00", 4), "+2D3-", "+3gA"},
         ""},
        {"CR", {"\r", "\r", "\r", "\r\n"}, ""},
        {"U+FFFE and marks",
         {"\xEF\xBF\xBE", "\xEF\xBB\xBF", "\xFE\xFF", "\xFF\xFE", Bytes("\xFF\xFE\x00\x00", 4), Bytes("\x00\x00\xFE\xFF", 4),
          "+//4-", "+/v8-"},
         ""},
        {"TABs", {"\t", "\t", "\t", "x"}, ""},
        {"any byte", {}, ""},
    };
    for (int b = 0; b < 256; ++b) alphabets.back().tokens.push_back(Bytes(1, char(b)));
    return alphabets;
}

// Streams over two full reads long, in every charset: the text is the same whatever the read
// boundaries, and no write leaves the buffers.
TEST_F(GuardedDecode, HostileStreamsInFullSizeReadsStayInTheBuffersAndDecodeAlike) {
    const uint32_t charsets[] = {0, 1, 3, 65000, 65001, 16, 17, 18, 19, 932};
    const int splits = PropertyCases(1500) / 750 + 1;
    Random r{20261209};
    for (const Alphabet& alphabet : HostileAlphabets()) {
        for (uint32_t charset : charsets) {
            Bytes stream = alphabet.opening;
            const size_t length = 2 * kReadSize + 8000 + r(5);
            while (stream.size() < length) stream += alphabet.tokens[r(uint32_t(alphabet.tokens.size()))];
            const std::wstring whole = Decode(charset, stream, nullptr);
            for (int split = 0; split < splits; ++split) {
                const std::wstring pieces = Decode(charset, stream, &r);
                ASSERT_EQ(whole.size(), pieces.size()) << alphabet.name << ", charset " << charset;
                ASSERT_TRUE(whole == pieces) << alphabet.name << ", charset " << charset << ": first difference at unit "
                                             << std::mismatch(whole.begin(), whole.end(), pieces.begin()).first - whole.begin();
            }
        }
    }
}

TEST_F(GuardedDecode, RunsOfLeadBytesBecomeOneReplacementEachAndTheLinesAfterThemStay) {
    for (const char* lead : {"\xC3", "\xE2", "\xF0"}) {
        const size_t run = 140000;
        Bytes stream(run, lead[0]);
        stream += "\nafter \xC3\xA9\n";
        const std::wstring text = Decode(65001, stream, nullptr);
        EXPECT_EQ(std::wstring(run, L'\xFFFD') + L"\nafter \x00E9\n", text) << Hex(Bytes(1, lead[0]));
    }
    Bytes interleaved;
    while (interleaved.size() < 140000) interleaved += "\xC3\xE2";
    EXPECT_EQ(std::wstring(140000, L'\xFFFD') + L"\nend\n", Decode(65001, interleaved + "\nend\n", nullptr));
}

TEST(ComposeSystemError, PrefixThenTheSystemsExplanation) {
    wchar_t buffer[kErrorTextUnits];
    ComposeSystemError(buffer, L"Failed.\n\n", ERROR_FILE_NOT_FOUND);
    std::wstring text = buffer;
    EXPECT_EQ(0u, text.find(L"Failed.\n\n"));
    EXPECT_GT(text.size(), 10u);
    ComposeSystemError(buffer, L"Alone.\n\n", 0x2FFFFFF0);
    EXPECT_STREQ(L"Alone.\n\n", buffer);
    std::wstring longPrefix(2000, L'p');
    ComposeSystemError(buffer, longPrefix.c_str(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(std::wstring(512, L'p'), std::wstring(buffer).substr(0, 512));
    EXPECT_LT(wcslen(buffer), size_t(kErrorTextUnits));
}

TEST(MakeExtendedPath, PrefixesLocalAndUncPaths) {
    std::vector<wchar_t> out(kPathUnits);
    ASSERT_TRUE(MakeExtendedPath(L"C:\\logs\\a.log", out.data()));
    EXPECT_STREQ(L"\\\\?\\C:\\logs\\a.log", out.data());
    ASSERT_TRUE(MakeExtendedPath(L"\\\\server\\share\\a.log", out.data()));
    EXPECT_STREQ(L"\\\\?\\UNC\\server\\share\\a.log", out.data());
    // Forward slashes name the same share.
    for (const wchar_t* written : {L"//server/share/a.log", L"\\\\server/share\\a.log", L"/\\server\\share/a.log"}) {
        ASSERT_TRUE(MakeExtendedPath(written, out.data()));
        EXPECT_STREQ(L"\\\\?\\UNC\\server\\share\\a.log", out.data()) << written;
    }
    ASSERT_TRUE(MakeExtendedPath(L"\\\\?\\C:\\x.log", out.data()));
    EXPECT_STREQ(L"\\\\?\\C:\\x.log", out.data());
    ASSERT_TRUE(MakeExtendedPath(L"C:\\logs\\..\\b.log", out.data()));
    EXPECT_STREQ(L"\\\\?\\C:\\b.log", out.data());
    std::wstring tooLong = L"\\\\?\\C:\\" + std::wstring(kPathUnits, L'x');
    EXPECT_FALSE(MakeExtendedPath(tooLong.c_str(), out.data()));
}

}  // namespace
