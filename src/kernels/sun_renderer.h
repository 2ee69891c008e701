// The sun element renderer: computes the effect for the pixels of one row and
// hands each one to the glue compositor.
#ifndef LUMENFALL_KERNELS_SUN_RENDERER_H
#define LUMENFALL_KERNELS_SUN_RENDERER_H

#include <cstdint>

#include "kernels/composite_target.h"
#include "params/parameter_block.h"
#include "render/work_block.h"

namespace lumenfall {

// Everything a row job reads; all tables are built before the first row.
struct SunRowContext {
    const ParameterBlock* block;
    const WorkBlock* work;
    const uint16_t* sphereTable;   // the row buffer's SphereTable
    int32_t sphereLastIndex;
    int32_t renderWidth;           // the filtered area (size functions use its short side)
    int32_t renderHeight;
    CompositeTarget* target;
    int16_t* hostResult;           // receives -108 when the host's buffers are missing; may be null
};

// Renders columns first, first + step, ... up to last of image row `row`.
// A step below 1 is taken as 1.
void renderSunRow(const SunRowContext& context, int32_t row, int32_t first, int32_t last,
                  int32_t step);

}  // namespace lumenfall

#endif
