#include "params/defaults.h"

#include <cmath>
#include <cstring>

#include "params/settings_table.h"

namespace lumenfall {

float unitVectorZ(float x, float y) {
    const float xx = x * x;
    const float yy = y * y;
    const double rest = 1.0 - double(xx) - double(yy);
    return float(std::sqrt(rest > 0.0 ? rest : 0.0));
}

void resetToDefaults(ParameterBlock& block) {
    const SettingInfo* table = settingsTable();
    for (int i = 0; i < kSettingCount; ++i) {
        const SettingInfo& s = table[i];
        switch (s.kind) {
            case SettingKind::Colour:
                *colourField(block, s) = uint16_t(int(s.defaultValue) << 8);
                break;
            case SettingKind::Integer:
            case SettingKind::Switch:
            case SettingKind::SunType:
            case SettingKind::Glue:
                *intField(block, s) = int32_t(s.defaultValue);
                break;
            case SettingKind::Axis:
                *floatField(block, s) = float(s.defaultValue);
                break;
        }
    }
    std::memcpy(block.reservedColorA, block.haloColor, sizeof block.haloColor);
    // The Z components are stored only: a unit vector with the X and Y of
    // the table for the flares, none for the spikes.
    block.flareZ = unitVectorZ(block.flareX, block.flareY);
    block.spikeZ = 0.0f;
}

void initialiseParameterBlock(ParameterBlock& block) {
    block.hostPreview = 0;
    block.renderScale = 1;
    block.renderTarget = kTargetHostImage;
    block.renderMode = 1;
    std::memset(block.dialogFlags, 0, sizeof block.dialogFlags);
    std::memset(block.extraStrings, 0, sizeof block.extraStrings);
    block.extraField = 0;
    std::memset(block.settingsName, 0, sizeof block.settingsName);
    std::strcpy(block.settingsName, "Lumenfall settings.q4q");
    resetToDefaults(block);
}

}  // namespace lumenfall
