// The program's dialogs used from outside as a user would: open from the menu command, type,
// confirm or cancel; what they store is read back from the real registry.
#include <gtest/gtest.h>
#include "harness.h"
#include "update_service.h"
#include <commctrl.h>
#include <shellapi.h>
#include <string>

namespace {

const wchar_t kKey[] = L"Software\\Skelby\\Brindle";
constexpr UINT kRowLength = 1401, kAssociations = 1405, kLimits = 1406, kAppSettings = 1409, kHighlighting = 1410,
               kHistory = 1908;

void SetSetting(const wchar_t* name, DWORD value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, REG_DWORD, &value, sizeof(value));
}

// Leaves the value to its default for the tests that follow.
void DeleteSetting(const wchar_t* name) { RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, name); }

DWORD Setting(const wchar_t* name) {
    DWORD value = 0xDEADBEEF, size = sizeof(value);
    RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

// The process's visible, enabled dialog frame (modal dialogs disable the main window).
HWND WaitForDialog(const harness::Process& brindle, DWORD timeoutMs = 5000) {
    HWND found = nullptr;
    harness::WaitUntil([&] {
        return (found = harness::FindProcessWindow(brindle.info.dwProcessId, L"#32770", nullptr, true)) != nullptr;
    }, timeoutMs);
    return found;
}

HWND OpenDialog(const harness::Process& brindle, UINT command) {
    PostMessageW(brindle.main, WM_COMMAND, command, 0);
    return WaitForDialog(brindle);
}

bool WaitClosed(HWND dialog) { return harness::WaitUntil([&] { return !IsWindow(dialog); }); }

std::wstring ItemText(HWND dialog, int id) { return harness::WindowText(GetDlgItem(dialog, id)); }

void Type(HWND dialog, int id, const wchar_t* text) {
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void Click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

bool Checked(HWND dialog, int id) { return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Keys go through the real input queue of the foreground window.
void Press(HWND window, std::initializer_list<BYTE> keys) {
    SetForegroundWindow(window);
    harness::WaitUntil([&] { return GetForegroundWindow() == window; }, 2000);
    for (BYTE k : keys) keybd_event(k, 0, 0, 0);
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) keybd_event(*it, 0, KEYEVENTF_KEYUP, 0);
}

// Confirms with the given text in the edit and waits for the stored value.
DWORD ConfirmRowLength(const harness::Process& brindle, const wchar_t* text) {
    HWND dialog = OpenDialog(brindle, kRowLength);
    if (!dialog) return 0xDEADBEEF;
    Type(dialog, 259, text);
    Click(dialog, IDOK);
    WaitClosed(dialog);
    harness::WaitUntil([&] { return IsWindowEnabled(brindle.main) != FALSE; });
    return Setting(L"row length");
}

}  // namespace

TEST(DialogsE2E, RowLengthClampsStoresAndCancels) {
    SetSetting(L"row length", 100);
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L""));
    HWND dialog = OpenDialog(brindle, kRowLength);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"100", ItemText(dialog, 259));
    EXPECT_FALSE(IsWindowEnabled(brindle.main));
    // The arrow keys stop at both ends of the range.
    Type(dialog, 259, L"256");
    Press(dialog, {VK_UP});
    harness::Pump(100);
    EXPECT_EQ(L"256", ItemText(dialog, 259));
    Type(dialog, 259, L"1");
    Press(dialog, {VK_DOWN});
    harness::Pump(100);
    EXPECT_EQ(L"1", ItemText(dialog, 259));
    Press(dialog, {VK_UP});
    EXPECT_TRUE(harness::WaitUntil([&] { return ItemText(dialog, 259) == L"2"; }));
    // Esc ends with nothing stored.
    Type(dialog, 259, L"50");
    Press(dialog, {VK_ESCAPE});
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_EQ(100u, Setting(L"row length"));

    EXPECT_EQ(1u, ConfirmRowLength(brindle, L"0"));
    EXPECT_EQ(256u, ConfirmRowLength(brindle, L"300"));
    EXPECT_EQ(1u, ConfirmRowLength(brindle, L"-5"));
    EXPECT_EQ(256u, ConfirmRowLength(brindle, L"99999999999"));
    EXPECT_EQ(77u, ConfirmRowLength(brindle, L"77"));
    EXPECT_EQ(0u, harness::Close(brindle));

    // The stored value is what the next start shows.
    ASSERT_TRUE(harness::Start(brindle, L""));
    dialog = OpenDialog(brindle, kRowLength);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"77", ItemText(dialog, 259));
    PostMessageW(dialog, WM_CLOSE, 0, 0);   // the caption's close box
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_EQ(77u, Setting(L"row length"));
    EXPECT_EQ(0u, harness::Close(brindle));
    DeleteSetting(L"row length");
}

TEST(DialogsE2E, SizeLimitsKeepBothPartsUpToTheLargest) {
    SetSetting(L"kb limit", 64);
    SetSetting(L"lines limit", 3000);
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L""));
    auto confirm = [&](const wchar_t* kilobytes, const wchar_t* rows) {
        HWND dialog = OpenDialog(brindle, kLimits);
        ASSERT_NE(nullptr, dialog);
        Type(dialog, 263, kilobytes);
        Type(dialog, 265, rows);
        Press(dialog, {VK_RETURN});
        EXPECT_TRUE(WaitClosed(dialog));
        harness::WaitUntil([&] { return IsWindowEnabled(brindle.main) != FALSE; });
    };
    HWND dialog = OpenDialog(brindle, kLimits);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"64", ItemText(dialog, 263));
    EXPECT_EQ(L"3000", ItemText(dialog, 265));
    Type(dialog, 263, L"9");
    Click(dialog, IDCANCEL);
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_EQ(64u, Setting(L"kb limit"));

    confirm(L"1000", L"5000");
    EXPECT_EQ(1000u, Setting(L"kb limit"));
    EXPECT_EQ(5000u, Setting(L"lines limit"));
    dialog = OpenDialog(brindle, kLimits);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"1000", ItemText(dialog, 263));   // no thousands separators
    EXPECT_EQ(L"5000", ItemText(dialog, 265));
    Press(dialog, {VK_RETURN});
    EXPECT_TRUE(WaitClosed(dialog));
    harness::WaitUntil([&] { return IsWindowEnabled(brindle.main) != FALSE; });
    EXPECT_EQ(1000u, Setting(L"kb limit"));
    EXPECT_EQ(5000u, Setting(L"lines limit"));

    // Both at their maximum pack into all ones, which is still a confirmation.
    confirm(L"70000", L"99999999999");
    EXPECT_EQ(65535u, Setting(L"kb limit"));
    EXPECT_EQ(65535u, Setting(L"lines limit"));
    confirm(L"0", L"");
    EXPECT_EQ(1u, Setting(L"kb limit"));
    EXPECT_EQ(1u, Setting(L"lines limit"));
    confirm(L"65535", L"65535");
    EXPECT_EQ(0u, harness::Close(brindle));

    ASSERT_TRUE(harness::Start(brindle, L""));
    dialog = OpenDialog(brindle, kLimits);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"65535", ItemText(dialog, 263));
    EXPECT_EQ(L"65535", ItemText(dialog, 265));
    Press(dialog, {VK_ESCAPE});
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_EQ(0u, harness::Close(brindle));
    DeleteSetting(L"kb limit");
    DeleteSetting(L"lines limit");
}

TEST(DialogsE2E, AppSettingsSavesAllFiveAndTakeEffect) {
    const wchar_t* names[] = {L"tray minimize", L"fullscreen", L"esc close", L"save position", L"restrict instances"};
    SetSetting(L"tray minimize", 1);
    for (int i = 1; i < 5; ++i) SetSetting(names[i], 0);
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L""));
    HWND dialog = OpenDialog(brindle, kAppSettings);
    ASSERT_NE(nullptr, dialog);
    // No notification area on this desktop: the tray box stays disabled and unchecked.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 531)));
    EXPECT_FALSE(Checked(dialog, 531));
    for (int box : {532, 533, 541, 542}) EXPECT_FALSE(Checked(dialog, box)) << box;
    Click(dialog, 532);
    Click(dialog, 541);
    Press(dialog, {VK_ESCAPE});
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_EQ(1u, Setting(L"tray minimize"));
    EXPECT_EQ(0u, Setting(L"fullscreen"));

    dialog = OpenDialog(brindle, kAppSettings);
    ASSERT_NE(nullptr, dialog);
    EXPECT_FALSE(Checked(dialog, 532));
    Click(dialog, 532);
    Click(dialog, 541);
    Click(dialog, IDOK);
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_TRUE(harness::WaitUntil([&] { return Setting(L"save position") == 1; }));
    const DWORD expected[] = {0, 1, 0, 1, 0};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(expected[i], Setting(names[i])) << harness::Utf8(names[i]);

    // Saving without changes writes all five again; Esc in the main window now closes it.
    SetSetting(L"restrict instances", 7);
    dialog = OpenDialog(brindle, kAppSettings);
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(Checked(dialog, 532));
    EXPECT_TRUE(Checked(dialog, 541));
    Click(dialog, 533);
    Click(dialog, IDOK);
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_TRUE(harness::WaitUntil([&] { return Setting(L"restrict instances") == 0; }));
    EXPECT_EQ(1u, Setting(L"esc close"));
    harness::WaitUntil([&] { return IsWindowEnabled(brindle.main) != FALSE; });
    Press(brindle.main, {VK_ESCAPE});
    EXPECT_EQ(0u, harness::WaitExit(brindle, 5000));
    for (const wchar_t* name : names) DeleteSetting(name);
}

namespace {

std::wstring ClassesString(const wchar_t* subkey, const wchar_t* name = nullptr) {
    wchar_t text[1024] = L"";
    DWORD size = sizeof(text);
    if (RegGetValueW(HKEY_CLASSES_ROOT, subkey, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return L"<none>";
    return text;
}

bool ClassesKeyExists(const wchar_t* subkey) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void RestoreClassesDefault(const wchar_t* subkey, const std::wstring& value) {
    if (value == L"<none>") {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, subkey);
        return;
    }
    RegSetKeyValueW(HKEY_CLASSES_ROOT, subkey, nullptr, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// The program copied to a folder and a name with blanks, started from there.
bool StartCopy(harness::Process& process, const std::wstring& exe, const std::wstring& arguments) {
    std::wstring line = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW si{sizeof(si)};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process.info))
        return false;
    process.main = harness::FindMainWindow(process.info.dwProcessId);
    return process.main != nullptr;
}

}  // namespace

TEST(DialogsE2E, AssociationsRegisterTheQuotedProgramAndOpenLogs) {
    const std::wstring savedLog = ClassesString(L".log"), savedTxt = ClassesString(L".txt");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Tervo.Brindle.1");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"*\\shell\\Tervo.Brindle");
    RestoreClassesDefault(L".txt", L"someother.txt");

    std::wstring dir = harness::NewTempDir() + L"\\Log Viewer";
    CreateDirectoryW(dir.c_str(), nullptr);
    std::wstring exe = dir + L"\\brindle copy.exe";
    ASSERT_TRUE(CopyFileW(harness::BrindleExe().c_str(), exe.c_str(), FALSE));
    const std::wstring command = L"\"" + exe + L"\" \"%1\"";

    harness::Process brindle;
    ASSERT_TRUE(StartCopy(brindle, exe, L""));
    HWND dialog = OpenDialog(brindle, kAssociations);
    ASSERT_NE(nullptr, dialog);
    // Opening writes the ProgID at once; nothing is associated yet.
    EXPECT_EQ(L"Brindle", ClassesString(L"Tervo.Brindle.1"));
    EXPECT_EQ(L"Log file", ClassesString(L"Tervo.Brindle.1", L"FriendlyTypeName"));
    DWORD flags = 0, size = sizeof(flags);
    RegGetValueW(HKEY_CLASSES_ROOT, L"Tervo.Brindle.1", L"EditFlags", RRF_RT_REG_DWORD, nullptr, &flags, &size);
    EXPECT_EQ(0x00010001u, flags);
    EXPECT_EQ(L"Tervo.Brindle.1", ClassesString(L"Tervo.Brindle.1\\CurVer"));
    std::wstring icon = ClassesString(L"txtfile\\DefaultIcon");
    EXPECT_EQ(icon == L"<none>" ? L"%SystemRoot%\\system32\\shell32.dll,-152" : icon,
              ClassesString(L"Tervo.Brindle.1\\DefaultIcon"));
    EXPECT_EQ(command, ClassesString(L"Tervo.Brindle.1\\shell\\open\\command"));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
    EXPECT_EQ(L"", ItemText(dialog, 122));
    for (int box : {512, 513, 527}) EXPECT_FALSE(Checked(dialog, box)) << box;

    // Cancel writes nothing more.
    Click(dialog, 512);
    Press(dialog, {VK_ESCAPE});
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_EQ(savedLog, ClassesString(L".log"));

    dialog = OpenDialog(brindle, kAssociations);
    ASSERT_NE(nullptr, dialog);
    Click(dialog, 512);
    Click(dialog, 527);
    Click(dialog, IDOK);
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_TRUE(harness::WaitUntil([] { return ClassesKeyExists(L"*\\shell\\Tervo.Brindle\\Command"); }));
    EXPECT_EQ(L"Tervo.Brindle.1", ClassesString(L".log"));
    EXPECT_EQ(L"someother.txt", ClassesString(L".txt"));   // another program's association stays
    EXPECT_EQ(L"Watch file as log...", ClassesString(L"*\\shell\\Tervo.Brindle"));
    EXPECT_EQ(command, ClassesString(L"*\\shell\\Tervo.Brindle\\Command"));

    // The shell opens a .log through the registered command: the program starts on that file.
    std::wstring log = harness::NewTempDir() + L"\\opened by shell.log";
    ASSERT_TRUE(harness::WriteBytes(log, "from the shell\n"));
    SHELLEXECUTEINFOW run{sizeof(run)};
    run.fMask = SEE_MASK_NOCLOSEPROCESS;
    run.lpVerb = L"open";
    run.lpFile = log.c_str();
    run.nShow = SW_SHOWNORMAL;
    ASSERT_TRUE(ShellExecuteExW(&run));
    HWND opened = nullptr;
    EXPECT_TRUE(harness::WaitUntil([&] {
        return (opened = harness::FindProcessWindow(0, L"W", L"opened by shell.log - Brindle")) != nullptr;
    }, 10000));
    if (opened) {
        HWND view = harness::FindView(opened);
        EXPECT_TRUE(harness::WaitUntil([&] { return harness::Rows(view) == std::vector<std::wstring>{L"from the shell"}; }));
        PostMessageW(opened, WM_CLOSE, 0, 0);
    }
    if (run.hProcess) {
        WaitForSingleObject(run.hProcess, 5000);
        CloseHandle(run.hProcess);
    }

    // The boxes show the registered state; unchecking removes the verb with its command.
    dialog = OpenDialog(brindle, kAssociations);
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(Checked(dialog, 512));
    EXPECT_FALSE(Checked(dialog, 513));
    EXPECT_TRUE(Checked(dialog, 527));
    Click(dialog, 512);
    Click(dialog, 527);
    Press(dialog, {VK_RETURN});
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_TRUE(harness::WaitUntil([] { return !ClassesKeyExists(L"*\\shell\\Tervo.Brindle"); }));
    EXPECT_EQ(L"txtfile", ClassesString(L".log"));   // unchecked hands ours to the text file type
    EXPECT_EQ(L"someother.txt", ClassesString(L".txt"));

    // Only the verb toggled: the extensions stay with whatever they name.
    RestoreClassesDefault(L".log", L"othereditor.log");
    dialog = OpenDialog(brindle, kAssociations);
    ASSERT_NE(nullptr, dialog);
    Click(dialog, 527);
    Click(dialog, IDOK);
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_TRUE(harness::WaitUntil([] { return ClassesKeyExists(L"*\\shell\\Tervo.Brindle\\Command"); }));
    EXPECT_EQ(L"othereditor.log", ClassesString(L".log"));
    EXPECT_EQ(L"someother.txt", ClassesString(L".txt"));
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"*\\shell\\Tervo.Brindle");
    EXPECT_EQ(0u, harness::Close(brindle));

    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Tervo.Brindle.1");
    RestoreClassesDefault(L".log", savedLog);
    RestoreClassesDefault(L".txt", savedTxt);
    DeleteFileW(exe.c_str());
}

// The verb's caption is written in the interface language of the moment.
TEST(DialogsE2E, AssociationsVerbCaptionInCzech) {
    SetSetting(L"language", 1029);
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L""));
    HWND dialog = OpenDialog(brindle, kAssociations);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"Soubor protokolu", ClassesString(L"Tervo.Brindle.1", L"FriendlyTypeName"));
    if (!Checked(dialog, 527)) Click(dialog, 527);
    Click(dialog, IDOK);
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_TRUE(harness::WaitUntil([] { return ClassesKeyExists(L"*\\shell\\Tervo.Brindle\\Command"); }));
    EXPECT_EQ(L"Sledovat soubor...", ClassesString(L"*\\shell\\Tervo.Brindle"));
    EXPECT_EQ(0u, harness::Close(brindle));
    DeleteSetting(L"language");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"*\\shell\\Tervo.Brindle");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Tervo.Brindle.1");
}

namespace {

HWND ShownHelpTip(const harness::Process& brindle) {
    return harness::FindProcessWindow(brindle.info.dwProcessId, TOOLTIPS_CLASSW);
}

// The help tip's text as the program supplies it, asked for inside the program's address space.
std::wstring TipText(const harness::Process& brindle, HWND tip) {
    constexpr size_t kUnits = 1024;
    size_t size = sizeof(TTTOOLINFOW) + kUnits * sizeof(wchar_t);
    BYTE* remote = static_cast<BYTE*>(
        VirtualAllocEx(brindle.info.hProcess, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!remote) return L"<no memory>";
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = brindle.main;
    tool.uId = reinterpret_cast<UINT_PTR>(brindle.main);
    tool.lpszText = reinterpret_cast<wchar_t*>(remote + sizeof(tool));
    wchar_t empty = 0;
    WriteProcessMemory(brindle.info.hProcess, remote, &tool, sizeof(tool), nullptr);
    WriteProcessMemory(brindle.info.hProcess, remote + sizeof(tool), &empty, sizeof(empty), nullptr);
    SendMessageW(tip, TTM_GETTEXTW, kUnits, reinterpret_cast<LPARAM>(remote));
    std::wstring text(kUnits, L'\0');
    ReadProcessMemory(brindle.info.hProcess, remote + sizeof(tool), text.data(), kUnits * sizeof(wchar_t), nullptr);
    text.resize(wcslen(text.c_str()));
    VirtualFreeEx(brindle.info.hProcess, remote, 0, MEM_RELEASE);
    return text;
}

bool VistaOrLater() { return LOBYTE(LOWORD(GetVersion())) >= 6; }

// F1 on the focused control shows its help just below the control's top-left corner.
void ExpectHelpBelow(const harness::Process& brindle, HWND dialog, HWND control, const wchar_t* text) {
    Press(dialog, {VK_F1});
    HWND tip = nullptr;
    ASSERT_TRUE(harness::WaitUntil([&] { return (tip = ShownHelpTip(brindle)) != nullptr; }));
    RECT at{};
    GetWindowRect(control, &at);
    POINT below{0, 0};   // the tip's frame may carry a border around the tracked position
    ClientToScreen(tip, &below);
    EXPECT_EQ(at.left + 16, below.x);
    EXPECT_EQ(at.top + (VistaOrLater() ? 18 : 16), below.y);
    EXPECT_EQ(text, TipText(brindle, tip));
    // Above the dialog, not hidden behind it.
    bool dialogBelow = false;
    for (HWND w = GetWindow(tip, GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT)) dialogBelow |= w == dialog;
    EXPECT_TRUE(dialogBelow);
}

void ClickAt(HWND window, int x, int y) {
    POINT p{x, y};
    ClientToScreen(window, &p);
    SetCursorPos(p.x, p.y);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
}

std::wstring HistoryFileText() {
    std::string bytes = harness::ReadBytes(harness::FromUnixPath(BRINDLE_SOURCE_UNIX "/resources/history.txt"));
    if (bytes.size() < 2) return L"";
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
}

}  // namespace

TEST(DialogsE2E, AboutHistoryHelpAndPlacement) {
    harness::Process brindle;
    // An update check started from the About dialog meets a service that sends its reply a byte
    // every four seconds, status line first.
    ASSERT_FALSE(updateservice::Base().empty()) << "the reference update service is started by tools/test.sh";
    std::wstring token = updateservice::NewToken();
    ASSERT_TRUE(updateservice::SetReply(token, "1.7.1>http://127.0.0.1/a"));
    ASSERT_TRUE(harness::Start(brindle, L"", {L"BRINDLE_X=100", L"BRINDLE_Y=80", L"BRINDLE_WIDTH=800",
                                              L"BRINDLE_HEIGHT=600",
                                              L"BRINDLE_UPDATE_URL=" + updateservice::Base() + L"/t/" + token +
                                                  L"/trickle/brindle.php"}));
    // F1 in the main window is the About dialog.
    Press(brindle.main, {VK_F1});
    HWND about = WaitForDialog(brindle);
    ASSERT_NE(nullptr, about);
    EXPECT_EQ(L"About Brindle...", harness::WindowText(about));
    // Within 30 s of the click the link reports a reply that never came whole, with its own
    // retry link.
    HWND link = GetDlgItem(about, 121);
    SetForegroundWindow(about);
    ClickAt(link, 8, 6);   // on the first line
    ASSERT_TRUE(harness::WaitUntil([&] { return harness::WindowText(link).find(L"Connecting") != std::wstring::npos; }))
        << harness::Utf8(harness::WindowText(link));
    EXPECT_TRUE(harness::WaitUntil([&] { return harness::WindowText(link).find(L"Unrecognized") != std::wstring::npos; },
                                   30000))
        << harness::Utf8(harness::WindowText(link));
    EXPECT_NE(std::wstring::npos, harness::WindowText(link).find(L"Try again."));
    Press(about, {VK_ESCAPE});
    EXPECT_TRUE(WaitClosed(about));

    HWND history = OpenDialog(brindle, kHistory);
    ASSERT_NE(nullptr, history);
    HWND text = GetDlgItem(history, 267);
    std::wstring shown(SendMessageW(text, WM_GETTEXTLENGTH, 0, 0) + 1, L'\0');
    shown.resize(SendMessageW(text, WM_GETTEXT, shown.size(), reinterpret_cast<LPARAM>(shown.data())));
    EXPECT_EQ(HistoryFileText(), shown);
    // Centred over the 800 x 600 main window, lifted by a twentieth of the height difference.
    RECT main{}, placed{};
    GetWindowRect(brindle.main, &main);
    GetWindowRect(history, &placed);
    int width = placed.right - placed.left, height = placed.bottom - placed.top;
    EXPECT_EQ(600, main.bottom - main.top);
    EXPECT_EQ((main.left + main.right) / 2 - width / 2, placed.left);
    EXPECT_EQ((main.top + main.bottom) / 2 - height / 2 + (height - 600) / 20, placed.top);
    // The focus starts on Close; its help, then a click in the dialog hides it.
    ExpectHelpBelow(brindle, history, GetDlgItem(history, IDCANCEL),
                    L"Click to cancel your changes and close the dialog");
    ClickAt(history, 5, height - 40);
    EXPECT_TRUE(harness::WaitUntil([&] { return ShownHelpTip(brindle) == nullptr; }));
    Press(history, {VK_ESCAPE});
    EXPECT_TRUE(WaitClosed(history));

    HWND rowLength = OpenDialog(brindle, kRowLength);
    ASSERT_NE(nullptr, rowLength);
    Press(rowLength, {VK_TAB});
    HWND ok = GetDlgItem(rowLength, IDOK);
    harness::WaitUntil([&] { return (SendMessageW(ok, BM_GETSTATE, 0, 0) & BST_FOCUS) != 0; });
    ExpectHelpBelow(brindle, rowLength, ok, L"Click to save changes and close the dialog");
    Press(rowLength, {VK_ESCAPE});
    EXPECT_TRUE(WaitClosed(rowLength));
    // The Highlighting dialog's own controls have their help too; the focus starts on the rules.
    HWND rules = OpenDialog(brindle, kHighlighting);
    ASSERT_NE(nullptr, rules);
    ExpectHelpBelow(brindle, rules, GetDlgItem(rules, 543),
                    L"The rules in order: a row takes the colors of the first switched-on rule whose text it contains.");
    Press(rules, {VK_ESCAPE});
    EXPECT_TRUE(WaitClosed(rules));
    EXPECT_TRUE(harness::WaitUntil([&] { return ShownHelpTip(brindle) == nullptr; }));

    // The system's dialogs: Font and Colour placed like the program's own, Open centred exactly.
    for (UINT command : {1402u, 1404u, 1101u}) {
        SCOPED_TRACE(command);
        HWND system = OpenDialog(brindle, command);
        ASSERT_NE(nullptr, system);
        harness::WaitUntil([&] {
            RECT now{};
            GetWindowRect(system, &now);
            return (now.left + now.right) / 2 >= (main.left + main.right) / 2 - 1;
        }, 2000);
        GetWindowRect(system, &placed);
        width = placed.right - placed.left;
        height = placed.bottom - placed.top;
        int lift = command == 1101 ? 0 : (height - 600) / 20;
        EXPECT_EQ((main.left + main.right) / 2 - width / 2, placed.left);
        EXPECT_EQ((main.top + main.bottom) / 2 - height / 2 + lift, placed.top);
        PostMessageW(system, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(WaitClosed(system));
        harness::WaitUntil([&] { return IsWindowEnabled(brindle.main) != FALSE; });
    }
    EXPECT_EQ(0u, harness::Close(brindle));
}

namespace {

// Gives the ProgID key a DACL that lets everyone read it and nobody write it, as for a user
// without administrative rights; null denies reading too. Protected, so that no access is
// inherited from the parent key.
bool SetProgIdAccess(DWORD everyone) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"Tervo.Brindle.1", 0, READ_CONTROL | WRITE_DAC, &key) != ERROR_SUCCESS)
        return false;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID sid = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &sid);
    BYTE aclBytes[256];
    auto* acl = reinterpret_cast<ACL*>(aclBytes);
    InitializeAcl(acl, sizeof(aclBytes), ACL_REVISION);
    AddAccessAllowedAce(acl, ACL_REVISION, everyone, sid);
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    LONG status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, &sd);
    FreeSid(sid);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

}  // namespace

TEST(DialogsE2E, AssociationsWithoutWriteRightsOnlyShowTheState) {
    SetProgIdAccess(KEY_ALL_ACCESS);   // a run stopped halfway may have left the key locked
    const std::wstring savedLog = ClassesString(L".log");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"*\\shell\\Tervo.Brindle");
    RestoreClassesDefault(L"Tervo.Brindle.1", L"Brindle");
    RestoreClassesDefault(L".log", L"Tervo.Brindle.1");
    ASSERT_TRUE(SetProgIdAccess(KEY_READ));
    HKEY probe;
    bool denied = RegCreateKeyExW(HKEY_CLASSES_ROOT, L"Tervo.Brindle.1", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &probe,
                                  nullptr) != ERROR_SUCCESS;
    if (!denied) RegCloseKey(probe);
    EXPECT_TRUE(denied) << "the key's access rights are not enforced";
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L""));
    HWND dialog = OpenDialog(brindle, kAssociations);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"You are missing neccessary privilegies.", ItemText(dialog, 122));
    for (int id : {IDOK, 512, 513, 527}) EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, id))) << id;
    EXPECT_TRUE(Checked(dialog, 512));
    EXPECT_FALSE(Checked(dialog, 513));
    EXPECT_FALSE(Checked(dialog, 527));
    Press(dialog, {VK_RETURN});   // Save is greyed: Enter stores nothing
    harness::Pump(200);
    Press(dialog, {VK_ESCAPE});
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_EQ(L"<none>", ClassesString(L"Tervo.Brindle.1", L"FriendlyTypeName"));
    EXPECT_EQ(L"Tervo.Brindle.1", ClassesString(L".log"));

    // Not even readable: an error box with the system's explanation, and no dialog.
    ASSERT_TRUE(SetProgIdAccess(0));
    PostMessageW(brindle.main, WM_COMMAND, kAssociations, 0);
    HWND box = WaitForDialog(brindle);
    ASSERT_NE(nullptr, box);
    std::wstring text = ItemText(box, 0xFFFF);
    EXPECT_EQ(0u, text.find(L"Unable to retrieve current file associations settings from registry.\n\n"))
        << harness::Utf8(text);
    EXPECT_GT(text.size(), 72u);
    EXPECT_EQ(nullptr, GetDlgItem(box, 512));
    Press(box, {VK_RETURN});
    EXPECT_TRUE(WaitClosed(box));
    EXPECT_EQ(0u, harness::Close(brindle));

    EXPECT_TRUE(SetProgIdAccess(KEY_ALL_ACCESS));
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Tervo.Brindle.1");
    RestoreClassesDefault(L".log", savedLog);
}

// Values of other types, or strings without their terminator, are never taken for names.
TEST(DialogsE2E, AssociationsReadOnlyTerminatedStrings) {
    const std::wstring savedLog = ClassesString(L".log");
    HKEY icon = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, L"txtfile\\DefaultIcon", 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &icon, nullptr));
    DWORD iconType = 0, iconSize = 0;
    std::wstring savedIcon(300, L'\0');
    iconSize = static_cast<DWORD>(savedIcon.size() * sizeof(wchar_t));
    bool hadIcon = RegQueryValueExW(icon, nullptr, nullptr, &iconType, reinterpret_cast<BYTE*>(savedIcon.data()),
                                    &iconSize) == ERROR_SUCCESS;
    // 292 units without a terminator: fills the reader's whole buffer.
    std::wstring longIcon(292, L'i');
    RegSetValueExW(icon, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(longIcon.data()),
                   static_cast<DWORD>(longIcon.size() * sizeof(wchar_t)));
    const wchar_t progId[] = L"Tervo.Brindle.1";
    RegSetKeyValueW(HKEY_CLASSES_ROOT, L".log", nullptr, REG_BINARY, progId, sizeof(progId));

    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L""));
    HWND dialog = OpenDialog(brindle, kAssociations);
    ASSERT_NE(nullptr, dialog);
    EXPECT_FALSE(Checked(dialog, 512));
    EXPECT_EQ(L"%SystemRoot%\\system32\\shell32.dll,-152", ClassesString(L"Tervo.Brindle.1\\DefaultIcon"));
    Press(dialog, {VK_ESCAPE});
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_EQ(0u, harness::Close(brindle));

    if (hadIcon) RegSetValueExW(icon, nullptr, 0, iconType, reinterpret_cast<const BYTE*>(savedIcon.data()), iconSize);
    else RegDeleteValueW(icon, nullptr);
    RegCloseKey(icon);
    RegDeleteKeyValueW(HKEY_CLASSES_ROOT, L".log", nullptr);
    RestoreClassesDefault(L".log", savedLog);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Tervo.Brindle.1");
}
