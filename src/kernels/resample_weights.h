// Filter weights of the resampler: for each of 128 sub-pixel phases, the
// five taps of a Lanczos-2 kernel averaged over (nearly) one pixel's width.
// Tap order is offset +2, +1, 0, -1, -2 from the centre pixel. Three forms:
// floats summing to 1, integers summing to exactly 2048 (8-bit layouts) and
// integers summing to exactly 32768 (16-bit layouts).
#ifndef LUMENFALL_KERNELS_RESAMPLE_WEIGHTS_H
#define LUMENFALL_KERNELS_RESAMPLE_WEIGHTS_H

#include <cstdint>

namespace lumenfall {

constexpr int32_t kResamplePhases = 128;
constexpr int32_t kResampleTaps = 5;

// Read-only view of the three tables (the work block holds them).
struct LanczosWeights {
    const float (*floats)[kResampleTaps];
    const int32_t (*scaled2048)[kResampleTaps];
    const int32_t (*scaled32768)[kResampleTaps];
};

// The windowed kernel sinc(x) * sinc(x / 2), zero outside -2 < x < 2.
double lanczos2(double x);

// Fills the three tables; they depend on constants only, so refilling gives
// the same values.
void fillLanczosWeights(float floats[kResamplePhases][kResampleTaps],
                        int32_t scaled2048[kResamplePhases][kResampleTaps],
                        int32_t scaled32768[kResamplePhases][kResampleTaps]);

// The three tables filled once, for work outside a render (the command
// line's preset thumbnails); a render reads the copy in its work block.
const LanczosWeights& standardLanczosWeights();

}  // namespace lumenfall

#endif
