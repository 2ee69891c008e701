// The plug-in's globals record. It lives in the host's data slot between
// selectors and runs, locked on entry to each selector and unlocked on exit,
// so no pointer into it survives between selectors except the run's own
// allocations (run buffers, the row buffer, the render plan), which live
// from start to the end of the run.
#ifndef LUMENFALL_HOST_GLOBALS_H
#define LUMENFALL_HOST_GLOBALS_H

#include <cstddef>
#include <cstdint>

#include "host/host_memory.h"
#include "host/pi_abi.h"
#include "kernels/host_band.h"
#include "export/thumbnail.h"
#include "params/parameter_block.h"
#include "render/work_block.h"

namespace lumenfall {

struct RenderPlan;

constexpr int kSmallBufferCount = 7;

// Rectangle edges in the host's order; bottom and right are exclusive.
struct RenderRect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};

// The render's geometry and the band loop's row counters. The rectangle
// and the render size are set together (setRenderGeometry): the size is
// always the rectangle's, a preview's reduced grid included (that grid is
// the rectangle at the block's renderScale).
struct RenderGeometry {
    RenderRect renderRect;      // the area rendered: the filter rectangle, or an export's picture
    int32_t renderWidth;        // right - left
    int32_t renderHeight;       // bottom - top
    uint32_t currentRow;        // row the next step renders
    uint32_t progressDone;
    uint32_t progressTotal;
    uint8_t rendering;          // 1 while rows remain
    uint8_t maskWanted;         // the row request then asks for the selection mask
    // Throttles of the host's progress and abort callbacks, which can be slow.
    int32_t progressCounter;
    int32_t progressLastDone;
    int32_t abortCounter;
};

// Sizes derived at prepare from the filter rectangle.
struct BufferSizes {
    int32_t workingRow;        // S = max(2 (max(W, H) + 4), 3 W + 2184)
    int32_t bufferSpace;       // 2 S + 1112, the budget the host is told
};

// The growable buffer of 16-bit values that holds the plan's SphereTable.
// It starts as the run's row buffer; a render wider than that gets a host
// buffer of its own (`grown`), freed with the run buffers.
struct RowBuffer {
    uint16_t* data;
    size_t capacityBytes;
    HostBuffer* grown;          // null while the run's row buffer serves
};

// Buffers that live from start to the end of continue.
struct RunBuffers {
    HostBuffer rowBuffer;                   // 2 S bytes
    HostBuffer small[kSmallBufferCount];    // the 32-byte one first
    HostBuffer workBlock;                   // the work block
    HostBuffer surfaceMemo;                 // the render's surface-noise memo, when it could be had
    bool allocated;
};

// The most the surface-noise memo may take: a 4096 x 4096 square.
constexpr int32_t kSurfaceMemoHalfCap = 2048;

struct PluginGlobals {
    int16_t* result;
    pi::FilterRecord* record;
    uint8_t fresh;                 // globals created by the current parameters selector

    // The parameter handle this plug-in created and the size it asked for.
    // Some hosts' handle suites cannot tell the size of their own handles
    // (they answer 0), so a handle we made is trusted without asking.
    pi::Handle ownParameters;
    int32_t ownParametersSize;
    // From start to finish: the block holds the settings and derived tables
    // of the render in flight and must not be replaced.
    uint8_t runInFlight;
    int32_t rowsRendered;          // rows of the final render written so far

    RenderGeometry geometry;       // render geometry and row counters
    BufferSizes sizes;
    RunBuffers buffers;
    RowBuffer rowBuffer;
    RenderPlan* plan;              // the final render's plan, from start to the end of the run
    HostBand band;                 // the band the host delivered last
    int32_t filterWidth;           // recorded at start, for the dialog's pictures
    int32_t filterHeight;

    // Per-run state of the dialog, reset at prepare and start; the dialog
    // reads it once it is built.
    uint8_t dialogOpen;
    uint8_t dialogFlags[2];
    int16_t dialogEndCode;
    uint8_t timerActive;

    // The 128 x 128, 3-channel thumbnail and the size of a loaded one (the
    // latter for the dialog's memory dots).
    uint8_t thumbnail[kThumbnailSide * kThumbnailSide * 3];
    uint8_t thumbnailReady;
    int32_t loadedThumbnailSize;
};

inline WorkBlock* workBlock(PluginGlobals& g) {
    return reinterpret_cast<WorkBlock*>(g.buffers.workBlock.data);
}

}  // namespace lumenfall

#endif
