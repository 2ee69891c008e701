#include "kernels/perceptual_colour.h"

#include <gtest/gtest.h>

#include <limits>

namespace lumenfall {
namespace {

TEST(PerceptualColour, PureRedIsHueOneAndFoldsBack) {
    Hsl hsl = rgbToHsl(1.0f, 0.0f, 0.0f);
    EXPECT_EQ(hsl.h, 1.0f);
    EXPECT_EQ(hsl.s, 1.0f);
    EXPECT_EQ(hsl.l, 0.5f);
    RgbF rgb = hslToRgb(1.0f, 1.0f, 0.5f);  // sextant 6 folds to 0
    EXPECT_EQ(rgb.r, 1.0f);
    EXPECT_EQ(rgb.g, 0.0f);
    EXPECT_EQ(rgb.b, 0.0f);
}

TEST(PerceptualColour, HuesOfTheSixSextants) {
    struct Case { float r, g, b, h; };
    const Case cases[] = {{1, 1, 0, 1 / 6.0f}, {0, 1, 0, 2 / 6.0f}, {0, 1, 1, 3 / 6.0f},
                          {0, 0, 1, 4 / 6.0f}, {1, 0, 1, 5 / 6.0f}, {1, 0.5f, 0, 1 / 12.0f}};
    for (const Case& c : cases) {
        Hsl hsl = rgbToHsl(c.r, c.g, c.b);
        EXPECT_NEAR(hsl.h, c.h, 1e-6) << c.r << " " << c.g << " " << c.b;
        RgbF back = hslToRgb(hsl.h, hsl.s, hsl.l);
        EXPECT_NEAR(back.r, c.r, 1e-5);
        EXPECT_NEAR(back.g, c.g, 1e-5);
        EXPECT_NEAR(back.b, c.b, 1e-5);
    }
}

TEST(PerceptualColour, GreysHaveNoHueAndKeepTheirLightness) {
    for (float v : {0.0f, 0.25f, 0.5f, 0.9f, 1.0f}) {
        Hsl hsl = rgbToHsl(v, v, v);
        EXPECT_EQ(hsl.s, 0.0f);
        EXPECT_EQ(hsl.h, 0.0f);
        Hsl perceived = toPerceptualHsl(v, v, v);
        EXPECT_NEAR(perceived.l, v, 1e-7);
    }
    for (float h : {0.0f, 0.1f, 0.5f, 0.77f, 1.0f}) EXPECT_DOUBLE_EQ(hueLuminance(h, 0.0f), 0.5);
}

TEST(PerceptualColour, HueLuminanceOfYellowAndBlue) {
    EXPECT_NEAR(hueLuminance(1.0f / 6.0f, 1.0f), 0.80, 1e-6);
    EXPECT_NEAR(hueLuminance(2.0f / 3.0f, 1.0f), 0.20, 1e-6);
    EXPECT_NEAR(hueLuminance(0.0f, 1.0f), 0.28, 1e-6);
}

TEST(PerceptualColour, PerceivedLightnessEqualToHueLuminanceIsHalfLightness) {
    float h = 2.0f / 3.0f;
    RgbF blue = fromPerceptualHsl(h, 1.0f, static_cast<float>(hueLuminance(h, 1.0f)));
    EXPECT_NEAR(blue.r, 0.0f, 1e-6);
    EXPECT_NEAR(blue.g, 0.0f, 1e-6);
    EXPECT_NEAR(blue.b, 1.0f, 1e-6);
    // The two ends of the remapping.
    RgbF white = fromPerceptualHsl(h, 1.0f, 1.0f);
    EXPECT_EQ(white.r, 1.0f);
    RgbF black = fromPerceptualHsl(h, 1.0f, 0.0f);
    EXPECT_EQ(black.b, 0.0f);
}

TEST(PerceptualColour, RemappingRoundTrips) {
    const float colours[][3] = {{0.9f, 0.2f, 0.1f}, {0.1f, 0.6f, 0.3f}, {0.2f, 0.2f, 0.8f},
                                {0.95f, 0.9f, 0.3f}};
    for (const auto& c : colours) {
        Hsl p = toPerceptualHsl(c[0], c[1], c[2]);
        RgbF back = fromPerceptualHsl(p.h, p.s, p.l);
        EXPECT_NEAR(back.r, c[0], 1e-5);
        EXPECT_NEAR(back.g, c[1], 1e-5);
        EXPECT_NEAR(back.b, c[2], 1e-5);
    }
}

TEST(PerceptualColour, BlueColourOverWhiteAndBlack) {
    int32_t effect[3] = {0, 0, 255};
    const int32_t white[3] = {255, 255, 255};
    blendColor(effect, white, 255, 1.0f / 255.0f);  // luma 254 gives l = 0.99755
    EXPECT_EQ(effect[0], 253);
    EXPECT_EQ(effect[1], 253);
    EXPECT_EQ(effect[2], 255);

    int32_t onBlack[3] = {0, 0, 255};
    const int32_t black[3] = {0, 0, 0};
    blendColor(onBlack, black, 255, 1.0f / 255.0f);
    EXPECT_EQ(onBlack[0], 0);
    EXPECT_EQ(onBlack[1], 0);
    EXPECT_EQ(onBlack[2], 0);
}

TEST(PerceptualColour, LuminanceOverGreyIsTheEffectsLuma) {
    int32_t effect[3] = {20000, 10000, 5000};
    const int32_t grey[3] = {9000, 9000, 9000};
    blendLuminance(effect, grey, 32768, 1.0f / 32768.0f);
    // (77 * 20000 + 150 * 10000 + 28 * 5000) >> 8
    EXPECT_EQ(effect[0], 12421);
    EXPECT_EQ(effect[1], 12421);
    EXPECT_EQ(effect[2], 12421);
}

TEST(PerceptualColour, LuminanceKeepsTheImageHue) {
    int32_t effect[3] = {255, 255, 255};
    const int32_t red[3] = {255, 0, 0};
    // White light on red: luma 254 lifts red almost to white, keeping its hue.
    blendLuminance(effect, red, 255, 1.0f / 255.0f);
    EXPECT_EQ(effect[0], 255);
    EXPECT_EQ(effect[1], 253);
    EXPECT_EQ(effect[2], 253);
    int32_t dim[3] = {60, 60, 60};
    blendLuminance(dim, red, 255, 1.0f / 255.0f);
    EXPECT_GT(dim[0], 0);
    EXPECT_EQ(dim[1], 0);
    EXPECT_EQ(dim[2], 0);
}

TEST(PerceptualColour, OutOfRangeInputsStayDefined) {
    RgbF a = hslToRgb(-3.0f, 1.0f, 0.5f);
    RgbF b = hslToRgb(1e30f, 1.0f, 0.5f);
    RgbF c = hslToRgb(std::numeric_limits<float>::quiet_NaN(), 1.0f, 0.5f);
    EXPECT_EQ(a.r, 1.0f);
    EXPECT_EQ(b.r, 1.0f);
    (void)c;
    RgbF d = fromPerceptualHsl(0.0f, 0.0f, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(d.r, 0.0f);
}

}  // namespace
}  // namespace lumenfall
