// Decode throughput of DecodeChunk: 64 MB of log text per charset, fed in 65,536-byte reads
// exactly as the surveillance tick feeds them (carried bytes included).
#include <windows.h>
#include <cstdio>
#include <algorithm>
#include <string>
#include "logsource/logsource.h"
#include "persist/settings.h"

namespace {

constexpr size_t kTotalBytes = 64u * 1024 * 1024;

// Log lines in the manner of a server: mostly ASCII, some accented words, the odd symbol or CJK name.
std::wstring LogText(size_t minimumUnits) {
    const wchar_t* levels[] = {L"INFO ", L"INFO ", L"DEBUG", L"WARN ", L"ERROR"};
    const wchar_t* modules[] = {L"http", L"db", L"cache", L"auth", L"scheduler", L"mailer"};
    const wchar_t* notes[] = {L"request handled", L"user Jos\x00E9 M\x00FCller logged in", L"price 12,50 \x20AC applied",
                              L"cache miss for key user:4711", L"retrying connection to 10.0.0.17:5432",
                              L"upload \x6587\x4EF6.txt stored", L"caf\x00E9 menu refreshed", L"timeout after 3000 ms"};
    std::wstring text;
    unsigned seed = 12345;
    wchar_t line[256];
    for (unsigned n = 0; text.size() < minimumUnits; ++n) {
        seed = seed * 1103515245 + 12345;
        unsigned r = seed >> 8;
        wsprintfW(line, L"2026-12-08 03:%02u:%02u.%03u %s [%s] #%u %s in %u ms\r\n", (n / 60000) % 60, (n / 1000) % 60,
                  n % 1000, levels[r % 5], modules[(r / 5) % 6], n, notes[(r / 30) % 8], r % 900);
        text += line;
    }
    return text;
}

std::string Encode(uint32_t charset, const std::wstring& text) {
    std::string out;
    if (charset == CHARSET_UTF16LE) {
        out.assign(reinterpret_cast<const char*>(text.data()), text.size() * 2);
        return out;
    }
    if (charset == CHARSET_UTF32BE) {
        for (size_t i = 0; i < text.size(); ++i) {
            uint32_t v = text[i];
            if (v >= 0xD800 && v <= 0xDBFF && i + 1 < text.size()) v = 0x10000 + ((v - 0xD800) << 10) + (text[++i] - 0xDC00);
            out += char(v >> 24); out += char(v >> 16); out += char(v >> 8); out += char(v);
        }
        return out;
    }
    int n = WideCharToMultiByte(charset, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    out.resize(n);
    WideCharToMultiByte(charset, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

void Run(const char* name, uint32_t charset, const std::wstring& text) {
    // A 4 MB sample, fed round and round; reads fall anywhere in it, so characters are cut.
    std::string sample = Encode(charset, text).substr(0, 4u * 1024 * 1024);
    settings.charset = charset;
    logSource.carryCount = 0;
    size_t offset = 0, fed = 0;
    unsigned long long units = 0;
    double busy = 0;
    while (fed < kTotalBytes) {
        DWORD room = 0;
        BYTE* target = PrepareRead(&room);
        for (DWORD copied = 0; copied < room;) {
            DWORD part = DWORD(std::min<size_t>(room - copied, sample.size() - offset));
            CopyMemory(target + copied, sample.data() + offset, part);
            copied += part;
            offset = (offset + part) % sample.size();
        }
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        units += DecodeChunk(room);
        QueryPerformanceCounter(&end);
        busy += Seconds(start, end);
        fed += room;
    }
    printf("%-10s %8.1f MB/s  (%zu MB in %.3f s, %llu units)\n", name, double(fed) / (1024.0 * 1024.0) / busy,
           fed / (1024 * 1024), busy, units);
}

}  // namespace

int main() {
    SetDefaultSettings();
    InitLogSource();
    std::wstring text = LogText(4u * 1024 * 1024);
    printf("DecodeChunk throughput, 65,536-byte reads, ANSI code page %u\n", GetACP());
    Run("UTF-8", CHARSET_UTF8, text);
    Run("ANSI", CHARSET_ANSI, text);
    Run("UTF-16 LE", CHARSET_UTF16LE, text);
    Run("UTF-32 BE", CHARSET_UTF32BE, text);
    return 0;
}
