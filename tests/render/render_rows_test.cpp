// The render plan and the one render entry: which rows and columns reach a
// target, what the services see, and the band and tiled-image targets.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "kernels/kernel_test_support.h"
#include "kernels/sun_renderer.h"
#include "kernels/sun_span.h"
#include "render/band_target.h"
#include "render/render_rows.h"
#include "render/size_functions.h"
#include "render/tiled_image.h"
#include "render/tiled_target.h"
#include "render_harness.h"

namespace lumenfall {
namespace {

using test::PlanHarness;
using testing_support::TestBand;

TEST(RenderPlan, SizesTheSunAndItsSphereTable) {
    PlanHarness h(1000, 600);
    const RenderPlan& plan = h.build();
    EXPECT_EQ(plan.settings.centerX, int32_t(1000.0f * 0.65f));
    // sun radius 38 on a short side of 600: 600 * 0.144 = 86.4
    EXPECT_EQ(plan.sphereLastIndex, scaledRadiusPixels(38, 1000, 600));
    EXPECT_EQ(plan.sphereLastIndex, 86);
    EXPECT_EQ(plan.sphereTable[0], 0);
    EXPECT_GT(plan.sphereTable[86], plan.sphereTable[85]);
    EXPECT_EQ(plan.settings.derived.smoothstepTable[256], 256);
    EXPECT_EQ(plan.tables.proceduralWeights[128], 255);
    // The settings it was built from are not touched.
    EXPECT_EQ(h.block->derived.smoothstepTable[256], 0);

    // A sun of radius 0 still has two entries; a sun far wider than the rows
    // stops at the storage's end.
    h.block->sunRadius = 0;
    EXPECT_EQ(h.build().sphereLastIndex, 1);
    PlanHarness small(10, 10);
    small.block->sunRadius = 1000;
    EXPECT_EQ(small.build().sphereLastIndex, 13);
    PlanHarness wide(1000, 800);
    wide.block->sunRadius = 100;
    EXPECT_EQ(wide.build().sphereLastIndex, 800);
}

// A target that records what reaches it.
struct RecordingTarget : RowTarget {
    TargetShape size;
    std::vector<std::vector<int32_t>> columns;  // per row, every column received
    int32_t failAtRow = -1;
    RecordingTarget(int32_t w, int32_t h) : size{w, h, 8, 3, false, 1}, columns(size_t(h)) {}
    TargetShape shape() const override { return size; }
    bool receive(const GlueSetup& glue, int32_t row, int32_t first, int32_t count, const SunPixel*) override {
        EXPECT_EQ(glue.layout.fullScale, 255);
        if (row == failAtRow) return false;
        for (int32_t x = first; x < first + count; ++x) columns[size_t(row)].push_back(x);
        return true;
    }
};

struct RecordingServices : RenderServices {
    std::vector<int32_t> started, finished;
    int32_t stopAfter = INT32_MIN;
    void rowStarting(int32_t row) override { started.push_back(row); }
    bool rowFinished(int32_t row) override {
        finished.push_back(row);
        return row != stopAfter;
    }
};

TEST(RenderRows, EveryColumnOfEveryRowOnceAndServicesAroundEachRow) {
    PlanHarness h(700, 5);
    const RenderPlan& plan = h.build();
    RecordingTarget target(700, 5);
    RecordingServices services;
    EXPECT_EQ(renderRows(plan, target, -1, 7, &services), RenderStatus::Done);
    std::vector<int32_t> all(700);
    for (int32_t x = 0; x < 700; ++x) all[size_t(x)] = x;
    for (const auto& row : target.columns) EXPECT_EQ(row, all);
    // Rows outside the target are not drawn, but their services run.
    EXPECT_EQ(services.started, (std::vector<int32_t>{-1, 0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(services.finished, services.started);
}

TEST(RenderRows, StopsWhereTheServicesOrTheTargetSaySo) {
    PlanHarness h(20, 10);
    const RenderPlan& plan = h.build();
    RecordingTarget target(20, 10);
    RecordingServices services;
    services.stopAfter = 3;
    EXPECT_EQ(renderRows(plan, target, 0, 10, &services), RenderStatus::Stopped);
    EXPECT_EQ(services.finished.back(), 3);
    EXPECT_TRUE(target.columns[4].empty());

    RecordingTarget broken(20, 10);
    broken.failAtRow = 2;
    RecordingServices after;
    EXPECT_EQ(renderRows(plan, broken, 0, 10, &after), RenderStatus::NoDestination);
    EXPECT_EQ(after.finished.back(), 2);  // the row's services still ran
    after.stopAfter = 2;  // a stop asked for at the same row wins
    EXPECT_EQ(renderRows(plan, broken, 0, 10, &after), RenderStatus::Stopped);
}

TEST(RenderRows, ARegionDrawsOnlyItsColumnsWithTheWholeRowsPixels) {
    PlanHarness h(700, 5);
    const RenderPlan& plan = h.build();
    RecordingTarget target(700, 5);
    // Clipped to the target: -5 .. 300 draws 0 .. 299.
    EXPECT_EQ(renderRegion(plan, target, 1, 3, RegionColumns{-5, 300}), RenderStatus::Done);
    std::vector<int32_t> expected(300);
    for (int32_t x = 0; x < 300; ++x) expected[size_t(x)] = x;
    EXPECT_TRUE(target.columns[0].empty());
    EXPECT_EQ(target.columns[1], expected);
    EXPECT_EQ(target.columns[2], expected);
    RecordingTarget empty(700, 5);
    EXPECT_EQ(renderRegion(plan, empty, 0, 5, RegionColumns{400, 400}), RenderStatus::Done);
    EXPECT_EQ(renderRegion(plan, empty, 0, 5, RegionColumns{800, 900}), RenderStatus::Done);
    for (const auto& row : empty.columns) EXPECT_TRUE(row.empty());

    // Tiles of odd widths and offsets give the pixels of whole rows.
    PlanHarness sun(331, 40);
    const RenderPlan& sunPlan = sun.build();
    TestBand whole(331, 40, 3, 8, false), tiled(331, 40, 3, 8, false);
    whole.fillIn(60);
    tiled.fillIn(60);
    BandTarget wholeTarget(whole.band, BandWrite::Final, 331, 40);
    BandTarget tiledTarget(tiled.band, BandWrite::Final, 331, 40);
    ASSERT_EQ(renderRows(sunPlan, wholeTarget, 0, 40), RenderStatus::Done);
    for (int32_t x = 0; x < 331; x += 97)
        ASSERT_EQ(renderRegion(sunPlan, tiledTarget, 0, 40, RegionColumns{x, x + 97}), RenderStatus::Done);
    EXPECT_EQ(tiled.out, whole.out);
}

// Rows that the render keeps on the calling thread because they are
// plainly dark must really be dark in the reference renderer, over suns
// with every annulus and none, near and far from the rows.
TEST(RenderRows, PlainlyDarkSpansAreDarkInTheReference) {
    int plain = 0, notPlain = 0;
    for (int variant = 0; variant < 4; ++variant) {
        PlanHarness h(300, 200);
        h.block->spikeCount = 0;
        // Small elements, so that most rows lie beyond every annulus.
        h.block->sunRadius = variant == 0 ? 0 : 3 * variant;
        h.block->haloRadius = variant == 1 ? 0 : 2 + 3 * variant;
        h.block->flareRadius = variant == 2 ? 0 : 4 + variant;
        h.block->flareCount = variant == 2 ? 0 : 45;
        h.block->bowRadius = variant == 3 ? 0 : 6;
        h.block->bowWidth = variant == 3 ? 0 : 4;
        const RenderPlan& plan = h.build();
        const SunContext sun = sunContextFor(plan, TargetShape{300, 200, 8, 3, false, 1});
        SunPixel pixels[300];
        for (int32_t row = -3; row < 203; row += 1) {
            for (const auto& span : {std::pair<int32_t, int32_t>{0, 300}, {0, 40}, {250, 50}, {120, 7}}) {
                if (!spanPlainlyDark(sun, row, span.first, span.second)) {
                    ++notPlain;
                    continue;
                }
                ++plain;
                renderSunSpan(sun, row, span.first, span.second, pixels);
                for (int32_t i = 0; i < span.second; ++i)
                    ASSERT_EQ(std::memcmp(&pixels[i], &kDarkPixel, sizeof(SunPixel)), 0)
                        << "variant " << variant << " row " << row << " column " << span.first + i;
            }
        }
    }
    EXPECT_GT(plain, 100);
    EXPECT_GT(notPlain, 10);
    // A sun with spikes is never plainly dark: a spike may cross any row.
    PlanHarness spiky(300, 200);
    spiky.block->sunRadius = spiky.block->haloRadius = spiky.block->flareCount = 0;
    spiky.block->bowRadius = spiky.block->bowWidth = 0;
    const RenderPlan& spikyPlan = spiky.build();
    const SunContext sun = sunContextFor(spikyPlan, TargetShape{300, 200, 8, 3, false, 1});
    EXPECT_FALSE(spanPlainlyDark(sun, 199, 0, 300));
}

TEST(RenderRows, DefaultSunIntoTheHostBand) {
    for (int32_t depth : {8, 16}) {
        PlanHarness h(120, 90);
        const RenderPlan& plan = h.build();
        TestBand band(120, 90, 3, depth, false);
        band.fillIn(depth == 16 ? 8000 : 60);
        BandTarget target(band.band, BandWrite::Final, 120, 90);
        ASSERT_EQ(renderRows(plan, target, 0, 90), RenderStatus::Done);
        const int32_t cx = plan.settings.centerX, cy = plan.settings.centerY;
        // The default sun is cold (cold/hot 0): blue, red fading first.
        EXPECT_GT(band.outAt(cx, cy, 2), depth == 16 ? 100 * 128 : 100);
        EXPECT_LT(band.outAt(cx, cy, 0), band.outAt(cx, cy, 2));
        for (int32_t y = 0; y < 90; ++y)
            for (int32_t x = 0; x < 120; ++x)
                for (int c = 0; c < 3; ++c) ASSERT_LE(band.outAt(x, y, c), depth == 16 ? 32768 : 255);
        // The same plan draws the same pixels again.
        const std::vector<uint8_t> first = band.out;
        band.out.assign(band.out.size(), 0);
        ASSERT_EQ(renderRows(plan, target, 0, 90), RenderStatus::Done);
        EXPECT_EQ(band.out, first);
    }
}

// Every setting at extreme values, through the real table builders: no
// undefined behaviour (sanitizer build), no out-of-bounds access, and an end.
TEST(RenderRows, ExtremeSettingsRenderToTheEnd) {
    const int32_t values[] = {INT32_MIN, -1, 0, 1, 100, 101, 1000000, INT32_MAX};
    const float floats[] = {std::numeric_limits<float>::quiet_NaN(), -1e30f, 0.5f,
                            std::numeric_limits<float>::infinity()};
    int index = 0;
    for (int32_t v : values) {
        PlanHarness h(24, 6);
        ParameterBlock& b = *h.block;
        int32_t* fields[] = {&b.spikeBrightness, &b.spikeWidth, &b.spikeRadius, &b.spikeCount,
                             &b.sunRadius, &b.sunColdHot, &b.sunSmear, &b.sunSwirlSize,
                             &b.sunSwirlCount, &b.sunDetail, &b.spikeGamma, &b.vortices,
                             &b.monopoles, &b.sunType, &b.haloRadius, &b.haloBrightness,
                             &b.bowRadius, &b.bowWidth, &b.bowBrightness, &b.bowSmear,
                             &b.flareRadius, &b.flareWidth, &b.flareCount, &b.masterBrightness,
                             &b.flareDetail, &b.flareBrightness, &b.flipBow,
                             &b.spikeDiffraction, &b.spikeDetail, &b.glue, &b.randomSeed};
        for (int32_t* f : fields) *f = v;
        const float f = floats[index % 4];
        b.xCenter = b.yCenter = f;
        b.flareX = b.flareY = b.spikeX = b.spikeY = f;
        for (int c = 0; c < 3; ++c) b.sunColor[c] = b.haloColor[c] = b.flareColor[c] = b.spikeColor[c] = uint16_t(v);
        TestBand band(24, 6, 3, index % 2 == 0 ? 8 : 16, false);
        BandTarget target(band.band, BandWrite::Final, 24, 6);
        EXPECT_EQ(renderRows(h.build(), target, 0, 6), RenderStatus::Done) << "value " << v;
        ++index;
    }
}

struct TiledPicture {
    TiledImage image;
    TiledPicture(int32_t w, int32_t h, uint32_t store) {
        initTiledImage(image, nullptr, nullptr);
        EXPECT_TRUE(createTiledImage(&image, w, h, store, 0, false));
    }
    ~TiledPicture() { freeTiledImage(&image); }
    float at(int32_t x, int32_t y, int c) const {
        float px[4];
        readPixel(image, x, y, 0, px);
        return px[c];
    }
};

TEST(TiledTarget, DefaultSunOverAPicture) {
    PlanHarness h(96, 64);
    h.block->xCenter = h.block->yCenter = 0.5f;
    TiledPicture picture(96, 64, kStoreRgba8);
    TiledTarget target(picture.image, TiledFormat{}, 96, 64);
    ASSERT_EQ(renderRows(h.build(), target, 0, 64), RenderStatus::Done);
    const float centre = picture.at(48, 32, 0) + picture.at(48, 32, 1) + picture.at(48, 32, 2);
    EXPECT_GT(centre, 0.0f);
    EXPECT_GE(centre, picture.at(0, 0, 0) + picture.at(0, 0, 1) + picture.at(0, 0, 2));
}

// A 16-bit render into an 8-bit store widens by 128 on reading and narrows
// by (v + 1) >> 7 on writing, so that untouched pixels round-trip.
TEST(TiledTarget, SixteenBitBlendOverAnEightBitStore) {
    TiledPicture picture(4, 1, kStoreRgba8);
    writePixel8(picture.image, 0, 0, 0, 10, 20, 30, 255);
    TiledTarget target(picture.image, TiledFormat{16, 3, false}, 4, 1);
    GlueSetup glue{kGlueComposite, nullptr, 1.0f / 32768, {}};
    ASSERT_TRUE(pixelLayoutOf(16, 3, false, &glue.layout));
    const SunPixel effect[2] = {{{0, 0, 0}, 4}, {{32768, 16383, 127}, 0}};
    ASSERT_TRUE(target.receive(glue, 0, 0, 2, effect));
    EXPECT_EQ(picture.at(0, 0, 0), 10.0f);
    EXPECT_EQ(picture.at(0, 0, 1), 20.0f);
    EXPECT_EQ(picture.at(0, 0, 2), 30.0f);
    EXPECT_EQ(picture.at(1, 0, 0), 255.0f);  // min((32768 + 1) >> 7, 255)
    EXPECT_EQ(picture.at(1, 0, 1), 128.0f);  // (16383 + 1) >> 7
    EXPECT_EQ(picture.at(1, 0, 2), 1.0f);
}

TEST(TiledTarget, EnlargedPictureMovesTheSun) {
    TiledPicture picture(400, 300, kStoreRgba8);
    TiledTarget target(picture.image, TiledFormat{}, 200, 200);
    EXPECT_EQ(target.shape().enlargement, 2);
    EXPECT_EQ(target.shape().depth, 8);
    TiledPicture half(400, 300, kStoreRgba16);
    EXPECT_EQ(TiledTarget(half.image, TiledFormat{}, 400, 300).shape().depth, 16);
}

}  // namespace
}  // namespace lumenfall
