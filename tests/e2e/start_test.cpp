#include <gtest/gtest.h>
#include "harness.h"

TEST(Start, ShowsTheMainWindowAndExitsWithZero) {
    harness::Process brindle;
    ASSERT_TRUE(harness::Start(brindle, L""));
    ASSERT_NE(nullptr, brindle.view);
    EXPECT_EQ(L"Brindle", harness::WindowText(brindle.main));
    EXPECT_EQ(0u, harness::Close(brindle));
}
