#include "host/tiled_render_frame.h"

#include "kernels/numeric_bounds.h"

namespace lumenfall {

pi::Rect tiledImageFilterRect(int32_t imageWidth, int32_t imageHeight) {
    return pi::Rect{0, 0, saturateTo<int16_t>(imageHeight), saturateTo<int16_t>(imageWidth)};
}

pi::Rect pictureRectOf(const pi::Rect& inImage, const RenderRect& picture) {
    auto moved = [](int16_t edge, int16_t by) { return saturateTo<int16_t>(int64_t(edge) + by); };
    return pi::Rect{moved(inImage.top, picture.top), moved(inImage.left, picture.left),
                    moved(inImage.bottom, picture.top), moved(inImage.right, picture.left)};
}

}  // namespace lumenfall
