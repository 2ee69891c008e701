#include "kernels/streak_noise.h"

#include "kernels/numeric_bounds.h"

namespace lumenfall {

namespace {

int32_t scaledCoordinate(int32_t v, int32_t scale) {
    uint32_t product = (static_cast<uint32_t>(v) & 0xFFFFFu) * static_cast<uint32_t>(scale);
    return shiftRight(static_cast<int32_t>(product), 7);
}

int32_t lookup(const int32_t* noiseTable, int32_t index) {
    return noiseTable[static_cast<uint32_t>(index) & 2047u];
}

// The block noise at scaled coordinates (a, b): a streak's two points of a
// step share one of them.
inline int32_t blockNoiseScaled(const int32_t* noiseTable, int32_t a, int32_t b) {
    int32_t a4 = shiftRight(a, 2) & ~2;
    int32_t b4 = shiftRight(b, 2) & ~1;
    // a and b lie within +-2^24, so these sums and products stay in range.
    int32_t s1 = lookup(noiseTable, shiftRight(b - a4, 4) * 57 + shiftRight(a - b4, 4) * 39);
    int32_t s2 = lookup(noiseTable, shiftRight(b4 + a, 4) * 39 + shiftRight(a4 + b, 4) * 57);
    return s1 + s2;
}

}  // namespace

int32_t blockNoise(const int32_t* noiseTable, int32_t x, int32_t y, int32_t scale) {
    return blockNoiseScaled(noiseTable, scaledCoordinate(x, scale), scaledCoordinate(y, scale));
}

namespace {

// The block noise at a point given by its scaled coordinates along the
// walk's major and minor axes.
template <bool kYMajor>
inline int32_t halfNoiseAt(const int32_t* noiseTable, int32_t majorScaled, int32_t minorScaled) {
    return (kYMajor ? blockNoiseScaled(noiseTable, minorScaled, majorScaled)
                    : blockNoiseScaled(noiseTable, majorScaled, minorScaled)) >> 1;
}

// The weighted sum of a streak whose major axis is y (kYMajor) or x. The
// minor coordinate changes on few steps, so its scaled value and those of
// its two neighbours are kept and only renewed when it moves.
template <bool kYMajor>
int64_t streakSum(const int32_t* noiseTable, int64_t m, int64_t n, int64_t sm, int64_t sn, int64_t major,
                  int64_t minor, int32_t scale) {
    auto scaled = [scale](int64_t v) { return scaledCoordinate(wrapToInt32(v), scale); };
    int32_t minorHere = scaled(n), minorAhead = scaled(n + sn), minorBehind = scaled(n - sn);
    int64_t error = 0, sum = 0;
    for (int64_t i = 0; i <= major; ++i) {
        const int64_t near = 2 * major - (error < 0 ? -error : error);
        const int64_t far = 2 * major - near;
        const int32_t majorScaled = scaled(m);
        sum += halfNoiseAt<kYMajor>(noiseTable, majorScaled, minorHere) * near;
        if (far != 0)
            sum += halfNoiseAt<kYMajor>(noiseTable, majorScaled, error < 0 ? minorBehind : minorAhead) * far;
        m += sm;
        error += 2 * minor;
        if (error > major) {
            n += sn;
            minorBehind = minorHere;
            minorHere = minorAhead;
            minorAhead = scaled(n + sn);
            error -= 2 * major;
        }
    }
    return sum;
}

}  // namespace

int32_t streakNoise(const int32_t* noiseTable, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                    int32_t scale) {
    int64_t dx = static_cast<int64_t>(x1) - x0, dy = static_cast<int64_t>(y1) - y0;
    int64_t ax = dx < 0 ? -dx : dx, ay = dy < 0 ? -dy : dy;
    int64_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    bool yMajor = ay >= ax;
    int64_t major = yMajor ? ay : ax;
    int64_t minor = yMajor ? ax : ay;
    if (major == 0) return blockNoise(noiseTable, x0, y0, scale) >> 1;

    // error is twice the ideal line's offset from the current pixel along the
    // minor axis, in units of 1/major: within (-major, major]. Classic
    // Bresenham: at an exact half (error = major) the minor step is not taken;
    // both pixels then weigh the same, so the mean does not depend on it.
    // Each step weights the pixel on the line and its neighbour on the
    // error's side along the minor axis.
    const int64_t sum = yMajor ? streakSum<true>(noiseTable, y0, x0, sy, sx, major, minor, scale)
                               : streakSum<false>(noiseTable, x0, y0, sx, sy, major, minor, scale);
    return static_cast<int32_t>(sum / ((major + 1) * 2 * major));
}

}  // namespace lumenfall
