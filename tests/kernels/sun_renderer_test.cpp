#include "kernels/sun_renderer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <limits>
#include <vector>

#include "kernels/kernel_test_support.h"
#include "kernels/sun_elements.h"
#include "kernels/sun_span.h"
#include "kernels/sun_surface.h"

namespace lumenfall {
namespace {

using testing_support::SunScene;

SunPixel pixelAt(const SunScene& scene, int32_t x, int32_t y) { return scene.pixelAt(x, y); }

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

    scene.renderRow(100);
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
    for (int32_t& n : scene.tables->noiseTable) n = 100;
    for (int i = 0; i < 256; ++i) {
        scene.block->derived.flareCurves[0][i] = i;
        scene.block->derived.flareCurves[1][i] = 2 * i;
    }
    scene.block->flareWidth = 5;
    scene.block->flareRadius = 40;
    scene.block->flareCount = 1;
    scene.tables->flareAngles[0] = static_cast<uint16_t>(-102);
    scene.tables->flareAngles[1] = 4000;  // a second wedge elsewhere
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
    // 2^(4 - (1 + 25 * 5 / 100)) * 0.2 * 256 = 204.8; a real-valued exponent
    // 1 + 1.25 would give 172.
    scene.block->flareDetail = 25;
    EXPECT_EQ(scene.context().frame.streakScale, 204);
    scene.block->flareDetail = 0;
    EXPECT_EQ(scene.context().frame.streakScale, 409);
    scene.block->renderScale = 2;
    EXPECT_EQ(scene.context().frame.streakScale, 818);
    scene.block->renderScale = 1;
    scene.block->flareDetail = 100;
    EXPECT_EQ(scene.context().frame.streakScale, 12);
    EXPECT_EQ(flareStreakScale(25, 1000, 1000, 3), 3072);
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
    for (int32_t row : {100, 103, 104, 106}) scene.renderRow(row);
    // No light: L' = k = 1 - w/4, so A = trunc(k * 255).
    EXPECT_EQ(scene.band.outAt(100, 100, 3), 255);  // inside the disc
    EXPECT_EQ(scene.band.outAt(92, 100, 3), 255);   // r = Rs: rim weight 0
    EXPECT_EQ(scene.band.outAt(94, 106, 3), 191);   // w = 1
    EXPECT_EQ(scene.band.outAt(92, 103, 3), 127);   // w = 2
    EXPECT_EQ(scene.band.outAt(92, 104, 3), 63);    // w = 3
    EXPECT_EQ(scene.band.outAt(150, 100, 3), 0);    // outside: transparent
    EXPECT_EQ(scene.band.outAt(100, 100, 0), 0);
}

TEST(SunRenderer, MissingBuffersAreReportedAndNothingIsWritten) {
    SunScene scene;
    scene.spikesEverywhere(1, 100, 100, 100);
    SunPixel effect[4];
    renderSunSpan(scene.context(), 100, 140, 4, effect);
    GlueSetup glue{kGlueNormal, scene.tables->proceduralWeights, 1.0f / 255, {}};
    ASSERT_TRUE(pixelLayoutOf(8, 3, false, &glue.layout));
    HostBand noOutput = scene.band.band;
    noOutput.outData = nullptr;
    EXPECT_FALSE(compositeBandSpan(glue, noOutput, BandWrite::Final, 100, 140, 4, effect));
    // A row outside the band's rows is skipped, not clamped onto its edge.
    HostBand oneRow = scene.band.band;
    oneRow.outRowCount = oneRow.inRowCount = 1;
    EXPECT_TRUE(compositeBandSpan(glue, oneRow, BandWrite::Final, 100, 140, 4, effect));
    EXPECT_EQ(scene.band.outAt(140, 0, 0), 0);
    EXPECT_TRUE(compositeBandSpan(glue, scene.band.band, BandWrite::Final, 100, 140, 4, effect));
    EXPECT_EQ(scene.band.outAt(140, 100, 0), effect[0].rgb[0]);
    EXPECT_GT(scene.band.outAt(140, 100, 0), 0);
}

TEST(SunRenderer, EnlargedTargetScalesTheCentre) {
    SunScene scene;
    scene.enlargement = 2;
    EXPECT_EQ(scene.context().frame.centreX, 200);
    EXPECT_EQ(scene.context().frame.centreY, 200);
    scene.block->renderScale = 4;  // a preview grid: the centre moves with the grid
    scene.block->viewOriginX = 40;
    EXPECT_EQ(scene.context().frame.centreX, 30);
}

std::array<int64_t, 3> lightOf(void (*element)(const SunContext&, const SunOffset&, int64_t*),
                               const SunScene& scene, int32_t x, int32_t y) {
    const SunContext sun = scene.context();
    std::array<int64_t, 3> total{0, 0, 0};
    element(sun, sunOffsetOf(sun.frame, x, y), total.data());
    return total;
}

// Rs = 32 and Rh = (8 + 8) * 4 = 64 quarter pixels: the halo's position runs
// from 32768 at the rim to 0 at its outer edge, through per-channel curves.
TEST(SunElements, HaloBetweenTheRimAndItsOuterEdge) {
    SunScene scene;
    scene.block->haloRadius = 20;
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c) scene.block->derived.haloCurves[c][i] = (c + 1) * i;
    using Light = std::array<int64_t, 3>;
    EXPECT_EQ(lightOf(addHaloLight, scene, 88, 100), (Light{128, 256, 384}));  // r = 48: position 16384
    EXPECT_EQ(lightOf(addHaloLight, scene, 92, 100), (Light{255, 510, 765}));  // r = Rs: the last entry
    EXPECT_EQ(lightOf(addHaloLight, scene, 93, 100), (Light{0, 0, 0}));        // inside the disc
    EXPECT_EQ(lightOf(addHaloLight, scene, 84, 100), (Light{0, 0, 0}));        // r = Rh
}

// Bi = 32, Bo = 32 + 2 * 8 = 48: the spectrum is read at (r - Bi) * 800 / 16
// in quarter entries, weighted 3 - f and f, times 129 / 2.
TEST(SunElements, BowReadsTheSpectrumAcrossItsWidth) {
    SunScene scene;
    scene.block->bowRadius = 20;
    scene.block->bowWidth = 10;
    for (int c = 0; c < 3; ++c)
        for (int e = 0; e < 201; ++e) scene.tables->bowSpectrum[c][e] = uint16_t((c + 1) * e);
    using Light = std::array<int64_t, 3>;
    // r = 40: entry 100 exactly.
    EXPECT_EQ(lightOf(addBowLight, scene, 90, 100), (Light{(300 * 129) >> 1, (600 * 129) >> 1, (900 * 129) >> 1}));
    // r = 41: position 450, entry 112 and 113 weighted 1 and 2.
    EXPECT_EQ(lightOf(addBowLight, scene, 90, 103)[0], ((112 + 2 * 113) * 129) >> 1);
    EXPECT_EQ(lightOf(addBowLight, scene, 88, 100)[0], 0);  // r = 48 = Bo
    EXPECT_EQ(lightOf(addBowLight, scene, 93, 100)[0], 0);  // r = 28 < Bi
}

// One spike along the x axis: across = |10 dy|, along = 32640 - |100 dx|.
TEST(SunElements, SpikeStripAndItsProfile) {
    SunScene scene;
    scene.block->spikeCount = 1;
    const int32_t axis[4] = {10, 0, 0, 100};
    std::memcpy(scene.tables->spikeAxes[0], axis, sizeof axis);
    for (int i = 0; i <= 300; ++i) scene.tables->spikeProfile[i] = uint16_t(i < 300 ? 128 : 256);
    for (int c = 0; c < 3; ++c) scene.tables->spikeRamp[c][0] = int16_t(8 * (c + 1));
    // dx = -50: along 27640, (215 * 256) >> 8 = 215 on the axis; the ramp
    // entry 0 (spikeDetail 100) weighs 3: (3 * 8 * 215) >> 3.
    EXPECT_EQ(lightOf(addSpikeLight, scene, 150, 100)[0], (3 * 8 * 215) >> 3);
    EXPECT_EQ(lightOf(addSpikeLight, scene, 150, 100)[2], (3 * 24 * 215) >> 3);
    EXPECT_EQ(lightOf(addSpikeLight, scene, 150, 110)[0], (3 * 8 * 107) >> 3);  // across 100: half profile
    EXPECT_EQ(lightOf(addSpikeLight, scene, 150, 131)[0], 0);  // across 310: outside the strip
    EXPECT_EQ(lightOf(addSpikeLight, scene, 98, 100)[0], 0);   // inside the sun
}

// The ramp index factor * r / 50 saturates where |factor * r| would pass
// 2^62 - 1; the frame decides that without dividing per pixel, and must
// agree with the product at and around the edge for every sign.
TEST(SunElements, SpikeRampIndexSaturatesExactlyWhereTheProductOverflows) {
    constexpr int64_t kLimit = INT64_C(0x3FFFFFFFFFFFFFFF);
    const auto plain = [&](int64_t a, int64_t b) -> int64_t {
        if (a == 0 || b == 0) return 0;
        const __int128 product = static_cast<__int128>(a) * b;
        if (product > kLimit) return kLimit;
        if (product < -kLimit) return -kLimit;
        return static_cast<int64_t>(product) / 50;
    };
    SunScene scene;
    const int32_t details[] = {std::numeric_limits<int32_t>::min(), -1000, 0, 37, 99, 100, 101, 250,
                               std::numeric_limits<int32_t>::max()};
    const int32_t scales[] = {1, 3, 8, 65536};
    for (int32_t detail : details) {
        for (int32_t scale : scales) {
            scene.block->spikeDetail = detail;
            scene.block->renderScale = scale;
            const SunFrame frame = scene.context().frame;
            const int64_t factor = frame.renderScale * (100 - int64_t(detail));
            std::vector<int64_t> distances = {0, 1, 2, 49, 50, 51, 1 << 20, INT64_C(1) << 40, kLimit};
            if (factor != 0) {
                const int64_t edge = kLimit / (factor < 0 ? -factor : factor);
                for (int64_t d = -2; d <= 2; ++d) distances.push_back(std::max<int64_t>(edge + d, 0));
            }
            for (int64_t r : distances) {
                EXPECT_EQ(spikeRampIndex(frame, r), plain(factor, r)) << "detail " << detail << " scale " << scale
                                                                        << " r " << r;
            }
        }
    }
}

// Any 32-bit value in any setting, and any derived value, renders without
// undefined behaviour (run under the sanitizers) and in bounded time.
TEST(SunRenderer, ExtremeSettingsRenderSafely) {
    const int32_t values[] = {INT32_MIN, -1, 0, 1, 3, 37, 101, INT32_MAX};
    for (int32_t v : values) {
        SunScene scene(v == 1 ? 16 : 8);
        for (int32_t& n : scene.tables->noiseTable) n = 77;
        for (auto& axis : scene.tables->spikeAxes)
            for (int32_t& a : axis) a = v;
        for (auto& ramp : scene.tables->spikeRamp)
            for (int16_t& r : ramp) r = static_cast<int16_t>(v);
        for (uint16_t& a : scene.tables->flareAngles) a = static_cast<uint16_t>(v);
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
            // Short rows: the smear may be long.
            for (int32_t row : {0, 100, 199}) scene.renderRow(row, 0, 11);
        }
        SUCCEED();
    }
}

// The render reads the halo and the bow from a table by distance, and
// nothing outside the table's range: each distance about that range must
// give what the two elements give, with curves and a spectrum lit to
// their ends so that the first and last distances carry light.
TEST(SunRenderer, RadialTableHoldsTheHaloAndBowWhereverTheyReach) {
    SunScene scene(16);
    for (int c = 0; c < 3; ++c) {
        for (int i = 0; i < 256; ++i) scene.block->derived.haloCurves[c][i] = 1000 + 7 * i + c;
        for (int e = 0; e < 201; ++e) scene.tables->bowSpectrum[c][e] = uint16_t(500 + 3 * e + c);
    }
    struct Rings {
        int32_t halo, bow, bowWidth;
    };
    // Halo inside the bow, overlapping it, beyond it; no halo; no bow.
    for (const Rings rings : {Rings{10, 40, 5}, Rings{30, 25, 10}, Rings{60, 5, 3}, Rings{0, 30, 4},
                              Rings{35, 0, 0}, Rings{0, 0, 0}}) {
        scene.block->haloRadius = rings.halo;
        scene.block->bowRadius = rings.bow;
        scene.block->bowWidth = rings.bowWidth;
        const SunContext sun = scene.context();
        int64_t first, count;
        radialLightRange(sun.frame, &first, &count);
        std::vector<RadialEntry> table(size_t(std::max<int64_t>(count, 0)));
        fillRadialLight(sun, first, count, table.data());
        for (int64_t r = std::max<int64_t>(first - 40, 0); r < first + count + 40; ++r) {
            const SunOffset at{3, 4, r, 0};
            int64_t direct[3] = {0, 0, 0};
            addHaloLight(sun, at, direct);
            addBowLight(sun, at, direct);
            const bool inTable = r >= first && r < first + count;
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(direct[c], inTable ? table[size_t(r - first)].rgb[c] : 0)
                    << "halo " << rings.halo << " bow " << rings.bow << " r " << r;
        }
        // The render's spans read the table over exactly its range: every
        // pixel as the elements give it, the lit first and last distances
        // included.
        SunContext withTable = sun;
        withTable.radial = RadialLight{table.data(), first, count};
        std::vector<SunPixel> span(200);
        for (int32_t row = 0; row < 200; ++row) {
            renderSunSpanCulled(withTable, row, 0, 200, span.data());
            for (int32_t x = 0; x < 200; ++x) {
                const SunPixel expected = computeSunPixel(sun, x, row);
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(span[size_t(x)].rgb[c], expected.rgb[c])
                        << "halo " << rings.halo << " bow " << rings.bow << " at " << x << "," << row;
            }
        }
    }
}

}  // namespace
}  // namespace lumenfall
