// The glue compositor: blends a span of effect pixels onto the image pixels
// under them by the glue mode. The pixel layout is fixed once per span; the
// blend itself knows nothing of where pixels come from or go to. Rows in
// memory (the host's band, the preview) are read and written here too;
// other stores read into and write from the blend's plain arrays.
#ifndef LUMENFALL_KERNELS_GLUE_COMPOSITOR_H
#define LUMENFALL_KERNELS_GLUE_COMPOSITOR_H

#include <cstdint>

#include "kernels/host_band.h"
#include "kernels/sun_elements.h"

namespace lumenfall {

// The channel maximum M of a host depth: 255 for 8 bits, 32768 for 16 bits;
// 0 for any other depth, which the compositor leaves untouched.
int32_t compositeFullScale(int32_t depth);

// Everything about a pixel's layout in the rows.
struct PixelLayout {
    int32_t fullScale;     // M
    int32_t bytes;         // bytes per channel: 1 or 2
    int32_t planes;        // planes per pixel in the rows
    int32_t colourPlanes;  // 1 (grey) or 3
    bool grey;
    bool transparency;     // the last plane is an editable transparency
};

// False when the rows cannot be blended (a depth other than 8 or 16 bits,
// or no colour plane).
bool pixelLayoutOf(int32_t depth, int32_t planes, bool editableTransparency, PixelLayout* layout);

struct GlueSetup {
    int32_t glue;                      // glue mode 1..19; others blend as "normal"
    const int32_t* proceduralWeights;  // 256 entries
    float inverseScale;                // 1 / the renderer's float scale Mf
    PixelLayout layout;
    // Optional: what an 8-bit channel s becomes under a dark pixel (no
    // light, outside the disc), for the modes where that depends on s alone;
    // null elsewhere. Most of a picture lies beyond the sun's reach.
    const int32_t* darkChannel = nullptr;  // 256 entries
    // Whether the final write of 16-bit colour rows may take the shortcuts
    // of the 8-bit table: runs of dark pixels written channel by channel,
    // without the blend's per-pixel steps (the modes that blend channel by
    // channel), and the lit runs between them of a glue that keeps the
    // effect written from the effect alone. Off, as without the table,
    // every pixel is read, blended and written.
    bool darkRuns16 = false;
};

// Fills table[256] for setup's mode and returns true, when an 8-bit dark
// pixel blends channel by channel; false otherwise (16 bits, "color",
// "luminance", "composite" over transparency).
bool darkChannelTable(const GlueSetup& setup, int32_t table[256]);

// Blends effect[i] onto source[i] (channels 0..M; a grey source repeats its
// value in all three) into result[i] and the output transparency alpha[i].
void blendSpan(const GlueSetup& setup, const SunPixel* effect, const int32_t (*source)[3], int32_t count,
               int32_t (*result)[3], int32_t* alpha);

// blendSpan's work for one glue mode and full scale: chosen once per span
// (or once per render) rather than per pixel.
using BlendSpanFunction = void (*)(const GlueSetup& setup, const SunPixel* effect, const int32_t (*source)[3],
                                   int32_t count, int32_t (*result)[3], int32_t* alpha);
BlendSpanFunction blendSpanFunction(const GlueSetup& setup);

// The same blend with the mode and the full scale read from the setup at
// run time, the channel formula called through its table: the reference
// the span functions are held to.
void blendSpanPerPixel(const GlueSetup& setup, const SunPixel* effect, const int32_t (*source)[3], int32_t count,
                       int32_t (*result)[3], int32_t* alpha);

// How blended pixels are written into rows in memory.
enum class BandWrite {
    Final,    // the result, and the transparency plane where there is one
    Preview,  // the result over an 8 x 8 checkerboard, through the selection
};

// Blends pixels first .. first + count - 1 of row `row` (relative to the
// filtered area's top) of the band. Rows the band does not hold are left
// alone. Returns false when the band has no input or output rows.
bool compositeBandSpan(const GlueSetup& setup, const HostBand& band, BandWrite how, int32_t row,
                       int32_t first, int32_t count, const SunPixel* effect);

// The band's source pixels of a row, without any effect, written into its
// output row as the preview writes (over the checkerboard, through the
// selection and the transparency). False when the band cannot be written.
bool previewSourceSpan(const HostBand& band, int32_t row, int32_t first, int32_t count);

}  // namespace lumenfall

#endif
