// The culled sun renderer and the row threads against the straightforward
// per-pixel path: equal pixel for pixel over random settings and the
// geometries where culling is delicate.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <cstring>
#include <memory>
#include <vector>

#include "kernels/kernel_test_support.h"
#include "kernels/sun_finish.h"
#include "kernels/sun_renderer.h"
#include "kernels/sun_span.h"
#include "params/random_settings.h"
#include "platform/random.h"
#include "render/band_target.h"
#include "render/render_rows.h"
#include "render/row_workers.h"
#include "render_harness.h"

namespace lumenfall {
namespace {

using test::PlanHarness;

struct Geometry {
    int32_t width, height;
    int32_t scale;        // a preview grid of 1..8 image pixels
    int32_t originX, originY;
    int32_t depth;
    int64_t enlargement;
};

// Every row of the plan (or rows first..end) through both paths; the first
// difference fails.
void expectSamePixels(const PlanHarness& h, const Geometry& g, const std::string& what, int32_t firstRow = 0,
                      int32_t endRow = -1) {
    const TargetShape shape{g.width, g.height, g.depth, 3, false, g.enlargement};
    // The reference without any of the plan's indexes: every wedge, every
    // swirl, every streak point, the halo and bow and the spike ramp's mix
    // at every pixel.
    SunContext sun = sunContextFor(*h.plan, shape);
    sun.flareWedges = nullptr;
    sun.surface.swirlGrid = nullptr;
    sun.surface.noiseRuns = nullptr;
    sun.streakMemo = nullptr;
    sun.radial = RadialLight{};
    sun.spikeRampMix = nullptr;
    // The fast path with a surface memo (a small one, so that lines also
    // leave it), the reference without.
    const int32_t half = std::min(h.plan->surfaceMemoHalf, 600);
    std::vector<std::atomic<uint16_t>> cells(half > 0 ? surfaceMemoBytes(half) / 2 : 0);
    SunContext fast = sunContextFor(*h.plan, shape);
    if (half > 0) {
        fast.surface.memo = SurfaceMemo{cells.data(), half};
        clearSurfaceMemo(fast.surface.memo);
    }
    std::vector<SunPixel> reference(size_t(g.width)), culled(size_t(g.width));
    for (int32_t row = firstRow; row < (endRow < 0 ? g.height : endRow); ++row) {
        renderSunSpan(sun, row, 0, g.width, reference.data());
        renderSunSpanCulled(fast, row, 0, g.width, culled.data());
        for (int32_t x = 0; x < g.width; ++x) {
            const SunPixel& a = reference[size_t(x)];
            const SunPixel& b = culled[size_t(x)];
            ASSERT_TRUE(a.rgb[0] == b.rgb[0] && a.rgb[1] == b.rgb[1] && a.rgb[2] == b.rgb[2] &&
                        a.rimWeight == b.rimWeight)
                << what << " at " << x << "," << row << ": " << a.rgb[0] << " " << a.rgb[1] << " " << a.rgb[2]
                << " w" << a.rimWeight << " against " << b.rgb[0] << " " << b.rgb[1] << " " << b.rgb[2] << " w"
                << b.rimWeight;
        }
    }
}

void planFor(PlanHarness& h, const Geometry& g) {
    h.width = g.width;
    h.height = g.height;
    h.block->renderScale = g.scale;
    h.block->viewOriginX = g.originX;
    h.block->viewOriginY = g.originY;
    h.build();
}

TEST(FastPath, RandomSettingsOnDelicateGeometries) {
    const Geometry geometries[] = {
        {97, 61, 1, 0, 0, 8, 1},   {1, 57, 1, 0, 0, 16, 1},  {83, 1, 1, 0, 0, 8, 1},
        {64, 48, 3, 40, 20, 8, 1}, {50, 38, 8, 0, 90, 32, 1}, {40, 30, 1, 0, 0, 8, 3},
    };
    seedRandom(2024);
    for (int roll = 0; roll < 24; ++roll) {
        PlanHarness h(1, 1);
        rollAllSettings(*h.block);
        // Every few rolls a delicate point: the centre off the image, spikes
        // of width or length 0 (huge axis coefficients), narrow flares.
        if (roll % 4 == 1) h.block->xCenter = roll % 8 == 1 ? -0.6f : 1.8f;
        if (roll % 4 == 2) h.block->spikeWidth = h.block->spikeRadius = 0;
        if (roll % 4 == 3) h.block->flareWidth = roll % 3;
        if (roll % 6 == 5) h.block->masterBrightness = 0;  // no light, only the rim's weight
        if (roll % 2 == 0) {  // a smeared textured disc, through the surface memo
            h.block->sunType = kSunNormal;
            h.block->vortices = 1;
            h.block->sunRadius = 40 + roll;
        }
        for (const Geometry& g : geometries) {
            planFor(h, g);
            expectSamePixels(h, g, "roll " + std::to_string(roll) + " on " + std::to_string(g.width) + "x" +
                                       std::to_string(g.height) + " scale " + std::to_string(g.scale));
        }
    }
}

// A photo-sized smeared disc, where the smear lines of neighbouring pixels
// meet in the surface-noise memo.
TEST(FastPath, SmearedDiscThroughTheSurfaceMemo) {
    PlanHarness h(1, 1);
    h.block->monopoles = 1;
    const Geometry g{1200, 900, 1, 0, 0, 8, 1};
    planFor(h, g);
    ASSERT_GT(h.plan->surfaceMemoHalf, 200);
    const int32_t cy = h.plan->settings.centerY;
    expectSamePixels(h, g, "disc rows", cy - 4, cy + 4);
}

// A fine texture (smear stride 1), where a line that finds a memo cell
// empty fills the run of cells beside it, and the lines of neighbouring
// pixels read those runs.
TEST(FastPath, FineSmearedDiscThroughMemoRuns) {
    PlanHarness h(1, 1);
    h.block->sunDetail = 200;
    h.block->sunRadius = 60;
    const Geometry g{400, 300, 1, 0, 0, 8, 1};
    planFor(h, g);
    ASSERT_EQ(h.plan->surface.smearStride, 1);
    ASSERT_GT(h.plan->surfaceMemoHalf, 100);
    const int32_t cy = h.plan->settings.centerY;
    expectSamePixels(h, g, "disc rows", cy - 30, cy + 30);
}

TEST(FastPath, ThreadsGiveTheSameRows) {
    for (int32_t depth : {8, 16}) {
        PlanHarness h(700, 23);
        h.block->xCenter = 0.3f;
        h.build();
        testing_support::TestBand one(700, 23, 4, depth, true), three(700, 23, 4, depth, true);
        one.fillIn(depth == 16 ? 9000 : 90);
        three.fillIn(depth == 16 ? 9000 : 90);
        BandTarget a(one.band, BandWrite::Final, 700, 23), b(three.band, BandWrite::Final, 700, 23);
        RowWorkers workers(3);
        ASSERT_EQ(renderRows(*h.plan, a, 0, 23), RenderStatus::Done);
        ASSERT_EQ(renderRows(*h.plan, b, 0, 23, nullptr, &workers), RenderStatus::Done);
        EXPECT_EQ(one.out, three.out);
    }
}

// Flares of the brightest noise everywhere, the curve lit from its first
// entry, and `count` wedges starting at `firstAngle`, `angleStep` apart.
void lightFlares(testing_support::SunScene& scene, int32_t count, int32_t firstAngle, int32_t angleStep) {
    for (int32_t& n : scene.tables->noiseTable) n = 255;
    for (int i = 0; i < 256; ++i) scene.block->derived.flareCurves[0][i] = i + 1;
    scene.block->flareRadius = 60;
    scene.block->flareCount = count;
    for (int i = 0; i < count; ++i) scene.tables->flareAngles[i] = uint16_t(firstAngle + i * angleStep);
}

// The flare light at the offset with the skip of the noise and without.
::testing::AssertionResult sameFlareWithSkip(const SunContext& sun, const SunOffset& at) {
    int64_t plain[3] = {0, 0, 0}, skipping[3] = {0, 0, 0};
    addFlareLight(sun, at, plain);
    addFlareLightWith(sun, at, true, skipping);
    if (plain[0] == skipping[0]) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "r " << at.r << " angle " << at.angle << ": " << plain[0]
                                         << " without the skip, " << skipping[0] << " with it";
}

// With the brightest noise everywhere the bound that skips the noise is met
// exactly: the flares must come out the same with and without it.
TEST(FastPath, FlareNoiseIsSkippedOnlyWhereNothingCanShine) {
    testing_support::SunScene scene(16);
    lightFlares(scene, 7, 0, 2300);
    scene.block->flareWidth = 40;
    for (int32_t flareBrightness : {1, 100, 4000}) {
        scene.block->flareBrightness = flareBrightness;
        const SunContext sun = scene.context();
        for (int32_t y = 0; y < 200; y += 3)
            for (int32_t x = 0; x < 200; ++x) ASSERT_TRUE(sameFlareWithSkip(sun, sunOffsetOf(sun.frame, x, y)));
    }
}

// The skip's bounds at their edges: every distance of the annulus, at
// each wedge's centre (its weight q is then the largest, half) and beside
// it, where the brightest noise just lights a wedge or just fails to.
TEST(FastPath, FlareSkipHoldsAtTheBrightestWedgeAngles) {
    testing_support::SunScene scene(16);
    lightFlares(scene, 3, 1000, 5000);
    for (const int32_t flareWidth : {5, 40}) {
        // The picture's own extent, and one of 4 x 255 where some distance
        // lights the centre's brightest noise exactly at the threshold.
        for (const bool exactThreshold : {false, true}) {
            scene.block->flareWidth = flareWidth;
            SunContext sun = scene.context();
            if (exactThreshold) {
                sun.frame.flareExtent = 4 * 255;
                sun.frame.flareOuter = sun.frame.sunRadius + sun.frame.flareExtent;
            }
            const SunFrame& f = sun.frame;
            for (int64_t r = f.flareStart; r < f.flareOuter; ++r) {
                for (int i = 0; i < 3; ++i) {
                    for (int64_t turn = -2; turn <= 2; ++turn) {
                        const SunOffset at{-(r / 4 + 1), 1, r, 1000 + i * 5000 + f.flareHalf + turn};
                        ASSERT_TRUE(sameFlareWithSkip(sun, at)) << "wedge " << i << " turn " << turn;
                    }
                }
            }
        }
    }
}

// The wedge index against testing every wedge, at every angle, for wedges
// that wrap past a full turn, start at negative angles, hold no angle or
// all of them, and for the most wedges there can be.
TEST(FastPath, FlareWedgeIndexGivesEveryAngleItsWedges) {
    testing_support::SunScene scene(8);
    scene.block->flareRadius = 60;
    auto index = std::make_unique<FlareWedgeIndex>();
    seedRandom(7);
    for (const int32_t width : {0, 1, 2, 3, 49, 100, 401, 2000, -3}) {
        for (const int32_t count : {1, 7, 100}) {
            scene.block->flareWidth = width;
            scene.block->flareCount = count;
            const uint16_t edges[] = {0, 1, 16383, 16384, 65535, 32768, 32767, 12000};
            for (int32_t i = 0; i < count; ++i)
                scene.tables->flareAngles[i] = i < 8 ? edges[i] : uint16_t(nextRandom() * 2 + (i & 1));
            const SunContext plain = scene.context();
            SunContext fast = plain;
            buildFlareWedgeIndex(plain.frame, *scene.tables, index.get());
            fast.flareWedges = index.get();
            for (const int64_t r : {plain.frame.flareStart, (plain.frame.flareStart + plain.frame.flareOuter) / 2}) {
                for (int64_t angle = 0; angle < 16384; ++angle) {
                    const SunOffset at{1, 1, r, angle};
                    ASSERT_EQ(flareWedgeLight(plain, at, 255), flareWedgeLight(fast, at, 255))
                        << "width " << width << " count " << count << " angle " << angle;
                    ASSERT_EQ(flareCanShine(plain, at), flareCanShine(fast, at)) << angle;
                }
            }
        }
    }
}

TEST(FastPath, SpikeColumnsAndReachAreExact) {
    // The strip |3 dy + 7 (cx - x)| <= 300, |5 (cx - x) - 2 dy| <= 32512,
    // checked against every column of a wide row.
    const int32_t axis[4] = {3, 7, 2, 5};
    for (int64_t dy : {-500, -1, 0, 13, 4000}) {
        const ColumnRange range = spikeColumns(axis, 1000, dy);
        for (int64_t x = -9000; x <= 11000; ++x) {
            const int64_t dx = 1000 - x;
            const int64_t across = 3 * dy + 7 * dx, along = 5 * dx - 2 * dy;
            const bool inside = std::abs(across) <= 300 && std::abs(along) <= 32512;
            ASSERT_EQ(inside, x >= range.first && x <= range.last) << dy << " " << x;
        }
    }
    // Random axes of every size, far centres and rows: the strip's first
    // and last columns lie inside it and their outer neighbours outside,
    // where the sums pass 2^53 (the divisions then leave doubles) and below.
    std::mt19937_64 random(53);
    for (int n = 0; n < 20000; ++n) {
        const int64_t size = int64_t(1) << (n % 4 == 0 ? 4 : (n % 4 == 1 ? 15 : 31));
        int32_t big[4];
        for (int32_t& a : big) a = int32_t(int64_t(random() % uint64_t(2 * size)) - size);
        // A steep strip along no length: across reaches 2^57 at a small slope.
        if (n % 5 == 4) big[1] = int32_t(random() % 7) - 3, big[2] = big[3] = 0;
        const int64_t far = int64_t(1) << (n % 3 == 0 ? 10 : 26);
        const int64_t centre = int64_t(random() % uint64_t(2 * far)) - far;
        const int64_t dy = int64_t(random() % uint64_t(2 * far)) - far;
        const ColumnRange range = spikeColumns(big, centre, dy);
        if (range.first > range.last) continue;
        auto inside = [&](int64_t x) {
            const __int128 dx = centre - x;
            const __int128 across = __int128(big[0]) * dy + __int128(big[1]) * dx;
            const __int128 along = __int128(big[3]) * dx - __int128(big[2]) * dy;
            return across >= -300 && across <= 300 && along >= -32512 && along <= 32512;
        };
        // An axis of zero slope holds every column or none.
        if (range.last - range.first > (int64_t(1) << 40)) continue;
        ASSERT_TRUE(inside(range.first) && inside(range.last) && !inside(range.first - 1) && !inside(range.last + 1))
            << big[0] << " " << big[1] << " " << big[2] << " " << big[3] << " centre " << centre << " dy " << dy;
    }
    for (int64_t dy : {0, 3, 250}) {
        const int64_t reach = reachAcross(dy, 1000);
        auto r = [&](int64_t dx) { return int64_t(std::sqrt(double(16 * (dx * dx + dy * dy)))); };
        if (reach >= 0) {
            EXPECT_LT(r(reach), 1000);
        }
        EXPECT_GE(r(reach + 1), 1000);
    }
    EXPECT_EQ(reachAcross(300, 1000), -1);
}

// A span's distances, taken two at a time in doubles where that is exact,
// against the integer formula: spans about the centre, spans that cross the
// bound of the doubles' exactness (2^24) and far beyond it, odd and even
// lengths.
TEST(FastPath, SpanDistancesAreTheIntegerDistances) {
    std::mt19937_64 random(24);
    auto r = [](int64_t dx, int64_t dy) { return int64_t(std::sqrt(double(16 * (dx * dx + dy * dy)))); };
    int64_t got[300];
    for (int n = 0; n < 4000; ++n) {
        // Up to 2^28: the integer formula holds offsets below 2^29.
        const int64_t size = int64_t(1) << (n % 8 == 0 ? 10 : 20 + random() % 9);
        const int64_t dx = int64_t(random() % uint64_t(2 * size)) - size;
        const int64_t dy = n % 3 == 0 ? int64_t(random() % 5) - 2 : int64_t(random() % uint64_t(2 * size)) - size;
        const int32_t count = 1 + int32_t(random() % 300);
        spanDistances(dx, dy, count, got);
        for (int32_t i = 0; i < count; ++i) ASSERT_EQ(got[i], r(dx - i, dy)) << dx - i << "," << dy;
    }
}

// A spike's strip, stepped column to column, against spikeShare of each
// column: axes of every slope (steps of 0, 1 and thousands of units a
// column), runs inside the strip, across its edges and wholly outside it,
// of every length, over sums that already hold light; profile entries up to
// 65535.
TEST(FastPath, SpikeStripsAddEachColumnsShare) {
    std::mt19937_64 random(41);
    auto tables = std::make_unique<SunTables>();
    // Every other table byte nonzero: a read just outside the profile shows.
    std::memset(static_cast<void*>(tables.get()), 0x5A, sizeof(SunTables));
    for (int32_t a = 0; a <= 300; ++a) tables->spikeProfile[a] = uint16_t(a == 300 ? 65535 : random() % 65536);
    int64_t got[300], want[300];
    for (int n = 0; n < 6000; ++n) {
        int32_t* axis = tables->spikeAxes[0];
        const int32_t scale = n % 4 == 0 ? 2 : (n % 4 == 1 ? 300 : 32767);
        for (int c = 0; c < 4; ++c) axis[c] = int32_t(random() % uint64_t(2 * scale + 1)) - scale;
        const int64_t dy = int64_t(random() % 4001) - 2000;
        // Start about the strip where there is one, else anywhere.
        const ColumnRange strip = spikeColumns(axis, 0, dy);
        int64_t x = int64_t(random() % 4001) - 2000;
        if (strip.first <= strip.last && n % 3 != 0)
            x = std::clamp<int64_t>(strip.first, -100000, 100000) + int64_t(random() % 41) - 20;
        const int32_t count = 1 + int32_t(random() % 300);
        for (int32_t i = 0; i < count; ++i) got[i] = want[i] = int64_t(random() % 1000);
        addSpikeStrip(*tables, 0, -x, dy, count, got);
        for (int32_t i = 0; i < count; ++i) {
            want[i] += spikeShare(*tables, 0, -(x + i), dy);
            ASSERT_EQ(got[i], want[i]) << "axis " << axis[0] << " " << axis[1] << " " << axis[2] << " " << axis[3]
                                       << " column " << x + i << " row offset " << dy;
        }
    }
}

// A span's pixels finished together (a channel of four pixels a vector
// where the CPU has AVX2) against each pixel's own finish: sums about every bound
// the steps meet (the light bound 2^31, the scaled bound 2^40, M and the
// quotients' whole numbers), rim pixels, brightnesses to 2^21 and beyond,
// both depths, and pixels written out of order.
TEST(FastPath, FinishOfASpanIsEachPixelsFinish) {
    std::mt19937_64 random(43);
    constexpr int32_t kCount = 256;
    for (int n = 0; n < 400; ++n) {
        SunFrame frame{};
        frame.eightBit = n % 2 == 0;
        frame.fullScale = frame.eightBit ? 255 : (n % 4 == 1 ? 32768 : 65535);
        const int32_t brightnesses[] = {1,       25,      37,       100,        -3,     0, (1 << 21) - 1,
                                        -((1 << 21) - 1), 1 << 21, 7919, (1 << 23) + 5, -(1 << 24)};
        frame.masterBrightness = brightnesses[n % 12];
        const int64_t divisor = frame.eightBit ? 25 * 129 : 25;
        const int64_t b = frame.masterBrightness == 0 ? 1 : std::abs(int64_t(frame.masterBrightness));
        auto near = [&](int64_t v) { return v + int64_t(random() % 5) - 2; };
        auto channel = [&]() -> int64_t {
            const int64_t sign = random() % 4 == 0 ? -1 : 1;
            switch (random() % 9) {
                case 0: return 0;
                case 1: return sign * int64_t(random() % 4096);
                case 2: return sign * near(kMaxLight);
                case 3: return sign * near(int64_t(1) << 62);
                case 4: return sign * near(frame.fullScale * divisor / b);  // about M once scaled
                case 5: return sign * near(((int64_t(1) << 40) / b) * divisor);  // about the scaled bound
                case 6: return sign * near(int64_t(random() % 1000) * divisor / b);  // about whole quotients
                default: return sign * int64_t(random() % uint64_t(int64_t(1) << (10 + random() % 24)));
            }
        };
        SpanTotals totals;
        int64_t copies[kCount][3];
        DiscLight discs[kCount];
        int16_t at[kCount];
        for (int32_t k = 0; k < kCount; ++k) {
            for (int c = 0; c < 3; ++c) copies[k][c] = totals.rgb[c][k] = random() % 3 == 0 ? 0 : channel();
            discs[k].onRim = random() % 10 == 0;
            discs[k].rimWeight = int32_t(random() % 5);
            for (int c = 0; c < 3; ++c) discs[k].rgb[c] = int64_t(random() % 200000) - 1000;
            at[k] = int16_t(k);
        }
        std::shuffle(at, at + kCount, random);
        // Spans of every length modulo four, so that a span's last pixels
        // that do not fill a vector are finished too.
        const int32_t count = kCount - n % 5;
        SunPixel got[kCount] = {}, want[kCount] = {};
        finishSunPixels(frame, totals, discs, at, count, got);
        for (int32_t k = 0; k < count; ++k) finishSunPixel(frame, copies[k], discs[k], &want[at[k]]);
        for (int32_t i = 0; i < kCount; ++i) {
            ASSERT_TRUE(std::memcmp(&got[i], &want[i], sizeof(SunPixel)) == 0)
                << "pixel " << i << " brightness " << frame.masterBrightness << " M " << frame.fullScale << ": "
                << got[i].rgb[0] << "," << got[i].rgb[1] << "," << got[i].rgb[2] << "," << got[i].rimWeight
                << " against " << want[i].rgb[0] << "," << want[i].rgb[1] << "," << want[i].rgb[2] << ","
                << want[i].rimWeight;
        }
    }
}

}  // namespace
}  // namespace lumenfall

namespace lumenfall {
namespace {

// The plan's streak memo holds the flares' points of its own rows and
// columns, stays within its cap on a huge picture, and is left out where no
// flare can shine.
TEST(FastPath, StreakMemoCoversThePictureWithinItsCap) {
    test::PlanHarness small(300, 200);
    small.block->flareRadius = 100;
    const RenderPlan& plan = small.build();
    const StreakMemo& memo = plan.streakMemo;
    ASSERT_NE(memo.cells, nullptr);
    EXPECT_EQ(memo.scale, plan.frame8.streakScale);
    // Every pixel's offset from the centre, and 30 pixels beyond.
    EXPECT_LE(memo.left, -plan.frame8.centreX - 30);
    EXPECT_LE(memo.top, -plan.frame8.centreY - 30);
    EXPECT_GE(int64_t(memo.left) + memo.width, 300 - plan.frame8.centreX + 30);
    EXPECT_GE(int64_t(memo.top) + memo.height, 200 - plan.frame8.centreY + 30);
    EXPECT_GE(plan.streakCellCapacity, size_t(memo.width) * size_t(memo.height));

    test::PlanHarness huge(6000, 6000);
    huge.block->flareRadius = 100;
    const RenderPlan& big = huge.build();
    EXPECT_EQ(big.streakMemo.cells, nullptr);
    EXPECT_LE(int64_t(big.streakCellCapacity), kStreakMemoCellCap);

    test::PlanHarness dark(300, 200);
    dark.block->flareCount = 0;
    EXPECT_EQ(dark.build().streakMemo.cells, nullptr);
}

}  // namespace
}  // namespace lumenfall
