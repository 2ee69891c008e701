#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "export/border_gifs.h"
#include "export/jpeg_test_support.h"

using namespace lumenfall;
using namespace lumenfall_test;

namespace {

struct GifLayout {
    int width = 0, height = 0;
    std::vector<int> palette;  // greys; empty when an entry is not grey
    int controlExtensions = 0;
    int images = 0;
    int minimumCodeSize = 0;
    bool endsWithTrailer = false;
};

GifLayout parseGif(const uint8_t* bytes, size_t size) {
    GifLayout gif;
    if (size < 13 || std::string(reinterpret_cast<const char*>(bytes), 6) != "GIF89a") return gif;
    gif.width = bytes[6] | (bytes[7] << 8);
    gif.height = bytes[8] | (bytes[9] << 8);
    const int packed = bytes[10];
    size_t at = 13;
    if (packed & 0x80) {
        const int entries = 2 << (packed & 7);
        for (int i = 0; i < entries && at + 3 <= size; ++i, at += 3) {
            if (bytes[at] != bytes[at + 1] || bytes[at] != bytes[at + 2]) return gif;
            gif.palette.push_back(bytes[at]);
        }
    }
    auto skipBlocks = [&] {
        while (at < size && bytes[at] != 0) at += 1 + bytes[at];
        ++at;
    };
    while (at < size) {
        const uint8_t kind = bytes[at];
        if (kind == 0x3B) {
            gif.endsWithTrailer = at + 1 == size;
            break;
        }
        if (kind == 0x21) {
            if (bytes[at + 1] == 0xF9) ++gif.controlExtensions;
            at += 2;
            skipBlocks();
        } else if (kind == 0x2C) {
            ++gif.images;
            const bool localTable = bytes[at + 9] & 0x80;
            at += 10 + (localTable ? 3 * (2 << (bytes[at + 9] & 7)) : 0);
            gif.minimumCodeSize = bytes[at++];
            skipBlocks();
        } else {
            break;
        }
    }
    return gif;
}

struct Expected {
    const char* name;
    int width, height, darkest;
};
const Expected kExpected[] = {{"top.gif", 94, 2, 210}, {"left.gif", 3, 88, 210},
                              {"right.gif", 3, 88, 165}, {"bottom.gif", 94, 5, 165}};

}  // namespace

TEST(BorderGifs, AreGif89aOfTheirSizeWithSixteenGreys) {
    for (int i = 0; i < kBorderGifCount; ++i) {
        SCOPED_TRACE(kExpected[i].name);
        const BorderGif* file = borderGif(i);
        ASSERT_NE(file, nullptr);
        EXPECT_STREQ(file->fileName, kExpected[i].name);
        const GifLayout gif = parseGif(file->bytes, file->size);
        EXPECT_EQ(gif.width, kExpected[i].width);
        EXPECT_EQ(gif.height, kExpected[i].height);
        EXPECT_EQ(file->width, gif.width);
        EXPECT_EQ(file->height, gif.height);
        ASSERT_EQ(gif.palette.size(), 16u);
        for (int grey : gif.palette) {
            EXPECT_GE(grey, kExpected[i].darkest);
            EXPECT_LE(grey, 255);
        }
        EXPECT_EQ(gif.controlExtensions, 1);
        EXPECT_EQ(gif.images, 1);
        EXPECT_EQ(gif.minimumCodeSize, 4);
        EXPECT_TRUE(gif.endsWithTrailer);
    }
    EXPECT_EQ(borderGif(-1), nullptr);
    EXPECT_EQ(borderGif(4), nullptr);
}

TEST(BorderGifs, AreWrittenByteForByteAndReadByImageMagick) {
    const std::string folder = temporaryPath("lumenfall_border_gifs_test/");
    std::system(("mkdir -p '" + folder + "'").c_str());
    ASSERT_EQ(writeBorderGifs(folder.c_str()), 0);
    for (int i = 0; i < kBorderGifCount; ++i) {
        const BorderGif* gif = borderGif(i);
        const std::string path = folder + gif->fileName;
        std::FILE* file = std::fopen(path.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        std::vector<uint8_t> stored(gif->size + 1);
        EXPECT_EQ(std::fread(stored.data(), 1, stored.size(), file), gif->size);
        std::fclose(file);
        EXPECT_EQ(std::vector<uint8_t>(stored.begin(), stored.end() - 1),
                  std::vector<uint8_t>(gif->bytes, gif->bytes + gif->size));
    }
    EXPECT_EQ(writeBorderGifs("/nonexistent-folder/"), 99);

    if (!toolPresent("identify")) GTEST_SKIP() << "ImageMagick's identify is not installed";
    for (int i = 0; i < kBorderGifCount; ++i) {
        SCOPED_TRACE(kExpected[i].name);
        int status = 0;
        const std::string output = runCommand(
            "identify -format '%m %w %h %[fx:int(minima*255+0.5)] %[fx:int(maxima*255+0.5)]' '" + folder +
                kExpected[i].name + "' 2>&1",
            &status);
        EXPECT_EQ(status, 0) << output;
        int width = 0, height = 0, low = 0, high = 0;
        char format[16] = {};
        ASSERT_EQ(std::sscanf(output.c_str(), "%15s %d %d %d %d", format, &width, &height, &low, &high), 5)
            << output;
        EXPECT_STREQ(format, "GIF");
        EXPECT_EQ(width, kExpected[i].width);
        EXPECT_EQ(height, kExpected[i].height);
        EXPECT_GE(low, kExpected[i].darkest);
        EXPECT_EQ(high, 255);
    }
}
