// Stand-in row view until the list-box view lands: the list box with its styles.
#include "view/view.h"
#include "shell/app.h"

HWND CreateView(HWND parent) {
    return CreateWindowExW(WS_EX_STATICEDGE, L"LISTBOX", nullptr,
                           WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP |
                               LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL |
                               LBS_DISABLENOSCROLL,
                           0, 0, 0, 0, parent, nullptr, app.instance, nullptr);
}
void FocusView() { if (app.view) SetFocus(app.view); }
void ShowRow(int) {}
void ScrollToEnd() {}
void UpdateHorizontalExtent() {}
void ApplyViewFont() {}
LRESULT OnCtlColorListBox(HDC) { return 0; }
void ChangeFontSize(int) {}
void FontDialogCommand() {}
void BackgroundDialogCommand() {}
