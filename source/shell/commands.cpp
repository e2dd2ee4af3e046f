// Command dispatch: one line per command id, plus the other input paths of the main window
// (status bar clicks, context menu, Ctrl+wheel, dropped files, menu help, the Open dialog).
#include "shell/app.h"
#include "shell/mainwnd.h"
#include "shell/platform.h"
#include "logsource/logsource.h"
#include "view/view.h"
#include "view/find.h"
#include "view/clipboard.h"
#include "view/highlight.h"
#include "logsource/lines.h"
#include "status/status.h"
#include "persist/settings.h"
#include "persist/history_menu.h"
#include "dialogs/ui.h"
#include "dialogs/dialogs.h"
#include "dialogs/placement.h"
#include "print/print.h"
#include "update/update.h"
#include "ids.h"
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

namespace {

// Menu help texts: an item's at its id + 256, a main-menu popup's at 256 + its position.
constexpr UINT kMenuHelpOffset = 256;
constexpr UINT kPopupHelpBase = 256;

// The platform's menu help loads its texts in the system's language, and some platforms leave
// out the item offset; the status bar's simple mode is driven here instead, in the chosen language.
void EndMenuHelp() {
    if (app.statusBar) SendMessageW(app.statusBar, SB_SIMPLE, FALSE, 0);
}

bool FileOpen() { return logSource.handle != nullptr; }

// Toggles read the menu's check mark, store the opposite, and flip the mark.
void Toggle(UINT id, uint32_t& value, SettingValue stored) {
    value = IsMenuCommandChecked(id) ? 0 : 1;
    CheckMenuCommand(id, value != 0);
    StoreSetting(stored);
}

void RowLengthCommand() {
    uint32_t length = 0;
    if (!RunRowLengthDialog(&length)) return;
    settings.rowLength = length;
    UpdateHorizontalExtent();
    StoreSetting(SV_ROW_LENGTH);
    if (settings.wrapLines) ReloadLogFile();
}

void StatusBarCommand() {
    Toggle(IDM_STATUS_BAR, settings.statusBar, SV_STATUS_BAR);
    RECT client;
    GetClientRect(app.mainWindow, &client);
    PostMessageW(app.mainWindow, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
}

void LimitsCommand() {
    uint32_t limits = 0;
    if (!RunLimitsDialog(&limits)) return;
    settings.linesLimit = limits & 0xFFFF;
    settings.kbLimit = limits >> 16;
    const SettingValue values[] = {SV_KB_LIMIT, SV_LINES_LIMIT};
    StoreSettings(values, 2);
    UpdateHorizontalExtent();
}

// The system's Font and Colour dialogs are placed over the main window like the program's own;
// the request ends with the dialog, shown or not.
void PlacedSystemDialog(void (*show)()) {
    ui.placeNextWindow = true;
    show();
    ui.placeNextWindow = false;
}

void AppSettingsCommand() {
    if (!RunAppSettingsDialog()) return;
    const SettingValue values[] = {SV_RESTRICT_INSTANCES, SV_TRAY_MINIMIZE, SV_FULLSCREEN, SV_ESC_CLOSE,
                                   SV_SAVE_POSITION};
    StoreSettings(values, 5);
}

void UpdateCheckCommand() {
    if (StartUpdateCheck(nullptr)) SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
}

enum Needs : uint8_t { kAnyTime = 0, kNeedsFile = 1 };
enum After : uint8_t { kStay = 0, kFocus = 1 };

struct Command {
    UINT id;
    Needs needs;
    After after;
    void (*run)(WPARAM wParam);
};

const Command commands[] = {
    {IDM_OPEN, kAnyTime, kFocus, [](WPARAM) { OpenCommand(); }},
    {IDM_PRINT_SETUP, kAnyTime, kFocus, [](WPARAM) { PrintSetupCommand(); }},
    {IDM_PRINT, kNeedsFile, kFocus, [](WPARAM) { PrintCommand(); }},
    {IDM_CLOSE, kNeedsFile, kStay, [](WPARAM) { CloseLogFile(); }},
    {IDM_EXIT, kAnyTime, kStay, [](WPARAM) { ExitCommand(); }},
    {IDM_RESTORE, kAnyTime, kStay, [](WPARAM) { ShowWindow(app.mainWindow, SW_RESTORE); }},
    {IDM_ESC, kAnyTime, kStay, [](WPARAM) { EscCommand(); }},
    {IDM_CLEAR_HISTORY, kAnyTime, kStay, [](WPARAM) { ClearHistoryCommand(); }},
    {IDM_PAUSE, kNeedsFile, kStay, [](WPARAM) { PauseCommand(); }},
    {IDM_COPY, kNeedsFile, kStay, [](WPARAM) { CopyCommand(); }},
    {IDM_SELECT_ALL, kAnyTime, kStay, [](WPARAM) { SelectAllCommand(); }},
    {IDM_FIND, kNeedsFile, kFocus, [](WPARAM) { FindCommand(); }},
    {IDM_FIND_NEXT, kNeedsFile, kStay, [](WPARAM) { FindNextCommand(); }},
    {IDM_GOTO, kNeedsFile, kFocus, [](WPARAM) { GotoCommand(); }},
    {IDM_LOCK_SCROLL, kNeedsFile, kStay, [](WPARAM w) { LockScrollCommand(HIWORD(w) != 0); }},
    {IDM_FULLSCREEN, kAnyTime, kStay, [](WPARAM) { ToggleFullScreen(); }},
    {IDM_ERASE, kAnyTime, kStay, [](WPARAM) { EraseLogFile(); }},
    {IDM_LARGER_FONT, kAnyTime, kStay, [](WPARAM) { ChangeFontSize(1); }},
    {IDM_SMALLER_FONT, kAnyTime, kStay, [](WPARAM) { ChangeFontSize(-1); }},
    {IDM_RELOAD, kAnyTime, kStay, [](WPARAM) { ReloadLogFile(); }},
    {IDM_AUTODETECT, kAnyTime, kStay, [](WPARAM) { AutodetectCommand(); }},
    {IDM_ROW_LENGTH, kAnyTime, kFocus, [](WPARAM) { RowLengthCommand(); }},
    {IDM_FONT, kAnyTime, kFocus, [](WPARAM) { PlacedSystemDialog(FontDialogCommand); }},
    {IDM_STATUS_BAR, kAnyTime, kStay, [](WPARAM) { StatusBarCommand(); }},
    {IDM_BACKGROUND, kAnyTime, kFocus, [](WPARAM) { PlacedSystemDialog(BackgroundDialogCommand); }},
    {IDM_HIGHLIGHT, kAnyTime, kFocus, [](WPARAM) { HighlightDialogCommand(); }},
    {IDM_ASSOCIATIONS, kAnyTime, kFocus, [](WPARAM) { RunAssociationsDialog(); }},
    {IDM_LIMITS, kAnyTime, kFocus, [](WPARAM) { LimitsCommand(); }},
    {IDM_WRAP_LINES, kAnyTime, kStay, [](WPARAM) {
         Toggle(IDM_WRAP_LINES, settings.wrapLines, SV_WRAP_LINES);
         UpdateHorizontalExtent();
         ReloadLogFile();
     }},
    {IDM_CUT_EMPTY, kAnyTime, kStay, [](WPARAM) {
         Toggle(IDM_CUT_EMPTY, settings.cutEmpty, SV_CUT_EMPTY);
         ReloadLogFile();
     }},
    {IDM_FILTER_ROWS, kAnyTime, kStay, [](WPARAM) {
         Toggle(IDM_FILTER_ROWS, settings.filter, SV_FILTER);
         ReloadLogFile();
         RefreshStatus();
     }},
    {IDM_FILTERS, kAnyTime, kFocus, [](WPARAM) { FilterDialogCommand(); }},
    {IDM_APP_SETTINGS, kAnyTime, kFocus, [](WPARAM) { AppSettingsCommand(); }},
    {IDM_LANG_ENGLISH, kAnyTime, kStay, [](WPARAM w) { LanguageCommand(LOWORD(w)); }},
    {IDM_LANG_CZECH, kAnyTime, kStay, [](WPARAM w) { LanguageCommand(LOWORD(w)); }},
    {IDM_LANG_SLOVAK, kAnyTime, kStay, [](WPARAM w) { LanguageCommand(LOWORD(w)); }},
    {IDM_LANG_AUTO, kAnyTime, kStay, [](WPARAM w) { LanguageCommand(LOWORD(w)); }},
    {IDM_DONATE, kAnyTime, kStay, [](WPARAM) { DonateCommand(); }},
    {IDM_AUTO_CHECK, kAnyTime, kStay, [](WPARAM) {
         Toggle(IDM_AUTO_CHECK, settings.autoCheck, SV_AUTO_CHECK);
         ShowUpdateSchedule();
     }},
    {IDM_CHECK_UPDATES, kAnyTime, kStay, [](WPARAM) { UpdateCheckCommand(); }},
    {IDM_HISTORY_TEXT, kAnyTime, kFocus, [](WPARAM) { RunVersionHistoryDialog(); }},
    {IDM_ABOUT, kAnyTime, kFocus, [](WPARAM) { RunAboutDialog(); }},
};

void Dispatch(UINT id, WPARAM wParam) {
    if (id >= IDM_HISTORY_FIRST && id <= IDM_HISTORY_LAST) {
        OpenHistoryEntry(static_cast<int>(id - IDM_HISTORY_FIRST));
        return;
    }
    if (id >= IDM_CHARSET_FIRST && id <= IDM_CHARSET_LAST) {
        CharsetCommand(id);
        return;
    }
    for (const Command& c : commands) {
        if (c.id != id) continue;
        if (c.needs == kNeedsFile && !FileOpen()) return;
        c.run(wParam);
        if (c.after == kFocus) FocusView();
        return;
    }
}

void PostCommand(UINT id) { PostMessageW(app.mainWindow, WM_COMMAND, id, 0); }

// Server installations without the desktop shell only have the old-style Open dialog.
bool NeedsOldStyleOpenDialog() {
    if (!optionalApi.GetProductInfo || isWindowsAtLeast(6)) return false;
    DWORD product = 0;
    if (!optionalApi.GetProductInfo(6, 0, 0, 0, &product)) return false;
    const DWORD coreProducts[] = {12, 13, 14, 29, 39, 40, 41, 42};
    for (DWORD p : coreProducts)
        if (p == product) return true;
    return false;
}

UINT_PTR CALLBACK PlainHook(HWND, UINT, WPARAM, LPARAM) { return 0; }

}  // namespace

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    HideHelpTip();
    EndMenuHelp();
    if (lParam && reinterpret_cast<HWND>(lParam) == app.view) RefreshStatus();
    Dispatch(LOWORD(wParam), wParam);
    return 0;
}

LRESULT OnStatusNotify(const NMHDR* header) {
    const auto* mouse = reinterpret_cast<const NMMOUSE*>(header);
    if (header->code == NM_CLICK) {
        switch (mouse->dwItemSpec) {
        case 2: PostCommand(IDM_PAUSE); break;
        case 3: PostCommand(IDM_LOCK_SCROLL); break;
        case 4: PostCommand(IDM_GOTO); break;
        case 7:
            if (OpenPendingDownload()) {
                SendMessageW(app.statusBar, SB_SETICON, 7, 0);
                SendMessageW(app.statusBar, SB_SETTEXTW, 7, reinterpret_cast<LPARAM>(UiString(IDS_UPDATE_BLANK)));
                ShowUpdateSchedule();
            }
            break;
        }
    } else if (header->code == NM_DBLCLK) {
        if (mouse->dwItemSpec == 0 && FileOpen()) CopyPathToClipboard();
        else if (mouse->dwItemSpec == 8) OpenProductPage();
    }
    return 0;
}

void OnContextMenu(HWND, LPARAM point) {
    int x = static_cast<short>(LOWORD(point)), y = static_cast<short>(HIWORD(point));
    if (IsKeyboardMenuPoint(point)) {
        RECT row{};
        int count = static_cast<int>(SendMessageW(app.view, LB_GETCOUNT, 0, 0));
        if (count > 0) {
            int caret = static_cast<int>(SendMessageW(app.view, LB_GETCARETINDEX, 0, 0));
            if (caret < 0 || caret >= count) caret = count - 1;
            SendMessageW(app.view, LB_GETITEMRECT, caret, reinterpret_cast<LPARAM>(&row));
        }
        POINT at{row.left + (row.right - row.left) / 4, row.bottom};
        ClientToScreen(app.mainWindow, &at);
        x = at.x;
        y = at.y;
    }
    if (!app.contextMenu) return;
    UINT state = MF_BYCOMMAND | (FileOpen() ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(app.contextMenu, IDM_COPY, state);
    EnableMenuItem(app.contextMenu, IDM_PRINT, state);
    EnableMenuItem(app.contextMenu, IDM_SELECT_ALL, state);
    SetForegroundWindow(app.mainWindow);
    TrackPopupMenu(app.contextMenu, TPM_RIGHTBUTTON, x, y, 0, app.mainWindow, nullptr);
}

void OnMouseWheel(WPARAM wParam) {
    if (!(GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL)) return;
    int delta = GET_WHEEL_DELTA_WPARAM(wParam);
    UINT id = delta >= 0 ? IDM_LARGER_FONT : IDM_SMALLER_FONT;
    if (delta < 0) delta = -delta;
    int steps = (delta + 119) / 120;  // once for every started 120 units
    for (int i = 0; i < steps; ++i) PostCommand(id);
}

void OnDropFiles(HDROP drop) {
    wchar_t* path = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kPathUnits * sizeof(wchar_t)));
    if (path) {
        if (DragQueryFileW(drop, 0, path, kPathUnits) && path[0]) OpenLogFile(path);
        HeapFree(GetProcessHeap(), 0, path);
    }
    DragFinish(drop);
}

static UINT MenuHelpString(WPARAM wParam, LPARAM lParam) {
    UINT flags = HIWORD(wParam), item = LOWORD(wParam);
    if (flags & MF_SEPARATOR) return 0;
    if (flags & MF_POPUP) return reinterpret_cast<HMENU>(lParam) == app.mainMenu ? kPopupHelpBase + item : 0;
    return item ? item + kMenuHelpOffset : 0;
}

void OnMenuSelect(WPARAM wParam, LPARAM lParam) {
    if (!app.statusBar) return;
    if (HIWORD(wParam) == 0xFFFF && lParam == 0) {
        EndMenuHelp();
        return;
    }
    UINT id = MenuHelpString(wParam, lParam);
    const wchar_t* text = id ? UiString(id) : L"";
    SendMessageW(app.statusBar, SB_SETTEXTW, 255 | SBT_NOBORDERS, reinterpret_cast<LPARAM>(text));
    SendMessageW(app.statusBar, SB_SIMPLE, TRUE, 0);
}

void OpenCommand() {
    wchar_t filter[256];
    int n = 0;
    auto add = [&](const wchar_t* text) {
        int length = lstrlenW(text);
        if (n + length + 2 >= 256) return;
        CopyMemory(filter + n, text, length * sizeof(wchar_t));
        n += length;
        filter[n++] = 0;
    };
    add(UiString(IDS_FILTER_LOG));
    add(L"*.log");
    add(UiString(IDS_FILTER_ALL));
    add(L"*.*");
    filter[n] = 0;
    wchar_t* path = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kPathUnits * sizeof(wchar_t)));
    if (!path) return;
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = app.mainWindow;
    ofn.hInstance = app.instance;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path;
    ofn.nMaxFile = kPathUnits;
    ofn.lpstrDefExt = L"log";
    ofn.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING;
    if (NeedsOldStyleOpenDialog()) {
        ofn.Flags = (ofn.Flags & ~OFN_EXPLORER) | OFN_LONGNAMES | OFN_ENABLEHOOK;
        ofn.lpfnHook = PlainHook;
    } else if (isWindowsOlderThan(kWindows2000)) {
        ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    } else {
        ArmDialogCentring();  // centred over the main window once it has laid itself out
    }
    BOOL chosen = GetOpenFileNameW(&ofn);
    EndDialogCentring();  // armed for the dialog alone, shown or not
    if (chosen) OpenLogFile(path);
    HeapFree(GetProcessHeap(), 0, path);
}
