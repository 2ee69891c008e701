// What the render pipeline needs from the plug-in instance, as one plain
// record. The host side fills it from its globals record on every selector
// (pointers into host handles never outlive a selector) and passes it to the
// render entries of render_driver.h. The render code includes no host header:
// every host service it uses is a callback below, and any callback may be
// null, which means the host does not offer it.
#ifndef LUMENFALL_RENDER_RENDER_SESSION_H
#define LUMENFALL_RENDER_RENDER_SESSION_H

#include <cstddef>
#include <cstdint>

#include "kernels/composite_target.h"
#include "params/parameter_block.h"
#include "render/buffer_allocator.h"
#include "render/work_block.h"

namespace lumenfall {

struct TiledImage;

// Rectangle edges in the host's order; bottom and right are exclusive.
struct RenderRect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};

// Render geometry and row counters; lives in the globals record.
struct RenderGeometry {
    RenderRect renderRect;      // copy of the filter rectangle (or the tiled image's)
    int32_t renderWidth;        // right - left
    int32_t renderHeight;       // bottom - top
    int32_t firstColumn;        // 0
    int32_t lastColumn;         // width - 1
    int32_t firstRow;           // 0
    int32_t lastRow;            // height - 1
    uint32_t currentRow;        // row the next step renders
    uint32_t rowToRender;       // row handed to the row renderer in this step
    uint32_t progressDone;
    uint32_t progressTotal;
    uint8_t rendering;          // 1 while rows remain
    uint8_t maskWanted;         // the row request then asks for the selection mask
    int32_t sphereLastIndex;    // last index of the SphereTable in the row buffer
    uint32_t rowBufferEntries;  // entries the driver wants in the row buffer
};

// The growable row buffer of 16-bit values that holds the SphereTable; lives
// in the globals record. The host may allocate it first (its run buffer);
// the driver grows it through the session's allocator when it is too small.
struct RowBuffer {
    uint16_t* data;
    size_t capacityBytes;
    uint64_t handle;            // allocator handle; 0 = plain allocation
};

// The host's three band rectangles and its filter rectangle.
struct HostRects {
    RenderRect inRect;
    RenderRect outRect;
    RenderRect maskRect;
    RenderRect filterRect;
};

// Host services. `context` is passed back to every callback.
struct RenderHostCallbacks {
    void* context;

    // Band protocol: set inRect/outRect/maskRect for row `row` (relative to
    // the filter top, clamped by the host) as the row request does.
    void (*requestRow)(void* context, int32_t row);
    // The host's advanceState; null when the host does not offer it. After a
    // zero result the host has refreshed the session's target band.
    int16_t (*advanceState)(void* context);
    // The host's progressProc, called unthrottled: the driver throttles.
    void (*progress)(void* context, int32_t done, int32_t total);
    // The host's abortProc: true when the user asked to stop.
    bool (*abort)(void* context);
    // Widths of the host's current input and output rectangles.
    int32_t (*inputRectWidth)(void* context);
    int32_t (*outputRectWidth)(void* context);
    // True when the host's input buffer (inData) is present.
    bool (*inputBufferPresent)(void* context);
    // The host offers displayPixels.
    bool hasDisplayPixels;
    // The host signature, e.g. '8BIM' (four characters, first in the top byte).
    uint32_t hostSignature;
    // Redraw the rendered rows up to `row` into the dialog's preview box.
    void (*refreshPreview)(void* context, int32_t row);
    // Read and write the host's band rectangles and filter rectangle.
    void (*getHostRects)(void* context, HostRects* rects);
    void (*setHostRects)(void* context, const HostRects* rects);
    // Request the whole filter rectangle as the input band.
    void (*requestWholeFilter)(void* context);

    // Dialog hooks (the dialog may leave them null).
    void (*applyPreviewScale)(void* context);
    void (*dialogProgress)(void* context, int32_t done, int32_t total);
    bool (*dialogCancelPending)(void* context);
    void (*dialogCancelNotice)(void* context);
};

struct RenderSession {
    ParameterBlock* block;
    WorkBlock* work;
    RenderGeometry* geometry;
    RowBuffer* rowBuffer;
    const BufferAllocator* buffers;   // host buffer suite; null = plain allocation
    int16_t* result;                  // the selector's result code
    CompositeTarget* target;          // where the compositor writes
    TiledImage* workingImage;         // the dialog's working image (render target 2)
    RenderHostCallbacks host;
};

// Saved around the dialog's own renders.
struct RenderStateSnapshot {
    RenderRect inRect;
    RenderRect outRect;
    RenderRect maskRect;
    int32_t renderScale;
    uint32_t currentRow;
    int16_t filterTop;
    bool full;                        // the fields below were saved too
    int32_t viewOriginX;
    int32_t viewOriginY;
    uint32_t renderTarget;
};

}  // namespace lumenfall

#endif
