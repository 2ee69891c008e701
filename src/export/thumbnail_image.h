// Thumbnails between JPEG bytes and tiled images: what the preset reader and
// writer use around the codec.
#ifndef LUMENFALL_EXPORT_THUMBNAIL_IMAGE_H
#define LUMENFALL_EXPORT_THUMBNAIL_IMAGE_H

#include <cstddef>
#include <cstdint>

namespace lumenfall {

struct TiledImage;

// Decodes JPEG bytes into level 0 of an existing image (store type 3 takes
// four channels, type 0 the grey; other layouts take the colour through
// writePixel), row y of the JPEG into row y of the image, clipped to it, and
// rebuilds the pyramid. Result 1 when the image is missing or has no tiles,
// otherwise the codec's result (ThumbnailDecodeResult); on failure the image
// is left as it was.
int32_t decodeThumbnailIntoImage(const uint8_t* data, size_t size, TiledImage* image);

}  // namespace lumenfall

#endif
