#include "kernels/glue_compositor.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <vector>

#include "kernels/kernel_test_support.h"

namespace lumenfall {
namespace {

using testing_support::TestBand;

struct Compositor {
    int32_t weights[256];
    TestBand& band;
    GlueSetup setup{};
    BandWrite how;
    Compositor(TestBand& b, int32_t glue, BandWrite write = BandWrite::Final) : band(b), how(write) {
        testing_support::fillTriangle(weights);
        setup.glue = glue;
        setup.proceduralWeights = weights;
        pixelLayoutOf(band.depth, band.planes, band.band.editableTransparency, &setup.layout);
    }
    // Effect as integers of the renderer's scale m (the image's range M).
    void put(int32_t x, int32_t y, int32_t r, int32_t g, int32_t b, int32_t w, float m) {
        setup.inverseScale = 1.0f / m;
        const SunPixel effect{{r, g, b}, w};
        compositeBandSpan(setup, band.band, how, y, x, 1, &effect);
    }
};

TEST(GlueCompositor, NormalWritesTheEffectAndClampsIt) {
    TestBand band(4, 1, 3, 8, false);
    band.fillIn(50);
    Compositor c(band, kGlueNormal);
    c.put(0, 0, 10, 300, -20, 4, 255.0f);
    EXPECT_EQ(band.outAt(0, 0, 0), 10);
    EXPECT_EQ(band.outAt(0, 0, 1), 255);
    EXPECT_EQ(band.outAt(0, 0, 2), 0);
}

// Negative light (spikes can give it) is no light in every mode and depth,
// and light past the full scale is the full scale: the pixel blends as the
// effect cut to 0..M would.
TEST(GlueCompositor, EffectOutsideItsRangeBlendsAsItsBound) {
    for (const int32_t depth : {8, 16}) {
        const float scale = depth == 8 ? 255.0f : 32768.0f;
        const int32_t full = depth == 8 ? 255 : 32768;
        for (int32_t glue = kGlueNormal; glue < kGlueNormal + kGlueModeCount; ++glue) {
            TestBand band(2, 1, 3, depth, false);
            band.fillIn(depth == 8 ? 90 : 11000);
            Compositor c(band, glue);
            c.put(0, 0, -5, -70000, full * 3, 4, scale);
            c.put(1, 0, 0, 0, full, 4, scale);
            for (int ch = 0; ch < 3; ++ch)
                EXPECT_EQ(band.outAt(0, 0, ch), band.outAt(1, 0, ch)) << "glue " << glue << " depth " << depth << " channel " << ch;
        }
    }
}

TEST(GlueCompositor, ModesReadTheSourceRow) {
    TestBand band(4, 2, 3, 16, false);
    band.setIn(1, 1, 0, 20000);
    band.setIn(1, 1, 1, 40000);  // above the host's range: taken as 32768
    band.setIn(1, 1, 2, 0);
    band.band.inFirstRow = 5;   // the band holds image rows 5 and 6
    band.band.outFirstRow = 5;
    Compositor c(band, kGlueMultiply);
    c.put(1, 6, 16384, 16384, 16384, 4, 32768.0f);
    EXPECT_EQ(band.outAt(1, 1, 0), 10000);
    EXPECT_EQ(band.outAt(1, 1, 1), 16384);
    EXPECT_EQ(band.outAt(1, 1, 2), 0);
    // A row outside the band is neither read nor written.
    std::vector<uint8_t> before = band.out;
    c.put(1, 2, 32768, 32768, 32768, 4, 32768.0f);
    EXPECT_EQ(band.out, before);
}

TEST(GlueCompositor, GreyImagesBlendTheGreyOfTheEffectIntoOneChannel) {
    TestBand band(2, 1, 1, 8, false);
    band.fillIn(100);
    Compositor c(band, kGlueAdd);
    c.put(0, 0, 200, 100, 50, 4, 255.0f);
    // (77 * 200 + 150 * 100 + 28 * 50) >> 8 = 124, plus 100
    EXPECT_EQ(band.outAt(0, 0, 0), 224);
    EXPECT_EQ(band.outAt(1, 0, 0), 0);  // the neighbour is untouched

    // Grey with transparency: the grey channel and the alpha, nothing else.
    TestBand withAlpha(2, 1, 2, 16, true);
    withAlpha.fillIn(1000);
    Compositor n(withAlpha, kGlueNormal);
    n.put(0, 0, 32768, 0, 0, 4, 32768.0f);
    EXPECT_EQ(withAlpha.outAt(0, 0, 0), (77 * 32768) >> 8);
    EXPECT_EQ(withAlpha.outAt(0, 0, 1), 32768);
    EXPECT_EQ(withAlpha.outAt(1, 0, 0), 0);
}

TEST(GlueCompositor, CompositeOpaqueAndTransparent) {
    TestBand band(2, 1, 3, 8, false);
    band.fillIn(120);
    Compositor c(band, kGlueComposite);
    c.put(0, 0, 100, 0, 255, 0, 255.0f);  // inside the disc: the effect alone
    c.put(1, 0, 100, 0, 255, 4, 255.0f);  // outside: the full source added
    EXPECT_EQ(band.outAt(0, 0, 0), 100);
    EXPECT_EQ(band.outAt(0, 0, 1), 0);
    EXPECT_EQ(band.outAt(1, 0, 0), 220);
    EXPECT_EQ(band.outAt(1, 0, 1), 120);
    EXPECT_EQ(band.outAt(1, 0, 2), 255);

    TestBand layer(5, 1, 4, 8, true);
    Compositor t(layer, kGlueComposite);
    const int32_t alpha[5] = {255, 210, 165, 120, 76};
    for (int32_t w = 0; w <= 4; ++w) t.put(w, 0, 64, 32, 0, w, 255.0f);
    for (int32_t w = 0; w <= 4; ++w) EXPECT_EQ(layer.outAt(w, 0, 3), alpha[w]) << "w " << w;
    EXPECT_EQ(layer.outAt(4, 0, 0), 214);

    // Other modes make the layer opaque: A = min(M, 1.007 * M).
    TestBand normal(1, 1, 4, 8, true);
    Compositor o(normal, kGlueNormal);
    o.put(0, 0, 1, 2, 3, 4, 255.0f);
    EXPECT_EQ(normal.outAt(0, 0, 3), 255);
}

TEST(GlueCompositor, ColourAndLuminanceModes) {
    TestBand band(1, 1, 3, 8, false);
    band.fillIn(255);
    Compositor c(band, kGlueColor);
    c.put(0, 0, 0, 0, 255, 4, 255.0f);
    EXPECT_EQ(band.outAt(0, 0, 0), 253);
    EXPECT_EQ(band.outAt(0, 0, 1), 253);
    EXPECT_EQ(band.outAt(0, 0, 2), 255);
}

TEST(GlueCompositor, PreviewCheckerboardAndSelection) {
    TestBand band(24, 20, 3, 8, false);
    Compositor c(band, kGlueNormal, BandWrite::Preview);
    // No mask: g = 255 raised to 256, so the result alone.
    c.put(3, 0, 100, 100, 100, 4, 255.0f);
    EXPECT_EQ(band.outAt(3, 0, 0), 100);

    band.addMask(8, 4, 0);  // rows 8..11 hold a mask of 0
    band.mask[2] = 128;     // row 8, column 2
    for (int32_t x : {0, 7, 8, 15, 16}) c.put(x, 9, 100, 100, 100, 4, 255.0f);
    EXPECT_EQ(band.outAt(0, 9, 0), 204);   // row 9: (y & 8) is 8
    EXPECT_EQ(band.outAt(7, 9, 0), 204);
    EXPECT_EQ(band.outAt(8, 9, 0), 255);
    EXPECT_EQ(band.outAt(15, 9, 0), 255);
    EXPECT_EQ(band.outAt(16, 9, 0), 204);
    c.put(2, 8, 100, 100, 100, 4, 255.0f);  // g = 129: (204 * 127 + 129 * 100) >> 8
    EXPECT_EQ(band.outAt(2, 8, 0), (204 * 127 + 129 * 100) >> 8);
    c.put(2, 0, 100, 100, 100, 4, 255.0f);  // outside the mask band: checkerboard only
    EXPECT_EQ(band.outAt(2, 0, 0), 255);

    TestBand wide(1, 1, 3, 16, false);
    Compositor w(wide, kGlueNormal, BandWrite::Preview);
    w.put(0, 0, 20000, 0, 32768, 4, 32768.0f);  // g = 255 against 255 - g
    EXPECT_EQ(wide.outAt(0, 0, 0), (255 * 20000) >> 8);
    EXPECT_EQ(wide.outAt(0, 0, 2), (255 * 32768) >> 8);
}

// A pan step shows the picture before the render: the source through the
// selection and its transparency over the checkerboard.
TEST(GlueCompositor, PreviewSourceRowsOverTheCheckerboard) {
    TestBand band(10, 1, 4, 8, true);
    for (int32_t x = 0; x < 10; ++x) {
        band.in[size_t(x) * 4] = 60;
        band.in[size_t(x) * 4 + 3] = x == 9 ? 0 : 255;  // the last pixel is transparent
    }
    band.addMask(0, 1, 255);
    band.mask[1] = 0;  // unselected
    ASSERT_TRUE(previewSourceSpan(band.band, 0, 0, 10));
    EXPECT_EQ(band.outAt(0, 0, 0), (255 * (256 - 255) + 255 * 60) >> 8);  // selected, opaque
    EXPECT_EQ(band.outAt(1, 0, 0), 255);  // unselected: the light square
    EXPECT_EQ(band.outAt(9, 0, 0), 204);  // transparent: the dark square (x & 8)
    EXPECT_EQ(band.outAt(9, 0, 3), 255);
}

TEST(GlueCompositor, PreviewWithTransparencyWeighsByAlpha) {
    TestBand band(2, 1, 4, 8, true);
    Compositor c(band, kGlueComposite, BandWrite::Preview);
    c.put(0, 0, 0, 0, 0, 4, 255.0f);  // no light outside the disc: A = 0, checkerboard
    EXPECT_EQ(band.outAt(0, 0, 0), 255);
    EXPECT_EQ(band.outAt(0, 0, 3), 255);
    c.put(1, 0, 0, 0, 0, 0, 255.0f);  // black disc: A = 255, g = (256 * 255) >> 8
    EXPECT_EQ(band.outAt(1, 0, 0), (255 * 1) >> 8);
}

TEST(GlueCompositor, UnusableTargetsWriteNothing) {
    TestBand band(2, 1, 3, 32, false);  // float planes are not composited
    Compositor c(band, kGlueNormal);
    c.put(0, 0, 1, 1, 1, 4, 1.0f);
    EXPECT_EQ(band.out, std::vector<uint8_t>(band.out.size(), 0));
    EXPECT_FALSE(pixelLayoutOf(32, 3, false, &c.setup.layout));
    TestBand empty(2, 1, 3, 8, false);
    empty.band.inData = nullptr;
    Compositor e(empty, kGlueNormal);
    e.put(0, 0, 100, 100, 100, 4, 255.0f);
    EXPECT_EQ(empty.out, std::vector<uint8_t>(empty.out.size(), 0));
    // Extreme effects and rim weights saturate.
    TestBand ok(1, 1, 3, 8, false);
    Compositor o(ok, kGlueScreen);
    o.put(0, 0, INT32_MIN, INT32_MAX, -5, 99, 255.0f);
    EXPECT_EQ(ok.outAt(0, 0, 0), 0);
    EXPECT_EQ(ok.outAt(0, 0, 1), 255);
    EXPECT_EQ(ok.outAt(0, 0, 2), 0);
}

}  // namespace
}  // namespace lumenfall

namespace lumenfall {
namespace {

// The dark-pixel table gives what the full blend gives, for every mode,
// layout and source value; where it does not apply there is none.
TEST(GlueCompositor, DarkPixelTableMatchesTheBlend) {
    int32_t weights[256];
    testing_support::fillTriangle(weights);
    struct Layout { int32_t planes; bool transparency; };
    for (const Layout l : {Layout{3, false}, Layout{1, false}, Layout{4, true}}) {
        for (int32_t mode = 0; mode <= 20; ++mode) {
            GlueSetup plain{mode, weights, 1.0f / 255, {}};
            ASSERT_TRUE(pixelLayoutOf(8, l.planes, l.transparency, &plain.layout));
            int32_t table[256];
            GlueSetup fast = plain;
            if (!darkChannelTable(plain, table)) {
                EXPECT_TRUE(mode == kGlueColor || mode == kGlueLuminance || (mode == kGlueComposite && l.transparency));
                continue;
            }
            fast.darkChannel = table;
            std::vector<SunPixel> dark(256, SunPixel{{0, 0, 0}, 4});
            std::vector<std::array<int32_t, 3>> source(256);
            for (int32_t v = 0; v < 256; ++v) source[size_t(v)] = {v, l.planes == 1 ? v : 255 - v, l.planes == 1 ? v : v / 2};
            int32_t a[256][3], b[256][3], alphaA[256], alphaB[256];
            const auto* s = reinterpret_cast<const int32_t(*)[3]>(source.data());
            blendSpan(plain, dark.data(), s, 256, a, alphaA);
            blendSpan(fast, dark.data(), s, 256, b, alphaB);
            for (int i = 0; i < 256; ++i) {
                for (int c = 0; c < 3; ++c) ASSERT_EQ(a[i][c], b[i][c]) << "mode " << mode << " s " << i;
                ASSERT_EQ(alphaA[i], alphaB[i]);
            }
        }
    }
    GlueSetup wide{kGlueScreen, weights, 1.0f / 32768, {}};
    ASSERT_TRUE(pixelLayoutOf(16, 3, false, &wide.layout));
    int32_t table[256];
    EXPECT_FALSE(darkChannelTable(wide, table));
}

}  // namespace
}  // namespace lumenfall
