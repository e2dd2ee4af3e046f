// PDF files of the CUPS PDF printer, read back with poppler's tools run as Unix programs (Wine
// starts them, but cannot wait for them: their results are awaited as files).
#include "printout.h"
#include "harness.h"
#include <vector>

namespace printout {

namespace {

std::string PdfDir() {
    char dir[1024] = "";
    DWORD n = GetEnvironmentVariableA("BRINDLE_PDF_DIR", dir, sizeof dir);
    return n > 0 && n < sizeof dir ? dir : "";
}

// The PDFs of a job title: cups-pdf names them after the title, then a separator and more.
std::vector<std::string> FindPdfs(const std::wstring& title) {
    std::vector<std::string> found;
    std::string dir = PdfDir();
    if (dir.empty()) return found;
    for (const char* separator : {"_", "-"}) {
        WIN32_FIND_DATAA data;
        HANDLE search = FindFirstFileA(("Z:" + dir + "/" + harness::Utf8(title) + separator + "*.pdf").c_str(), &data);
        if (search == INVALID_HANDLE_VALUE) continue;
        do found.push_back(dir + "/" + data.cFileName);
        while (FindNextFileA(search, &data));
        FindClose(search);
    }
    return found;
}

std::string FindPdf(const std::wstring& title) {
    std::vector<std::string> found = FindPdfs(title);
    return found.empty() ? "" : found.front();
}

// Runs a shell command line; Unix processes cannot be waited for from here.
bool StartShell(const std::string& command) {
    std::string line = "/bin/sh -c \"" + command + "\"";
    std::wstring wide(line.begin(), line.end());
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return false;
    if (info.hThread) CloseHandle(info.hThread);
    if (info.hProcess) CloseHandle(info.hProcess);
    return true;
}

// Runs `tool` on the titled job's PDF (retrying while the PDF is still being written) until it
// leaves `result`, a Unix path renamed into place only after the tool succeeded.
bool RunOnPdf(const std::wstring& title, const std::string& tool, const std::string& result, DWORD timeoutMs,
              std::string* pdfRead) {
    DWORD start = GetTickCount();
    std::wstring resultPath = harness::FromUnixPath(result.c_str());
    DeleteFileW(resultPath.c_str());
    while (GetTickCount() - start < timeoutMs) {
        std::string pdf = FindPdf(title);
        if (!pdf.empty()) {
            std::string partial = result + ".part", failed = result + ".failed";
            std::wstring failedPath = harness::FromUnixPath(failed.c_str());
            StartShell("(" + tool + " '" + pdf + "' '" + partial + "' 2>/dev/null && mv '" + partial + "' '" + result +
                       "') || touch '" + failed + "'");
            DWORD tried = GetTickCount();
            while (GetTickCount() - tried < 5000) {
                if (GetFileAttributesW(resultPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
                    *pdfRead = pdf;
                    return true;
                }
                if (DeleteFileW(failedPath.c_str())) break;   // the PDF is still being written
                Sleep(20);
            }
        }
        Sleep(100);
    }
    return false;
}

std::string ScratchPath(const std::wstring& title, const char* suffix) { return "/tmp/" + harness::Utf8(title) + suffix; }

}  // namespace

std::wstring UniqueTitle(const wchar_t* prefix) {
    wchar_t title[128];
    wsprintfW(title, L"%s_%lu_%lu", prefix, GetCurrentProcessId(), GetTickCount());
    return title;
}

int PdfCount(const std::wstring& title) { return static_cast<int>(FindPdfs(title).size()); }

bool ReadPdfText(const std::wstring& title, std::string* text, DWORD timeoutMs) {
    std::string result = ScratchPath(title, ".txt");
    std::string pdf;
    if (!RunOnPdf(title, "pdftotext -layout -enc UTF-8", result, timeoutMs, &pdf)) return false;
    std::wstring path = harness::FromUnixPath(result.c_str());
    *text = harness::ReadBytes(path);
    DeleteFileW(path.c_str());
    DeleteFileW(harness::FromUnixPath(pdf.c_str()).c_str());
    return true;
}

bool WaitPrinterIdle(DWORD timeoutMs) {
    char name[64];
    wsprintfA(name, "/tmp/brindle_queue_%lu.txt", GetCurrentProcessId());
    const std::string result = name, partial = result + ".part";
    const std::wstring resultPath = harness::FromUnixPath(result.c_str());
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        DeleteFileW(resultPath.c_str());
        if (!StartShell("/usr/bin/lpstat -o > '" + partial + "' 2>/dev/null; mv '" + partial + "' '" + result + "'")) return false;
        if (!harness::WaitUntil([&] { return GetFileAttributesW(resultPath.c_str()) != INVALID_FILE_ATTRIBUTES; }, 5000))
            continue;
        std::string queue = harness::ReadBytes(resultPath);
        DeleteFileW(resultPath.c_str());
        if (queue.empty()) return true;
        Sleep(100);
    }
    return false;
}

int PageCount(const std::string& text) {
    int pages = 0;
    for (char c : text) pages += c == '\f';
    return pages;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    auto flush = [&] {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
        size_t first = line.find_first_not_of(' ');
        if (first != std::string::npos) lines.push_back(line.substr(first));
        line.clear();
    };
    for (char c : text) {
        if (c == '\n' || c == '\f') flush();
        else line += c;
    }
    flush();
    return lines;
}

}  // namespace printout
