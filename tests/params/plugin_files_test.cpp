#include <gtest/gtest.h>

#include <cstring>

#include "params/plugin_files.h"
#include "params/preset_test_support.h"
#include "params/scoped_temp_folder.h"

using namespace lumenfall;
using namespace lumenfall::testing;

TEST(PluginFiles, NamesInTheTemporaryFolder) {
    ScopedTempFolder temp;
    char path[kPathFieldSize];
    ASSERT_TRUE(pluginFilePath(kCachedSettingsFileName, path));
    EXPECT_EQ(std::string(path), temp.folder() + "Lumenfall cached settings C");
    char name[kPathFieldSize];
    ASSERT_TRUE(memoryDotFileName(3, name));
    EXPECT_STREQ(name, "Lumenfall memory dot 3.q4q");
    ASSERT_TRUE(memoryDotFileName(24, name));
    EXPECT_STREQ(name, "Lumenfall memory dot 24.q4q");
    ASSERT_TRUE(memoryDotFileName(0, name));
    EXPECT_STREQ(name, "Lumenfall memory dot 0.q4q");
    EXPECT_STREQ(kMemoryDotMapFileName, "Lumenfall memdot map 2");
    EXPECT_STREQ(kUndoFileNames[1], "Lumenfall undo 1");
}

TEST(PluginFiles, DotsOutside0To24AreRefusedBeforeAnyName) {
    ScopedTempFolder temp;
    auto block = newBlock();
    char name[kPathFieldSize] = "untouched";
    for (int32_t dot : {-1, 25, 100, INT32_MIN, INT32_MAX}) {
        EXPECT_FALSE(memoryDotFileName(dot, name)) << dot;
        EXPECT_STREQ(name, "");
        EXPECT_EQ(saveMemoryDotFile(dot, *block, nullptr), kPresetCannotOpen);
        EXPECT_EQ(loadMemoryDotFile(dot, *block), kPresetCannotOpen);
        bool loaded = true;
        EXPECT_EQ(readMemoryDotThumbnail(dot, PresetThumbnailSink{}, &loaded), kPresetCannotOpen);
        EXPECT_FALSE(loaded);
    }
    EXPECT_EQ(saveUndoFile(2, *block, nullptr), kPresetCannotOpen);
    EXPECT_EQ(saveUndoFile(-1, *block, nullptr), kPresetCannotOpen);
    EXPECT_TRUE(temp.entries().empty());
}

TEST(PluginFiles, FirstRunWithoutCachedSettingsKeepsTheDefaults) {
    ScopedTempFolder temp;
    auto block = newBlock();
    auto defaults = newBlock();
    EXPECT_EQ(loadCachedSettingsFile(*block), kPresetCannotOpen);
    EXPECT_EQ(std::memcmp(block.get(), defaults.get(), sizeof(ParameterBlock)), 0);
}

TEST(PluginFiles, CachedSettingsRoundTripWithoutAReset) {
    ScopedTempFolder temp;
    auto saved = newBlock();
    fillDistinct(*saved, 12);
    ASSERT_EQ(saveCachedSettingsFile(*saved, nullptr), kPresetOk);
    EXPECT_EQ(readWholeFile(temp.path("Lumenfall cached settings C")).size(), 244u);
    auto block = newBlock();
    ASSERT_EQ(loadCachedSettingsFile(*block), kPresetOk);
    expectSameSettings(*block, *saved);
}

TEST(PluginFiles, OlderCachedSettingsKeepTheFieldsTheyLack) {
    ScopedTempFolder temp;
    auto old = newBlock();
    fillDistinct(*old, 1);
    ASSERT_TRUE(writeWholeFile(temp.path(kCachedSettingsFileName), legacyFile(14, *old)));
    auto block = newBlock();
    fillDistinct(*block, 20);
    const float xCenter = block->xCenter;
    const int32_t flareBrightnessBefore = block->flareBrightness;
    ASSERT_EQ(loadCachedSettingsFile(*block), kPresetOk);
    EXPECT_EQ(block->xCenter, xCenter);                  // version 20 and later
    EXPECT_EQ(block->flareBrightness, old->flareBrightness);  // version 14 has it
    EXPECT_NE(block->flareBrightness, flareBrightnessBefore);
    EXPECT_EQ(block->randomSeed, old->randomSeed);
}

TEST(PluginFiles, MemoryDotsAndUndoFilesKeepSettings) {
    ScopedTempFolder temp;
    auto saved = newBlock();
    fillDistinct(*saved, 7);
    ASSERT_EQ(saveMemoryDotFile(24, *saved, nullptr), kPresetOk);
    ASSERT_EQ(saveUndoFile(0, *saved, nullptr), kPresetOk);
    EXPECT_EQ(readWholeFile(temp.path("Lumenfall memory dot 24.q4q")), presetFileBytes(*saved, nullptr));
    auto block = newBlock();
    ASSERT_EQ(loadMemoryDotFile(24, *block), kPresetOk);
    expectSameSettings(*block, *saved);
    auto undo = newBlock();
    ASSERT_EQ(loadUndoFile(0, *undo), kPresetOk);
    expectSameSettings(*undo, *saved);
    // A dot whose file is missing changes nothing.
    auto untouched = newBlock();
    EXPECT_EQ(loadMemoryDotFile(5, *untouched), kPresetCannotOpen);
    EXPECT_EQ(untouched->sunRadius, 38);
}

TEST(PluginFiles, MapHolds26BigEndianValues) {
    ScopedTempFolder temp;
    int32_t kept[kMemoryDotCount] = {};
    kept[0] = 1;
    kept[24] = 1;
    kept[7] = -2;
    ASSERT_EQ(saveMemoryDotMapFile(kept), kPresetOk);
    const auto bytes = readWholeFile(temp.path("Lumenfall memdot map 2"));
    ASSERT_EQ(bytes.size(), 104u);
    EXPECT_EQ(valueAt(bytes, 0), 40);
    EXPECT_EQ(valueAt(bytes, 4), 1);
    EXPECT_EQ(valueAt(bytes, 8), 0);
    EXPECT_EQ(valueAt(bytes, 32), -2);
    EXPECT_EQ(valueAt(bytes, 100), 1);
    EXPECT_EQ(bytes[100], 0);  // big-endian
    EXPECT_EQ(bytes[103], 1);

    int32_t loaded[kMemoryDotCount] = {};
    ASSERT_EQ(loadMemoryDotMapFile(loaded), kPresetOk);
    EXPECT_EQ(std::memcmp(loaded, kept, sizeof kept), 0);
}

TEST(PluginFiles, MapReaderTakesTheLeaderUncheckedAndShortFilesPartly) {
    ScopedTempFolder temp;
    std::vector<uint8_t> bytes;
    putValue(bytes, 12345);  // any leader
    for (int i = 0; i < 10; ++i) putValue(bytes, i + 100);
    bytes.push_back(0x7F);  // a broken eleventh value
    ASSERT_TRUE(writeWholeFile(temp.path(kMemoryDotMapFileName), bytes));
    int32_t kept[kMemoryDotCount];
    for (int32_t& k : kept) k = -1;
    EXPECT_EQ(loadMemoryDotMapFile(kept), kPresetReadError);
    EXPECT_EQ(kept[0], 100);
    EXPECT_EQ(kept[9], 109);
    EXPECT_EQ(kept[10], -1);
    EXPECT_EQ(kept[24], -1);
}

TEST(PluginFiles, DotThumbnailIsReadInModeOne) {
    ScopedTempFolder temp;
    auto saved = newBlock();
    std::vector<uint8_t> thumbnail;
    for (int32_t v : {1, 128, 100, 5}) putValue(thumbnail, v);
    thumbnail.insert(thumbnail.end(), {1, 2, 3, 4, 5});
    ASSERT_EQ(saveMemoryDotFile(2, *saved, &thumbnail), kPresetOk);
    struct Seen {
        size_t size = 0;
        int32_t width = 0, height = 0;
    } seen;
    PresetThumbnailSink sink;
    sink.context = &seen;
    sink.accept = [](void* c, const uint8_t* data, size_t size, int32_t w, int32_t h) {
        auto* s = static_cast<Seen*>(c);
        s->size = size;
        s->width = w;
        s->height = h;
        return data[4] == 5;
    };
    bool loaded = false;
    EXPECT_EQ(readMemoryDotThumbnail(2, sink, &loaded), kPresetOk);
    EXPECT_TRUE(loaded);
    EXPECT_EQ(seen.size, 5u);
    EXPECT_EQ(seen.width, 128);
    EXPECT_EQ(seen.height, 100);
}
