// The image traffic with the host: the buffer budget, the run buffers, the
// one-row bands, progress and abort throttling, and preview requests.
#ifndef LUMENFALL_HOST_IMAGE_PIPELINE_H
#define LUMENFALL_HOST_IMAGE_PIPELINE_H

#include <cstdint>

#include "host/globals.h"

namespace lumenfall {

// Derives W, H and the buffer sizes from the filter rectangle and writes the
// budget 2 S + 1112 into bufferSpace.
void prepareGeometry(PluginGlobals& g, ParameterBlock& block);
BufferSizes bufferSizesFor(int32_t width, int32_t height);

// Allocates the run buffers in order; on failure everything obtained is
// released and false is returned.
bool allocateRunBuffers(PluginGlobals& g);
void freeRunBuffers(PluginGlobals& g);

// Sets inRect, outRect and maskRect to the empty rectangle.
void emptyRectangles(pi::FilterRecord* record);

// Frees the run buffers, empties the rectangles and stops the band loop:
// what every early end of a run does.
void endRun(PluginGlobals& g);

// Asks the host for the band of row r (clamped to 0..H-1).
void requestRow(PluginGlobals& g, const ParameterBlock& block, int32_t r);

// Host-side preview request with scale divisor k.
void requestPreview(PluginGlobals& g, ParameterBlock& block, int32_t k, int32_t previewWidth,
                    int32_t previewHeight);

// Throttled host callbacks.
void reportProgress(PluginGlobals& g, const ParameterBlock& block, uint32_t done, uint32_t total);
bool pollCancel(PluginGlobals& g, const ParameterBlock& block);

// Start of the final render (start selector) and the continue loop.
void beginFinalRender(PluginGlobals& g, ParameterBlock& block);
void continueBandLoop(PluginGlobals& g, ParameterBlock& block);

}  // namespace lumenfall

#endif
