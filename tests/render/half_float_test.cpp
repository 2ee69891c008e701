// Half floats of the 16-bit float layouts: every half value survives the
// trip through single precision, subnormals included.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "render/half_float.h"

namespace lumenfall {

TEST(HalfFloat, EveryValueRoundTripsAndSubnormalsKeepTheirScale) {
    EXPECT_EQ(halfToFloat(0x0001), std::ldexp(1.0f, -24));  // the smallest subnormal
    EXPECT_EQ(halfToFloat(0x03FF), std::ldexp(1023.0f, -24));
    EXPECT_EQ(halfToFloat(0x0400), std::ldexp(1.0f, -14));  // the smallest normal
    EXPECT_EQ(halfToFloat(0x3C00), 1.0f);
    EXPECT_EQ(halfToFloat(0x7BFF), 65504.0f);
    EXPECT_EQ(halfToFloat(0x8001), -std::ldexp(1.0f, -24));
    EXPECT_TRUE(std::isinf(halfToFloat(0x7C00)));
    EXPECT_TRUE(std::isnan(halfToFloat(0x7E00)));
    for (uint32_t h = 0; h < 0x10000; ++h) {
        const float f = halfToFloat(uint16_t(h));
        if (std::isnan(f)) continue;
        ASSERT_EQ(floatToHalf(f), uint16_t(h)) << std::hex << h;
    }
}

}  // namespace lumenfall
