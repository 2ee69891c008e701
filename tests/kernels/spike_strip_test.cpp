// A spike's strip added eight columns at a time against addSpikeStrip, one
// column at a time: strips that enter and leave the spike's shine part of
// the way, the widest profile entries, axes whose steps or values leave the
// 32-bit lanes, and sums that already hold light.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "kernels/spike_strip.h"

namespace lumenfall {
namespace {

TEST(SpikeStrip, EightColumnsAtATimeAreTheColumnsOneByOne) {
    auto tables = std::make_unique<SunTables>();
    std::mt19937_64 random(22);
    // The table's last entry and its neighbours in the structure hold their
    // extremes, so that a read of the wrong half of a lane shows.
    for (int i = 0; i <= 300; ++i) tables->spikeProfile[i] = uint16_t(random() % 65536);
    tables->spikeProfile[300] = 65535;
    tables->spikeProfile[0] = 65535;
    for (auto& angle : tables->flareAngles) angle = 0xffff;
    for (auto& axis : tables->spikeAxes) axis[0] = axis[1] = axis[2] = axis[3] = -1;
    const auto pick = [&](int64_t range) { return int64_t(random() % uint64_t(2 * range + 1)) - range; };
    int64_t shining = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        const int32_t k = trial % 256;
        int32_t* axis = tables->spikeAxes[k];
        // Mostly axes of real spikes (steps of a few hundred, which cross
        // the 300-wide shine in a few columns, or of a few, which stay in it
        // for hundreds), some of them far beyond the lanes.
        const int64_t scale = trial % 10 == 0 ? (int64_t(1) << 28) : (trial % 3 == 0 ? 3 : 400);
        for (int c = 0; c < 4; ++c) axis[c] = int32_t(pick(scale));
        const bool far = trial % 7 == 0;
        const int64_t cx = pick(far ? 40000000 : 3000), dy = pick(far ? 40000000 : 3000);
        // Around the spike's strip on this row, where it has one.
        const ColumnRange strip = spikeColumns(axis, cx, dy);
        int64_t from = pick(3000);
        if (strip.first <= strip.last && strip.last - strip.first < 100000) from = strip.first - pick(12);
        const int64_t count = trial % 5 == 0 ? int64_t(random() % 600) : int64_t(random() % 40);
        std::vector<int64_t> one(size_t(count) + 1), eight(size_t(count) + 1);
        for (size_t i = 0; i < one.size(); ++i) one[i] = eight[i] = pick(int64_t(1) << 40);
        const std::vector<int64_t> before = one;
        addSpikeStrip(*tables, k, cx - from, dy, count, one.data());
        addSpikeStripFast(*tables, k, cx - from, dy, count, eight.data());
        ASSERT_EQ(one, eight) << "trial " << trial << " axis " << axis[0] << " " << axis[1] << " " << axis[2] << " "
                              << axis[3] << " cx " << cx << " dy " << dy << " from " << from << " count " << count;
        for (size_t i = 0; i < one.size(); ++i) shining += one[i] != before[i];
    }
    // The strips really shone, on many columns.
    EXPECT_GT(shining, 50000);
}

TEST(SpikeStrip, ColumnsInsideTheShineAddTheProfile) {
    // A spike along the row (across fixed at 0, along falling by one a
    // column): every column shines with the profile's middle entry.
    auto tables = std::make_unique<SunTables>();
    for (int i = 0; i <= 300; ++i) tables->spikeProfile[i] = uint16_t(1000 + i);
    int32_t axis[4] = {1, 0, 0, 1};
    std::memcpy(tables->spikeAxes[3], axis, sizeof axis);
    std::vector<int64_t> sums(64, 5);
    addSpikeStripFast(*tables, 3, 20, 0, 64, sums.data());
    for (int64_t i = 0; i < 64; ++i) {
        const int64_t l = 32640 - std::abs(20 - i);
        EXPECT_EQ(sums[size_t(i)], 5 + (((l >> 7) * 1300) >> 8)) << i;
    }

    // An along value 2^32 + 100 would wrap to 100 in a 32-bit lane and
    // shine; the columns step back into the lanes' range within the strip
    // (column 32 shines, along 132), but the first does not fit.
    const int32_t beyond[4] = {0, 0, -132, (1 << 27) - 1};
    std::memcpy(tables->spikeAxes[4], beyond, sizeof beyond);
    std::vector<int64_t> one(40, 7), eight(40, 7);
    addSpikeStrip(*tables, 4, 32, 1, 40, one.data());
    addSpikeStripFast(*tables, 4, 32, 1, 40, eight.data());
    EXPECT_EQ(eight, one);
    EXPECT_NE(one[32], 7);
    EXPECT_EQ(one[0], 7);
}

}  // namespace
}  // namespace lumenfall
