// The dark-pixel shortcut stands for a pixel outside the disc only: a black
// pixel on the rim (or inside an eclipse's disc) still mixes by its weight.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "kernels/glue_compositor.h"
#include "kernels/kernel_test_support.h"

namespace lumenfall {
namespace {

TEST(GlueCompositor, DarkPixelsOnTheRimBlendAsWithoutTheShortcut) {
    int32_t weights[256];
    testing_support::fillTriangle(weights);
    for (const int32_t planes : {3, 1}) {
        for (int32_t mode = 0; mode <= 20; ++mode) {
            GlueSetup plain{mode, weights, 1.0f / 255, {}};
            ASSERT_TRUE(pixelLayoutOf(8, planes, false, &plain.layout));
            int32_t table[256];
            if (!darkChannelTable(plain, table)) continue;
            GlueSetup fast = plain;
            fast.darkChannel = table;
            std::vector<std::array<int32_t, 3>> source(256);
            for (int32_t v = 0; v < 256; ++v) source[size_t(v)] = {v, planes == 1 ? v : 255 - v, v / 3};
            const auto* s = reinterpret_cast<const int32_t(*)[3]>(source.data());
            for (int32_t rim = 0; rim < 4; ++rim) {
                const std::vector<SunPixel> dark(256, SunPixel{{0, 0, 0}, rim});
                int32_t a[256][3], b[256][3], alphaA[256], alphaB[256];
                blendSpan(plain, dark.data(), s, 256, a, alphaA);
                blendSpan(fast, dark.data(), s, 256, b, alphaB);
                for (int i = 0; i < 256; ++i) {
                    for (int c = 0; c < 3; ++c)
                        ASSERT_EQ(a[i][c], b[i][c]) << "mode " << mode << " rim " << rim << " s " << i;
                    ASSERT_EQ(alphaA[i], alphaB[i]);
                }
            }
        }
    }
}

}  // namespace
}  // namespace lumenfall
