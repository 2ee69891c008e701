// Rows of pixels in memory that the glue compositor reads and writes: the
// band the host delivered (final render and dialog preview). The
// compositor knows nothing of the host: the host side fills this view after
// every band it receives.
#ifndef LUMENFALL_KERNELS_HOST_BAND_H
#define LUMENFALL_KERNELS_HOST_BAND_H

#include <cstdint>

namespace lumenfall {

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

}  // namespace lumenfall

#endif
