// Thumbnails inside presets with the real JPEG codec: the writer's block,
// decoding into tiled images, the memory-dot picture, and broken JPEG data.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "export/preset_thumbnail.h"
#include "kernels/resample_weights.h"
#include "params/plugin_files.h"
#include "params/preset_test_support.h"
#include "params/scoped_temp_folder.h"
#include "render/tiled_image.h"

using namespace lumenfall;
using namespace lumenfall::testing;

namespace {

// Red rises to the right, green downwards, blue is constant.
std::vector<uint8_t> gradient() {
    std::vector<uint8_t> rgb(128 * 128 * 3);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            uint8_t* p = &rgb[size_t(y * 128 + x) * 3];
            p[0] = uint8_t(x * 2);
            p[1] = uint8_t(y * 2);
            p[2] = 90;
        }
    return rgb;
}

struct Image {
    TiledImage image;
    Image() { initTiledImage(image, nullptr, nullptr); }
    ~Image() { freeTiledImage(&image); }
};

}  // namespace

TEST(PresetThumbnail, BlockCarriesTheHeaderAndDecodesIntoATiledImage) {
    ScopedTempFolder temp;
    const auto rgb = gradient();
    const auto thumbnail = presetThumbnailBlock(rgb.data());
    ASSERT_GT(thumbnail.size(), 16u);
    EXPECT_EQ(valueAt(thumbnail, 0), 1);
    EXPECT_EQ(valueAt(thumbnail, 4), 128);
    EXPECT_EQ(valueAt(thumbnail, 8), 128);
    EXPECT_EQ(size_t(valueAt(thumbnail, 12)), thumbnail.size() - 16);
    EXPECT_LE(thumbnail.size() - 16, size_t(kPresetThumbnailLimit));

    auto block = newBlock();
    const std::string path = temp.path("t.q4q");
    ASSERT_EQ(savePresetFile(*block, path.c_str(), &thumbnail), kPresetOk);
    Image decoded;
    TiledThumbnailTarget target{&decoded.image};
    const PresetThumbnailSink sink = tiledThumbnailSink(target);
    PresetLoadReport report;
    ASSERT_EQ(loadPresetFile(block.get(), path.c_str(), kReadSettings, &sink, &report), kPresetOk);
    ASSERT_TRUE(report.thumbnailLoaded);
    EXPECT_EQ(decoded.image.levelWidth[0], 128);
    EXPECT_EQ(decoded.image.storeType, uint32_t(kStoreRgba8));
    float c[4];
    readPixel(decoded.image, 100, 20, 0, c);
    EXPECT_NEAR(c[0], 200, 6);
    EXPECT_NEAR(c[1], 40, 6);
    EXPECT_NEAR(c[2], 90, 6);
    EXPECT_EQ(c[3], 255);
}

TEST(PresetThumbnail, MemoryDotPictureIs88By88) {
    ScopedTempFolder temp;
    const auto rgb = gradient();
    const auto thumbnail = presetThumbnailBlock(rgb.data());
    auto block = newBlock();
    ASSERT_EQ(saveMemoryDotFile(4, *block, &thumbnail), kPresetOk);
    const LanczosWeights& weights = standardLanczosWeights();
    Image dot;
    ASSERT_TRUE(loadMemoryDotThumbnail(4, 88, weights, nullptr, &dot.image));
    EXPECT_EQ(dot.image.levelWidth[0], 88);
    EXPECT_EQ(dot.image.levelHeight[0], 88);
    EXPECT_EQ(dot.image.storeType, uint32_t(kStoreRgba8));
    float c[4];
    readPixel(dot.image, 44, 66, 0, c);  // from about (64, 96) of the 128 x 128 picture
    EXPECT_NEAR(c[0], 128, 8);
    EXPECT_NEAR(c[1], 192, 8);
    EXPECT_NEAR(c[2], 90, 6);

    // No file, no thumbnail in the file, a refused dot number: no picture,
    // and an earlier picture is cleared.
    EXPECT_FALSE(loadMemoryDotThumbnail(9, 88, weights, nullptr, &dot.image));
    EXPECT_EQ(dot.image.tiles, nullptr);
    ASSERT_EQ(saveMemoryDotFile(5, *block, nullptr), kPresetOk);
    EXPECT_FALSE(loadMemoryDotThumbnail(5, 88, weights, nullptr, &dot.image));
    EXPECT_FALSE(loadMemoryDotThumbnail(25, 88, weights, nullptr, &dot.image));
    EXPECT_FALSE(loadMemoryDotThumbnail(4, 0, weights, nullptr, &dot.image));
}

TEST(PresetThumbnail, CorruptJpegDataGivesNoPictureButKeepsTheSettings) {
    ScopedTempFolder temp;
    const auto rgb = gradient();
    auto thumbnail = presetThumbnailBlock(rgb.data());
    auto source = newBlock();
    fillDistinct(*source, 3);
    const LanczosWeights& weights = standardLanczosWeights();
    // Damage the JPEG in several places and cut it short.
    const size_t jpegStart = 16;
    for (size_t damage : {size_t(2), size_t(20), size_t(200), thumbnail.size() - jpegStart - 2}) {
        auto broken = thumbnail;
        for (size_t i = 0; i < 16 && jpegStart + damage + i < broken.size(); ++i) broken[jpegStart + damage + i] ^= 0xA5;
        ASSERT_EQ(saveMemoryDotFile(6, *source, &broken), kPresetOk);
        Image dot;
        loadMemoryDotThumbnail(6, 88, weights, nullptr, &dot.image);  // any outcome, no crash
        auto block = newBlock();
        EXPECT_EQ(loadMemoryDotFile(6, *block), kPresetOk);
        expectSameSettings(*block, *source);
    }
    auto cut = thumbnail;
    cut.resize(16 + 50);  // the declared length promises more than follows
    ASSERT_EQ(saveMemoryDotFile(7, *source, &cut), kPresetOk);
    Image dot;
    EXPECT_FALSE(loadMemoryDotThumbnail(7, 88, weights, nullptr, &dot.image));
    auto block = newBlock();
    EXPECT_EQ(loadMemoryDotFile(7, *block), kPresetReadError);
    expectSameSettings(*block, *source);  // every setting came before the cut
    // A header that declares a real JPEG size that is zero-filled.
    std::vector<uint8_t> zeros;
    for (int32_t v : {1, 128, 128, 3000}) putValue(zeros, v);
    zeros.resize(16 + 3000, 0);
    ASSERT_EQ(saveMemoryDotFile(8, *source, &zeros), kPresetOk);
    EXPECT_FALSE(loadMemoryDotThumbnail(8, 88, weights, nullptr, &dot.image));
}

TEST(PresetThumbnail, UnreadablePathIsACannotOpen) {
    ScopedTempFolder temp;
#if defined(_WIN32)
    GTEST_SKIP() << "file permissions are a POSIX matter";
#else
    if (::geteuid() == 0) GTEST_SKIP() << "root reads files whatever their permissions";
    auto block = newBlock();
    const std::string path = temp.path("locked.q4q");
    ASSERT_EQ(savePresetFile(*block, path.c_str(), nullptr), kPresetOk);
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    EXPECT_EQ(loadPresetFile(block.get(), path.c_str(), kReadSettings, nullptr, nullptr), kPresetCannotOpen);
#endif
}
