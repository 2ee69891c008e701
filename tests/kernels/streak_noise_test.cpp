#include "kernels/streak_noise.h"

#include <gtest/gtest.h>

#include <random>

namespace lumenfall {
namespace {

struct RampTable {
    int32_t noise[2048];
    RampTable() {
        for (int i = 0; i < 2048; ++i) noise[i] = i & 255;
    }
};

TEST(StreakNoise, BlockNoiseAtAPoint) {
    RampTable t;
    // a = (1000 * 256) >> 7 = 2000, b = 0, a4 = 500, b4 = 0;
    // s1 = n[(-32 * 57 + 125 * 39) & 2047] = n[1003] = 235,
    // s2 = n[(125 * 39 + 31 * 57) & 2047] = n[498] = 242.
    EXPECT_EQ(blockNoise(t.noise, 1000, 0, 256), 477);
    EXPECT_EQ(blockNoise(t.noise, 0, 0, 256), 0);
}

TEST(StreakNoise, BlockNoiseProductWrapsIn32Bits) {
    RampTable t;
    // 0xFFFFF * 2^20 wraps to 0xFFF00000 = -1048576; >> 7 gives a = -8192:
    // s1 = n[1664] = 128, s2 = n[1408] = 128.
    EXPECT_EQ(blockNoise(t.noise, 0xFFFFF, 0, 1 << 20), 256);
    std::mt19937 random(3);
    for (int i = 0; i < 10000; ++i) {
        int32_t v = blockNoise(t.noise, static_cast<int32_t>(random()), static_cast<int32_t>(random()),
                               static_cast<int32_t>(random()));
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 510);
    }
}

// Samples halved; each step weights the pixel and its minor-axis neighbour by
// 2 * major - |error| and |error|.
TEST(StreakNoise, WeightsOfTheWalk) {
    int32_t noise[2048];
    std::mt19937 random(5);
    for (int32_t& n : noise) n = static_cast<int32_t>(random() & 255);
    const int32_t g = 4096;
    auto h = [&](int32_t x, int32_t y) { return blockNoise(noise, x, y, g) >> 1; };
    // (0,0) to (2,1): (0,0) weight 4; (1,0) and (1,1) weight 2 each; (2,1) weight 4.
    int32_t expected = (4 * h(0, 0) + 2 * h(1, 0) + 2 * h(1, 1) + 4 * h(2, 1)) / 12;
    EXPECT_EQ(streakNoise(noise, 0, 0, 2, 1, g), expected);
    EXPECT_EQ(streakNoise(noise, 2, 1, 0, 0, g), expected);  // the same weights backwards
    // (0,0) to (0,3) with no minor extent: a plain mean of four pixels.
    EXPECT_EQ(streakNoise(noise, 0, 0, 0, 3, g), (h(0, 0) + h(0, 1) + h(0, 2) + h(0, 3)) / 4);
    // (0,0) to (3,1): error 0, 2, -2 (at 4 > 3 the step is taken), 0.
    int32_t third = (6 * h(0, 0) + 4 * h(1, 0) + 2 * h(1, 1) + 4 * h(2, 1) + 2 * h(2, 0) + 6 * h(3, 1)) / 24;
    EXPECT_EQ(streakNoise(noise, 0, 0, 3, 1, g), third);
    EXPECT_EQ(streakNoise(noise, 7, 7, 7, 7, g), h(7, 7));
}

}  // namespace
}  // namespace lumenfall
