#include "export/picture_source.h"

#include "render/tiled_image.h"

namespace lumenfall {

namespace {

void readRgb8Row(const void* context, int32_t y, float* rgb) {
    const Rgb8View& view = *static_cast<const Rgb8View*>(context);
    const uint8_t* row = view.pixels + static_cast<size_t>(y) * view.width * 3;
    for (int32_t i = 0; i < view.width * 3; ++i) rgb[i] = row[i] * (1.0f / 255.0f);
}

void readRgbFloatRow(const void* context, int32_t y, float* rgb) {
    const RgbFloatView& view = *static_cast<const RgbFloatView*>(context);
    const float* row = view.pixels + static_cast<size_t>(y) * view.width * 3;
    for (int32_t i = 0; i < view.width * 3; ++i) rgb[i] = row[i];
}

void readTiledRow(const void* context, int32_t y, float* rgb) {
    const TiledImage& image = *static_cast<const TiledImage*>(context);
    const int32_t width = image.levelWidth[0];
    for (int32_t x = 0; x < width; ++x) {
        float channels[4];
        readPixel(image, x, y, 0, channels);
        for (int c = 0; c < 3; ++c) rgb[3 * x + c] = channels[c] * image.inverseMaxValue;
    }
}

}  // namespace

PictureSource pictureFromTiledImage(const TiledImage* image) {
    PictureSource source;
    if (image == nullptr) return source;
    source.width = image->levelWidth[0];
    source.height = image->levelHeight[0];
    source.context = image;
    source.readRow = readTiledRow;
    source.hasStorage = image->tiles != nullptr && image->tileCount > 0;
    return source;
}

PictureSource pictureFromRgb8(const Rgb8View& view) {
    PictureSource source;
    source.width = view.width;
    source.height = view.height;
    source.context = &view;
    source.readRow = view.pixels != nullptr ? readRgb8Row : nullptr;
    return source;
}

PictureSource pictureFromRgbFloat(const RgbFloatView& view) {
    PictureSource source;
    source.width = view.width;
    source.height = view.height;
    source.context = &view;
    source.readRow = view.pixels != nullptr ? readRgbFloatRow : nullptr;
    return source;
}

}  // namespace lumenfall
