// IEEE half-precision floats for the 16-bit float layouts of tiled images.
#ifndef LUMENFALL_RENDER_HALF_FLOAT_H
#define LUMENFALL_RENDER_HALF_FLOAT_H

#include <cstdint>

namespace lumenfall {

float halfToFloat(uint16_t half);
// Round to nearest even; beyond the half range saturates to infinity, NaN stays NaN.
uint16_t floatToHalf(float value);

}  // namespace lumenfall

#endif
