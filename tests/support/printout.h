// Reading back what the CUPS PDF printer made of a print job: the PDF files land in the folder
// named by BRINDLE_PDF_DIR (a Unix path, set by the test run), named after the job's title.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

namespace printout {

// A job title no earlier run has used, so its PDF can be told apart: prefix, process and tick.
std::wstring UniqueTitle(const wchar_t* prefix);
// PDFs of jobs with the title, finished or still being written.
int PdfCount(const std::wstring& title);
// Waits for the titled job's PDF and returns its text as pdftotext reads it (UTF-8, pages
// separated by form feeds), then deletes the PDF; false on timeout.
bool ReadPdfText(const std::wstring& title, std::string* text, DWORD timeoutMs = 30000);
// Waits until the print queue holds no job (`lpstat -o` prints nothing); false on timeout.
bool WaitPrinterIdle(DWORD timeoutMs = 30000);
int PageCount(const std::string& text);   // form feeds ending pages
// Line texts with trailing blanks removed, empty lines and form feeds dropped.
std::vector<std::string> Lines(const std::string& text);

}  // namespace printout
