#include "kernels/streak_noise.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <atomic>
#include <cstdint>
#include <random>
#include <vector>

#include "kernels/lazy_blocks.h"

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

namespace lumenfall {
namespace {

// The streak as the straightforward walk takes it: both points of every
// step through blockNoise on their own.
int32_t streakPointByPoint(const int32_t* noise, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t scale) {
    const int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
    const int64_t ax = dx < 0 ? -dx : dx, ay = dy < 0 ? -dy : dy;
    const int64_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    const bool yMajor = ay >= ax;
    const int64_t major = yMajor ? ay : ax, minor = yMajor ? ax : ay;
    if (major == 0) return blockNoise(noise, x0, y0, scale) >> 1;
    int64_t x = x0, y = y0, error = 0, sum = 0;
    auto wrap = [](int64_t v) { return int32_t(uint32_t(uint64_t(v))); };
    for (int64_t i = 0; i <= major; ++i) {
        const int64_t near = 2 * major - (error < 0 ? -error : error), far = 2 * major - near;
        const int64_t side = error < 0 ? -1 : 1;
        sum += (blockNoise(noise, wrap(x), wrap(y), scale) >> 1) * near;
        if (far != 0)
            sum += (blockNoise(noise, wrap(yMajor ? x + side * sx : x), wrap(yMajor ? y : y + side * sy), scale) >> 1) *
                   far;
        if (yMajor) y += sy; else x += sx;
        error += 2 * minor;
        if (error > major) {
            if (yMajor) x += sx; else y += sy;
            error -= 2 * major;
        }
    }
    return int32_t(sum / ((major + 1) * 2 * major));
}

// Streaks in every direction, across the texture's wrap and the 32-bit
// wrap of the coordinates, at the scales the flares use and beyond.
TEST(StreakNoise, SharedCoordinatesGiveThePointByPointStreak) {
    std::mt19937 random(22);
    int32_t noise[2048];
    for (int32_t& n : noise) n = int32_t(random() & 255);
    for (int n = 0; n < 20000; ++n) {
        const int32_t scale = n % 5 == 0 ? int32_t(random()) : int32_t(random() % 4096) + 1;
        const int32_t x0 = n % 7 == 0 ? int32_t(random()) : int32_t(random() % 4001) - 2000;
        const int32_t y0 = n % 11 == 0 ? INT32_MAX - int32_t(random() % 40) : int32_t(random() % 4001) - 2000;
        // Short streaks, as the flares draw, that do not leave 32 bits.
        auto near = [&](int32_t v) {
            const int64_t w = int64_t(v) + int64_t(random() % 121) - 60;
            return int32_t(w > INT32_MAX ? 2 * int64_t(v) - w : (w < INT32_MIN ? 2 * int64_t(v) - w : w));
        };
        const int32_t x1 = near(x0);
        const int32_t y1 = near(y0);
        ASSERT_EQ(streakNoise(noise, x0, y0, x1, y1, scale), streakPointByPoint(noise, x0, y0, x1, y1, scale))
            << x0 << "," << y0 << " to " << x1 << "," << y1 << " scale " << scale;
    }
}

}  // namespace
}  // namespace lumenfall

namespace lumenfall {
namespace {

// Streaks read from a memo give what they give computed: every direction
// and length the flares draw (up to 31 pixels), streaks whose points or
// neighbours lie on or just beyond the memo's edges, and a memo asked at
// another scale than its own; a memo filled at once, and one filled block
// by block over cells holding leftovers (every block a streak reads must
// be filled first, those its neighbours reach across a block's edge too).
TEST(StreakNoise, MemoGivesTheComputedStreak) {
    for (const bool lazy : {false, true}) {
        std::mt19937 random(41);
        int32_t noise[2048];
        for (int32_t& n : noise) n = int32_t(random() & 255);
        struct Box {
            int32_t left, top, width, height, scale;
        };
        for (const Box& box : {Box{-40, -30, 81, 61, 3072}, Box{5, -7, 17, 9, 24576}, Box{-100, 20, 200, 3, 97},
                               Box{-1, -1, 1, 1, 3072}}) {
            StreakMemo memo;
            memo.left = box.left;
            memo.top = box.top;
            memo.width = box.width;
            memo.height = box.height;
            memo.scale = box.scale;
            std::vector<uint8_t> cells(size_t(box.width) * size_t(box.height), 0xA7);
            std::vector<std::atomic<uint8_t>> states(size_t(streakMemoBlockCount(box.width, box.height)));
            for (std::atomic<uint8_t>& state : states) state.store(kBlockReady);  // what a reused plan holds
            if (lazy) startLazyStreakMemo(&memo, cells.data(), states.data());
            else fillStreakMemo(noise, &memo, cells.data());
            ASSERT_EQ(memo.cells, cells.data());
            for (int n = 0; n < 20000; ++n) {
                // Starts within two pixels of the box, ends up to 31 pixels away.
                const int32_t x0 = box.left - 2 + int32_t(random() % uint32_t(box.width + 4));
                const int32_t y0 = box.top - 2 + int32_t(random() % uint32_t(box.height + 4));
                const int32_t x1 = x0 + int32_t(random() % 63) - 31;
                const int32_t y1 = y0 + int32_t(random() % 63) - 31;
                const int32_t scale = n % 50 == 0 ? box.scale + 1 : box.scale;
                ASSERT_EQ(streakNoiseWith(&memo, noise, x0, y0, x1, y1, scale), streakNoise(noise, x0, y0, x1, y1, scale))
                    << x0 << "," << y0 << " to " << x1 << "," << y1 << " in the box at " << box.left << "," << box.top;
            }
            EXPECT_EQ(streakNoiseWith(nullptr, noise, 3, 4, 20, -9, box.scale), streakNoise(noise, 3, 4, 20, -9, box.scale));
        }
    }
}

// Streaks of one shape side by side against each streak on its own: runs
// of every length up to past two vectors, shapes of every direction and
// length (and none), runs that reach the memo's edges (all or nothing is
// taken: false with nothing written, or every noise the single streak's),
// in a filled memo and in a lazy one whose blocks the run must fill.
TEST(StreakNoise, RowsOfOneShapeGiveEachStreak) {
    for (const bool lazy : {false, true}) {
        std::mt19937 random(43);
        int32_t noise[2048];
        for (int32_t& n : noise) n = int32_t(random() & 255);
        StreakMemo memo;
        memo.left = -90;
        memo.top = -70;
        memo.width = 200;
        memo.height = 150;
        memo.scale = 3072;
        std::vector<uint8_t> cells(size_t(memo.width) * size_t(memo.height), 0xA7);
        std::vector<std::atomic<uint8_t>> states(size_t(streakMemoBlockCount(memo.width, memo.height)));
        if (lazy) startLazyStreakMemo(&memo, cells.data(), states.data());
        else fillStreakMemo(noise, &memo, cells.data());
        int taken = 0, refused = 0;
        for (int n = 0; n < 6000; ++n) {
            const int32_t count = 1 + int32_t(random() % 40);
            const int32_t x0 = memo.left - 3 + int32_t(random() % uint32_t(memo.width));
            const int32_t y0 = memo.top - 3 + int32_t(random() % uint32_t(memo.height + 6));
            const int32_t length = n % 10 == 0 ? 0 : 1 + int32_t(random() % 60);
            const int32_t dx = int32_t(random() % uint32_t(2 * length + 1)) - length;
            const int32_t dy = int32_t(random() % uint32_t(2 * length + 1)) - length;
            int32_t row[40];
            std::fill(row, row + 40, -1);
            if (!streakNoiseRow(&memo, noise, x0, y0, dx, dy, memo.scale, count, row)) {
                ++refused;
                ASSERT_EQ(row[0], -1);
                // Refused only where some streak leaves the memo.
                bool leaves = false;
                for (int32_t j = 0; j < count; ++j) {
                    const int32_t x = x0 + j;
                    leaves = leaves || std::min(x, x + dx) - 1 < memo.left ||
                             std::max(x, x + dx) + 1 >= memo.left + memo.width ||
                             std::min(y0, y0 + dy) - 1 < memo.top || std::max(y0, y0 + dy) + 1 >= memo.top + memo.height;
                }
                ASSERT_TRUE(leaves) << x0 << "," << y0 << " by " << dx << "," << dy << " x " << count;
                continue;
            }
            ++taken;
            for (int32_t j = 0; j < count; ++j) {
                ASSERT_EQ(row[j], streakNoise(noise, x0 + j, y0, x0 + j + dx, y0 + dy, memo.scale))
                    << "streak " << j << " of " << count << " from " << x0 + j << "," << y0 << " by " << dx << "," << dy;
            }
        }
        EXPECT_GT(taken, 1000);
        EXPECT_GT(refused, 100);
        int32_t row[4];
        EXPECT_FALSE(streakNoiseRow(&memo, noise, 0, 0, 5, 5, memo.scale + 1, 4, row)) << "another scale";
        EXPECT_FALSE(streakNoiseRow(nullptr, noise, 0, 0, 5, 5, memo.scale, 4, row));
    }
}

}  // namespace
}  // namespace lumenfall
