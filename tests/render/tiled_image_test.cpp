// Tiled image geometry, memory roads, pixel access and the pyramid.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "render/tiled_image.h"
#include "render_harness.h"

namespace lumenfall {
namespace {

using test::CountingAllocator;

struct Image {
    TiledImage image;
    explicit Image(const BufferAllocator* buffers = nullptr) { initTiledImage(image, buffers, nullptr); }
    ~Image() { freeTiledImage(&image); }
};

TEST(TiledImageGeometry, LevelSides) {
    EXPECT_EQ(nextLevelSide(5), 4);
    EXPECT_EQ(nextLevelSide(3), 2);
    EXPECT_EQ(nextLevelSide(2), 1);
    EXPECT_EQ(nextLevelSide(1), 1);
    EXPECT_EQ(nextLevelSide(125), 64);
    EXPECT_EQ(nextLevelSide(250), 126);
}

TEST(TiledImageGeometry, ThousandBySixHundred) {
    Image m;
    ASSERT_TRUE(createTiledImage(&m.image, 1000, 600, kStoreRgba8, 0, false));
    const int32_t w[] = {1000, 500, 250, 126, 64, 32, 16, 8, 4, 2, 1};
    const int32_t h[] = {600, 300, 150, 76, 38, 20, 10, 6, 4, 2, 1};
    EXPECT_EQ(m.image.lastLevel, 10);
    EXPECT_EQ(m.image.samplerBaseLevel, 7);
    for (int l = 0; l <= 10; ++l) {
        EXPECT_EQ(m.image.levelWidth[l], w[l]) << l;
        EXPECT_EQ(m.image.levelHeight[l], h[l]) << l;
        EXPECT_EQ(m.image.levelMaxX[l], w[l] - 1);
        EXPECT_EQ(m.image.inverseWidth[l], 1.0f / float(w[l]));
    }
    EXPECT_EQ(m.image.levelWidth[11], 0);
    // Level 0: 2 x 2 tiles; every later level fits in one.
    EXPECT_EQ(m.image.levelTileCount[0], 4);
    EXPECT_EQ(m.image.tilesPerRow[0], 2);
    EXPECT_EQ(m.image.tileCount, 14);
    EXPECT_EQ(m.image.firstTile[1], 4);
    EXPECT_EQ(m.image.tiles[1].width, 488);
    EXPECT_EQ(m.image.tiles[1].originX, 512);
    EXPECT_EQ(m.image.tiles[2].height, 88);
    EXPECT_EQ(m.image.totalBytes, 1000u * 600u * 4u);
    EXPECT_EQ(m.image.maxValue, 255.0f);
    EXPECT_FLOAT_EQ(m.image.aspectWide, 1000.0f / 600.0f);
    EXPECT_EQ(m.image.aspectTall, 1.0f);
}

TEST(TiledImageGeometry, SmallImages) {
    Image a;
    ASSERT_TRUE(createTiledImage(&a.image, 513, 1, kStoreRgba8, 0, false));
    EXPECT_EQ(a.image.levelTileCount[0], 2);
    EXPECT_EQ(a.image.tiles[0].width, 512);
    EXPECT_EQ(a.image.tiles[1].width, 1);
    EXPECT_EQ(a.image.levelTileCount[1], 1);
    EXPECT_EQ(a.image.levelWidth[1], 258);  // 257 is odd: 258
    Image b;
    ASSERT_TRUE(createTiledImage(&b.image, 1, 1, kStoreRgba16, 0, false));
    EXPECT_EQ(b.image.lastLevel, 1);
    EXPECT_EQ(b.image.levelWidth[1], 1);
    EXPECT_EQ(b.image.maxValue, 32768.0f);
}

TEST(TiledImageGeometry, RefusedShapes) {
    Image m;
    EXPECT_FALSE(createTiledImage(nullptr, 4, 4, kStoreRgba8, 0, false));
    EXPECT_FALSE(createTiledImage(&m.image, 0, 4, kStoreRgba8, 0, false));
    EXPECT_FALSE(createTiledImage(&m.image, 4, -1, kStoreRgba8, 0, false));
    EXPECT_FALSE(createTiledImage(&m.image, 4, 4, 6, 0, false));
    EXPECT_FALSE(createTiledImage(&m.image, 4, 4, kStoreRgbaFloat, 0, true));  // 16 bytes cannot pad to 4
    EXPECT_FALSE(createTiledImage(&m.image, INT32_MAX, INT32_MAX, kStoreRgba8, 0, false));
    EXPECT_EQ(m.image.tileCount, 0);
    ASSERT_TRUE(createTiledImage(&m.image, 4, 4, kStoreGrey8, 0, true));
    EXPECT_EQ(m.image.levelWidth[0], 6);
    EXPECT_EQ(m.image.bytesPerPixel, 4u);
}

TEST(TiledImageMemory, HostSuiteThenPlainAllocation) {
    CountingAllocator suite;
    {
        Image m(&suite.table);
        ASSERT_TRUE(createTiledImage(&m.image, 1000, 600, kStoreRgba8, 0, false));
        EXPECT_EQ(suite.allocations, 15);  // the table and 14 tiles
        EXPECT_NE(m.image.tilesHandle, 0u);
        for (int i = 0; i < m.image.tileCount; ++i) EXPECT_NE(m.image.tiles[i].handle, 0u);
        freeTiledImage(&m.image);
        EXPECT_EQ(suite.releases, 15);
        freeTiledImage(&m.image);  // safe when empty
        EXPECT_EQ(suite.releases, 15);
    }
    // The suite fails after 5 allocations: the rest comes from plain memory.
    CountingAllocator failing;
    failing.failAfter = 5;
    Image m(&failing.table);
    ASSERT_TRUE(createTiledImage(&m.image, 1000, 600, kStoreRgba8, 0, false));
    EXPECT_NE(m.image.tiles[3].handle, 0u);
    EXPECT_EQ(m.image.tiles[4].handle, 0u);
    EXPECT_EQ(m.image.tiles[13].handle, 0u);
    freeTiledImage(&m.image);
    EXPECT_EQ(failing.releases, 5);
}

TEST(TiledImageMemory, FailureFreesWhatWasTaken) {
    CountingAllocator suite;
    suite.failAfter = 3;
    CountingAllocator plain;  // stands in for the C runtime
    plain.failAfter = 4;
    Image m(&suite.table);
    m.image.plainBuffers = &plain.table;
    EXPECT_FALSE(createTiledImage(&m.image, 1000, 600, kStoreRgba8, 0, false));
    EXPECT_EQ(m.image.tileCount, 0);
    EXPECT_EQ(m.image.tiles, nullptr);
    EXPECT_EQ(suite.releases, suite.allocations);
    EXPECT_EQ(plain.releases, plain.allocations);
    EXPECT_EQ(plain.allocations, 4);
    // The table itself failing: nothing allocated, nothing to free.
    CountingAllocator none;
    none.failAfter = 0;
    Image n(&none.table);
    n.image.plainBuffers = &none.table;
    EXPECT_FALSE(createTiledImage(&n.image, 8, 8, kStoreRgba8, 0, false));
    EXPECT_EQ(n.image.tileCount, 0);
}

TEST(TiledImagePixels, PackedWordsClampingAndSkippedWrites) {
    Image m;
    ASSERT_TRUE(createTiledImage(&m.image, 600, 3, kStoreRgba8, 0, false));
    writePixel8(m.image, 599, 2, 0, 1, 2, 3, 4);
    EXPECT_EQ(readWord(m.image, 599, 2, 0), 0x01020304u);
    EXPECT_EQ(readWord(m.image, 5000, 70, 0), 0x01020304u);  // clamped to the corner
    float px[4];
    readPixel(m.image, 1000, -5, 0, px);  // clamps to (599, 0)
    EXPECT_EQ(px[0], 0);
    readPixel(m.image, 700, 9, 0, px);
    EXPECT_EQ(px[0], 1);
    EXPECT_EQ(px[3], 4);
    writePixel8(m.image, 600, 0, 0, 9, 9, 9, 9);  // outside: dropped
    writePixel8(m.image, -1, 0, 0, 9, 9, 9, 9);
    EXPECT_EQ(readWord(m.image, 599, 0, 0), 0u);
    // A pixel in the second tile column.
    writePixel8(m.image, 512, 1, 0, 255, 0, 0, 255);
    EXPECT_EQ(readWord(m.image, 512, 1, 0), 0xFF0000FFu);
    EXPECT_EQ(readWord(m.image, 511, 1, 0), 0u);
    Image empty;
    EXPECT_EQ(readWord(empty.image, 0, 0, 0), 0u);
    readPixel(empty.image, 0, 0, 0, px);
    EXPECT_EQ(px[3], 0);
}

TEST(TiledImagePixels, EveryLayoutRoundTrips) {
    const float in[4] = {12, 200, 30, 255};
    for (uint32_t type : {0u, 1u, 2u, 3u, 4u, 5u, 7u, 9u}) {
        Image m;
        ASSERT_TRUE(createTiledImage(&m.image, 3, 2, type, 0, false)) << type;
        writePixel(m.image, 2, 1, 0, in);
        float out[4];
        readPixel(m.image, 2, 1, 0, out);
        EXPECT_EQ(out[0], 12) << type;
        if (m.image.channelCount >= 3) {
            EXPECT_EQ(out[1], 200) << type;
        }
        if (m.image.channelCount == 4) {
            EXPECT_EQ(out[3], 255) << type;
        }
        if (m.image.channelCount == 1) {
            EXPECT_EQ(out[2], 12) << type;
        }
    }
    Image m;
    ASSERT_TRUE(createTiledImage(&m.image, 2, 2, kStoreRgba16, 0, false));
    writePixel16(m.image, 1, 1, 0, 32768, 1, 2, 65535);
    float out[4];
    readPixel(m.image, 1, 1, 0, out);
    EXPECT_EQ(out[0], 32768);
    EXPECT_EQ(out[3], 65535);
    const float odd[4] = {NAN, -5, 70000, 1e30f};
    writePixel(m.image, 0, 0, 0, odd);
    readPixel(m.image, 0, 0, 0, out);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 65535);
}

void fill(TiledImage& image, uint8_t v) {
    for (int y = 0; y < image.levelHeight[0]; ++y)
        for (int x = 0; x < image.levelWidth[0]; ++x) writePixel8(image, x, y, 0, v, v, v, v);
}

TEST(Pyramid, FlatEightBitLevels) {
    for (auto [value, next] : {std::pair<int, int>{200, 201}, {255, 255}, {100, 100}, {0, 0}}) {
        Image m;
        ASSERT_TRUE(createTiledImage(&m.image, 37, 21, kStoreRgba8, 0, false));
        fill(m.image, uint8_t(value));
        rebuildPyramid(m.image);
        EXPECT_EQ(m.image.pyramidState, 2u);
        float px[4];
        readPixel(m.image, 5, 5, 1, px);
        EXPECT_EQ(px[0], next) << value;
        EXPECT_EQ(px[3], next) << value;
    }
}

TEST(Pyramid, OnePixelImageFillsLevelOne) {
    Image m;
    ASSERT_TRUE(createTiledImage(&m.image, 1, 1, kStoreRgba8, 0, false));
    writePixel8(m.image, 0, 0, 0, 200, 100, 255, 1);
    rebuildPyramid(m.image);
    EXPECT_EQ(readWord(m.image, 0, 0, 1), (201u << 24) | (100u << 16) | (255u << 8) | 1u);
}

TEST(Pyramid, FloatImagesKeepValuesAboveOne) {
    Image m;
    ASSERT_TRUE(createTiledImage(&m.image, 70, 33, kStoreRgbaFloat, 0, false));
    const float two[4] = {2.0f, 2.0f, 2.0f, 2.0f};
    for (int y = 0; y < 33; ++y)
        for (int x = 0; x < 70; ++x) writePixel(m.image, x, y, 0, two);
    rebuildPyramid(m.image);
    for (int level = 1; level <= m.image.lastLevel; ++level) {
        float px[4];
        readPixel(m.image, m.image.levelMaxX[level], 0, level, px);
        ASSERT_EQ(px[0], 2.0f) << level;
    }
    Image g;
    ASSERT_TRUE(createTiledImage(&g.image, 9, 9, kStoreGreyFloat, 0, false));
    const float big[4] = {1e9f, 0, 0, 0};
    writePixel(g.image, 4, 4, 0, big);
    rebuildPyramid(g.image);
    float px[4];
    readPixel(g.image, 2, 2, 1, px);
    EXPECT_EQ(px[0], 65535.0f);  // float layouts clamp at 65535
}

TEST(Pyramid, EdgesReplicate) {
    Image m;
    ASSERT_TRUE(createTiledImage(&m.image, 8, 8, kStoreRgba8, 0, false));
    for (int y = 0; y < 8; ++y) writePixel8(m.image, 0, y, 0, 255, 255, 255, 255);
    rebuildPyramid(m.image);
    // Columns -2, -1 and 0 all read the bright edge: row weights 5, 81, 324,
    // 324, 81, 5 make 820; 255 * 820 / 1630 = 128.3.
    float px[4];
    readPixel(m.image, 0, 2, 1, px);
    EXPECT_EQ(px[0], 128);
    readPixel(m.image, 3, 2, 1, px);
    EXPECT_EQ(px[0], 0);
}

// The same on every side: the taps of the last row and column reach the
// level's last row and column, not one before them.
TEST(Pyramid, EveryEdgeReplicates) {
    struct Side {
        int x0, y0, dx, dy;        // the bright edge, walked from (x0, y0)
        int edgeX, edgeY, farX, farY;  // level-1 pixels on it and across
    };
    const Side sides[] = {{0, 0, 0, 1, 0, 2, 3, 2}, {7, 0, 0, 1, 3, 2, 0, 2},
                          {0, 0, 1, 0, 2, 0, 2, 3}, {0, 7, 1, 0, 2, 3, 2, 0}};
    for (const Side& side : sides) {
        Image m;
        ASSERT_TRUE(createTiledImage(&m.image, 8, 8, kStoreRgba8, 0, false));
        for (int i = 0; i < 8; ++i)
            writePixel8(m.image, side.x0 + i * side.dx, side.y0 + i * side.dy, 0, 255, 255, 255, 255);
        rebuildPyramid(m.image);
        float px[4];
        readPixel(m.image, side.edgeX, side.edgeY, 1, px);
        EXPECT_EQ(px[0], 128) << side.x0 << "," << side.y0;
        readPixel(m.image, side.farX, side.farY, 1, px);
        EXPECT_EQ(px[0], 0) << side.x0 << "," << side.y0;
    }
}

TEST(Pyramid, SixteenBitAndGreyPaths) {
    Image m;
    ASSERT_TRUE(createTiledImage(&m.image, 5, 5, kStoreRgba16, 0, false));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) writePixel16(m.image, x, y, 0, 32768, 1000, 0, 65535);
    rebuildPyramid(m.image);
    EXPECT_EQ(m.image.levelWidth[1], 4);
    float px[4];
    readPixel(m.image, 3, 3, 1, px);
    EXPECT_EQ(px[0], 32768);  // clamped at full scale
    EXPECT_EQ(px[1], 1006);   // 1000 * 1640 / 1630
    EXPECT_EQ(px[3], 32768);
    Image g;
    ASSERT_TRUE(createTiledImage(&g.image, 5, 5, kStoreGrey8, 0, false));
    const float v[4] = {200, 0, 0, 0};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) writePixel(g.image, x, y, 0, v);
    rebuildPyramid(g.image);
    readPixel(g.image, 0, 0, 2, px);
    EXPECT_EQ(px[0], 202);  // 201 on level 1, 202 on level 2
}

TEST(Pyramid, LevelBeyondTheLastDoesNothing) {
    Image m;
    ASSERT_TRUE(createTiledImage(&m.image, 2, 2, kStoreRgba8, 0, false));
    fill(m.image, 50);
    buildLevel(m.image, m.image.lastLevel, JobRect{0, 0, 1, 1});
    buildLevel(m.image, -1, JobRect{0, 0, 1, 1});
    EXPECT_EQ(readWord(m.image, 0, 0, m.image.lastLevel), 0u);
    // A rectangle partly outside is cut back to the level.
    buildLevel(m.image, 0, JobRect{-5, -5, 100, 100});
    EXPECT_EQ(readWord(m.image, 0, 0, 1) >> 24, 50u);
}

}  // namespace
}  // namespace lumenfall
