// The fast path of the sun element renderer: the same pixels as
// renderSunSpan (kernels/sun_renderer.h), with the work that cannot change
// a pixel left out. Per row span it finds, from the very same integer
// formulas, the columns each spike's strip covers and the columns any
// annulus reaches; outside them a pixel is dark without being computed.
#ifndef LUMENFALL_KERNELS_SUN_SPAN_H
#define LUMENFALL_KERNELS_SUN_SPAN_H

#include <cstdint>

#include "kernels/sun_elements.h"

namespace lumenfall {

// Columns first..last (inclusive); empty when first > last.
struct ColumnRange {
    int64_t first;
    int64_t last;
};

// The columns x of row offset dy (= cy - y) where spike k's strip holds:
// |As dy + Ac (cx - x)| <= 300 and |Ls (cx - x) - Lc dy| <= 32512. Both are
// linear in x, solved with floor and ceiling divisions.
ColumnRange spikeColumns(const int32_t axis[4], int64_t centreX, int64_t dy);

// The distances trunc(sqrt(16 ((dx - i)^2 + dy^2))) of a span's pixels,
// i = 0 .. count - 1 (|dx - i|, |dy| < 2^29, where the sum fits 64 bits).
void spanDistances(int64_t dx, int64_t dy, int32_t count, int64_t* out);

// Adds spikeShare of spike k to each of count columns from the offset
// (dx, dy), dx falling by one a column: across and along change by a
// constant step, so each column takes additions where spikeShare takes
// products. (Inline: strips are often a few columns.)
inline void addSpikeStrip(const SunTables& tables, int32_t k, int64_t dx, int64_t dy, int64_t count, int64_t* sums) {
    const int32_t* axis = tables.spikeAxes[k];
    int64_t across = axis[0] * dy + axis[1] * dx;
    int64_t along = axis[3] * dx - axis[2] * dy;
    const int64_t acrossStep = axis[1], alongStep = axis[3];
    for (int64_t i = 0; i < count; ++i) {
        const int64_t a = across < 0 ? -across : across;
        const int64_t l = 32640 - (along < 0 ? -along : along);
        if (a <= 300 && l >= 128) sums[i] += ((l >> 7) * tables.spikeProfile[300 - a]) >> 8;
        across -= acrossStep;
        along -= alongStep;
    }
}

// The largest |dx| whose distance r(dx, dy) stays below `radius` (r grows
// with |dx|), found by bisection on r itself; -1 when even dx = 0 is not.
int64_t reachAcross(int64_t dy, int64_t radius);

// The dark pixel: no light, outside the disc.
constexpr SunPixel kDarkPixel = {{0, 0, 0}, 4};

// Whether pixels first .. first + count - 1 of `row` are all dark for a
// reason found without computing any: the sun has no spikes and no annulus
// reaches the span. (False says nothing: such a span may still be dark.)
bool spanPlainlyDark(const SunContext& sun, int32_t row, int32_t first, int32_t count);

// The spikes whose strips cross columns first .. first + count - 1 of a
// row, each with its columns there. They depend on the row alone, so a
// row shared among threads finds them once.
constexpr int32_t kMaxSpikes = 256;
struct RowSpikeStrips {
    int32_t count = 0;
    int32_t spike[kMaxSpikes];
    ColumnRange columns[kMaxSpikes];
};
void findSpikeStrips(const SunContext& sun, int32_t row, int32_t first, int32_t count, RowSpikeStrips* strips);

// Fills out[0..count) with the effect of pixels first .. first + count - 1
// of row `row`, exactly as renderSunSpan does.
void renderSunSpanCulled(const SunContext& sun, int32_t row, int32_t first, int32_t count, SunPixel* out);
// The same with the row's strips found beforehand over columns that
// include these.
void renderSunSpanCulled(const SunContext& sun, const RowSpikeStrips& strips, int32_t row, int32_t first,
                         int32_t count, SunPixel* out);

}  // namespace lumenfall

#endif
