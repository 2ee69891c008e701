// The render driver: builds every table from the parameter block and drives
// the rows of a render one step at a time.
//
// The host side fills a RenderSession and then, for the final render:
//   beginFinalRender(session);                 // start selector
//   while (geometry.rendering && *result == 0) // continue selector, per band
//       { ...; renderRowStep(session); ... }
// The dialog calls renderPreviewThroughHost and the exports renderIntoTiledImage.
#ifndef LUMENFALL_RENDER_RENDER_DRIVER_H
#define LUMENFALL_RENDER_RENDER_DRIVER_H

#include <cstdint>

#include "render/render_session.h"

namespace lumenfall {

// The final render into the host image; returns the result code it stored
// (the host's advanceState result after the first row request, or the
// driver's own result).
int16_t beginFinalRender(RenderSession& session);

// The dialog's preview through the host's buffers.
void renderPreviewThroughHost(RenderSession& session);

// Renders over `image` (a copy of the picture) for the exports; `cancelled`
// is set when the user stops it.
void renderIntoTiledImage(RenderSession& session, TiledImage* image, bool* cancelled);

// renderScale and the render geometry from a rectangle.
void setRenderGeometry(RenderSession& session, const RenderRect& rect, int32_t scale);

// Builds every table and sets up the row loop; returns height + 1.
int32_t runRenderDriver(RenderSession& session);

// One step of the row loop: progress, one row, advance, cancel poll.
void renderRowStep(RenderSession& session);

// Throttled progress and cancel tests of the row loop.
void reportProgress(RenderSession& session, uint32_t done, uint32_t total);
bool pollCancel(RenderSession& session);

void saveRenderState(RenderStateSnapshot& snapshot, const RenderSession& session, bool full);
void restoreRenderState(const RenderStateSnapshot& snapshot, RenderSession& session);

// Frees the row buffer through the road it came (the host calls it with the
// other run buffers).
void freeRowBuffer(RenderSession& session);

}  // namespace lumenfall

#endif
