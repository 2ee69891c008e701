// The plug-in's globals record. It lives in the host's data slot between
// selectors and runs, locked on entry to each selector and unlocked on exit,
// so no pointer into it survives between selectors.
#ifndef LUMENFALL_HOST_GLOBALS_H
#define LUMENFALL_HOST_GLOBALS_H

#include <cstdint>

#include "host/host_memory.h"
#include "host/pi_abi.h"
#include "params/parameter_block.h"
#include "kernels/composite_target.h"
#include "render/render_session.h"
#include "render/work_block.h"

namespace lumenfall {

constexpr int kSmallBufferCount = 7;
constexpr int kJobRecordBytes = 88;
constexpr int kMaxJobs = 1;
constexpr int kThumbnailSide = 128;

// The rows of the band last requested, relative to the filter top.
struct BandRows {
    int32_t maskFirstRow, maskLastRow;
    int32_t inputFirstRow, inputLastRow;
};

// Sizes derived at prepare from the filter rectangle.
struct BufferSizes {
    int32_t rowLength;         // W + 3
    int32_t rowLengthDouble;   // 2 (W + 3)
    int32_t passCount;         // H + 3
    int32_t workingRow;        // S
    int32_t span;              // W + 2178
    int32_t bufferSpace;       // 2 S + 1112
};

// Buffers that live from start to the end of continue.
struct RunBuffers {
    HostBuffer rowBuffer;                   // 2 S bytes
    HostBuffer small[kSmallBufferCount];    // the 32-byte one first
    HostBuffer jobRecords;                  // 88 bytes per job record
    HostBuffer workBlock;                   // the render work block
    bool allocated;
};

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
    BandRows bandRows;
    BufferSizes sizes;
    RunBuffers buffers;
    RowBuffer rowBuffer;           // the SphereTable's buffer (the run's row buffer, or a larger one)
    CompositeTarget target;        // the band the compositor reads and writes
    int32_t filterWidth;           // recorded at start
    int32_t filterHeight;

    // Per-run state of the dialog.
    uint8_t dialogOpen;
    uint8_t dialogFlags[2];
    int16_t dialogEndCode;
    uint8_t timerActive;

    // The 128 x 128, 3-channel thumbnail and the size of a loaded one.
    uint8_t thumbnail[kThumbnailSide * kThumbnailSide * 3];
    uint8_t thumbnailReady;
    int32_t loadedThumbnailSize;

    // Arcsine tables: cos(asin(i/256)), asin(i/256) and the same at 1/512 steps.
    float arcsine256[257][2];
    double arcsine512[513][2];

    int32_t jobCount;              // entries in the job list
};

inline WorkBlock* workBlock(PluginGlobals& g) {
    return reinterpret_cast<WorkBlock*>(g.buffers.workBlock.data);
}

}  // namespace lumenfall

#endif
