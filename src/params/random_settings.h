// Random settings: the dice roll of a whole sun, the roll of the noise seed
// and the glue button's next mode. They draw from the C runtime's sequence
// (platform/random.h), which the prepare selector seeds from the clock.
#ifndef LUMENFALL_PARAMS_RANDOM_SETTINGS_H
#define LUMENFALL_PARAMS_RANDOM_SETTINGS_H

#include <cstdint>

#include "params/parameter_block.h"

namespace lumenfall {

// The name the dialog gives the settings after a roll.
constexpr const char* kRandomSettingsName = "random settings.q4q";

// The mask of the draw: 1 for a span below 2, else the first 2^k - 1
// (k >= 2) that is at least the span, at most 2^31 - 1.
int64_t randomDrawMask(int64_t span);

// A uniform integer in lo..hi inclusive (swapped when lo > hi): bits 4..14
// of rand under the mask, added to lo, drawn again until at most hi.
int32_t randomInteger(int32_t lo, int32_t hi);

// Three draws, red, green, blue: (rand % 256) * 256 each.
void randomColour(uint16_t (&colour)[3]);

// Rolls every setting in its fixed order of draws; glue, the centre and
// every non-setting field are left alone.
void rollAllSettings(ParameterBlock& block);

// randomSeed := rand % 2048.
void rollSeed(ParameterBlock& block);

// glue + 1, and 1 after 19 (also for any value outside 1..18).
void nextGlueMode(ParameterBlock& block);

}  // namespace lumenfall

#endif
