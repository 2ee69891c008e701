// Copying tiled images into one another at any size through their pyramids.
#ifndef LUMENFALL_RENDER_RESAMPLE_IMAGE_H
#define LUMENFALL_RENDER_RESAMPLE_IMAGE_H

#include <cstdint>

#include "kernels/resample_weights.h"

namespace lumenfall {

struct TiledImage;
struct WorkBlock;

// Right and bottom exclusive.
struct ResampleRect {
    int32_t top;
    int32_t left;
    int32_t bottom;
    int32_t right;
};

// The weight tables of the work block, and filling them there.
LanczosWeights lanczosWeightsOf(const WorkBlock& work);
void fillLanczosWeights(WorkBlock& work);

// The pyramid level (with fraction) that a resample reads: log2 of the
// width ratio less the bias, clamped to 0..lastLevel.
double resampleLevel(int32_t sourceWidth, int32_t destinationWidth, double bias, int32_t lastLevel);

// Fills the destination rectangle from the whole source rectangle with
// 8-bit pixels (alpha 255), then rebuilds the destination's pyramid. An
// empty destination rectangle only rebuilds; a missing image does nothing.
void resampleImage(const TiledImage* source, const ResampleRect& sourceRect, TiledImage* destination,
                   const ResampleRect& destinationRect, double bias, const LanczosWeights& weights);

// Images of different sizes are resampled with bias 0.5; images of the same
// geometry (size, levels, store type) are copied pixel for pixel. Either way
// the destination's pyramid is rebuilt.
void copyImage(const TiledImage* source, TiledImage* destination, const LanczosWeights& weights);

}  // namespace lumenfall

#endif
