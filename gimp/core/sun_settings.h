// Settings for the GEGL operation and the GIMP plug-in: the property names
// GEGL sees (the names `--set` accepts, lower case with hyphens), presets
// carried the way `lumenfall render --preset` carries them, and one setting
// written into a block as a script would write it.
#ifndef LUMENFALL_GIMP_SUN_SETTINGS_H
#define LUMENFALL_GIMP_SUN_SETTINGS_H

#include <string>

#include "params/parameter_block.h"
#include "params/settings_table.h"

namespace lumenfall {

// "sun radius" -> "sun-radius", "sun cold/hot" -> "sun-cold-hot",
// "X center" -> "x-center", "spike detail " -> "spike-detail": lower case,
// every run of other characters one hyphen, none at either end.
std::string geglNameOf(const char* settingName);

// A block as the plug-in starts a scripted run: every field initialised,
// every setting at its default.
void startSettings(ParameterBlock* block);

// The preset at `path` read into a block at its defaults, as the dialog's
// Open reads it. False with a message when it cannot be opened, is not a
// preset, or is damaged or cut short.
bool readPresetSettings(const std::string& path, ParameterBlock* preset, std::string* error);

// One setting as a script sets it: colours 0..255 per channel, switches
// 0 or 1, enumerations by index.
void setColourChannel(ParameterBlock* block, const SettingInfo& s, int32_t value8);
void setInteger(ParameterBlock* block, const SettingInfo& s, int32_t value);
void setNumber(ParameterBlock* block, const SettingInfo& s, double value);

}  // namespace lumenfall

#endif
