// The sun element renderer: the effect of a span of pixels of one row.
#ifndef LUMENFALL_KERNELS_SUN_RENDERER_H
#define LUMENFALL_KERNELS_SUN_RENDERER_H

#include <cstdint>

#include "kernels/sun_elements.h"

namespace lumenfall {

// Fills out[0..count) with the effect of pixels first .. first + count - 1
// of row `row`.
void renderSunSpan(const SunContext& sun, int32_t row, int32_t first, int32_t count, SunPixel* out);

}  // namespace lumenfall

#endif
