#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "export/jpeg_writer.h"
#include "export/thumbnail.h"
#include "export/thumbnail_image.h"
#include "export/thumbnail_jpeg.h"
#include "kernels/resample_weights.h"
#include "render/tiled_image.h"

using namespace lumenfall;

namespace {

const LanczosWeights& weights() { return standardLanczosWeights(); }

HostOutputView view8(const std::vector<uint8_t>& pixels, int32_t width, int32_t height, int32_t planes) {
    HostOutputView view;
    view.data = pixels.data();
    view.rowBytes = width * planes;
    view.bottom = height;
    view.right = width;
    view.planes = planes;
    view.depth = 8;
    return view;
}

bool isRamp(const Thumbnail& thumbnail) {
    for (int y = 0; y < kThumbnailSide; ++y)
        for (int x = 0; x < kThumbnailSide * 3; ++x)
            if (thumbnail.rgb[y * kThumbnailSide * 3 + x] != 255 - y) return false;
    return true;
}

}  // namespace

TEST(Thumbnail, RampStaysWhenTheBufferHoldsNothingUsable) {
    static Thumbnail thumbnail;
    std::memset(thumbnail.rgb, 7, sizeof thumbnail.rgb);
    HostOutputView none;
    EXPECT_FALSE(makeThumbnail(none, 300, 200, weights(), nullptr, thumbnail));
    EXPECT_TRUE(isRamp(thumbnail));
    EXPECT_EQ(thumbnail.rgb[127 * 128 * 3], 128);

    std::vector<uint8_t> pixels(40 * 30 * 3, 90);
    HostOutputView outside = view8(pixels, 40, 30, 3);
    outside.top = 500;  // the buffer's rectangle lies below the filter rectangle
    outside.bottom = 530;
    EXPECT_FALSE(makeThumbnail(outside, 40, 30, weights(), nullptr, thumbnail));
    HostOutputView shortRows = view8(pixels, 40, 30, 3);
    shortRows.rowBytes = 40;  // less than a row of pixels
    EXPECT_FALSE(makeThumbnail(shortRows, 40, 30, weights(), nullptr, thumbnail));
    HostOutputView oddDepth = view8(pixels, 40, 30, 3);
    oddDepth.depth = 12;
    EXPECT_FALSE(makeThumbnail(oddDepth, 40, 30, weights(), nullptr, thumbnail));
    EXPECT_TRUE(isRamp(thumbnail));
}

TEST(Thumbnail, SquareIsCentredAndDepthsBecomeBytes) {
    // 6 x 4 RGB: the square is columns 1..4.
    std::vector<uint8_t> pixels(6 * 4 * 3);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) pixels[(y * 6 + x) * 3] = uint8_t(10 * x + y);
    std::vector<uint8_t> square;
    int32_t side = 0;
    ASSERT_TRUE(copyCentredSquare(view8(pixels, 6, 4, 3), 6, 4, square, side));
    EXPECT_EQ(side, 4);
    EXPECT_EQ(square[0], 10);
    EXPECT_EQ(square[(3 * 4 + 3) * 3], 43);

    // 16-bit in the host's range 0..32768, grey plane repeated into RGB.
    const uint16_t wide[4] = {32768, 16384, 65535, 0};
    HostOutputView view16;
    view16.data = wide;
    view16.rowBytes = 8;
    view16.bottom = 1;
    view16.right = 4;
    view16.planes = 1;
    view16.depth = 16;
    ASSERT_TRUE(copyCentredSquare(view16, 4, 1, square, side));
    ASSERT_EQ(side, 1);
    EXPECT_EQ(square[0], 127) << "column 1 of 4 is the centre: 16384 * 255 / 32768 = 127.5";
    EXPECT_EQ(square[1], 127);
    EXPECT_EQ(square[2], 127);

    // Floats: clamped to 0..1, times 255, truncated; NaN is 0. RGB plus transparency.
    const float floats[2 * 2 * 4] = {1.5f, -0.2f, NAN, 1.0f, 0.5f, 0.999f, 1.0f, 0.0f,
                                     0.0f, 0.0f,  0.0f, 0.0f, 0.0f, 0.0f,   0.0f, 0.0f};
    HostOutputView viewFloat;
    viewFloat.data = floats;
    viewFloat.rowBytes = 2 * 4 * 4;
    viewFloat.bottom = 2;
    viewFloat.right = 2;
    viewFloat.planes = 4;
    viewFloat.depth = 32;
    ASSERT_TRUE(copyCentredSquare(viewFloat, 2, 2, square, side));
    EXPECT_EQ(side, 2);
    EXPECT_EQ(square[0], 255);
    EXPECT_EQ(square[1], 0);
    EXPECT_EQ(square[2], 0);
    EXPECT_EQ(square[3], 127);
    EXPECT_EQ(square[4], 254);
    EXPECT_EQ(square[5], 255);
}

TEST(Thumbnail, CopyIsClippedToWhatTheBufferHolds) {
    // A final render's buffer holds one row (row 57 of a 300 x 200 filter).
    std::vector<uint8_t> row(300 * 3);
    for (int x = 0; x < 300; ++x) row[x * 3 + 1] = uint8_t(x);
    HostOutputView one = view8(row, 300, 1, 3);
    one.top = 57;
    one.bottom = 58;
    std::vector<uint8_t> square;
    int32_t side = 0;
    ASSERT_TRUE(copyCentredSquare(one, 300, 200, square, side));
    EXPECT_EQ(side, 1);
    EXPECT_EQ(square[1], 149) << "the centre of the row";

    // The dialog's buffer holds the preview area at the top-left corner.
    std::vector<uint8_t> preview(100 * 60 * 3, 33);
    ASSERT_TRUE(copyCentredSquare(view8(preview, 100, 60, 3), 2000, 1500, square, side));
    EXPECT_EQ(side, 60);
}

TEST(Thumbnail, ScalesTheSquareToOneTwentyEight) {
    static Thumbnail thumbnail;
    // 256 x 256: left half red, right half blue.
    std::vector<uint8_t> pixels(256 * 256 * 3, 0);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) pixels[(y * 256 + x) * 3 + (x < 128 ? 0 : 2)] = 200;
    ASSERT_TRUE(makeThumbnail(view8(pixels, 256, 256, 3), 256, 256, weights(), nullptr, thumbnail));
    const uint8_t* left = &thumbnail.rgb[(64 * 128 + 20) * 3];
    const uint8_t* right = &thumbnail.rgb[(64 * 128 + 110) * 3];
    EXPECT_NEAR(left[0], 200, 2);
    EXPECT_LE(left[2], 2);
    EXPECT_NEAR(right[2], 200, 2);
    EXPECT_LE(right[0], 2);

    // A 128 x 128 square is copied pixel for pixel.
    std::vector<uint8_t> exact(128 * 128 * 3);
    for (size_t i = 0; i < exact.size(); ++i) exact[i] = uint8_t(i * 31 + i / 384);
    ASSERT_TRUE(makeThumbnail(view8(exact, 128, 128, 3), 128, 128, weights(), nullptr, thumbnail));
    EXPECT_EQ(std::memcmp(thumbnail.rgb, exact.data(), exact.size()), 0);
}

TEST(ThumbnailImage, RoundTripThroughJpegIntoATiledImage) {
    std::vector<uint8_t> rgb(128 * 128 * 3);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            rgb[(y * 128 + x) * 3] = uint8_t(x * 2);
            rgb[(y * 128 + x) * 3 + 1] = 90;
            rgb[(y * 128 + x) * 3 + 2] = uint8_t(255 - y);
        }
    std::vector<uint8_t> block;
    ASSERT_EQ(encodeThumbnailJpeg(rgb.data(), 128, 128, block), kJpegWritten);

    TiledImage image;
    initTiledImage(image, nullptr, nullptr);
    EXPECT_EQ(decodeThumbnailIntoImage(block.data() + 16, block.size() - 16, &image), kThumbnailNoImage);
    EXPECT_EQ(decodeThumbnailIntoImage(block.data() + 16, block.size() - 16, nullptr), kThumbnailNoImage);
    ASSERT_TRUE(createTiledImage(&image, 128, 128, kStoreRgba8, 0, false));
    ASSERT_EQ(decodeThumbnailIntoImage(block.data() + 16, block.size() - 16, &image), kThumbnailDecoded);
    float c[4];
    readPixel(image, 100, 40, 0, c);
    EXPECT_NEAR(c[0], 200, 5);
    EXPECT_NEAR(c[1], 90, 5);
    EXPECT_NEAR(c[2], 215, 5);
    EXPECT_EQ(c[3], 255);
    EXPECT_EQ(image.pyramidState, 2u);

    // A broken JPEG leaves the image as it was.
    std::vector<uint8_t> broken(block.begin() + 16, block.begin() + 400);
    EXPECT_EQ(decodeThumbnailIntoImage(broken.data(), broken.size(), &image), kThumbnailCorrupt);
    readPixel(image, 100, 40, 0, c);
    EXPECT_NEAR(c[0], 200, 5);

    // And a tiled image is a JPEG source of its own.
    EncodedJpeg encoded;
    const PictureSource picture = pictureFromTiledImage(&image);
    JpegOptions options;
    EXPECT_EQ(encodeJpeg(&picture, options, encoded), kJpegWritten);
    EXPECT_EQ(encoded.width, 128);
    freeTiledImage(&image);
    image.levelWidth[0] = 128;  // sizes still known, storage gone
    const PictureSource gone = pictureFromTiledImage(&image);
    EXPECT_EQ(encodeJpeg(&gone, options, encoded), kJpegNoStorage);
    const PictureSource missing = pictureFromTiledImage(nullptr);
    EXPECT_EQ(encodeJpeg(&missing, options, encoded), kJpegNoImage);
}
