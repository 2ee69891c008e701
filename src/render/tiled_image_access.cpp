#include "render/tiled_image_access.h"

#include "render/tiled_image.h"

namespace lumenfall {
namespace {

void readThrough(TiledImage* image, int32_t x, int32_t y, int32_t level, float rgba[4]) {
    if (!image) {
        rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0;
        return;
    }
    readPixel(*image, x, y, level, rgba);
}

void writeThrough(TiledImage* image, int32_t x, int32_t y, int32_t level, const float rgba[4]) {
    if (image) writePixel(*image, x, y, level, rgba);
}

}  // namespace

TiledImageAccess tiledImageAccess(TiledImage* image) {
    return TiledImageAccess{image, readThrough, writeThrough, image ? image->maxValue : 0.0f};
}

}  // namespace lumenfall
