#include <cstdint>

#include "platform/random.h"

namespace lumenfall {
namespace {
// The Windows C runtime's generator: state = state * 214013 + 2531011,
// result = bits 16..30 of the state. The state starts at 1, as after srand(1).
uint32_t g_state = 1;
}  // namespace

void seedRandom(unsigned seed) { g_state = seed; }

int nextRandom() {
    g_state = g_state * 214013u + 2531011u;
    return int((g_state >> 16) & 0x7FFF);
}

}  // namespace lumenfall
