// The lookup tables the sun elements read, built once per render from the
// settings (see render/render_plan.h) and read-only while rows are drawn.
#ifndef LUMENFALL_KERNELS_SUN_TABLES_H
#define LUMENFALL_KERNELS_SUN_TABLES_H

#include <cstdint>

namespace lumenfall {

struct SunTables {
    int32_t noiseTable[2048];        // seeded values 0..255
    int32_t proceduralWeights[256];  // the fixed triangle table
    int32_t spikeAxes[256][4];       // across-sine, across-cosine, along-cosine, along-sine
    uint16_t spikeProfile[301];
    uint16_t flareAngles[101];
    int16_t spikeRamp[3][600];
    uint16_t bowSpectrum[3][201];
    int32_t spectralBase[3][93];     // base table of the spectral builds
};

}  // namespace lumenfall

#endif
