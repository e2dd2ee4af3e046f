// Platform detection, system functions bound at run time with the program's own fallbacks,
// and small start-up helpers.
#pragma once
#include <windows.h>
#include <uxtheme.h>
#include <cstdint>

struct PlatformInfo {
    uint32_t platformKind;  // 0 native, 1 WOW64, 2 Wine
    uint8_t osMajor;
    uint8_t osMinor;
    uint16_t osBuild;
};
extern PlatformInfo platformInfo;

// Registered at static initialisation.
extern UINT findReplaceMessage;     // "commdlg_FindReplace"
extern UINT taskbarCreatedMessage;  // "TaskbarCreated"
extern UINT shellHookMessage;       // "SHELLHOOK"

constexpr int kWindows2000 = 1;
constexpr int kWindowsVista = 4;
bool isWindowsAtLeast(int index);
bool isWindowsOlderThan(int index);
// Fills PlatformInfo from a packed version (build << 16 | minor << 8 | major) and the WOW64 flag.
void SetPlatformVersion(uint32_t packed, uint32_t kind);

struct OptionalApi {
    BOOL(WINAPI* GetProductInfo)(DWORD, DWORD, DWORD, DWORD, PDWORD);
    BOOL(WINAPI* RegisterShellHookWindow)(HWND);
    BOOL(WINAPI* ChangeWindowMessageFilter)(UINT, DWORD);
    HRESULT(WINAPI* LoadIconWithScaleDown)(HINSTANCE, PCWSTR, int, int, HICON*);
    BOOL(WINAPI* IsWow64Process)(HANDLE, PBOOL);
    BOOL(WINAPI* FlashWindowEx)(PFLASHWINFO);
    HRESULT(WINAPI* SetWindowThemeAttribute)(HWND, WINDOWTHEMEATTRIBUTETYPE, PVOID, DWORD);
    void(WINAPI* SetThemeAppProperties)(DWORD);
    HRESULT(WINAPI* CloseThemeData)(HTHEME);
    HRESULT(WINAPI* GetThemeColor)(HTHEME, int, int, int, COLORREF*);
    HRESULT(WINAPI* GetThemeFont)(HTHEME, HDC, int, int, int, LOGFONTW*);
    HRESULT(WINAPI* DrawThemeBackground)(HTHEME, HDC, int, int, const RECT*, const RECT*);
    HRESULT(WINAPI* DrawThemeTextEx)(HTHEME, HDC, int, int, LPCWSTR, int, DWORD, LPRECT, const DTTOPTS*);
    HRESULT(WINAPI* BufferedPaintInit)();
    BOOL(WINAPI* IsAppThemed)();
    HTHEME(WINAPI* OpenThemeData)(HWND, LPCWSTR);
    HRESULT(WINAPI* DrawThemeEdge)(HTHEME, HDC, int, int, LPCRECT, UINT, UINT, LPRECT);
    HPAINTBUFFER(WINAPI* BeginBufferedPaint)(HDC, const RECT*, BP_BUFFERFORMAT, BP_PAINTPARAMS*, HDC*);
    HRESULT(WINAPI* EndBufferedPaint)(HPAINTBUFFER, BOOL);
    HRESULT(WINAPI* GetBufferedPaintBits)(HPAINTBUFFER, RGBQUAD**, int*);
    HRESULT(WINAPI* BufferedPaintSetAlpha)(HPAINTBUFFER, const RECT*, BYTE);
    BOOL(WINAPI* DwmDefWindowProc)(HWND, UINT, WPARAM, LPARAM, LRESULT*);
    HRESULT(WINAPI* DwmGetColorizationColor)(DWORD*, BOOL*);
    HRESULT(WINAPI* DwmExtendFrameIntoClientArea)(HWND, const void*);
    HRESULT(WINAPI* DwmIsCompositionEnabled)(BOOL*);
};
extern OptionalApi optionalApi;

void BindOptionalApi();     // user32, kernel32 and comctl32 entries (start-up step 2)
void BindThemeApi();        // uxtheme, and dwmapi except under Wine; comctl32 version and buffered paint checks
int themeState();           // 0 unthemed, 1 themed without composition, 2 with composition

// A number from the environment in base 0 (decimal, 0x hex, leading 0 octal); 0 when unset.
uint32_t envNumber(const wchar_t* name);
// Whether `bytes` bytes at `address` are committed memory of this process that may be written:
// a pointer that arrived in a message from another process is checked with this before use.
bool IsWritableMemory(const void* address, size_t bytes);
// The message being handled was sent by this thread: no message sent from another thread is
// being handled (a posted one carries no pointer past the filter below), or one of the program's
// own controls is in its window procedure and asks in turn, perhaps for another program that
// asked it. A message sent from another thread or process may carry a pointer or window handle
// that means nothing here.
bool SentByThisThread();
// A window procedure of one of the program's own controls that notifies or asks its parent.
LRESULT CallOwnControl(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Messages whose parameters point at records, which only a sender's own thread can hand over:
// posted, from anywhere, they are dropped before any loop of this thread dispatches them.
bool CarriesRecordPointer(UINT message);
void InstallPostedMessageFilter();   // this thread, until it ends
HICON loadIconScaled(HINSTANCE module, const wchar_t* name, int cx, int cy);
HICON loadSmallIcon(HINSTANCE module, const wchar_t* name);
