// Sizes relative to the smaller side of the rendered area.
#ifndef LUMENFALL_RENDER_SIZE_FUNCTIONS_H
#define LUMENFALL_RENDER_SIZE_FUNCTIONS_H

#include <cstdint>

namespace lumenfall {

// The render tables' radius: trunc(min(w, h) * (trunc(v*v/10) / 1000)) in
// single precision, at least 1.
int32_t scaledRadiusPixels(int32_t value, int32_t width, int32_t height);

// (The sun elements size themselves with settingSize, kernels/sun_elements.h,
// in double precision: short side 750, value 38 gives 108 there, 107 here.)

// min(w, h) * 0.001 as a float, never below 0.000001.
float pixelUnit(int32_t width, int32_t height);

// trunc(2^(4 - e) * 100) with e = sunDetail * 3 / 100 + 3 rounded to single
// precision: 200 at detail 0, 25 at detail 100.
int32_t detailPercent(int32_t sunDetail);

}  // namespace lumenfall

#endif
