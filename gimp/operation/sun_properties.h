// The operation's properties, made from the settings table: one per
// setting (a colour's three channels as one GEGL colour), plus `preset`.
#ifndef LUMENFALL_GIMP_SUN_PROPERTIES_H
#define LUMENFALL_GIMP_SUN_PROPERTIES_H

#include <gegl-plugin.h>

#include <string>
#include <vector>

#include "params/parameter_block.h"
#include "params/settings_table.h"

namespace lumenfall {

enum class PropertyKind { Colour, Integer, Switch, Number, SunType, Glue, Preset };

struct PropertyInfo {
    std::string name;                    // GEGL's form: "sun-radius", "sun-color"
    std::string label;                   // "Sun radius"
    std::string blurb;
    PropertyKind kind;
    const SettingInfo* settings[3];      // the setting, or a colour's red, green and blue
};

// Every property in the table's order (colours where their red channel is).
const std::vector<PropertyInfo>& sunProperties();

// Registers the two enumerations with the module (once per process).
void registerSunEnums(GTypeModule* module);

// The parameter spec of a property: the table's range and default.
GParamSpec* makeParamSpec(const PropertyInfo& property);

// The settings a property set stands for: the defaults, then the preset
// when one is named, then every property whose value differs from its
// default. False with a message when the preset cannot be read.
bool settingsFromProperties(const GValue* values, GParamSpec* const* specs, ParameterBlock* block,
                            std::string* error);

}  // namespace lumenfall

#endif
