// Settings as they travel in a descriptor: what the plug-in reads back from
// values a script or a preset hands it, at the edges where a careless read
// would differ.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>

#include "params/carried_settings.h"
#include "params/defaults.h"
#include "params/enumerations.h"

using namespace lumenfall;

namespace {

std::unique_ptr<ParameterBlock> freshBlock() {
    auto block = std::make_unique<ParameterBlock>();
    std::memset(block.get(), 0, sizeof(ParameterBlock));
    initialiseParameterBlock(*block);
    return block;
}

CarriedValue integer(int64_t v) {
    CarriedValue value;
    value.integer = v;
    return value;
}

CarriedValue number(double v) {
    CarriedValue value;
    value.number = v;
    return value;
}

}  // namespace

TEST(CarriedSettings, ValuesAreStoredAsThePluginReadsThem) {
    auto block = freshBlock();
    // A colour byte is stored times 256 in 16 bits: 300 wraps to 44.
    writeCarriedValue(block.get(), *findSettingByName("sun red"), integer(300));
    EXPECT_EQ(block->sunColor[0], 44 * 256);
    // A switch is a boolean byte: 256 is off, 257 on.
    writeCarriedValue(block.get(), *findSettingByName("vortices"), integer(256));
    EXPECT_EQ(block->vortices, 0);
    writeCarriedValue(block.get(), *findSettingByName("vortices"), integer(257));
    EXPECT_EQ(block->vortices, 1);
    // Doubles beyond the float range saturate instead of becoming infinite.
    writeCarriedValue(block.get(), *findSettingByName("flare X"), number(1e300));
    EXPECT_EQ(block->flareX, FLT_MAX);
    writeCarriedValue(block.get(), *findSettingByName("flare X"), number(-1e300));
    EXPECT_EQ(block->flareX, -FLT_MAX);
    // An enumeration code nobody knows is the first entry.
    writeCarriedValue(block.get(), *findSettingByName("glue"), integer(0x7A7A7A7A));
    EXPECT_EQ(block->glue, 0);
}

// Reading and writing back gives the same settings for every kind, and a
// preset carried into a block drops exactly what a descriptor cannot hold.
TEST(CarriedSettings, APresetCarriedIntoABlockKeepsEveryKeyedValue) {
    auto preset = freshBlock();
    preset->sunColor[1] = uint16_t(77 * 256 + 200);  // the low byte does not travel
    preset->vortices = 0x0302;
    preset->glue = 7;
    preset->flareX = 0.125f;
    auto block = freshBlock();
    block->flareX = 0.5f;
    carryPresetSettings(*preset, block.get());
    EXPECT_EQ(block->sunColor[1], 77 * 256);
    EXPECT_EQ(block->vortices, 1);
    EXPECT_EQ(block->glue, 7);
    EXPECT_EQ(block->flareX, 0.125f);
    const SettingInfo* glue = findSettingByName("glue");
    EXPECT_EQ(uint32_t(readCarriedValue(*preset, *glue).integer), enumIndexToCode(kEnumTypeGlue, 7));
}
