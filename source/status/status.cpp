// Stand-in status bar: plain texts in the parts that the watching code fills.
#include "status/status.h"
#include "shell/app.h"
#include "logsource/logsource.h"
#include "persist/settings.h"
#include "dialogs/ui.h"
#include "ids.h"
#include <commctrl.h>

void RefreshStatus() {}

void UpdateProgress() {
    if (!app.progressBar) return;
    int64_t size = static_cast<int64_t>(logSource.currentSize);
    int low = static_cast<int>((size - static_cast<int64_t>(settings.kbLimit) * 1024) / 65536);
    int high = static_cast<int>(size / 65536);
    SendMessageW(app.progressBar, PBM_SETRANGE32, low, high);
    SendMessageW(app.progressBar, PBM_SETPOS, static_cast<WPARAM>(logSource.bytesConsumed / 65536), 0);
}

void SetStatusSizeText(const char* text, const wchar_t* tip) {
    if (!app.statusBar) return;
    SendMessageW(app.statusBar, SB_SETTEXTA, 6, reinterpret_cast<LPARAM>(text));
    SendMessageW(app.statusBar, SB_SETTIPTEXTW, 6, reinterpret_cast<LPARAM>(tip));
}

void SetStatusFile(const wchar_t* path) {
    if (!app.statusBar) return;
    SendMessageW(app.statusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(path));
    SendMessageW(app.statusBar, SB_SETTIPTEXTW, 0, reinterpret_cast<LPARAM>(path));
}

void ClearStatusFile() { SetStatusFile(L""); }

void SetStatusLockText(bool locked) {
    if (app.statusBar) SendMessageW(app.statusBar, SB_SETTEXTW, 3, reinterpret_cast<LPARAM>(locked ? UiString(IDS_LOCKED) : L""));
}

void SetStatusLockTip(bool locked) {
    if (app.statusBar) SendMessageW(app.statusBar, SB_SETTIPTEXTW, 3, reinterpret_cast<LPARAM>(locked ? UiString(IDS_LOCKED_TIP) : L""));
}
