// Where a render into a tiled image (an export's copy of the picture) meets
// the host's picture. The render runs in the image's own coordinates: for
// its duration the host's filter rectangle is the image's, from (0, 0), and
// its rows are asked there. The picture those rows show lies at the render
// rectangle's corner in the host's image, so what belongs to the picture
// itself (its selection) is asked that far from the image's corner.
#ifndef LUMENFALL_HOST_TILED_RENDER_FRAME_H
#define LUMENFALL_HOST_TILED_RENDER_FRAME_H

#include <cstdint>

#include "host/globals.h"

namespace lumenfall {

// The host's filter rectangle while an image of this size is rendered
// (its sides held to the host's 16 bits).
pi::Rect tiledImageFilterRect(int32_t imageWidth, int32_t imageHeight);

// `inImage`, a rectangle in the image's coordinates, where the host's
// picture holds it: moved by the corner of `picture`, the render rectangle.
pi::Rect pictureRectOf(const pi::Rect& inImage, const RenderRect& picture);

}  // namespace lumenfall

#endif
