// The render geometry: the rectangle a render covers and what is derived
// from it. It is set in one call, so the rectangle, the render size and
// the block's renderScale never disagree.
#ifndef LUMENFALL_HOST_RENDER_GEOMETRY_H
#define LUMENFALL_HOST_RENDER_GEOMETRY_H

#include <cstdint>

#include "host/globals.h"

namespace lumenfall {

// The host's rectangle in the geometry's own record.
RenderRect renderRectOf(const pi::Rect& rect);

// Stores `rect` as the render rectangle, its width and height as the render
// size, and `scale` (image pixels per rendered pixel) as the block's
// renderScale. A preview's reduced grid is the same rectangle at a larger
// scale: the render size stays the rectangle's.
void setRenderGeometry(PluginGlobals& g, ParameterBlock& block, const RenderRect& rect, int32_t scale);

}  // namespace lumenfall

#endif
