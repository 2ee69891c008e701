#include <gtest/gtest.h>

#include <vector>

#include "render/noise_table.h"

namespace lumenfall {
namespace {

TEST(NoiseSource, IsTheDocumentedGenerator) {
    uint32_t s = 1;
    const int16_t* source = noiseSourceTable();
    for (int i = 0; i < kNoiseTableSize; ++i) {
        s = s * 1664525u + 1013904223u;
        ASSERT_EQ(source[i], int16_t(s >> 21)) << i;
    }
}

TEST(NoiseTable, OnlyTheSeedModulo2048Counts) {
    std::vector<int32_t> a(2048), b(2048);
    buildNoiseTable(0, noiseSourceTable(), a.data());
    buildNoiseTable(2048, noiseSourceTable(), b.data());
    EXPECT_EQ(a, b);
    buildNoiseTable(-1, noiseSourceTable(), a.data());  // 4294967295 mod 2048
    buildNoiseTable(2047, noiseSourceTable(), b.data());
    EXPECT_EQ(a, b);
    buildNoiseTable(1, noiseSourceTable(), b.data());
    EXPECT_NE(a, b);
    for (int32_t v : a) {
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 255);
    }
}

// Source: every entry 1, except entry 0 = 300 (low byte 44) and entry 1 = 2.
// By hand, seed 0:
//   initial: N[0] = 44, N[1] = 2, all others 1.
//   i = 0: j = 300; swap: N[300] = 44; N[0] rewritten to 44.
//   i = 1: j = 2; swap: N[2] = 2; N[1] rewritten to 2.
//   i = 2: j = 1; swap: N[1] = 2; N[2] rewritten to 1.
//   i >= 3: j = 1; N[1] takes N[i] (44 at i = 300, else 1); N[i] rewritten to 1.
//   result: N[0] = 44, every other entry 1. A plain exchange would keep one 2.
TEST(NoiseTable, ExchangeOrderOnASyntheticSource) {
    std::vector<int16_t> source(2048, 1);
    source[0] = 300;
    source[1] = 2;
    for (int32_t seed : {0, 1, 2047}) {
        std::vector<int32_t> table(2048);
        buildNoiseTable(seed, source.data(), table.data());
        EXPECT_EQ(table[0], 44) << seed;
        for (int i = 1; i < 2048; ++i) ASSERT_EQ(table[i], 1) << "seed " << seed << " entry " << i;
    }
    // Seed 2: step 0 reads entry 2 (j = 1), step 2046 reads entry 0 (j = 300),
    // step 2047 entry 1 (j = 2).
    //   i = 0: N[1] = 44, N[0] = 44.  i = 1: j = 1 (entry 3): N[1] = 2.
    //   i = 2..2045: j = 1: N[1] = N[i] = 1, N[i] = 1.
    //   i = 2046: j = 300: N[300] = N[2046] = 1.  i = 2047: j = 2: N[2] = 1.
    std::vector<int32_t> table(2048);
    buildNoiseTable(2, source.data(), table.data());
    EXPECT_EQ(table[0], 44);
    for (int i = 1; i < 2048; ++i) ASSERT_EQ(table[i], 1) << i;
}

}  // namespace
}  // namespace lumenfall
