#include "render/tiled_image.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "render/half_float.h"

namespace lumenfall {
namespace {

struct Layout {
    uint32_t bytesPerPixel;
    uint32_t channelCount;
    uint32_t channelBytes;
    float maxValue;
};

bool layoutOf(uint32_t storeType, Layout& layout) {
    switch (storeType) {
        case kStoreGrey8: layout = {1, 1, 1, 255.0f}; return true;
        case kStoreGrey16: layout = {2, 1, 2, 32768.0f}; return true;
        case kStoreGreyHalf: layout = {2, 1, 2, 1.0f}; return true;
        case kStoreRgba8: layout = {4, 4, 1, 255.0f}; return true;
        case kStoreRgba16: layout = {8, 4, 2, 32768.0f}; return true;
        case kStoreGreyFloat: layout = {4, 1, 4, 1.0f}; return true;
        case kStoreRgbHalf: layout = {6, 3, 2, 1.0f}; return true;
        case kStoreRgbaFloat: layout = {16, 4, 4, 1.0f}; return true;
        default: return false;
    }
}

// Memory for the tile table and the tiles: the host's suite first, then the
// plain allocator. The record keeps handle 0 for plain memory.
void* takeMemory(const TiledImage& image, size_t bytes, uint64_t* handle) {
    *handle = 0;
    if (void* data = allocateBuffer(image.buffers, bytes, false, handle)) return data;
    if (image.plainBuffers) {
        uint64_t ignored = 0;
        return image.plainBuffers->allocate
                   ? image.plainBuffers->allocate(image.plainBuffers->context, bytes, &ignored)
                   : nullptr;
    }
    return std::malloc(bytes ? bytes : 1);
}

void giveMemory(const TiledImage& image, void* data, uint64_t handle) {
    if (!data && handle == 0) return;
    if (handle == 0 && image.plainBuffers) {
        if (image.plainBuffers->release)
            image.plainBuffers->release(image.plainBuffers->context, uint64_t(uintptr_t(data)));
        return;
    }
    releaseBuffer(image.buffers, data, handle);
}

int32_t tilesAcross(int32_t side) { return int32_t((int64_t(side) + kTileSide - 1) / kTileSide); }

}  // namespace

int32_t nextLevelSide(int32_t side) {
    int32_t d = side / 2 + side % 2;
    if (d % 2 == 1 && d >= 3) d += 1;
    return d;
}

void initTiledImage(TiledImage& image, const BufferAllocator* buffers, void* owner) {
    std::memset(&image, 0, sizeof image);
    image.buffers = buffers;
    image.owner = owner;
}

void freeTiledImage(TiledImage* image) {
    if (!image) return;
    if (image->tiles) {
        for (int32_t i = 0; i < image->tileCount; ++i)
            giveMemory(*image, image->tiles[i].data, image->tiles[i].handle);
        giveMemory(*image, image->tiles, image->tilesHandle);
    }
    image->tiles = nullptr;
    image->tilesHandle = 0;
    image->tileCount = 0;
}

bool createTiledImage(TiledImage* image, int32_t width, int32_t height, uint32_t storeType,
                      uint32_t edgeMode, bool padded) {
    if (!image) return false;
    freeTiledImage(image);
    Layout layout;
    if (width < 1 || height < 1 || !layoutOf(storeType, layout)) return false;
    // Padded pixels take 4 bytes, which cannot hold the wider layouts.
    if (padded && layout.bytesPerPixel > 4) return false;
    image->padded = padded ? 1 : 0;
    image->storeType = storeType;
    image->bytesPerPixel = padded ? 4 : layout.bytesPerPixel;
    image->channelCount = layout.channelCount;
    image->channelBytes = layout.channelBytes;
    image->edgeMode = edgeMode;
    image->pyramidState = 0;
    image->maxValue = layout.maxValue;
    image->inverseMaxValue = 1.0f / layout.maxValue;
    image->aspectWide = width > height ? float(width) / float(height) : 1.0f;
    image->aspectTall = height > width ? float(height) / float(width) : 1.0f;

    // Level geometry: halve each side until both are 1 (at least one step).
    if (padded && (width > INT32_MAX - 2 || height > INT32_MAX - 2)) return false;
    int32_t w = width;
    int32_t h = height;
    int64_t tileCount = 0;
    image->lastLevel = kMaxPyramidLevels - 1;
    for (int level = 0; level < kMaxPyramidLevels; ++level) {
        const bool exists = level <= image->lastLevel;
        const int32_t pad = padded ? 2 : 0;
        const int32_t lw = exists ? w + pad : 0;
        const int32_t lh = exists ? h + pad : 0;
        image->levelWidth[level] = image->levelWidthCopy[level] = lw;
        image->levelHeight[level] = image->levelHeightCopy[level] = lh;
        image->levelMaxX[level] = lw - 1;
        image->levelMaxY[level] = lh - 1;
        image->levelMaxXf[level] = float(lw - 1);
        image->levelMaxYf[level] = float(lh - 1);
        image->levelWidthf[level] = float(lw);
        image->levelHeightf[level] = float(lh);
        image->inverseWidth[level] = lw > 0 ? 1.0f / float(lw) : 0.0f;
        image->inverseHeight[level] = lh > 0 ? 1.0f / float(lh) : 0.0f;
        // A tile table beyond 32-bit indices cannot be allocated anyway.
        const int64_t levelTiles = exists ? int64_t(tilesAcross(lw)) * tilesAcross(lh) : 0;
        if (tileCount + levelTiles > int64_t(INT32_MAX / sizeof(TileRecord))) return false;
        image->firstTile[level] = int32_t(tileCount);
        image->tilesPerRow[level] = exists ? tilesAcross(lw) : 0;
        image->levelTileCount[level] = int32_t(levelTiles);
        tileCount += levelTiles;
        if (!exists) continue;
        if (level >= 1 && w == 1 && h == 1 && image->lastLevel == kMaxPyramidLevels - 1)
            image->lastLevel = level;
        w = nextLevelSide(w);
        h = nextLevelSide(h);
    }
    image->samplerBaseLevel = std::max(image->lastLevel - 3, 0);
    image->totalBytes = uint64_t(image->levelWidth[0]) * uint64_t(image->levelHeight[0]) *
                        image->bytesPerPixel;

    uint64_t tableHandle = 0;
    auto* tiles = static_cast<TileRecord*>(
        takeMemory(*image, sizeof(TileRecord) * size_t(tileCount), &tableHandle));
    if (!tiles) return false;
    for (int32_t i = 0; i < tileCount; ++i) tiles[i] = TileRecord{0, nullptr, -1, -1, -1, -1};
    image->tiles = tiles;
    image->tilesHandle = tableHandle;
    image->tileCount = int32_t(tileCount);

    for (int level = 0; level <= image->lastLevel; ++level) {
        const int32_t lw = image->levelWidth[level];
        const int32_t lh = image->levelHeight[level];
        const int32_t across = image->tilesPerRow[level];
        const int32_t down = tilesAcross(lh);
        for (int32_t ty = 0; ty < down; ++ty) {
            for (int32_t tx = 0; tx < across; ++tx) {
                TileRecord& tile = tiles[image->firstTile[level] + ty * across + tx];
                const int32_t tw = tx == across - 1 ? lw - kTileSide * (across - 1) : kTileSide;
                const int32_t th = ty == down - 1 ? lh - kTileSide * (down - 1) : kTileSide;
                uint64_t handle = 0;
                void* data = takeMemory(*image, size_t(tw) * size_t(th) * image->bytesPerPixel,
                                        &handle);
                if (!data) {
                    freeTiledImage(image);
                    return false;
                }
                std::memset(data, 0, size_t(tw) * size_t(th) * image->bytesPerPixel);
                tile = TileRecord{handle, static_cast<uint8_t*>(data), ty * kTileSide,
                                  tx * kTileSide, tw, th};
            }
        }
    }
    return true;
}

}  // namespace lumenfall
