// The reference update service that the test run starts on 127.0.0.1: per-test replies and the
// requests it received, and a port of this machine where nothing listens.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

namespace updateservice {

std::wstring Base();                                  // "http://127.0.0.1:PORT", empty when not running
std::wstring NewToken();                              // unique within the run
std::wstring ServiceUrl(const std::wstring& token);   // this token's brindle.php
std::wstring DownloadUrl(const std::wstring& token);  // recorded when fetched
bool SetReply(const std::wstring& token, const std::string& reply);   // also empties its log
std::vector<std::string> Requests(const std::wstring& token);       // "path?query", oldest first
// The value of `field` in a request's query ("" when absent).
std::string Field(const std::string& request, const char* field);
std::wstring ClosedPortUrl();                         // a brindle.php address that refuses connections

}  // namespace updateservice
