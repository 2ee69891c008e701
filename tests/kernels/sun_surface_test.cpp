#include "kernels/sun_surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "kernels/kernel_test_support.h"

namespace lumenfall {
namespace {

struct SurfaceFixture {
    int32_t noise[2048];
    int32_t smoothstep[512];
    int16_t centresX[100];
    int16_t centresY[100];
    SurfaceTables tables{};

    SurfaceFixture() {
        std::mt19937 random(7);
        for (int32_t& n : noise) n = static_cast<int32_t>(random() & 255);
        testing_support::fillSmoothstep(smoothstep);
        for (int i = 0; i < 100; ++i) {
            centresX[i] = static_cast<int16_t>(30000 - i * 10);  // far away by default
            centresY[i] = 30000;
        }
        tables.noise = noise;
        tables.smoothstep = smoothstep;
        tables.smearStride = 1;
        tables.swirlRadius = 10;
        tables.swirlStrength = 100;
        tables.centresX = centresX;
        tables.centresY = centresY;
    }
    int32_t clampedNoise(int32_t x, int32_t y) const { return std::min(sunNoise(tables, x, y), 255); }
};

TEST(SunSurface, LatticeOctaveAtAPoint) {
    SurfaceFixture f;
    for (int i = 0; i < 2048; ++i) f.noise[i] = i & 255;
    // x = 256: cell 0, wx = smoothstep[256] = 256, wy = 0;
    // row0 = (29 * 256 + 0 * 255) >> 5 = 232; O = (232 * 511) >> 7 = 926.
    EXPECT_EQ(latticeOctave(f.tables, 256, 0, 1, 0, 0), 926);
    // The scaled coordinate keeps 20 bits, so the texture repeats.
    EXPECT_EQ(latticeOctave(f.tables, 256 + (1u << 20), 0, 1, 0, 0), 926);
    EXPECT_EQ(latticeOctave(f.tables, 0, 0, 1, 0, 0), 0);
}

TEST(SunSurface, NoiseStaysWithinItsRangeAtEveryDetailLevel) {
    SurfaceFixture f;
    std::mt19937 random(11);
    const int32_t limit[3] = {457, 500, 537};
    for (int32_t level = 0; level <= 2; ++level) {
        f.tables.detailLevel = level;
        int32_t low = 1 << 30, high = -1;
        for (int i = 0; i < 200000; ++i) {
            int32_t x = static_cast<int32_t>(random());
            int32_t y = static_cast<int32_t>(random());
            if (i < 100000) {  // half of them near the origin
                x %= 5000;
                y %= 5000;
            }
            int32_t v = sunNoise(f.tables, x, y);
            low = std::min(low, v);
            high = std::max(high, v);
        }
        EXPECT_GE(low, 0);
        EXPECT_LE(high, limit[level]);
    }
}

TEST(SunSurface, NoiseReachesItsBoundOnAnEmptyTable) {
    SurfaceFixture f;
    std::memset(f.noise, 0, sizeof(f.noise));
    f.tables.detailLevel = 0;
    EXPECT_EQ(sunNoise(f.tables, 123, -456), 457);  // -221184 >> 9 = -432, |-432 - 25|
    f.tables.detailLevel = 2;
    EXPECT_EQ(sunNoise(f.tables, 123, -456), 537);
    f.tables.detailLevel = 1;
    EXPECT_EQ(sunNoise(f.tables, 123, -456), 505);  // -245760 >> 9 = -480
    f.tables.detailLevel = 7;  // unknown levels add nothing
    EXPECT_EQ(sunNoise(f.tables, 123, -456), 457);
    for (int32_t& n : f.noise) n = 255;
    f.tables.detailLevel = 0;
    EXPECT_EQ(sunNoise(f.tables, 5, 5), 400);  // every octave 16256
}

TEST(SunSurface, SmearLineWalksClassicBresenhamInStrides) {
    auto points = [](int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t stride) {
        std::vector<std::pair<int64_t, int64_t>> p;
        int64_t n = walkSmearLine(x0, y0, x1, y1, stride, [&](int64_t x, int64_t y) { p.push_back({x, y}); });
        EXPECT_EQ(n, static_cast<int64_t>(p.size()));
        return p;
    };
    using P = std::vector<std::pair<int64_t, int64_t>>;
    // Error 0 at the first step: no minor step yet (a reading of ">= 0"
    // would give (1, 1) second).
    EXPECT_EQ(points(0, 0, 2, 1, 1), (P{{0, 0}, {1, 0}, {2, 1}}));
    EXPECT_EQ(points(0, 0, -2, -1, 1), (P{{0, 0}, {-1, 0}, {-2, -1}}));
    // A tie goes to the y axis.
    EXPECT_EQ(points(0, 0, 2, 2, 1), (P{{0, 0}, {1, 1}, {2, 2}}));
    EXPECT_EQ(points(0, 0, 1, 3, 1), (P{{0, 0}, {0, 1}, {1, 2}, {1, 3}}));
    // Strides of 3: the last step lands beyond the end.
    EXPECT_EQ(points(0, 0, 7, 0, 3), (P{{0, 0}, {3, 0}, {6, 0}, {9, 0}}));
    EXPECT_EQ(points(4, 5, 4, 5, 3), (P{{4, 5}}));
}

TEST(SunSurface, SmearedTextureIsTheMeanAlongTheLine) {
    SurfaceFixture f;
    f.tables.smearStride = 2;
    // Minor steps move a whole stride too: (10,10) (12,10) (14,10) (16,12).
    int32_t expected = (sunNoise(f.tables, 10, 10) + sunNoise(f.tables, 12, 10) +
                        sunNoise(f.tables, 14, 10) + sunNoise(f.tables, 16, 12)) / 4;
    EXPECT_EQ(smearedTexture(f.tables, 10, 10, 15, 11), expected);
    EXPECT_EQ(smearedTexture(f.tables, 10, 10, 10, 10), sunNoise(f.tables, 10, 10));
}

TEST(SunSurface, WithoutSwirlsTheSettingsOfSwirlsDoNotMatter) {
    SurfaceFixture f;
    SurfaceFixture g;
    g.tables.swirlRadius = 5000;
    g.tables.swirlStrength = 1 << 30;
    g.tables.swirlCount = 100;
    g.tables.smearStride = 9;
    for (int i = 0; i < 100; ++i) g.centresX[i] = g.centresY[i] = static_cast<int16_t>(i);
    for (int32_t x = -50; x < 50; x += 3) {
        for (int32_t y = -50; y < 50; y += 7) {
            EXPECT_EQ(surfaceValue(f.tables, x, y), f.clampedNoise(x, y));
            EXPECT_EQ(surfaceValue(g.tables, x, y), f.clampedNoise(x, y));
        }
    }
}

TEST(SunSurface, NoSwirlsOrFarSwirlsGiveTheUnsmearedTexture) {
    SurfaceFixture f;
    f.tables.vortices = true;
    f.tables.swirlCount = 0;
    f.tables.smearStride = 4;
    for (int32_t x = 0; x < 40; x += 5) EXPECT_EQ(surfaceValue(f.tables, x, 3), f.clampedNoise(x, 3));
    f.tables.swirlCount = 100;  // every centre is far away
    f.tables.monopoles = true;
    for (int32_t x = 0; x < 40; x += 5) EXPECT_EQ(surfaceValue(f.tables, x, 3), f.clampedNoise(x, 3));
}

// One swirl of radius 10 and strength 100 (k = 1) at the origin, the pixel
// 3 to its right: distance 3, trunc(3 * 10 / 3) = 10, g = 3 - 10 for an even
// swirl, so the push is 10 * (-7) = -70.
TEST(SunSurface, MonopolesPushAlongTheRadiusAndVorticesTurn) {
    SurfaceFixture f;
    f.centresX[0] = 0;
    f.centresY[0] = 0;
    f.tables.swirlCount = 1;
    f.tables.monopoles = true;
    SwirlPush push = swirlDisplacement(f.tables, 3, 0);
    EXPECT_EQ(push.dx, -70);
    EXPECT_EQ(push.dy, 0);
    f.tables.monopoles = false;
    f.tables.vortices = true;
    push = swirlDisplacement(f.tables, 3, 0);
    EXPECT_EQ(push.dx, 0);
    EXPECT_EQ(push.dy, -70);

    // Odd swirls turn the other way; with both switches on swirl 2 is a vortex.
    f.centresX[0] = 1000;
    f.centresX[1] = 0;
    f.centresY[1] = 0;
    f.tables.swirlCount = 2;
    f.tables.monopoles = true;
    push = swirlDisplacement(f.tables, 3, 0);
    EXPECT_EQ(push.dx, 70);  // swirl 1 is a monopole: (1 AND 2) = 0
    EXPECT_EQ(push.dy, 0);
    f.centresX[1] = 1000;
    f.centresX[2] = 0;
    f.centresY[2] = 0;
    f.tables.swirlCount = 3;
    push = swirlDisplacement(f.tables, 3, 0);
    EXPECT_EQ(push.dx, 0);
    EXPECT_EQ(push.dy, -70);
    f.tables.vortices = false;  // now every swirl is a monopole
    push = swirlDisplacement(f.tables, 3, 0);
    EXPECT_EQ(push.dx, -70);

    // The surface value smears from the pixel along its push.
    f.tables.smearStride = 5;
    EXPECT_EQ(surfaceValue(f.tables, 3, 0), std::min(smearedTexture(f.tables, 3, 0, -67, 0), 255));
}

TEST(SunSurface, APixelOnASwirlCentreIsNotPushed) {
    SurfaceFixture f;
    f.centresX[0] = 5;
    f.centresY[0] = -5;
    f.tables.swirlCount = 1;
    f.tables.monopoles = f.tables.vortices = true;
    SwirlPush push = swirlDisplacement(f.tables, 5, -5);
    EXPECT_EQ(push.dx, 0);
    EXPECT_EQ(push.dy, 0);
    EXPECT_EQ(surfaceValue(f.tables, 5, -5), f.clampedNoise(5, -5));
    // Outside the radius (a square test, then the distance) nothing either.
    push = swirlDisplacement(f.tables, 5 + 8, -5 + 8);  // distance 11 > 10
    EXPECT_EQ(push.dx, 0);
    EXPECT_EQ(push.dy, 0);
}

TEST(SunSurface, ExtremeSwirlSettingsStayBoundedAndDefined) {
    SurfaceFixture f;
    f.tables.vortices = f.tables.monopoles = true;
    f.tables.swirlCount = 100;
    f.tables.swirlRadius = INT32_MAX;
    f.tables.swirlStrength = INT32_MAX;
    for (int i = 0; i < 100; ++i) f.centresX[i] = f.centresY[i] = static_cast<int16_t>(-32768 + i * 600);
    for (int32_t x : {INT32_MIN, -1, 0, 17, INT32_MAX}) {
        int32_t v = surfaceValue(f.tables, x, 3);
        EXPECT_GE(v, 0);
        EXPECT_LE(v, 255);
    }
    f.tables.swirlRadius = -5;  // no pixel lies inside a negative radius
    EXPECT_EQ(surfaceValue(f.tables, 0, 0), smearedTexture(f.tables, 0, 0, 0, 0));
}

TEST(SunSurface, TablesFromTheBlockAreBounded) {
    testing_support::SunScene scene;
    ParameterBlock& p = *scene.block;
    p.derived.smearStride = 0;
    p.derived.swirlRadius = 0;
    p.sunSwirlCount = 500;
    p.vortices = 0x100;  // only the low byte counts
    p.monopoles = 1;
    SurfaceTables t = surfaceTablesFrom(p, *scene.tables);
    EXPECT_EQ(t.smearStride, 1);
    EXPECT_EQ(t.swirlRadius, 1);
    EXPECT_EQ(t.swirlCount, 100);
    EXPECT_FALSE(t.vortices);
    EXPECT_TRUE(t.monopoles);
    p.sunSwirlCount = -3;
    EXPECT_EQ(surfaceTablesFrom(p, *scene.tables).swirlCount, 0);
}

}  // namespace
}  // namespace lumenfall

namespace lumenfall {
namespace {

// The swirl grid against testing every swirl: the same push at every point
// near and on the edges of the swirls' reaches, for clustered and spread
// centres, centres at the ends of their range, radii from 1 to beyond the
// whole range, and swirls whose pushes saturate; and for points taken in
// pairs and fours, whose sums run side by side.
TEST(SunSurface, SwirlGridGivesThePushOfEverySwirl) {
    std::mt19937 random(22);
    auto grid = std::make_unique<SwirlGrid>();
    for (const int32_t radius : {1, 2, 7, 49, 60, 900, 40000, 2000000, 100000000}) {
        for (const int32_t spread : {3, 200, 65535}) {
            SurfaceFixture f;
            for (int i = 0; i < 100; ++i) {
                f.centresX[i] = int16_t(int32_t(random() % uint32_t(spread + 1)) - spread / 2);
                f.centresY[i] = int16_t(int32_t(random() % uint32_t(spread + 1)) - spread / 2);
            }
            if (spread == 65535) {
                f.centresX[0] = -32768;
                f.centresY[1] = 32767;
            }
            f.tables.swirlRadius = radius;
            f.tables.swirlCount = int32_t(random() % 101);
            f.tables.swirlStrength = radius == 60 ? 2000000000 : int32_t(std::min<int64_t>(100 * int64_t(radius), INT32_MAX));
            f.tables.monopoles = random() % 2 == 0;
            f.tables.vortices = random() % 2 == 0;
            SurfaceTables fast = f.tables;
            if (!buildSwirlGrid(f.tables, grid.get())) {
                EXPECT_EQ(f.tables.swirlCount, 0);
                continue;
            }
            fast.swirlGrid = grid.get();
            for (int n = 0; n < 4000; ++n) {
                // Points about a centre, within and just beyond its reach.
                const int32_t i = int32_t(random() % 100);
                const int64_t reach = int64_t(radius) + 2;
                const int64_t edges[] = {-reach + 2, -reach + 3, reach - 3, reach - 2};
                const int64_t offsetX = n % 2 ? edges[random() % 4] : int64_t(random() % uint32_t(2 * reach + 1)) - reach;
                const int64_t offsetY = n % 4 == 3 ? edges[random() % 4] : int64_t(random() % 5) - 2;
                const int32_t x = int32_t(f.centresX[i] + (n % 8 < 4 ? offsetX : offsetY));
                const int32_t y = int32_t(f.centresY[i] + (n % 8 < 4 ? offsetY : offsetX));
                const SwirlPush a = swirlDisplacement(f.tables, x, y);
                const SwirlPush b = swirlDisplacement(fast, x, y);
                ASSERT_TRUE(a.dx == b.dx && a.dy == b.dy)
                    << "radius " << radius << " spread " << spread << " at " << x << "," << y;
                // And paired with a neighbour: the point itself, one a few
                // steps off (often in another cell), one on the centre, or
                // one straight across from it at the radius, where the
                // reach of 49 rounds below 49 but the box keeps it out.
                int32_t pairX[2] = {x, x + (n % 5 == 0 ? 0 : int32_t(random() % 7) - 3)};
                int32_t pairY[2] = {y, y + int32_t(n % 3 == 0)};
                if (n % 16 == 5) pairX[1] = f.centresX[i], pairY[1] = f.centresY[i];
                if (n % 16 == 9) pairX[1] = f.centresX[i], pairY[1] = f.centresY[i] + radius;
                if (n % 16 == 13) pairX[1] = f.centresX[i] - radius, pairY[1] = f.centresY[i];
                SwirlPush pair[2];
                swirlDisplacementPair(fast, pairX, pairY, pair);
                const SwirlPush second = swirlDisplacement(f.tables, pairX[1], pairY[1]);
                ASSERT_TRUE(pair[0].dx == a.dx && pair[0].dy == a.dy && pair[1].dx == second.dx &&
                            pair[1].dy == second.dy)
                    << "radius " << radius << " spread " << spread << " pair at " << x << "," << y << " and "
                    << pairX[1] << "," << pairY[1];
                // And four at a time: the pair and two more about the point,
                // one of them now and then on the centre, or near another
                // swirl (in other cells, off the grid, or beside it).
                const int32_t j = int32_t(random() % 100);
                const bool elsewhere = n % 4 == 2;
                const int32_t quadX[4] = {
                    pairX[0], pairX[1], x + int32_t(random() % 5) - 2,
                    n % 16 == 7 ? f.centresX[i] : (elsewhere ? f.centresX[j] + int32_t(random() % 7) - 3 : x - 4)};
                const int32_t quadY[4] = {
                    pairY[0], pairY[1], y + int32_t(random() % 3) - 1,
                    n % 16 == 7 ? f.centresY[i] : (elsewhere ? f.centresY[j] + radius - 1 : y - int32_t(n % 2))};
                SwirlPush quad[4];
                swirlDisplacementQuad(fast, quadX, quadY, quad);
                for (int p = 0; p < 4; ++p) {
                    const SwirlPush one = swirlDisplacement(f.tables, quadX[p], quadY[p]);
                    ASSERT_TRUE(quad[p].dx == one.dx && quad[p].dy == one.dy)
                        << "radius " << radius << " spread " << spread << " quad point " << p << " at " << quadX[p]
                        << "," << quadY[p];
                }
            }
        }
    }
}

}  // namespace
}  // namespace lumenfall

namespace lumenfall {
namespace {

// Runs of noise against sunNoise point by point, at every detail level,
// across the places where the coordinates wrap: the 20-bit lattice, the
// 17-bit coordinate of the fourth octave, and 32 bits; runs of every length
// from a single point to more than two blocks, starting anywhere in a
// lattice cell, so that stretches end inside and at the edges of the
// blocks' vectors.
TEST(SunSurface, NoiseRunsGiveTheNoiseOfEachPoint) {
    SurfaceFixture f;
    auto runs = std::make_unique<NoiseRunTables>();
    ASSERT_TRUE(fillNoiseRunTables(f.noise, f.smoothstep, runs.get()));
    f.tables.noiseRuns = runs.get();
    std::mt19937 random(5);
    const int32_t starts[] = {0, -5, 65532, 131068, 262140, (1 << 20) - 3, INT32_MAX - 3, INT32_MIN, -131075};
    constexpr int32_t kLongest = 2 * kNoiseRunBlock + 8;
    for (const int32_t level : {0, 1, 2, 7}) {
        f.tables.detailLevel = level;
        for (int n = 0; n < 400; ++n) {
            const int32_t x = n < 9 ? starts[n] : int32_t(random());
            const int32_t y = n < 9 ? starts[8 - n] : (n % 2 ? int32_t(random()) : int32_t(random() % 4000) - 2000);
            const int32_t count = n < 9 ? kLongest : 1 + int32_t(random() % kLongest);
            int32_t run[kLongest];
            sunNoiseRun(f.tables, x, y, count, run);
            for (int32_t i = 0; i < count; ++i) {
                const int32_t xi = int32_t(uint32_t(x) + uint32_t(i));
                ASSERT_EQ(run[i], sunNoise(f.tables, xi, y))
                    << "level " << level << " at " << xi << "," << y << " in a run of " << count;
            }
        }
    }
}

// The runs blend in 16-bit lanes: tables with a noise value or a weight
// those lanes cannot hold are refused (the surface then fills its memo a
// point at a time), and the extremes they can hold give sunNoise exactly.
TEST(SunSurface, NoiseRunTablesHoldOnlyWhatTheirLanesCan) {
    SurfaceFixture f;
    auto runs = std::make_unique<NoiseRunTables>();
    f.noise[2047] = 256;
    EXPECT_FALSE(fillNoiseRunTables(f.noise, f.smoothstep, runs.get()));
    f.noise[2047] = -1;
    EXPECT_FALSE(fillNoiseRunTables(f.noise, f.smoothstep, runs.get()));
    f.noise[2047] = 0;
    f.smoothstep[511] = 512;
    EXPECT_FALSE(fillNoiseRunTables(f.noise, f.smoothstep, runs.get()));
    // Every corner at 255 or 0 and every weight at its ends.
    for (int32_t i = 0; i < 2048; ++i) f.noise[i] = (i / 7) % 2 ? 255 : 0;
    for (int32_t i = 0; i < 512; ++i) f.smoothstep[i] = i % 3 == 0 ? 0 : (i % 3 == 1 ? 511 : i);
    ASSERT_TRUE(fillNoiseRunTables(f.noise, f.smoothstep, runs.get()));
    f.tables.noiseRuns = runs.get();
    for (const int32_t level : {0, 1, 2}) {
        f.tables.detailLevel = level;
        for (int32_t y = -40; y < 40; y += 3) {
            int32_t run[kNoiseRunBlock];
            sunNoiseRun(f.tables, y * 37, y, kNoiseRunBlock, run);
            for (int32_t i = 0; i < kNoiseRunBlock; ++i)
                ASSERT_EQ(run[i], sunNoise(f.tables, y * 37 + i, y)) << "level " << level << " row " << y;
        }
    }
}

// The smear through the memo (stepping through its cells, filling runs of
// them) against the plain walk without a memo: lines of every direction and
// stride, lines that end at or pass the memo's edge, lines cut short by a
// step limit, read once into an empty memo and again through a full one.
TEST(SunSurface, SmearThroughTheMemoIsThePlainSmear) {
    SurfaceFixture f;
    auto runs = std::make_unique<NoiseRunTables>();
    ASSERT_TRUE(fillNoiseRunTables(f.noise, f.smoothstep, runs.get()));
    constexpr int32_t kHalf = 40;
    std::vector<std::atomic<uint16_t>> cells(surfaceMemoBytes(kHalf) / 2);
    for (const int32_t stride : {1, 2, 3, 7}) {
        for (const bool withRuns : {true, false}) {
            SurfaceTables memoised = f.tables;
            memoised.smearStride = f.tables.smearStride = stride;
            memoised.memo = SurfaceMemo{cells.data(), kHalf};
            memoised.noiseRuns = withRuns ? runs.get() : nullptr;
            for (std::atomic<uint16_t>& cell : cells) cell.store(77);  // what a fresh buffer may hold
            clearSurfaceMemo(memoised.memo);
            for (int pass = 0; pass < 2; ++pass) {
                std::mt19937 points(stride * 2 + (withRuns ? 1 : 0));
                for (int n = 0; n < 3000; ++n) {
                    const int64_t x0 = int64_t(points() % 100) - 50, y0 = int64_t(points() % 100) - 50;
                    const int64_t x1 = x0 + int64_t(points() % 121) - 60, y1 = y0 + int64_t(points() % 121) - 60;
                    const int64_t limits[] = {kMaxSmearSteps, 0, 1, 3, 17};
                    const int64_t limit = limits[points() % 5];
                    ASSERT_EQ(smearedTexture(memoised, x0, y0, x1, y1, limit),
                              smearedTexture(f.tables, x0, y0, x1, y1, limit))
                        << "stride " << stride << " from " << x0 << "," << y0 << " to " << x1 << "," << y1
                        << " limit " << limit << " pass " << pass;
                }
            }
        }
    }
}

// The memo is emptied a band of rows at a time as lines first reach it. One
// line into a freshly cleared memo (its cells holding leftovers) must find
// every row it reads emptied, the rows its last stride overshoots included,
// going up or down, and across each band boundary.
TEST(SunSurface, EachLineFindsEveryRowItReadsEmptied) {
    SurfaceFixture f;
    constexpr int32_t kHalf = 40;
    std::vector<std::atomic<uint16_t>> cells(surfaceMemoBytes(kHalf) / 2);
    for (const int32_t stride : {1, 2, 3, 7}) {
        SurfaceTables memoised = f.tables;
        memoised.smearStride = f.tables.smearStride = stride;
        memoised.memo = SurfaceMemo{cells.data(), kHalf};
        for (int64_t end = -30; end <= 30; ++end) {
            for (const int64_t length : {5, 11, 12, 23}) {
                for (const int64_t direction : {-1, 1}) {
                    for (int32_t lean = 0; lean < 3; ++lean) {
                        for (std::atomic<uint16_t>& cell : cells) cell.store(77);
                        clearSurfaceMemo(memoised.memo);
                        const int64_t y1 = end, y0 = end - direction * length;
                        const int64_t x0 = lean * 2 - 2, x1 = x0 + lean * length;  // steep, diagonal and flat
                        ASSERT_EQ(smearedTexture(memoised, x0, y0, x1, y1, kMaxSmearSteps),
                                  smearedTexture(f.tables, x0, y0, x1, y1, kMaxSmearSteps))
                            << "stride " << stride << " from " << x0 << "," << y0 << " to " << x1 << "," << y1;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace lumenfall
