// The shell seen from outside: arguments, environment geometry, full screen, Esc, Exit, dropping files, keys.
#include <gtest/gtest.h>
#include <shlobj.h>
#include "harness.h"

namespace {

const wchar_t kKey[] = L"Software\\Skelby\\Brindle";

void SetSetting(const wchar_t* name, DWORD value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, REG_DWORD, &value, sizeof(value));
}

void DeleteSetting(const wchar_t* name) { RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, name); }

std::wstring Title(HWND window) {
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, 512);
    return text;
}

std::wstring MakeLog(const std::wstring& dir, const wchar_t* name, const char* text) {
    std::wstring path = dir + L"\\" + name;
    harness::WriteBytes(path, text);
    return path;
}

}  // namespace

TEST(ShellE2E, OpensOnlyTheFirstOfSeveralArguments) {
    std::wstring dir = harness::NewTempDir();
    std::wstring first = MakeLog(dir, L"first.log", "one\ntwo\n");
    std::wstring second = MakeLog(dir, L"second.log", "three\n");
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L"\"" + first + L"\" \"" + second + L"\""));
    EXPECT_TRUE(harness::WaitForRows(brindle.view, 2));
    EXPECT_EQ(L"first.log - Brindle", Title(brindle.main));
    EXPECT_EQ(0u, harness::Close(brindle));
}

TEST(ShellE2E, GeometryFromEnvironmentInDecimalHexAndOctal) {
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L"", {L"BRINDLE_STYLE=0x00CF0000", L"BRINDLE_EXTRA=0x10", L"BRINDLE_X=100",
                                              L"BRINDLE_Y=0144", L"BRINDLE_WIDTH=0x2BC", L"BRINDLE_HEIGHT=500"}));
    RECT r{};
    GetWindowRect(brindle.main, &r);
    EXPECT_EQ(100, r.left);
    EXPECT_EQ(100, r.top);
    EXPECT_EQ(700, r.right - r.left);
    EXPECT_EQ(500, r.bottom - r.top);
    EXPECT_EQ(WS_EX_ACCEPTFILES, GetWindowLongW(brindle.main, GWL_EXSTYLE) & (WS_EX_ACCEPTFILES | WS_EX_DLGMODALFRAME));
    EXPECT_EQ(0u, harness::Close(brindle));
}

TEST(ShellE2E, ZeroOrUnsetEnvironmentMeansDefaults) {
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L"", {L"BRINDLE_STYLE=0", L"BRINDLE_X=0", L"BRINDLE_EXTRA=", L"BRINDLE_WIDTH=640"}));
    LONG style = GetWindowLongW(brindle.main, GWL_STYLE);
    EXPECT_EQ(static_cast<LONG>(WS_OVERLAPPEDWINDOW), style & WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(WS_EX_ACCEPTFILES | WS_EX_DLGMODALFRAME,
              GetWindowLongW(brindle.main, GWL_EXSTYLE) & (WS_EX_ACCEPTFILES | WS_EX_DLGMODALFRAME));
    EXPECT_EQ(0u, harness::Close(brindle));
}

// F11 is the classic full screen while "fullscreen" is off, Shift+F11 the clean one; the setting swaps them.
TEST(ShellE2E, FullScreenModesAndBack) {
    for (DWORD cleanOnF11 : {0u, 1u}) {
        SetSetting(L"fullscreen", cleanOnF11);
        for (bool shift : {false, true}) {
            SCOPED_TRACE(testing::Message() << "fullscreen=" << cleanOnF11 << " shift=" << shift);
            harness::Process brindle;
            ASSERT_TRUE(harness::Start(brindle, L"", {L"BRINDLE_X=50", L"BRINDLE_Y=60", L"BRINDLE_WIDTH=640",
                                                      L"BRINDLE_HEIGHT=480", L"BRINDLE_STYLE=0x00CE0000"}));
            RECT before{};
            GetWindowRect(brindle.main, &before);
            LONG viewStyle = GetWindowLongW(brindle.view, GWL_STYLE);
            if (shift) harness::PressKeys(brindle.main, {VK_SHIFT, VK_F11});
            else harness::PressKeys(brindle.main, {VK_F11});
            // Maximizing is the last step of entering full screen.
            ASSERT_TRUE(harness::WaitUntil([&] {
                return (GetWindowLongW(brindle.main, GWL_STYLE) & WS_POPUP) != 0 && IsZoomed(brindle.main);
            }));
            EXPECT_EQ(0, GetWindowLongW(brindle.main, GWL_STYLE) & WS_CAPTION);
            bool clean = cleanOnF11 ? !shift : shift;
            EXPECT_EQ(!clean, GetMenu(brindle.main) != nullptr);
            EXPECT_EQ(clean, (GetWindowLongW(brindle.view, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL)) == 0);

            PostMessageW(brindle.main, WM_COMMAND, 1208, 0);
            ASSERT_TRUE(harness::WaitUntil([&] {
                RECT r{};
                GetWindowRect(brindle.main, &r);
                return (GetWindowLongW(brindle.main, GWL_STYLE) & WS_CAPTION) != 0 && r.left == before.left &&
                       r.right == before.right;
            }));
            RECT after{};
            GetWindowRect(brindle.main, &after);
            EXPECT_EQ(before.left, after.left);
            EXPECT_EQ(before.top, after.top);
            EXPECT_EQ(before.right, after.right);
            EXPECT_EQ(before.bottom, after.bottom);
            EXPECT_NE(nullptr, GetMenu(brindle.main));
            // The style comes back from BRINDLE_STYLE: here without the maximize box.
            EXPECT_EQ(0x00CE0000, GetWindowLongW(brindle.main, GWL_STYLE) & 0x00FF0000);
            EXPECT_EQ(viewStyle & (WS_VSCROLL | WS_HSCROLL), GetWindowLongW(brindle.view, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL));
            EXPECT_EQ(0u, harness::Close(brindle));
        }
    }
    DeleteSetting(L"fullscreen");
}

TEST(ShellE2E, EscClosesOnlyWhenAllowed) {
    SetSetting(L"esc close", 0);
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L""));
    harness::PressKeys(brindle.main, {VK_ESCAPE});
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(brindle.info.hProcess, 500));
    EXPECT_EQ(0u, harness::Close(brindle));

    SetSetting(L"esc close", 1);
    ASSERT_TRUE(harness::Start(brindle, L""));
    harness::PressKeys(brindle.main, {VK_ESCAPE});
    EXPECT_EQ(0u, harness::WaitExit(brindle, 5000));
    DeleteSetting(L"esc close");
}

TEST(ShellE2E, ExitWithAndWithoutFileEndsWithZero) {
    std::wstring log = MakeLog(harness::NewTempDir(), L"exit.log", "a\n");
    for (bool withFile : {true, false}) {
        harness::Process brindle;
        ASSERT_TRUE(harness::Start(brindle, withFile ? L"\"" + log + L"\"" : L""));
        PostMessageW(brindle.main, WM_COMMAND, 1109, 0);
        EXPECT_EQ(0u, harness::WaitExit(brindle, 5000));
    }
}

// A drop handle built in the program's own address space, as the shell would hand it over.
TEST(ShellE2E, DroppingSeveralFilesOpensOnlyTheFirst) {
    std::wstring dir = harness::NewTempDir();
    std::wstring first = MakeLog(dir, L"dropped.log", "x\ny\nz\n");
    std::wstring second = MakeLog(dir, L"other.log", "q\n");
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L""));
    std::wstring list = first + L'\0' + second + L'\0' + L'\0';
    size_t size = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    std::string block(size, '\0');
    auto* drop = reinterpret_cast<DROPFILES*>(block.data());
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(block.data() + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
    void* remote = VirtualAllocEx(brindle.info.hProcess, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(nullptr, remote);
    ASSERT_TRUE(WriteProcessMemory(brindle.info.hProcess, remote, block.data(), size, nullptr));
    PostMessageW(brindle.main, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
    EXPECT_TRUE(harness::WaitForRows(brindle.view, 3));
    EXPECT_EQ(L"dropped.log - Brindle", Title(brindle.main));
    EXPECT_EQ(0u, harness::Close(brindle));
}

// Ctrl+R reaches Reload through the accelerator table: the rows are read again from the file.
TEST(ShellE2E, AcceleratorsReachTheirCommands) {
    std::wstring log = MakeLog(harness::NewTempDir(), L"keys.log", "1\n2\n");
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L"\"" + log + L"\""));
    ASSERT_TRUE(harness::WaitForRows(brindle.view, 2));
    SendMessageW(brindle.view, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"stray"));
    ASSERT_EQ(3, harness::RowCount(brindle.view));
    harness::PressKeys(brindle.main, {VK_CONTROL, 'R'});
    EXPECT_TRUE(harness::WaitUntil([&] { return harness::Rows(brindle.view) == std::vector<std::wstring>{L"1", L"2"}; }));
    EXPECT_EQ(0u, harness::Close(brindle));
}
