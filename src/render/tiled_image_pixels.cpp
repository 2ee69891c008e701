// Pixel addressing, readers and writers of every layout.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "kernels/numeric_bounds.h"
#include "render/half_float.h"
#include "render/tiled_image.h"
#include "render/tiled_image_internal.h"

namespace lumenfall {

uint8_t* pixelAddress(const TiledImage& image, int32_t x, int32_t y, int32_t level) {
    const TileRecord& tile = image.tiles[image.firstTile[level] +
                                        (y >> kTileShift) * image.tilesPerRow[level] +
                                        (x >> kTileShift)];
    const size_t offset = (size_t(y & (kTileSide - 1)) * size_t(tile.width) +
                           size_t(x & (kTileSide - 1))) * image.bytesPerPixel;
    return tile.data + offset;
}

bool levelReadable(const TiledImage& image, int32_t level) {
    return image.tiles && image.tileCount > 0 && level >= 0 && level <= image.lastLevel &&
           level < kMaxPyramidLevels && image.levelWidth[level] > 0;
}

uint8_t* clampedAddress(const TiledImage& image, int32_t x, int32_t y, int32_t level) {
    x = std::clamp(x, 0, image.levelMaxX[level]);
    y = std::clamp(y, 0, image.levelMaxY[level]);
    return pixelAddress(image, x, y, level);
}

bool insideLevel(const TiledImage& image, int32_t x, int32_t y, int32_t level) {
    return levelReadable(image, level) && x >= 0 && y >= 0 && x <= image.levelMaxX[level] &&
           y <= image.levelMaxY[level];
}

namespace {

uint16_t load16(const uint8_t* p) { uint16_t v; std::memcpy(&v, p, 2); return v; }
uint32_t load32(const uint8_t* p) { uint32_t v; std::memcpy(&v, p, 4); return v; }
float loadFloat(const uint8_t* p) { float v; std::memcpy(&v, p, 4); return v; }
void store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
void store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
void storeFloat(uint8_t* p, float v) { std::memcpy(p, &v, 4); }

template <typename T>
T channelFromFloat(float v, float full) {
    if (std::isnan(v) || v <= 0) return 0;
    if (v >= full) return T(full);
    return T(v);
}

}  // namespace

void readPixel(const TiledImage& image, int32_t x, int32_t y, int32_t level, float channels[4]) {
    channels[0] = channels[1] = channels[2] = channels[3] = 0;
    if (!levelReadable(image, level)) return;
    const uint8_t* p = clampedAddress(image, x, y, level);
    const float full = image.maxValue;
    switch (image.storeType) {
        case kStoreGrey8: channels[0] = p[0]; break;
        case kStoreGrey16: channels[0] = load16(p); break;
        case kStoreGreyHalf: channels[0] = halfToFloat(load16(p)); break;
        case kStoreGreyFloat: channels[0] = loadFloat(p); break;
        case kStoreRgba8: {
            const uint32_t word = load32(p);
            for (int c = 0; c < 4; ++c) channels[c] = float((word >> (24 - 8 * c)) & 0xFF);
            return;
        }
        case kStoreRgba16:
            for (int c = 0; c < 4; ++c) channels[c] = load16(p + 2 * c);
            return;
        case kStoreRgbHalf:
            for (int c = 0; c < 3; ++c) channels[c] = halfToFloat(load16(p + 2 * c));
            channels[3] = full;
            return;
        case kStoreRgbaFloat:
            for (int c = 0; c < 4; ++c) channels[c] = loadFloat(p + 4 * c);
            return;
        default: return;
    }
    channels[1] = channels[2] = channels[0];
    channels[3] = full;
}

void writePixel8(TiledImage& image, int32_t x, int32_t y, int32_t level, uint8_t c0, uint8_t c1,
                 uint8_t c2, uint8_t c3) {
    if (image.storeType != kStoreRgba8 || !insideLevel(image, x, y, level)) return;
    store32(pixelAddress(image, x, y, level),
            (uint32_t(c0) << 24) | (uint32_t(c1) << 16) | (uint32_t(c2) << 8) | uint32_t(c3));
}

void writePixel16(TiledImage& image, int32_t x, int32_t y, int32_t level, uint16_t c0,
                  uint16_t c1, uint16_t c2, uint16_t c3) {
    if (!insideLevel(image, x, y, level)) return;
    uint8_t* p = pixelAddress(image, x, y, level);
    if (image.storeType == kStoreGrey16) {
        store16(p, c0);
    } else if (image.storeType == kStoreRgba16) {
        const uint16_t c[4] = {c0, c1, c2, c3};
        for (int i = 0; i < 4; ++i) store16(p + 2 * i, c[i]);
    }
}

void writePixel(TiledImage& image, int32_t x, int32_t y, int32_t level, const float channels[4]) {
    if (!insideLevel(image, x, y, level)) return;
    uint8_t* p = pixelAddress(image, x, y, level);
    switch (image.storeType) {
        case kStoreGrey8: p[0] = channelFromFloat<uint8_t>(channels[0], 255.0f); break;
        case kStoreGrey16: store16(p, channelFromFloat<uint16_t>(channels[0], 65535.0f)); break;
        case kStoreGreyHalf: store16(p, floatToHalf(channels[0])); break;
        case kStoreGreyFloat: storeFloat(p, channels[0]); break;
        case kStoreRgba8: {
            uint32_t word = 0;
            for (int c = 0; c < 4; ++c)
                word |= uint32_t(channelFromFloat<uint8_t>(channels[c], 255.0f)) << (24 - 8 * c);
            store32(p, word);
            break;
        }
        case kStoreRgba16:
            for (int c = 0; c < 4; ++c) store16(p + 2 * c, channelFromFloat<uint16_t>(channels[c], 65535.0f));
            break;
        case kStoreRgbHalf:
            for (int c = 0; c < 3; ++c) store16(p + 2 * c, floatToHalf(channels[c]));
            break;
        case kStoreRgbaFloat:
            for (int c = 0; c < 4; ++c) storeFloat(p + 4 * c, channels[c]);
            break;
        default: break;
    }
}

uint32_t readWord(const TiledImage& image, int32_t x, int32_t y, int32_t level) {
    if (!levelReadable(image, level)) return 0;
    const uint8_t* p = clampedAddress(image, x, y, level);
    switch (image.bytesPerPixel) {
        case 1: return p[0];
        case 2: return load16(p);
        default: return load32(p);
    }
}

}  // namespace lumenfall
