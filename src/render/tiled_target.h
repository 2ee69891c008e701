// A tiled image as a render target: the dialog's working image and the
// exports' copies of the picture. Level 0 is blended in place; the owner
// rebuilds the pyramid afterwards.
#ifndef LUMENFALL_RENDER_TILED_TARGET_H
#define LUMENFALL_RENDER_TILED_TARGET_H

#include "render/row_target.h"

namespace lumenfall {

struct TiledImage;

// How the pixels of the image are to be blended: the host's description of
// its image (depth, planes, transparency), or none for an image of our own,
// taken as RGB at the store's depth.
struct TiledFormat {
    int32_t depth;               // 0 = not described
    int32_t planes;
    bool editableTransparency;
};

class TiledTarget : public RowTarget {
public:
    // `areaWidth` x `areaHeight` is the rendered area; an image larger by
    // a whole factor holds it enlarged.
    TiledTarget(TiledImage& image, const TiledFormat& format, int32_t areaWidth, int32_t areaHeight);

    TargetShape shape() const override;
    bool receive(const GlueSetup& glue, int32_t row, int32_t first, int32_t count,
                 const SunPixel* effect) override;

private:
    TiledImage& image_;
    TargetShape shape_;
};

}  // namespace lumenfall

#endif
