// Defaults of the parameter block.
#ifndef LUMENFALL_PARAMS_DEFAULTS_H
#define LUMENFALL_PARAMS_DEFAULTS_H

#include "params/parameter_block.h"

namespace lumenfall {

// Sets every scriptable setting to its default, reserved colour A to the halo
// colour and the axes (with flareZ derived); touches no control flag, derived
// table or string.
void resetToDefaults(ParameterBlock& block);

// Initialises a freshly created (zero-filled) block: render control values,
// dialog flags, strings, settings name and the defaults.
void initialiseParameterBlock(ParameterBlock& block);

// The Z component that makes (x, y, z) a unit vector: products in single
// precision, subtraction and root in double, stored as a single float.
float unitVectorZ(float x, float y);

}  // namespace lumenfall

#endif
