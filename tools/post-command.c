// Posts a menu command to Brindle's main window, as choosing the menu item would; the guide's
// screenshot script opens the dialogs with it. usage: post-command.exe COMMAND_ID
#include <windows.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    HWND main = FindWindowW(L"W", NULL);
    if (!main) return 1;
    return PostMessageW(main, WM_COMMAND, MAKEWPARAM(atoi(argv[1]), 0), 0) ? 0 : 1;
}
