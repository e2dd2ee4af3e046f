// Talks to the reference update service over HTTP, the way the program does.
#include "update_service.h"
#include <winsock2.h>
#include <wininet.h>
#include <cstdio>

namespace updateservice {

namespace {

bool Get(const std::wstring& url, std::string& body) {
    body.clear();
    HINTERNET internet = InternetOpenW(L"BrindleTests", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!internet) return false;
    HINTERNET request = InternetOpenUrlW(internet, url.c_str(), nullptr, 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    bool ok = request != nullptr;
    if (ok) {
        char piece[4096];
        DWORD got = 0;
        while ((ok = InternetReadFile(request, piece, sizeof(piece), &got)) && got) body.append(piece, got);
        InternetCloseHandle(request);
    }
    InternetCloseHandle(internet);
    return ok;
}

}  // namespace

std::wstring Base() {
    wchar_t base[256] = L"";
    DWORD length = GetEnvironmentVariableW(L"BRINDLE_TEST_UPDATE_SERVICE", base, 256);
    return length && length < 256 ? base : L"";
}

std::wstring NewToken() {
    static unsigned counter;
    wchar_t token[64];
    wsprintfW(token, L"p%lu-%lu-%u", GetCurrentProcessId(), GetTickCount(), ++counter);
    return token;
}

std::wstring ServiceUrl(const std::wstring& token) { return Base() + L"/t/" + token + L"/skelby/services/brindle.php"; }
std::wstring DownloadUrl(const std::wstring& token) { return Base() + L"/t/" + token + L"/download/brindle-setup.exe"; }

bool SetReply(const std::wstring& token, const std::string& reply) {
    std::wstring encoded;
    for (unsigned char c : reply) {
        wchar_t hex[4];
        wsprintfW(hex, L"%%%02X", c);
        encoded += hex;
    }
    std::string answer;
    return !Base().empty() && Get(Base() + L"/t/" + token + L"/set?" + encoded, answer) && answer == "ok";
}

std::vector<std::string> Requests(const std::wstring& token) {
    std::string body;
    std::vector<std::string> lines;
    if (!Get(Base() + L"/t/" + token + L"/log", body)) return lines;
    size_t start = 0;
    for (size_t end; (end = body.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(body.substr(start, end - start));
    return lines;
}

std::string Field(const std::string& request, const char* field) {
    size_t query = request.find('?');
    if (query == std::string::npos) return "";
    std::string key = std::string(field) + "=";
    for (size_t at = query + 1; at < request.size();) {
        size_t end = request.find('&', at);
        if (end == std::string::npos) end = request.size();
        if (request.compare(at, key.size(), key) == 0) return request.substr(at + key.size(), end - at - key.size());
        at = end + 1;
    }
    return "";
}

std::wstring ClosedPortUrl() {
    // A port that was just free: bound, read, and released again.
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    unsigned port = 9;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof(address);
    if (s != INVALID_SOCKET && bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    if (s != INVALID_SOCKET) closesocket(s);
    wchar_t url[128];
    wsprintfW(url, L"http://127.0.0.1:%u/skelby/services/brindle.php", port);
    return url;
}

}  // namespace updateservice
