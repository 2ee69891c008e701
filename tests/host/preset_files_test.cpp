// The plug-in's own files across runs (cached settings, the memory-dot map)
// and the preset commands of `lumenfall` end to end.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "command_preset.h"
#include "host/plugin_fixture.h"
#include "params/plugin_files.h"
#include "params/preset_format.h"
#include "params/preset_test_support.h"
#include "params/random_settings.h"
#include "params/scoped_temp_folder.h"
#include "platform/random.h"
#include "settings_arguments.h"

using namespace lumenfall;
using namespace lumenfall::testing;

namespace {

// Every test of this program gets a private temporary folder, so runs
// without a descriptor never read or write the machine's own files.
class PrivateTempFolder : public ::testing::Environment {
public:
    void SetUp() override { folder_ = std::make_unique<ScopedTempFolder>(); }
    void TearDown() override { folder_.reset(); }

private:
    std::unique_ptr<ScopedTempFolder> folder_;
};
::testing::Environment* const g_privateTemp = ::testing::AddGlobalTestEnvironment(new PrivateTempFolder);

int32_t recordedInteger(PluginHost& host, const char* name) {
    DescriptorEntry wanted;
    std::string error;
    parseSetting(std::string(name) + "=0", &wanted, &error);
    for (const DescriptorEntry& e : host.recordedDescriptor())
        if (e.key == wanted.key) return int32_t(e.integer);
    return INT32_MIN;
}

DescriptorEntry setting(const std::string& text) {
    DescriptorEntry entry;
    std::string error;
    EXPECT_TRUE(parseSetting(text, &entry, &error)) << error;
    return entry;
}

int runPreset(std::vector<std::string> args) { return runPresetCommand(args); }

}  // namespace

TEST(CachedSettings, FirstRunWithoutAFileUsesTheDefaults) {
    ScopedTempFolder temp;
    HostOptions options;
    options.passDescriptor = false;
    auto host = loadPlugin(options);
    Image out;
    ASSERT_TRUE(host->run(patternImage(16, 8), nullptr, &out).rendered);
    EXPECT_EQ(parameterBlock(*host)->sunRadius, 38);
    EXPECT_EQ(recordedInteger(*host, "sun radius"), 38);
}

TEST(CachedSettings, DialogRunSavesThemAndTheNextRunWithoutDescriptorLoadsThem) {
    ScopedTempFolder temp;
    {
        HostOptions options;
        options.showDialog = true;
        options.descriptor.playInfo = pi::kPlayDialogDisplay;
        options.descriptorEntries = {setting("sun radius=70"), setting("glue=screen")};
        auto host = loadPlugin(options);
        Image out;
        ASSERT_TRUE(host->run(patternImage(16, 8), nullptr, &out).rendered);
    }
    const auto cached = readWholeFile(temp.path("Lumenfall cached settings C"));
    ASSERT_GE(cached.size(), 244u);
    EXPECT_EQ(valueAt(cached, 0), 40);
    EXPECT_EQ(valueAt(cached, 56), 70);

    // A run with a descriptor does not read them.
    {
        auto host = loadPlugin();
        Image out;
        ASSERT_TRUE(host->run(patternImage(16, 8), nullptr, &out).rendered);
        EXPECT_EQ(recordedInteger(*host, "sun radius"), 38);
    }
    // A new host (a new block at its defaults) without a descriptor does.
    HostOptions options;
    options.passDescriptor = false;
    auto host = loadPlugin(options);
    Image out;
    ASSERT_TRUE(host->run(patternImage(16, 8), nullptr, &out).rendered);
    EXPECT_EQ(parameterBlock(*host)->sunRadius, 70);
    EXPECT_EQ(parameterBlock(*host)->glue, kGlueScreen);
}

TEST(CachedSettings, RunsWithoutTheDialogDoNotWriteThem) {
    ScopedTempFolder temp;
    HostOptions options;
    options.descriptorEntries = {setting("sun radius=12")};
    auto host = loadPlugin(options);
    Image out;
    ASSERT_TRUE(host->run(patternImage(16, 8), nullptr, &out).rendered);
    EXPECT_TRUE(readWholeFile(temp.path("Lumenfall cached settings C")).empty());
}

TEST(MemoryDotMap, ReadAtStartAndWrittenBackWhenTheRunEnds) {
    ScopedTempFolder temp;
    int32_t kept[kMemoryDotCount] = {};
    kept[5] = 1;
    kept[24] = 1;
    ASSERT_EQ(saveMemoryDotMapFile(kept), kPresetOk);
    std::vector<uint8_t> before = readWholeFile(temp.path("Lumenfall memdot map 2"));
    before[3] = 7;  // a leader other than 40 is read without a check and written as 40
    ASSERT_TRUE(writeWholeFile(temp.path("Lumenfall memdot map 2"), before));
    auto host = loadPlugin();
    Image out;
    ASSERT_TRUE(host->run(patternImage(16, 8), nullptr, &out).rendered);
    const auto after = readWholeFile(temp.path("Lumenfall memdot map 2"));
    ASSERT_EQ(after.size(), 104u);
    EXPECT_EQ(valueAt(after, 0), 40);
    EXPECT_EQ(valueAt(after, 4 + 4 * 5), 1);
    EXPECT_EQ(valueAt(after, 4 + 4 * 24), 1);
    EXPECT_EQ(valueAt(after, 4 + 4 * 6), 0);
}

TEST(MemoryDotMap, WrittenAlsoWhenStartRefusesTheRun) {
    ScopedTempFolder temp;
    HostOptions options;
    options.imageModeOverride = pi::kModeMultichannel;
    auto host = loadPlugin(options);
    Image out;
    EXPECT_FALSE(host->run(patternImage(16, 8), nullptr, &out).rendered);
    EXPECT_EQ(readWholeFile(temp.path("Lumenfall memdot map 2")).size(), 104u);
}

TEST(PresetCommand, SaveShowAndRenderEndToEnd) {
    ScopedTempFolder temp;
    const std::string preset = temp.path("a.q4q");
    ASSERT_EQ(runPreset({"save", "-o", preset, "--set", "sun radius=70", "--set", "glue=overlay", "--plugin",
                         LF_PLUGIN_PATH, "-q"}),
              kExitSuccess);
    const auto bytes = readWholeFile(preset);
    ASSERT_GT(bytes.size(), 256u);
    EXPECT_EQ(valueAt(bytes, 240), 1);    // a thumbnail follows
    EXPECT_EQ(valueAt(bytes, 244), 128);
    EXPECT_EQ(valueAt(bytes, 248), 128);
    EXPECT_EQ(size_t(valueAt(bytes, 252)), bytes.size() - 256);
    EXPECT_EQ(bytes[256], 0xFF);          // JPEG start of image
    EXPECT_EQ(bytes[257], 0xD8);

    ::testing::internal::CaptureStdout();
    ASSERT_EQ(runPreset({"show", preset}), kExitSuccess);
    const std::string shown = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(shown.find("# version 40\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\nsun radius=70\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\nglue=overlay\n"), std::string::npos);
    EXPECT_NE(shown.find("\nX center=0.6499939\n"), std::string::npos);  // quantised in the file, shortest form
    EXPECT_NE(shown.find("# thumbnail: 128 x 128, "), std::string::npos);

    // render --preset hands the settings to the plug-in, which records them.
    RenderOptions render;
    std::string error;
    const std::string png = temp.path("a.png");
    ASSERT_TRUE(parseRenderOptions({"--preset", preset, "--set", "sun detail=12", "-o", png, "--plugin",
                                    LF_PLUGIN_PATH, "-q", "--record"},
                                   &render, &error))
        << error;
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(runRenderCommand(render), kExitSuccess);
    const std::string recorded = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(recorded.find("\nsun radius=70\n"), std::string::npos) << recorded;
    EXPECT_NE(recorded.find("\nglue=overlay\n"), std::string::npos);
    EXPECT_NE(recorded.find("\nsun detail=12\n"), std::string::npos);  // --set wins over the preset
    EXPECT_GT(readWholeFile(png).size(), 0u);
}

TEST(PresetCommand, SaveStartsFromAnotherPresetAndKeepsWhatDescriptorsCannotCarry) {
    ScopedTempFolder temp;
    auto block = newBlock();
    block->sunColor[0] = 0x12AB;  // low byte
    block->spikeZ = 0.5f;
    block->reservedColorB[1] = 0x4400;
    ASSERT_EQ(savePresetFile(*block, temp.path("from.q4q").c_str(), nullptr), kPresetOk);
    ASSERT_EQ(runPreset({"save", "-o", temp.path("b.q4q"), "--from", temp.path("from.q4q"), "--set",
                         "bow width=3", "--no-thumbnail", "-q"}),
              kExitSuccess);
    const auto bytes = readWholeFile(temp.path("b.q4q"));
    ASSERT_EQ(bytes.size(), 244u);
    EXPECT_EQ(valueAt(bytes, 4), 0x12AB);
    EXPECT_EQ(valueAt(bytes, 216), 50);
    EXPECT_EQ(valueAt(bytes, 148), 0x4400);
    EXPECT_EQ(valueAt(bytes, 104), 3);
}

TEST(PresetCommand, RollIsRepeatableWithASeed) {
    ScopedTempFolder temp;
    ASSERT_EQ(runPreset({"roll", "-o", temp.path("r.q4q"), "--seed", "1234", "--no-thumbnail", "-q"}), kExitSuccess);
    auto block = newBlock();
    seedRandom(1234);
    rollAllSettings(*block);
    EXPECT_EQ(readWholeFile(temp.path("r.q4q")), presetFileBytes(*block, nullptr));
}

TEST(PresetCommand, FilesThatCannotBeReadAreErrors) {
    ScopedTempFolder temp;
    auto block = newBlock();
    auto whole = presetFileBytes(*block, nullptr);
    whole.resize(100);
    ASSERT_TRUE(writeWholeFile(temp.path("short.q4q"), whole));
    for (const std::string& path : {temp.path("missing.q4q"), temp.folder(), temp.path("short.q4q")}) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(runPreset({"show", path}), kExitFailure) << path;
        const std::string message = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(message.find(path), std::string::npos) << message;
    }
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runPreset({"save", "-o", temp.path("no/folder/x.q4q"), "--no-thumbnail"}), kExitFailure);
    EXPECT_EQ(runPreset({"save", "--no-thumbnail"}), kExitUsage);         // no -o
    EXPECT_EQ(runPreset({"roll", "-o", "x", "--seed", "-3"}), kExitUsage);
    EXPECT_EQ(runPreset({"show"}), kExitUsage);
    EXPECT_EQ(runPreset({"bake"}), kExitUsage);
    RenderOptions render;
    std::string error;
    EXPECT_FALSE(parseRenderOptions({"--preset", "a.q4q", "--last"}, &render, &error));
    RenderOptions missing;
    ASSERT_TRUE(parseRenderOptions({"--preset", temp.path("missing.q4q"), "-o", temp.path("x.png")}, &missing, &error));
    EXPECT_EQ(runRenderCommand(missing), kExitFailure);
    ::testing::internal::GetCapturedStderr();
}
