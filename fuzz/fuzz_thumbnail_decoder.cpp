// Feeds arbitrary bytes to the preset thumbnail decoder, as a damaged or
// forged preset file would. The first byte picks the target image (size and
// channel count) so that size mismatches in both directions are explored.
#include <cstddef>
#include <cstdint>

#include "export/thumbnail_jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t choice = data[0];
    const int32_t side = (choice & 1) ? 128 : 1 + (choice >> 2);
    const int32_t channels = (choice & 2) ? 1 : 4;
    lumenfall::ThumbnailPixels pixels;
    const int32_t result = lumenfall::decodeThumbnailJpeg(data + 1, size - 1, side, side, channels, pixels);
    if (result == lumenfall::kThumbnailDecoded &&
        pixels.pixels.size() != static_cast<size_t>(side) * side * channels) {
        __builtin_trap();
    }
    if (result != lumenfall::kThumbnailDecoded && !pixels.pixels.empty()) __builtin_trap();
    return 0;
}
