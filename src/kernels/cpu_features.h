// Wider vector paths chosen when the program runs. Each gives the same
// numbers as the baseline path, lane by lane; they only run sooner.
// Not in Windows builds: MinGW's compiler does not align the stack to the
// 32 bytes that AVX values spilled to it need.
#ifndef LUMENFALL_KERNELS_CPU_FEATURES_H
#define LUMENFALL_KERNELS_CPU_FEATURES_H

#if defined(__SSE2__) && defined(__GNUC__) && !defined(_WIN32) && (defined(__x86_64__) || defined(__i386__))
#define LUMENFALL_WIDE_VECTORS 1
#else
#define LUMENFALL_WIDE_VECTORS 0
#endif

namespace lumenfall {

// Whether this CPU, and its system (which must save the wide registers),
// runs AVX and AVX2; false where the build has no wider paths.
bool cpuRunsAvx();
bool cpuRunsAvx2();

}  // namespace lumenfall

#endif
