// Spectral locus, base table, spike ramp and bow spectrum.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "kernels/spectral_locus.h"
#include "kernels/spectral_tables.h"
#include "params/defaults.h"

namespace lumenfall {
namespace {

struct SpectralFixture : ::testing::Test {
    std::unique_ptr<ParameterBlock> block = std::make_unique<ParameterBlock>();
    std::unique_ptr<SunTables> work = std::make_unique<SunTables>();
    void SetUp() override { initialiseParameterBlock(*block); }
    void white(uint16_t (&colour)[3]) { colour[0] = colour[1] = colour[2] = 255 * 256; }
    void buildBow() {
        buildSpectralTable(*block, *work, kSpectralBuildBow);
        buildBowTable(*block, *work);
    }
};

TEST(SpectralLocus, AnchorsAndFlatRedEnd) {
    const Chromaticity* locus = spectralLocus();
    EXPECT_DOUBLE_EQ(locus[0].x, 0.1741);   // 380 nm
    EXPECT_DOUBLE_EQ(locus[0].y, 0.0050);
    EXPECT_DOUBLE_EQ(locus[28].x, 0.0743);  // 520 nm
    EXPECT_DOUBLE_EQ(locus[28].y, 0.8338);
    EXPECT_DOUBLE_EQ(locus[24].x, 0.0082);  // 500 nm
    EXPECT_DOUBLE_EQ(locus[44].y, 0.3725);  // 600 nm
    for (int i = 64; i <= 80; ++i) {        // 700..780 nm
        EXPECT_DOUBLE_EQ(locus[i].x, 0.7347) << i;
        EXPECT_DOUBLE_EQ(locus[i].y, 0.2653) << i;
    }
    EXPECT_DOUBLE_EQ(locus[63].x, 0.7346);  // 695 nm still moves
}

TEST(ChromaticityToRgb, PrimariesGiveOneChannelAndNegativesClip) {
    double rgb[3];
    chromaticityToRgb(0.64, 0.33, 0.03, rgb);
    EXPECT_NEAR(rgb[0], 1.0, 1e-12);
    EXPECT_NEAR(rgb[1], 0.0, 1e-12);
    EXPECT_NEAR(rgb[2], 0.0, 1e-12);
    chromaticityToRgb(0.15, 0.06, 0.79, rgb);
    EXPECT_NEAR(rgb[0], 0.0, 1e-12);
    EXPECT_NEAR(rgb[2], 1.0, 1e-12);
    // 520 nm lies outside the triangle on the red side: red clips to 0.
    chromaticityToRgb(0.0743, 0.8338, 1 - 0.0743 - 0.8338, rgb);
    EXPECT_EQ(rgb[0], 0.0);
    EXPECT_GT(rgb[1], 1.0);
}

TEST(SpectralBase, FalloffOnlyInBowMode) {
    int32_t spike[3][kSpectralBaseEntries];
    int32_t bow[3][kSpectralBaseEntries];
    buildSpectralBase(kSpectralBuildSpike, spike);
    buildSpectralBase(kSpectralBuildBow, bow);
    for (int c = 0; c < 3; ++c) {
        for (int i = 81; i < kSpectralBaseEntries; ++i) EXPECT_EQ(spike[c][i], 0);
        EXPECT_EQ(bow[c][0], 0);   // 380 nm: fall-off 0
        EXPECT_EQ(bow[c][80], 0);  // 780 nm: fall-off 0
    }
    // 520 nm (entry 28): no red; green from the chromaticity with exponent 0.1.
    double rgb[3];
    chromaticityToRgb(0.0743, 0.8338, 1 - 0.0743 - 0.8338, rgb);
    EXPECT_EQ(spike[0][28], 0);
    EXPECT_EQ(spike[1][28], int32_t(185.78f * 1.0f * std::pow(float(rgb[1]), 0.1f)));
    // 600 nm is not above 600: full weight in both modes for blue's exponent 0.3.
    chromaticityToRgb(0.6270, 0.3725, 1 - 0.6270 - 0.3725, rgb);
    EXPECT_EQ(bow[2][44], spike[2][44]);
    // 605 nm in bow mode: fall-off 175/180, green exponent 0.02.
    chromaticityToRgb(0.6482, 0.3514, 1 - 0.6482 - 0.3514, rgb);
    EXPECT_EQ(bow[1][45], int32_t(185.78f * (175.0f / 180.0f) * std::pow(float(rgb[1]), 0.02f)));
    // A fresh build keeps the spectral bands nearly full: red at 700 nm.
    EXPECT_GE(spike[0][64], 180);
}

TEST(SpectralBase, SpectrumSampleReachesFrom375To785) {
    int32_t base[3][kSpectralBaseEntries] = {};
    for (int i = 0; i <= 80; ++i) base[0][i] = 100 + i;
    int64_t sum[3] = {0, 0, 0};
    addSpectrumSample(base, 3760, sum);  // 376 nm: q 0, u -40 (truncation toward zero)
    EXPECT_EQ(sum[0], (100 * 90 + 101 * -40) / 50);
    sum[0] = 0;
    addSpectrumSample(base, 3749, sum);  // q = -1
    EXPECT_EQ(sum[0], 0);
    addSpectrumSample(base, 7849, sum);  // q 80, u 49: the last entry twice
    EXPECT_EQ(sum[0], (180 * 1 + 180 * 49) / 50);
    sum[0] = 0;
    addSpectrumSample(base, 7850, sum);  // q 81
    EXPECT_EQ(sum[0], 0);
    addSpectrumSample(base, 4025, sum);  // 402.5 nm: halfway between entries 4 and 5
    EXPECT_EQ(sum[0], (104 * 25 + 105 * 25) / 50);
}

TEST_F(SpectralFixture, PlainWhiteSpikesAre254) {
    block->spikeDiffraction = 0;
    block->spikeBrightness = 100;
    white(block->spikeColor);
    buildSpectralTable(*block, *work, kSpectralBuildSpike);
    // The tint shifts 255 * 255 right by 8.
    for (int c = 0; c < 3; ++c)
        for (int j = 0; j < kSpikeRampEntries; ++j) ASSERT_EQ(work->spikeRamp[c][j], 254) << c << " " << j;
}

TEST_F(SpectralFixture, PureSpectrumRamp) {
    block->spikeDiffraction = 100;
    block->spikeBrightness = 100;
    white(block->spikeColor);
    buildSpectralTable(*block, *work, kSpectralBuildSpike);
    int32_t base[3][kSpectralBaseEntries];
    buildSpectralBase(kSpectralBuildSpike, base);
    for (int c = 0; c < 3; ++c) {
        // Below position 19 no order reaches 375 nm.
        for (int j = 0; j < 19; ++j) EXPECT_EQ(work->spikeRamp[c][j], 0);
        // Position 30: only the first order (600 nm, entry 44, unfaded).
        EXPECT_EQ(work->spikeRamp[c][30], (base[c][44] * 255) >> 8);
        // Position 19: 380 nm, entry 0 faded to 0 (times 0/5).
        EXPECT_EQ(work->spikeRamp[c][19], 0);
    }
    // Position 21 is 420 nm (entry 8): no fade there.
    EXPECT_EQ(work->spikeRamp[2][21], (base[2][8] * 255) >> 8);
    // Position 20: 400 nm, entry 4 faded to 4/5.
    EXPECT_EQ(work->spikeRamp[2][20], ((base[2][4] * 4 / 5) * 255) >> 8);
    // Position 60: 1200 nm (no), 600 nm (order 2), 400 nm (order 3, faded entry 4).
    EXPECT_EQ(work->spikeRamp[0][60], ((base[0][44] + base[0][4] * 4 / 5) * 255) >> 8);
}

TEST_F(SpectralFixture, SpikeBrightnessAndTint) {
    block->spikeDiffraction = 0;
    block->spikeBrightness = 61;
    block->spikeColor[0] = 191 * 256;
    block->spikeColor[1] = 0;
    block->spikeColor[2] = 88 * 256;
    buildSpectralTable(*block, *work, kSpectralBuildSpike);
    EXPECT_EQ(work->spikeRamp[0][300], ((255 * 191) >> 8) * 61 / 100);  // 190 * 61 / 100 = 115
    EXPECT_EQ(work->spikeRamp[0][300], 115);
    EXPECT_EQ(work->spikeRamp[1][300], 0);
    EXPECT_EQ(work->spikeRamp[2][300], ((255 * 88) >> 8) * 61 / 100);
}

TEST_F(SpectralFixture, BlackSunOrNoBrightnessGivesBlackBow) {
    block->sunColor[0] = block->sunColor[1] = block->sunColor[2] = 0;
    block->bowSmear = 0;
    buildBow();
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k < kBowSpectrumEntries; ++k) ASSERT_EQ(work->bowSpectrum[c][k], 0);
    initialiseParameterBlock(*block);
    block->bowBrightness = 0;
    block->bowSmear = 50;
    buildBow();
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k < kBowSpectrumEntries; ++k) ASSERT_EQ(work->bowSpectrum[c][k], 0);
}

TEST_F(SpectralFixture, BowBlurTintAndLayout) {
    white(block->sunColor);
    block->bowBrightness = 64;
    block->bowSmear = 0;
    block->flipBow = 0;
    buildBow();
    int32_t base[3][kSpectralBaseEntries];
    buildSpectralBase(kSpectralBuildBow, base);
    // Entry 40: mean of entries 28..39; a white sun halves (>> 9 gives 127);
    // brightness 64 keeps it; green and blue take their factors.
    int32_t sum = 0;
    for (int j = 28; j <= 39; ++j) sum += base[1][j];
    EXPECT_EQ(work->bowSpectrum[1][40], ((((sum / 12) * 127) >> 8) * 222) >> 8);
    // Entry 0 has no source; entries 93..200 stay dark without smear.
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(work->bowSpectrum[c][0], 0);
        for (int k = 93; k < kBowSpectrumEntries; ++k) EXPECT_EQ(work->bowSpectrum[c][k], 0);
    }
}

TEST_F(SpectralFixture, FlipMovesTheDarkMarginOutward) {
    block->bowSmear = 0;
    block->flipBow = 0;
    buildBow();
    uint16_t plain[3][kBowSpectrumEntries];
    std::memcpy(plain, work->bowSpectrum, sizeof plain);
    block->flipBow = 1;
    buildBow();
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k < kSpectralBaseEntries; ++k)
            ASSERT_EQ(work->bowSpectrum[c][k], plain[c][92 - k]);
    // The blur margin (entries 0..11, partial sums) is now on the outer side.
    EXPECT_EQ(work->bowSpectrum[2][92], 0);
    EXPECT_LT(work->bowSpectrum[2][81], work->bowSpectrum[2][70]);
}

// The smear as its text reads, one weight at a time, for a window W.
void referenceSmear(const uint16_t source[kSpectralBaseEntries], int64_t window, uint16_t out[kBowSpectrumEntries]) {
    const int64_t half = window / 2;
    out[0] = source[0];
    for (int64_t i = 0; i < 200; ++i) {
        const int64_t centre = (2 * i - window) / 2;
        int64_t total = 0;
        int64_t sum = 0;
        for (int64_t j = i - window; j <= i; ++j) {
            const int64_t weight = std::max<int64_t>(half - std::llabs(centre - j), 0);
            total += weight;
            if (j >= 0 && j <= 92) sum += weight * source[j];
        }
        out[i + 1] = uint16_t(sum / (total == 0 ? 1 : total));
    }
}

TEST_F(SpectralFixture, SmearMatchesTheWindowOneWeightAtATime) {
    uint16_t source[kSpectralBaseEntries];
    for (int k = 0; k < kSpectralBaseEntries; ++k) source[k] = uint16_t(1000 + 37 * k - (k * k) % 97);
    for (int32_t smear : {1, 2, 3, 10, 37, 50, 94, 100, 187, 250, 1000}) {
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < kSpectralBaseEntries; ++k) work->spectralBase[c][k] = source[k];
        block->bowSmear = smear;
        buildBowTable(*block, *work);
        uint16_t expected[kBowSpectrumEntries];
        referenceSmear(source, int64_t(108) * smear / 100, expected);
        for (int k = 0; k < kBowSpectrumEntries; ++k)
            ASSERT_EQ(work->bowSpectrum[0][k], expected[k]) << "smear " << smear << " entry " << k;
    }
}

TEST_F(SpectralFixture, SmearOfOneClearsAllButEntryZero) {
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k < kSpectralBaseEntries; ++k) work->spectralBase[c][k] = 500 + k;
    block->bowSmear = 1;  // W = 1, W/2 = 0: every weight 0, total taken as 1
    buildBowTable(*block, *work);
    EXPECT_EQ(work->bowSpectrum[0][0], 500);
    for (int k = 1; k < kBowSpectrumEntries; ++k) ASSERT_EQ(work->bowSpectrum[0][k], 0) << k;
}

TEST_F(SpectralFixture, HugeAndNegativeSmearStayDefined) {
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k < kSpectralBaseEntries; ++k) work->spectralBase[c][k] = 60000;
    block->bowSmear = INT32_MAX;
    buildBowTable(*block, *work);
    // The window dwarfs the table: nearly all weight falls outside, so the bow fades out.
    EXPECT_EQ(work->bowSpectrum[0][0], 60000);
    for (int k = 1; k < kBowSpectrumEntries; ++k) ASSERT_LE(work->bowSpectrum[0][k], 1) << k;
    block->bowSmear = -5;  // an empty window
    buildBowTable(*block, *work);
    for (int k = 1; k < kBowSpectrumEntries; ++k) ASSERT_EQ(work->bowSpectrum[0][k], 0) << k;
}

TEST(SmearWeightTotal, ClosedFormMatchesTheSum) {
    for (int64_t half = -2; half <= 9; ++half)
        for (int64_t centre = -12; centre <= 12; ++centre)
            for (int64_t first = -15; first <= 15; first += 3)
                for (int64_t last = first - 1; last <= first + 25; last += 2) {
                    int64_t sum = 0;
                    for (int64_t j = first; j <= last; ++j)
                        sum += std::max<int64_t>(half - std::llabs(centre - j), 0);
                    ASSERT_EQ(smearWeightTotal(half, centre, first, last), sum)
                        << half << " " << centre << " " << first << " " << last;
                }
}

TEST_F(SpectralFixture, DefaultSettingsGiveAColouredBow) {
    buildBow();  // defaults: flipped, smear 94, brightness 42
    int lit = 0;
    for (int k = 0; k < kBowSpectrumEntries; ++k) lit += work->bowSpectrum[0][k] > 0;
    EXPECT_GT(lit, 100);  // the smear spreads the bow over most of the annulus
}

}  // namespace
}  // namespace lumenfall
