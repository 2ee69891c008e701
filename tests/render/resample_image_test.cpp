#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "render/resample_image.h"
#include "render/resample_sample.h"
#include "kernels/sun_renderer.h"
#include "render/tiled_image.h"

using namespace lumenfall;

namespace {

const LanczosWeights& weights() { return standardLanczosWeights(); }

// A tiled image that frees itself.
struct Image {
    TiledImage image;
    Image(int32_t width, int32_t height, uint32_t storeType = kStoreRgba8, uint32_t edgeMode = 0) {
        initTiledImage(image, nullptr, nullptr);
        EXPECT_TRUE(createTiledImage(&image, width, height, storeType, edgeMode, false));
    }
    ~Image() { freeTiledImage(&image); }
    void fillLevel(int32_t level, uint8_t grey) {
        for (int32_t y = 0; y < image.levelHeight[level]; ++y)
            for (int32_t x = 0; x < image.levelWidth[level]; ++x) writePixel8(image, x, y, level, grey, grey, grey, 255);
    }
    uint8_t red(int32_t x, int32_t y, int32_t level = 0) const {
        float c[4];
        readPixel(image, x, y, level, c);
        return uint8_t(c[0]);
    }
};

// Reference filter for 8-bit images, tap by tap through readPixel with the
// edge rule, to check the direct tile reads.
float referenceSample8(const TiledImage& image, int32_t level, float x, float y, int channel) {
    const TapPosition px = tapPosition(x), py = tapPosition(y);
    const int32_t* wx = weights().scaled2048[px.phase];
    const int32_t* wy = weights().scaled2048[py.phase];
    int64_t total = 0;
    for (int j = 0; j < 5; ++j) {
        int64_t row = 0;
        for (int i = 0; i < 5; ++i) {
            float c[4];
            readPixel(image, edgeCoordinate(px.centre + i - 2, image.levelWidth[level], image.edgeMode, true),
                      edgeCoordinate(py.centre + j - 2, image.levelHeight[level], image.edgeMode, false), level, c);
            row += int64_t(wx[4 - i]) * int32_t(c[channel]);
        }
        total += int64_t(wy[4 - j]) * row;
    }
    return float(total) * (1.0f / 4194304.0f);
}

}  // namespace

TEST(ResampleLevel, FollowsTheWidthRatioLessTheBias) {
    EXPECT_DOUBLE_EQ(resampleLevel(1024, 128, 0.5, 10), 2.5);
    EXPECT_DOUBLE_EQ(resampleLevel(128, 128, 0.5, 7), 0.0);
    EXPECT_DOUBLE_EQ(resampleLevel(128, 1024, 0.5, 7), 0.0);
    // The ratio is real, not an integer quotient: 1000 / 128 = 7.8125.
    EXPECT_DOUBLE_EQ(resampleLevel(1000, 128, 0.5, 10), std::log2(7.8125) - 0.5);
    EXPECT_DOUBLE_EQ(resampleLevel(4096, 1, 0.0, 3), 3.0) << "clamped to the pyramid";
    EXPECT_DOUBLE_EQ(resampleLevel(0, 128, 0.5, 3), 0.0);
    EXPECT_DOUBLE_EQ(resampleLevel(1024, 128, NAN, 3), 0.0);
}

TEST(Resample, ThousandTwentyFourToOneTwentyEightBlendsLevelsTwoAndThreeEvenly) {
    Image source(1024, 64);
    ASSERT_GE(source.image.lastLevel, 4);
    // Mark each level: only levels 2 (0) and 3 (200) may reach the result.
    for (int32_t level = 0; level <= source.image.lastLevel; ++level) source.fillLevel(level, 255);
    source.fillLevel(2, 0);
    source.fillLevel(3, 200);
    Image destination(128, 8);
    resampleImage(&source.image, {0, 0, 64, 1024}, &destination.image, {0, 0, 8, 128}, 0.5, weights());
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 128; x += 9) EXPECT_EQ(destination.red(x, y), 100) << x << "," << y;
    EXPECT_EQ(destination.image.pyramidState, 2u);
}

TEST(Resample, LargerDestinationReadsLevelZeroOnly) {
    Image source(64, 48);
    source.fillLevel(0, 50);
    for (int32_t level = 1; level <= source.image.lastLevel; ++level) source.fillLevel(level, 250);
    Image destination(100, 80);
    resampleImage(&source.image, {0, 0, 48, 64}, &destination.image, {0, 0, 80, 100}, 0.5, weights());
    for (int32_t y = 0; y < 80; y += 7)
        for (int32_t x = 0; x < 100; x += 7) ASSERT_EQ(destination.red(x, y), 50) << x << "," << y;
    float c[4];
    readPixel(destination.image, 3, 3, 0, c);
    EXPECT_EQ(c[3], 255.0f);
}

TEST(Resample, EmptyDestinationOnlyRebuildsAndMissingImagesDoNothing) {
    Image source(16, 16);
    Image destination(16, 16);
    destination.fillLevel(0, 90);
    destination.fillLevel(1, 0);
    resampleImage(&source.image, {0, 0, 16, 16}, &destination.image, {4, 4, 4, 10}, 0.5, weights());
    EXPECT_EQ(destination.red(2, 2, 0), 90);
    EXPECT_EQ(destination.red(2, 2, 1), 90) << "the pyramid was rebuilt from level 0";
    resampleImage(nullptr, {0, 0, 16, 16}, &destination.image, {0, 0, 16, 16}, 0.5, weights());
    resampleImage(&source.image, {0, 0, 16, 16}, nullptr, {0, 0, 16, 16}, 0.5, weights());
    copyImage(nullptr, &destination.image, weights());
    EXPECT_EQ(destination.red(2, 2, 0), 90);
}

TEST(SampleLevel, EdgeModesDecideWhatLiesBeyondTheBorder) {
    // Columns 30 and 31 bright; sampling at the left border (x = 0, phase 64).
    const int32_t* w = weights().scaled2048[64];
    const float wrapped = 255.0f * float(w[3] + w[4]) / 2048.0f;  // taps -1 and -2 read columns 31 and 30
    for (uint32_t mode : {0u, 1u, 2u}) {
        Image image(32, 32, kStoreRgba8, mode);
        image.fillLevel(0, 0);
        for (int32_t y = 0; y < 32; ++y) {
            writePixel8(image.image, 30, y, 0, 255, 255, 255, 255);
            writePixel8(image.image, 31, y, 0, 255, 255, 255, 255);
        }
        float rgba[4];
        sampleLevel(image.image, weights(), 0, 0.0f, 10.0f, rgba);
        if (mode == 0) {
            EXPECT_EQ(rgba[0], 0.0f) << "clamping repeats the dark border column";
        } else {
            EXPECT_NEAR(rgba[0], wrapped, 1e-3f) << "mode " << mode;
            EXPECT_GT(rgba[0], 12.0f);
        }
    }
    // Rows: mode 1 wraps them, mode 2 clamps them.
    for (uint32_t mode : {1u, 2u}) {
        Image image(32, 32, kStoreRgba8, mode);
        image.fillLevel(0, 0);
        for (int32_t x = 0; x < 32; ++x) writePixel8(image.image, x, 31, 0, 255, 255, 255, 255);
        float rgba[4];
        sampleLevel(image.image, weights(), 0, 10.0f, 0.0f, rgba);
        const float rowWrapped = 255.0f * float(w[3]) / 2048.0f;
        if (mode == 1) EXPECT_NEAR(rgba[0], rowWrapped, 1e-3f);
        else EXPECT_EQ(rgba[0], 0.0f);
    }
}

TEST(SampleLevel, PhaseZeroSpreadsOneColumnOverItsNeighbours) {
    // X = 9.5: n = trunc(10.0) = 10, phase 0. A bright column at offset d from
    // the centre contributes 255 times the weight of that tap.
    const int32_t* w = weights().scaled2048[0];
    for (int32_t d = -2; d <= 2; ++d) {
        Image image(32, 32);
        image.fillLevel(0, 0);
        for (int32_t y = 0; y < 32; ++y) writePixel8(image.image, 10 + d, y, 0, 255, 255, 255, 255);
        float rgba[4];
        sampleLevel(image.image, weights(), 0, 9.5f, 16.0f, rgba);
        EXPECT_FLOAT_EQ(rgba[0], 255.0f * float(w[2 - d]) / 2048.0f) << "offset " << d;
        EXPECT_FLOAT_EQ(rgba[3], 255.0f) << "opaque everywhere";
    }
}

TEST(SampleLevel, DirectTileReadsMatchTapByTapReads) {
    // 1030 x 12 spans three tile columns; positions near x = 512 and 1024
    // cross tile seams (tap by tap), the others read one tile directly.
    Image image(1030, 12);
    uint32_t seed = 12345;
    for (int32_t y = 0; y < 12; ++y)
        for (int32_t x = 0; x < 1030; ++x) {
            seed = seed * 1103515245u + 12345u;
            writePixel8(image.image, x, y, 0, uint8_t(seed >> 24), uint8_t(seed >> 16), uint8_t(x), 255);
        }
    for (float x : {3.3f, 100.0f, 507.7f, 509.2f, 510.5f, 513.9f, 700.25f, 1019.0f, 1022.6f, 1028.9f}) {
        for (float y : {2.0f, 5.6f, 9.1f, 11.5f}) {
            float rgba[4];
            sampleLevel(image.image, weights(), 0, x, y, rgba);
            for (int c = 0; c < 3; ++c) EXPECT_EQ(rgba[c], referenceSample8(image.image, 0, x, y, c)) << x << "," << y;
        }
    }
}

TEST(SampleLevel, LayoutsAndMissingPixels) {
    float rgba[4];
    // 16-bit: flat full scale stays exactly full scale.
    Image wide(20, 20, kStoreRgba16);
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 20; ++x) writePixel16(wide.image, x, y, 0, 32768, 16384, 0, 32768);
    sampleTrilinear(wide.image, weights(), 0, 0.0f, 0.37f, 0.61f, rgba);
    EXPECT_EQ(rgba[0], 1.0f);
    EXPECT_EQ(rgba[1], 0.5f);
    EXPECT_EQ(rgba[2], 0.0f);
    // Float: values above 1 are kept.
    Image floats(20, 20, kStoreRgbaFloat);
    const float two[4] = {2.0f, 2.0f, 2.0f, 1.0f};
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 20; ++x) writePixel(floats.image, x, y, 0, two);
    sampleTrilinear(floats.image, weights(), 0, 0.0f, 0.5f, 0.5f, rgba);
    EXPECT_NEAR(rgba[0], 2.0f, 1e-5f);
    // Grey 8-bit: the grey in three channels, alpha full.
    Image grey(20, 20, kStoreGrey8);
    const float g[4] = {128.0f, 0, 0, 0};
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 20; ++x) writePixel(grey.image, x, y, 0, g);
    sampleLevel(grey.image, weights(), 0, 10.0f, 10.0f, rgba);
    EXPECT_EQ(rgba[0], 128.0f);
    EXPECT_EQ(rgba[2], 128.0f);
    EXPECT_EQ(rgba[3], 255.0f);
    // Other layouts and images without tiles sample as zero.
    Image half(20, 20, kStoreGreyHalf);
    sampleLevel(half.image, weights(), 0, 10.0f, 10.0f, rgba);
    EXPECT_EQ(rgba[3], 0.0f);
    TiledImage empty;
    initTiledImage(empty, nullptr, nullptr);
    sampleTrilinear(empty, weights(), 0, 0.5f, 0.5f, 0.5f, rgba);
    EXPECT_EQ(rgba[0], 0.0f);
    // Wild coordinates and levels stay defined.
    sampleTrilinear(wide.image, weights(), 99, 0.5f, NAN, INFINITY, rgba);
    sampleTrilinear(wide.image, weights(), -7, 0.0f, -1e30f, 1e30f, rgba);
    EXPECT_EQ(rgba[0], 1.0f);
}

TEST(TapPosition, SplitsCentreAndPhase) {
    EXPECT_EQ(tapPosition(9.5f).centre, 10);
    EXPECT_EQ(tapPosition(9.5f).phase, 0);
    EXPECT_EQ(tapPosition(0.0f).centre, 0);
    EXPECT_EQ(tapPosition(0.0f).phase, 64);
    EXPECT_EQ(tapPosition(2.25f).phase, 96);
    EXPECT_EQ(tapPosition(-0.75f).centre, -1) << "below zero the phase stays in range";
    EXPECT_EQ(tapPosition(-0.75f).phase, 96);
    EXPECT_EQ(tapPosition(NAN).centre, 0);
    EXPECT_EQ(edgeCoordinate(-1, 32, 1, false), 31);
    EXPECT_EQ(edgeCoordinate(-33, 32, 1, true), 31);
    EXPECT_EQ(edgeCoordinate(-1, 32, 2, false), 0);
    EXPECT_EQ(edgeCoordinate(40, 32, 0, true), 31);
    EXPECT_EQ(edgeCoordinate(40, 32, 7, true), 31);
}

TEST(CopyImage, SameGeometryCopiesPixelsDifferentSizeResamples) {
    Image source(40, 30);
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 40; ++x) writePixel8(source.image, x, y, 0, uint8_t(x * 6), uint8_t(y * 8), 7, uint8_t(x + y));
    Image same(40, 30);
    copyImage(&source.image, &same.image, weights());
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 40; ++x)
            ASSERT_EQ(readWord(same.image, x, y, 0), readWord(source.image, x, y, 0)) << x << "," << y;
    EXPECT_EQ(same.image.pyramidState, 2u);

    Image flat(40, 30);
    flat.fillLevel(0, 77);
    rebuildPyramid(flat.image);
    Image smaller(10, 10);
    copyImage(&flat.image, &smaller.image, weights());
    EXPECT_EQ(smaller.red(5, 5), 77);
    float c[4];
    readPixel(smaller.image, 5, 5, 0, c);
    EXPECT_EQ(c[3], 255.0f) << "resampled pixels are opaque";

    // Same size, different layout: nothing is copied.
    Image other(40, 30, kStoreRgba16);
    copyImage(&source.image, &other.image, weights());
    readPixel(other.image, 10, 10, 0, c);
    EXPECT_EQ(c[0], 0.0f);
}
