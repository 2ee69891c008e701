#include "export/thumbnail_image.h"

#include "export/thumbnail_jpeg.h"
#include "render/tiled_image.h"

namespace lumenfall {

int32_t decodeThumbnailIntoImage(const uint8_t* data, size_t size, TiledImage* image) {
    if (image == nullptr || image->tiles == nullptr || image->tileCount <= 0) return kThumbnailNoImage;
    const int32_t width = image->levelWidth[0];
    const int32_t height = image->levelHeight[0];
    const bool grey = image->storeType == kStoreGrey8;
    ThumbnailPixels pixels;
    const int32_t result = decodeThumbnailJpeg(data, size, width, height, grey ? 1 : 4, pixels);
    if (result != kThumbnailDecoded) return result;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* p = pixels.pixels.data() + (static_cast<size_t>(y) * width + x) * pixels.channels;
            if (image->storeType == kStoreRgba8) {
                writePixel8(*image, x, y, 0, p[0], p[1], p[2], p[3]);
            } else {
                const float scale = image->maxValue / 255.0f;
                const float channels[4] = {p[0] * scale, (grey ? p[0] : p[1]) * scale,
                                           (grey ? p[0] : p[2]) * scale, (grey ? 255 : p[3]) * scale};
                writePixel(*image, x, y, 0, channels);
            }
        }
    }
    rebuildPyramid(*image);
    return kThumbnailDecoded;
}

}  // namespace lumenfall
