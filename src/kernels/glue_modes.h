// The per-channel formulas of the glue modes at 8 and 16 bits per channel.
// e is the effect channel, s the image channel, both already within 0..M.
// "composite", "color" and "luminance" work on whole pixels (see
// glue_compositor.cpp); for them, and for "normal" and any unknown mode,
// these functions return e unchanged.
#ifndef LUMENFALL_KERNELS_GLUE_MODES_H
#define LUMENFALL_KERNELS_GLUE_MODES_H

#include <cstdint>

namespace lumenfall {

constexpr int32_t kFullScale8 = 255;
constexpr int32_t kFullScale16 = 32768;

// triangle: the 256 procedural weights (0, 2, ... 254, 255, 253, ... 1).
int32_t blendChannel8(int32_t mode, int32_t e, int32_t s, const int32_t* triangle);
int32_t blendChannel16(int32_t mode, int32_t e, int32_t s);

// "composite" over a layer without editable transparency: the image shows
// through by rim weight w / 4 (0 inside the disc, 4 outside).
int32_t compositeOpaque(int32_t e, int32_t s, int32_t rimWeight, int32_t fullScale);

// "composite" over a layer with editable transparency: bright light is made
// opaque in proportion to its brightness. Rewrites the channels and returns
// the output alpha.
int32_t compositeTransparent(int32_t channels[3], int32_t rimWeight, int32_t fullScale);

}  // namespace lumenfall

#endif
