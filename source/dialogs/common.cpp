// The shared dialog behaviour: white content area, headings, context help, links, Cancel.
#include "dialogs/common.h"
#include "dialogs/ui.h"
#include "shell/app.h"
#include "shell/mainwnd.h"
#include "shell/platform.h"
#include "update/update.h"
#include "ids.h"
#include <commctrl.h>
#include <shellapi.h>

namespace {

constexpr int kMainInstructionPart = 1;   // TEXT_MAININSTRUCTION of the "TEXTSTYLE" class
constexpr int kTextColorProperty = 3803;  // TMT_TEXTCOLOR
constexpr int kFontProperty = 210;        // TMT_FONT
constexpr int kLastButtonRowId = 128;

void DetermineHeadingLook(HTHEME theme) {
    ui.headingColor = GetSysColor(COLOR_WINDOWTEXT);
    LOGFONTW font{};
    bool styled = false;
    if (theme) {
        COLORREF color;
        if (optionalApi.GetThemeColor &&
            optionalApi.GetThemeColor(theme, kMainInstructionPart, 1, kTextColorProperty, &color) == S_OK)
            ui.headingColor = color;
        styled = optionalApi.GetThemeFont &&
                 optionalApi.GetThemeFont(theme, nullptr, kMainInstructionPart, 0, kFontProperty, &font) == S_OK;
    }
    if (!styled) {
        LOGFONTW gui{};
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(gui), &gui);
        font = HeadingFallbackFont(gui);
    }
    ui.headingFont = CreateFontIndirectW(&font);
    if (!ui.headingFont) ui.headingFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// The resource has no terminator: exactly its units after the mark go into a terminated copy.
void FillHistoryText(HWND edit) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, IDT_HISTORY_NAME, IDT_HISTORY_TYPE);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    size_t units = data ? HistoryTextUnits(SizeofResource(module, found)) : 0;
    if (!units) return;
    auto* text = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (units + 1) * sizeof(wchar_t)));
    if (!text) return;
    CopyMemory(text, data + sizeof(wchar_t), units * sizeof(wchar_t));
    text[units] = L'\0';
    SetWindowTextW(edit, text);
    HeapFree(GetProcessHeap(), 0, text);
}

INT_PTR OnInitDialog(HWND dialog) {
    HTHEME theme = optionalApi.OpenThemeData ? optionalApi.OpenThemeData(dialog, L"TEXTSTYLE") : nullptr;
    int last = isWindowsAtLeast(kWindowsVista) ? IDC_HEADING_LAST : IDC_HEADING_FIRST;
    for (int id = IDC_HEADING_FIRST; id <= last; ++id) {
        HWND heading = GetDlgItem(dialog, id);
        if (!heading) continue;
        if (!ui.headingFont) DetermineHeadingLook(theme);
        SendMessageW(heading, WM_SETFONT, reinterpret_cast<WPARAM>(ui.headingFont), FALSE);
    }
    if (theme && optionalApi.CloseThemeData) optionalApi.CloseThemeData(theme);
    if (HWND history = GetDlgItem(dialog, IDC_HISTORY_TEXT)) FillHistoryText(history);
    return TRUE;
}

// White above the separator; the button row below keeps the dialog's own colour.
void OnPaint(HWND dialog) {
    HWND separator = GetDlgItem(dialog, IDC_SEPARATOR);
    RECT line{};
    if (separator) GetWindowRect(separator, &line);
    POINT top{line.left, line.top};
    ScreenToClient(dialog, &top);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    if (!dc) return;
    RECT white = paint.rcPaint;
    if (separator && white.bottom > top.y) white.bottom = top.y;
    if (white.bottom > white.top) FillRect(dc, &white, GetSysColorBrush(COLOR_WINDOW));
    EndPaint(dialog, &paint);
}

INT_PTR OnControlColor(HDC dc, HWND control) {
    int id = GetDlgCtrlID(control);
    bool label = id == -1 || id == 0xFFFF;
    if (id >= IDC_HEADING_FIRST && id <= IDC_HEADING_LAST) SetTextColor(dc, ui.headingColor);
    else if (label || id > kLastButtonRowId) SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    else return FALSE;
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
}

void OnHelp(const HELPINFO* help) {
    HideHelpTip();
    // Only controls have help; F1 inside a dialog's menu names no control.
    if (!help || help->iContextType != HELPINFO_WINDOW || !app.helpTip) return;
    const wchar_t* text = FindUiString(static_cast<UINT>(help->iCtrlId + IDS_HELP_CONTROL_OFFSET) & 0xFFFF);
    RECT control;
    if (!text || !GetWindowRect(static_cast<HWND>(help->hItemHandle), &control)) return;
    app.helpText = text;
    POINT at = HelpTipPosition(control, isWindowsAtLeast(kWindowsVista));
    SendMessageW(app.helpTip, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = app.mainWindow;
    tool.uId = reinterpret_cast<UINT_PTR>(app.mainWindow);
    SendMessageW(app.helpTip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

void OnLink(HWND dialog, const NMLINK* link) {
    HWND control = link->hdr.hwndFrom;
    switch (ClassifyLink(link->item.szUrl)) {
    case kLinkCheck:
        // The progress text holds no link, so a running check cannot be started twice.
        SetWindowTextW(control, UiString(IDS_UPDATE_CONNECTING));
        // A check that cannot start has already put its own text on the link.
        if (StartUpdateCheck(control)) SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
        break;
    case kLinkOpen:
        ShellExecuteW(dialog, nullptr, link->item.szUrl, nullptr, nullptr, SW_SHOWDEFAULT);
        break;
    case kLinkIgnore:
        break;
    }
}

}  // namespace

LinkAction ClassifyLink(const wchar_t* address) {
    if (!address || !address[0]) return kLinkIgnore;
    if (lstrcmpW(address, L"check") == 0) return kLinkCheck;
    size_t scheme = WebSchemeLength(address);
    if (scheme && address[scheme]) return kLinkOpen;
    return kLinkIgnore;
}

size_t HistoryTextUnits(DWORD resourceBytes) {
    return resourceBytes < sizeof(wchar_t) ? 0 : (resourceBytes - sizeof(wchar_t)) / sizeof(wchar_t);
}

POINT HelpTipPosition(const RECT& control, bool vistaOrLater) {
    return POINT{control.left + 16, control.top + (vistaOrLater ? 18 : 16)};
}

LOGFONTW HeadingFallbackFont(const LOGFONTW& guiFont) {
    LOGFONTW font = guiFont;
    lstrcpynW(font.lfFaceName, L"Trebuchet MS", LF_FACESIZE);
    font.lfWeight = FW_BOLD;
    font.lfHeight = font.lfHeight > 0 ? font.lfHeight + 4 : font.lfHeight - 4;
    return font;
}

INT_PTR CALLBACK CommonDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_PAINT: OnPaint(dialog); return FALSE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: return OnControlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_HELP: OnHelp(reinterpret_cast<const HELPINFO*>(lParam)); return FALSE;
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN: case WM_XBUTTONDOWN:
    case WM_NCLBUTTONDOWN: case WM_NCRBUTTONDOWN: case WM_NCMBUTTONDOWN:
        HideHelpTip();
        return FALSE;
    case WM_COMMAND:
        HideHelpTip();
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY: {
        // Not copied between processes: from another thread the pointer is the sender's.
        const NMHDR* header = SentByThisThread() ? reinterpret_cast<const NMHDR*>(lParam) : nullptr;
        if (header && (header->idFrom == IDC_UPDATE_LINK || header->idFrom == IDC_MAKER_LINK) &&
            (header->code == NM_CLICK || header->code == NM_RETURN))
            OnLink(dialog, reinterpret_cast<const NMLINK*>(lParam));
        return FALSE;
    }
    }
    return FALSE;
}
