#include "sun_settings.h"

#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "params/defaults.h"
#include "params/enumerations.h"
#include "params/preset_format.h"

namespace lumenfall {

std::string geglNameOf(const char* settingName) {
    std::string name;
    bool gap = false;
    for (const char* c = settingName; *c; ++c) {
        const unsigned char ch = static_cast<unsigned char>(*c);
        if (std::isalnum(ch)) {
            if (gap && !name.empty()) name += '-';
            gap = false;
            name += char(std::tolower(ch));
        } else {
            gap = true;
        }
    }
    return name;
}

void startSettings(ParameterBlock* block) {
    std::memset(block, 0, sizeof(ParameterBlock));
    initialiseParameterBlock(*block);
}

bool readPresetSettings(const std::string& path, ParameterBlock* preset, std::string* error) {
    startSettings(preset);
    PresetLoadReport report;
    const int32_t result = loadPresetFile(preset, path.c_str(), kReadSettings, nullptr, &report);
    if (result == kPresetCannotOpen) {
        *error = "cannot open the preset " + path + " (missing, unreadable or not a file)";
        return false;
    }
    if (report.version < 1 || report.version > kPresetVersion) {
        *error = path + " is not a preset file";
        return false;
    }
    if (result != kPresetOk) {
        *error = "the preset " + path + " is damaged or cut short";
        return false;
    }
    return true;
}

void carryPresetSettings(const ParameterBlock& preset, ParameterBlock* block) {
    const SettingInfo* table = settingsTable();
    // A descriptor starts from the defaults; a preset supplies every key.
    resetToDefaults(*block);
    for (int i = 0; i < kSettingCount; ++i) {
        const SettingInfo& s = table[i];
        switch (s.kind) {
            case SettingKind::Colour:
                setColourChannel(block, s, *colourField(preset, s) >> 8);
                break;
            case SettingKind::Integer:
                *intField(*block, s) = *intField(preset, s);
                break;
            case SettingKind::Switch:
                *intField(*block, s) = (*intField(preset, s) & 0xFF) != 0 ? 1 : 0;
                break;
            case SettingKind::Axis:
                *floatField(*block, s) = *floatField(preset, s);
                break;
            case SettingKind::SunType:
            case SettingKind::Glue: {
                const uint32_t type = s.kind == SettingKind::Glue ? kEnumTypeGlue : kEnumTypeSunType;
                int32_t index = 0;
                enumCodeToIndex(type, enumIndexToCode(type, *intField(preset, s)), &index);
                *intField(*block, s) = index;
                break;
            }
        }
    }
}

void setColourChannel(ParameterBlock* block, const SettingInfo& s, int32_t value8) {
    *colourField(*block, s) = uint16_t((uint32_t(value8) * 256u) & 0xFFFFu);
}

void setInteger(ParameterBlock* block, const SettingInfo& s, int32_t value) {
    if (s.kind == SettingKind::Switch) value = value != 0 ? 1 : 0;
    *intField(*block, s) = value;
}

void setNumber(ParameterBlock* block, const SettingInfo& s, double value) {
    // Out-of-range finite values saturate instead of overflowing the float.
    if (std::isfinite(value) && std::fabs(value) > double(FLT_MAX)) value = value > 0 ? FLT_MAX : -FLT_MAX;
    *floatField(*block, s) = float(value);
}

}  // namespace lumenfall
