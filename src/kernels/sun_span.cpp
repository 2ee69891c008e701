#include "kernels/sun_span.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kernels/spike_strip.h"
#include "kernels/sun_finish.h"

namespace lumenfall {
namespace {

// Spike sums are kept for this many pixels at a time.
constexpr int32_t kSpanPixels = 256;

// a / b rounded down and up, for b > 0.
int64_t floorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return a - q * b < 0 ? q - 1 : q;
}

int64_t ceilDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return a - q * b > 0 ? q + 1 : q;
}

// The x with lo <= c x <= hi (|lo|, |hi| < 2^62).
ColumnRange solveLinear(int64_t lo, int64_t hi, int64_t c) {
    constexpr ColumnRange kAll{INT64_MIN / 4, INT64_MAX / 4};
    constexpr ColumnRange kNone{1, 0};
    if (c == 0) return lo <= 0 && 0 <= hi ? kAll : kNone;
    // c x in lo..hi is -c x in -hi..-lo: the divisor is made positive by
    // selects, as its sign changes from spike to spike and a branch on it
    // is mispredicted.
    const bool negative = c < 0;
    const int64_t from = negative ? -hi : lo, to = negative ? -lo : hi, by = negative ? -c : c;
    // Below 2^53 the double quotient rounds to the same whole numbers: the
    // operands convert exactly, and the quotient a / b, rounded once, stays
    // within |a / b| 2^-53 < 1 / b of itself, nearer than any whole number
    // it is not (a whole quotient is held exactly). Its floor and ceiling,
    // taken from its truncation without a remainder, are the exact ones.
    constexpr int64_t kExact = int64_t(1) << 53;
    if (from > -kExact && from < kExact && to > -kExact && to < kExact && by < kExact) {
        const double low = double(from) / double(by), high = double(to) / double(by);
        const int64_t lowWhole = static_cast<int64_t>(low), highWhole = static_cast<int64_t>(high);
        return ColumnRange{lowWhole + (double(lowWhole) < low), highWhole - (double(highWhole) > high)};
    }
    return ColumnRange{ceilDiv(from, by), floorDiv(to, by)};
}

// The distance of the sun elements: trunc(sqrt(16 (dx^2 + dy^2))).
int64_t distanceOf(int64_t dx, int64_t dy) {
    return static_cast<int64_t>(std::sqrt(static_cast<double>(16 * (dx * dx + dy * dy))));
}

// The streak noises of a span's flare pixels. Neighbouring pixels mostly
// have streaks of the same shape (the same end offsets), and those are
// summed several at a time from the streak memo: a pixel that needs its
// noise finds the run of pixels after it with its shape and takes all of
// their noises at once; the next ones then read theirs.
struct SpanStreaks {
    const SunContext* sun = nullptr;
    const int64_t* distances = nullptr;
    int64_t dxFirst = 0;  // dx of the span's first pixel
    int64_t dy = 0;
    int32_t count = 0;
    int32_t pixel = 0;  // the pixel asking
    const SunOffset* at = nullptr;
    int32_t knownFrom = 0, knownUntil = 0;
    // Pixels before this one share the shape of a run not taken at once (a
    // pixel alone, or streaks the memo does not hold): each takes its own
    // streak without looking ahead again.
    int32_t aloneUntil = 0;
    int32_t noise[kSpanPixels];
};

// Pixels looked ahead for one shape: enough to fill the vectors well.
constexpr int32_t kStreakRun = 32;

struct StreakShape {
    int32_t dx, dy;
};

// The end offset of a pixel's streak, as flareStreakNoise takes it.
StreakShape streakShapeOf(int64_t dx, int64_t dy, int64_t r) {
    return StreakShape{static_cast<int32_t>(120 * dx / r), static_cast<int32_t>(120 * dy / r)};
}

int32_t spanStreakNoise(void* context) {
    SpanStreaks& s = *static_cast<SpanStreaks*>(context);
    const int32_t i = s.pixel;
    if (i >= s.knownFrom && i < s.knownUntil) return s.noise[i];
    if (i < s.aloneUntil) return flareStreakNoise(*s.sun, *s.at);
    const SunContext& sun = *s.sun;
    const SunFrame& frame = sun.frame;
    const StreakShape shape = streakShapeOf(s.dxFirst - i, s.dy, s.distances[i]);
    int32_t end = i + 1;
    while (end < s.count && end - i < kStreakRun) {
        const int64_t r = s.distances[end];
        if (r < frame.flareStart || r >= frame.flareOuter) break;
        const StreakShape next = streakShapeOf(s.dxFirst - end, s.dy, r);
        if (next.dx != shape.dx || next.dy != shape.dy) break;
        ++end;
    }
    // Each pixel's streak starts at (-dx, -dy): the run's start on
    // consecutive cells of one row. Even two streaks are summed faster side
    // by side than one by one (reduced previews, whose shapes change every
    // few pixels, have mostly short runs).
    if (end - i >= 2 &&
        streakNoiseRow(sun.streakMemo, sun.tables->noiseTable, static_cast<int32_t>(-(s.dxFirst - i)),
                       static_cast<int32_t>(-s.dy), shape.dx, shape.dy, frame.streakScale, end - i, s.noise + i)) {
        s.knownFrom = i;
        s.knownUntil = end;
        return s.noise[i];
    }
    s.aloneUntil = end;
    return flareStreakNoise(sun, *s.at);
}

// The surface value of each pixel of the span whose disc reads one, its
// pixels taken four at a time (dxFirst: dx of the first pixel; pixels
// with |dx| beyond reach are outside the disc).
void spanSurfaceValues(const SunContext& sun, int64_t dxFirst, int64_t dy, int64_t reach, int32_t count,
                       const int64_t* distances, int32_t* surface) {
    int32_t waiting[4];  // pixels whose values are still to be found
    int32_t x[4], y[4];
    int32_t found = 0;
    // |dxFirst - i| <= reach
    const int64_t begin = std::max<int64_t>(0, dxFirst - reach), end = std::min<int64_t>(count, dxFirst + reach + 1);
    for (int32_t i = int32_t(begin); i < end; ++i) {
        SunOffset at;
        at.dx = dxFirst - i;
        at.dy = dy;
        at.r = distances[i];
        at.angle = 0;
        if (!discSurfacePoint(sun, at, &x[found], &y[found])) continue;
        waiting[found++] = i;
        if (found < 4) continue;
        int32_t values[4];
        surfaceValueQuad(sun.surface, x, y, values);
        for (int32_t p = 0; p < 4; ++p) surface[waiting[p]] = values[p];
        found = 0;
    }
    int32_t p = 0;
    for (; p + 2 <= found; p += 2) {
        int32_t values[2];
        surfaceValuePair(sun.surface, x + p, y + p, values);
        surface[waiting[p]] = values[0];
        surface[waiting[p + 1]] = values[1];
    }
    if (p < found) surface[waiting[p]] = surfaceValue(sun.surface, x[p], y[p]);
}

// How far across from the centre column a row's pixels lie within each
// distance that bounds an element (reachAcross; -1: none of the row).
struct RowReaches {
    int64_t outer;  // every annulus: beyond it only spikes shine
    int64_t disc;   // the disc's edge
    int64_t inner;  // the sun's radius, inside which spikes do not shine
};

RowReaches rowReachesOf(const SunFrame& frame, int64_t dy) {
    const int64_t outer = std::max({frame.haloOuter, frame.flareOuter, frame.bowOuter, frame.discEdge});
    return RowReaches{reachAcross(dy, outer), reachAcross(dy, frame.discEdge), reachAcross(dy, frame.sunRadius)};
}

void renderPart(const SunContext& sun, const RowSpikeStrips& strips, const RowReaches& reaches, int32_t row,
                int32_t first, int32_t count,
                SunPixel* out) {
    const SunFrame& frame = sun.frame;
    const int64_t cx = frame.centreX;
    const int64_t dy = frame.centreY - row;

    // Spike sums of the span: each spike adds its share only over the
    // columns of its strip. Integer sums do not depend on their order.
    int64_t spikes[kSpanPixels];
    const bool spiky = frame.spikeCount >= 1;
    if (spiky) {
        std::fill(spikes, spikes + count, 0);
        const int64_t last = int64_t(first) + count - 1;
        // Spikes shine only from the sun's radius out: the strips skip the
        // columns inside it (|dx| <= inner), where every spike meets, and
        // their sums stay 0 unread.
        const int64_t inner = reaches.inner;
        const auto addPart = [&](int32_t k, int64_t from, int64_t to) {
            if (from <= to)
                addSpikeStripFast(*sun.tables, k, cx - from, dy, to - from + 1, spikes + (from - first));
        };
        for (int32_t s = 0; s < strips.count; ++s) {
            const int32_t k = strips.spike[s];
            const int64_t from = std::max<int64_t>(strips.columns[s].first, first);
            const int64_t to = std::min<int64_t>(strips.columns[s].last, last);
            if (inner < 0) {
                addPart(k, from, to);
            } else {
                addPart(k, from, std::min(to, cx - inner - 1));
                addPart(k, std::max(from, cx + inner + 1), to);
            }
        }
    }

    // Every annulus ends below this distance: beyond it only spikes shine.
    const int64_t reach = reaches.outer;
    // A span no annulus reaches and no spike lights is dark throughout.
    const bool annuliMiss = reach < 0 || cx - reach > int64_t(first) + count - 1 || cx + reach < first;
    if (annuliMiss && (!spiky || std::all_of(spikes, spikes + count, [](int64_t v) { return v == 0; }))) {
        std::fill(out, out + count, kDarkPixel);
        return;
    }
    if (frame.masterBrightness == 0) {
        // All light is scaled by the master brightness: only the rim's
        // weight is left of each pixel.
        for (int32_t i = 0; i < count; ++i) {
            const int64_t dx = cx - (int64_t(first) + i);
            const int64_t r = (dx < 0 ? -dx : dx) > reach ? frame.discEdge : distanceOf(dx, dy);
            const int64_t w = r >= frame.discEdge ? 4 : (r >= frame.sunRadius ? r - frame.sunRadius : 0);
            out[i] = SunPixel{{0, 0, 0}, int32_t(w)};
        }
        return;
    }
    // The span's distances first, in a loop of their own: each square root
    // then overlaps the next instead of waiting at the head of a long pixel.
    int64_t distances[kSpanPixels];
    spanDistances(cx - first, dy, count, distances);
    // The disc's surface values, four pixels at a time: the swirl sums of
    // neighbouring surface points then run side by side.
    int32_t surface[kSpanPixels];
    const bool textured = frame.sunType != kSunFlat && frame.sunType != kSunEclipse;
    if (textured && reaches.disc >= 0) spanSurfaceValues(sun, cx - first, dy, reaches.disc, count, distances, surface);
    // The light sums and the disc of each pixel not dark, to be finished.
    static_assert(kSpanPixels <= kSpanTotals, "a span's sums fit the finish's");
    SpanTotals totals;
    DiscLight discs[kSpanPixels];
    int16_t litPixels[kSpanPixels];
    int32_t lit = 0;
    SpanStreaks streaks;
    streaks.sun = &sun;
    streaks.distances = distances;
    streaks.dxFirst = cx - first;
    streaks.dy = dy;
    streaks.count = count;
    for (int32_t i = 0; i < count; ++i) {
        const int64_t x = int64_t(first) + i;
        const int64_t dx = cx - x;
        const bool beyond = (dx < 0 ? -dx : dx) > reach;
        if (beyond && (!spiky || spikes[i] == 0)) {
            out[i] = kDarkPixel;
            continue;
        }
        // The diamond angle (a division) is read by the flares alone.
        SunOffset at;
        at.dx = dx;
        at.dy = dy;
        at.r = distances[i];
        const bool wedges = at.r >= frame.flareStart && at.r < frame.flareOuter && frame.flareCount > 0 &&
                            frame.flareHalf > 0;
        at.angle = wedges ? diamondAngle(dx, dy) : 0;
        // Every element adds whole numbers to the sums, so their order is
        // free: the halo and bow come first, as a table read that starts the
        // sums without reading them back from memory.
        int64_t total[3] = {0, 0, 0};
        if (!beyond) {
            const RadialLight& radial = sun.radial;
            if (radial.entries == nullptr) {
                addHaloLight(sun, at, total);
                addBowLight(sun, at, total);
            } else if (at.r >= radial.first && at.r - radial.first < radial.count) {
                const RadialEntry& light = radial.entries[at.r - radial.first];
                total[0] = light.rgb[0];
                total[1] = light.rgb[1];
                total[2] = light.rgb[2];
            }
        }
        // A zero spike sum adds nothing through any ramp entry.
        if (spiky && spikes[i] != 0 && spikesReach(frame, at)) addSpikeRamp(sun, at, spikes[i], total);
        if (!beyond && at.r >= frame.flareStart && at.r < frame.flareOuter) {
            streaks.pixel = i;
            streaks.at = &at;
            addShiningFlareLight(sun, at, spanStreakNoise, &streaks, total);
        }
        // Outside the disc's edge the disc gives what beyond gives.
        const bool inDisc = !beyond && at.r < frame.discEdge;
        discs[lit] =
            inDisc ? discLight(sun, at, total, textured ? &surface[i] : nullptr) : DiscLight{{0, 0, 0}, 4, false};
        for (int c = 0; c < 3; ++c) totals.rgb[c][lit] = total[c];
        litPixels[lit++] = int16_t(i);
    }
    // Finished in a loop of their own: each pixel's finish waits on its
    // last sum, and here the next pixel's finish overlaps that wait.
    finishSunPixels(frame, totals, discs, litPixels, lit, out);
}

}  // namespace

void spanDistances(int64_t dx, int64_t dy, int32_t count, int64_t* out) {
    int32_t i = 0;
#if defined(__SSE2__)
    // Two at a time in doubles where that is exact: for |dx|, |dy| < 2^24
    // the sum 16 (dx^2 + dy^2) stays below 2^53, so it is the same number
    // as the integer one converted, its square root rounds the same, and
    // the root (below 2^27) truncates the same through 32 bits.
    constexpr int64_t kExact = int64_t(1) << 24;
    const int64_t lastDx = dx - (count - 1);
    if (dy > -kExact && dy < kExact && dx > -kExact && dx < kExact && lastDx > -kExact && lastDx < kExact) {
        const __m128d across = _mm_set1_pd(double(dy) * double(dy));
        const __m128d sixteen = _mm_set1_pd(16.0);
        const __m128d two = _mm_set1_pd(2.0);
        __m128d offsets = _mm_set_pd(double(dx - 1), double(dx));
        for (; i + 2 <= count; i += 2) {
            const __m128d squared = _mm_mul_pd(_mm_add_pd(_mm_mul_pd(offsets, offsets), across), sixteen);
            const __m128i whole = _mm_cvttpd_epi32(_mm_sqrt_pd(squared));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi32(whole, _mm_setzero_si128()));
            offsets = _mm_sub_pd(offsets, two);
        }
    }
#endif
    for (; i < count; ++i) out[i] = distanceOf(dx - i, dy);
}

ColumnRange spikeColumns(const int32_t axis[4], int64_t centreX, int64_t dy) {
    // across = As dy + Ac (cx - x) = K - Ac x;  along = Ls (cx - x) - Lc dy = L - Ls x.
    const int64_t k = axis[0] * dy + axis[1] * centreX;
    const int64_t l = axis[3] * centreX - axis[2] * dy;
    const ColumnRange across = solveLinear(k - 300, k + 300, axis[1]);
    const ColumnRange along = solveLinear(l - 32512, l + 32512, axis[3]);
    return ColumnRange{std::max(across.first, along.first), std::min(across.last, along.last)};
}

int64_t reachAcross(int64_t dy, int64_t radius) {
    if (distanceOf(0, dy) >= radius) return -1;
    // r(dx, dy) >= 4 |dx|, so no |dx| beyond radius / 4 + 1 stays inside.
    int64_t inside = 0, outside = radius / 4 + 2;
    while (outside - inside > 1) {
        const int64_t middle = inside + (outside - inside) / 2;
        if (distanceOf(middle, dy) < radius) inside = middle;
        else outside = middle;
    }
    return inside;
}

bool spanPlainlyDark(const SunContext& sun, int32_t row, int32_t first, int32_t count) {
    const SunFrame& frame = sun.frame;
    if (count <= 0) return true;
    if (frame.spikeCount >= 1) return false;
    const int64_t cx = frame.centreX;
    const int64_t dy = frame.centreY - row;
    const int64_t outer = std::max({frame.haloOuter, frame.flareOuter, frame.bowOuter, frame.discEdge});
    const int64_t reach = reachAcross(dy, outer);
    return reach < 0 || cx - reach > int64_t(first) + count - 1 || cx + reach < first;
}

void findSpikeStrips(const SunContext& sun, int32_t row, int32_t first, int32_t count, RowSpikeStrips* strips) {
    strips->count = 0;
    const int64_t last = int64_t(first) + count - 1;
    for (int32_t k = 0; k < sun.frame.spikeCount && k < kMaxSpikes; ++k) {
        const ColumnRange columns = spikeColumns(sun.tables->spikeAxes[k], sun.frame.centreX, sun.frame.centreY - row);
        if (columns.first > columns.last || columns.first > last || columns.last < first) continue;
        strips->spike[strips->count] = k;
        strips->columns[strips->count] = columns;
        ++strips->count;
    }
}

void renderSunSpanCulled(const SunContext& sun, const RowSpikeStrips& strips, int32_t row, int32_t first,
                         int32_t count, SunPixel* out) {
    const RowReaches reaches = rowReachesOf(sun.frame, sun.frame.centreY - row);
    for (int32_t done = 0; done < count; done += kSpanPixels) {
        const int32_t n = std::min(count - done, kSpanPixels);
        renderPart(sun, strips, reaches, row, first + done, n, out + done);
    }
}

void renderSunSpanCulled(const SunContext& sun, int32_t row, int32_t first, int32_t count, SunPixel* out) {
    RowSpikeStrips strips;
    findSpikeStrips(sun, row, first, count, &strips);
    renderSunSpanCulled(sun, strips, row, first, count, out);
}

}  // namespace lumenfall
