// The glue compositor: blends one effect pixel onto the image pixel under it
// by the glue mode and writes it to the render target (host output row,
// dialog preview over a checkerboard through the selection, or the dialog's
// tiled image).
#ifndef LUMENFALL_KERNELS_GLUE_COMPOSITOR_H
#define LUMENFALL_KERNELS_GLUE_COMPOSITOR_H

#include <cstdint>

#include "kernels/composite_target.h"

namespace lumenfall {

struct GlueContext {
    const CompositeTarget* target;
    int32_t glue;                      // glue mode 1..19; others blend as "normal"
    const int32_t* proceduralWeights;  // 256 entries
};

// The channel maximum M of a host depth: 255 for 8 bits, 32768 for 16 bits;
// 0 for any other depth, which the compositor leaves untouched.
int32_t compositeFullScale(int32_t depth);

// effect: R, G, B as fractions of the renderer's float scale and the coverage
// (the renderer always passes full coverage). rimWeight 0..4.
void compositePixel(const GlueContext& context, int32_t x, int32_t y, const float effect[4],
                    int32_t rimWeight);

}  // namespace lumenfall

#endif
