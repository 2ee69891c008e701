#include "plugin_settings.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "gimp/core/sun_settings.h"
#include "gimp/operation/sun_properties.h"
#include "preset_settings.h"
#include "settings_arguments.h"

namespace lumenfall {

bool settingsForRun(const std::string& presetPath, const std::string& settingsText, ParameterBlock* block,
                    std::string* error) {
    std::vector<DescriptorEntry> entries;
    std::istringstream lines(settingsText);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        const size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos || line[start] == '#') continue;
        DescriptorEntry entry;
        std::string why;
        if (!parseSetting(line, &entry, &why)) {
            *error = "settings line " + std::to_string(number) + ": " + why;
            return false;
        }
        putSetting(&entries, entry);
    }
    if (!presetPath.empty() && !addPresetSettings(presetPath, &entries, error)) return false;
    startSettings(block);
    for (const DescriptorEntry& entry : entries) applyEntryToBlock(entry, *block);
    return true;
}

void setSunProperties(GeglNode* sun, const ParameterBlock& block) {
    GeglOperation* operation = nullptr;
    g_object_get(sun, "gegl-operation", &operation, nullptr);
    GObjectClass* klass = operation ? G_OBJECT_GET_CLASS(operation) : nullptr;
    for (const PropertyInfo& p : sunProperties()) {
        GParamSpec* spec = klass ? g_object_class_find_property(klass, p.name.c_str()) : nullptr;
        if (!spec) continue;
        const char* name = p.name.c_str();
        const SettingInfo* s = p.settings[0];
        switch (p.kind) {
            case PropertyKind::Colour: {
                char text[16];
                std::snprintf(text, sizeof text, "#%02x%02x%02x", *colourField(block, *p.settings[0]) >> 8,
                              *colourField(block, *p.settings[1]) >> 8, *colourField(block, *p.settings[2]) >> 8);
                GeglColor* colour = gegl_color_new(text);
                gegl_node_set(sun, name, colour, nullptr);
                g_object_unref(colour);
                break;
            }
            case PropertyKind::Integer:
            case PropertyKind::SunType:
            case PropertyKind::Glue: {
                int32_t v = *intField(block, *s);
                if (G_IS_PARAM_SPEC_INT(spec))
                    v = std::clamp(v, G_PARAM_SPEC_INT(spec)->minimum, G_PARAM_SPEC_INT(spec)->maximum);
                // An enumeration index outside the list keeps the default.
                if (G_IS_PARAM_SPEC_ENUM(spec) && !g_enum_get_value(G_PARAM_SPEC_ENUM(spec)->enum_class, v))
                    v = G_PARAM_SPEC_ENUM(spec)->default_value;
                gegl_node_set(sun, name, v, nullptr);
                break;
            }
            case PropertyKind::Switch:
                gegl_node_set(sun, name, gboolean((*intField(block, *s) & 0xFF) != 0), nullptr);
                break;
            case PropertyKind::Number: {
                double v = *floatField(block, *s);
                if (G_IS_PARAM_SPEC_DOUBLE(spec))
                    v = std::clamp(v, G_PARAM_SPEC_DOUBLE(spec)->minimum, G_PARAM_SPEC_DOUBLE(spec)->maximum);
                if (v != v) v = G_PARAM_SPEC_DOUBLE(spec)->default_value;
                gegl_node_set(sun, name, v, nullptr);
                break;
            }
            case PropertyKind::Preset:
                break;
        }
    }
    if (operation) g_object_unref(operation);
}

}  // namespace lumenfall
