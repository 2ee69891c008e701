// Defined conversions for values that may be out of range: settings from
// scripts or files can hold any 32-bit value, floats can be NaN or infinite.
// Floats saturate (NaN becomes 0); hash-like values wrap in 32 bits.
#ifndef LUMENFALL_KERNELS_NUMERIC_BOUNDS_H
#define LUMENFALL_KERNELS_NUMERIC_BOUNDS_H

#include <cstdint>

namespace lumenfall {

inline int32_t saturateToInt32(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(v);
}

inline int64_t saturateToInt64(double v) {
    if (!(v == v)) return 0;
    if (v >= 9.2e18) return INT64_C(9200000000000000000);
    if (v <= -9.2e18) return -INT64_C(9200000000000000000);
    return static_cast<int64_t>(v);
}

inline int64_t clampInt64(int64_t v, int64_t lo, int64_t hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

inline int32_t clampInt32(int32_t v, int32_t lo, int32_t hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

// Two's-complement wrap to 32 bits, the pattern every common CPU gives.
inline int32_t wrapToInt32(int64_t v) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}

// Arithmetic right shift of a signed value, written so that it is defined
// for negative values on every compiler (rounds toward minus infinity).
inline int32_t shiftRight(int32_t v, int n) {
    return v >= 0 ? (v >> n) : static_cast<int32_t>(~(~static_cast<uint32_t>(v) >> n));
}
inline int64_t shiftRight64(int64_t v, int n) {
    return v >= 0 ? (v >> n) : static_cast<int64_t>(~(~static_cast<uint64_t>(v) >> n));
}

}  // namespace lumenfall

#endif
