// Platform detection before the entry point, and the system functions bound at run time.
#include "shell/platform.h"
#include <commctrl.h>
#include <shlwapi.h>
#include <cwchar>

PlatformInfo platformInfo;
OptionalApi optionalApi;
UINT findReplaceMessage;
UINT taskbarCreatedMessage;
UINT shellHookMessage;

namespace {

struct Threshold { uint8_t major, minor; };
Threshold thresholds[10] = {{4, 0}, {5, 0}, {5, 1}, {5, 2}, {6, 0}, {6, 1}, {6, 2}, {6, 3}, {6, 4}, {10, 0}};

// Fallbacks of the program's own, in place until the system function is found.
BOOL WINAPI NotThemed() { return FALSE; }
HTHEME WINAPI NoTheme(HWND, LPCWSTR) { return nullptr; }
HRESULT WINAPI EdgeWithoutTheme(HTHEME, HDC dc, int, int, LPCRECT rect, UINT edge, UINT flags, LPRECT content) {
    RECT r = *rect;
    if (!DrawEdge(dc, &r, edge, flags)) return HRESULT_FROM_WIN32(GetLastError());
    if ((flags & BF_ADJUST) && content) *content = r;
    return S_OK;
}
HPAINTBUFFER WINAPI PaintDirectly(HDC target, const RECT*, BP_BUFFERFORMAT, BP_PAINTPARAMS*, HDC* paintDc) {
    if (paintDc) *paintDc = target;
    return reinterpret_cast<HPAINTBUFFER>(static_cast<INT_PTR>(-1));
}
HRESULT WINAPI EndDirectPaint(HPAINTBUFFER, BOOL) { return S_OK; }
HRESULT WINAPI NoPaintBits(HPAINTBUFFER, RGBQUAD**, int*) { return E_NOINTERFACE; }
HRESULT WINAPI SetDirectAlpha(HPAINTBUFFER buffer, const RECT*, BYTE alpha) {
    return buffer == reinterpret_cast<HPAINTBUFFER>(static_cast<INT_PTR>(-1)) && alpha == 255 ? S_OK : E_NOINTERFACE;
}
HRESULT WINAPI NoComposition(BOOL* enabled) {
    if (enabled) *enabled = FALSE;
    return S_OK;
}

template <typename F>
void Bind(F& slot, HMODULE module, const char* name) {
    if (!module) return;
    if (FARPROC found = GetProcAddress(module, name)) slot = reinterpret_cast<F>(reinterpret_cast<void*>(found));
}

void SetBufferedPaintFallbacks() {
    optionalApi.BeginBufferedPaint = PaintDirectly;
    optionalApi.EndBufferedPaint = EndDirectPaint;
    optionalApi.GetBufferedPaintBits = NoPaintBits;
    optionalApi.BufferedPaintSetAlpha = SetDirectAlpha;
}

// Runs before the entry point: platform kind, version and the shared window messages.
struct StaticInit {
    StaticInit() {
        HMODULE ntdll = GetModuleHandleW(L"ntdll");
        uint32_t kind = 0;
        Bind(optionalApi.IsWow64Process, GetModuleHandleW(L"kernel32"), "IsWow64Process");
        if (ntdll && GetProcAddress(ntdll, "wine_get_version")) {
            kind = 2;
        } else if (optionalApi.IsWow64Process) {
            BOOL wow = FALSE;
            if (optionalApi.IsWow64Process(GetCurrentProcess(), &wow) && wow) kind = 1;
        }
        uint32_t packed;
        void(WINAPI * numbers)(DWORD*, DWORD*, DWORD*) = nullptr;
        Bind(numbers, ntdll, "RtlGetNtVersionNumbers");
        if (numbers) {
            DWORD major = 0, minor = 0, build = 0;
            numbers(&major, &minor, &build);
            packed = (build << 16) + ((minor * 256) & 0xFFFF) + (major & 0xFF);
        } else {
            packed = GetVersion();
        }
        SetPlatformVersion(packed, kind);
        findReplaceMessage = RegisterWindowMessageW(L"commdlg_FindReplace");
        taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
        shellHookMessage = RegisterWindowMessageW(L"SHELLHOOK");
    }
} staticInit;

}  // namespace

void SetPlatformVersion(uint32_t packed, uint32_t kind) {
    platformInfo.platformKind = kind;
    platformInfo.osMajor = packed & 0x7F;
    platformInfo.osMinor = (packed >> 8) & 0x7F;
    platformInfo.osBuild = (packed >> 16) & 0x7FFF;
    thresholds[2] = kind == 1 ? Threshold{5, 2} : Threshold{5, 1};
}

bool isWindowsAtLeast(int index) {
    const Threshold& t = thresholds[index];
    if (platformInfo.osMajor != t.major) return platformInfo.osMajor > t.major;
    return platformInfo.osMinor >= t.minor;
}

bool isWindowsOlderThan(int index) { return !isWindowsAtLeast(index); }

void BindOptionalApi() {
    HMODULE kernel = GetModuleHandleW(L"kernel32");
    HMODULE user = GetModuleHandleW(L"user32");
    Bind(optionalApi.GetProductInfo, kernel, "GetProductInfo");
    Bind(optionalApi.RegisterShellHookWindow, user, "RegisterShellHookWindow");
    Bind(optionalApi.ChangeWindowMessageFilter, user, "ChangeWindowMessageFilter");
    Bind(optionalApi.LoadIconWithScaleDown, GetModuleHandleW(L"Comctl32"), "LoadIconWithScaleDown");
    Bind(optionalApi.IsWow64Process, kernel, "IsWow64Process");
    Bind(optionalApi.FlashWindowEx, user, "FlashWindowEx");
}

void BindThemeApi() {
    OptionalApi& a = optionalApi;
    a.IsAppThemed = NotThemed;
    a.OpenThemeData = NoTheme;
    a.DrawThemeEdge = EdgeWithoutTheme;
    SetBufferedPaintFallbacks();
    a.DwmIsCompositionEnabled = NoComposition;
    if (HMODULE theme = LoadLibraryW(L"uxtheme")) {
        Bind(a.SetWindowThemeAttribute, theme, "SetWindowThemeAttribute");
        Bind(a.SetThemeAppProperties, theme, "SetThemeAppProperties");
        Bind(a.CloseThemeData, theme, "CloseThemeData");
        Bind(a.GetThemeColor, theme, "GetThemeColor");
        Bind(a.GetThemeFont, theme, "GetThemeFont");
        Bind(a.DrawThemeBackground, theme, "DrawThemeBackground");
        Bind(a.DrawThemeTextEx, theme, "DrawThemeTextEx");
        Bind(a.BufferedPaintInit, theme, "BufferedPaintInit");
        Bind(a.IsAppThemed, theme, "IsAppThemed");
        Bind(a.OpenThemeData, theme, "OpenThemeData");
        Bind(a.DrawThemeEdge, theme, "DrawThemeEdge");
        Bind(a.BeginBufferedPaint, theme, "BeginBufferedPaint");
        Bind(a.EndBufferedPaint, theme, "EndBufferedPaint");
        Bind(a.GetBufferedPaintBits, theme, "GetBufferedPaintBits");
        Bind(a.BufferedPaintSetAlpha, theme, "BufferedPaintSetAlpha");
    }
    if (platformInfo.platformKind != 2) {
        if (HMODULE dwm = LoadLibraryW(L"dwmapi")) {
            Bind(a.DwmDefWindowProc, dwm, "DwmDefWindowProc");
            Bind(a.DwmGetColorizationColor, dwm, "DwmGetColorizationColor");
            Bind(a.DwmExtendFrameIntoClientArea, dwm, "DwmExtendFrameIntoClientArea");
            Bind(a.DwmIsCompositionEnabled, dwm, "DwmIsCompositionEnabled");
        }
    }
    // Themed drawing only with common controls 6 or later.
    if (HMODULE comctl = GetModuleHandleW(L"comctl32")) {
        HRESULT(CALLBACK * getVersion)(DLLVERSIONINFO*) = nullptr;
        Bind(getVersion, comctl, "DllGetVersion");
        DLLVERSIONINFO version{};
        version.cbSize = 20;
        if (!getVersion || FAILED(getVersion(&version)) || version.dwMajorVersion <= 5) a.IsAppThemed = NotThemed;
    }
    if (a.BufferedPaintInit && FAILED(a.BufferedPaintInit())) SetBufferedPaintFallbacks();
}

int themeState() {
    if (!optionalApi.IsAppThemed || !optionalApi.IsAppThemed()) return 0;
    BOOL composition = FALSE;
    if (!optionalApi.DwmIsCompositionEnabled || FAILED(optionalApi.DwmIsCompositionEnabled(&composition)) ||
        !composition)
        return 1;
    return 2;
}

uint32_t envNumber(const wchar_t* name) {
    wchar_t value[1536];
    DWORD n = GetEnvironmentVariableW(name, value, 1536);
    if (n == 0 || n >= 1536) return 0;
    return static_cast<uint32_t>(wcstoul(value, nullptr, 0));
}

HICON loadIconScaled(HINSTANCE module, const wchar_t* name, int cx, int cy) {
    HRESULT(WINAPI * scaleDown)(HINSTANCE, PCWSTR, int, int, HICON*) = nullptr;
    Bind(scaleDown, GetModuleHandleW(L"Comctl32"), "LoadIconWithScaleDown");
    HICON icon = nullptr;
    if (scaleDown && SUCCEEDED(scaleDown(module, name, cx, cy, &icon)) && icon) return icon;
    return static_cast<HICON>(LoadImageW(module, name, IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR));
}

HICON loadSmallIcon(HINSTANCE module, const wchar_t* name) {
    return loadIconScaled(module, name, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
}

bool IsWritableMemory(const void* address, size_t bytes) {
    constexpr DWORD kWritable = PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    uintptr_t at = reinterpret_cast<uintptr_t>(address);
    const uintptr_t end = at + bytes;
    if (!at || bytes == 0 || end < at) return false;
    // Region by region: the range may span two allocations with different protection.
    while (at < end) {
        MEMORY_BASIC_INFORMATION info;
        if (VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof(info)) != sizeof(info)) return false;
        if (info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) || !(info.Protect & kWritable))
            return false;
        const uintptr_t regionEnd = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
        if (regionEnd <= at) return false;
        at = regionEnd;
    }
    return true;
}

namespace {

int ownControlCalls;   // window procedures of the program's own controls running on this thread

}  // namespace

bool SentByThisThread() { return InSendMessageEx(nullptr) == ISMEX_NOSEND || ownControlCalls > 0; }

LRESULT CallOwnControl(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ++ownControlCalls;
    LRESULT result = CallWindowProcW(procedure, window, message, wParam, lParam);
    --ownControlCalls;
    return result;
}

bool CarriesRecordPointer(UINT message) {
    switch (message) {
    case WM_CREATE: case WM_NCCREATE: case WM_SETTEXT: case WM_GETTEXT: case WM_GETMINMAXINFO:
    case WM_DRAWITEM: case WM_MEASUREITEM: case WM_DELETEITEM: case WM_COMPAREITEM: case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED: case WM_COPYDATA: case WM_NOTIFY: case WM_STYLECHANGING: case WM_STYLECHANGED:
    case WM_NCCALCSIZE: case WM_DPICHANGED:
        return true;
    default:
        return false;
    }
}

namespace {

HHOOK postedMessageFilter;

LRESULT CALLBACK DropPostedRecords(int code, WPARAM removal, LPARAM message) {
    if (code == HC_ACTION) {
        auto* posted = reinterpret_cast<MSG*>(message);
        if (CarriesRecordPointer(posted->message)) posted->message = WM_NULL;
    }
    return CallNextHookEx(postedMessageFilter, code, removal, message);
}

}  // namespace

void InstallPostedMessageFilter() {
    if (!postedMessageFilter)
        postedMessageFilter = SetWindowsHookExW(WH_GETMESSAGE, DropPostedRecords, nullptr, GetCurrentThreadId());
}
