#include "params/carried_settings.h"

#include <cfloat>
#include <cmath>

#include "params/defaults.h"
#include "params/enumerations.h"

namespace lumenfall {
namespace {

uint32_t enumTypeOf(const SettingInfo& s) { return s.kind == SettingKind::Glue ? kEnumTypeGlue : kEnumTypeSunType; }

}  // namespace

CarriedValue readCarriedValue(const ParameterBlock& block, const SettingInfo& s) {
    CarriedValue value;
    switch (s.kind) {
        case SettingKind::Colour: value.integer = *colourField(block, s) >> 8; break;
        case SettingKind::Integer: value.integer = *intField(block, s); break;
        case SettingKind::Switch: value.integer = (*intField(block, s) & 0xFF) != 0 ? 1 : 0; break;
        case SettingKind::Axis: value.number = *floatField(block, s); break;
        case SettingKind::SunType:
        case SettingKind::Glue: value.integer = enumIndexToCode(enumTypeOf(s), *intField(block, s)); break;
    }
    return value;
}

void writeCarriedValue(ParameterBlock* block, const SettingInfo& s, const CarriedValue& value) {
    switch (s.kind) {
        case SettingKind::Colour:
            *colourField(*block, s) = uint16_t((uint32_t(int32_t(value.integer)) * 256u) & 0xFFFFu);
            break;
        case SettingKind::Integer: *intField(*block, s) = int32_t(value.integer); break;
        case SettingKind::Switch: *intField(*block, s) = int32_t(uint8_t(value.integer)); break;
        case SettingKind::Axis:
            if (std::isfinite(value.number) && value.number > FLT_MAX)
                *floatField(*block, s) = FLT_MAX;
            else if (std::isfinite(value.number) && value.number < -FLT_MAX)
                *floatField(*block, s) = -FLT_MAX;
            else
                *floatField(*block, s) = float(value.number);
            break;
        case SettingKind::SunType:
        case SettingKind::Glue: {
            int32_t index = 0;
            enumCodeToIndex(enumTypeOf(s), uint32_t(value.integer), &index);
            *intField(*block, s) = index;
            break;
        }
    }
}

void carryPresetSettings(const ParameterBlock& preset, ParameterBlock* block) {
    resetToDefaults(*block);
    const SettingInfo* table = settingsTable();
    for (int i = 0; i < kSettingCount; ++i) writeCarriedValue(block, table[i], readCarriedValue(preset, table[i]));
}

}  // namespace lumenfall
