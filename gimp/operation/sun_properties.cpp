#include "sun_properties.h"

#include <cstdio>
#include <cstring>

#include "gimp/core/sun_settings.h"
#include "params/carried_settings.h"
#include "params/enumerations.h"

namespace lumenfall {
namespace {

GType g_sunTypeEnum = 0;
GType g_glueEnum = 0;

// The enumeration's values with the product's names as labels and GEGL's
// form as nicks ("hard light" -> "hard-light", "procedural +" -> "procedural-plus").
GEnumValue* enumValuesOf(uint32_t type) {
    int count = 0;
    const EnumEntry* entries = enumEntries(type, &count);
    static std::vector<std::string> nicks;  // kept for the life of the process
    auto* values = new GEnumValue[size_t(count) + 1];
    nicks.reserve(64);
    for (int i = 0; i < count; ++i) {
        std::string nick = entries[i].name;
        for (const auto& [sign, word] : {std::pair<const char*, const char*>{"+", "plus"}, {"-", "minus"}}) {
            const size_t at = nick.find(sign);
            if (at != std::string::npos) nick.replace(at, 1, word);
        }
        nicks.push_back(geglNameOf(nick.c_str()));
        values[i].value = entries[i].index;
        values[i].value_name = entries[i].name;
        values[i].value_nick = g_intern_string(nicks.back().c_str());
    }
    values[count] = GEnumValue{0, nullptr, nullptr};
    return values;
}

std::string labelOf(const std::string& name) {
    std::string label = name;
    while (!label.empty() && label.back() == ' ') label.pop_back();
    if (!label.empty() && label[0] >= 'a' && label[0] <= 'z') label[0] = char(label[0] - 'a' + 'A');
    return label;
}

std::string colourGroupName(const char* redName) {
    std::string name = redName;
    return name.substr(0, name.size() - std::strlen("red")) + "color";
}

std::vector<PropertyInfo> makeProperties() {
    std::vector<PropertyInfo> list;
    const SettingInfo* table = settingsTable();
    for (int i = 0; i < kSettingCount; ++i) {
        const SettingInfo& s = table[i];
        const std::string typed = labelOf(s.name);
        PropertyInfo p{geglNameOf(s.name), typed, "", PropertyKind::Integer, {&s, nullptr, nullptr}};
        char range[96];
        std::snprintf(range, sizeof range, " (%d..%d)", s.sliderMin, s.sliderMax);
        switch (s.kind) {
            case SettingKind::Colour: {
                const std::string name = s.name;
                if (name.size() < 4 || name.compare(name.size() - 3, 3, "red") != 0) continue;
                const std::string group = colourGroupName(s.name);
                p.name = geglNameOf(group.c_str());
                p.label = labelOf(group);
                p.kind = PropertyKind::Colour;
                p.settings[1] = &table[i + 1];
                p.settings[2] = &table[i + 2];
                p.blurb = "The " + group.substr(0, group.size() - 6) + " colour (the settings \"" + name +
                          "\", \"" + table[i + 1].name + "\" and \"" + table[i + 2].name + "\")";
                break;
            }
            case SettingKind::Integer:
                p.blurb = "The setting \"" + labelOf(s.name).replace(0, 1, 1, s.name[0]) + "\"" + range;
                break;
            case SettingKind::Switch:
                p.kind = PropertyKind::Switch;
                p.blurb = "The switch \"" + typed + "\"";
                break;
            case SettingKind::Axis:
                p.kind = PropertyKind::Number;
                p.blurb = "The setting \"" + typed + "\"" + range +
                          (s.sliderMin == 0 ? ": a fraction of the layer's size" : ": a direction's component");
                break;
            case SettingKind::SunType:
                p.kind = PropertyKind::SunType;
                p.blurb = "The sun's disc: normal, flat or eclipse";
                break;
            case SettingKind::Glue:
                p.kind = PropertyKind::Glue;
                p.blurb = "How the light is glued onto the picture";
                break;
        }
        list.push_back(p);
    }
    list.push_back(PropertyInfo{"preset", "Preset",
                                "A preset file (.q4q) read first; the other properties then apply only "
                                "where they differ from their defaults",
                                PropertyKind::Preset,
                                {nullptr, nullptr, nullptr}});
    return list;
}

int32_t colourChannel8(const GValue* value, int channel) {
    GeglColor* colour = GEGL_COLOR(g_value_get_object(value));
    if (!colour) return 0;
    guint8 rgb[3] = {0, 0, 0};
    gegl_color_get_pixel(colour, babl_format("R'G'B' u8"), rgb);
    return rgb[channel];
}

}  // namespace

const std::vector<PropertyInfo>& sunProperties() {
    static const std::vector<PropertyInfo> list = makeProperties();
    return list;
}

void registerSunEnums(GTypeModule* module) {
    if (!g_sunTypeEnum) g_sunTypeEnum = g_type_from_name("LumenfallSunType");
    if (!g_sunTypeEnum)
        g_sunTypeEnum = g_type_module_register_enum(module, "LumenfallSunType", enumValuesOf(kEnumTypeSunType));
    if (!g_glueEnum) g_glueEnum = g_type_from_name("LumenfallGlue");
    if (!g_glueEnum) g_glueEnum = g_type_module_register_enum(module, "LumenfallGlue", enumValuesOf(kEnumTypeGlue));
}

GParamSpec* makeParamSpec(const PropertyInfo& p) {
    // Values beyond a range are clamped to it rather than ignored.
    const auto flags = GParamFlags(G_PARAM_READWRITE | G_PARAM_CONSTRUCT | GEGL_PARAM_PAD_INPUT |
                                   G_PARAM_LAX_VALIDATION);
    const char* name = p.name.c_str();
    const char* label = p.label.c_str();
    const char* blurb = p.blurb.c_str();
    const SettingInfo* s = p.settings[0];
    switch (p.kind) {
        case PropertyKind::Colour: {
            char text[16];
            std::snprintf(text, sizeof text, "#%02x%02x%02x", int(p.settings[0]->defaultValue),
                          int(p.settings[1]->defaultValue), int(p.settings[2]->defaultValue));
            return gegl_param_spec_color_from_string(name, label, blurb, text, flags);
        }
        case PropertyKind::Integer:
            return gegl_param_spec_int(name, label, blurb, s->sliderMin, s->sliderMax, int(s->defaultValue),
                                       s->sliderMin, s->sliderMax, 1.0, flags);
        case PropertyKind::Switch:
            return g_param_spec_boolean(name, label, blurb, s->defaultValue != 0, flags);
        case PropertyKind::Number: {
            GParamSpec* spec = gegl_param_spec_double(name, label, blurb, s->sliderMin, s->sliderMax,
                                                      s->defaultValue, s->sliderMin, s->sliderMax, 1.0, flags);
            gegl_param_spec_double_set_digits(GEGL_PARAM_SPEC_DOUBLE(spec), 3);
            gegl_param_spec_double_set_steps(GEGL_PARAM_SPEC_DOUBLE(spec), 0.01, 0.1);
            return spec;
        }
        case PropertyKind::SunType:
            return gegl_param_spec_enum(name, label, blurb, g_sunTypeEnum, int(s->defaultValue), flags);
        case PropertyKind::Glue:
            return gegl_param_spec_enum(name, label, blurb, g_glueEnum, int(s->defaultValue), flags);
        case PropertyKind::Preset:
            return gegl_param_spec_file_path(name, label, blurb, FALSE, FALSE, "", flags);
    }
    return nullptr;
}

bool settingsFromProperties(const GValue* values, GParamSpec* const* specs, ParameterBlock* block,
                            std::string* error) {
    const std::vector<PropertyInfo>& list = sunProperties();
    startSettings(block);
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].kind != PropertyKind::Preset) continue;
        const char* path = g_value_get_string(&values[i]);
        if (!path || !*path) continue;
        ParameterBlock preset;
        if (!readPresetSettings(path, &preset, error)) return false;
        carryPresetSettings(preset, block);
    }
    for (size_t i = 0; i < list.size(); ++i) {
        const PropertyInfo& p = list[i];
        const GValue* value = &values[i];
        const bool changed = g_param_values_cmp(specs[i], value, g_param_spec_get_default_value(specs[i])) != 0;
        switch (p.kind) {
            case PropertyKind::Colour:
                // Channel by channel: a colour changed in red only keeps a
                // preset's green and blue.
                for (int c = 0; c < 3; ++c) {
                    const int32_t v = colourChannel8(value, c);
                    if (v != int32_t(p.settings[c]->defaultValue)) setColourChannel(block, *p.settings[c], v);
                }
                break;
            case PropertyKind::Integer:
                if (changed) setInteger(block, *p.settings[0], g_value_get_int(value));
                break;
            case PropertyKind::Switch:
                if (changed) setInteger(block, *p.settings[0], g_value_get_boolean(value) ? 1 : 0);
                break;
            case PropertyKind::Number:
                if (changed) setNumber(block, *p.settings[0], g_value_get_double(value));
                break;
            case PropertyKind::SunType:
            case PropertyKind::Glue:
                if (changed) setInteger(block, *p.settings[0], g_value_get_enum(value));
                break;
            case PropertyKind::Preset:
                break;
        }
    }
    return true;
}

}  // namespace lumenfall
