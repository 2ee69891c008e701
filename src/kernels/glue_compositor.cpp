#include "kernels/glue_compositor.h"

#include <cstring>

#include "kernels/glue_modes.h"
#include "kernels/numeric_bounds.h"
#include "kernels/perceptual_colour.h"
#include "params/parameter_block.h"

namespace lumenfall {

namespace {

// Everything about the pixel's layout in the host rows.
struct PixelLayout {
    int32_t fullScale;     // M
    int32_t bytes;         // bytes per channel: 1 or 2
    int32_t planes;        // planes per pixel in the rows
    int32_t colourPlanes;  // 1 (grey) or 3
    bool grey;
    bool transparency;     // the last plane is an editable transparency
};

bool layoutOf(const HostBand& band, PixelLayout* layout) {
    layout->fullScale = compositeFullScale(band.depth);
    if (layout->fullScale == 0) return false;
    layout->bytes = band.depth == 8 ? 1 : 2;
    layout->planes = band.planes;
    layout->transparency = band.editableTransparency;
    int32_t colourPlanes = band.planes - (band.editableTransparency ? 1 : 0);
    if (colourPlanes < 1) return false;
    layout->grey = colourPlanes < 3;
    layout->colourPlanes = layout->grey ? 1 : 3;
    return true;
}

const uint8_t* rowOf(const uint8_t* base, int32_t rowBytes, int32_t firstRow, int32_t rowCount,
                     int32_t y) {
    if (base == nullptr) return nullptr;
    int64_t row = static_cast<int64_t>(y) - firstRow;
    if (row < 0 || (rowCount > 0 && row >= rowCount)) return nullptr;
    return base + row * rowBytes;
}

// Channels may sit at odd addresses in the host's rows: copy, never cast.
int32_t readChannel(const uint8_t* pixel, int32_t plane, int32_t bytes) {
    if (bytes == 1) return pixel[plane];
    uint16_t v;
    std::memcpy(&v, pixel + plane * 2, 2);
    return v;
}

void writeChannel(uint8_t* pixel, int32_t plane, int32_t bytes, int32_t value) {
    if (bytes == 1) {
        pixel[plane] = static_cast<uint8_t>(value);
        return;
    }
    uint16_t v = static_cast<uint16_t>(value);
    std::memcpy(pixel + plane * 2, &v, 2);
}

// A 16-bit render into an 8-bit store narrows by 128: (v + 1) >> 7.
bool narrowsBy128(const TiledImageAccess& tiled, int32_t m) {
    return m == kFullScale16 && tiled.fullScale == 255.0f;
}

// Store range to the blend range and back. Without a known store scale, or
// with the same scale, channels pass unchanged.
float storeToBlend(const TiledImageAccess& tiled, int32_t m) {
    if (narrowsBy128(tiled, m)) return 128.0f;
    return tiled.fullScale > 0.0f ? static_cast<float>(m) / tiled.fullScale : 1.0f;
}

// Reads the image pixel under (x, y) into s, within 0..M.
bool readSource(const CompositeTarget& target, const PixelLayout& layout, int32_t x, int32_t y,
                int32_t s[3]) {
    const int32_t m = layout.fullScale;
    if (target.renderTarget == kTargetTiledImage) {
        const TiledImageAccess& tiled = target.tiled;
        if (tiled.image == nullptr || tiled.readPixel == nullptr) return false;
        float rgba[4] = {0, 0, 0, 0};
        tiled.readPixel(tiled.image, x, y, 0, rgba);
        // The inverse of the scaling on write, so that an untouched pixel
        // round-trips (an 8-bit store under a 16-bit render is widened by 128).
        float widen = storeToBlend(tiled, m);
        for (int c = 0; c < 3; ++c) s[c] = clampInt32(saturateToInt32(rgba[c] * widen), 0, m);
        if (layout.grey) s[1] = s[2] = s[0];
        return true;
    }
    const HostBand& band = target.band;
    const uint8_t* row = rowOf(band.inData, band.inRowBytes, band.inFirstRow, band.inRowCount, y);
    if (row == nullptr) return false;
    const uint8_t* pixel = row + static_cast<int64_t>(x) * layout.planes * layout.bytes;
    if (layout.grey) {
        s[0] = s[1] = s[2] = clampInt32(readChannel(pixel, 0, layout.bytes), 0, m);
    } else {
        for (int c = 0; c < 3; ++c) s[c] = clampInt32(readChannel(pixel, c, layout.bytes), 0, m);
    }
    return true;
}

// Selection value of a preview pixel: 255 without a mask, the mask byte
// inside the mask band, 0 outside it.
int32_t selectionValue(const HostBand& band, int32_t x, int32_t y) {
    if (band.maskData == nullptr) return 255;
    const uint8_t* row =
        rowOf(band.maskData, band.maskRowBytes, band.maskFirstRow, band.maskRowCount, y);
    if (row == nullptr) return 0;
    return row[x];
}

void writeHost(const CompositeTarget& target, const PixelLayout& layout, int32_t x, int32_t y,
               const int32_t result[3], int32_t alpha) {
    const HostBand& band = target.band;
    uint8_t* row = const_cast<uint8_t*>(
        rowOf(band.outData, band.outRowBytes, band.outFirstRow, band.outRowCount, y));
    if (row == nullptr) return;
    uint8_t* pixel = row + static_cast<int64_t>(x) * layout.planes * layout.bytes;
    for (int c = 0; c < layout.colourPlanes; ++c) writeChannel(pixel, c, layout.bytes, result[c]);
    if (layout.transparency) writeChannel(pixel, layout.planes - 1, layout.bytes, alpha);
}

void writePreview(const CompositeTarget& target, const PixelLayout& layout, int32_t x, int32_t y,
                  const int32_t result[3], int32_t alpha) {
    const HostBand& band = target.band;
    uint8_t* row = const_cast<uint8_t*>(
        rowOf(band.outData, band.outRowBytes, band.outFirstRow, band.outRowCount, y));
    if (row == nullptr) return;
    uint8_t* pixel = row + static_cast<int64_t>(x) * layout.planes * layout.bytes;
    bool lightSquare = ((x & 8) ^ (y & 8)) == 0;
    int32_t g = selectionValue(band, x, y);
    int32_t out[3];
    if (layout.bytes == 1) {
        int32_t checker = lightSquare ? 255 : 204;
        if (g > 127) g += 1;
        if (layout.transparency) g = (g * alpha) >> 8;
        for (int c = 0; c < 3; ++c) out[c] = (checker * (256 - g) + g * result[c]) >> 8;
    } else {
        // 16-bit weights g against 255 - g, as the preview always did.
        int32_t checker = lightSquare ? 32640 : 26112;
        if (layout.transparency) g = (g * alpha) >> 15;
        for (int c = 0; c < 3; ++c) out[c] = (checker * (255 - g) + g * result[c]) >> 8;
    }
    for (int c = 0; c < layout.colourPlanes; ++c) writeChannel(pixel, c, layout.bytes, out[c]);
    if (layout.transparency) {
        writeChannel(pixel, layout.planes - 1, layout.bytes, layout.fullScale);
    }
}

void writeTiled(const CompositeTarget& target, const PixelLayout& layout, int32_t x, int32_t y,
                const int32_t result[3], int32_t alpha) {
    const TiledImageAccess& tiled = target.tiled;
    if (tiled.image == nullptr || tiled.writePixel == nullptr) return;
    int32_t v[4] = {result[0], layout.grey ? result[0] : result[1],
                    layout.grey ? result[0] : result[2], alpha};
    bool narrow = narrowsBy128(tiled, layout.fullScale);
    float scale = 1.0f / storeToBlend(tiled, layout.fullScale);
    float rgba[4];
    for (int c = 0; c < 4; ++c) {
        if (narrow) {
            int32_t value = (v[c] + 1) >> 7;
            rgba[c] = static_cast<float>(value > 255 ? 255 : value);
        } else {
            rgba[c] = static_cast<float>(v[c]) * scale;
        }
    }
    tiled.writePixel(tiled.image, x, y, 0, rgba);
}

}  // namespace

int32_t compositeFullScale(int32_t depth) {
    if (depth == 8) return kFullScale8;
    if (depth == 16) return kFullScale16;
    return 0;
}

void compositePixel(const GlueContext& context, int32_t x, int32_t y, const float effect[4],
                    int32_t rimWeight) {
    const CompositeTarget* target = context.target;
    if (target == nullptr || target->width < 1 || target->height < 1) return;
    PixelLayout layout;
    if (!layoutOf(target->band, &layout)) return;
    x = clampInt32(x, 0, target->width - 1);
    y = clampInt32(y, 0, target->height - 1);
    const int32_t m = layout.fullScale;
    const float mf = static_cast<float>(m);

    int32_t s[3];
    if (!readSource(*target, layout, x, y, s)) return;

    // Effect in the image's range; negative light is none.
    int32_t e[3];
    for (int c = 0; c < 3; ++c) {
        e[c] = saturateToInt32(mf * effect[c]);
        if (e[c] < 0) e[c] = 0;
    }
    int32_t alpha = saturateToInt32(mf * effect[3] * 1.007);
    alpha = clampInt32(alpha, 0, m);
    if (layout.grey) {
        int64_t grey = (INT64_C(77) * e[0] + INT64_C(150) * e[1] + INT64_C(28) * e[2]) >> 8;
        e[0] = static_cast<int32_t>(clampInt64(grey, 0, INT32_MAX));
    }
    for (int c = 0; c < 3; ++c) {
        if (e[c] > m) e[c] = m;
    }

    int32_t w = clampInt32(rimWeight, 0, 4);
    int32_t mode = context.glue;
    int32_t result[3] = {e[0], e[1], e[2]};
    if (mode == kGlueComposite) {
        if (layout.transparency) {
            alpha = compositeTransparent(result, w, m);
        } else {
            for (int c = 0; c < 3; ++c) result[c] = compositeOpaque(e[c], s[c], w, m);
        }
    } else if (mode == kGlueColor) {
        blendColor(result, s, m, 1.0f / mf);
    } else if (mode == kGlueLuminance) {
        blendLuminance(result, s, m, 1.0f / mf);
    } else if (m == kFullScale8) {
        for (int c = 0; c < 3; ++c) {
            result[c] = blendChannel8(mode, e[c], s[c], context.proceduralWeights);
        }
    } else {
        for (int c = 0; c < 3; ++c) result[c] = blendChannel16(mode, e[c], s[c]);
    }
    for (int c = 0; c < 3; ++c) result[c] = clampInt32(result[c], 0, m);
    alpha = clampInt32(alpha, 0, m);

    switch (target->renderTarget) {
        case kTargetHostImage: writeHost(*target, layout, x, y, result, alpha); break;
        case kTargetHostPreview: writePreview(*target, layout, x, y, result, alpha); break;
        case kTargetTiledImage: writeTiled(*target, layout, x, y, result, alpha); break;
        default: break;
    }
}

}  // namespace lumenfall
