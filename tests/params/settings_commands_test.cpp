#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "params/preset_test_support.h"
#include "params/scoped_temp_folder.h"
#include "params/settings_commands.h"

using namespace lumenfall;
using namespace lumenfall::testing;

TEST(SettingsCommands, SaveProposesTheNameWithoutItsExtension) {
    auto block = newBlock();
    char name[kPathFieldSize];
    proposedSaveName(*block, name);
    EXPECT_STREQ(name, "Lumenfall settings");
    std::strcpy(block->settingsName, "my.sun.q4q");
    proposedSaveName(*block, name);
    EXPECT_STREQ(name, "my.sun");
    std::strcpy(block->settingsName, "plain");
    proposedSaveName(*block, name);
    EXPECT_STREQ(name, "plain");
    std::memset(block->settingsName, 'x', sizeof block->settingsName);  // no terminator
    proposedSaveName(*block, name);
    EXPECT_EQ(std::strlen(name), size_t(kPathFieldSize - 1));
}

TEST(SettingsCommands, SaveRemembersTheFileAndItsFolder) {
    ScopedTempFolder temp;
    auto block = newBlock();
    const std::string path = temp.path("dusk.q4q");
    ASSERT_EQ(saveSettingsCommand(*block, path.c_str(), nullptr), kPresetOk);
    EXPECT_STREQ(block->settingsName, "dusk.q4q");
    EXPECT_EQ(std::string(block->settingsFolder), temp.folder());
    EXPECT_EQ(readWholeFile(path).size(), 244u);
}

TEST(SettingsCommands, OpenResetsToDefaultsBeforeLoading) {
    ScopedTempFolder temp;
    auto old = newBlock();
    fillDistinct(*old, 2);
    ASSERT_TRUE(writeWholeFile(temp.path("v3.q4q"), legacyFile(3, *old)));
    auto block = newBlock();
    fillDistinct(*block, 50);
    PresetLoadReport report;
    ASSERT_EQ(openSettingsCommand(*block, temp.path("v3.q4q").c_str(), nullptr, &report), kPresetOk);
    EXPECT_EQ(report.version, 3);
    EXPECT_EQ(block->glue, old->glue);            // in a version-3 file
    EXPECT_EQ(block->masterBrightness, 30);       // not in it: the default
    EXPECT_EQ(block->xCenter, 0.65f);
    EXPECT_STREQ(block->settingsName, "v3.q4q");
    // A missing file leaves the defaults.
    fillDistinct(*block, 50);
    EXPECT_EQ(openSettingsCommand(*block, temp.path("gone.q4q").c_str(), nullptr, nullptr), kPresetCannotOpen);
    EXPECT_EQ(block->sunRadius, 38);
}

TEST(SettingsCommands, PathsTooLongForTheFieldsAreNeverCut) {
    ScopedTempFolder temp;
    auto block = newBlock();
    fillDistinct(*block, 9);
    std::strcpy(block->settingsName, "kept.q4q");
    const std::string longPath = temp.folder() + std::string(300, 'n') + ".q4q";
    EXPECT_EQ(saveSettingsCommand(*block, longPath.c_str(), nullptr), kPresetCannotOpen);
    EXPECT_EQ(openSettingsCommand(*block, longPath.c_str(), nullptr, nullptr), kPresetCannotOpen);
    EXPECT_STREQ(block->settingsName, "kept.q4q");
    EXPECT_NE(block->sunRadius, 38);  // not reset
    EXPECT_TRUE(temp.entries().empty());
    // 259 characters still fit.
    const std::string fits = temp.folder() + std::string(259 - temp.folder().size(), 'f');
    EXPECT_EQ(saveSettingsCommand(*block, fits.c_str(), nullptr), kPresetOk);
}

TEST(SettingsCommands, FolderPromptGivesTheFolderWithItsSeparator) {
    char folder[kPathFieldSize] = "old";
    EXPECT_TRUE(folderOfChosenFile("/home/sky/presets/a.q4q", folder));
    EXPECT_STREQ(folder, "/home/sky/presets/");
    EXPECT_FALSE(folderOfChosenFile("/home/a.q4q", nullptr));
    EXPECT_FALSE(folderOfChosenFile("bare-name", folder));
    const std::string deep = "/" + std::string(300, 'd') + "/a";
    EXPECT_FALSE(folderOfChosenFile(deep.c_str(), folder));
}
