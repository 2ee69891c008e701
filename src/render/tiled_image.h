// The program's own image: pixels in tiles of at most 512 x 512 with a full
// mip pyramid. Level 0 is the image; each further level halves both sides
// (kept even from 4 upward) down to 1 x 1. After level 0 changes the owner
// rebuilds the pyramid, each level filtered from the one below with a fixed
// 32-tap low-pass kernel.
#ifndef LUMENFALL_RENDER_TILED_IMAGE_H
#define LUMENFALL_RENDER_TILED_IMAGE_H

#include <cstddef>
#include <cstdint>

#include "render/buffer_allocator.h"
#include "render/job_runner.h"

namespace lumenfall {

constexpr int kMaxPyramidLevels = 20;
constexpr int kTileSide = 512;
constexpr int kTileShift = 9;

// Pixel layouts; the value fixes the layout for the life of the image.
enum StoreType : uint32_t {
    kStoreGrey8 = 0,       // 1 byte, full scale 255
    kStoreGrey16 = 1,      // unsigned 16-bit, full scale 32768
    kStoreGreyHalf = 2,    // 16-bit half float, full scale 1.0
    kStoreRgba8 = 3,       // four 8-bit channels in one 32-bit word, channel 0 on top
    kStoreRgba16 = 4,      // four unsigned 16-bit values, full scale 32768
    kStoreGreyFloat = 5,   // one 32-bit float, full scale 1.0
    kStoreRgbHalf = 7,     // three half floats, full scale 1.0
    kStoreRgbaFloat = 9,   // four 32-bit floats, full scale 1.0
};

struct TileRecord {
    uint64_t handle;       // allocator handle; 0 when the plain allocator gave the memory
    uint8_t* data;
    int32_t originY;       // multiples of 512 within the level
    int32_t originX;
    int32_t width;         // also the tile's row stride in pixels
    int32_t height;
};

struct TiledImage {
    int32_t levelWidth[kMaxPyramidLevels];
    int32_t levelHeight[kMaxPyramidLevels];
    int32_t levelWidthCopy[kMaxPyramidLevels];    // the same two again, for the samplers
    int32_t levelHeightCopy[kMaxPyramidLevels];
    int32_t levelMaxX[kMaxPyramidLevels];
    int32_t levelMaxY[kMaxPyramidLevels];
    float levelMaxXf[kMaxPyramidLevels];
    float levelMaxYf[kMaxPyramidLevels];
    float levelWidthf[kMaxPyramidLevels];
    float levelHeightf[kMaxPyramidLevels];
    float inverseWidth[kMaxPyramidLevels];
    float inverseHeight[kMaxPyramidLevels];
    int32_t lastLevel;           // the pyramid has lastLevel + 1 levels
    int32_t samplerBaseLevel;    // lastLevel - 3, not below 0
    uint64_t totalBytes;         // level 0's pixel count times bytesPerPixel
    uint32_t bytesPerPixel;
    uint32_t channelCount;
    uint32_t channelBytes;
    uint32_t storeType;
    int32_t tileCount;
    TileRecord* tiles;
    uint64_t tilesHandle;
    int32_t firstTile[kMaxPyramidLevels];
    int32_t levelTileCount[kMaxPyramidLevels];
    int32_t tilesPerRow[kMaxPyramidLevels];
    const BufferAllocator* buffers;   // the host's buffer suite, or null
    // Stands in for the C runtime's allocator when set (tests make it fail);
    // its handle must be the memory's address.
    const BufferAllocator* plainBuffers;
    void* owner;                      // the plug-in instance that owns the image
    uint32_t edgeMode;                // 0 clamp, 1 wrap both axes, 2 wrap x and clamp y
    uint32_t pyramidState;            // 0 new, 1 level 0 resampled, 2 pyramid rebuilt
    float maxValue;
    float inverseMaxValue;
    float aspectWide;                 // width / height when wider than tall, else 1
    float aspectTall;                 // height / width when taller than wide, else 1
    uint8_t padded;                   // levels 2 pixels larger, 4 bytes per pixel
};

// An empty image that allocates through `buffers` (null: plain allocation).
void initTiledImage(TiledImage& image, const BufferAllocator* buffers, void* owner);

// The side of the next level: ceil(d / 2), plus 1 when that is odd and at least 3.
int32_t nextLevelSide(int32_t side);

bool createTiledImage(TiledImage* image, int32_t width, int32_t height, uint32_t storeType,
                      uint32_t edgeMode, bool padded);
void freeTiledImage(TiledImage* image);

// The channels at (x, y) of `level`, clamped into the level, in the image's
// own range (255, 32768 or 1.0 full scale). Grey layouts repeat the grey in
// channels 0..2; layouts without a fourth channel give full scale there.
// All zero when the image has no tiles or the level does not exist.
void readPixel(const TiledImage& image, int32_t x, int32_t y, int32_t level, float channels[4]);

// Type 3: stores c0 * 2^24 + c1 * 2^16 + c2 * 2^8 + c3. Outside the level: skipped.
void writePixel8(TiledImage& image, int32_t x, int32_t y, int32_t level, uint8_t c0, uint8_t c1,
                 uint8_t c2, uint8_t c3);
// Types 1 and 4: four 16-bit values (grey takes c0).
void writePixel16(TiledImage& image, int32_t x, int32_t y, int32_t level, uint16_t c0,
                  uint16_t c1, uint16_t c2, uint16_t c3);
// Any layout, from channels in the image's own range: integer layouts
// truncate and saturate (NaN to 0), float layouts store the value.
void writePixel(TiledImage& image, int32_t x, int32_t y, int32_t level, const float channels[4]);

// The raw 32-bit value at the clamped position (its first bytes for smaller
// pixels); 0 when the image has no tiles.
uint32_t readWord(const TiledImage& image, int32_t x, int32_t y, int32_t level);

// Fills `rect` (of level sourceLevel + 1) from level sourceLevel.
void buildLevel(TiledImage& image, int32_t sourceLevel, const JobRect& rect);

// Builds every level from the one below, in order, then marks the pyramid current.
void rebuildPyramid(TiledImage& image);

}  // namespace lumenfall

#endif
