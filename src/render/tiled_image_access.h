// The compositor's view of a tiled image (see kernels/composite_target.h).
#ifndef LUMENFALL_RENDER_TILED_IMAGE_ACCESS_H
#define LUMENFALL_RENDER_TILED_IMAGE_ACCESS_H

#include "kernels/composite_target.h"

namespace lumenfall {

// Reads and writes level pixels in the image's own range through the tiled
// image's readPixel and writePixel.
TiledImageAccess tiledImageAccess(TiledImage* image);

}  // namespace lumenfall

#endif
