// The C runtime's pseudo-random sequence on every build. On Windows this is
// the runtime's own srand/rand (0..32767); elsewhere the C library's rand
// has another range and sequence, so we reproduce the Windows runtime's
// generator exactly: one seed gives the same rolls on every build.
#ifndef LUMENFALL_PLATFORM_RANDOM_H
#define LUMENFALL_PLATFORM_RANDOM_H

namespace lumenfall {

constexpr int kRandomMax = 32767;

void seedRandom(unsigned seed);
int nextRandom();  // 0..32767

}  // namespace lumenfall

#endif
