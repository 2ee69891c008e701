#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "kernels/resample_weights.h"

using namespace lumenfall;

namespace {

struct Tables {
    float floats[kResamplePhases][kResampleTaps];
    int32_t w2048[kResamplePhases][kResampleTaps];
    int32_t w32768[kResamplePhases][kResampleTaps];
    Tables() { fillLanczosWeights(floats, w2048, w32768); }
};

}  // namespace

TEST(LanczosWeights, IntegerFormsSumExactlyForEveryPhase) {
    static Tables t;
    for (int i = 0; i < kResamplePhases; ++i) {
        int32_t s2048 = 0, s32768 = 0;
        double sFloat = 0;
        for (int k = 0; k < kResampleTaps; ++k) {
            s2048 += t.w2048[i][k];
            s32768 += t.w32768[i][k];
            sFloat += t.floats[i][k];
            // The first four integer taps are the truncated products.
            if (k < 4) {
                EXPECT_EQ(t.w2048[i][k], int32_t(double(t.floats[i][k]) * 2048.0)) << i << "," << k;
            }
        }
        EXPECT_EQ(s2048, 2048) << "phase " << i;
        EXPECT_EQ(s32768, 32768) << "phase " << i;
        EXPECT_NEAR(sFloat, 1.0, 1e-6) << "phase " << i;
    }
}

TEST(LanczosWeights, PhaseZeroSpreadsInsteadOfInterpolating) {
    static Tables t;
    // Values of the formula at phase 0 (double precision, pi = 3.141592653).
    const int32_t expected2048[5] = {0, -95, 1217, 1018, -92};
    const int32_t expected32768[5] = {0, -1523, 19476, 16294, -1479};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(t.w2048[0][k], expected2048[k]) << k;
        EXPECT_EQ(t.w32768[0][k], expected32768[k]) << k;
    }
    // The box covers 19/21 of a pixel behind the position: the kernel ends
    // exactly at the +2 tap (weight 0), the centre keeps well under 1 and the
    // neighbours and the far tap at -2 take the rest.
    EXPECT_EQ(t.floats[0][0], 0.0f);
    EXPECT_LT(t.floats[0][2], 0.65f);
    EXPECT_GT(t.floats[0][3], 0.45f);
    EXPECT_LT(t.floats[0][1], 0.0f);
    EXPECT_LT(t.floats[0][4], 0.0f);
    // Mid phase: every tap takes a share.
    for (int k = 0; k < 5; ++k) EXPECT_NE(t.w2048[64][k], 0) << k;
}

TEST(LanczosWeights, RefillingGivesTheSameValues) {
    static Tables a;
    static Tables b;
    EXPECT_EQ(std::memcmp(a.floats, b.floats, sizeof a.floats), 0);
    EXPECT_EQ(std::memcmp(a.w2048, b.w2048, sizeof a.w2048), 0);
    EXPECT_EQ(std::memcmp(a.w32768, b.w32768, sizeof a.w32768), 0);
}

TEST(LanczosWeights, KernelIsZeroOutsideItsSupport) {
    EXPECT_EQ(lanczos2(0.0), 1.0);
    EXPECT_EQ(lanczos2(2.0), 0.0);
    EXPECT_EQ(lanczos2(-2.0), 0.0);
    EXPECT_EQ(lanczos2(NAN), 0.0);
    // sinc(0.5) * sinc(0.25) = (2 / pi) * (sin(pi / 4) * 4 / pi).
    const double pi = 3.141592653;
    EXPECT_NEAR(lanczos2(0.5), (std::sin(pi * 0.5) / (pi * 0.5)) * (std::sin(pi * 0.25) / (pi * 0.25)), 1e-15);
    EXPECT_LT(lanczos2(1.5), 0.0);
}
