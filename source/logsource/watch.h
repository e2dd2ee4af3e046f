// Helpers shared by the Log Source's own files (open, tick, decode, charset); not for other subsystems.
#pragma once
#include <windows.h>
#include <cstdint>

bool QueryFileSize(HANDLE file, uint64_t* size);   // GetFileSize with its high part; false on failure
bool SeekTo(HANDLE file, uint64_t offset);
// Where a load begins: `start` when the file is no larger than the kilobyte limit, else the first
// whole line of its last kbLimit kilobytes. Moves the pointer there and returns the offset.
uint64_t SeekLoadStart(HANDLE file, uint64_t start);
void DropCarry();                                  // a reload, truncation or close starts at a boundary
bool ReadStoredCharset(uint32_t* charset);         // "Charset" of the watched file's stream, when known
void EmptyView();                                  // rows and the row maker's pending state
void ForgetSurveillanceTimer();                    // the timer was armed at another period or killed
bool ArmSurveillanceTimer(UINT period);            // SetTimer for the cycle; a failure shows in the status bar
void ReleaseViewRedraw();                          // the view draws again now (closing, reloading)
// Whether two handles are one file (volume serial and file index); false when that cannot be
// told, with the reason in GetLastError, and *same left as it was.
bool HandlesNameOneFile(HANDLE a, HANDLE b, bool* same);
bool SameFileIdentity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b);
void OpenReplacement();                            // the path names another file now: show that one
