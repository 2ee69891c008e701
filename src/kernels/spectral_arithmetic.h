// Defined conversions and saturating integer steps for table building.
// Settings can hold any 32-bit value and any float (scripts, files), so the
// table formulas are evaluated in 64 bits, saturate where 64 bits would not
// hold them, and convert floats with a fixed rule: NaN becomes 0 and values
// beyond the target type saturate. For settings in their slider ranges
// nothing here ever saturates, so the tables are exactly the formulas' values.
#ifndef LUMENFALL_KERNELS_SPECTRAL_ARITHMETIC_H
#define LUMENFALL_KERNELS_SPECTRAL_ARITHMETIC_H

#include <cmath>
#include <cstdint>
#include <limits>

namespace lumenfall {

inline int64_t saturatingMultiply(int64_t a, int64_t b) {
    int64_t product;
    if (!__builtin_mul_overflow(a, b, &product)) return product;
    return ((a < 0) != (b < 0)) ? std::numeric_limits<int64_t>::min()
                                : std::numeric_limits<int64_t>::max();
}

inline int64_t saturatingAdd(int64_t a, int64_t b) {
    int64_t sum;
    if (!__builtin_add_overflow(a, b, &sum)) return sum;
    return b < 0 ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
}

template <typename T>
inline T saturateTo(int64_t v) {
    if (v < int64_t(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
    if (v > int64_t(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
    return T(v);
}

// Truncation toward zero with NaN to 0 and saturation.
inline int64_t truncateToInt64(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
    if (v <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return int64_t(v);
}

inline int32_t truncateToInt32(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}

// A float setting that may be NaN or infinite, read as a finite value:
// NaN becomes 0, infinities the largest finite float of their sign.
inline float finiteOrZero(float v) {
    if (std::isnan(v)) return 0.0f;
    if (std::isinf(v)) return v > 0 ? std::numeric_limits<float>::max()
                                    : -std::numeric_limits<float>::max();
    return v;
}

}  // namespace lumenfall

#endif
