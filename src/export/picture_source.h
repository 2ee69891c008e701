// A picture handed to the JPEG writer: a row reader that yields RGB as
// fractions of full scale. The writer clamps each channel to 0..1, so the
// reader may return any value (out-of-range, NaN) without harm.
#ifndef LUMENFALL_EXPORT_PICTURE_SOURCE_H
#define LUMENFALL_EXPORT_PICTURE_SOURCE_H

#include <cstddef>
#include <cstdint>

namespace lumenfall {

struct PictureSource {
    int32_t width = 0;
    int32_t height = 0;
    const void* context = nullptr;
    // Fills rgb[0 .. 3 * width) with row y (0 <= y < height).
    void (*readRow)(const void* context, int32_t y, float* rgb) = nullptr;
    // False for an image that has no pixel storage (a tiled image without tiles).
    bool hasStorage = true;
};

// An 8-bit interleaved RGB picture in memory (the thumbnail, test pictures).
struct Rgb8View {
    const uint8_t* pixels = nullptr;  // width * height * 3 bytes, rows packed
    int32_t width = 0;
    int32_t height = 0;
};

// A float interleaved RGB picture in memory, values as fractions of full scale.
struct RgbFloatView {
    const float* pixels = nullptr;    // width * height * 3 floats, rows packed
    int32_t width = 0;
    int32_t height = 0;
};

struct TiledImage;

// Sources that read the views above; the view must outlive the source.
PictureSource pictureFromRgb8(const Rgb8View& view);
PictureSource pictureFromRgbFloat(const RgbFloatView& view);

// Level 0 of a tiled image, channels times the image's gain (fractions of
// full scale). A null image gives a source without a reader (no image).
PictureSource pictureFromTiledImage(const TiledImage* image);

}  // namespace lumenfall

#endif
