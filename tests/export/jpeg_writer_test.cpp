#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "export/jpeg_test_support.h"
#include "export/jpeg_writer.h"
#include "params/product_identity.h"
#include "export/thumbnail_jpeg.h"

using namespace lumenfall;
using namespace lumenfall_test;

namespace {

JpegOptions fixedDateOptions() {
    JpegOptions options;
    options.dateGiven = true;
    options.localDate.tm_year = 2026 - 1900;
    options.localDate.tm_mon = 2;
    options.localDate.tm_mday = 9;
    return options;
}

std::vector<float> flatPicture(int width, int height, float r, float g, float b) {
    std::vector<float> pixels;
    for (int i = 0; i < width * height; ++i) {
        pixels.push_back(r);
        pixels.push_back(g);
        pixels.push_back(b);
    }
    return pixels;
}

std::vector<uint8_t> encodeFloats(const std::vector<float>& pixels, int width, int height,
                                  const JpegOptions& options = fixedDateOptions()) {
    const RgbFloatView view{pixels.data(), width, height};
    const PictureSource picture = pictureFromRgbFloat(view);
    EncodedJpeg encoded;
    EXPECT_EQ(encodeJpeg(&picture, options, encoded), kJpegWritten);
    return encoded.bytes;
}

const Segment* findSegment(const std::vector<Segment>& segments, int marker) {
    for (const Segment& s : segments)
        if (s.marker == marker) return &s;
    return nullptr;
}

}  // namespace

TEST(JpegWriter, SmallPictureIsPaddedTo16x16WithRepeatedEdges) {
    // 10 x 4: left half black, right column white; the padding repeats the last column and row.
    std::vector<float> pixels = flatPicture(10, 4, 0, 0, 0);
    for (int y = 0; y < 4; ++y)
        for (int c = 0; c < 3; ++c) pixels[(y * 10 + 9) * 3 + c] = 1.0f;
    const RgbFloatView view{pixels.data(), 10, 4};
    const PictureSource picture = pictureFromRgbFloat(view);
    EncodedJpeg encoded;
    ASSERT_EQ(encodeJpeg(&picture, fixedDateOptions(), encoded), kJpegWritten);
    EXPECT_EQ(encoded.width, 16);
    EXPECT_EQ(encoded.height, 16);
    const auto segments = readSegments(encoded.bytes);
    const Segment* frame = findSegment(segments, 0xC0);
    ASSERT_NE(frame, nullptr) << "baseline frame";
    EXPECT_EQ(be16(&frame->data[1]), 16u);  // height
    EXPECT_EQ(be16(&frame->data[3]), 16u);  // width

    ThumbnailPixels decoded;
    ASSERT_EQ(decodeThumbnailJpeg(encoded.bytes.data(), encoded.bytes.size(), 16, 16, 4, decoded),
              kThumbnailDecoded);
    EXPECT_LT(decoded.pixels[(15 * 16 + 2) * 4], 40) << "bottom padding repeats the dark row";
    EXPECT_GT(decoded.pixels[(15 * 16 + 15) * 4], 215) << "corner padding repeats the white column";
}

TEST(JpegWriter, ChannelsAreClampedBeforeTruncation) {
    // 1.5 is written as 1.0 (255), -0.2 and NaN as 0, so the files are identical.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(encodeFloats(flatPicture(20, 20, 1.5f, -0.2f, 1.5f), 20, 20),
              encodeFloats(flatPicture(20, 20, 1.0f, 0.0f, 1.0f), 20, 20));
    EXPECT_EQ(encodeFloats(flatPicture(20, 20, nan, INFINITY, -INFINITY), 20, 20),
              encodeFloats(flatPicture(20, 20, 0.0f, 1.0f, 0.0f), 20, 20));
    // Truncation: 0.999 * 255 = 254.7 is 254, not 255.
    EXPECT_NE(encodeFloats(flatPicture(20, 20, 0.999f, 0.999f, 0.999f), 20, 20),
              encodeFloats(flatPicture(20, 20, 1.0f, 1.0f, 1.0f), 20, 20));
    EXPECT_EQ(encodeFloats(flatPicture(20, 20, 254.9f / 255, 254.9f / 255, 254.9f / 255), 20, 20),
              encodeFloats(flatPicture(20, 20, 254.0f / 255, 254.0f / 255, 254.0f / 255), 20, 20));

    // Flat white and black survive the codec exactly at quality 80.
    const auto white = encodeFloats(flatPicture(16, 16, 1.5f, 1.5f, 1.5f), 16, 16);
    ThumbnailPixels decoded;
    ASSERT_EQ(decodeThumbnailJpeg(white.data(), white.size(), 16, 16, 4, decoded), kThumbnailDecoded);
    EXPECT_EQ(decoded.pixels[0], 255);
    const auto black = encodeFloats(flatPicture(16, 16, -0.2f, -0.2f, -0.2f), 16, 16);
    ASSERT_EQ(decodeThumbnailJpeg(black.data(), black.size(), 16, 16, 4, decoded), kThumbnailDecoded);
    EXPECT_EQ(decoded.pixels[0], 0);
}

TEST(JpegWriter, MarkersFollowJfifInOrderBeforeTablesAndFrame) {
    std::vector<uint8_t> profile(1000);
    for (size_t i = 0; i < profile.size(); ++i) profile[i] = uint8_t(i * 7);
    JpegOptions options = fixedDateOptions();
    options.iccProfile = profile.data();
    options.iccProfileSize = profile.size();
    const auto bytes = encodeFloats(flatPicture(32, 24, 0.5f, 0.25f, 0.75f), 32, 24, options);
    const auto segments = readSegments(bytes);
    std::vector<int> order;
    for (const Segment& s : segments) order.push_back(s.marker);
    const std::vector<int> prefix = {0xD8, 0xE0, 0xFE, 0xE1, 0xE2, 0xED};
    ASSERT_GE(order.size(), prefix.size() + 3);
    EXPECT_EQ(std::vector<int>(order.begin(), order.begin() + 6), prefix);
    EXPECT_EQ(order[6], 0xDB) << "quantisation tables follow the markers";
    EXPECT_EQ(std::memcmp(segments[1].data.data(), "JFIF\0", 5), 0);
    EXPECT_EQ(std::string(segments[2].data.begin(), segments[2].data.end()),
              std::string(kMakerWebAddress) + std::string(1, '\0'));
    EXPECT_EQ(std::memcmp(segments[3].data.data(), "Exif\0\0MM", 8), 0);
    EXPECT_EQ(std::memcmp(segments[4].data.data(), "ICC_PROFILE\0\1\1", 14), 0);
    EXPECT_EQ(std::vector<uint8_t>(segments[4].data.begin() + 14, segments[4].data.end()), profile);
    EXPECT_EQ(std::memcmp(segments[5].data.data(), "Photoshop 3.0\0008BIM\4\4", 20), 0);
}

TEST(JpegWriter, LargeProfileOnTinyPictureIsChunkedWithoutOverrun) {
    // 300 000 profile bytes on 16 x 16 pixels: far beyond 6 bytes per pixel.
    std::vector<uint8_t> profile(300000);
    for (size_t i = 0; i < profile.size(); ++i) profile[i] = uint8_t(i ^ (i >> 8));
    JpegOptions options = fixedDateOptions();
    options.iccProfile = profile.data();
    options.iccProfileSize = profile.size();
    const auto bytes = encodeFloats(flatPicture(16, 16, 0.2f, 0.4f, 0.6f), 16, 16, options);
    std::vector<uint8_t> joined;
    int chunks = 0;
    for (const Segment& s : readSegments(bytes)) {
        if (s.marker != 0xE2) continue;
        ++chunks;
        ASSERT_EQ(std::memcmp(s.data.data(), "ICC_PROFILE", 12), 0);
        EXPECT_EQ(s.data[12], chunks) << "sequence numbers count from 1";
        EXPECT_EQ(s.data[13], 5) << "ceil(300000 / 65519) chunks";
        EXPECT_LE(s.data.size(), 14u + 65519u);
        joined.insert(joined.end(), s.data.begin() + 14, s.data.end());
    }
    EXPECT_EQ(chunks, 5);
    EXPECT_EQ(joined, profile);
}

TEST(JpegWriter, QuantisationTablesAreRowEightAtQuality80) {
    const auto bytes = encodeFloats(flatPicture(16, 16, 0.5f, 0.5f, 0.5f), 16, 16);
    const JpegQualityRow& row = jpegQualityRow(80);
    int tables = 0;
    for (const Segment& s : readSegments(bytes)) {
        if (s.marker != 0xDB) continue;
        size_t at = 0;
        while (at + 65 <= s.data.size()) {
            const int id = s.data[at] & 15;
            ASSERT_EQ(s.data[at] >> 4, 0) << "8-bit entries: baseline";
            const uint16_t* expected = id == 0 ? row.luminance : row.chrominance;
            for (int k = 0; k < 64; ++k) EXPECT_EQ(s.data[at + 1 + k], expected[kZigzag[k]]) << "table " << id;
            ++tables;
            at += 65;
        }
    }
    EXPECT_EQ(tables, 2);
    EXPECT_EQ(row.luminance[4 * 8 + 5], 13);
    EXPECT_EQ(row.chrominance[1 * 8 + 3], 13);
    EXPECT_EQ(row.lumaSampling, 1);
}

TEST(JpegWriter, QualityRowsChooseSamplingAndClamp) {
    EXPECT_EQ(&jpegQualityRow(-5), &jpegQualityRow(0));
    EXPECT_EQ(&jpegQualityRow(150), &jpegQualityRow(99));
    EXPECT_EQ(&jpegQualityRow(100), &jpegQualityRow(99));  // the first quality past the last row
    EXPECT_EQ(&jpegQualityRow(89), &jpegQualityRow(80));
    EXPECT_EQ(jpegQualityRow(49).lumaSampling, 2);
    EXPECT_EQ(jpegQualityRow(50).lumaSampling, 1);
    // Row 5: the standard tables at quality 50 are the tables themselves.
    EXPECT_EQ(jpegQualityRow(55).luminance[0], 16);
    EXPECT_EQ(jpegQualityRow(55).chrominance[63], 99);
    // Row 9 (quality 90, 20 %): 16 * 20 / 100 rounds to 3; row 0 saturates at 255.
    EXPECT_EQ(jpegQualityRow(95).luminance[0], 3);
    EXPECT_EQ(jpegQualityRow(0).luminance[0], 255);

    JpegOptions options = fixedDateOptions();
    options.quality = 30;
    const auto bytes = encodeFloats(flatPicture(16, 16, 0.5f, 0.5f, 0.5f), 16, 16, options);
    const auto segments = readSegments(bytes);
    const Segment* frame = findSegment(segments, 0xC0);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->data[7], 0x22) << "first component 2 x 2";
    EXPECT_EQ(frame->data[10], 0x11);
    EXPECT_EQ(frame->data[13], 0x11);
}

TEST(JpegWriter, HeaderFormCarriesSizeAndLengthOrSingleZero) {
    std::vector<uint8_t> rgb(10 * 4 * 3, 128);
    std::vector<uint8_t> out = {0xAA};
    ASSERT_EQ(encodeThumbnailJpeg(rgb.data(), 10, 4, out), kJpegWritten);
    ASSERT_GT(out.size(), 17u);
    EXPECT_EQ(out[0], 0xAA) << "appends";
    EXPECT_EQ(be32(&out[1]), 1u);
    EXPECT_EQ(be32(&out[5]), 16u);
    EXPECT_EQ(be32(&out[9]), 16u);
    EXPECT_EQ(be32(&out[13]), out.size() - 17);
    EXPECT_EQ(out[17], 0xFF);
    EXPECT_EQ(out[18], 0xD8);

    std::vector<uint8_t> none;
    EXPECT_EQ(encodeThumbnailJpeg(nullptr, 128, 128, none), kJpegNoImage);
    EXPECT_EQ(none, std::vector<uint8_t>(4, 0));
    std::vector<uint8_t> empty;
    EXPECT_EQ(encodeThumbnailJpeg(rgb.data(), 0, 4, empty), kJpegNoPixels);
    EXPECT_EQ(empty, std::vector<uint8_t>(4, 0));
}

TEST(JpegWriter, FileFormsWriteInOnePieceOrOnlyTheZero) {
    std::vector<uint8_t> rgb(20 * 20 * 3, 77);
    const Rgb8View view{rgb.data(), 20, 20};
    const PictureSource picture = pictureFromRgb8(view);
    const std::string path = temporaryPath("lumenfall_jpeg_writer_test.bin");

    std::FILE* file = std::fopen(path.c_str(), "wb+");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(writeJpegFile(&picture, fixedDateOptions(), true, file), kJpegWritten);
    EXPECT_EQ(writeJpegFile(nullptr, fixedDateOptions(), true, file), kJpegNoImage);
    EXPECT_EQ(writeJpegFile(nullptr, fixedDateOptions(), false, file), kJpegNoImage);
    const long size = std::ftell(file);
    std::rewind(file);
    std::vector<uint8_t> stored(size);
    ASSERT_EQ(std::fread(stored.data(), 1, stored.size(), file), stored.size());
    std::fclose(file);
    std::remove(path.c_str());

    EncodedJpeg encoded;
    ASSERT_EQ(encodeJpeg(&picture, fixedDateOptions(), encoded), kJpegWritten);
    ASSERT_EQ(stored.size(), 16 + encoded.bytes.size() + 4);
    EXPECT_EQ(be32(&stored[0]), 1u);
    EXPECT_EQ(be32(&stored[4]), 20u);
    EXPECT_EQ(std::vector<uint8_t>(stored.begin() + 16, stored.end() - 4), encoded.bytes);
    EXPECT_EQ(be32(&stored[stored.size() - 4]), 0u) << "the missing picture's zero";
    EXPECT_EQ(writeJpegFile(&picture, fixedDateOptions(), false, nullptr), kJpegFileWriteFailed);
}
