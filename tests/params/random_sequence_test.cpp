#include <gtest/gtest.h>

#include "platform/random.h"

using namespace lumenfall;

TEST(RandomSequence, MatchesTheWindowsRuntimeOnEveryBuild) {
    seedRandom(1);
    EXPECT_EQ(nextRandom(), 41);
    EXPECT_EQ(nextRandom(), 18467);
    EXPECT_EQ(nextRandom(), 6334);
    seedRandom(12345);
    const int first = nextRandom();
    seedRandom(12345);
    EXPECT_EQ(nextRandom(), first);
    for (int i = 0; i < 10000; ++i) {
        const int v = nextRandom();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, kRandomMax);
    }
}
