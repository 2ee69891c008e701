// A setting's value as it travels outside the parameter block: in a
// descriptor, or from a preset into the settings of a scripted run. Colours
// travel as their high byte, switches as a boolean from the low byte,
// integers as they are, the axes and centre as doubles, the sun type and
// glue as enumeration codes. Colour low bytes, the Z components and the
// reserved colours have no key and do not travel.
#ifndef LUMENFALL_PARAMS_CARRIED_SETTINGS_H
#define LUMENFALL_PARAMS_CARRIED_SETTINGS_H

#include <cstdint>

#include "params/parameter_block.h"
#include "params/settings_table.h"

namespace lumenfall {

struct CarriedValue {
    int64_t integer = 0;  // colour byte, integer, boolean, enumeration code
    double number = 0;    // axis
};

CarriedValue readCarriedValue(const ParameterBlock& block, const SettingInfo& s);

// Stores a carried value as the plug-in reads it: a colour byte times 256,
// a boolean byte, a finite double beyond the float range saturated, an
// unknown enumeration code as the first entry.
void writeCarriedValue(ParameterBlock* block, const SettingInfo& s, const CarriedValue& value);

// Every setting of `preset` into `block` (first reset to the defaults) as a
// descriptor carries it: what the plug-in sees of a preset given to a run.
void carryPresetSettings(const ParameterBlock& preset, ParameterBlock* block);

}  // namespace lumenfall

#endif
