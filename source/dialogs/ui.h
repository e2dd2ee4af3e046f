// Strings, menus and dialogs in the chosen user-interface language: the per-resource language
// choice, the process-wide string cache and the dialog font substitution.
#pragma once
#include <windows.h>

// The dialogs subsystem's process-wide state.
struct Ui {
    // Preferred user-interface language: the stored "language" setting, fixed while the settings
    // load and never changed afterwards (a new choice takes effect by restarting). 0 is automatic.
    LANGID language;
    // One-shot: the next window created on the user-interface thread is placed over its owner.
    // Armed by RunUiDialog and by the commands that open system dialogs; cleared by the hook that
    // places the window.
    bool placeNextWindow;
    // The window placed at creation and where, until its first activation confirms the place.
    HWND placedWindow;
    POINT placedAt;
    // One-shot: the next window of this thread that finishes WM_INITDIALOG is centred over its
    // parent. Armed and ended by ArmDialogCentring / EndDialogCentring (dialogs/placement.h).
    bool centreNextDialog;
    // The hook that serves centreNextDialog: a call-window-procedure-return hook costs a trip to
    // the window server for every message sent on the thread, so it exists only while armed.
    HHOOK centringHook;
    // Headings of every dialog: font and colour, fixed by the first dialog that shows a heading.
    HFONT headingFont;
    COLORREF headingColor;
};

extern Ui ui;

// A resource in the language picked for it. data and size are null and 0 when nothing was found
// or the resource could not be loaded; language is 0 only when no variant exists at all.
struct UiResource {
    const void* data;   // read-only module data
    DWORD size;
    LANGID language;
};

// The language under which a resource of the program's module is loaded, 0 when it has none.
LANGID PickResourceLanguage(LPCWSTR type, LPCWSTR name);
UiResource FindUiResource(LPCWSTR type, LPCWSTR name);

// The language choice itself: the first of the preferred language, the user's and the system's
// default (each tried with its default, neutral and other sublanguages), the neutral ids and
// English that occurs in `available` (ascending); else the lowest, skipping a lone leading 0.
LANGID ChooseResourceLanguage(const LANGID* available, int count, LANGID preferred, LANGID user, LANGID system);

// A string-table entry in the chosen language; valid until the process ends. Never null: a
// missing or empty string reads as "". Safe on any thread.
const wchar_t* UiString(UINT id);
// The same, but null when the string does not exist or is empty.
const wchar_t* FindUiString(UINT id);

HMENU LoadUiMenu(UINT id);
// Runs a dialog modally; -1 when the dialog resource does not exist (nothing is shown then).
INT_PTR RunUiDialog(UINT id, HWND owner, DLGPROC procedure, LPARAM param = 0);

// The Language menu: commands 1501..1503 and 1519 against the stored `language` values 9, 1029,
// 1051 and 0. Each answers 0 / (uint32_t)-1 for anything else (no menu item, no language).
UINT LanguageMenuCommand(DWORD language);
DWORD LanguageOfCommand(UINT command);
// Radio mark on the item of the stored setting (none for an unknown value); at window creation.
void CheckLanguageMenu(HMENU menu, DWORD language);
// Commands 1501..1503 and 1519: store the language and restart, also when it is the current one.
void LanguageCommand(UINT command);

// On a writable copy of an extended dialog template with DS_SETFONT naming "MS Shell Dlg 2":
// makes the face "Segoe UI" at 9 points, moving the rest of the template 12 bytes down, and
// shrinks *size. False, and nothing changed, for any other template.
bool SubstituteDialogFont(BYTE* dialogTemplate, DWORD* size);
