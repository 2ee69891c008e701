// Reading a tiled image at any position and scale: a 5 x 5 box-integrated
// Lanczos-2 filter on one pyramid level, and the blend of two neighbouring
// levels (trilinear filtering).
#ifndef LUMENFALL_RENDER_RESAMPLE_SAMPLE_H
#define LUMENFALL_RENDER_RESAMPLE_SAMPLE_H

#include <cstdint>

#include "kernels/resample_weights.h"

namespace lumenfall {

struct TiledImage;

// The centre pixel and the sub-pixel phase (0..127) of a level coordinate
// whose pixel centres are at integers.
struct TapPosition {
    int32_t centre;
    int32_t phase;
};
TapPosition tapPosition(float coordinate);

// A tap coordinate brought into 0..size-1: edge mode 0 clamps, 1 wraps,
// 2 wraps columns (`isColumn`) and clamps rows; other modes clamp.
int32_t edgeCoordinate(int32_t coordinate, int32_t size, uint32_t edgeMode, bool isColumn);

// The filtered sample of `level` at level coordinates (x, y), in the image's
// own range (before its gain). Store types other than 0, 3, 4 and 9, images
// without tiles and missing levels give zeros.
void sampleLevel(const TiledImage& image, const LanczosWeights& weights, int32_t level, float x,
                 float y, float rgba[4]);

// The two-level sample at normalised (u, v): level L (clamped to
// 0..lastLevel - 1) and, when t is not 0, level L + 1 blended by t; as
// fractions of full scale.
void sampleTrilinear(const TiledImage& image, const LanczosWeights& weights, int32_t level, float t,
                     float u, float v, float rgba[4]);

}  // namespace lumenfall

#endif
