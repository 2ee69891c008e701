// The noise that streaks the lens-flare wedges: a blocky 2-D noise made of two
// skewed lattices of 16-unit cells, averaged along a short radial line with
// anti-aliased Bresenham weights.
#ifndef LUMENFALL_KERNELS_STREAK_NOISE_H
#define LUMENFALL_KERNELS_STREAK_NOISE_H

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace lumenfall {

// One sample 0..510 at (x, y) with the scale g. The coordinate products wrap
// in 32 bits: they only select lattice cells.
int32_t blockNoise(const int32_t* noiseTable, int32_t x, int32_t y, int32_t scale);

// Mean of the halved block noise along the line from (x0, y0) to (x1, y1),
// both end points included, each step weighting the two pixels that straddle
// the ideal line by their distance to it; 0..255.
int32_t streakNoise(const int32_t* noiseTable, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                    int32_t scale);

// The halved block noise of every point of a rectangle at one scale, so
// that the streaks of neighbouring pixels, which visit nearly the same
// points, read them instead of computing them again. A lazy memo is filled
// a block (kStreakBlockRows x kStreakBlockColumns cells) at a time, as the
// streaks first reach it (kernels/lazy_blocks.h).
constexpr int32_t kStreakBlockRows = 16;
constexpr int32_t kStreakBlockColumns = 64;
struct StreakMemo {
    uint8_t* cells = nullptr;  // row by row, width per row; null: no memo
    std::atomic<uint8_t>* blockStates = nullptr;  // row of blocks by row; null: every cell filled
    int32_t left = 0, top = 0;
    int32_t width = 0, height = 0;
    int32_t scale = 0;
};
int64_t streakMemoBlockCount(int32_t width, int32_t height);

// Fills cells (width x height bytes) for the memo's rectangle and scale and
// points the memo at them.
void fillStreakMemo(const int32_t* noiseTable, StreakMemo* memo, uint8_t* cells);
// Points the memo at cells (width x height bytes, any content) and states
// (streakMemoBlockCount of them), every block still to fill.
void startLazyStreakMemo(StreakMemo* memo, uint8_t* cells, std::atomic<uint8_t>* states);

// streakNoise, with the points read from the memo where it holds the whole
// streak at the same scale (the memo must come from the same noise table).
int32_t streakNoiseWith(const StreakMemo* memo, const int32_t* noiseTable, int32_t x0, int32_t y0, int32_t x1,
                        int32_t y1, int32_t scale);

// streakNoiseWith for count streaks of one shape side by side: streak j
// runs from (x0 + j, y0) to (x0 + j + dx, y0 + dy). Their points lie in the
// memo's rows at the same offsets from each start, so the streaks are
// summed several at a time. False (nothing written) unless the memo holds
// every point of them all at this scale; the caller then takes them one by
// one.
bool streakNoiseRow(const StreakMemo* memo, const int32_t* noiseTable, int32_t x0, int32_t y0, int32_t dx,
                    int32_t dy, int32_t scale, int32_t count, int32_t* out);

}  // namespace lumenfall

#endif
