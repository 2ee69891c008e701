#include <gtest/gtest.h>

#include <vector>

#include "export/grey_jpeg.h"
#include "export/jpeg_test_support.h"
#include "export/thumbnail_jpeg.h"

using namespace lumenfall;
using namespace lumenfall_test;

namespace {

// A 128 x 128 thumbnail with colour in both directions, as the preset writer stores it.
std::vector<uint8_t> thumbnailJpeg(int width = 128, int height = 128) {
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
            p[0] = uint8_t(x * 2);
            p[1] = uint8_t(y * 2);
            p[2] = uint8_t(200);
        }
    std::vector<uint8_t> block;
    EXPECT_EQ(encodeThumbnailJpeg(rgb.data(), width, height, block), kJpegWritten);
    return std::vector<uint8_t>(block.begin() + 16, block.end());
}

void expectNoThumbnail(const std::vector<uint8_t>& bytes, int32_t expectedCode) {
    ThumbnailPixels out;
    out.width = 99;
    EXPECT_EQ(decodeThumbnailJpeg(bytes.data(), bytes.size(), 128, 128, 4, out), expectedCode);
    EXPECT_EQ(out.width, 0);
    EXPECT_TRUE(out.pixels.empty());
}

}  // namespace

TEST(ThumbnailDecoding, ColourJpegFillsFourChannelsOrWeightedGrey) {
    const auto jpeg = thumbnailJpeg();
    ThumbnailPixels rgba, grey;
    ASSERT_EQ(decodeThumbnailJpeg(jpeg.data(), jpeg.size(), 128, 128, 4, rgba), kThumbnailDecoded);
    ASSERT_EQ(decodeThumbnailJpeg(jpeg.data(), jpeg.size(), 128, 128, 1, grey), kThumbnailDecoded);
    ASSERT_EQ(rgba.pixels.size(), 128u * 128u * 4u);
    ASSERT_EQ(grey.pixels.size(), 128u * 128u);
    for (int i = 0; i < 128 * 128; i += 97) {
        const uint8_t* p = &rgba.pixels[size_t(i) * 4];
        EXPECT_EQ(p[3], 255);
        EXPECT_EQ(grey.pixels[i], (77 * p[0] + 150 * p[1] + 28 * p[2]) >> 8) << "pixel " << i;
    }
    // Quality 80 keeps the picture close: pixel (100, 30) was (200, 60, 200).
    const uint8_t* p = &rgba.pixels[(30 * 128 + 100) * 4];
    EXPECT_NEAR(p[0], 200, 6);
    EXPECT_NEAR(p[1], 60, 6);
    EXPECT_NEAR(p[2], 200, 6);
}

TEST(ThumbnailDecoding, GreyJpegFillsOneChannelOrRepeatsIntoFour) {
    ThumbnailPixels grey, rgba;
    ASSERT_EQ(decodeThumbnailJpeg(kGreyJpeg, sizeof kGreyJpeg, 12, 10, 1, grey), kThumbnailDecoded);
    ASSERT_EQ(decodeThumbnailJpeg(kGreyJpeg, sizeof kGreyJpeg, 12, 10, 4, rgba), kThumbnailDecoded);
    EXPECT_GT(grey.pixels[0], 240) << "the ramp starts white";
    EXPECT_LT(grey.pixels[9 * 12 + 5], 15) << "and ends black";
    for (int i = 0; i < 12 * 10; ++i) {
        EXPECT_EQ(rgba.pixels[i * 4], grey.pixels[i]);
        EXPECT_EQ(rgba.pixels[i * 4 + 1], grey.pixels[i]);
        EXPECT_EQ(rgba.pixels[i * 4 + 2], grey.pixels[i]);
        EXPECT_EQ(rgba.pixels[i * 4 + 3], 255);
    }
}

TEST(ThumbnailDecoding, StoredSizeDifferentFromJpegStaysInsideTheImage) {
    const auto jpeg = thumbnailJpeg(40, 30);
    ThumbnailPixels full, small, large;
    ASSERT_EQ(decodeThumbnailJpeg(jpeg.data(), jpeg.size(), 40, 30, 4, full), kThumbnailDecoded);
    // Smaller: the top-left part, row for row.
    ASSERT_EQ(decodeThumbnailJpeg(jpeg.data(), jpeg.size(), 8, 5, 4, small), kThumbnailDecoded);
    ASSERT_EQ(small.pixels.size(), 8u * 5u * 4u);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(small.pixels[(y * 8 + x) * 4 + 1], full.pixels[(y * 40 + x) * 4 + 1]);
    // Larger: what the JPEG does not reach stays 0.
    ASSERT_EQ(decodeThumbnailJpeg(jpeg.data(), jpeg.size(), 128, 128, 4, large), kThumbnailDecoded);
    EXPECT_EQ(large.pixels[(10 * 128 + 39) * 4 + 3], 255);
    EXPECT_EQ(large.pixels[(10 * 128 + 40) * 4 + 3], 0);
    EXPECT_EQ(large.pixels[(30 * 128 + 0) * 4 + 3], 0);
}

TEST(ThumbnailDecoding, BrokenInputGivesNoThumbnailAndACode) {
    const auto good = thumbnailJpeg();
    expectNoThumbnail({}, kThumbnailNoData);
    expectNoThumbnail(std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2), kThumbnailCorrupt);
    expectNoThumbnail(std::vector<uint8_t>(good.begin(), good.begin() + 2), kThumbnailCorrupt);
    expectNoThumbnail(std::vector<uint8_t>(good.begin(), good.end() - 2), kThumbnailCorrupt);
    expectNoThumbnail(std::vector<uint8_t>(1000, 0xFF), kThumbnailCorrupt);

    // Garbage in the middle of the entropy-coded data.
    std::vector<uint8_t> garbled = good;
    for (size_t i = garbled.size() / 2; i < garbled.size() / 2 + 64; ++i) garbled[i] = uint8_t(i * 37);
    expectNoThumbnail(garbled, kThumbnailCorrupt);

    // A frame header declaring 60000 x 60000 pixels.
    std::vector<uint8_t> huge = good;
    const auto segments = readSegments(good);
    size_t at = 2;
    for (const Segment& s : segments) {
        if (s.marker == 0xD8) continue;
        if (s.marker == 0xC0) break;
        at += 4 + s.data.size();
    }
    ASSERT_EQ(huge[at + 1], 0xC0);
    huge[at + 5] = 0xEA;  // height 60000 = 0xEA60
    huge[at + 6] = 0x60;
    huge[at + 7] = 0xEA;
    huge[at + 8] = 0x60;
    expectNoThumbnail(huge, kThumbnailTooLarge);

    // Four components are not a thumbnail this program can show.
    std::vector<uint8_t> cmyk = good;
    cmyk[at + 9] = 4;
    ThumbnailPixels out;
    EXPECT_NE(decodeThumbnailJpeg(cmyk.data(), cmyk.size(), 128, 128, 4, out), kThumbnailDecoded);
    EXPECT_TRUE(out.pixels.empty());
}

TEST(ThumbnailDecoding, TargetMustBeAnImage) {
    const auto good = thumbnailJpeg();
    ThumbnailPixels out;
    EXPECT_EQ(decodeThumbnailJpeg(good.data(), good.size(), 0, 128, 4, out), kThumbnailNoImage);
    EXPECT_EQ(decodeThumbnailJpeg(good.data(), good.size(), 128, -1, 4, out), kThumbnailNoImage);
    EXPECT_EQ(decodeThumbnailJpeg(good.data(), good.size(), 128, 128, 3, out), kThumbnailNoImage);
    EXPECT_EQ(decodeThumbnailJpeg(nullptr, 100, 128, 128, 4, out), kThumbnailNoData);
    EXPECT_TRUE(out.pixels.empty());
}
