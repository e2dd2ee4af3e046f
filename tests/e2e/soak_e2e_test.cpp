// brindle.exe against a writer that never waits for it: bursts cut at random byte offsets (inside
// lines and inside characters), one rotation by rename and one truncation; at the end the view
// holds exactly the lines of the file. BRINDLE_SOAK_SECONDS makes the writing phases longer.
#include <gtest/gtest.h>
#include "harness.h"
#include "persist/history.h"
#include "persist/settings.h"
#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Writer {
    std::wstring path;
    unsigned seed = 1208;
    unsigned next = 0;   // line number

    unsigned Random(unsigned range) { return ((seed = seed * 1103515245u + 12345u) >> 8) % range; }

    std::string Lines(unsigned count) {
        static const char* notes[] = {"ok", "caf\xC3\xA9 \xE2\x82\xAC 12,50", "\xC5\xBElu\xC5\xA5ou\xC4\x8Dk\xC3\xBD k\xC5\xAF\xC5\x88",
                                      "\xE6\x96\x87\xE4\xBB\xB6 \xF0\x9F\x98\x80", "tab\there", "crlf"};
        std::string text;
        for (unsigned i = 0; i < count; ++i) {
            unsigned kind = Random(6);
            text += "line " + std::to_string(next++) + " " + notes[kind];
            if (Random(10) == 0) text += std::string(100 + Random(400), 'x');
            text += kind == 5 ? "\r\n" : "\n";
        }
        return text;
    }

    // Writes `bytes` in pieces of random size, each its own open, write and close, with short pauses.
    void Burst(const std::string& bytes) {
        for (size_t at = 0; at < bytes.size();) {
            size_t piece = 1 + Random(Random(4) == 0 ? 2000 : 60);
            if (piece > bytes.size() - at) piece = bytes.size() - at;
            ASSERT_TRUE(harness::AppendBytes(path, bytes.substr(at, piece)));
            at += piece;
            if (Random(3) == 0) Sleep(Random(12));
        }
    }

    // Writing for about `seconds`.
    void For(double seconds) {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < seconds * 1000) Burst(Lines(1 + Random(20)));
    }
};

// The file's rows as the view shows them: UTF-8 with or without its mark, CR LF or LF, tab stops of
// 8, cut at the row limit; the writer writes no blank lines. `rowLimit` as the exe's settings say.
std::vector<std::wstring> FileRows(const std::string& bytes, size_t rowLimit) {
    std::string text = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
    std::vector<std::wstring> lines;
    size_t from = 0;
    for (size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1) {
        std::string line = text.substr(from, end - from);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        int n = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
        std::wstring wide(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(), n);
        std::wstring row;
        for (wchar_t c : wide) {
            if (c == L'\t') row.append(std::min(8 - row.size() % 8, rowLimit - row.size()), L' ');
            else row += c;
            if (row.size() == rowLimit) {
                lines.push_back(row);
                row.clear();
            }
        }
        lines.push_back(row);
    }
    return lines;
}

TEST(SoakE2e, BurstsCutAnywhereWithRotationAndTruncation) {
    wchar_t value[32];
    const double seconds = GetEnvironmentVariableW(L"BRINDLE_SOAK_SECONDS", value, 32) ? _wtof(value) : 0.7;
    Writer writer;
    writer.path = harness::NewTempDir() + L"\\soak.log";
    ASSERT_TRUE(harness::WriteBytes(writer.path, "\xEF\xBB\xBF"));
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L"\"" + writer.path + L"\""));
    writer.For(seconds);

    // Rotation by rename: the old file keeps its name's successor, a new one takes the name.
    ASSERT_TRUE(MoveFileW(writer.path.c_str(), (writer.path + L".1").c_str()));
    ASSERT_TRUE(harness::WriteBytes(writer.path, "\xEF\xBB\xBF"));
    writer.For(seconds);

    // Truncation in place, as a copy-and-truncate rotation does; writing goes on at once but
    // regrows the file only slowly, so the viewer sees it shrink.
    HANDLE file = CreateFileW(writer.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    writer.For(seconds * 1.5);

    // The exe's own settings, from the registry it read at start.
    InitHistory();
    LoadSettings();
    std::vector<std::wstring> expected = FileRows(harness::ReadBytes(writer.path), settings.wrapLines ? settings.rowLength : 4095);
    ASSERT_GT(expected.size(), 10u);
    if (expected.size() > settings.linesLimit) expected.erase(expected.begin(), expected.end() - settings.linesLimit);
    // Reading every row from another process is slow: wait for the count and the last row first.
    auto lastRow = [&] {
        int count = harness::RowCount(brindle.view);
        if (count != static_cast<int>(expected.size())) return false;
        wchar_t text[4096] = L"";
        SendMessageW(brindle.view, LB_GETTEXT, count - 1, reinterpret_cast<LPARAM>(text));
        return expected.back() == text;
    };
    EXPECT_TRUE(harness::WaitUntil(lastRow, 10000));
    std::vector<std::wstring> rows = harness::Rows(brindle.view);
    EXPECT_TRUE(rows == expected) << rows.size() << " rows, " << expected.size() << " expected; first \""
                                  << harness::Utf8(rows.empty() ? L"" : rows[0]) << "\", \"" << harness::Utf8(expected[0]) << "\"";
    EXPECT_EQ(0u, harness::Close(brindle));
}

}  // namespace
