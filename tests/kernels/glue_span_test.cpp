// The compositor's shortcuts against its plain per-pixel blend: the span
// function chosen once per glue mode and depth, and the dark runs written
// straight through the dark-pixel table, give the very same bytes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "kernels/glue_compositor.h"
#include "kernels/glue_modes.h"
#include "kernels/kernel_test_support.h"

namespace lumenfall {
namespace {

using testing_support::TestBand;

struct Layout {
    int32_t planes;
    bool transparency;
};
const Layout kLayouts[] = {{3, false}, {1, false}, {4, true}, {2, true}, {4, false}};

// Effects with runs of dark pixels between lit ones, and the pixels that
// are nearly dark (no light on the rim, a little light outside the disc).
std::vector<SunPixel> effectRuns(std::mt19937& random, int32_t count, int32_t fullScale) {
    std::vector<SunPixel> effect;
    while (int32_t(effect.size()) < count) {
        const int32_t run = int32_t(random() % 300) + 1;
        const bool dark = random() % 2 == 0;
        for (int32_t i = 0; i < run && int32_t(effect.size()) < count; ++i) {
            SunPixel px{{0, 0, 0}, 4};
            if (!dark) {
                const int32_t kind = int32_t(random() % 4);
                if (kind == 0) px.rimWeight = int32_t(random() % 4);
                if (kind >= 1) px.rgb[random() % 3] = int32_t(random() % uint32_t(fullScale + 1));
                if (kind == 2) px.rgb[random() % 3] = -int32_t(random() % 1000);
                if (kind == 3) px.rimWeight = int32_t(random() % 7) - 1;
            }
            effect.push_back(px);
        }
    }
    return effect;
}

void fillRandom(std::mt19937& random, TestBand& band, int32_t fullScale) {
    for (int32_t y = 0; y < band.rows; ++y)
        for (int32_t x = 0; x < band.width; ++x)
            for (int32_t p = 0; p < band.planes; ++p)
                band.setIn(x, y, p, int32_t(random() % uint32_t(fullScale + 1 + (band.depth == 16 ? 200 : 0))));
}

TEST(GlueSpan, EveryModeAndDepthBlendsAsThePerPixelChoice) {
    std::mt19937 random(22);
    int32_t weights[256];
    testing_support::fillTriangle(weights);
    for (const int32_t depth : {8, 16}) {
        for (const Layout l : kLayouts) {
            for (int32_t mode = -1; mode <= kGlueModeCount + 1; ++mode) {
                GlueSetup setup{mode, weights, depth == 8 ? 1.0f / 255 : 1.0f / 32768, {}};
                ASSERT_TRUE(pixelLayoutOf(depth, l.planes, l.transparency, &setup.layout));
                const int32_t m = setup.layout.fullScale;
                const std::vector<SunPixel> effect = effectRuns(random, 600, m);
                std::vector<int32_t> source(600 * 3);
                for (int32_t& s : source) s = int32_t(random() % uint32_t(m + 1));
                const auto* s = reinterpret_cast<const int32_t(*)[3]>(source.data());
                std::vector<int32_t> a(600 * 3), b(600 * 3), alphaA(600), alphaB(600);
                blendSpanPerPixel(setup, effect.data(), s, 600, reinterpret_cast<int32_t(*)[3]>(a.data()),
                                  alphaA.data());
                blendSpan(setup, effect.data(), s, 600, reinterpret_cast<int32_t(*)[3]>(b.data()), alphaB.data());
                const std::string what = "mode " + std::to_string(mode) + " depth " + std::to_string(depth) +
                                         " planes " + std::to_string(l.planes);
                ASSERT_EQ(a, b) << what;
                ASSERT_EQ(alphaA, alphaB) << what;
            }
        }
    }
}

// The band's bytes with the dark-pixel shortcuts (at 8 bits the table:
// dark runs mapped byte for byte, lit runs of a glue that keeps the effect
// written from it; at 16 bits dark runs blended channel by channel) and
// without them (every pixel read, blended and written), for final and
// preview writes with and without a selection, spans that start and end
// inside runs, and 16-bit samples above the host's range.
TEST(GlueSpan, DarkRunsWriteWhatTheBlendWrites) {
    std::mt19937 random(2022);
    int32_t weights[256];
    testing_support::fillTriangle(weights);
    for (const int32_t depth : {8, 16}) {
        for (const Layout l : kLayouts) {
            for (int32_t mode = 0; mode <= kGlueModeCount + 1; ++mode) {
                for (const bool selection : {false, true}) {
                    for (const BandWrite how : {BandWrite::Final, BandWrite::Preview}) {
                        TestBand plain(900, 2, l.planes, depth, l.transparency);
                        GlueSetup setup{mode, weights, depth == 8 ? 1.0f / 255 : 1.0f / 32768, {}};
                        ASSERT_TRUE(pixelLayoutOf(depth, l.planes, l.transparency, &setup.layout));
                        fillRandom(random, plain, setup.layout.fullScale);
                        // A partial selection: the preview weighs the result
                        // against its checkerboard.
                        if (selection) plain.addMask(0, 2, uint8_t(40 + random() % 170));
                        // The output starts different from the input: planes
                        // the blend does not write must stay as they were.
                        for (uint8_t& byte : plain.out) byte = uint8_t(random());
                        TestBand fast = plain;
                        fast.band.inData = fast.in.data();
                        fast.band.outData = fast.out.data();
                        if (selection) fast.band.maskData = fast.mask.data();
                        int32_t table[256];
                        GlueSetup withTable = setup;
                        if (darkChannelTable(setup, table)) withTable.darkChannel = table;
                        withTable.darkRuns16 = true;
                        const std::vector<SunPixel> effect = effectRuns(random, 900, setup.layout.fullScale);
                        const int32_t first = int32_t(random() % 40), count = 860 - first;
                        for (int32_t row = 0; row < 2; ++row) {
                            compositeBandSpan(setup, plain.band, how, row, first, count, effect.data() + first);
                            compositeBandSpan(withTable, fast.band, how, row, first, count, effect.data() + first);
                        }
                        ASSERT_EQ(plain.out, fast.out)
                            << "mode " << mode << " depth " << depth << " planes " << l.planes
                            << (how == BandWrite::Final ? " final" : " preview")
                            << (selection ? " with a selection" : "");
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace lumenfall
