// What the plug-in hands the operation: a preset and "NAME=VALUE" lines
// read as `lumenfall render --preset FILE --set LINE...` reads them (the
// lines win over the preset), then every setting as an operation property.
#ifndef LUMENFALL_GIMP_PLUGIN_SETTINGS_H
#define LUMENFALL_GIMP_PLUGIN_SETTINGS_H

#include <gegl.h>

#include <string>

#include "params/parameter_block.h"

namespace lumenfall {

// The settings of a preset path (may be empty) and settings text (lines
// of NAME=VALUE; blank lines and lines starting with # are skipped). False
// with a message naming the bad line or file.
bool settingsForRun(const std::string& presetPath, const std::string& settingsText, ParameterBlock* block,
                    std::string* error);

// Sets every property of a lumenfall:sun node from the settings; values
// beyond a property's range are clamped to it, as GEGL declares them.
void setSunProperties(GeglNode* sun, const ParameterBlock& block);

}  // namespace lumenfall

#endif
