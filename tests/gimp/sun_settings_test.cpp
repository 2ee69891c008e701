#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include "gimp/core/sun_settings.h"
#include "params/carried_settings.h"
#include "params/defaults.h"
#include "params/enumerations.h"
#include "params/preset_format.h"
#include "params/settings_table.h"

namespace lumenfall {
namespace {

TEST(GeglNames, LowerCaseWithSingleHyphensAndNoneAtTheEnds) {
    EXPECT_EQ(geglNameOf("sun radius"), "sun-radius");
    EXPECT_EQ(geglNameOf("sun cold/hot"), "sun-cold-hot");
    EXPECT_EQ(geglNameOf("X center"), "x-center");
    EXPECT_EQ(geglNameOf("spike detail "), "spike-detail");
    EXPECT_EQ(geglNameOf("procedural plus"), "procedural-plus");
    std::set<std::string> names;
    for (int i = 0; i < kSettingCount; ++i) {
        const std::string name = geglNameOf(settingsTable()[i].name);
        EXPECT_EQ(name.find("--"), std::string::npos) << name;
        EXPECT_TRUE(names.insert(name).second) << name << " twice";
    }
}

std::unique_ptr<ParameterBlock> fresh() {
    auto block = std::make_unique<ParameterBlock>();
    startSettings(block.get());
    return block;
}

TEST(PresetCarry, ColoursLoseTheirLowByteSwitchesBecomeBooleansEnumerationsCheckedByCode) {
    auto preset = fresh();
    preset->sunColor[0] = uint16_t(200 * 256 + 99);
    preset->vortices = 0x0102;        // low byte 2: on
    preset->monopoles = 0x0100;       // low byte 0: off
    preset->glue = 10;
    preset->sunType = 9;              // no such type: read as none
    preset->sunRadius = 70;
    preset->flareX = 0.25f;
    auto block = fresh();
    block->sunRadius = 5;
    carryPresetSettings(*preset, block.get());
    EXPECT_EQ(block->sunColor[0], 200 * 256);
    EXPECT_EQ(block->vortices, 1);
    EXPECT_EQ(block->monopoles, 0);
    EXPECT_EQ(block->glue, 10);
    EXPECT_EQ(block->sunType, 0);
    EXPECT_EQ(block->sunRadius, 70);
    EXPECT_EQ(block->flareX, 0.25f);
}

TEST(PresetRead, MissingNotAPresetAndCutShortAreRefusedWithAMessage) {
    auto block = fresh();
    std::string error;
    EXPECT_FALSE(readPresetSettings("/nonexistent/dusk.q4q", block.get(), &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);

    const std::string path = ::testing::TempDir() + "lf-gimp-preset.q4q";
    auto saved = fresh();
    saved->sunRadius = 71;
    const std::vector<uint8_t> whole = presetFileBytes(*saved, nullptr);
    auto write = [&](const std::vector<uint8_t>& bytes) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    };
    write(whole);
    ASSERT_TRUE(readPresetSettings(path, block.get(), &error)) << error;
    EXPECT_EQ(block->sunRadius, 71);

    write(std::vector<uint8_t>(whole.begin(), whole.begin() + 100));
    error.clear();
    EXPECT_FALSE(readPresetSettings(path, block.get(), &error));
    EXPECT_NE(error.find("damaged"), std::string::npos);

    write(std::vector<uint8_t>{'P', 'N', 'G', 0, 1, 2, 3, 4});
    error.clear();
    EXPECT_FALSE(readPresetSettings(path, block.get(), &error));
    EXPECT_NE(error.find("not a preset"), std::string::npos);
    std::remove(path.c_str());
}

TEST(ScriptedValues, SwitchesAreBooleansAndNumbersSaturate) {
    auto block = fresh();
    setInteger(block.get(), *findSettingByName("vortices"), 7);
    EXPECT_EQ(block->vortices, 1);
    setNumber(block.get(), *findSettingByName("flare X"), 1e300);
    EXPECT_EQ(block->flareX, FLT_MAX);
    setColourChannel(block.get(), *findSettingByName("sun red"), 255);
    EXPECT_EQ(block->sunColor[0], 255 * 256);
}

}  // namespace
}  // namespace lumenfall
