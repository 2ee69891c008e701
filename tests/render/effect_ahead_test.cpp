// The next rows' effect computed ahead by the helper threads: the rows come
// out as those of one call on one thread however a caller asks for them,
// one row a call as a host's band steps do, out of order, over changing
// columns, plans and targets, and after stops and missing buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "kernels/kernel_test_support.h"
#include "render/band_target.h"
#include "render/effect_ahead.h"
#include "render/render_rows.h"
#include "render/row_workers.h"
#include "render_harness.h"

namespace lumenfall {
namespace {

using test::PlanHarness;
using testing_support::TestBand;

constexpr int32_t kWidth = 700, kHeight = 40;

// A sun over the middle of the rows, so that few rows are plainly dark.
void placeSun(PlanHarness& h, float x, int32_t glue) {
    h.block->xCenter = x;
    h.block->yCenter = 0.5f;
    h.block->glue = glue;
}

struct Band {
    TestBand pixels;
    BandTarget target;
    Band(int32_t depth, int32_t planes)
        : pixels(kWidth, kHeight, planes, depth, planes == 4),
          target(pixels.band, BandWrite::Final, kWidth, kHeight) {
        pixels.fillIn(depth == 16 ? 9000 : 90);
    }
};

// The rows of one call on the calling thread alone.
std::vector<uint8_t> oneCall(const RenderPlan& plan, int32_t depth, int32_t planes) {
    Band band(depth, planes);
    EXPECT_EQ(renderRows(plan, band.target, 0, kHeight), RenderStatus::Done);
    return band.pixels.out;
}

TEST(RowsAhead, RowsOneCallAtATimeAreTheRowsOfOneCall) {
    PlanHarness h(kWidth, kHeight);
    for (int32_t depth : {8, 16}) {
        for (int32_t threads : {2, 3}) {
            placeSun(h, 0.4f, depth == 8 ? 0 : 5);
            const RenderPlan& plan = h.build();
            const std::vector<uint8_t> expected = oneCall(plan, depth, 4);
            RowWorkers workers(threads);
            // In order, as a host's band steps ask, and again in a shuffled
            // order with runs of rows in between, so that a row held ahead is
            // sometimes the one asked for and sometimes not.
            Band inOrder(depth, 4), shuffled(depth, 4);
            for (int32_t row = 0; row < kHeight; ++row)
                ASSERT_EQ(renderRows(plan, inOrder.target, row, row + 1, nullptr, &workers), RenderStatus::Done);
            EXPECT_EQ(inOrder.pixels.out, expected) << depth << "-bit, " << threads << " threads, in order";
            for (int32_t row : {5, 6, 7, 0, 1, 39, 20, 21, 19, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 2, 3, 4, 22,
                                23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38})
                ASSERT_EQ(renderRows(plan, shuffled.target, row, row + 1, nullptr, &workers), RenderStatus::Done);
            EXPECT_EQ(shuffled.pixels.out, expected) << depth << "-bit, " << threads << " threads, shuffled";
            // Whole ranges in one call, back to back, with the row after each
            // range held ahead for a call that asks for another.
            Band ranges(depth, 4);
            for (int32_t first : {0, 13, 26})
                ASSERT_EQ(renderRows(plan, ranges.target, first, first + 13, nullptr, &workers),
                          RenderStatus::Done);
            ASSERT_EQ(renderRows(plan, ranges.target, 39, 40, nullptr, &workers), RenderStatus::Done);
            EXPECT_EQ(ranges.pixels.out, expected) << depth << "-bit, " << threads << " threads, ranges";
        }
    }
}

// One caller's rows: a plan, a target and columns.
struct Caller {
    const RenderPlan* plan;
    Band band;
    RegionColumns columns;
    Caller(const RenderPlan& p, int32_t depth, RegionColumns c) : plan(&p), band(depth, 3), columns(c) {}
    RenderStatus row(int32_t r, RowWorkers* workers) {
        return renderRegion(*plan, band.target, r, r + 1, columns, nullptr, workers);
    }
    std::vector<uint8_t> alone() const {
        Band reference(band.pixels.depth, 3);
        EXPECT_EQ(renderRegion(*plan, reference.target, 0, kHeight, columns), RenderStatus::Done);
        return reference.pixels.out;
    }
};

// Two callers take turns row by row, twice over so that each draws every
// row: each call finds ahead the row of the same number that the other
// caller's call left there, which is not its own.
void takeTurns(Caller& x, Caller& y) {
    RowWorkers workers(2);
    for (int32_t pass = 0; pass < 2; ++pass)
        for (int32_t row = 0; row < kHeight; ++row)
            ASSERT_EQ(((row + pass) % 2 == 0 ? x : y).row(row, &workers), RenderStatus::Done) << "row " << row;
    EXPECT_EQ(x.band.pixels.out, x.alone());
    EXPECT_EQ(y.band.pixels.out, y.alone());
}

TEST(RowsAhead, ARowHeldForOnePlanTargetOrColumnsIsNeverGivenToAnother) {
    PlanHarness left(kWidth, kHeight), right(kWidth, kHeight);
    placeSun(left, 0.3f, 0);
    placeSun(right, 0.7f, 3);
    const RenderPlan& a = left.build();
    const RenderPlan& b = right.build();
    const RegionColumns all{0, kWidth};
    {
        SCOPED_TRACE("two plans");
        Caller x(a, 8, all), y(b, 8, all);
        takeTurns(x, y);
    }
    {
        SCOPED_TRACE("two depths");
        Caller x(a, 8, all), y(a, 16, all);
        takeTurns(x, y);
    }
    {
        SCOPED_TRACE("columns that end apart");
        Caller x(a, 8, RegionColumns{0, 300}), y(a, 8, all);
        takeTurns(x, y);
    }
    {
        SCOPED_TRACE("columns that start apart");
        Caller x(a, 8, RegionColumns{300, kWidth}), y(a, 8, all);
        takeTurns(x, y);
    }
}

TEST(RowsAhead, ABandStepLeavesTheNextRowsComputingAndAfterTheLastNone) {
    // Not a pixel question: without it every row would be computed in its
    // turn, the same rows more slowly.
    PlanHarness h(kWidth, kHeight);
    placeSun(h, 0.5f, 0);
    const RenderPlan& plan = h.build();
    Band band(8, 4);
    RowWorkers workers(2);
    EffectAhead* ahead = EffectAhead::of(&workers, kWidth);
    ASSERT_NE(ahead, nullptr);
    const TargetShape shape = band.target.shape();
    for (int32_t row = 0; row < kHeight; ++row) {
        ASSERT_EQ(renderRows(plan, band.target, row, row + 1, nullptr, &workers), RenderStatus::Done);
        EXPECT_EQ(ahead->holds(&plan, shape, row + 1, 0, kWidth), row + 1 < kHeight) << "row " << row;
        // Only the first row going is held: the one after it waits its turn.
        EXPECT_FALSE(ahead->holds(&plan, shape, row + 2, 0, kWidth)) << "row " << row;
        EXPECT_EQ(ahead->lastQueuedRow(), row + 1 < kHeight ? std::min(row + kRowsAhead, kHeight - 1) : -1)
            << "row " << row;
    }
    EXPECT_EQ(EffectAhead::of(nullptr, kWidth), nullptr);
    RowWorkers alone(1);
    EXPECT_EQ(EffectAhead::of(&alone, kWidth), nullptr);
}

TEST(RowsAhead, TheRowTakenStaysWhileTheRowsAfterItAreComputed) {
    // A row is blended after the rows behind it are queued: their slots must
    // not be the taken row's.
    PlanHarness h(kWidth, kHeight);
    placeSun(h, 0.5f, 0);
    const RenderPlan& plan = h.build();
    Band band(8, 4);
    const TargetShape shape = band.target.shape();
    const SunContext sun = sunContextFor(plan, shape);
    auto effectOf = [&](int32_t row) {
        std::vector<SunPixel> effect(kWidth);
        RowSpikeStrips strips;
        findSpikeStrips(sun, row, 0, kWidth, &strips);
        renderSunSpanCulled(sun, strips, row, 0, kWidth, effect.data());
        return effect;
    };
    auto same = [](const SunPixel* a, const std::vector<SunPixel>& b) {
        return std::equal(b.begin(), b.end(), a, [](const SunPixel& x, const SunPixel& y) {
            return std::equal(std::begin(x.rgb), std::end(x.rgb), std::begin(y.rgb)) && x.rimWeight == y.rimWeight;
        });
    };
    RowWorkers workers(2);
    EffectAhead* ahead = EffectAhead::of(&workers, kWidth);
    ASSERT_NE(ahead, nullptr);
    for (int32_t row = 18; row < 24; ++row) {
        for (int32_t next = row; next < row + kRowsAhead; ++next)
            ahead->queue(workers, &plan, shape, sun, next, 0, kWidth);
        ASSERT_TRUE(ahead->holds(&plan, shape, row, 0, kWidth)) << "row " << row;
        const SunPixel* taken = ahead->take();
        ahead->queue(workers, &plan, shape, sun, row + kRowsAhead, 0, kWidth);
        ahead->drop(workers);  // every row queued has now been written
        EXPECT_TRUE(same(taken, effectOf(row))) << "row " << row;
    }
    ahead->drop(workers);
}

// Stops after a chosen row; counts the rows it was told of.
struct StopAt : RenderServices {
    int32_t stopAfter;
    explicit StopAt(int32_t row) : stopAfter(row) {}
    bool rowFinished(int32_t row) override { return row != stopAfter; }
};

// A band whose host has not delivered one row's buffers.
struct MissingRow : RowTarget {
    BandTarget& inner;
    int32_t missing;
    MissingRow(BandTarget& target, int32_t row) : inner(target), missing(row) {}
    TargetShape shape() const override { return inner.shape(); }
    bool receive(const GlueSetup& glue, int32_t row, int32_t first, int32_t count, const SunPixel* effect) override {
        return row != missing && inner.receive(glue, row, first, count, effect);
    }
};

TEST(RowsAhead, AfterAStopOrAMissingRowTheRenderGoesOnWithTheSameRows) {
    PlanHarness h(kWidth, kHeight);
    placeSun(h, 0.5f, 0);
    const RenderPlan& plan = h.build();
    const std::vector<uint8_t> expected = oneCall(plan, 8, 4);
    RowWorkers workers(2);

    // Stopped after row 9 (with row 10 held ahead), then asked again for
    // rows 10 on: the same rows, and nothing drawn past the stop.
    Band stopped(8, 4);
    StopAt stop(9);
    for (int32_t row = 0; row < 9; ++row)
        ASSERT_EQ(renderRows(plan, stopped.target, row, row + 1, &stop, &workers), RenderStatus::Done);
    ASSERT_EQ(renderRows(plan, stopped.target, 9, 10, &stop, &workers), RenderStatus::Stopped);
    const size_t rowBytes = size_t(kWidth) * 4;
    EXPECT_TRUE(std::equal(stopped.pixels.out.begin() + 10 * rowBytes, stopped.pixels.out.end(),
                           std::vector<uint8_t>(stopped.pixels.out.size() - 10 * rowBytes, 0).begin()));
    for (int32_t row = 10; row < kHeight; ++row)
        ASSERT_EQ(renderRows(plan, stopped.target, row, row + 1, nullptr, &workers), RenderStatus::Done);
    EXPECT_EQ(stopped.pixels.out, expected);

    // Row 12's buffers missing: that call fails, the caller asks again, and
    // the rows are those of an undisturbed render.
    Band gap(8, 4);
    MissingRow missing(gap.target, 12);
    for (int32_t row = 0; row < kHeight; ++row) {
        const RenderStatus status = renderRows(plan, missing, row, row + 1, nullptr, &workers);
        ASSERT_EQ(status, row == 12 ? RenderStatus::NoDestination : RenderStatus::Done) << "row " << row;
    }
    ASSERT_EQ(renderRows(plan, gap.target, 12, 13, nullptr, &workers), RenderStatus::Done);
    EXPECT_EQ(gap.pixels.out, expected);
}

}  // namespace
}  // namespace lumenfall
