#include "render/resample_sample.h"

#include <cmath>
#include <cstring>

#include "render/tiled_image.h"

namespace lumenfall {

namespace {

// Far beyond any level side, small enough for exact int32 arithmetic.
constexpr double kCoordinateLimit = 16777216.0;

bool sampledLayout(uint32_t storeType) {
    return storeType == kStoreGrey8 || storeType == kStoreRgba8 || storeType == kStoreRgba16 ||
           storeType == kStoreRgbaFloat;
}

// One pixel from raw tile bytes, in the image's own range.
void decodePixel(const uint8_t* p, uint32_t storeType, float out[4]) {
    switch (storeType) {
        case kStoreGrey8:
            out[0] = out[1] = out[2] = p[0];
            out[3] = 255.0f;
            break;
        case kStoreRgba8: {
            uint32_t word;
            std::memcpy(&word, p, 4);
            out[0] = static_cast<float>(word >> 24);
            out[1] = static_cast<float>((word >> 16) & 255u);
            out[2] = static_cast<float>((word >> 8) & 255u);
            out[3] = static_cast<float>(word & 255u);
            break;
        }
        case kStoreRgba16: {
            uint16_t v[4];
            std::memcpy(v, p, 8);
            for (int c = 0; c < 4; ++c) out[c] = v[c];
            break;
        }
        default:
            std::memcpy(out, p, 16);
            break;
    }
}

// The 5 x 5 footprint around (cx, cy): taps[row][column][channel], row and
// column 0 at offset -2.
void gatherTaps(const TiledImage& image, int32_t level, int32_t cx, int32_t cy, float taps[5][5][4]) {
    const int32_t width = image.levelWidth[level];
    const int32_t height = image.levelHeight[level];
    const int32_t x0 = cx - 2;
    const int32_t y0 = cy - 2;
    const bool inside = x0 >= 0 && y0 >= 0 && x0 + 4 < width && y0 + 4 < height;
    if (inside && !image.padded && (x0 & (kTileSide - 1)) <= kTileSide - 5 &&
        (y0 & (kTileSide - 1)) <= kTileSide - 5) {
        // Fast path: the whole footprint lies in one tile; read its rows directly.
        const TileRecord& tile = image.tiles[image.firstTile[level] +
                                             (y0 >> kTileShift) * image.tilesPerRow[level] +
                                             (x0 >> kTileShift)];
        if (tile.data != nullptr) {
            const size_t stride = static_cast<size_t>(tile.width) * image.bytesPerPixel;
            const uint8_t* first = tile.data + static_cast<size_t>(y0 & (kTileSide - 1)) * stride +
                                   static_cast<size_t>(x0 & (kTileSide - 1)) * image.bytesPerPixel;
            for (int j = 0; j < 5; ++j) {
                const uint8_t* row = first + j * stride;
                for (int i = 0; i < 5; ++i) decodePixel(row + i * image.bytesPerPixel, image.storeType, taps[j][i]);
            }
            return;
        }
    }
    for (int j = 0; j < 5; ++j) {
        const int32_t y = edgeCoordinate(cy + j - 2, height, image.edgeMode, false);
        for (int i = 0; i < 5; ++i) {
            const int32_t x = edgeCoordinate(cx + i - 2, width, image.edgeMode, true);
            readPixel(image, x, y, level, taps[j][i]);
        }
    }
}

}  // namespace

TapPosition tapPosition(float coordinate) {
    double shifted = static_cast<double>(coordinate) + 0.5;
    if (std::isnan(shifted)) shifted = 0.0;
    if (shifted > kCoordinateLimit) shifted = kCoordinateLimit;
    if (shifted < -kCoordinateLimit) shifted = -kCoordinateLimit;
    // Floor equals truncation for the non-negative positions a resample
    // produces; for negative ones it keeps the phase in 0..127.
    const double centre = std::floor(shifted);
    int32_t phase = static_cast<int32_t>((shifted - centre) * 128.0);
    if (phase > kResamplePhases - 1) phase = kResamplePhases - 1;
    return {static_cast<int32_t>(centre), phase};
}

int32_t edgeCoordinate(int32_t coordinate, int32_t size, uint32_t edgeMode, bool isColumn) {
    if (size < 1) return 0;
    const bool wrap = edgeMode == 1 || (edgeMode == 2 && isColumn);
    if (wrap) {
        const int32_t r = coordinate % size;
        return r < 0 ? r + size : r;
    }
    if (coordinate < 0) return 0;
    if (coordinate > size - 1) return size - 1;
    return coordinate;
}

void sampleLevel(const TiledImage& image, const LanczosWeights& weights, int32_t level, float x,
                 float y, float rgba[4]) {
    rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0.0f;
    if (image.tiles == nullptr || image.tileCount <= 0) return;
    if (level < 0 || level > image.lastLevel || level >= kMaxPyramidLevels) return;
    if (!sampledLayout(image.storeType)) return;
    if (image.levelWidth[level] < 1 || image.levelHeight[level] < 1) return;

    const TapPosition column = tapPosition(x);
    const TapPosition row = tapPosition(y);
    float taps[5][5][4];
    gatherTaps(image, level, column.centre, row.centre, taps);

    // Column and row index i (offset i - 2) take weight 4 - i: the tap at +2 takes w0.
    if (image.storeType == kStoreRgbaFloat) {
        const float* wx = weights.floats[column.phase];
        const float* wy = weights.floats[row.phase];
        for (int c = 0; c < 4; ++c) {
            float total = 0.0f;
            for (int j = 0; j < 5; ++j) {
                float rowSum = 0.0f;
                for (int i = 0; i < 5; ++i) rowSum += wx[4 - i] * taps[j][i][c];
                total += wy[4 - j] * rowSum;
            }
            rgba[c] = total;
        }
    } else if (image.storeType == kStoreRgba16) {
        const int32_t* wx = weights.scaled32768[column.phase];
        const int32_t* wy = weights.scaled32768[row.phase];
        for (int c = 0; c < 4; ++c) {
            int64_t total = 0;
            for (int j = 0; j < 5; ++j) {
                int64_t rowSum = 0;
                for (int i = 0; i < 5; ++i) rowSum += int64_t(wx[4 - i]) * static_cast<int32_t>(taps[j][i][c]);
                total += int64_t(wy[4 - j]) * (rowSum / 32768);
            }
            rgba[c] = static_cast<float>(total) * (1.0f / 32768.0f);
        }
    } else {
        const int32_t* wx = weights.scaled2048[column.phase];
        const int32_t* wy = weights.scaled2048[row.phase];
        for (int c = 0; c < 4; ++c) {
            int64_t total = 0;
            for (int j = 0; j < 5; ++j) {
                int64_t rowSum = 0;
                for (int i = 0; i < 5; ++i) rowSum += int64_t(wx[4 - i]) * static_cast<int32_t>(taps[j][i][c]);
                total += int64_t(wy[4 - j]) * rowSum;
            }
            rgba[c] = static_cast<float>(total) * (1.0f / 4194304.0f);
        }
    }
}

void sampleTrilinear(const TiledImage& image, const LanczosWeights& weights, int32_t level, float t,
                     float u, float v, float rgba[4]) {
    int32_t L = level;
    if (L > image.lastLevel - 1) L = image.lastLevel - 1;
    if (L < 0) L = 0;
    if (L >= kMaxPyramidLevels) L = kMaxPyramidLevels - 1;
    sampleLevel(image, weights, L, u * image.levelWidthf[L] - 0.5f, v * image.levelHeightf[L] - 0.5f, rgba);
    if (t != 0.0f && L + 1 <= image.lastLevel && L + 1 < kMaxPyramidLevels) {
        float upper[4];
        sampleLevel(image, weights, L + 1, u * image.levelWidthf[L + 1] - 0.5f,
                    v * image.levelHeightf[L + 1] - 0.5f, upper);
        for (int c = 0; c < 4; ++c) rgba[c] = rgba[c] + (upper[c] - rgba[c]) * t;
    }
    for (int c = 0; c < 4; ++c) rgba[c] *= image.inverseMaxValue;
}

}  // namespace lumenfall
