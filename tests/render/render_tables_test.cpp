// Table values at chosen points, computed by hand from the formulas,
// including points where an integer and a floating-point reading differ.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "params/defaults.h"
#include "render/noise_table.h"
#include "render/render_tables.h"
#include "kernels/sun_elements.h"
#include "render/size_functions.h"

namespace lumenfall {
namespace {

struct TablesFixture : ::testing::Test {
    std::unique_ptr<ParameterBlock> block = std::make_unique<ParameterBlock>();
    std::unique_ptr<SunTables> work = std::make_unique<SunTables>();
    void SetUp() override {
        initialiseParameterBlock(*block);
        buildNoiseTable(block->randomSeed, noiseSourceTable(), work->noiseTable);
    }
};

TEST(ProceduralWeights, Triangle) {
    int32_t w[256];
    buildProceduralWeights(w);
    EXPECT_EQ(w[0], 0);
    EXPECT_EQ(w[1], 2);
    EXPECT_EQ(w[127], 254);
    EXPECT_EQ(w[128], 255);
    EXPECT_EQ(w[129], 253);
    EXPECT_EQ(w[255], 1);
}

TEST(GammaSteps, IntegerSteps) {
    // (50 - 49) * 8 / 50 is 0 as integers (0.16 as floats): no bend.
    EXPECT_EQ(haloGammaStep(49), 0);
    EXPECT_EQ(haloGammaStep(50), 0);
    EXPECT_EQ(haloGammaStep(0), 8);
    EXPECT_EQ(haloGammaStep(100), -8);
    EXPECT_EQ(haloGammaStep(44), 0);   // 48 / 50
    EXPECT_EQ(haloGammaStep(43), 1);   // 56 / 50
    EXPECT_EQ(spikeGammaStep(51), 1);  // 52 / 50 (1.04 as floats)
    EXPECT_EQ(spikeGammaStep(25), 0);
    EXPECT_EQ(spikeGammaStep(0), -1);
    EXPECT_EQ(spikeGammaStep(100), 3);
    EXPECT_EQ(gammaExponent(8), 9.0f);
    EXPECT_EQ(gammaExponent(-8), 1.0f / 9.0f);
    EXPECT_EQ(gammaExponent(-1), 0.5f);
    EXPECT_EQ(haloGammaStep(INT32_MIN), (50 - int64_t(INT32_MIN)) * 8 / 50);
}

TEST_F(TablesFixture, HaloWithoutBendAt49And50) {
    block->haloColor[0] = 207 * 256;
    block->haloColor[1] = 151 * 256;
    block->haloColor[2] = 64 * 256;
    for (int32_t brightness : {49, 50}) {
        block->haloBrightness = brightness;
        buildHaloCurves(*block, block->derived);
        const auto& h = block->derived.haloCurves;
        EXPECT_EQ(h[0][128], 6624);   // (207 * 128 >> 1) * 0.5
        EXPECT_EQ(h[1][128], 2416);   // ((16384 / 256) * 151 >> 1) * 0.5
        EXPECT_EQ(h[2][128], 512);    // ((2097152 / 65536) * 64 >> 1) * 0.5
        EXPECT_EQ(h[0][255], int32_t(float((207 * 255) >> 1) * (255 * 0.00390625f)));
        EXPECT_EQ(h[0][0], 0);
    }
    // The float reading of 49 (exponent 1.16) would bend the curve: 2964 at 128.
    EXPECT_EQ(int32_t(6624 * std::pow(0.5f, 1.16f)), 2964);
}

TEST_F(TablesFixture, HaloBendsWithBrightness) {
    block->haloColor[0] = 255 * 256;
    block->haloBrightness = 0;  // exponent 9
    buildHaloCurves(*block, block->derived);
    EXPECT_EQ(block->derived.haloCurves[0][128], int32_t(float((255 * 128) >> 1) * std::pow(0.5f, 9.0f)));
    EXPECT_EQ(block->derived.haloCurves[0][128], 31);  // 16320 / 512
    block->haloBrightness = 100;  // exponent 1/9
    buildHaloCurves(*block, block->derived);
    EXPECT_EQ(block->derived.haloCurves[0][128], int32_t(16320.0f * std::pow(0.5f, 1.0f / 9.0f)));
    EXPECT_EQ(block->derived.haloCurves[0][255], int32_t(32512.0f * std::pow(255 * 0.00390625f, 1.0f / 9.0f)));
}

TEST_F(TablesFixture, SpikeProfileExponents) {
    block->spikeGamma = 51;  // the default: exponent 2 (2.04 as floats)
    buildSpikeProfile(*block, *work);
    EXPECT_EQ(work->spikeProfile[150], 75);
    EXPECT_EQ(work->spikeProfile[300], 300);
    EXPECT_EQ(work->spikeProfile[0], 0);
    EXPECT_NE(int(std::pow(0.5f, 2.04f) * 300.0f), 75);  // 72 with the float reading
    block->spikeGamma = 25;  // no bend
    buildSpikeProfile(*block, *work);
    for (int i = 0; i <= 300; ++i) {
        ASSERT_EQ(work->spikeProfile[i], uint16_t(float(i) / 300.0f * 300.0f)) << i;
        ASSERT_LE(std::abs(int(work->spikeProfile[i]) - i), 1) << i;
    }
    EXPECT_EQ(work->spikeProfile[150], 150);
    block->spikeGamma = 0;  // exponent 1/2
    buildSpikeProfile(*block, *work);
    EXPECT_EQ(work->spikeProfile[75], 150);
    block->spikeGamma = 100;  // exponent 4
    buildSpikeProfile(*block, *work);
    EXPECT_EQ(work->spikeProfile[150], 18);
}

TEST_F(TablesFixture, FlareAndSunCurvesOfTheDefaults) {
    buildFlareCurves(*block, block->derived);
    const auto& f = block->derived.flareCurves;
    EXPECT_EQ(f[0][255], (185 * 255) >> 6);           // 737
    EXPECT_EQ(f[1][255], ((254 + 255) * 158) >> 7);   // 628
    EXPECT_EQ(f[2][255], (58 * 254) >> 6);            // 230
    EXPECT_EQ(f[1][16], ((1 + 16) * 158) >> 7);       // 20

    buildSunCurves(*block, block->derived);  // sunColdHot 0 (cold), sun colour 142, 135, 191
    const auto& s = block->derived.sunCurves;
    EXPECT_EQ(s[0][255], 253 * 284 / 256);            // cube law for red: 280
    EXPECT_EQ(s[1][255], 254 * 270 / 256);            // square law for green: 267
    EXPECT_EQ(s[2][255], 382 * 255 / 256);            // linear blue: 380
    EXPECT_EQ(s[0][128], ((2097152 >> 16) * 284) / 256);  // 32 * 284 / 256 = 35

    block->sunColdHot = 75;  // hot: blue bends, red linear
    buildSunCurves(*block, block->derived);
    EXPECT_EQ(s[0][128], 284 * 128 / 256);
    EXPECT_EQ(s[2][128], ((32 * 25 + 25 * 128) / 50) * 382 / 256);
    EXPECT_EQ(s[1][128], ((64 * 25 + 25 * 128) / 50) * 270 / 256);
}

TEST(OffsetDirection, CompassPoints) {
    EXPECT_EQ(offsetDirection(0, 0), 270);
    EXPECT_EQ(offsetDirection(1, 0), 0);
    EXPECT_EQ(offsetDirection(0, 1), 90);
    EXPECT_EQ(offsetDirection(-1, 0), 180);
    EXPECT_EQ(offsetDirection(0, -1), 270);
    EXPECT_EQ(offsetDirection(0.5f, 0.5f), 45);
    EXPECT_EQ(offsetDirection(-0.5f, 0.5f), 135);
    EXPECT_EQ(offsetDirection(0.5f, -0.5f), 315);
    // h 8, v 16: atan(-0.5) = -26.57 degrees; trunc(-26.57 + 180) = 153,
    // + 270: 63 (truncating before the half turn would give 64).
    EXPECT_EQ(offsetDirection(0.25f, 0.5f), 63);
    // Upward offsets add nothing before the truncation: h 8, v -16 gives
    // trunc(26.57) + 270.
    EXPECT_EQ(offsetDirection(0.25f, -0.5f), 296);
    // Below 1/33 the offset vanishes.
    EXPECT_EQ(offsetDirection(0.02f, 0.02f), 270);
    // Out of range and non-finite values stay on the picker's box.
    EXPECT_EQ(offsetDirection(NAN, NAN), 270);
    EXPECT_EQ(offsetDirection(INFINITY, 0), 0);
    EXPECT_EQ(offsetDirection(3.0f, 1.0f), 45);
}

TEST_F(TablesFixture, AlignedFlareAngles) {
    block->spikeX = 1;
    block->spikeY = 0;
    block->flareWidth = 49;  // W = 2007
    buildFlareAngles(*block, block->derived, *work);
    EXPECT_EQ(block->derived.spikeOffsetAngle, 0);
    EXPECT_EQ(block->derived.spikeOffsetLength, 1.0f);
    for (int j = 0; j <= 100; ++j)
        ASSERT_EQ(work->flareAngles[j], (j & 1) ? 8192 - 1003 : 16384 - 1003) << j;
}

TEST_F(TablesFixture, ScatteredFlareAnglesWithoutOffset) {
    block->spikeX = 0;
    block->spikeY = 0;
    block->flareWidth = 0;  // max(W, 2) / 2 = 1
    buildFlareAngles(*block, block->derived, *work);
    EXPECT_EQ(block->derived.spikeOffsetAngle, 270);
    const int32_t base = 270 * 16384 / 360 - 1;  // 12287
    for (int j = 0; j <= 100; ++j) {
        const int32_t r = work->noiseTable[2 * j];
        const int32_t n = ((r * 257) & 0x1FFF) - 4096;
        int32_t a = base + ((j & 1) ? 8192 : 0);
        if (a > 16384) a -= 16384;
        ASSERT_EQ(work->flareAngles[j], uint16_t(n + a)) << j;
    }
}

TEST_F(TablesFixture, AlignedSpikeAxes) {
    block->flareX = 1;  // length 1: f = 1 - 1.1 * 1 clamps to 0
    block->flareY = 0;
    block->spikeWidth = 52;
    block->spikeRadius = 77;
    buildSpikeAxes(*block, block->derived, *work, 1, 1.0f);
    EXPECT_EQ(block->derived.flareOffsetAngle, 0);
    for (int k = 0; k < 256; ++k) {
        const int32_t r2 = work->noiseTable[(202 + 5 * k) % 2048] % 64;
        const int32_t r3 = work->noiseTable[(204 + 5 * k) % 2048] % 128;
        const int32_t q = 93 - r2 * r2 / 63;
        // Every spike points along angle 0: sin(-pi/2) = -1, cos = 0.
        ASSERT_EQ(work->spikeAxes[k][0], int32_t(float(-255 * q * 4 / 100) / 53.0f)) << k;
        ASSERT_EQ(work->spikeAxes[k][1], 0) << k;
        ASSERT_EQ(work->spikeAxes[k][2], 0) << k;
        ASSERT_EQ(work->spikeAxes[k][3], int32_t(float(-255 * (r3 + 30) * 30 / 128) / 78.0f)) << k;
    }
}

TEST_F(TablesFixture, SpikeWidthMinusOneDoesNotDivideByZero) {
    block->spikeWidth = -1;
    block->spikeRadius = INT32_MIN;
    buildSpikeAxes(*block, block->derived, *work, 1, 0.000001f);
    // Read as width 0: the divisor is pixelUnit * 1.
    for (int k = 0; k < 256; ++k) {
        ASSERT_NE(work->spikeAxes[k][0], INT32_MIN);
    }
}

TEST(SizeFunctions, TwoRadiusReadings) {
    // 750 * (144 / 1000) in single precision is 107.99999: 107.
    EXPECT_EQ(scaledRadiusPixels(38, 750, 1000), 107);
    EXPECT_EQ(settingSize(38, 1000, 750), 108);  // the elements' own size, in double precision
    EXPECT_EQ(scaledRadiusPixels(0, 750, 1000), 1);
    EXPECT_EQ(scaledRadiusPixels(100, 750, 1000), 750);
    EXPECT_EQ(scaledRadiusPixels(INT32_MAX, 4000, 3000), INT32_MAX);
    EXPECT_EQ(scaledRadiusPixels(INT32_MIN, 1, 1), INT32_MAX);  // the square is positive
    EXPECT_EQ(scaledRadiusPixels(50, 0, 10), 1);
}

TEST(SizeFunctions, PixelUnitAndDetail) {
    EXPECT_EQ(pixelUnit(1, 1), float(0.001));
    EXPECT_EQ(pixelUnit(0, 5), 0.000001f);
    EXPECT_EQ(pixelUnit(4000, 3000), float(3.0));
    EXPECT_EQ(detailPercent(0), 200);
    EXPECT_EQ(detailPercent(100), 25);
    EXPECT_EQ(detailPercent(83), int(std::pow(2.0, 4.0 - double(5.49f)) * 100));  // 35
    EXPECT_EQ(detailPercent(83), 35);
    EXPECT_EQ(detailPercent(INT32_MAX), 0);
    EXPECT_EQ(detailPercent(INT32_MIN), INT32_MAX);
}

TEST_F(TablesFixture, DetailValuesAndSwirls) {
    block->sunSmear = 24;
    block->sunSwirlSize = 30;
    // Radius 100: the swirl strength divides by 0.5, not by the integer 0.
    setDetailValues(*block, block->derived, 1.0f, 100);
    EXPECT_EQ(block->derived.swirlStrength, 192);
    EXPECT_EQ(block->derived.swirlRadius, 30 * 32 * 100 / 200);
    EXPECT_EQ(block->derived.smearStride, 16);
    EXPECT_EQ(block->derived.detailLevel, 0);
    setDetailValues(*block, block->derived, 0.5f, 1);
    EXPECT_EQ(block->derived.detailLevel, 1);
    EXPECT_EQ(block->derived.swirlStrength, 96 * 200);
    setDetailValues(*block, block->derived, 0.25f, 1);
    EXPECT_EQ(block->derived.detailLevel, 2);
    setDetailValues(*block, block->derived, 0.0f, 1);
    EXPECT_EQ(block->derived.smearStride, 1);  // never 0
    block->sunSwirlSize = INT32_MAX;
    setDetailValues(*block, block->derived, 1.0f, INT32_MAX);
    EXPECT_EQ(block->derived.swirlRadius, INT32_MAX);
}

TEST(Smoothstep, Points) {
    int32_t t[512];
    buildSmoothstepTable(t);
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[256], 256);
    EXPECT_EQ(t[128], 80);    // (3 - 0.5) * 512 / 16
    EXPECT_EQ(t[511], 511);   // 511.99...
}

TEST(SphereTable, ShapeAndSaturation) {
    uint16_t table[8];
    buildSphereTable(table, 1, 1.0f);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[1], 2048);  // 4 * asin(1) * 512 / (pi / 2)
    buildSphereTable(table, 4, 1.0f);
    EXPECT_EQ(table[2], uint16_t(4.0 * (std::asin(0.5) * 512 / 1.57079632679489) / 0.5));
    for (int i = 1; i < 4; ++i) EXPECT_LT(table[i], table[i + 1]);
    buildSphereTable(table, 4, 1e20f);  // saturates
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[4], 65535);
}

TEST_F(TablesFixture, SwirlCentres) {
    buildSwirlCentres(block->derived, *work, 100, 1, 2048);  // A = 400, m = 2048 * 400 >> 8 = 3200
    for (int j = 0; j < 100; ++j) {
        ASSERT_EQ(block->derived.swirlCentresX[j], (work->noiseTable[400 + 2 * j] - 128) * 3200 / 128);
        ASSERT_EQ(block->derived.swirlCentresY[j], (work->noiseTable[401 + 2 * j] - 128) * 3200 / 128);
    }
}

TEST_F(TablesFixture, CentreFromFractions) {
    block->xCenter = 0.65f;
    block->yCenter = 0.5f;
    EXPECT_EQ(sunCentreOf(block->xCenter, 1000), int32_t(1000.0f * 0.65f));
    EXPECT_EQ(sunCentreOf(block->yCenter, 600), 300);
    EXPECT_EQ(sunCentreOf(NAN, 1000), 0);
    EXPECT_EQ(sunCentreOf(-INFINITY, 600), INT32_MIN);
}

}  // namespace
}  // namespace lumenfall
