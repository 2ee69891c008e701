#include "sun_settings.h"

#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "params/defaults.h"
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
