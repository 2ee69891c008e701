#include <cstdlib>

#include "platform/random.h"

namespace lumenfall {

void seedRandom(unsigned seed) { std::srand(seed); }
int nextRandom() { return std::rand(); }

}  // namespace lumenfall
