// The Windows C runtime's pseudo-random sequence (srand/rand, 0..32767),
// reproduced on our own state on every build: one seed gives the same rolls
// everywhere, and the host's own use of the runtime's rand neither moves
// our sequence nor is moved by it.
#ifndef LUMENFALL_PLATFORM_RANDOM_H
#define LUMENFALL_PLATFORM_RANDOM_H

namespace lumenfall {

constexpr int kRandomMax = 32767;

void seedRandom(unsigned seed);
int nextRandom();  // 0..32767

}  // namespace lumenfall

#endif
