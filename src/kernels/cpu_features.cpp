#include "kernels/cpu_features.h"

namespace lumenfall {

#if LUMENFALL_WIDE_VECTORS
namespace {

struct CpuFeatures {
    bool avx, avx2;
};

// Found once, when the library loads (before that every answer is false,
// and the baseline paths give the same numbers).
const CpuFeatures kFeatures = [] {
    __builtin_cpu_init();
    return CpuFeatures{__builtin_cpu_supports("avx") != 0, __builtin_cpu_supports("avx2") != 0};
}();

}  // namespace

bool cpuRunsAvx() { return kFeatures.avx; }
bool cpuRunsAvx2() { return kFeatures.avx2; }
#else
bool cpuRunsAvx() { return false; }
bool cpuRunsAvx2() { return false; }
#endif

}  // namespace lumenfall
