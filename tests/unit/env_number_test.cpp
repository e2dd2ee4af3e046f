#include <gtest/gtest.h>
#include "shell/platform.h"

TEST(EnvNumber, ReadsDecimalHexAndOctalAndUnsetAsZero) {
    SetEnvironmentVariableW(L"BRINDLE_TEST_NUMBER", L"640");
    EXPECT_EQ(640u, envNumber(L"BRINDLE_TEST_NUMBER"));
    SetEnvironmentVariableW(L"BRINDLE_TEST_NUMBER", L"0x280");
    EXPECT_EQ(640u, envNumber(L"BRINDLE_TEST_NUMBER"));
    SetEnvironmentVariableW(L"BRINDLE_TEST_NUMBER", L"01200");
    EXPECT_EQ(640u, envNumber(L"BRINDLE_TEST_NUMBER"));
    SetEnvironmentVariableW(L"BRINDLE_TEST_NUMBER", nullptr);
    EXPECT_EQ(0u, envNumber(L"BRINDLE_TEST_NUMBER"));
    std::wstring tooLong(1600, L'1');
    SetEnvironmentVariableW(L"BRINDLE_TEST_NUMBER", tooLong.c_str());
    EXPECT_EQ(0u, envNumber(L"BRINDLE_TEST_NUMBER"));
    SetEnvironmentVariableW(L"BRINDLE_TEST_NUMBER", nullptr);
}
