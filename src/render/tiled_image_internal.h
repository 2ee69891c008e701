// Addressing shared by the tiled image's pixel access and level building.
#ifndef LUMENFALL_RENDER_TILED_IMAGE_INTERNAL_H
#define LUMENFALL_RENDER_TILED_IMAGE_INTERNAL_H

#include <cstdint>

#include "render/tiled_image.h"

namespace lumenfall {

// The first byte of pixel (x, y) of `level`; the position must lie inside.
uint8_t* pixelAddress(const TiledImage& image, int32_t x, int32_t y, int32_t level);
// The image has tiles and `level` exists.
bool levelReadable(const TiledImage& image, int32_t level);
// The pixel at (x, y) clamped into the level.
uint8_t* clampedAddress(const TiledImage& image, int32_t x, int32_t y, int32_t level);
bool insideLevel(const TiledImage& image, int32_t x, int32_t y, int32_t level);

}  // namespace lumenfall

#endif
