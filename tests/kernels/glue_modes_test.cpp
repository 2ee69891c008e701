#include "kernels/glue_modes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <vector>

#include "kernels/glue_compositor.h"
#include "params/parameter_block.h"
#include "kernels/kernel_test_support.h"

namespace lumenfall {
namespace {

using Formula = std::function<int32_t(int32_t e, int32_t s)>;

int32_t triangle(int32_t i) { return i < 128 ? 2 * i : 511 - 2 * i; }

// The glue formulas written out once more, in divisions of non-negative
// values where the code shifts.
std::map<int32_t, Formula> formulas8() {
    std::map<int32_t, Formula> f;
    f[kGlueProceduralPlus] = [](int e, int s) { return (triangle(s) * e + (255 - triangle(s)) * s) / 256; };
    f[kGlueProceduralMinus] = [](int e, int s) { return std::min(e + e * s / 256, 255); };
    f[kGlueDifference] = [](int e, int s) { return ((255 - s) * e + (255 - e) * s) / 256; };
    f[kGlueLighten] = [](int e, int s) { return std::max(e, s); };
    f[kGlueDarken] = [](int e, int s) { return std::min(e, s); };
    f[kGlueAdd] = [](int e, int s) { return std::min(e + s, 255); };
    f[kGlueSubtract] = [](int e, int s) { return std::max(e - s, 0); };
    f[kGlueMultiply] = [](int e, int s) { return e * s / 256; };
    f[kGlueScreen] = [](int e, int s) { return e + (255 - e) * s / 255; };
    f[kGlueHardLight] = [](int e, int s) {
        return e >= 128 ? 255 - (255 - e) * (255 - s) / 128 : e * s / 128;
    };
    f[kGlueOverlay] = [](int e, int s) {
        return s >= 128 ? 255 - (255 - e) * (255 - s) / 128 : e * s / 128;
    };
    f[kGlueSuperlay] = [](int e, int s) {
        int a = 255 - e * s / 256, p = a * a / 256, q = 255 - p;
        int b = 255 - (255 - e) * s / 256 - e, r = b * b / 256;
        return q >= 128 ? 255 - r * p / 128 : (255 - r) * q / 128;
    };
    f[kGlueExclusion] = [](int e, int s) { return ((255 - s) * e + (256 - e) * s) / 256; };
    f[kGlueLinearLight] = [](int e, int s) {
        int v = e < 128 ? s + 2 * e - 256 : s + 2 * e - 255;
        return e < 128 ? (v >= 1 ? v : 0) : std::min(v, 255);
    };
    f[kGluePinLight] = [](int e, int s) { return e >= 128 ? std::max(2 * e - 255, s) : std::min(s, 2 * e); };
    return f;
}

std::map<int32_t, Formula> formulas16() {
    std::map<int32_t, Formula> f;
    f[kGlueProceduralPlus] = [](int e, int s) {
        int k = s < 16384 ? s / 2 : 16384 - s / 2;
        return (k * e + (16384 - k) * s) / 16384;
    };
    f[kGlueProceduralMinus] = [](int e, int s) { return std::min(e + e * s / 32768, 32768); };
    Formula difference = [](int e, int s) { return ((32768 - s) * e + (32768 - e) * s) / 32768; };
    f[kGlueDifference] = difference;
    f[kGlueExclusion] = difference;
    f[kGlueLighten] = [](int e, int s) { return std::max(e, s); };
    f[kGlueDarken] = [](int e, int s) { return std::min(e, s); };
    f[kGlueAdd] = [](int e, int s) { return std::min(e + s, 32768); };
    f[kGlueSubtract] = [](int e, int s) { return std::max(e - s, 0); };
    f[kGlueMultiply] = [](int e, int s) { return e * s / 32768; };
    f[kGlueScreen] = [](int e, int s) { return e + (32768 - e) * s / 32768; };
    f[kGlueHardLight] = [](int e, int s) {
        return e >= 16384 ? 32768 - (32768 - e) * (32768 - s) / 16384 : e * s / 16384;
    };
    f[kGlueOverlay] = [](int e, int s) {
        return s >= 16384 ? 32768 - (32768 - e) * (32768 - s) / 16384 : e * s / 16384;
    };
    f[kGlueSuperlay] = [](int e, int s) {
        int a = 32768 - e * s / 32768, p = a * a / 32768, q = 32768 - p;
        int b = 32768 - (32768 - e) * s / 32768 - e, r = b * b / 32768;
        return q >= 16384 ? 32768 - r * p / 16384 : (32768 - r) * q / 16384;
    };
    f[kGlueLinearLight] = [](int e, int s) {
        int v = s + 2 * e - 32768;
        return e < 16384 ? std::max(v, 0) : std::min(v, 32768);
    };
    f[kGluePinLight] = [](int e, int s) { return e >= 16384 ? std::max(2 * e - 32768, s) : std::min(s, 2 * e); };
    return f;
}

const int32_t kGrid8[] = {0, 1, 2, 63, 64, 126, 127, 128, 129, 200, 253, 254, 255};
const int32_t kGrid16[] = {0, 1, 2, 255, 8191, 16383, 16384, 16385, 20000, 32766, 32767, 32768};

TEST(GlueModes, EveryPerChannelModeMatchesItsFormulaAt8Bits) {
    int32_t weights[256];
    testing_support::fillTriangle(weights);
    for (const auto& entry : formulas8()) {
        for (int32_t e : kGrid8) {
            for (int32_t s : kGrid8) {
                int32_t got = blendChannel8(entry.first, e, s, weights);
                EXPECT_EQ(got, entry.second(e, s)) << "mode " << entry.first << " e " << e << " s " << s;
                EXPECT_GE(got, 0);
                EXPECT_LE(got, 255);
            }
        }
    }
}

TEST(GlueModes, EveryPerChannelModeMatchesItsFormulaAt16Bits) {
    for (const auto& entry : formulas16()) {
        for (int32_t e : kGrid16) {
            for (int32_t s : kGrid16) {
                int32_t got = blendChannel16(entry.first, e, s);
                EXPECT_EQ(got, entry.second(e, s)) << "mode " << entry.first << " e " << e << " s " << s;
                EXPECT_GE(got, 0);
                EXPECT_LE(got, 32768);
            }
        }
    }
}

// Through the compositor's span functions, which take each mode's formula
// from a table per depth: every entry must be its own mode's formula at its
// own depth. Each pixel holds three (e, s) pairs of the grid, one per channel.
TEST(GlueModes, EverySpanBlendsByItsModesFormulaAtItsDepth) {
    int32_t weights[256];
    testing_support::fillTriangle(weights);
    for (const int32_t depth : {8, 16}) {
        const auto formulas = depth == 8 ? formulas8() : formulas16();
        const std::vector<int32_t> grid = depth == 8 ? std::vector<int32_t>(std::begin(kGrid8), std::end(kGrid8))
                                                     : std::vector<int32_t>(std::begin(kGrid16), std::end(kGrid16));
        const int32_t m = depth == 8 ? 255 : 32768;
        std::vector<std::array<int32_t, 2>> pairs;
        for (int32_t e : grid)
            for (int32_t s : grid) pairs.push_back({e, s});
        while (pairs.size() % 3 != 0) pairs.push_back({m, 0});
        const int32_t count = int32_t(pairs.size() / 3);
        // The effect in the renderer's scale of M itself, the inverse just
        // above 1 / M so that every channel arrives as exactly e.
        std::vector<SunPixel> effect(size_t(count), SunPixel{{0, 0, 0}, 0});
        std::vector<int32_t> source(pairs.size());
        for (size_t k = 0; k < pairs.size(); ++k) {
            effect[k / 3].rgb[k % 3] = pairs[k][0];
            source[k] = pairs[k][1];
        }
        for (const auto& entry : formulas) {
            GlueSetup setup{entry.first, weights, (1.0f / float(m)) * (1.0f + 1.0f / (1 << 20)), {}};
            ASSERT_TRUE(pixelLayoutOf(depth, 3, false, &setup.layout));
            std::vector<int32_t> result(pairs.size());
            std::vector<int32_t> alpha(static_cast<size_t>(count));
            blendSpan(setup, effect.data(), reinterpret_cast<const int32_t(*)[3]>(source.data()), count,
                      reinterpret_cast<int32_t(*)[3]>(result.data()), alpha.data());
            for (size_t k = 0; k < pairs.size(); ++k) {
                const int32_t e = pairs[k][0], s = pairs[k][1];
                ASSERT_EQ(result[k], entry.second(e, s))
                    << "mode " << entry.first << " depth " << depth << " e " << e << " s " << s;
            }
        }
    }
}

// The 8-bit "exclusion" weighs the image by 256 - e where "difference" has
// 255 - e: under no light every source value comes back exactly.
TEST(GlueModes, Exclusion8BitKeepsTheSourceUnderNoLight) {
    for (int32_t s = 0; s <= 255; ++s) {
        EXPECT_EQ(blendChannel8(kGlueExclusion, 0, s, nullptr), s) << s;
        EXPECT_EQ(blendChannel8(kGlueDifference, 0, s, nullptr), (255 * s) >> 8) << s;
    }
}

TEST(GlueModes, NormalAndUnknownModesKeepTheEffect) {
    for (int32_t mode : {0, 1, 11, 16, 17, 20, -5, 1000}) {
        EXPECT_EQ(blendChannel8(mode, 77, 200, nullptr), 77);
        EXPECT_EQ(blendChannel16(mode, 7777, 20000), 7777);
    }
}

TEST(GlueModes, Screen8Bit) {
    for (int32_t s : kGrid8) EXPECT_EQ(blendChannel8(kGlueScreen, 255, s, nullptr), 255);
    // No effect leaves the source exactly, in both depths.
    for (int32_t s = 0; s <= 255; ++s) EXPECT_EQ(blendChannel8(kGlueScreen, 0, s, nullptr), s) << s;
    for (int32_t s = 0; s <= 32768; s += 7) EXPECT_EQ(blendChannel16(kGlueScreen, 0, s), s) << s;
}

TEST(GlueModes, LinearLight8BitEdges) {
    EXPECT_EQ(blendChannel8(kGlueLinearLight, 127, 1, nullptr), 0);  // 1 + 254 - 256 = -1
    EXPECT_EQ(blendChannel8(kGlueLinearLight, 128, 0, nullptr), 1);  // 256 - 255
    EXPECT_EQ(blendChannel8(kGlueLinearLight, 255, 255, nullptr), 255);
}

TEST(GlueModes, ProceduralPlusFollowsTheTriangle) {
    int32_t weights[256];
    testing_support::fillTriangle(weights);
    EXPECT_EQ(blendChannel8(kGlueProceduralPlus, 200, 0, weights), 0);      // T = 0
    EXPECT_EQ(blendChannel8(kGlueProceduralPlus, 0, 255, weights), 253);    // T = 1
    EXPECT_EQ(blendChannel8(kGlueProceduralPlus, 255, 255, weights), 254);
    EXPECT_EQ(blendChannel8(kGlueProceduralPlus, 200, 128, weights), 199);  // T = 255: 255/256 of e
    // Without a table the same triangle is used.
    EXPECT_EQ(blendChannel8(kGlueProceduralPlus, 200, 128, nullptr), 199);
    // 16-bit reaches only half weight at mid-grey.
    EXPECT_EQ(blendChannel16(kGlueProceduralPlus, 32768, 16384), 24576);
    EXPECT_EQ(blendChannel16(kGlueProceduralPlus, 32768, 16383), 24574);
}

TEST(GlueModes, DifferenceAndExclusionDifferAt8BitsAndAgreeAt16) {
    EXPECT_EQ(blendChannel8(kGlueDifference, 0, 255, nullptr), 254);
    EXPECT_EQ(blendChannel8(kGlueExclusion, 0, 255, nullptr), 255);
    int differ = 0;
    for (int32_t e : kGrid8)
        for (int32_t s : kGrid8)
            differ += blendChannel8(kGlueDifference, e, s, nullptr) != blendChannel8(kGlueExclusion, e, s, nullptr);
    EXPECT_GT(differ, 10);
    for (int32_t e : kGrid16)
        for (int32_t s : kGrid16)
            EXPECT_EQ(blendChannel16(kGlueDifference, e, s), blendChannel16(kGlueExclusion, e, s));
}

TEST(GlueModes, CompositeWithoutTransparencyStepsByRimWeight) {
    EXPECT_EQ(compositeOpaque(100, 120, 0, 255), 100);
    EXPECT_EQ(compositeOpaque(100, 120, 1, 255), 130);
    EXPECT_EQ(compositeOpaque(100, 120, 2, 255), 160);
    EXPECT_EQ(compositeOpaque(100, 120, 3, 255), 190);
    EXPECT_EQ(compositeOpaque(100, 120, 4, 255), 220);
    EXPECT_EQ(compositeOpaque(200, 120, 4, 255), 255);
    EXPECT_EQ(compositeOpaque(30000, 30000, 4, 32768), 32768);
}

// Effect (64, 32, 0) of 255: Y = 0.3 * 64/255 + 0.59 * 32/255 = 0.149333,
// L = 0.298667; L' = (1 - L) k + L with k = 1 - w/4.
TEST(GlueModes, CompositeWithTransparencyOpacityByRimWeight) {
    const int32_t expectedAlpha[5] = {255, 210, 165, 120, 76};
    for (int32_t w = 0; w <= 4; ++w) {
        int32_t c[3] = {64, 32, 0};
        EXPECT_EQ(compositeTransparent(c, w, 255), expectedAlpha[w]) << "w " << w;
        if (w == 0) {
            EXPECT_EQ(c[0], 64);
            EXPECT_EQ(c[1], 32);
        }
        if (w == 4) {  // divided by L' = 0.298667
            EXPECT_EQ(c[0], 214);
            EXPECT_EQ(c[1], 107);
            EXPECT_EQ(c[2], 0);
        }
    }
    // No light outside the disc stays fully transparent; bright light is opaque.
    int32_t dark[3] = {0, 0, 0};
    EXPECT_EQ(compositeTransparent(dark, 4, 255), 0);
    int32_t bright[3] = {32768, 32768, 32768};
    EXPECT_EQ(compositeTransparent(bright, 4, 32768), 32768);
    EXPECT_EQ(bright[0], 32768);
}

}  // namespace
}  // namespace lumenfall
