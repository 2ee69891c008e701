#include <gtest/gtest.h>

#include <cstring>

#include "params/defaults.h"
#include "params/enumerations.h"
#include "params/settings_table.h"

using namespace lumenfall;

TEST(ParameterDefaults, InitialisedBlockHoldsEveryTableDefault) {
    static ParameterBlock block;
    std::memset(&block, 0x5A, sizeof block);
    initialiseParameterBlock(block);
    // Every setting takes its default from the table, whatever the table says.
    const SettingInfo* table = settingsTable();
    for (int i = 0; i < kSettingCount; ++i) {
        const SettingInfo& s = table[i];
        switch (s.kind) {
            case SettingKind::Colour: EXPECT_EQ(*colourField(block, s), int(s.defaultValue) * 256) << s.name; break;
            case SettingKind::Axis: EXPECT_EQ(*floatField(block, s), float(s.defaultValue)) << s.name; break;
            default: EXPECT_EQ(*intField(block, s), int32_t(s.defaultValue)) << s.name; break;
        }
    }
    // The table's own values where stored files and images depend on them.
    EXPECT_EQ(block.sunColor[0], 142 * 256);
    EXPECT_EQ(block.spikeColor[2], 88 * 256);
    EXPECT_EQ(block.sunRadius, 38);
    EXPECT_EQ(block.randomSeed, 203);
    EXPECT_EQ(block.flareX, -0.3f);
    EXPECT_EQ(block.xCenter, 0.65f);
    // What the table does not hold.
    EXPECT_STREQ(block.settingsName, "Lumenfall settings.q4q");
    EXPECT_EQ(block.reservedColorA[0], block.haloColor[0]);
    EXPECT_EQ(block.reservedColorA[2], 64 * 256);
    EXPECT_EQ(block.flareZ, 0.936803043f);  // 0.9368030 to seven places
    EXPECT_EQ(block.spikeZ, 0.0f);
    EXPECT_EQ(block.renderScale, 1);
    EXPECT_EQ(block.renderMode, 1);
}

TEST(ParameterDefaults, ResetLeavesNamesFoldersAndFlagsAlone) {
    static ParameterBlock block;
    std::memset(&block, 0, sizeof block);
    std::strcpy(block.settingsName, "mine.q4q");
    std::strcpy(block.psdFolder, "/tmp/");
    block.showDialog = 1;
    block.sunRadius = 99;
    block.derived.haloCurves[0][5] = 7;
    resetToDefaults(block);
    EXPECT_STREQ(block.settingsName, "mine.q4q");
    EXPECT_STREQ(block.psdFolder, "/tmp/");
    EXPECT_EQ(block.showDialog, 1u);
    EXPECT_EQ(block.sunRadius, 38);
    EXPECT_EQ(block.derived.haloCurves[0][5], 7);
}

TEST(SettingsTable, KeysFollowTheKeyListWithItsGaps) {
    const SettingInfo* t = settingsTable();
    EXPECT_EQ(t[0].key, 0x30303031u);            // '0001'
    EXPECT_EQ(t[33].key, 0x30303334u);           // '0034'
    EXPECT_EQ(t[34].key, 0x73756B79u);           // 'suky'
    EXPECT_EQ(t[35].key, 0x73676B79u);           // 'sgky'
    EXPECT_EQ(t[43].key, 0x30303435u);           // '0045': '0044' is skipped
    EXPECT_EQ(t[45].key, 0x30303438u);           // '0048': '0047' is skipped
    EXPECT_EQ(t[48].key, 0x30303531u);           // '0051'
    for (int i = 0; i < kSettingCount; ++i) EXPECT_EQ(t[i].number, i + 1);
    ASSERT_NE(findSettingByName("spike detail "), nullptr);
    EXPECT_EQ(findSettingByName("spike detail"), nullptr);
    EXPECT_EQ(findSettingByName("X center")->number, 48);
}

TEST(Enumerations, ConvertBothWaysAndRefuseOutsideTheTable) {
    EXPECT_EQ(enumIndexToCode(kEnumTypeGlue, 10), 0x73673130u);  // 'sg10'
    EXPECT_EQ(enumIndexToCode(kEnumTypeSunType, 3), 0x73753033u);  // 'su03'
    for (int32_t bad : {0, 20, -1, INT32_MIN, INT32_MAX})
        EXPECT_EQ(enumIndexToCode(kEnumTypeGlue, bad), kCodeNone) << bad;
    EXPECT_EQ(enumIndexToCode(kEnumTypeSunType, 4), kCodeNone);
    int32_t index = 99;
    EXPECT_FALSE(enumCodeToIndex(kEnumTypeGlue, 0x73673230u, &index));  // 'sg20'
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(enumCodeToIndex(kEnumTypeGlue, 0x73673139u, &index));   // 'sg19'
    EXPECT_EQ(index, 19);
    EXPECT_FALSE(enumCodeToIndex(0x12345678u, 0x73673139u, &index));
    EXPECT_EQ(enumIndexFromText(kEnumTypeGlue, "screen"), 10);
    EXPECT_EQ(enumIndexFromText(kEnumTypeGlue, "sg10"), 10);
    EXPECT_EQ(enumIndexFromText(kEnumTypeSunType, "eclipse"), 3);
    EXPECT_EQ(enumIndexFromText(kEnumTypeSunType, "su03"), 3);
    EXPECT_EQ(enumIndexFromText(kEnumTypeSunType, "bright"), 0);
}
