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
    int64_t x = x0, y = y0, error = 0;
    int64_t sum = 0;
    for (int64_t i = 0; i <= major; ++i) {
        int64_t near = 2 * major - (error < 0 ? -error : error);
        int64_t far = 2 * major - near;
        int64_t side = error < 0 ? -1 : 1;
        int64_t nx = yMajor ? x + side * sx : x;
        int64_t ny = yMajor ? y : y + side * sy;
        const int32_t a = scaledCoordinate(wrapToInt32(x), scale);
        const int32_t b = scaledCoordinate(wrapToInt32(y), scale);
        sum += (blockNoiseScaled(noiseTable, a, b) >> 1) * near;
        if (far != 0) {
            // The neighbour differs from the point along the minor axis only.
            const int32_t na = yMajor ? scaledCoordinate(wrapToInt32(nx), scale) : a;
            const int32_t nb = yMajor ? b : scaledCoordinate(wrapToInt32(ny), scale);
            sum += (blockNoiseScaled(noiseTable, na, nb) >> 1) * far;
        }
        if (yMajor) y += sy; else x += sx;
        error += 2 * minor;
        if (error > major) {
            if (yMajor) x += sx; else y += sy;
            error -= 2 * major;
        }
    }
    return static_cast<int32_t>(sum / ((major + 1) * 2 * major));
}

}  // namespace lumenfall
