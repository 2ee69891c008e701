#include "kernels/sun_surface.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "kernels/cpu_features.h"
#include "kernels/lazy_blocks.h"
#include "kernels/numeric_bounds.h"

#if LUMENFALL_WIDE_VECTORS
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumenfall {

SurfaceTables surfaceTablesFrom(const ParameterBlock& block, const SunTables& tables) {
    const DerivedValues& d = block.derived;
    SurfaceTables t;
    t.noise = tables.noiseTable;
    t.smoothstep = d.smoothstepTable;
    t.detailLevel = d.detailLevel;
    t.smearStride = d.smearStride < 1 ? 1 : d.smearStride;
    t.swirlRadius = d.swirlRadius == 0 ? 1 : d.swirlRadius;
    t.swirlStrength = d.swirlStrength;
    t.swirlCount = clampInt32(block.sunSwirlCount, 0, 100);
    t.vortices = switchOn(block.vortices);
    t.monopoles = switchOn(block.monopoles);
    t.centresX = d.swirlCentresX;
    t.centresY = d.swirlCentresY;
    t.memo = SurfaceMemo{nullptr, 0};
    return t;
}

void limitSmearWalk(SurfaceTables& tables, int32_t sunSmear, int32_t sunRadiusPixels) {
    tables.smearBeyondRange = sunSmear < -100 || sunSmear > 100;
    if (!tables.smearBeyondRange) return;
    // The render tables' strength formula, at smear 100 (or -100).
    const double radius = double(sunRadiusPixels < 1 ? 1 : sunRadiusPixels);
    // At most 80000 in size: a plain conversion.
    tables.strengthAt100 = static_cast<int32_t>(double(sunSmear < 0 ? -400 : 400) / (radius / 200.0));
}

int32_t latticeOctave(const SurfaceTables& tables, uint32_t x, uint32_t y, uint32_t scale,
                      uint32_t offset, uint32_t base) {
    uint32_t sx = ((x + offset) * scale) & 0xFFFFFu;
    uint32_t sy = ((y + offset) * scale) & 0xFFFFFu;
    uint32_t cellX = sx >> 9, cellY = sy >> 9;
    int32_t wx = tables.smoothstep[sx & 511];
    int32_t wy = tables.smoothstep[sy & 511];
    // 29 and 37 are the hash steps of one cell along x and y, 66 their sum.
    uint32_t h = cellX * 29u + cellY * 37u + base;
    const int32_t* n = tables.noise;
    int32_t n0 = n[h & 2047], n29 = n[(h + 29) & 2047];
    int32_t n37 = n[(h + 37) & 2047], n66 = n[(h + 66) & 2047];
    int32_t row0 = (n29 * wx + n0 * (511 - wx)) >> 5;
    int32_t row1 = (n66 * wx + n37 * (511 - wx)) >> 5;
    return (row0 * (511 - wy) + row1 * wy) >> 7;
}

int32_t sunNoise(const SurfaceTables& tables, int32_t x, int32_t y) {
    uint32_t ux = static_cast<uint32_t>(x), uy = static_cast<uint32_t>(y);
    int32_t a = latticeOctave(tables, ux, uy, 16, 4, 0);
    int32_t b = latticeOctave(tables, ux, uy, 4, 1, 1136);
    int32_t c = latticeOctave(tables, ux, uy, 1, 1, 403);
    int32_t d = latticeOctave(tables, ux & 0x1FFFFu, uy & 0x1FFFFu, 8, 0, 184);
    int32_t v = (a + 2 * b + c) * 5 + 7 * d - 221184;
    if (tables.detailLevel == 1) {
        v += 3 * latticeOctave(tables, ux, uy, 32, 3, 885) - 24576;
    } else if (tables.detailLevel == 2) {
        v += 3 * latticeOctave(tables, ux, uy, 32, 3, 1456) +
             2 * latticeOctave(tables, ux, uy, 64, 2, 175) - 40960;
    }
    int32_t t = shiftRight(v, 9) - 25;
    return t < 0 ? -t : t;
}

bool fillNoiseRunTables(const int32_t noise[2048], const int32_t smoothstep[512], NoiseRunTables* runs) {
    for (int32_t i = 0; i < 2048; ++i)
        if (noise[i] < 0 || noise[i] > 255) return false;
    for (int32_t i = 0; i < 512; ++i)
        if (smoothstep[i] < 0 || smoothstep[i] > 511) return false;
    for (int32_t i = 0; i < kWrappedNoiseEntries; ++i) runs->wrapped[i] = noise[i & 2047];
    int32_t* pairs = runs->weightPairs;
    for (int32_t k = 0; k <= 6; ++k) {
        const int32_t points = 512 >> k;
        for (int32_t j = 0; j < points + kNoiseRunBlock; ++j) {
            const int32_t w = smoothstep[(j % points) << k];
            *pairs++ = (511 - w) | (w << 16);
        }
    }
    return true;
}

namespace {

// latticeOctave taken apart: each axis gives the hash step of the point's
// cell and its smoothstep weight; the scales are powers of two, so each
// multiplies as a shift.
struct OctaveAxis {
    uint32_t hash;
    int32_t weight;
};

template <uint32_t kShift, uint32_t kOffset>
inline OctaveAxis octaveAxis(const int32_t* smoothstep, uint32_t v, uint32_t step) {
    const uint32_t s = ((v + kOffset) << kShift) & 0xFFFFFu;
    return OctaveAxis{(s >> 9) * step, smoothstep[s & 511]};
}

// One coordinate's part of every octave sunNoise reads (the finer ones
// only at the detail levels that read them).
struct NoiseAxes {
    OctaveAxis a, b, c, d, fine32, fine64;
};

template <int32_t kLevel>
inline NoiseAxes noiseAxes(const int32_t* w, uint32_t v, uint32_t step) {
    NoiseAxes axes;
    axes.a = octaveAxis<4, 4>(w, v, step);
    axes.b = octaveAxis<2, 1>(w, v, step);
    axes.c = octaveAxis<0, 1>(w, v, step);
    axes.d = octaveAxis<3, 0>(w, v & 0x1FFFFu, step);
    if (kLevel >= 1) axes.fine32 = octaveAxis<5, 3>(w, v, step);
    if (kLevel == 2) axes.fine64 = octaveAxis<6, 2>(w, v, step);
    return axes;
}

inline int32_t octaveOf(const int32_t* wrapped, OctaveAxis ax, OctaveAxis ay, uint32_t base) {
    const int32_t* n = wrapped + ((ax.hash + ay.hash + base) & 2047u);
    const int32_t wx = ax.weight, wy = ay.weight;
    const int32_t row0 = (n[29] * wx + n[0] * (511 - wx)) >> 5;
    const int32_t row1 = (n[66] * wx + n[37] * (511 - wx)) >> 5;
    return (row0 * (511 - wy) + row1 * wy) >> 7;
}

template <int32_t kLevel>
inline int32_t noiseOf(const int32_t* n, const NoiseAxes& x, const NoiseAxes& y) {
    const int32_t a = octaveOf(n, x.a, y.a, 0);
    const int32_t b = octaveOf(n, x.b, y.b, 1136);
    const int32_t c = octaveOf(n, x.c, y.c, 403);
    const int32_t d = octaveOf(n, x.d, y.d, 184);
    int32_t v = (a + 2 * b + c) * 5 + 7 * d - 221184;
    if (kLevel == 1) {
        v += 3 * octaveOf(n, x.fine32, y.fine32, 885) - 24576;
    } else if (kLevel == 2) {
        v += 3 * octaveOf(n, x.fine32, y.fine32, 1456) + 2 * octaveOf(n, x.fine64, y.fine64, 175) - 40960;
    }
    const int32_t t = shiftRight(v, 9) - 25;
    return t < 0 ? -t : t;
}

// Point by point: for runs too short to pay for the blocks below.
template <int32_t kLevel>
void noisePointsAt(const SurfaceTables& tables, uint32_t x, uint32_t y, int32_t count, int32_t* out) {
    const int32_t* w = tables.smoothstep;
    const NoiseAxes alongY = noiseAxes<kLevel>(w, y, 37u);
    for (int32_t i = 0; i < count; ++i) {
        out[i] = noiseOf<kLevel>(tables.noiseRuns->wrapped, noiseAxes<kLevel>(w, x + static_cast<uint32_t>(i), 29u),
                                 alongY);
    }
}

#if defined(__SSE2__)

// A block of up to kNoiseRunBlock points from x along a row, four points
// to a vector. The sum (a + 2 b + c) 5 + 7 d (+ the finer octaves) is
// taken octave by octave, each octave blended in 16-bit lanes, where
// pmaddwd forms n0 (511 - w) + n29 w in one step: noise values 0..255
// and weights 0..511 fit, and so do the rows (0..4072) blended along y.
struct NoiseBlock {
    __m128i sum[kNoiseRunBlock / 4];
};

// One octave at scale 2^kShift: the points between two lattice lines share
// their cell's four corners, read once per stretch of points; the 20-bit
// lattice wraps at a multiple of 512, and so does the fourth octave's
// 17-bit coordinate, so a wrap always ends a stretch.
template <uint32_t kShift, uint32_t kOffset, bool kMasked>
inline void addOctaveBlock(const NoiseRunTables& runs, uint32_t x, int32_t count, OctaveAxis ay, uint32_t base,
                           int32_t weight, NoiseBlock* block) {
    constexpr uint32_t kPoints = 512u >> kShift;
    constexpr int32_t kPairsAt = int32_t(1024u - (1024u >> kShift)) + int32_t(kShift) * kNoiseRunBlock;
    alignas(16) int32_t top[kNoiseRunBlock], bottom[kNoiseRunBlock];
    for (int32_t i = 0; i < count;) {
        const uint32_t v = kMasked ? (x + uint32_t(i)) & 0x1FFFFu : x + uint32_t(i);
        const uint32_t s = ((v + kOffset) << kShift) & 0xFFFFFu;
        const int32_t stretch = std::min<int32_t>(count - i, int32_t((511u - (s & 511u)) >> kShift) + 1);
        const int32_t* n = runs.wrapped + (((s >> 9) * 29u + ay.hash + base) & 2047u);
        const int32_t topPair = n[0] | (n[29] << 16), bottomPair = n[37] | (n[66] << 16);
        for (const int32_t end = i + stretch; i < end; ++i) {
            top[i] = topPair;
            bottom[i] = bottomPair;
        }
    }
    // The lanes past the run are blended too, and dropped.
    for (int32_t i = count; i % 4 != 0; ++i) top[i] = bottom[i] = 0;
    // The weight of point i is pair (x + offset + i) mod kPoints of the
    // scale; the 17-bit mask keeps the low bits that choose it.
    const int32_t* pairs = runs.weightPairs + kPairsAt + ((x + kOffset) & (kPoints - 1));
    const __m128i alongY = _mm_set1_epi32((511 - ay.weight) | (ay.weight << 16));
    const __m128i times = _mm_set1_epi32(weight);
    for (int32_t g = 0; g * 4 < count; ++g) {
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pairs + 4 * g));
        const __m128i row0 = _mm_srai_epi32(_mm_madd_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(top + 4 * g)), w), 5);
        const __m128i row1 =
            _mm_srai_epi32(_mm_madd_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(bottom + 4 * g)), w), 5);
        const __m128i octave = _mm_srai_epi32(_mm_madd_epi16(_mm_or_si128(row0, _mm_slli_epi32(row1, 16)), alongY), 7);
        block->sum[g] = _mm_add_epi32(block->sum[g], _mm_madd_epi16(octave, times));
    }
}

template <int32_t kLevel>
void noiseBlockAt(const SurfaceTables& tables, uint32_t x, const NoiseAxes& alongY, int32_t count, int32_t* out) {
    const NoiseRunTables& runs = *tables.noiseRuns;
    int32_t constant = -221184;
    if (kLevel == 1) constant -= 24576;
    if (kLevel == 2) constant -= 40960;
    NoiseBlock block;
    for (__m128i& sum : block.sum) sum = _mm_set1_epi32(constant);
    addOctaveBlock<4, 4, false>(runs, x, count, alongY.a, 0, 5, &block);
    addOctaveBlock<2, 1, false>(runs, x, count, alongY.b, 1136, 10, &block);
    addOctaveBlock<0, 1, false>(runs, x, count, alongY.c, 403, 5, &block);
    addOctaveBlock<3, 0, true>(runs, x, count, alongY.d, 184, 7, &block);
    if (kLevel == 1) addOctaveBlock<5, 3, false>(runs, x, count, alongY.fine32, 885, 3, &block);
    if (kLevel == 2) {
        addOctaveBlock<5, 3, false>(runs, x, count, alongY.fine32, 1456, 3, &block);
        addOctaveBlock<6, 2, false>(runs, x, count, alongY.fine64, 175, 2, &block);
    }
    // |(v >> 9) - 25|, v >> 9 rounding down as shiftRight does.
    alignas(16) int32_t folded[kNoiseRunBlock];
    const __m128i offset = _mm_set1_epi32(25);
    for (int32_t g = 0; g * 4 < count; ++g) {
        const __m128i t = _mm_sub_epi32(_mm_srai_epi32(block.sum[g], 9), offset);
        const __m128i sign = _mm_srai_epi32(t, 31);
        _mm_store_si128(reinterpret_cast<__m128i*>(folded + 4 * g), _mm_sub_epi32(_mm_xor_si128(t, sign), sign));
    }
    std::copy(folded, folded + count, out);
}

template <int32_t kLevel>
void noiseRunAt(const SurfaceTables& tables, uint32_t x, uint32_t y, int32_t count, int32_t* out) {
    if (count < 4) {
        noisePointsAt<kLevel>(tables, x, y, count, out);
        return;
    }
    const NoiseAxes alongY = noiseAxes<kLevel>(tables.smoothstep, y, 37u);
    for (int32_t done = 0; done < count; done += kNoiseRunBlock) {
        noiseBlockAt<kLevel>(tables, x + uint32_t(done), alongY, std::min(count - done, kNoiseRunBlock), out + done);
    }
}

#else

template <int32_t kLevel>
void noiseRunAt(const SurfaceTables& tables, uint32_t x, uint32_t y, int32_t count, int32_t* out) {
    noisePointsAt<kLevel>(tables, x, y, count, out);
}

#endif

}  // namespace

void sunNoiseRun(const SurfaceTables& tables, int32_t x, int32_t y, int32_t count, int32_t* out) {
    const uint32_t ux = static_cast<uint32_t>(x), uy = static_cast<uint32_t>(y);
    if (tables.detailLevel == 1) noiseRunAt<1>(tables, ux, uy, count, out);
    else if (tables.detailLevel == 2) noiseRunAt<2>(tables, ux, uy, count, out);
    else noiseRunAt<0>(tables, ux, uy, count, out);
}

namespace {

// The noise at one point, through the noise's runs where the wrapped table
// is at hand.
int32_t pointNoise(const SurfaceTables& tables, int32_t x, int32_t y) {
    if (tables.noiseRuns == nullptr) return sunNoise(tables, x, y);
    int32_t value;
    sunNoiseRun(tables, x, y, 1, &value);
    return value;
}

// The noise at cell (x, y) of the memo, which is empty. Lines of stride 1
// read the cells beside it soon after, so with the wrapped table the whole
// run of cells about it is filled (clipped to its row); lines of longer
// strides skip most of them, and only the one cell is.
[[gnu::noinline]] int32_t fillMemo(const SurfaceTables& tables, int64_t x, int64_t y) {
    const SurfaceMemo& memo = tables.memo;
    const int64_t side = 2 * int64_t(memo.half);
    std::atomic<uint16_t>* row = memo.cells + size_t(y + memo.half) * size_t(side);
    const int64_t column = x + memo.half;
    if (tables.noiseRuns == nullptr || tables.smearStride != 1) {
        const int32_t value = pointNoise(tables, int32_t(x), int32_t(y));
        if (value >= 0 && value < kEmptyNoise) row[column].store(uint16_t(value), std::memory_order_relaxed);
        return value;
    }
    const int64_t first = column - column % kMemoRunCells;
    const int32_t count = int32_t(std::min<int64_t>(kMemoRunCells, side - first));
    int32_t values[kMemoRunCells];
    sunNoiseRun(tables, int32_t(first - memo.half), int32_t(y), count, values);
    for (int32_t i = 0; i < count; ++i) {
        if (values[i] >= 0 && values[i] < kEmptyNoise)
            row[first + i].store(uint16_t(values[i]), std::memory_order_relaxed);
    }
    return values[column - first];
}

// smearedTexture where every point of the line lies in the memo: the walk
// steps through the memo's cells themselves. False (and nothing done) when
// the line may leave the memo.
bool smearThroughMemo(const SurfaceTables& tables, int64_t x0, int64_t y0, int64_t x1, int64_t y1,
                      int64_t stepLimit, int32_t* mean) {
    const SurfaceMemo& memo = tables.memo;
    const int64_t stride = tables.smearStride;
    const int64_t dx = x1 - x0, dy = y1 - y0;
    const int64_t ax = dx < 0 ? -dx : dx, ay = dy < 0 ? -dy : dy;
    const bool yMajor = ay >= ax;
    const int64_t major = yMajor ? ay : ax;
    const int64_t minor = yMajor ? ax : ay;
    // The steps walkSmearLine takes. Its last step may pass the end by less
    // than a stride along the major axis, and its minor steps by less than
    // two strides (the Bresenham error keeps them within half a step of
    // the ideal line): a margin of two strides holds every point.
    int64_t steps = stride > 0 ? (major + stride - 1) / stride : 0;
    steps = std::max<int64_t>(0, std::min(steps, stepLimit));
    const int64_t margin = 2 * stride;
    const int64_t inside = int64_t(memo.half) - 1;
    if (stride < 1 || std::min(x0, x1) - margin < -inside || std::max(x0, x1) + margin > inside ||
        std::min(y0, y1) - margin < -inside || std::max(y0, y1) + margin > inside)
        return false;
    const int64_t side = 2 * int64_t(memo.half);
    // Every row the walk (and the runs it fills) may reach.
    prepareMemoRows(memo, std::min(y0, y1) - margin + memo.half, std::max(y0, y1) + margin + memo.half);
    std::atomic<uint16_t>* const cells = memo.cells;
    const int64_t stepX = (dx < 0 ? -stride : stride), stepY = (dy < 0 ? -stride : stride) * side;
    const int64_t majorStep = yMajor ? stepY : stepX;
    const int64_t minorStep = yMajor ? stepX : stepY;
    int64_t at = (y0 + memo.half) * side + (x0 + memo.half);
    auto valueAt = [&](int64_t cell) -> int32_t {
        const uint16_t known = cells[cell].load(std::memory_order_relaxed);
        if (known != kEmptyNoise) return known;
        return fillMemo(tables, cell % side - memo.half, cell / side - memo.half);
    };
    int64_t sum = valueAt(at);
    int64_t error = 2 * minor - major;
    for (int64_t i = 0; i < steps; ++i) {
        at += majorStep;
        // Classic Bresenham, as walkSmearLine: a minor step only above 0.
        if (error > 0) {
            at += minorStep;
            error -= 2 * major;
        }
        error += 2 * minor;
        sum += valueAt(at);
    }
    *mean = static_cast<int32_t>(sum / (steps + 1));
    return true;
}

}  // namespace

int32_t rememberedNoise(const SurfaceTables& tables, int32_t x, int32_t y) {
    const SurfaceMemo& memo = tables.memo;
    const int64_t half = memo.half;
    if (memo.cells == nullptr || x <= -half || x >= half || y <= -half || y >= half) return pointNoise(tables, x, y);
    prepareMemoRows(memo, int64_t(y) + half, int64_t(y) + half);
    const uint16_t known =
        memo.cells[size_t(int64_t(y) + half) * size_t(2 * half) + size_t(int64_t(x) + half)].load(std::memory_order_relaxed);
    if (known != kEmptyNoise) return known;
    return fillMemo(tables, x, y);
}

namespace {

std::atomic<uint8_t>* bandStates(const SurfaceMemo& memo) {
    return reinterpret_cast<std::atomic<uint8_t>*>(memo.cells + surfaceMemoCells(memo.half));
}

void clearBand(const SurfaceMemo& memo, size_t band) {
    const size_t side = size_t(2 * memo.half);
    const size_t first = band * kMemoBandRows;
    const size_t rows = std::min<size_t>(kMemoBandRows, side - first);
    // The cells are plain 16-bit values (asserted in the header) and no
    // thread reads this band before it is ready: every byte 0xFF makes
    // every cell kEmptyNoise at memset's pace.
    static_assert(kEmptyNoise == 0xFFFF, "an empty cell is all ones");
    std::memset(static_cast<void*>(memo.cells + first * side), 0xFF, rows * side * sizeof(uint16_t));
}

}  // namespace

void clearSurfaceMemo(const SurfaceMemo& memo) {
    if (!memo.cells) return;
    std::memset(static_cast<void*>(bandStates(memo)), kBlockEmpty, surfaceMemoBandCount(memo.half));
}

void prepareMemoRows(const SurfaceMemo& memo, int64_t first, int64_t last) {
    const int64_t side = 2 * int64_t(memo.half);
    first = std::max<int64_t>(first, 0);
    last = std::min<int64_t>(last, side - 1);
    if (memo.cells == nullptr || first > last) return;
    std::atomic<uint8_t>* states = bandStates(memo);
    for (size_t band = size_t(first / kMemoBandRows); band <= size_t(last / kMemoBandRows); ++band)
        prepareBlock(states[band], [&] { clearBand(memo, band); });
}

int32_t smearedTexture(const SurfaceTables& tables, int64_t x0, int64_t y0, int64_t x1,
                       int64_t y1, int64_t stepLimit) {
    int32_t mean;
    if (tables.memo.cells != nullptr && smearThroughMemo(tables, x0, y0, x1, y1, stepLimit, &mean)) return mean;
    int64_t sum = 0;
    // Coordinates beyond 32 bits wrap like the texture itself.
    int64_t count = walkSmearLine(
        x0, y0, x1, y1, tables.smearStride,
        [&](int64_t x, int64_t y) { sum += rememberedNoise(tables, wrapToInt32(x), wrapToInt32(y)); },
        stepLimit);
    return static_cast<int32_t>(sum / count);
}

namespace {

int64_t floorDivide(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

bool buildSwirlGrid(const SurfaceTables& tables, SwirlGrid* grid) {
    const int32_t count = tables.swirlCount;
    const int64_t radius = tables.swirlRadius;
    if (count <= 0 || count > 128 || radius < 1) return false;
    int64_t minX = INT64_MAX, minY = INT64_MAX, maxX = INT64_MIN, maxY = INT64_MIN;
    for (int32_t i = 0; i < count; ++i) {
        minX = std::min<int64_t>(minX, tables.centresX[i]);
        maxX = std::max<int64_t>(maxX, tables.centresX[i]);
        minY = std::min<int64_t>(minY, tables.centresY[i]);
        maxY = std::max<int64_t>(maxY, tables.centresY[i]);
    }
    grid->originX = minX - (radius - 1);
    grid->originY = minY - (radius - 1);
    const int64_t extent = std::max(maxX - minX, maxY - minY) + 2 * (radius - 1) + 1;
    grid->cell = (extent + kSwirlGridSide - 1) / kSwirlGridSide;
    std::memset(grid->swirls, 0, sizeof grid->swirls);
    for (int32_t i = 0; i < count; ++i) {
        const int64_t firstX = (tables.centresX[i] - (radius - 1) - grid->originX) / grid->cell;
        const int64_t lastX = (tables.centresX[i] + (radius - 1) - grid->originX) / grid->cell;
        const int64_t firstY = (tables.centresY[i] - (radius - 1) - grid->originY) / grid->cell;
        const int64_t lastY = (tables.centresY[i] + (radius - 1) - grid->originY) / grid->cell;
        for (int64_t gy = firstY; gy <= lastY; ++gy)
            for (int64_t gx = firstX; gx <= lastX; ++gx) grid->swirls[gy][gx][i >> 6] |= uint64_t(1) << (i & 63);
    }
    return true;
}

namespace {

// Whether swirl i reaches the point (x, y), and then (ex, ey) its offset
// from the swirl's centre, q = 1 / sqrt(ex^2 + ey^2) and reach =
// q (ex^2 + ey^2), whose truncation is the distance (trunc(reach) < radius
// exactly when reach < radius, as radius is whole).
struct SwirlReach {
    int64_t ex, ey;
    double q, reach;
};
inline bool swirlReaches(const SurfaceTables& tables, int32_t i, int32_t x, int32_t y, SwirlReach* at) {
    const int64_t radius = tables.swirlRadius;
    const int64_t ex = static_cast<int64_t>(x) - tables.centresX[i];
    const int64_t ey = static_cast<int64_t>(y) - tables.centresY[i];
    if (!((ex < 0 ? -ex : ex) < radius && (ey < 0 ? -ey : ey) < radius) || (ex == 0 && ey == 0)) return false;
    const double squared = static_cast<double>(ex * ex + ey * ey);
    const double q = 1.0 / std::sqrt(squared);
    const double reach = q * squared;
    *at = SwirlReach{ex, ey, q, reach};
    return reach < static_cast<double>(radius);
}

// Calls visit(i) for each swirl i whose bit is set in `reaching` (the
// swirls of a grid cell), in order.
template <typename Visit>
inline void forSwirlBits(const SurfaceTables& tables, const uint64_t reaching[2], Visit visit) {
    const int32_t count = tables.swirlCount;
    for (int word = 0; word < 2; ++word) {
        for (uint64_t bits = reaching[word]; bits != 0; bits &= bits - 1) {
            const int32_t i = word * 64 + __builtin_ctzll(bits);
            if (i >= count) return;
            visit(i);
        }
    }
}

// swirlDisplacement's pushes of the swirls of a grid cell, with the
// truncations taken by conversions to integers and back: exact, as
// |reach| < radius < 2^31 and |e radius q| <= radius. A zero may lose its
// sign, but every zero it meets is added to a whole number from an integer
// (+0), so no sign survives.
#if defined(__SSE2__)
// The x and y parts travel together in one vector: the same operations,
// lane by lane, as the scalar push. A vortex turns the push (ux, uy) into
// (-uy, ux): dispX - uy is dispX + (-uy) exactly. Bounding to 32 bits and
// then truncating gives what saturateToInt32 gives to a number (the sums
// are never NaN: every term is finite).
SwirlPush gridSwirlDisplacement(const SurfaceTables& tables, const uint64_t reaching[2], int32_t x, int32_t y,
                                double k) {
    const int64_t radius = tables.swirlRadius;
    const __m128d radiusD = _mm_set1_pd(static_cast<double>(radius));
    const __m128d strength = _mm_set1_pd(k);
    const __m128d lowest = _mm_set1_pd(-2147483648.0), highest = _mm_set1_pd(2147483647.0);
    const __m128d negateLow = _mm_set_pd(0.0, -0.0);
    // The swirl's parity picks the sign of g and its kind whether the push
    // turns: both are taken by masks, as a branch on them is mispredicted
    // about every other swirl. radius - d is -(d - radius) exactly.
    const __m128d signOf[2] = {_mm_setzero_pd(), _mm_set1_pd(-0.0)};
    const __m128d allOnes = _mm_castsi128_pd(_mm_set1_epi32(-1));
    const __m128d turnsOf[2] = {tables.monopoles ? _mm_setzero_pd() : allOnes,
                                !tables.vortices ? _mm_setzero_pd() : allOnes};
    __m128d disp = _mm_setzero_pd();
    forSwirlBits(tables, reaching, [&](int32_t i) {
        SwirlReach at;
        if (!swirlReaches(tables, i, x, y, &at)) return;
        const __m128d distance = _mm_cvtepi32_pd(_mm_cvttpd_epi32(_mm_set1_pd(at.reach)));
        const __m128d g = _mm_xor_pd(_mm_sub_pd(distance, radiusD), signOf[i & 1]);
        const __m128d along = _mm_set_pd(static_cast<double>(at.ey * radius), static_cast<double>(at.ex * radius));
        const __m128d whole = _mm_cvtepi32_pd(_mm_cvttpd_epi32(_mm_mul_pd(along, _mm_set1_pd(at.q))));
        const __m128d straight = _mm_mul_pd(_mm_mul_pd(whole, strength), g);
        const __m128d turned = _mm_xor_pd(_mm_shuffle_pd(straight, straight, 1), negateLow);  // (-uy, ux)
        const __m128d turns = turnsOf[(i >> 1) & 1];
        const __m128d push = _mm_or_pd(_mm_and_pd(turns, turned), _mm_andnot_pd(turns, straight));
        const __m128d sum = _mm_min_pd(_mm_max_pd(_mm_add_pd(disp, push), lowest), highest);
        disp = _mm_cvtepi32_pd(_mm_cvttpd_epi32(sum));
    });
    const __m128i whole = _mm_cvttpd_epi32(disp);
    return {_mm_cvtsi128_si32(whole), _mm_cvtsi128_si32(_mm_srli_si128(whole, 4))};
}

// Radii up to this keep every offset's squared length below 2^53 within
// the box |ex|, |ey| < radius: doubles then hold it, and each product and
// sum below, exactly.
constexpr int64_t kLaneRadiusLimit = int64_t(1) << 26;

// The pushes of two points, a lane each, from the swirls of `reaching`
// (every swirl that reaches either): the same operations as the push
// above, lane by lane, in the same order. Each
// swirl's square root and division serve both points, and the x and y
// sums of both run side by side. A lane the swirl does not reach adds a
// zero, which leaves its whole-number sum as it is.
void gridSwirlDisplacementPair(const SurfaceTables& tables, const uint64_t reaching[2], const int32_t x[2],
                               const int32_t y[2], double k, SwirlPush out[2]) {
    const double radius = static_cast<double>(tables.swirlRadius);
    const __m128d radiusD = _mm_set1_pd(radius);
    const __m128d strength = _mm_set1_pd(k);
    const __m128d lowest = _mm_set1_pd(-2147483648.0), highest = _mm_set1_pd(2147483647.0);
    const __m128d signBits = _mm_set1_pd(-0.0), zero = _mm_setzero_pd(), one = _mm_set1_pd(1.0);
    const __m128d allOnes = _mm_castsi128_pd(_mm_set1_epi32(-1));
    const __m128d signOf[2] = {zero, signBits};
    const __m128d turnsOf[2] = {tables.monopoles ? zero : allOnes, !tables.vortices ? zero : allOnes};
    const __m128d px = _mm_set_pd(double(x[1]), double(x[0])), py = _mm_set_pd(double(y[1]), double(y[0]));
    __m128d dispX = zero, dispY = zero;
    forSwirlBits(tables, reaching, [&](int32_t i) {
        const __m128d ex = _mm_sub_pd(px, _mm_set1_pd(double(tables.centresX[i])));
        const __m128d ey = _mm_sub_pd(py, _mm_set1_pd(double(tables.centresY[i])));
        const __m128d inBox = _mm_and_pd(_mm_cmplt_pd(_mm_andnot_pd(signBits, ex), radiusD),
                                         _mm_cmplt_pd(_mm_andnot_pd(signBits, ey), radiusD));
        const __m128d squared = _mm_add_pd(_mm_mul_pd(ex, ex), _mm_mul_pd(ey, ey));
        const __m128d q = _mm_div_pd(one, _mm_sqrt_pd(squared));
        const __m128d reach = _mm_mul_pd(q, squared);
        // On the centre, reach is 0 times infinity, not a number: no push.
        const __m128d reaches = _mm_and_pd(inBox, _mm_cmplt_pd(reach, radiusD));
        if (_mm_movemask_pd(reaches) == 0) return;
        const __m128d distance = _mm_cvtepi32_pd(_mm_cvttpd_epi32(_mm_and_pd(reaches, reach)));
        const __m128d g = _mm_xor_pd(_mm_sub_pd(distance, radiusD), signOf[i & 1]);
        const __m128d wholeX = _mm_cvtepi32_pd(_mm_cvttpd_epi32(_mm_and_pd(reaches, _mm_mul_pd(_mm_mul_pd(ex, radiusD), q))));
        const __m128d wholeY = _mm_cvtepi32_pd(_mm_cvttpd_epi32(_mm_and_pd(reaches, _mm_mul_pd(_mm_mul_pd(ey, radiusD), q))));
        // A lane it does not reach has whole parts 0, so pushes of +-0.
        const __m128d ux = _mm_mul_pd(_mm_mul_pd(wholeX, strength), g);
        const __m128d uy = _mm_mul_pd(_mm_mul_pd(wholeY, strength), g);
        const __m128d turns = turnsOf[(i >> 1) & 1];
        const __m128d pushX = _mm_or_pd(_mm_and_pd(turns, _mm_xor_pd(uy, signBits)), _mm_andnot_pd(turns, ux));
        const __m128d pushY = _mm_or_pd(_mm_and_pd(turns, ux), _mm_andnot_pd(turns, uy));
        dispX = _mm_cvtepi32_pd(_mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(_mm_add_pd(dispX, pushX), lowest), highest)));
        dispY = _mm_cvtepi32_pd(_mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(_mm_add_pd(dispY, pushY), lowest), highest)));
    });
    const __m128i wholeX = _mm_cvttpd_epi32(dispX), wholeY = _mm_cvttpd_epi32(dispY);
    out[0] = {_mm_cvtsi128_si32(wholeX), _mm_cvtsi128_si32(wholeY)};
    out[1] = {_mm_cvtsi128_si32(_mm_srli_si128(wholeX, 4)), _mm_cvtsi128_si32(_mm_srli_si128(wholeY, 4))};
}
#if LUMENFALL_WIDE_VECTORS
// The pushes of four points, a lane each, from the swirls of `reaching`
// (every swirl that reaches any of them): the pair's operations in vectors
// twice as wide.
[[gnu::target("avx")]] void gridSwirlDisplacementQuad(const SurfaceTables& tables, const uint64_t reaching[2],
                                                      const int32_t x[4], const int32_t y[4], double k,
                                                      SwirlPush out[4]) {
    const double radius = static_cast<double>(tables.swirlRadius);
    const __m256d radiusD = _mm256_set1_pd(radius);
    const __m256d strength = _mm256_set1_pd(k);
    const __m256d lowest = _mm256_set1_pd(-2147483648.0), highest = _mm256_set1_pd(2147483647.0);
    const __m256d signBits = _mm256_set1_pd(-0.0), zero = _mm256_setzero_pd(), one = _mm256_set1_pd(1.0);
    const __m256d allOnes = _mm256_castsi256_pd(_mm256_set1_epi32(-1));
    const __m256d signOf[2] = {zero, signBits};
    const __m256d turnsOf[2] = {tables.monopoles ? zero : allOnes, !tables.vortices ? zero : allOnes};
    const __m256d px = _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x)));
    const __m256d py = _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y)));
    __m256d dispX = zero, dispY = zero;
    // The loop of forSwirlBits written out: a lambda would not be compiled
    // for AVX.
    const int32_t count = tables.swirlCount;
    for (int word = 0; word < 2; ++word) {
        for (uint64_t bits = reaching[word]; bits != 0; bits &= bits - 1) {
            const int32_t i = word * 64 + __builtin_ctzll(bits);
            if (i >= count) break;
            const __m256d ex = _mm256_sub_pd(px, _mm256_set1_pd(double(tables.centresX[i])));
            const __m256d ey = _mm256_sub_pd(py, _mm256_set1_pd(double(tables.centresY[i])));
            const __m256d inBox = _mm256_and_pd(_mm256_cmp_pd(_mm256_andnot_pd(signBits, ex), radiusD, _CMP_LT_OQ),
                                                _mm256_cmp_pd(_mm256_andnot_pd(signBits, ey), radiusD, _CMP_LT_OQ));
            const __m256d squared = _mm256_add_pd(_mm256_mul_pd(ex, ex), _mm256_mul_pd(ey, ey));
            const __m256d q = _mm256_div_pd(one, _mm256_sqrt_pd(squared));
            const __m256d reach = _mm256_mul_pd(q, squared);
            // On the centre, reach is 0 times infinity, not a number: no push.
            const __m256d reaches = _mm256_and_pd(inBox, _mm256_cmp_pd(reach, radiusD, _CMP_LT_OQ));
            if (_mm256_movemask_pd(reaches) == 0) continue;
            const __m256d distance = _mm256_cvtepi32_pd(_mm256_cvttpd_epi32(_mm256_and_pd(reaches, reach)));
            const __m256d g = _mm256_xor_pd(_mm256_sub_pd(distance, radiusD), signOf[i & 1]);
            const __m256d wholeX = _mm256_cvtepi32_pd(
                _mm256_cvttpd_epi32(_mm256_and_pd(reaches, _mm256_mul_pd(_mm256_mul_pd(ex, radiusD), q))));
            const __m256d wholeY = _mm256_cvtepi32_pd(
                _mm256_cvttpd_epi32(_mm256_and_pd(reaches, _mm256_mul_pd(_mm256_mul_pd(ey, radiusD), q))));
            const __m256d ux = _mm256_mul_pd(_mm256_mul_pd(wholeX, strength), g);
            const __m256d uy = _mm256_mul_pd(_mm256_mul_pd(wholeY, strength), g);
            const __m256d turns = turnsOf[(i >> 1) & 1];
            const __m256d pushX =
                _mm256_or_pd(_mm256_and_pd(turns, _mm256_xor_pd(uy, signBits)), _mm256_andnot_pd(turns, ux));
            const __m256d pushY = _mm256_or_pd(_mm256_and_pd(turns, ux), _mm256_andnot_pd(turns, uy));
            dispX = _mm256_cvtepi32_pd(
                _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(_mm256_add_pd(dispX, pushX), lowest), highest)));
            dispY = _mm256_cvtepi32_pd(
                _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(_mm256_add_pd(dispY, pushY), lowest), highest)));
        }
    }
    alignas(16) int32_t wholeX[4], wholeY[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(wholeX), _mm256_cvttpd_epi32(dispX));
    _mm_store_si128(reinterpret_cast<__m128i*>(wholeY), _mm256_cvttpd_epi32(dispY));
    for (int p = 0; p < 4; ++p) out[p] = {wholeX[p], wholeY[p]};
}
#endif
#else
SwirlPush gridSwirlDisplacement(const SurfaceTables& tables, const uint64_t reaching[2], int32_t x, int32_t y,
                                double k) {
    const int64_t radius = tables.swirlRadius;
    const double radiusD = static_cast<double>(radius);
    const bool evenMonopole = tables.monopoles, oddMonopole = !tables.vortices;
    double dispX = 0.0, dispY = 0.0;
    forSwirlBits(tables, reaching, [&](int32_t i) {
        SwirlReach at;
        if (!swirlReaches(tables, i, x, y, &at)) return;
        const double distance = static_cast<double>(static_cast<int64_t>(at.reach));
        const double g = (i & 1) ? radiusD - distance : distance - radiusD;
        const double ux =
            static_cast<double>(static_cast<int64_t>(static_cast<double>(at.ex * radius) * at.q)) * k * g;
        const double uy =
            static_cast<double>(static_cast<int64_t>(static_cast<double>(at.ey * radius) * at.q)) * k * g;
        if ((i & 2) == 0 ? evenMonopole : oddMonopole) {
            dispX = saturateToInt32(dispX + ux);
            dispY = saturateToInt32(dispY + uy);
        } else {
            const double turnedX = saturateToInt32(dispX - uy);
            dispY = saturateToInt32(dispY + ux);
            dispX = turnedX;
        }
    });
    return {static_cast<int32_t>(dispX), static_cast<int32_t>(dispY)};
}
#endif

// The push strength k of the tables.
double swirlStrengthOf(const SurfaceTables& tables) {
    const double radiusD = static_cast<double>(tables.swirlRadius);
    return static_cast<double>(tables.swirlStrength) / (radiusD * radiusD);
}

// The grid cell of (x, y); false outside the grid, where no swirl reaches.
bool swirlCellOf(const SwirlGrid& grid, int32_t x, int32_t y, int64_t* gx, int64_t* gy) {
    *gx = floorDivide(int64_t(x) - grid.originX, grid.cell);
    *gy = floorDivide(int64_t(y) - grid.originY, grid.cell);
    return *gx >= 0 && *gy >= 0 && *gx < kSwirlGridSide && *gy < kSwirlGridSide;
}

}  // namespace

SwirlPush swirlDisplacement(const SurfaceTables& tables, int32_t x, int32_t y) {
    const int32_t count = tables.swirlCount;
    const int64_t radius = tables.swirlRadius;
    const double radiusD = static_cast<double>(radius);
    const double k = swirlStrengthOf(tables);
    double dispX = 0.0, dispY = 0.0;  // always whole numbers within 32 bits
    auto push = [&](int32_t i) {
        int64_t ex = static_cast<int64_t>(x) - tables.centresX[i];
        int64_t ey = static_cast<int64_t>(y) - tables.centresY[i];
        if (!((ex < 0 ? -ex : ex) < radius && (ey < 0 ? -ey : ey) < radius)) return;
        // Exactly on the centre the distance is 0 and there is no push; any
        // other integer offset is at least 1 away, so q never exceeds 1.
        if (ex == 0 && ey == 0) return;
        double squared = static_cast<double>(ex * ex + ey * ey);
        double q = 1.0 / std::sqrt(squared);
        double distance = std::trunc(q * squared);
        if (!(distance < radiusD)) return;
        double g = (i & 1) ? radiusD - distance : distance - radiusD;
        double ux = std::trunc(static_cast<double>(ex * radius) * q) * k * g;
        double uy = std::trunc(static_cast<double>(ey * radius) * q) * k * g;
        bool monopole = (i & 2) == 0 ? tables.monopoles : !tables.vortices;
        if (monopole) {
            dispX = saturateToInt32(dispX + ux);
            dispY = saturateToInt32(dispY + uy);
        } else {
            double turnedX = saturateToInt32(dispX - uy);
            dispY = saturateToInt32(dispY + ux);
            dispX = turnedX;
        }
    };
    if (const SwirlGrid* grid = tables.swirlGrid) {
        int64_t gx, gy;
        if (!swirlCellOf(*grid, x, y, &gx, &gy)) return {0, 0};
        return gridSwirlDisplacement(tables, grid->swirls[gy][gx], x, y, k);
    } else {
        for (int32_t i = 0; i < count; ++i) push(i);
    }
    return {static_cast<int32_t>(dispX), static_cast<int32_t>(dispY)};
}

#if defined(__SSE2__)
namespace {

// The swirls of every grid cell the points lie in, in index order: points
// pushed side by side take them all, as a swirl missing from a point's
// cell does not reach the point and adds +0 to its whole-number sums. A
// point off the grid is reached by none.
void swirlsOfCells(const SwirlGrid& grid, const int32_t* x, const int32_t* y, int32_t points, uint64_t reaching[2]) {
    reaching[0] = reaching[1] = 0;
    for (int32_t p = 0; p < points; ++p) {
        int64_t gx, gy;
        if (!swirlCellOf(grid, x[p], y[p], &gx, &gy)) continue;
        reaching[0] |= grid.swirls[gy][gx][0];
        reaching[1] |= grid.swirls[gy][gx][1];
    }
}

}  // namespace
#endif

void swirlDisplacementPair(const SurfaceTables& tables, const int32_t x[2], const int32_t y[2], SwirlPush out[2]) {
#if defined(__SSE2__)
    if (const SwirlGrid* grid = tables.swirlGrid; grid != nullptr && tables.swirlRadius <= kLaneRadiusLimit) {
        uint64_t reaching[2];
        swirlsOfCells(*grid, x, y, 2, reaching);
        gridSwirlDisplacementPair(tables, reaching, x, y, swirlStrengthOf(tables), out);
        return;
    }
#endif
    for (int p = 0; p < 2; ++p) out[p] = swirlDisplacement(tables, x[p], y[p]);
}

void swirlDisplacementQuad(const SurfaceTables& tables, const int32_t x[4], const int32_t y[4], SwirlPush out[4]) {
#if LUMENFALL_WIDE_VECTORS
    if (const SwirlGrid* grid = tables.swirlGrid;
        cpuRunsAvx() && grid != nullptr && tables.swirlRadius <= kLaneRadiusLimit) {
        uint64_t reaching[2];
        swirlsOfCells(*grid, x, y, 4, reaching);
        gridSwirlDisplacementQuad(tables, reaching, x, y, swirlStrengthOf(tables), out);
        return;
    }
#endif
    swirlDisplacementPair(tables, x, y, out);
    swirlDisplacementPair(tables, x + 2, y + 2, out + 2);
}

namespace {

// The surface value at (x, y) pushed to (x + push.dx, y + push.dy); reach:
// the push at a strength of 100 where the smear goes beyond that range.
int32_t pushedSurfaceValue(const SurfaceTables& tables, int32_t x, int32_t y, SwirlPush push,
                           const SwirlPush* reach) {
    int64_t stepLimit = kMaxSmearSteps;
    if (reach != nullptr) {
        const int64_t ax = reach->dx < 0 ? -int64_t(reach->dx) : int64_t(reach->dx);
        const int64_t ay = reach->dy < 0 ? -int64_t(reach->dy) : int64_t(reach->dy);
        const int64_t major = ax > ay ? ax : ay;
        stepLimit = (major + tables.smearStride - 1) / tables.smearStride;
        if (stepLimit > kMaxSmearSteps) stepLimit = kMaxSmearSteps;
    }
    int32_t v = smearedTexture(tables, x, y, static_cast<int64_t>(x) + push.dx,
                               static_cast<int64_t>(y) + push.dy, stepLimit);
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

SurfaceTables atStrength100(const SurfaceTables& tables) {
    SurfaceTables at100 = tables;
    at100.swirlStrength = tables.strengthAt100;
    return at100;
}

}  // namespace

int32_t surfaceValue(const SurfaceTables& tables, int32_t x, int32_t y) {
    if (!tables.vortices && !tables.monopoles) {
        int32_t v = sunNoise(tables, x, y);
        return v > 255 ? 255 : v;
    }
    const SwirlPush push = swirlDisplacement(tables, x, y);
    if (!tables.smearBeyondRange) return pushedSurfaceValue(tables, x, y, push, nullptr);
    const SwirlPush reach = swirlDisplacement(atStrength100(tables), x, y);
    return pushedSurfaceValue(tables, x, y, push, &reach);
}

namespace {

// surfaceValue of kPoints points, their swirl pushes found together by
// displace (the pair's or the quad's).
template <int kPoints, typename Displace>
void surfaceValuesOf(const SurfaceTables& tables, const int32_t* x, const int32_t* y, int32_t* out,
                     Displace displace) {
    if (!tables.vortices && !tables.monopoles) {
        for (int p = 0; p < kPoints; ++p) out[p] = surfaceValue(tables, x[p], y[p]);
        return;
    }
    SwirlPush push[kPoints], reach[kPoints];
    displace(tables, x, y, push);
    if (tables.smearBeyondRange) displace(atStrength100(tables), x, y, reach);
    for (int p = 0; p < kPoints; ++p)
        out[p] = pushedSurfaceValue(tables, x[p], y[p], push[p], tables.smearBeyondRange ? &reach[p] : nullptr);
}

}  // namespace

void surfaceValuePair(const SurfaceTables& tables, const int32_t x[2], const int32_t y[2], int32_t out[2]) {
    surfaceValuesOf<2>(tables, x, y, out, swirlDisplacementPair);
}

void surfaceValueQuad(const SurfaceTables& tables, const int32_t x[4], const int32_t y[4], int32_t out[4]) {
    surfaceValuesOf<4>(tables, x, y, out, swirlDisplacementQuad);
}

}  // namespace lumenfall
