#include <gtest/gtest.h>

#include "platform/core/Paths.h"

TEST(Paths, TestOverridesWinAndReset) {
    SetExecutablePathForTesting("/tmp/x/tarvex");
    EXPECT_EQ(ExecutablePath(), "/tmp/x/tarvex");
    SetExecutablePathForTesting({});
    EXPECT_FALSE(ExecutablePath().isEmpty());
    EXPECT_NE(ExecutablePath(), "/tmp/x/tarvex");
}
