// The JPEG codec of preset thumbnails: the preset writer encodes the
// 128 x 128 thumbnail with the four-value header, the preset reader decodes
// the stored bytes from memory into an image of the stored size.
#ifndef LUMENFALL_EXPORT_THUMBNAIL_JPEG_H
#define LUMENFALL_EXPORT_THUMBNAIL_JPEG_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "export/jpeg_writer.h"

namespace lumenfall {

// Appends 1, width, height, N (big-endian 32-bit) and N JPEG bytes of the
// 8-bit RGB picture at quality 80; on failure appends the single value 0
// (no thumbnail) and returns the writer's error code.
int32_t encodeThumbnailJpeg(const uint8_t* rgb, int32_t width, int32_t height,
                            std::vector<uint8_t>& out);

enum ThumbnailDecodeResult : int32_t {
    kThumbnailDecoded = 0,
    kThumbnailNoImage = 1,        // no target image (size below 1 or channel count not 1 or 4)
    kThumbnailNoData = 2,         // no bytes
    kThumbnailCorrupt = 3,        // the codec library reported an error or a warning
    kThumbnailTooLarge = 4,       // the declared JPEG size is beyond what a thumbnail can be
    kThumbnailBadComponents = 5,  // neither 1 nor 3 colour components
};

// The decoded picture: width * height * channels bytes, rows packed.
struct ThumbnailPixels {
    int32_t width = 0;
    int32_t height = 0;
    int32_t channels = 0;         // 1 (grey) or 4 (R, G, B, 255)
    std::vector<uint8_t> pixels;
};

// Decodes JPEG bytes from memory into an image of the given size and
// channel count (the stored thumbnail size, not the JPEG's own): row y of
// the JPEG goes into row y of the image, columns and rows beyond the image
// are dropped, and image pixels the JPEG does not reach stay 0. A 3-component
// JPEG gives (R, G, B, 255) or the grey (77 R + 150 G + 28 B) >> 8; a
// 1-component JPEG gives v or (v, v, v, 255). On any error `out` is left
// empty (width 0: no thumbnail) and the code says why. Never exits, never
// reads outside `data`.
int32_t decodeThumbnailJpeg(const uint8_t* data, size_t size, int32_t width, int32_t height,
                            int32_t channels, ThumbnailPixels& out);

}  // namespace lumenfall

#endif
