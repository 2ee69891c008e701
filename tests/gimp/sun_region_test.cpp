#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "gimp/core/sun_region.h"
#include "gimp/core/sun_settings.h"
#include "params/host_samples.h"
#include "params/settings_table.h"

namespace lumenfall {
namespace {

std::unique_ptr<ParameterBlock> settingsWith(const char* name, int32_t value) {
    auto block = std::make_unique<ParameterBlock>();
    startSettings(block.get());
    if (name) setInteger(block.get(), *findSettingByName(name), value);
    return block;
}

// A picture of gradients, a transparent corner and full white and black.
std::vector<uint8_t> picture(int32_t width, int32_t height, const RegionFormat& format) {
    std::vector<uint8_t> bytes(size_t(width) * size_t(height) * size_t(format.bytesPerPixel()));
    const int32_t planes = format.planes();
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int32_t p = 0; p < planes; ++p) {
                uint32_t v = uint32_t((x * 37 + y * 11 + p * 50) % 256);
                if (x == 0) v = p == planes - 1 && format.alpha ? 0 : 255;
                const size_t i = (size_t(y) * size_t(width) + size_t(x)) * size_t(planes) + size_t(p);
                if (format.depth == 16) {
                    const uint16_t wide = uint16_t(v * 257 + (y & 1));
                    std::memcpy(&bytes[i * 2], &wide, 2);
                } else {
                    bytes[i] = uint8_t(v);
                }
            }
    return bytes;
}

// A rectangle of a packed picture.
std::vector<uint8_t> crop(const std::vector<uint8_t>& all, int32_t width, const RegionRect& r, int32_t bpp) {
    std::vector<uint8_t> part;
    for (int32_t y = r.y; y < r.y + r.height; ++y) {
        const auto row = all.begin() + (ptrdiff_t(y) * width + r.x) * bpp;
        part.insert(part.end(), row, row + ptrdiff_t(r.width) * bpp);
    }
    return part;
}

TEST(SunPicture, PiecesOfAnyShapeGiveTheWholeRender) {
    const int32_t width = 90, height = 70;
    const auto settings = settingsWith("glue", 11);
    for (const RegionFormat format : {RegionFormat{8, 3, false}, RegionFormat{8, 1, true}, RegionFormat{16, 3, true}}) {
        const int32_t bpp = format.bytesPerPixel();
        const std::vector<uint8_t> source = picture(width, height, format);
        SunPicture whole(*settings, width, height);
        std::vector<uint8_t> expected(source.size());
        ASSERT_TRUE(whole.render(0, format, RegionRect{0, 0, width, height}, source.data(), expected.data()));
        ASSERT_NE(expected, source);
        // A fresh picture for the pieces: no plan is shared with the whole render.
        SunPicture pieces(*settings, width, height);
        for (const RegionRect r : {RegionRect{0, 0, 1, height}, RegionRect{61, 0, 1, height}, RegionRect{17, 23, 40, 9},
                                   RegionRect{width - 3, height - 2, 3, 2}, RegionRect{5, 35, 85, 1}}) {
            std::vector<uint8_t> part = crop(source, width, r, bpp);
            // In place, as the operation renders.
            ASSERT_TRUE(pieces.render(0, format, r, part.data(), part.data()));
            EXPECT_EQ(part, crop(expected, width, r, bpp)) << "piece at " << r.x << "," << r.y << " depth " << format.depth;
        }
    }
}

TEST(SunPicture, SixteenBitSamplesTheSunMissesKeepTheirFileValue) {
    // A small sun in "screen" leaves most pixels as they were: odd file
    // values that the 0..32768 scale cannot hold must survive.
    const auto settings = settingsWith("glue", 10);
    setInteger(settings.get(), *findSettingByName("sun radius"), 5);
    const RegionFormat format{16, 3, false};
    const int32_t width = 64, height = 40;
    const std::vector<uint8_t> source = picture(width, height, format);
    std::vector<uint8_t> out(source.size());
    SunPicture sun(*settings, width, height);
    ASSERT_TRUE(sun.render(0, format, RegionRect{0, 0, width, height}, source.data(), out.data()));
    EXPECT_EQ(std::memcmp(out.data(), source.data(), 2 * 3 * 4), 0);  // the top left corner, far from the sun
    EXPECT_NE(out, source);
    EXPECT_EQ(fileSampleAfter(65535, 32768), 65535);
    EXPECT_EQ(fileSampleAfter(1, fileToHost16(1)), 1);
    EXPECT_EQ(fileSampleAfter(1, 3), hostToFile16(3));
}

TEST(SunPicture, ReducedLevelsRenderEveryPixelOfTheRoundedUpGrid) {
    const auto settings = settingsWith("glue", 10);
    SunPicture sun(*settings, 101, 67);
    EXPECT_EQ(sun.levelWidth(2), 26);
    EXPECT_EQ(sun.levelHeight(2), 17);
    const RegionFormat format{8, 3, false};
    std::vector<uint8_t> source(size_t(26) * 17 * 3, 0);
    std::vector<uint8_t> out(source.size());
    ASSERT_TRUE(sun.render(2, format, RegionRect{0, 0, 26, 17}, source.data(), out.data()));
    // The sun (at 65 % across) is drawn at a quarter of its place.
    const size_t centre = (size_t(17 / 2) * 26 + size_t(101 * 65 / 100 / 4)) * 3;
    EXPECT_GT(out[centre], 0);
}

TEST(SunPicture, RefusesEmptyAndHugeLayersAndLeavesThePixels) {
    EXPECT_FALSE(SunPicture::sizeAccepted(0, 10));
    EXPECT_FALSE(SunPicture::sizeAccepted(10, -1));
    EXPECT_FALSE(SunPicture::sizeAccepted(kLargestSide + 1, 10));
    EXPECT_TRUE(SunPicture::sizeAccepted(kLargestSide, 1));
    const auto settings = settingsWith(nullptr, 0);
    SunPicture huge(*settings, kLargestSide + 1, 4);
    const RegionFormat format{8, 3, false};
    std::vector<uint8_t> source(4 * 3, 77), out(source.size(), 0);
    EXPECT_FALSE(huge.render(0, format, RegionRect{0, 0, 4, 1}, source.data(), out.data()));
    EXPECT_EQ(out, source);
    SunPicture small(*settings, 4, 4);
    EXPECT_FALSE(small.render(kDeepestLevel + 1, format, RegionRect{0, 0, 4, 1}, source.data(), out.data()));
    EXPECT_FALSE(small.render(0, RegionFormat{32, 3, false}, RegionRect{0, 0, 4, 1}, source.data(), out.data()));
}

}  // namespace
}  // namespace lumenfall
