// The 128 x 128 picture of the current result that presets, memory dots and
// HTML pages carry: a centred square of the host's output buffer, scaled.
#ifndef LUMENFALL_EXPORT_THUMBNAIL_H
#define LUMENFALL_EXPORT_THUMBNAIL_H

#include <cstdint>
#include <vector>

#include "kernels/resample_weights.h"

namespace lumenfall {

struct BufferAllocator;

constexpr int32_t kThumbnailSide = 128;

struct Thumbnail {
    uint8_t rgb[kThumbnailSide * kThumbnailSide * 3];  // rows packed, 8-bit RGB
};

// What the host's output buffer holds: `data` starts at the buffer
// rectangle's top-left pixel; the rectangle is given relative to the filter
// rectangle's top-left corner (bottom and right exclusive). Planes are
// interleaved; depth 8, 16 (host range 0..32768) or 32 (float, 0..1).
struct HostOutputView {
    const void* data = nullptr;
    int32_t rowBytes = 0;
    int32_t top = 0, left = 0, bottom = 0, right = 0;
    int32_t planes = 0;
    int32_t depth = 8;
};

// Row y of the ramp has grey 255 - y in all three channels.
void fillThumbnailRamp(Thumbnail& thumbnail);

// Copies the largest square centred in the part of the filter rectangle
// (filterWidth x filterHeight at the origin) that the buffer holds, as 8-bit
// RGB. Returns false, leaving `rgb` empty, when the buffer holds nothing usable.
bool copyCentredSquare(const HostOutputView& output, int32_t filterWidth, int32_t filterHeight,
                       std::vector<uint8_t>& rgb, int32_t& side);

// Fills the ramp, then replaces it by the square scaled to 128 x 128 with
// the resampler's copy (the weights must be filled). The working images are
// allocated through `buffers` (null: plain allocation). Returns whether the
// picture came from the buffer; when any step fails the ramp stays.
bool makeThumbnail(const HostOutputView& output, int32_t filterWidth, int32_t filterHeight,
                   const LanczosWeights& weights, const BufferAllocator* buffers,
                   Thumbnail& thumbnail);

}  // namespace lumenfall

#endif
