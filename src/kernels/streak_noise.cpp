#include "kernels/streak_noise.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kernels/lazy_blocks.h"
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

// The halved block noise at the walk's point and at its neighbours along the
// minor axis, computed. The minor coordinate changes on few steps, so its
// scaled value and those of its two neighbours are kept and only renewed
// when it moves.
template <bool kYMajor>
class ComputedPoints {
public:
    ComputedPoints(const int32_t* noiseTable, int32_t scale, int64_t m, int64_t n, int64_t sm, int64_t sn)
        : noiseTable_(noiseTable), scale_(scale), m_(m), n_(n), sm_(sm), sn_(sn),
          minorHere_(scaled(n)), minorAhead_(scaled(n + sn)), minorBehind_(scaled(n - sn)),
          majorHere_(scaled(m)) {}
    int32_t here() const { return at(minorHere_); }
    int32_t beside(bool behind) const { return at(behind ? minorBehind_ : minorAhead_); }
    void stepMajor() { majorHere_ = scaled(m_ += sm_); }
    void stepMinor() {
        n_ += sn_;
        minorBehind_ = minorHere_;
        minorHere_ = minorAhead_;
        minorAhead_ = scaled(n_ + sn_);
    }

private:
    int32_t scaled(int64_t v) const { return scaledCoordinate(wrapToInt32(v), scale_); }
    int32_t at(int32_t minorScaled) const {
        return (kYMajor ? blockNoiseScaled(noiseTable_, minorScaled, majorHere_)
                        : blockNoiseScaled(noiseTable_, majorHere_, minorScaled)) >> 1;
    }
    const int32_t* noiseTable_;
    int32_t scale_;
    int64_t m_, n_, sm_, sn_;
    int32_t minorHere_, minorAhead_, minorBehind_, majorHere_;
};

// The same points read from a memo that holds every one of them.
class MemoPoints {
public:
    MemoPoints(const uint8_t* cell, ptrdiff_t majorStep, ptrdiff_t minorStep)
        : cell_(cell), majorStep_(majorStep), minorStep_(minorStep) {}
    int32_t here() const { return *cell_; }
    int32_t beside(bool behind) const { return cell_[behind ? -minorStep_ : minorStep_]; }
    void stepMajor() { cell_ += majorStep_; }
    void stepMinor() { cell_ += minorStep_; }

private:
    const uint8_t* cell_;
    ptrdiff_t majorStep_, minorStep_;
};

// The weighted sum of a streak's points. error is twice the ideal line's
// offset from the current pixel along the minor axis, in units of 1/major:
// within (-major, major]. Classic Bresenham: at an exact half (error =
// major) the minor step is not taken; both pixels then weigh the same, so
// the mean does not depend on it. Each step weights the pixel on the line
// and its neighbour on the error's side along the minor axis.
template <class Points>
int64_t streakSum(Points points, int64_t major, int64_t minor) {
    int64_t error = 0, sum = 0;
    for (int64_t i = 0; i <= major; ++i) {
        const int64_t near = 2 * major - (error < 0 ? -error : error);
        const int64_t far = 2 * major - near;
        sum += points.here() * near;
        if (far != 0) sum += points.beside(error < 0) * far;
        points.stepMajor();
        error += 2 * minor;
        if (error > major) {
            points.stepMinor();
            error -= 2 * major;
        }
    }
    return sum;
}

struct StreakLine {
    int64_t dx, dy, sx, sy;
    bool yMajor;
    int64_t major, minor;
};

StreakLine streakLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    StreakLine l;
    l.dx = static_cast<int64_t>(x1) - x0;
    l.dy = static_cast<int64_t>(y1) - y0;
    const int64_t ax = l.dx < 0 ? -l.dx : l.dx, ay = l.dy < 0 ? -l.dy : l.dy;
    l.sx = l.dx < 0 ? -1 : 1;
    l.sy = l.dy < 0 ? -1 : 1;
    l.yMajor = ay >= ax;
    l.major = l.yMajor ? ay : ax;
    l.minor = l.yMajor ? ax : ay;
    return l;
}

int32_t streakMean(int64_t sum, const StreakLine& l) {
    return static_cast<int32_t>(sum / ((l.major + 1) * 2 * l.major));
}

// Whether the memo holds every point of the streak. A step's neighbour lies
// between the line's two nearest pixels, so within the ends' box; the box is
// still widened by one each way to keep the test plainly safe.
bool memoHolds(const StreakMemo& memo, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    const int64_t left = int64_t(std::min(x0, x1)) - 1, right = int64_t(std::max(x0, x1)) + 1;
    const int64_t top = int64_t(std::min(y0, y1)) - 1, bottom = int64_t(std::max(y0, y1)) + 1;
    return left >= memo.left && right < int64_t(memo.left) + memo.width && top >= memo.top &&
           bottom < int64_t(memo.top) + memo.height;
}

}  // namespace

int32_t streakNoise(const int32_t* noiseTable, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                    int32_t scale) {
    const StreakLine l = streakLine(x0, y0, x1, y1);
    if (l.major == 0) return blockNoise(noiseTable, x0, y0, scale) >> 1;
    const int64_t sum = l.yMajor ? streakSum(ComputedPoints<true>(noiseTable, scale, y0, x0, l.sy, l.sx), l.major, l.minor)
                                 : streakSum(ComputedPoints<false>(noiseTable, scale, x0, y0, l.sx, l.sy), l.major, l.minor);
    return streakMean(sum, l);
}

namespace {

// The cells of rows [firstRow, endRow) and columns [firstColumn, endColumn).
void fillStreakCells(const int32_t* noiseTable, const StreakMemo& memo, int32_t firstRow, int32_t endRow,
                     int32_t firstColumn, int32_t endColumn) {
    for (int32_t row = firstRow; row < endRow; ++row) {
        const int32_t b = scaledCoordinate(memo.top + row, memo.scale);
        uint8_t* out = memo.cells + size_t(row) * size_t(memo.width);
        for (int32_t column = firstColumn; column < endColumn; ++column)
            out[column] = uint8_t(blockNoiseScaled(noiseTable, scaledCoordinate(memo.left + column, memo.scale), b) >> 1);
    }
}

// Fills the blocks that hold the box's cells (memo coordinates, within it).
void prepareStreakBlocks(const int32_t* noiseTable, const StreakMemo& memo, int64_t left, int64_t top, int64_t right,
                         int64_t bottom) {
    const int64_t across = (int64_t(memo.width) + kStreakBlockColumns - 1) / kStreakBlockColumns;
    for (int64_t by = top / kStreakBlockRows; by <= bottom / kStreakBlockRows; ++by) {
        for (int64_t bx = left / kStreakBlockColumns; bx <= right / kStreakBlockColumns; ++bx) {
            prepareBlock(memo.blockStates[by * across + bx], [&] {
                const int32_t row = int32_t(by * kStreakBlockRows), column = int32_t(bx * kStreakBlockColumns);
                fillStreakCells(noiseTable, memo, row, std::min(row + kStreakBlockRows, memo.height), column,
                                std::min(column + kStreakBlockColumns, memo.width));
            });
        }
    }
}

}  // namespace

int64_t streakMemoBlockCount(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    return ((int64_t(width) + kStreakBlockColumns - 1) / kStreakBlockColumns) *
           ((int64_t(height) + kStreakBlockRows - 1) / kStreakBlockRows);
}

void fillStreakMemo(const int32_t* noiseTable, StreakMemo* memo, uint8_t* cells) {
    memo->cells = cells;
    memo->blockStates = nullptr;
    fillStreakCells(noiseTable, *memo, 0, memo->height, 0, memo->width);
}

void startLazyStreakMemo(StreakMemo* memo, uint8_t* cells, std::atomic<uint8_t>* states) {
    for (int64_t i = 0; i < streakMemoBlockCount(memo->width, memo->height); ++i)
        states[i].store(kBlockEmpty, std::memory_order_relaxed);
    memo->cells = cells;
    memo->blockStates = states;
}

int32_t streakNoiseWith(const StreakMemo* memo, const int32_t* noiseTable, int32_t x0, int32_t y0, int32_t x1,
                        int32_t y1, int32_t scale) {
    if (!memo || !memo->cells || memo->scale != scale || !memoHolds(*memo, x0, y0, x1, y1))
        return streakNoise(noiseTable, x0, y0, x1, y1, scale);
    if (memo->blockStates != nullptr) {
        // The box memoHolds found inside the memo.
        prepareStreakBlocks(noiseTable, *memo, int64_t(std::min(x0, x1)) - 1 - memo->left,
                            int64_t(std::min(y0, y1)) - 1 - memo->top, int64_t(std::max(x0, x1)) + 1 - memo->left,
                            int64_t(std::max(y0, y1)) + 1 - memo->top);
    }
    const StreakLine l = streakLine(x0, y0, x1, y1);
    const uint8_t* start = memo->cells + (ptrdiff_t(y0) - memo->top) * ptrdiff_t(memo->width) + (x0 - memo->left);
    if (l.major == 0) return *start;
    const ptrdiff_t xStep = ptrdiff_t(l.sx), yStep = ptrdiff_t(l.sy) * memo->width;
    const int64_t sum = l.yMajor ? streakSum(MemoPoints(start, yStep, xStep), l.major, l.minor)
                                 : streakSum(MemoPoints(start, xStep, yStep), l.major, l.minor);
    return streakMean(sum, l);
}

namespace {

#if defined(__SSE2__)
// Streaks longer than this are summed one by one.
constexpr int64_t kMaxStreakTaps = 256;

// A streak's points as offsets from its start cell in the memo, with the
// weights streakSum gives them: each step's point on the line and its
// neighbour (weight 0 where streakSum skips it).
struct StreakTaps {
    int32_t count = 0;
    ptrdiff_t here[kMaxStreakTaps], beside[kMaxStreakTaps];
    int32_t weights[kMaxStreakTaps];  // near | far << 16
};

void streakTaps(const StreakLine& l, ptrdiff_t majorStep, ptrdiff_t minorStep, StreakTaps* taps) {
    const int64_t major = l.major, minor = l.minor;
    int64_t error = 0;
    ptrdiff_t offset = 0;
    taps->count = int32_t(major + 1);
    for (int64_t i = 0; i <= major; ++i) {
        const int64_t near = 2 * major - (error < 0 ? -error : error);
        const int64_t far = 2 * major - near;
        taps->here[i] = offset;
        taps->beside[i] = offset + (error < 0 ? -minorStep : minorStep);
        taps->weights[i] = int32_t(near | (far << 16));
        offset += majorStep;
        error += 2 * minor;
        if (error > major) {
            offset += minorStep;
            error -= 2 * major;
        }
    }
}

inline __m128i loadFour(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(v);
}

// The sums of `lanes` (4 or 8) streaks starting at consecutive cells from
// start: each point and its neighbour are paired in 16-bit lanes and
// weighted by pmaddwd (points 0..255, weights up to 2 major <= 2^15).
template <int kLanes>
void sumStreaks(const uint8_t* start, const StreakTaps& taps, int64_t* sums) {
    const __m128i zero = _mm_setzero_si128();
    __m128i low = zero, high = zero;
    for (int32_t i = 0; i < taps.count; ++i) {
        const __m128i weight = _mm_set1_epi32(taps.weights[i]);
        const uint8_t* h = start + taps.here[i];
        const uint8_t* b = start + taps.beside[i];
        const __m128i here = _mm_unpacklo_epi8(kLanes == 8 ? _mm_loadl_epi64(reinterpret_cast<const __m128i*>(h)) : loadFour(h), zero);
        const __m128i beside = _mm_unpacklo_epi8(kLanes == 8 ? _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b)) : loadFour(b), zero);
        low = _mm_add_epi32(low, _mm_madd_epi16(_mm_unpacklo_epi16(here, beside), weight));
        if (kLanes == 8) high = _mm_add_epi32(high, _mm_madd_epi16(_mm_unpackhi_epi16(here, beside), weight));
    }
    alignas(16) int32_t lanes[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), low);
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes + 4), high);
    for (int j = 0; j < kLanes; ++j) sums[j] = lanes[j];
}
#endif

}  // namespace

bool streakNoiseRow(const StreakMemo* memo, const int32_t* noiseTable, int32_t x0, int32_t y0, int32_t dx,
                    int32_t dy, int32_t scale, int32_t count, int32_t* out) {
    if (!memo || !memo->cells || memo->scale != scale || count < 1) return false;
    // Every streak's box (widened by one, as memoHolds takes it) in one.
    const int64_t first = x0, last = int64_t(x0) + count - 1;
    const int64_t left = std::min(first, first + dx) - 1, right = std::max(last, last + dx) + 1;
    const int64_t top = std::min<int64_t>(y0, int64_t(y0) + dy) - 1, bottom = std::max<int64_t>(y0, int64_t(y0) + dy) + 1;
    if (left < memo->left || right >= int64_t(memo->left) + memo->width || top < memo->top ||
        bottom >= int64_t(memo->top) + memo->height)
        return false;
    if (memo->blockStates != nullptr)
        prepareStreakBlocks(noiseTable, *memo, left - memo->left, top - memo->top, right - memo->left, bottom - memo->top);
    const StreakLine l = streakLine(0, 0, dx, dy);
    const uint8_t* start = memo->cells + (ptrdiff_t(y0) - memo->top) * ptrdiff_t(memo->width) + (x0 - memo->left);
    if (l.major == 0) {
        for (int32_t j = 0; j < count; ++j) out[j] = start[j];
        return true;
    }
    const ptrdiff_t xStep = ptrdiff_t(l.sx), yStep = ptrdiff_t(l.sy) * memo->width;
    int32_t j = 0;
#if defined(__SSE2__)
    if (count >= 4 && l.major < kMaxStreakTaps) {
        StreakTaps taps;
        if (l.yMajor) streakTaps(l, yStep, xStep, &taps);
        else streakTaps(l, xStep, yStep, &taps);
        int64_t sums[8];
        for (; j + 8 <= count; j += 8) {
            sumStreaks<8>(start + j, taps, sums);
            for (int k = 0; k < 8; ++k) out[j + k] = streakMean(sums[k], l);
        }
        for (; j + 4 <= count; j += 4) {
            sumStreaks<4>(start + j, taps, sums);
            for (int k = 0; k < 4; ++k) out[j + k] = streakMean(sums[k], l);
        }
    }
#endif
    // The rest one by one, from the same cells.
    for (; j < count; ++j) {
        const int64_t sum = l.yMajor ? streakSum(MemoPoints(start + j, yStep, xStep), l.major, l.minor)
                                     : streakSum(MemoPoints(start + j, xStep, yStep), l.major, l.minor);
        out[j] = streakMean(sum, l);
    }
    return true;
}

}  // namespace lumenfall
