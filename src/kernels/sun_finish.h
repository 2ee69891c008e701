// The last step of every sun pixel: master brightness, 8-bit scaling,
// bleeding and the rim mix. Inline, as it runs at every pixel the sun
// reaches and its light sums can then stay in registers.
#ifndef LUMENFALL_KERNELS_SUN_FINISH_H
#define LUMENFALL_KERNELS_SUN_FINISH_H

#include <cstdint>

#include "kernels/numeric_bounds.h"
#include "kernels/sun_elements.h"

namespace lumenfall {

// Light sums and products are held within these bounds before they are
// multiplied again; shipped settings stay orders of magnitude below them.
constexpr int64_t kMaxLight = INT64_C(1) << 31;
constexpr int64_t kMaxScaledLight = INT64_C(1) << 40;

inline void finishSunPixel(const SunFrame& s, int64_t total[3], const DiscLight& light, SunPixel* out) {
    const int64_t m = s.fullScale;
    const bool onRim = light.onRim;
    // No light and no rim: every step below keeps the zeros.
    if (!onRim && m >= 0 && (total[0] | total[1] | total[2]) == 0) {
        *out = SunPixel{{0, 0, 0}, light.rimWeight};
        return;
    }
    // Brightness (x / 25), then 8-bit scaling (x / 129): truncating twice by
    // positive divisors is truncating once by their product.
    // Each divisor a constant of its own, so that neither is a division.
    for (int c = 0; c < 3; ++c) {
        const int64_t bright = clampInt64(total[c], -kMaxLight, kMaxLight) * s.masterBrightness;
        total[c] = s.eightBit ? bright / (25 * 129) : bright / 25;
        total[c] = clampInt64(total[c], -kMaxScaledLight, kMaxScaledLight);
    }
    if (total[0] > m || total[1] > m || total[2] > m) bleedOverRange(total, m, true);

    // Written field by field into the caller's pixel: a pixel handed back by
    // value is packed through the stack, and reading the packed halves back
    // stalls the store buffer on every pixel.
    out->rimWeight = light.rimWeight;
    if (onRim) {
        int64_t disc[3];
        for (int c = 0; c < 3; ++c) {
            disc[c] = s.eightBit ? light.rgb[c] / 129 : light.rgb[c];
            disc[c] = clampInt64(disc[c], -kMaxScaledLight, kMaxScaledLight);
        }
        bleedOverRange(disc, m, false);
        const int64_t rim = light.rimWeight;
        for (int c = 0; c < 3; ++c) {
            const int64_t mixed = (rim * min64(total[c], m) + (4 - rim) * min64(disc[c], m)) / 4;
            out->rgb[c] = static_cast<int32_t>(clampInt64(mixed, INT32_MIN, m));
        }
    } else {
        // Capping at M and then clamping to INT32_MIN..M is the clamp alone.
        for (int c = 0; c < 3; ++c) out->rgb[c] = static_cast<int32_t>(clampInt64(total[c], INT32_MIN, m));
    }
}

// The light sums of up to kSpanTotals pixels of a span, a channel at a
// time: the finish reads one channel of four pixels as one vector.
constexpr int32_t kSpanTotals = 256;
struct SpanTotals {
    int64_t rgb[3][kSpanTotals];
};

// finishSunPixel of `count` pixels: the sums of pixel k and discs[k] into
// out[at[k]].
void finishSunPixels(const SunFrame& s, const SpanTotals& totals, const DiscLight* discs, const int16_t* at,
                     int32_t count, SunPixel* out);

}  // namespace lumenfall

#endif
