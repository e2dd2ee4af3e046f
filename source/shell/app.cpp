// The shell record and the main menu's small state helpers.
#include "shell/app.h"

App app;

void EnableMenuCommand(UINT id, bool enabled) {
    if (app.mainMenu) EnableMenuItem(app.mainMenu, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void CheckMenuCommand(UINT id, bool checked) {
    if (app.mainMenu) CheckMenuItem(app.mainMenu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool IsMenuCommandChecked(UINT id) {
    return app.mainMenu && (GetMenuState(app.mainMenu, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}
