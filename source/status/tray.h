// The notification-area icon that the main window can be minimized into, and the taskbar
// button that leaves and comes back with it.
#pragma once
#include <windows.h>
#include <shellapi.h>

constexpr UINT kTrayIconId = 1;
constexpr DWORD kTrayTipUnits = 128;   // the record's tip, terminator included

struct TrayIcon {
    NOTIFYICONDATAW data;   // kept between uses; a taskbar restart adds it again as it stands
    bool shown;             // added and not removed since
    bool minimizing;        // the main window minimizes to the tray within this thread right now
};
extern TrayIcon tray;

void InitTrayIcon(HWND owner);        // start-up: the record's fixed fields
void TrayBeforeMinimize();            // WM_SYSCOMMAND SC_MINIMIZE with "tray minimize" on
void TrayOnQueryOpen();               // WM_QUERYOPEN with "tray minimize" on
void RemoveTrayIcon();                // closing
LRESULT TrayOnNotify(WPARAM wParam, LPARAM lParam);   // message 1027
void TrayOnTaskbarCreated();
bool TrayOnShellHook(WPARAM wParam, LPARAM lParam);   // true when it answered
void TrayOnTimer(UINT_PTR id);                        // timers 4, 5, 6

// The standard taskbar's notification area, or null when the shell has none.
HWND FindNotificationArea();

bool hideTaskbarButton(HWND window, bool again);
void showTaskbarButton(HWND window);

// The tip: the product name without a file; the display name alone when it leaves no room;
// otherwise the name, a line break and the full path shortened to the rest of the tip.
// `title` is null when no file is open. `tip` holds kTrayTipUnits.
void ComposeTrayTip(wchar_t* tip, const wchar_t* product, const wchar_t* title, const wchar_t* fullPath);
