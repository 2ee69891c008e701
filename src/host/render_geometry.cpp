#include "host/render_geometry.h"

namespace lumenfall {

RenderRect renderRectOf(const pi::Rect& rect) { return RenderRect{rect.top, rect.left, rect.bottom, rect.right}; }

void setRenderGeometry(PluginGlobals& g, ParameterBlock& block, const RenderRect& rect, int32_t scale) {
    RenderGeometry& geometry = g.geometry;
    geometry.renderRect = rect;
    geometry.renderWidth = int32_t(rect.right) - int32_t(rect.left);
    geometry.renderHeight = int32_t(rect.bottom) - int32_t(rect.top);
    block.renderScale = scale;
}

}  // namespace lumenfall
