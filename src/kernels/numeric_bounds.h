// Defined integer steps for values that may be out of range: settings from
// scripts or files can hold any 32-bit value, floats can be NaN or infinite.
// Float conversions truncate toward zero, turn NaN into 0 and saturate at the
// target type's bounds; products and sums saturate where 64 bits would not
// hold them; hash-like values wrap in 32 bits. For settings in their slider
// ranges nothing here ever saturates, so tables are exactly their formulas.
#ifndef LUMENFALL_KERNELS_NUMERIC_BOUNDS_H
#define LUMENFALL_KERNELS_NUMERIC_BOUNDS_H

#include <cmath>
#include <cstdint>
#include <limits>

namespace lumenfall {

// Float to integer: truncation toward zero, NaN to 0, saturation at the
// type's bounds.
inline int32_t saturateToInt32(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

inline int64_t saturateToInt64(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
    if (v <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(v);
}

// A float setting that may be NaN or infinite, read as a finite value:
// NaN becomes 0, infinities the largest finite float of their sign.
inline float finiteOrZero(float v) {
    if (std::isnan(v)) return 0.0f;
    if (std::isinf(v)) return v > 0 ? std::numeric_limits<float>::max() : -std::numeric_limits<float>::max();
    return v;
}

// A 64-bit value narrowed to T, saturating at T's bounds.
template <typename T>
inline T saturateTo(int64_t v) {
    if (v < int64_t(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
    if (v > int64_t(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
    return T(v);
}

// a * b, saturating at the 64-bit bounds of the product's sign.
inline int64_t saturatingMultiply(int64_t a, int64_t b) {
    int64_t product;
    if (!__builtin_mul_overflow(a, b, &product)) return product;
    return ((a < 0) != (b < 0)) ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
}

// Clamps to lo..hi; lo wins when the bounds cross.
inline int32_t clampInt32(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }
inline int64_t clampInt64(int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

// 64-bit minimum, maximum and magnitude, for sums and products of radii and
// light that arguments of other widths meet without a cast.
inline int64_t min64(int64_t a, int64_t b) { return a < b ? a : b; }
inline int64_t max64(int64_t a, int64_t b) { return a > b ? a : b; }
inline int64_t abs64(int64_t v) { return v < 0 ? -v : v; }

// Two's-complement wrap to 32 bits, the pattern every common CPU gives.
inline int32_t wrapToInt32(int64_t v) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}

// Arithmetic right shift of a signed value (rounds toward minus infinity).
// GCC and Clang define >> of a negative value as exactly this (sign
// extension) and make it one instruction; other compilers get it written
// out, where a branch on the sign would be mispredicted on mixed signs.
inline int32_t shiftRight(int32_t v, int n) {
#if defined(__GNUC__)
    return v >> n;
#else
    return v >= 0 ? (v >> n) : static_cast<int32_t>(~(~static_cast<uint32_t>(v) >> n));
#endif
}
inline int64_t shiftRight64(int64_t v, int n) {
#if defined(__GNUC__)
    return v >> n;
#else
    return v >= 0 ? (v >> n) : static_cast<int64_t>(~(~static_cast<uint64_t>(v) >> n));
#endif
}

}  // namespace lumenfall

#endif
