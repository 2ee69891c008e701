// Preset thumbnails between the preset format and images: the thumbnail
// block written into presets, a reader sink that decodes the stored JPEG
// into a tiled image, and the memory-dot picture of the dialog's centre dot.
#ifndef LUMENFALL_EXPORT_PRESET_THUMBNAIL_H
#define LUMENFALL_EXPORT_PRESET_THUMBNAIL_H

#include <cstdint>
#include <vector>

#include "kernels/resample_weights.h"
#include "params/preset_format.h"

namespace lumenfall {

struct TiledImage;
struct BufferAllocator;

// The block that follows the settings in a preset: 1, width, height,
// length and the JPEG (quality 80) of the 128 x 128 RGB picture, or the
// single value 0 when it cannot be encoded.
std::vector<uint8_t> presetThumbnailBlock(const uint8_t* rgb128);

// Where a decoded thumbnail goes: `image` (initialised by the caller) is
// made a store-type-3 image of the stored width and height and receives the
// JPEG; on any failure it is left without tiles.
struct TiledThumbnailTarget {
    TiledImage* image = nullptr;
};
PresetThumbnailSink tiledThumbnailSink(TiledThumbnailTarget& target);

// The dialog's memory-dot picture: empties `image`, reads dot N's thumbnail
// (the settings are read past, mode 1) and copies it scaled into a
// side x side image of store type 3. Returns whether a thumbnail was
// obtained; `image` has no tiles otherwise. `buffers` allocates the images
// (null: plain allocation). Dots outside 0..24 give false.
bool loadMemoryDotThumbnail(int32_t dot, int32_t side, const LanczosWeights& weights,
                            const BufferAllocator* buffers, TiledImage* image);

}  // namespace lumenfall

#endif
