// Where the glue compositor reads source pixels and writes the blended
// result: the host's band buffers (final render and dialog preview) or the
// dialog's tiled image. The compositor knows nothing of the host: the host
// side fills this view for every band, the render driver for tiled renders.
#ifndef LUMENFALL_KERNELS_COMPOSITE_TARGET_H
#define LUMENFALL_KERNELS_COMPOSITE_TARGET_H

#include <cstdint>

namespace lumenfall {

struct TiledImage;

// The band of rows the host delivered (one image row per band).
struct HostBand {
    const uint8_t* inData;      // source row(s), interleaved planes
    int32_t inRowBytes;
    uint8_t* outData;           // destination row(s)
    int32_t outRowBytes;
    const uint8_t* maskData;    // selection mask rows, 8-bit, or null
    int32_t maskRowBytes;
    int32_t maskFirstRow;       // image row of maskData's first row (relative to the filter top)
    int32_t maskRowCount;
    int32_t inFirstRow;         // image row of inData's first row (relative to the filter top)
    int32_t outFirstRow;
    int32_t planes;             // planes delivered: 1 or 3 colour planes, plus transparency
    int32_t depth;              // bits per channel: 8 or 16 (32 for float stores)
    bool editableTransparency;  // filter case 4 or 5: the last plane is the layer's transparency
    int32_t inRowCount;         // rows held by inData / outData: a pixel whose row lies outside
    int32_t outRowCount;        // is neither read nor written; 0 = not given (rows are trusted)
};

// Pixel access to a tiled image, supplied by the render pipeline so that the
// kernels need not link against it. Channels are in the image's own range.
struct TiledImageAccess {
    TiledImage* image;
    void (*readPixel)(TiledImage* image, int32_t x, int32_t y, int32_t level, float rgba[4]);
    void (*writePixel)(TiledImage* image, int32_t x, int32_t y, int32_t level, const float rgba[4]);
    float fullScale;            // the store's full scale (its maxValue: 255, 32768 or 1.0);
                                // 0 = not given: channels pass between the ranges unchanged
};

struct CompositeTarget {
    uint32_t renderTarget;      // RenderTarget of the parameter block
    int32_t width;              // pixels are clamped to 0..width-1, 0..height-1
    int32_t height;
    HostBand band;              // targets 0 and 1; for target 2 only depth, planes and
                                // editableTransparency are read (they describe the image)
    TiledImageAccess tiled;     // target 2
};

}  // namespace lumenfall

#endif
