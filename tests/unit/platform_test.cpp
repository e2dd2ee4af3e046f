// Platform version thresholds and environment numbers.
#include <gtest/gtest.h>
#include "shell/platform.h"

TEST(Platform, VersionThresholdsCompareMajorThenMinor) {
    PlatformInfo saved = platformInfo;
    SetPlatformVersion((2600u << 16) | (1u << 8) | 5u, 0);  // XP
    EXPECT_EQ(5, platformInfo.osMajor);
    EXPECT_EQ(1, platformInfo.osMinor);
    EXPECT_EQ(2600, platformInfo.osBuild);
    EXPECT_TRUE(isWindowsAtLeast(kWindows2000));
    EXPECT_TRUE(isWindowsAtLeast(2));
    EXPECT_TRUE(isWindowsOlderThan(kWindowsVista));
    // A 32-bit process on 64-bit XP is Server 2003 underneath: entry 2 moves to 5.2.
    SetPlatformVersion((2600u << 16) | (1u << 8) | 5u, 1);
    EXPECT_TRUE(isWindowsOlderThan(2));
    SetPlatformVersion((19045u << 16) | (0u << 8) | 10u, 0);  // 10.0 beats 6.4 on the major number
    EXPECT_TRUE(isWindowsAtLeast(9));
    EXPECT_TRUE(isWindowsAtLeast(8));
    SetPlatformVersion((7601u << 16) | (1u << 8) | 6u, 2);
    EXPECT_TRUE(isWindowsAtLeast(5));
    EXPECT_TRUE(isWindowsOlderThan(6));
    SetPlatformVersion(static_cast<uint32_t>(saved.osBuild) << 16 | saved.osMinor << 8 | saved.osMajor,
                       saved.platformKind);
}

TEST(Platform, RunsUnderWineHere) { EXPECT_EQ(2u, platformInfo.platformKind); }

// Posted, these would hand the window procedure an address from anywhere: they are dropped.
TEST(Platform, MessagesWithRecordsAreNeverTakenPosted) {
    for (UINT message : {WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM, WM_GETMINMAXINFO, WM_DPICHANGED, WM_COPYDATA, WM_SETTEXT})
        EXPECT_TRUE(CarriesRecordPointer(message)) << message;
    for (UINT message : {WM_COMMAND, WM_TIMER, WM_CLOSE, WM_NULL, WM_DROPFILES, WM_APP + 1})
        EXPECT_FALSE(CarriesRecordPointer(message)) << message;
}

TEST(EnvNumber, ReadsDecimalHexAndOctalAndUnsetAsZero) {
    SetEnvironmentVariableW(L"BRINDLE_TEST_NUMBER", L"640");
    EXPECT_EQ(640u, envNumber(L"BRINDLE_TEST_NUMBER"));
    SetEnvironmentVariableW(L"BRINDLE_TEST_NUMBER", L"0x280");
    EXPECT_EQ(640u, envNumber(L"BRINDLE_TEST_NUMBER"));
    SetEnvironmentVariableW(L"BRINDLE_TEST_NUMBER", L"01200");
    EXPECT_EQ(640u, envNumber(L"BRINDLE_TEST_NUMBER"));
    SetEnvironmentVariableW(L"BRINDLE_TEST_NUMBER", L"wide");
    EXPECT_EQ(0u, envNumber(L"BRINDLE_TEST_NUMBER"));
    SetEnvironmentVariableW(L"BRINDLE_TEST_NUMBER", nullptr);
    EXPECT_EQ(0u, envNumber(L"BRINDLE_TEST_NUMBER"));
    std::wstring tooLong(1600, L'1');
    SetEnvironmentVariableW(L"BRINDLE_TEST_NUMBER", tooLong.c_str());
    EXPECT_EQ(0u, envNumber(L"BRINDLE_TEST_NUMBER"));
    SetEnvironmentVariableW(L"BRINDLE_TEST_NUMBER", nullptr);
}
