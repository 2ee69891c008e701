// The sun's surface: a folded fractal value noise, optionally pushed by
// monopoles and twisted by vortices, and smeared along the displacement.
// Integer and table-driven, except the swirl displacement (floating point,
// truncated).
#ifndef LUMENFALL_KERNELS_SUN_SURFACE_H
#define LUMENFALL_KERNELS_SUN_SURFACE_H

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "params/parameter_block.h"
#include "kernels/sun_tables.h"

namespace lumenfall {

// A smear line never takes more steps than this, so that any swirl strength
// renders in bounded time. Lines of the shipped slider range stay far below.
constexpr int64_t kMaxSmearSteps = 65536;

// A lazily filled memo of sunNoise over the square |x|, |y| < half of
// surface coordinates: the smear lines of neighbouring disc pixels visit
// the same points about ten times over. Cells hold kEmptyNoise until first
// computed; threads may fill them at once (they all write the same value).
//
// The cells are emptied band by band (kMemoBandRows rows), when a render
// first reaches a band: the clear then runs on every render thread instead
// of before the first row, and a band the disc never reaches is never
// written (a fresh buffer's pages are not even touched). A state byte per
// band follows the cells.
constexpr uint16_t kEmptyNoise = 0xFFFF;
constexpr int32_t kMemoBandRows = 16;
struct SurfaceMemo {
    std::atomic<uint16_t>* cells;  // (2 half)^2 cells, row by row, then the band states; null: no memo
    int32_t half;
};
static_assert(sizeof(std::atomic<uint16_t>) == sizeof(uint16_t), "memo cells are plain 16-bit values");

inline size_t surfaceMemoCells(int32_t half) { return size_t(2 * half) * size_t(2 * half); }
inline size_t surfaceMemoBandCount(int32_t half) { return (size_t(2 * half) + kMemoBandRows - 1) / kMemoBandRows; }
// The bytes a memo of half side `half` takes, its band states included
// (rounded up to whole cells).
inline size_t surfaceMemoBytes(int32_t half) {
    return (surfaceMemoCells(half) + (surfaceMemoBandCount(half) + 1) / 2) * sizeof(uint16_t);
}
// Marks every band not yet cleared, so that every cell reads as empty.
void clearSurfaceMemo(const SurfaceMemo& memo);
// Empties the cells of rows first..last (memo rows, 0 .. 2 half - 1) that
// no render has emptied since clearSurfaceMemo. Threads may call it at once.
void prepareMemoRows(const SurfaceMemo& memo, int64_t first, int64_t last);

// Which swirls reach each cell of a grid over the swirls' square reaches
// (|x - cx| < radius and |y - cy| < radius): bit i of a cell is set when
// swirl i's square overlaps it. A point outside the grid is reached by no
// swirl. Built once per render.
constexpr int32_t kSwirlGridSide = 32;
struct SwirlGrid {
    int64_t originX, originY;  // the corner of cell (0, 0)
    int64_t cell;              // side of a cell, at least 1
    uint64_t swirls[kSwirlGridSide][kSwirlGridSide][2];
};

// The tables and values the surface reads, bounded for use.
struct SurfaceTables {
    const int32_t* noise;       // 2048 values 0..255
    const int32_t* smoothstep;  // 512 weights 0..511
    int32_t detailLevel;        // 1 and 2 add finer octaves; anything else is level 0
    int32_t smearStride;        // at least 1
    // Set for a smear beyond the slider's range: the swirl strength smear 100
    // gives on this sun, which sets how far each line may walk.
    bool smearBeyondRange = false;
    int32_t strengthAt100 = 0;
    int32_t swirlRadius;        // 0 is taken as 1
    int32_t swirlStrength;
    int32_t swirlCount;         // 0..100: the centre tables hold 100 swirls
    bool vortices;
    bool monopoles;
    const int16_t* centresX;    // 100 centres in surface units
    const int16_t* centresY;
    SurfaceMemo memo;           // {null, 0}: every value computed
    // Optional (null: every swirl is tested at every point).
    const SwirlGrid* swirlGrid = nullptr;
    // Optional: the tables of the noise's runs (NoiseRunTables). With
    // them, the memo is filled a run of cells at a time; null: one cell at
    // a time.
    const struct NoiseRunTables* noiseRuns = nullptr;
};

// What sunNoiseRun reads besides the noise and smoothstep tables:
// - the noise table and the 66 entries that a cell's corners reach past
//   its end (29, 37 and 66 are the hash steps of the corners), so that the
//   corners are read without wrapping each index;
// - for each lattice scale 2^k (k = 0..6), the pairs (511 - w) | w << 16 of
//   the smoothstep weights w of the 512 >> k points a cell holds at that
//   scale, followed by the first kNoiseRunBlock pairs again, so that the
//   weights of a block of points are one contiguous read wherever it
//   starts in a cell.
constexpr int32_t kWrappedNoiseEntries = 2048 + 66;
constexpr int32_t kNoiseRunBlock = 16;
constexpr int32_t kWeightPairEntries = (1024 - 8) + 7 * kNoiseRunBlock;  // 512 + 256 + ... + 8, and 7 ends
struct NoiseRunTables {
    int32_t wrapped[kWrappedNoiseEntries];
    int32_t weightPairs[kWeightPairEntries];
};
// False (the tables unusable) unless every noise value is 0..255 and every
// weight 0..511: the runs blend in 16-bit lanes, which hold those alone.
bool fillNoiseRunTables(const int32_t noise[2048], const int32_t smoothstep[512], NoiseRunTables* runs);

// Fills the grid of the tables' swirls; false when there is no grid to
// make (no swirl, or a radius that reaches no point).
bool buildSwirlGrid(const SurfaceTables& tables, SwirlGrid* grid);

SurfaceTables surfaceTablesFrom(const ParameterBlock& block, const SunTables& tables);


// A smear beyond the slider's range (|smear| > 100) walks each line in the
// direction of its own push, but only as many steps as smear 100 walks at
// that point, so that it costs what smear 100 costs instead of up to
// kMaxSmearSteps samples for every pixel of the disc. Smears of the slider
// range are untouched. `sunRadiusPixels` is the sun's radius at full size.
void limitSmearWalk(SurfaceTables& tables, int32_t sunSmear, int32_t sunRadiusPixels);

// One bilinear octave of the lattice noise, 0..16256. Unsigned arithmetic:
// coordinates wrap, as the texture repeats every 2^20 scaled units.
int32_t latticeOctave(const SurfaceTables& tables, uint32_t x, uint32_t y, uint32_t scale,
                      uint32_t offset, uint32_t base);

// The folded octave noise, 0..457 at detail level 0 and up to 537 at level 2.
int32_t sunNoise(const SurfaceTables& tables, int32_t x, int32_t y);
// sunNoise through the memo where it covers the point (filling it where
// it is empty).
int32_t rememberedNoise(const SurfaceTables& tables, int32_t x, int32_t y);

// sunNoise at (x + i, y) for i = 0 .. count - 1 (x + i wrapping as the
// texture does), with what depends on y alone taken once for the run.
// Needs tables.noiseRuns.
void sunNoiseRun(const SurfaceTables& tables, int32_t x, int32_t y, int32_t count, int32_t* out);

// Cells of a memo row filled at once when a smear line of stride 1 finds
// one empty: neighbouring lines read the cells beside it soon after.
constexpr int32_t kMemoRunCells = 16;

// Visits the sample points of a smear line from (x0, y0) towards (x1, y1):
// Bresenham along the major axis (y wins a tie) in strides of `stride`,
// until the major coordinate has reached the end. Returns the sample count.
// At most `stepLimit` steps (stepLimit + 1 samples) are taken.
template <class Visit>
int64_t walkSmearLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t stride,
                      Visit&& visit, int64_t stepLimit = kMaxSmearSteps) {
    int64_t dx = x1 - x0, dy = y1 - y0;
    int64_t ax = dx < 0 ? -dx : dx, ay = dy < 0 ? -dy : dy;
    int64_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    bool yMajor = ay >= ax;
    int64_t major = yMajor ? ay : ax;
    int64_t minor = yMajor ? ax : ay;
    int64_t x = x0, y = y0;
    visit(x, y);
    int64_t count = 1;
    int64_t error = 2 * minor - major;
    int64_t travelled = 0;
    while (travelled < major && count <= stepLimit) {
        travelled += stride;
        if (yMajor) y += sy * stride; else x += sx * stride;
        // Classic Bresenham: the minor step is taken only when the error is
        // above 0, not at 0.
        if (error > 0) {
            if (yMajor) x += sx * stride; else y += sy * stride;
            error -= 2 * major;
        }
        error += 2 * minor;
        visit(x, y);
        ++count;
    }
    return count;
}

// Mean of sunNoise along the smear line; a line of zero length is one sample.
int32_t smearedTexture(const SurfaceTables& tables, int64_t x0, int64_t y0, int64_t x1, int64_t y1,
                       int64_t stepLimit = kMaxSmearSteps);

// The displacement of (x, y) by the swirl field: monopoles push along the
// radius, vortices turn about their centre, neighbouring swirls alternate.
struct SwirlPush {
    int32_t dx, dy;
};
SwirlPush swirlDisplacement(const SurfaceTables& tables, int32_t x, int32_t y);

// The displacements of two points: swirlDisplacement of each. With a grid
// they walk the swirls of both their cells together, and their sums run
// side by side.
void swirlDisplacementPair(const SurfaceTables& tables, const int32_t x[2], const int32_t y[2], SwirlPush out[2]);
// The same for four points: where the CPU has AVX they share a vector;
// else two pairs.
void swirlDisplacementQuad(const SurfaceTables& tables, const int32_t x[4], const int32_t y[4], SwirlPush out[4]);

// The surface value 0..255 at surface coordinates (x, y).
int32_t surfaceValue(const SurfaceTables& tables, int32_t x, int32_t y);
// surfaceValue of two points, their swirl pushes taken as a pair.
void surfaceValuePair(const SurfaceTables& tables, const int32_t x[2], const int32_t y[2], int32_t out[2]);
// surfaceValue of four points, their swirl pushes taken as a quad.
void surfaceValueQuad(const SurfaceTables& tables, const int32_t x[4], const int32_t y[4], int32_t out[4]);

}  // namespace lumenfall

#endif
