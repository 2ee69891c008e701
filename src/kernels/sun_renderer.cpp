#include "kernels/sun_renderer.h"

namespace lumenfall {

void renderSunSpan(const SunContext& sun, int32_t row, int32_t first, int32_t count, SunPixel* out) {
    for (int32_t i = 0; i < count; ++i) out[i] = computeSunPixel(sun, first + i, row);
}

}  // namespace lumenfall
