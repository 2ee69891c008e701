// Where a render's rows go: the host's band, the dialog's preview, a tiled
// image. A target receives finished spans of effect pixels and blends them
// onto its own pixels; renderRows (render/render_rows.h) drives it.
#ifndef LUMENFALL_RENDER_ROW_TARGET_H
#define LUMENFALL_RENDER_ROW_TARGET_H

#include <cstdint>

#include "kernels/glue_compositor.h"
#include "kernels/sun_elements.h"

namespace lumenfall {

// The target's pixel grid and format, fixed for a render.
struct TargetShape {
    int32_t width;               // columns 0..width-1 are rendered
    int32_t height;              // rows outside 0..height-1 are not
    int32_t depth;               // 8, 16, or 32 (float): the effect's full scale follows it
    int32_t planes;              // colour planes plus transparency
    bool editableTransparency;
    // The target holds the rendered area enlarged by this whole factor (1
    // when it holds it at its own size): the sun centre moves with it.
    int64_t enlargement;
};

class RowTarget {
public:
    virtual ~RowTarget() = default;
    virtual TargetShape shape() const = 0;
    // Blends the effect of pixels first .. first + count - 1 of `row` onto
    // the target. False when the target has nowhere to put them (a band
    // whose buffers the host did not deliver).
    virtual bool receive(const GlueSetup& glue, int32_t row, int32_t first, int32_t count,
                         const SunPixel* effect) = 0;
};

}  // namespace lumenfall

#endif
