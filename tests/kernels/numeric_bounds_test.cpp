// The whole-number helpers every element's formulas go through: the shifts
// round toward minus infinity for every sign and width of shift.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "kernels/numeric_bounds.h"

namespace lumenfall {
namespace {

// floor(v / 2^n) without a shift.
int64_t floorByPower(int64_t v, int n) {
    const __int128 d = __int128(1) << n;
    __int128 q = __int128(v) / d;
    if (__int128(v) % d != 0 && v < 0) --q;
    return int64_t(q);
}

TEST(NumericBounds, ShiftsRoundTowardMinusInfinity) {
    std::mt19937_64 random(5);
    std::vector<int64_t> values = {0, 1, -1, 2, -2, 3, -3, 255, -255, 256, -256, -257,
                                   std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::min(),
                                   std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()};
    for (int i = 0; i < 2000; ++i) values.push_back(int64_t(random()) >> (random() % 64));
    for (const int64_t v : values) {
        for (int n = 0; n < 63; ++n) {
            ASSERT_EQ(shiftRight64(v, n), floorByPower(v, n)) << v << " >> " << n;
            const int32_t narrow = int32_t(v);
            if (n < 31) {
                ASSERT_EQ(int64_t(shiftRight(narrow, n)), floorByPower(narrow, n)) << narrow << " >> " << n;
            }
        }
    }
}

}  // namespace
}  // namespace lumenfall
