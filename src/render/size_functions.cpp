#include "render/size_functions.h"

#include <algorithm>
#include <cmath>

#include "kernels/numeric_bounds.h"

namespace lumenfall {
namespace {

// trunc(v*v / 10); the square of any 32-bit value fits in 64 bits.
int64_t squaredTenth(int32_t value) { return int64_t(value) * value / 10; }

}  // namespace

int32_t scaledRadiusPixels(int32_t value, int32_t width, int32_t height) {
    const float product =
        float(std::min(width, height)) * (float(squaredTenth(value)) / 1000.0f);
    if (!(product >= 1.0f)) return 1;
    return saturateToInt32(product);
}

float pixelUnit(int32_t width, int32_t height) {
    const float unit = float(std::min(width, height) * 0.001);
    return std::max(unit, 0.000001f);
}

int32_t detailPercent(int32_t sunDetail) {
    const float e = float(sunDetail * 3.0 / 100.0 + 3.0);
    return saturateToInt32(std::pow(2.0, 4.0 - double(e)) * 100.0);
}

}  // namespace lumenfall
