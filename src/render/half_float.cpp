#include "render/half_float.h"

#include <cmath>
#include <cstring>

namespace lumenfall {

float halfToFloat(uint16_t half) {
    const uint32_t sign = uint32_t(half & 0x8000) << 16;
    const int exponent = (half >> 10) & 0x1F;
    const uint32_t mantissa = half & 0x3FF;
    float magnitude;
    if (exponent == 0) magnitude = std::ldexp(float(mantissa), -24);
    else if (exponent == 31) magnitude = mantissa ? NAN : INFINITY;
    else magnitude = std::ldexp(float(mantissa | 0x400), exponent - 25);
    uint32_t bits;
    std::memcpy(&bits, &magnitude, sizeof bits);
    bits |= sign;
    float result;
    std::memcpy(&result, &bits, sizeof result);
    return result;
}

uint16_t floatToHalf(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const uint16_t sign = uint16_t((bits >> 16) & 0x8000);
    const uint32_t absBits = bits & 0x7FFFFFFF;
    if (absBits > 0x7F800000) return uint16_t(sign | 0x7E00);   // NaN
    if (absBits >= 0x477FF000) return uint16_t(sign | 0x7C00);  // rounds beyond 65504
    if (absBits < 0x38800000) {
        // Subnormal half: value / 2^-24 rounded to nearest even.
        float magnitude;
        std::memcpy(&magnitude, &absBits, sizeof magnitude);
        return uint16_t(sign | uint16_t(std::nearbyint(magnitude * 16777216.0f)));
    }
    const uint32_t exponent = (absBits >> 23) - 127 + 15;
    uint32_t mantissa = absBits & 0x7FFFFF;
    uint32_t half = (exponent << 10) | (mantissa >> 13);
    const uint32_t rest = mantissa & 0x1FFF;
    if (rest > 0x1000 || (rest == 0x1000 && (half & 1))) ++half;
    return uint16_t(sign | half);
}

}  // namespace lumenfall
