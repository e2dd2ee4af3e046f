// The watched file: opening, reloading, the surveillance tick, charset decoding and row making.
#pragma once
#include <windows.h>
#include <cstdint>

constexpr DWORD kReadSize = 65536;        // bytes per read, and units of textBuffer
constexpr DWORD kPathUnits = 32768;       // fullPath buffer
constexpr DWORD kPropertiesUnits = 32832; // propertiesPath buffer
constexpr uint32_t kRowBufferUnits = 4096;
constexpr uint32_t kMaxRowLimit = kRowBufferUnits - 1;

// Charset identifiers: platform code pages, plus the program's own numbers for UTF-16/32.
enum : uint32_t {
    CHARSET_ANSI = 0, CHARSET_OEM = 1, CHARSET_CURRENT = 3,
    CHARSET_UTF16LE = 16, CHARSET_UTF16BE = 17, CHARSET_UTF32LE = 18, CHARSET_UTF32BE = 19,
    CHARSET_UTF7 = 65000, CHARSET_UTF8 = 65001,
};

struct LogSource {
    HANDLE handle;               // the watched file, or nullptr: a file is open while it is set
    wchar_t* fullPath;           // extended-length path, kPathUnits
    wchar_t* propertiesPath;     // fullPath + stream name, kPropertiesUnits
    wchar_t* givenPath;          // the path as the user gave it: title, status and history show it, kPathUnits
    wchar_t fileTitle[260];
    uint32_t detectedCharset;
    uint32_t bomLength;
    bool suppressAutodetect;
    uint32_t fallbackCharset;

    bool paused;
    bool readOnce;
    bool holdScroll;
    uint64_t lastSize;
    char sizeText[64];
    uint64_t currentSize;
    uint64_t bytesConsumed;
    DWORD readStartTick;
    DWORD identityCheckTick;
    bool loading;                // a load (open, reload, truncation) reads its backlog whole, without a budget
    bool hscrollShown;
    BYTE* byteBuffer;            // kReadSize bytes
    wchar_t* textBuffer;         // kReadSize units

    // Bytes of a character cut by the end of a read, decoded at the front of the next read.
    // UTF-7 may carry a reopened base64 run: '+' and up to 8 characters.
    BYTE carry[16];
    uint32_t carryCount;

    uint32_t rowFill;
    uint32_t emptyRun;
    uint32_t longestRow;
    wchar_t rowBuffer[kRowBufferUnits];   // last: nothing of the record lies behind it
};

extern LogSource logSource;

// Start-up: buffers allocated zero-filled once, never freed.
void InitLogSource();

// The file's last line is not finished: units wait in the row, or bytes of a character cut by
// the end of the file wait in the carry.
bool LastLineUnfinished();

bool OpenLogFile(const wchar_t* path);
// Only a disk file whose size could be read is watched (GetFileType, then the size query).
bool IsWatchableFile(DWORD fileType, bool sizeRead);
bool ReopenLogFile();            // the path names another file now (rotation): open that under the same name
bool MakeExtendedPath(const wchar_t* path, wchar_t* out);   // out holds kPathUnits
// Whether fullPath still names the open file (volume serial and file index): false when that
// cannot be told (no file open, nothing at the path), else true with the answer in *same.
bool CompareWatchedPath(bool* same);
void ReloadLogFile();
void CloseLogFile();
void EraseLogFile();
void ReserveRowStorage();

// WM_TIMER of the main window: the tick for id 1, then the general step for every id.
void OnLogTimer(UINT_PTR timerId);
void SurveillanceTick();
// Called by the message loop for every message: runs an overdue tick when the timer's messages
// stopped coming (the timer could not be armed, or a paint that never validates comes first).
void KeepSurveillanceAlive();
// The surveillance timer could not be armed: no tick comes by itself (the status bar says so).
bool SurveillanceStopped();
void PauseCommand();
void LockScrollCommand(bool fromAccelerator);
bool ScrollLockOn();             // the keyboard's Scroll Lock toggle; no copy is kept
bool AutoscrollLocked();         // Scroll Lock toggle on, or holdScroll set

// Decoding. PrepareRead puts the carried bytes at the front of the charset's read buffer and
// returns where the read's bytes go and how many fit; DecodeChunk then converts the carried
// bytes plus byteCount read bytes into textBuffer and returns the unit count.
BYTE* PrepareRead(DWORD* room);
uint32_t DecodeChunk(uint32_t byteCount);
void UpdateCharsetMenu();
void CharsetCommand(UINT id);    // 1301..1310
void AutodetectCommand();        // 1319

// Row making: consumes units of textBuffer; may keep finished rows pending until FlushRows.
// `locked` is the autoscroll lock (AutoscrollLocked): it cannot change while no input is taken,
// so a tick asks it once for all its reads (each asking costs a round trip to the window server).
struct AppendResult { bool appended; bool longestGrew; };
AppendResult AppendUnits(uint32_t unitCount, uint32_t rowLimit, bool locked);
void FlushRows();                // hands every pending row to the view
// Hands pending rows to the view oldest first until `deadline` (WorkClockMs; 0: none); the rest
// wait for the next call. Returns how many rows left the ring.
size_t FlushRows(double deadline);
size_t PendingRowCount();
// A finished row with the mark it keeps in the view; false when it is lost for want of memory.
bool PendMarkedRow(const wchar_t* row, uint32_t length, uint32_t mark);
// The newest `rows` rows made, wherever they wait (pending or in the view), take `mark`'s rule.
void RemarkLastRows(size_t rows, uint32_t mark);
void ResetRowState();            // rowFill, emptyRun, pending rows

// The row rules without the view: cuts `count` units into rows using rowBuffer, rowFill, emptyRun
// and longestRow of `rows`, and hands every kept row (NUL-terminated, in rowBuffer) to `emit`,
// which answers false when it could not store the row (out of memory): that row is lost and is
// not counted. `endsLine` tells a row ended by a line feed; a line feed that ends a row left out
// as empty comes with a null row. The row limit is brought into 1..kMaxRowLimit.
using RowEmit = bool (*)(void* context, const wchar_t* row, uint32_t length, bool endsLine);
struct CutResult { uint32_t rows; bool longestGrew; };
CutResult CutRows(LogSource& rows, const wchar_t* units, uint32_t count, uint32_t rowLimit, bool cutEmpty,
                  RowEmit emit, void* context);
bool IsBlankRow(const wchar_t* row, uint32_t length);   // every unit a blank unit; empty rows are blank
