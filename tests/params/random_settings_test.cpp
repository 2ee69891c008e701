#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "params/preset_test_support.h"
#include "params/random_settings.h"
#include "platform/random.h"

using namespace lumenfall;
using namespace lumenfall::testing;

TEST(RandomInteger, MaskIsTheFirstAllOnesValueThatCoversTheSpan) {
    EXPECT_EQ(randomDrawMask(-5), 1);
    EXPECT_EQ(randomDrawMask(0), 1);
    EXPECT_EQ(randomDrawMask(1), 1);
    EXPECT_EQ(randomDrawMask(2), 3);
    EXPECT_EQ(randomDrawMask(3), 3);
    EXPECT_EQ(randomDrawMask(4), 7);
    EXPECT_EQ(randomDrawMask(50), 63);
    EXPECT_EQ(randomDrawMask(100), 127);
    EXPECT_EQ(randomDrawMask(140), 255);
    EXPECT_EQ(randomDrawMask(2047), 2047);
    EXPECT_EQ(randomDrawMask(2048), 4095);
    EXPECT_EQ(randomDrawMask(0x7FFFFFFF), 0x7FFFFFFF);
    EXPECT_EQ(randomDrawMask(0xFFFFFFFFLL), 0x7FFFFFFF);
}

TEST(RandomInteger, UsesBits4To14UnderTheMaskAndDrawsAgainAboveHi) {
    seedRandom(99);
    std::vector<int> rands;
    for (int i = 0; i < 64; ++i) rands.push_back(nextRandom());
    seedRandom(99);
    size_t next = 0;
    for (int i = 0; i < 10; ++i) {
        // R(0, 100): mask 127, values 101..127 are drawn again.
        int expected;
        do expected = (rands[next++] >> 4) & 127;
        while (expected > 100);
        EXPECT_EQ(randomInteger(0, 100), expected);
    }
    // Swapped bounds give the same draw as the ordered ones.
    seedRandom(5);
    const int32_t a = randomInteger(30, 70);
    seedRandom(5);
    EXPECT_EQ(randomInteger(70, 30), a);
}

TEST(RandomInteger, StaysInRangeAtTheEdgesOfTheIntegers) {
    seedRandom(1);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(randomInteger(7, 7), 7);
        const int32_t wide = randomInteger(INT32_MIN, INT32_MAX);
        EXPECT_LE(wide, INT32_MIN + 2047);  // 11 bits of rand reach no further
        const int32_t top = randomInteger(INT32_MAX - 3, INT32_MAX);
        EXPECT_GE(top, INT32_MAX - 3);
        const int32_t pair = randomInteger(-1, 0);
        EXPECT_TRUE(pair == -1 || pair == 0);
    }
}

TEST(RandomColour, ThreeDrawsInTheHighByte) {
    seedRandom(3);
    const int r = nextRandom(), g = nextRandom(), b = nextRandom();
    seedRandom(3);
    uint16_t colour[3];
    randomColour(colour);
    EXPECT_EQ(colour[0], (r % 256) * 256);
    EXPECT_EQ(colour[1], (g % 256) * 256);
    EXPECT_EQ(colour[2], (b % 256) * 256);
}

// The order of the draws, replayed from the same rand sequence.
TEST(RollAll, DrawsInItsFixedOrder) {
    for (unsigned seed : {1u, 20260309u, 77u}) {
        seedRandom(seed);
        std::vector<int> rands;
        for (int i = 0; i < 4000; ++i) rands.push_back(nextRandom());
        size_t next = 0;
        auto R = [&](int lo, int hi) {
            const int span = hi - lo;
            int mask = 1;
            if (span >= 2) for (mask = 3; mask < span; mask = mask * 2 + 1) {}
            for (;;) {
                const int v = ((rands[next++] >> 4) & mask) + lo;
                if (v <= hi) return v;
            }
        };
        auto colour = [&](uint16_t (&c)[3]) {
            for (uint16_t& ch : c) ch = uint16_t((rands[next++] % 256) * 256);
        };

        auto e = newBlock();
        fillDistinct(*e, 4);
        auto rolled = newBlock();
        std::memcpy(rolled.get(), e.get(), sizeof(ParameterBlock));
        e->spikeBrightness = R(0, 100);
        e->spikeWidth = R(0, 100);
        e->spikeRadius = R(0, 100);
        e->spikeCount = R(0, 100);
        e->sunRadius = R(0, 50);
        e->sunColdHot = R(0, 100);
        e->sunSmear = R(0, 30);
        e->sunSwirlSize = R(5, 50);
        e->sunSwirlCount = R(0, 30);
        e->sunDetail = R(30, 70);
        e->spikeGamma = R(0, 100);
        e->vortices = R(0, 1);
        e->monopoles = R(0, 1);
        colour(e->sunColor);
        colour(e->flareColor);
        colour(e->haloColor);
        e->haloRadius = R(0, 100);
        e->haloBrightness = R(30, 70);
        e->bowRadius = R(0, 100);
        e->bowWidth = R(0, 100);
        e->masterBrightness = R(25, 37);
        e->flareDetail = 25;
        e->flareBrightness = 50 + R(0, 50);
        e->flipBow = R(0, 1);
        e->bowBrightness = R(0, 100);
        e->flareWidth = R(0, 100);
        e->flareCount = R(0, 20);
        e->spikeDiffraction = R(0, 100);
        e->spikeDetail = R(20, 80);
        e->randomSeed = rands[next++] % 2048;
        colour(e->spikeColor);
        colour(e->reservedColorB);
        std::memcpy(e->reservedColorA, e->haloColor, 6);
        e->sunType = R(0, 100) > 94 ? 3 : 1;
        e->bowSmear = R(0, 100);
        e->flareRadius = R(0, 50);
        if (R(0, 100) > 20) std::memcpy(e->spikeColor, e->sunColor, 6);
        e->flareX = e->flareY = e->flareZ = 0;
        if (R(0, 100) > 60) {
            e->flareX = float((R(0, 140) - 70) / 100.0);
            e->flareY = float((R(0, 140) - 70) / 100.0);
        }
        e->spikeX = e->spikeY = e->spikeZ = 0;
        if (R(0, 100) > 60) {
            e->spikeX = float((R(0, 140) - 70) / 100.0);
            e->spikeY = float((R(0, 140) - 70) / 100.0);
        }

        seedRandom(seed);
        rollAllSettings(*rolled);
        expectSameSettings(*rolled, *e);
        EXPECT_EQ(nextRandom(), rands[next]) << "the roll took another number of draws";
    }
}

TEST(RollAll, RangesAndFixedValuesOverManyRolls) {
    auto block = newBlock();
    block->glue = 12;
    block->xCenter = 0.125f;
    block->yCenter = 0.875f;
    std::strcpy(block->settingsName, "mine.q4q");
    seedRandom(424242);
    int eclipses = 0, axisZeros = 0, spikeTakesSun = 0;
    for (int i = 0; i < 3000; ++i) {
        rollAllSettings(*block);
        ASSERT_EQ(block->flareDetail, 25);
        ASSERT_GE(block->flareBrightness, 50);
        ASSERT_LE(block->flareBrightness, 100);
        ASSERT_GE(block->masterBrightness, 25);
        ASSERT_LE(block->masterBrightness, 37);
        ASSERT_GE(block->randomSeed, 0);
        ASSERT_LE(block->randomSeed, 2047);
        ASSERT_TRUE(block->sunType == 1 || block->sunType == 3);
        eclipses += block->sunType == 3;
        for (const uint16_t* c : {block->sunColor, block->flareColor, block->haloColor, block->reservedColorA,
                                  block->spikeColor, block->reservedColorB})
            for (int ch = 0; ch < 3; ++ch) ASSERT_EQ(c[ch] & 0xFF, 0);
        ASSERT_EQ(std::memcmp(block->reservedColorA, block->haloColor, 6), 0);
        spikeTakesSun += std::memcmp(block->spikeColor, block->sunColor, 6) == 0;
        ASSERT_EQ(block->flareZ, 0.0f);
        ASSERT_EQ(block->spikeZ, 0.0f);
        if (block->flareX == 0.0f && block->flareY == 0.0f) ++axisZeros;
        ASSERT_GE(block->flareX, -0.7f);
        ASSERT_LE(block->spikeY, 0.7f);
        ASSERT_GE(block->sunSwirlSize, 5);
        ASSERT_LE(block->sunSwirlSize, 50);
        ASSERT_LE(block->flareCount, 20);
        ASSERT_GE(block->spikeDetail, 20);
        ASSERT_LE(block->spikeDetail, 80);
    }
    EXPECT_EQ(block->glue, 12);
    EXPECT_EQ(block->xCenter, 0.125f);
    EXPECT_EQ(block->yCenter, 0.875f);
    EXPECT_STREQ(block->settingsName, "mine.q4q");
    // About 5 in 100 eclipses, 80 in 100 spikes in the sun's colour, 60 in
    // 100 unmoved axes: loose bounds that still catch a wrong comparison.
    EXPECT_GT(eclipses, 60);
    EXPECT_LT(eclipses, 250);
    EXPECT_GT(spikeTakesSun, 2100);
    EXPECT_GT(axisZeros, 1500);
    EXPECT_LT(axisZeros, 2100);
}

TEST(RollSeedAndGlue, SeedIsOneDrawAndGlueWrapsAfter19) {
    auto block = newBlock();
    seedRandom(8);
    const int r = nextRandom();
    seedRandom(8);
    rollSeed(*block);
    EXPECT_EQ(block->randomSeed, r % 2048);
    block->glue = 18;
    nextGlueMode(*block);
    EXPECT_EQ(block->glue, 19);
    nextGlueMode(*block);
    EXPECT_EQ(block->glue, 1);
    for (int32_t odd : {0, -4, 20, INT32_MAX, INT32_MIN}) {
        block->glue = odd;
        nextGlueMode(*block);
        EXPECT_EQ(block->glue, 1) << odd;
    }
}
