// The render work block: tables the render driver fills before the first row
// of a render, the band runner's counters, and the dialog's working state.
// One record owned by the globals for the life of the plug-in instance; the
// host allocates it as one run buffer, so its size is fixed and checked.
#ifndef LUMENFALL_RENDER_WORK_BLOCK_H
#define LUMENFALL_RENDER_WORK_BLOCK_H

#include <cstddef>
#include <cstdint>

#include "params/parameter_block.h"

namespace lumenfall {

struct WorkBlock {
    int32_t noiseTable[2048];        // seeded values 0..255
    int32_t proceduralWeights[256];  // the fixed triangle table
    int32_t spikeAxes[256][4];       // across-sine, across-cosine, along-cosine, along-sine
    uint16_t spikeProfile[301];
    uint16_t flareAngles[101];
    int16_t spikeRamp[3][600];
    uint16_t bowSpectrum[3][201];
    int32_t spectralBase[3][93];     // base table of the spectral builds

    // Resampling filter weights for 128 sub-pixel phases and 5 taps.
    float lanczosFloat[128][5];
    int32_t lanczos2048[128][5];
    int32_t lanczos32768[128][5];

    // Band runner counters: progress throttle and abort throttle.
    int32_t progressCounter;
    int32_t progressLastDone;
    int32_t abortCounter;

    // Memory-dot kept flags and the dialog's undo slots.
    int32_t memoryDotKept[25];
    ParameterBlock undoSlots[2];
    int32_t undoState;
    int32_t previewState;
};

// The host is asked for this many bytes for the work block.
constexpr size_t kWorkBlockBytes = sizeof(WorkBlock) < 99808 ? 99808 : sizeof(WorkBlock);
static_assert(kWorkBlockBytes >= 99808, "the work block is at least 99808 bytes");

}  // namespace lumenfall

#endif
