// The seeded noise table: 2048 values 0..255 drawn from a constant source
// table by the random seed. Every later use indexes it modulo 2048.
#ifndef LUMENFALL_RENDER_NOISE_TABLE_H
#define LUMENFALL_RENDER_NOISE_TABLE_H

#include <cstdint>

namespace lumenfall {

constexpr int kNoiseTableSize = 2048;

// The program's constant source: 2048 values in 0..2047.
const int16_t* noiseSourceTable();

// Fills `table` from `source` for `seed`; only seed mod 2048 (as an unsigned
// value) matters.
void buildNoiseTable(int32_t seed, const int16_t source[kNoiseTableSize],
                     int32_t table[kNoiseTableSize]);

}  // namespace lumenfall

#endif
