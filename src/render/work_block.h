// The work block: the resampling weights and the dialog's working state
// (memory-dot kept flags and undo slots). One record owned by the globals
// for the life of a run; the host allocates it as one run buffer, so its
// size is fixed and checked. The render tables are not here: they belong
// to the render plan (render/render_plan.h).
#ifndef LUMENFALL_RENDER_WORK_BLOCK_H
#define LUMENFALL_RENDER_WORK_BLOCK_H

#include <cstddef>
#include <cstdint>

#include "params/parameter_block.h"

namespace lumenfall {

struct WorkBlock {
    // Resampling filter weights for 128 sub-pixel phases and 5 taps.
    float lanczosFloat[128][5];
    int32_t lanczos2048[128][5];
    int32_t lanczos32768[128][5];

    // Memory-dot kept flags and the dialog's undo slots.
    int32_t memoryDotKept[25];
    ParameterBlock undoSlots[2];
    int32_t undoState;
    int32_t previewState;
};

// The host is asked for this many bytes for the work block: the size hosts
// have always been asked for, which leaves room for the dialog's state.
constexpr size_t kWorkBlockBytes = sizeof(WorkBlock) < 99808 ? 99808 : sizeof(WorkBlock);
static_assert(kWorkBlockBytes >= 99808, "the work block is at least 99808 bytes");

}  // namespace lumenfall

#endif
