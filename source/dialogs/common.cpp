// Stand-in for the shared dialog behaviour: Cancel, Esc and the close box end with 0.
#include "dialogs/common.h"

INT_PTR CALLBACK CommonDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}
