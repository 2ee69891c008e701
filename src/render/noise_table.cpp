#include "render/noise_table.h"

#include <utility>

namespace lumenfall {

void buildNoiseTable(int32_t seed, const int16_t source[kNoiseTableSize],
                     int32_t table[kNoiseTableSize]) {
    const uint32_t s = uint32_t(seed) % kNoiseTableSize;
    for (int i = 0; i < kNoiseTableSize; ++i) table[i] = source[i] & 0xFF;
    // The exchange is kept exactly as it has always run: slot i is rewritten
    // right after the swap, so only the write into slot j survives, and a
    // later step may overwrite that slot again. Stored seeds depend on it.
    for (uint32_t i = 0; i < kNoiseTableSize; ++i) {
        const uint32_t j = uint32_t(source[(s + i) % kNoiseTableSize]) % kNoiseTableSize;
        std::swap(table[i], table[j]);
        table[i] = source[i] & 0xFF;
    }
}

}  // namespace lumenfall
