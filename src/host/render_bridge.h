// The host side of the render pipeline: a render session whose callbacks
// reach the host through the filter record, and the memory the driver asks
// for through the host's buffer suite.
#ifndef LUMENFALL_HOST_RENDER_BRIDGE_H
#define LUMENFALL_HOST_RENDER_BRIDGE_H

#include "host/globals.h"
#include "render/buffer_allocator.h"
#include "render/render_session.h"

namespace lumenfall {

// Handle of the row buffer that belongs to the run buffers.
constexpr uint64_t kRunRowBufferHandle = 1;

// Everything a session points into; lives for one selector call.
struct RenderBridge {
    PluginGlobals* globals;
    ParameterBlock* block;
    BufferAllocator allocator;
    RenderSession session;
};

// Fills `bridge` for the current selector.
void openRenderBridge(RenderBridge& bridge, PluginGlobals& g, ParameterBlock& block);

// Frees a buffer the driver obtained (or the run's row buffer) by its handle.
void releaseDriverBuffer(PluginGlobals& g, uint64_t handle);

// Describes the band the host delivered to the compositor.
void describeHostBand(PluginGlobals& g);

}  // namespace lumenfall

#endif
