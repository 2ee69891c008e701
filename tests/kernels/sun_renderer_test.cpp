#include "kernels/sun_renderer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "kernels/kernel_test_support.h"
#include "kernels/sun_elements.h"
#include "kernels/sun_surface.h"

namespace lumenfall {
namespace {

using testing_support::SunScene;

SunPixel pixelAt(SunScene& scene, int32_t x, int32_t y) {
    SunRowSetup setup;
    EXPECT_TRUE(setUpSunRow(scene.context, &setup));
    SurfaceTables surface = surfaceTablesFrom(*scene.block, *scene.work);
    return computeSunPixel(scene.context, setup, surface, x, y);
}

void expectRgb(const SunPixel& p, int32_t r, int32_t g, int32_t b, int32_t rim) {
    EXPECT_EQ(p.rgb[0], r);
    EXPECT_EQ(p.rgb[1], g);
    EXPECT_EQ(p.rgb[2], b);
    EXPECT_EQ(p.rimWeight, rim);
}

TEST(SunElements, SizeOfAPercentageSetting) {
    EXPECT_EQ(settingSize(38, 750, 900), 108);  // 750 * 144 / 1000 = 108 (not 107.99)
    EXPECT_EQ(settingSize(20, 200, 200), 8);
    EXPECT_EQ(settingSize(0, 200, 200), 1);
    EXPECT_EQ(settingSize(-20, 200, 200), 8);
    EXPECT_EQ(settingSize(100, 0, 200), 1);
    EXPECT_EQ(settingSize(INT32_MAX, 30000, 30000), kMaxSettingSize);
}

TEST(SunElements, CurveLookupInterpolatesWithSevenBits) {
    int32_t curve[256];
    for (int i = 0; i < 256; ++i) curve[i] = i;
    EXPECT_EQ(curveLookup(curve, 0), 0);
    EXPECT_EQ(curveLookup(curve, 64), 64 * 0 + 64 * 1);
    // The index is taken from position + 1: at 127 it already reads entry 1.
    EXPECT_EQ(curveLookup(curve, 127), 1 * 1 + 2 * 127);
    EXPECT_EQ(curveLookup(curve, 32768), 255 * 128);
    EXPECT_EQ(curveLookup(curve, 32895), 255 * 128);
    EXPECT_EQ(curveLookup(curve, -500), 0);
    curve[0] = -1000;
    EXPECT_EQ(curveLookup(curve, 0), 0);  // never negative
}

TEST(SunElements, DiamondAngle) {
    EXPECT_EQ(diamondAngle(0, 0), 0);
    EXPECT_EQ(diamondAngle(5, 0), 0);
    EXPECT_EQ(diamondAngle(3, 3), 2048);
    EXPECT_EQ(diamondAngle(0, 7), 4096);
    EXPECT_EQ(diamondAngle(-2, 0), 8192);
    EXPECT_EQ(diamondAngle(-1, -1), 8192 + 2048);
    EXPECT_EQ(diamondAngle(0, -1), 12288);
    EXPECT_EQ(diamondAngle(1, -3), 16384 - 3072);
}

TEST(SunElements, OverRangeBleed) {
    int64_t one[3] = {255 + 100, 100, 50};  // e = (300 * 60) >> 8 = 70
    bleedOverRange(one, 255, true);
    EXPECT_EQ(one[1], 135);
    EXPECT_EQ(one[2], 85);
    // Green overflows in turn and passes its excess to blue.
    int64_t chain[3] = {600, 250, 10};  // e = 242, h = 121
    bleedOverRange(chain, 255, true);
    EXPECT_EQ(chain[0], 600);
    EXPECT_EQ(chain[1], 371);
    EXPECT_EQ(chain[2], 247);
    int64_t rim[3] = {600, 250, 10};
    bleedOverRange(rim, 255, false);
    EXPECT_EQ(rim[1], 371);
    EXPECT_EQ(rim[2], 131);
    int64_t two[3] = {300, 300, 0};  // e = (270 * 60) >> 8 = 63
    bleedOverRange(two, 255, true);
    EXPECT_EQ(two[2], 63);
    int64_t all[3] = {300, 300, 300};
    bleedOverRange(all, 255, true);
    EXPECT_EQ(all[0], 300);
    EXPECT_EQ(all[2], 300);
}

TEST(SunRenderer, CentrePixelTakesTheDiscOnly) {
    SunScene scene;
    scene.block->sunType = kSunNormal;
    for (int i = 0; i < 256; ++i) {
        scene.block->derived.sunCurves[0][i] = i;
        scene.block->derived.sunCurves[1][i] = i / 2;
    }
    scene.spikesEverywhere(5, 100, 100, 100);  // spikes start at the rim
    // An empty noise table gives sunNoise 457 everywhere: the surface is 255,
    // P = 129 * 255 and the curve reads 128 * its last entry.
    expectRgb(pixelAt(scene, 100, 100), 32640 / 129, 16256 / 129, 0, 0);
    // At r = 30 the limb fades: P = 32895 * (36 - 30) / (36 - 28) = 24671.
    expectRgb(pixelAt(scene, 93, 97), 24671 / 129, pixelAt(scene, 93, 97).rgb[1], 0, 0);

    renderSunRow(scene.context, 100, 0, 199, 1);
    EXPECT_EQ(scene.band.outAt(100, 100, 0), 253);
    EXPECT_EQ(scene.band.outAt(100, 100, 1), 126);
    EXPECT_EQ(scene.band.outAt(100, 100, 2), 0);
}

TEST(SunRenderer, SpikeCountIsClampedTo255) {
    SunScene scene(16);
    scene.spikesEverywhere(1, 1, 1, 1);
    // Each spike adds ((32640 >> 7) * 256) >> 8 = 255; the ramp (3 * 1 * S) >> 3.
    expectRgb(pixelAt(scene, 150, 100), 95, 95, 95, 4);
    scene.block->spikeCount = 255;
    expectRgb(pixelAt(scene, 150, 100), 24384, 24384, 24384, 4);
    scene.block->spikeCount = 300;
    expectRgb(pixelAt(scene, 150, 100), 24384, 24384, 24384, 4);
    scene.block->spikeCount = 0;
    expectRgb(pixelAt(scene, 150, 100), 0, 0, 0, 4);
    scene.block->spikeCount = -7;
    expectRgb(pixelAt(scene, 150, 100), 0, 0, 0, 4);
}

TEST(SunRenderer, MasterBrightness) {
    SunScene scene(16);
    scene.spikesEverywhere(1, 1, 1, 1);
    scene.block->masterBrightness = 50;
    expectRgb(pixelAt(scene, 150, 100), 190, 190, 190, 4);
    scene.block->masterBrightness = 0;  // everything off, the rim weights stay
    expectRgb(pixelAt(scene, 92, 103), 0, 0, 0, 2);
    expectRgb(pixelAt(scene, 150, 100), 0, 0, 0, 4);
    scene.block->masterBrightness = INT32_MIN;
    EXPECT_LE(pixelAt(scene, 150, 100).rgb[0], 0);
}

// Flare wedge from -102 to 102 (flareWidth 5), the pixel 20 pixels left of
// the centre at angle 0 and r = 80, flare outer radius 160 (extent 128), a
// flat noise of 100: v = (102 * 80 * 100) / (102 * 128) = 62, F = 44,
// V = (100 * 44) >> 8 = 17, V' = 17 * 256 / 2 = 2176.
TEST(SunRenderer, FlareWedgeByHand) {
    SunScene scene(16);
    for (int32_t& n : scene.work->noiseTable) n = 100;
    for (int i = 0; i < 256; ++i) {
        scene.block->derived.flareCurves[0][i] = i;
        scene.block->derived.flareCurves[1][i] = 2 * i;
    }
    scene.block->flareWidth = 5;
    scene.block->flareRadius = 40;
    scene.block->flareCount = 1;
    scene.work->flareAngles[0] = static_cast<uint16_t>(-102);
    scene.work->flareAngles[1] = 4000;  // a second wedge elsewhere
    expectRgb(pixelAt(scene, 80, 100), 2176, 4352, 0, 4);
    scene.block->flareCount = 2;
    expectRgb(pixelAt(scene, 80, 100), 2176, 4352, 0, 4);
    scene.block->flareCount = 0;
    expectRgb(pixelAt(scene, 80, 100), 0, 0, 0, 4);
    scene.block->flareCount = 1;
    scene.block->flareWidth = 2;  // Fw = 81: the pixel lies outside the wedge
    expectRgb(pixelAt(scene, 80, 100), 0, 0, 0, 4);
}

TEST(SunRenderer, StreakScaleTakesTheIntegerExponent) {
    SunScene scene;
    SunRowSetup setup;
    // 2^(4 - (1 + 25 * 5 / 100)) * 0.2 * 256 = 204.8; a real-valued exponent
    // 1 + 1.25 would give 172.
    scene.block->flareDetail = 25;
    ASSERT_TRUE(setUpSunRow(scene.context, &setup));
    EXPECT_EQ(setup.streakScale, 204);
    scene.block->flareDetail = 0;
    ASSERT_TRUE(setUpSunRow(scene.context, &setup));
    EXPECT_EQ(setup.streakScale, 409);
    scene.block->renderScale = 2;
    ASSERT_TRUE(setUpSunRow(scene.context, &setup));
    EXPECT_EQ(setup.streakScale, 818);
    scene.block->renderScale = 1;
    scene.block->flareDetail = 100;
    ASSERT_TRUE(setUpSunRow(scene.context, &setup));
    EXPECT_EQ(setup.streakScale, 12);
}

TEST(SunRenderer, EclipseAndFlatDiscs) {
    SunScene scene;
    scene.spikesEverywhere(3, 50, 50, 50);
    expectRgb(pixelAt(scene, 100, 100), 0, 0, 0, 0);  // eclipse: black, covering
    scene.block->sunType = kSunFlat;
    scene.block->derived.sunCurves[0][255] = 100;
    scene.block->derived.sunCurves[1][255] = 255;
    scene.block->derived.sunCurves[2][255] = -4;
    // (100 << 7) | (100 >> 1) = 12850; 255 and above is 32768.
    expectRgb(pixelAt(scene, 100, 100), 12850 / 129, 32768 / 129, 0, 0);
    expectRgb(pixelAt(scene, 97, 102), 12850 / 129, 32768 / 129, 0, 0);
    SunScene wide(16);
    wide.block->sunType = kSunFlat;
    wide.block->derived.sunCurves[0][255] = 100;
    expectRgb(pixelAt(wide, 100, 100), 12850, 0, 0, 0);
}

// Outside light 9562 from the spikes, a flat disc of 12850: at r = Rs + w the
// pixel takes w/4 of the outside light.
TEST(SunRenderer, FourRimWeights) {
    SunScene scene(16);
    scene.spikesEverywhere(1, 100, 100, 100);
    scene.block->sunType = kSunFlat;
    for (int c = 0; c < 3; ++c) scene.block->derived.sunCurves[c][255] = 100;
    struct Case { int32_t dx, dy, rim, value; };
    const Case cases[] = {{8, 0, 0, 12850}, {6, 6, 1, 12028}, {8, 3, 2, 11206},
                          {8, 4, 3, 10384}, {9, 0, 4, 9562}, {5, 5, 0, 12850}};
    for (const Case& c : cases) {
        SunPixel p = pixelAt(scene, 100 - c.dx, 100 - c.dy);
        EXPECT_EQ(p.rimWeight, c.rim) << c.dx << "," << c.dy;
        EXPECT_EQ(p.rgb[0], c.value) << c.dx << "," << c.dy;
    }
}

TEST(SunRenderer, BleedOfAnOverRangeRed) {
    SunScene scene;
    // Red (3 * 479 * 255) >> 3 = 45804 -> 355 = M + 100; green 12909 -> 100.
    scene.spikesEverywhere(1, 479, 135, 0);
    expectRgb(pixelAt(scene, 150, 100), 255, 135, 35, 4);
}

TEST(SunRenderer, CompositeOverEditableTransparency) {
    SunScene scene(8, 4, true);
    scene.block->glue = kGlueComposite;
    for (int32_t row : {100, 103, 104, 106}) renderSunRow(scene.context, row, 0, 199, 1);
    // No light: L' = k = 1 - w/4, so A = trunc(k * 255).
    EXPECT_EQ(scene.band.outAt(100, 100, 3), 255);  // inside the disc
    EXPECT_EQ(scene.band.outAt(92, 100, 3), 255);   // r = Rs: rim weight 0
    EXPECT_EQ(scene.band.outAt(94, 106, 3), 191);   // w = 1
    EXPECT_EQ(scene.band.outAt(92, 103, 3), 127);   // w = 2
    EXPECT_EQ(scene.band.outAt(92, 104, 3), 63);    // w = 3
    EXPECT_EQ(scene.band.outAt(150, 100, 3), 0);    // outside: transparent
    EXPECT_EQ(scene.band.outAt(100, 100, 0), 0);
}

TEST(SunRenderer, RowBoundsAndMissingBuffers) {
    SunScene scene(16);
    scene.block->centerX = 250;  // the sun lies right of the image
    scene.block->spikeDetail = 0;  // the spike ramp is read along r
    scene.spikesEverywhere(1, 0, 0, 0);
    for (int i = 0; i < 600; ++i) scene.work->spikeRamp[0][i] = static_cast<int16_t>(i);
    renderSunRow(scene.context, 100, -3, 5000, 2);
    EXPECT_EQ(scene.band.outAt(0, 100, 0), 0);  // columns -1, 1, 3, ...: 0 is not one
    EXPECT_EQ(scene.band.outAt(199, 100, 0), pixelAt(scene, 199, 100).rgb[0]);
    EXPECT_GT(scene.band.outAt(199, 100, 0), 0);
    renderSunRow(scene.context, 101, 0, 199, 0);  // a step of 0 is taken as 1
    EXPECT_EQ(scene.band.outAt(0, 101, 0), pixelAt(scene, 0, 101).rgb[0]);

    SunScene missing;
    missing.band.target.band.outData = nullptr;
    renderSunRow(missing.context, 100, 0, 199, 1);
    EXPECT_EQ(missing.hostResult, -108);
}

TEST(SunRenderer, TiledRenderScalesTheCentreByTheProxyRatio) {
    SunScene scene;
    scene.band.target.renderTarget = kTargetTiledImage;
    scene.band.target.width = 400;
    scene.band.target.height = 300;
    int dummy = 0;
    scene.band.target.tiled.image = reinterpret_cast<TiledImage*>(&dummy);
    SunRowSetup setup;
    ASSERT_TRUE(setUpSunRow(scene.context, &setup));
    EXPECT_EQ(setup.centreX, 200);
    EXPECT_EQ(setup.centreY, 200);
}

// Any 32-bit value in any setting, and any derived value, renders without
// undefined behaviour (run under the sanitizers) and in bounded time.
TEST(SunRenderer, ExtremeSettingsRenderSafely) {
    const int32_t values[] = {INT32_MIN, -1, 0, 1, 3, 37, 101, INT32_MAX};
    for (int32_t v : values) {
        SunScene scene(v == 1 ? 16 : 8);
        scene.band.target.width = 12;  // a short row: the smear may be long
        for (int32_t& n : scene.work->noiseTable) n = 77;
        for (auto& axis : scene.work->spikeAxes)
            for (int32_t& a : axis) a = v;
        for (auto& ramp : scene.work->spikeRamp)
            for (int16_t& r : ramp) r = static_cast<int16_t>(v);
        for (uint16_t& a : scene.work->flareAngles) a = static_cast<uint16_t>(v);
        ParameterBlock& p = *scene.block;
        int32_t* fields[] = {&p.spikeBrightness, &p.spikeWidth, &p.spikeRadius, &p.spikeCount,
                             &p.sunRadius, &p.sunColdHot, &p.sunSmear, &p.sunSwirlSize,
                             &p.sunSwirlCount, &p.sunDetail, &p.spikeGamma, &p.vortices,
                             &p.monopoles, &p.haloRadius, &p.haloBrightness, &p.bowRadius,
                             &p.bowWidth, &p.bowBrightness, &p.bowSmear, &p.flareRadius,
                             &p.flareWidth, &p.flareCount, &p.masterBrightness, &p.flareDetail,
                             &p.flareBrightness, &p.flipBow, &p.spikeDiffraction, &p.spikeDetail,
                             &p.centerX, &p.centerY, &p.viewOriginX, &p.viewOriginY,
                             &p.renderScale, &p.glue};
        for (int32_t* f : fields) *f = v;
        p.derived.swirlRadius = v;
        p.derived.swirlStrength = v;
        p.derived.smearStride = v;
        p.derived.detailLevel = v;
        for (auto& curve : p.derived.sunCurves)
            for (int32_t& c : curve) c = v;
        for (auto& curve : p.derived.flareCurves)
            for (int32_t& c : curve) c = v;
        for (auto& curve : p.derived.haloCurves)
            for (int32_t& c : curve) c = v;
        for (int i = 0; i < 100; ++i) p.derived.swirlCentresX[i] = p.derived.swirlCentresY[i] = static_cast<int16_t>(v);
        for (int32_t type : {kSunNormal, kSunFlat, kSunEclipse}) {
            p.sunType = type;
            for (int32_t row : {0, 100, 199}) renderSunRow(scene.context, row, INT32_MIN, INT32_MAX, 1);
        }
        SUCCEED();
    }
}

}  // namespace
}  // namespace lumenfall
