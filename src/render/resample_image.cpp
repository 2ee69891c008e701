#include "render/resample_image.h"

#include <cmath>
#include <cstring>

#include "render/resample_sample.h"
#include "render/tiled_image.h"
#include "render/work_block.h"

namespace lumenfall {

namespace {

uint8_t fractionToByte(float value) {
    const float scaled = 255.0f * value;
    if (!(scaled > 0.0f)) return 0;  // also NaN
    if (scaled >= 255.0f) return 255;
    return static_cast<uint8_t>(scaled);
}

bool hasTiles(const TiledImage& image) { return image.tiles != nullptr && image.tileCount > 0; }

// The raw bytes of level-0 pixel (x, y), which must lie inside the level.
uint8_t* levelZeroPixel(const TiledImage& image, int32_t x, int32_t y) {
    const TileRecord& tile = image.tiles[image.firstTile[0] + (y >> kTileShift) * image.tilesPerRow[0] +
                                         (x >> kTileShift)];
    if (tile.data == nullptr) return nullptr;
    return tile.data + (static_cast<size_t>(y & (kTileSide - 1)) * tile.width + (x & (kTileSide - 1))) *
                           image.bytesPerPixel;
}

void writeByteColour(TiledImage& image, int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b) {
    if (image.storeType == kStoreRgba8) {
        writePixel8(image, x, y, 0, r, g, b, 255);
        return;
    }
    // Other layouts take the same 8-bit colour in their own range.
    const float scale = image.maxValue / 255.0f;
    const float channels[4] = {r * scale, g * scale, b * scale, image.maxValue};
    writePixel(image, x, y, 0, channels);
}

}  // namespace

LanczosWeights lanczosWeightsOf(const WorkBlock& work) {
    return {work.lanczosFloat, work.lanczos2048, work.lanczos32768};
}

void fillLanczosWeights(WorkBlock& work) {
    fillLanczosWeights(work.lanczosFloat, work.lanczos2048, work.lanczos32768);
}

double resampleLevel(int32_t sourceWidth, int32_t destinationWidth, double bias, int32_t lastLevel) {
    if (lastLevel < 0) lastLevel = 0;
    if (sourceWidth < 1 || destinationWidth < 1) return 0.0;
    // The ratio of the widths as a real number, so that the level fraction
    // blends smoothly between sizes.
    double level = std::log2(static_cast<double>(sourceWidth) / destinationWidth) - bias;
    if (!(level > 0.0)) level = 0.0;  // also NaN from a NaN bias
    if (level > lastLevel) level = lastLevel;
    return level;
}

void resampleImage(const TiledImage* source, const ResampleRect& sourceRect, TiledImage* destination,
                   const ResampleRect& destinationRect, double bias, const LanczosWeights& weights) {
    if (source == nullptr || destination == nullptr) return;
    const int32_t rows = destinationRect.bottom - destinationRect.top;
    const int32_t columns = destinationRect.right - destinationRect.left;
    const int32_t sourceColumns = sourceRect.right - sourceRect.left;
    const int32_t sourceRows = sourceRect.bottom - sourceRect.top;
    if (rows > 0 && columns > 0 && sourceColumns > 0 && sourceRows > 0 && hasTiles(*destination)) {
        const double level = resampleLevel(sourceColumns, columns, bias, source->lastLevel);
        const int32_t L = static_cast<int32_t>(level);
        const float t = static_cast<float>(level - L);
        // Normalised coordinates cover the source rectangle within level 0
        // (the whole image when the rectangle is the whole image).
        const float sourceWidth = source->levelWidthf[0] > 0 ? source->levelWidthf[0] : 1.0f;
        const float sourceHeight = source->levelHeightf[0] > 0 ? source->levelHeightf[0] : 1.0f;
        const float uScale = sourceColumns / sourceWidth;
        const float vScale = sourceRows / sourceHeight;
        const float uOffset = sourceRect.left / sourceWidth;
        const float vOffset = sourceRect.top / sourceHeight;
        for (int32_t y = 0; y < rows; ++y) {
            const float v = static_cast<float>(2 * int64_t(y) + 1) / static_cast<float>(2 * int64_t(rows));
            for (int32_t x = 0; x < columns; ++x) {
                const float u = static_cast<float>(2 * int64_t(x) + 1) / static_cast<float>(2 * int64_t(columns));
                float rgba[4];
                sampleTrilinear(*source, weights, L, t, uOffset + u * uScale, vOffset + v * vScale, rgba);
                writeByteColour(*destination, destinationRect.left + x, destinationRect.top + y,
                                fractionToByte(rgba[0]), fractionToByte(rgba[1]), fractionToByte(rgba[2]));
            }
        }
        destination->pyramidState = 1;
    }
    rebuildPyramid(*destination);
}

void copyImage(const TiledImage* source, TiledImage* destination, const LanczosWeights& weights) {
    if (source == nullptr || destination == nullptr) return;
    const int32_t width = source->levelWidth[0];
    const int32_t height = source->levelHeight[0];
    if (width != destination->levelWidth[0] || height != destination->levelHeight[0]) {
        const ResampleRect from{0, 0, height, width};
        const ResampleRect to{0, 0, destination->levelHeight[0], destination->levelWidth[0]};
        resampleImage(source, from, destination, to, 0.5, weights);
        return;
    }
    if (!hasTiles(*source) || !hasTiles(*destination)) return;
    if (source->lastLevel != destination->lastLevel || source->storeType != destination->storeType ||
        source->bytesPerPixel != destination->bytesPerPixel || source->padded != destination->padded) {
        return;
    }
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* from = levelZeroPixel(*source, x, y);
            uint8_t* to = levelZeroPixel(*destination, x, y);
            if (from != nullptr && to != nullptr) std::memcpy(to, from, source->bytesPerPixel);
        }
    }
    rebuildPyramid(*destination);
}

}  // namespace lumenfall
