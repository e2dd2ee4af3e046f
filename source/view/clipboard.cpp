// Selecting rows; copying arrives with its own change.
#include "view/clipboard.h"
#include "shell/app.h"
#include "status/status.h"

void CopyCommand() {}

void SelectAllCommand() {
    if (app.view) SendMessageW(app.view, LB_SETSEL, TRUE, -1);
    RefreshStatus();
}

void CopyPathToClipboard() {}
