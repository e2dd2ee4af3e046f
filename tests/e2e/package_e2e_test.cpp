// The brindle.exe of the release zip, unpacked into a folder of its own by the package check
// (BRINDLE_PACKAGE_DIR, a Unix path), started from there on a log; skipped in the ordinary run.
#include <gtest/gtest.h>
#include "harness.h"
#include <cstdlib>

TEST(Package, UnpackedExeFollowsALog) {
    const char* unpacked = std::getenv("BRINDLE_PACKAGE_DIR");
    if (!unpacked || !*unpacked) GTEST_SKIP() << "only after the package check has unpacked the zip";
    harness::Process brindle;
    brindle.exe = harness::FromUnixPath(unpacked) + L"\\brindle.exe";
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(brindle.exe.c_str()));

    const std::wstring path = harness::NewTempDir() + L"\\service.log";
    ASSERT_TRUE(harness::WriteBytes(path, "started\r\nlistening on port 8080\r\n"));
    ASSERT_TRUE(harness::Start(brindle, L"\"" + path + L"\""));
    EXPECT_EQ(L"service.log - Brindle", harness::WindowText(brindle.main));
    ASSERT_TRUE(harness::WaitForRows(brindle.view, 2));

    ASSERT_TRUE(harness::AppendBytes(path, "request 1 handled\r\n"));
    ASSERT_TRUE(harness::WaitForRows(brindle.view, 3));
    EXPECT_EQ((std::vector<std::wstring>{L"started", L"listening on port 8080", L"request 1 handled"}),
              harness::Rows(brindle.view));
    EXPECT_EQ(0u, harness::Close(brindle));
}
