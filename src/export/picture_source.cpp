#include "export/picture_source.h"

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

}  // namespace

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
