#include "render/tiled_target.h"

#include <algorithm>

#include "kernels/glue_modes.h"
#include "kernels/numeric_bounds.h"
#include "render/tiled_image.h"

namespace lumenfall {
namespace {

constexpr int32_t kChunk = 256;

// A 16-bit render into an 8-bit store narrows by 128: (v + 1) >> 7.
bool narrowsBy128(float storeScale, int32_t m) { return m == kFullScale16 && storeScale == 255.0f; }

// Store range to the blend range and back. Without a known store scale, or
// with the same scale, channels pass unchanged.
float storeToBlend(float storeScale, int32_t m) {
    if (narrowsBy128(storeScale, m)) return 128.0f;
    return storeScale > 0.0f ? static_cast<float>(m) / storeScale : 1.0f;
}

}  // namespace

TiledTarget::TiledTarget(TiledImage& image, const TiledFormat& format, int32_t areaWidth, int32_t areaHeight)
    : image_(image) {
    const bool hasTiles = image.tiles && image.tileCount > 0;
    shape_.width = hasTiles ? image.levelWidth[0] : 0;
    shape_.height = hasTiles ? image.levelHeight[0] : 0;
    if (format.depth != 0) {
        shape_.depth = format.depth;
        shape_.planes = format.planes;
        shape_.editableTransparency = format.editableTransparency;
    } else {
        const uint32_t type = image.storeType;
        shape_.depth = type == kStoreRgba16 ? 16 : (type == kStoreRgbaFloat ? 32 : 8);
        shape_.planes = 3;
        shape_.editableTransparency = false;
    }
    const int64_t w = std::max(areaWidth, 1), h = std::max(areaHeight, 1);
    shape_.enlargement = std::max(shape_.width / w, shape_.height / h);
}

TargetShape TiledTarget::shape() const { return shape_; }

bool TiledTarget::receive(const GlueSetup& glue, int32_t row, int32_t first, int32_t count,
                          const SunPixel* effect) {
    const PixelLayout& layout = glue.layout;
    const int32_t m = layout.fullScale;
    const float storeScale = image_.maxValue;
    // Reading widens exactly as writing narrows, so an untouched pixel
    // round-trips (an 8-bit store under a 16-bit render is widened by 128).
    const float widen = storeToBlend(storeScale, m);
    const bool narrow = narrowsBy128(storeScale, m);
    const float scale = 1.0f / widen;
    int32_t source[kChunk][3];
    int32_t result[kChunk][3];
    int32_t alpha[kChunk];
    for (int32_t done = 0; done < count; done += kChunk) {
        const int32_t n = std::min(count - done, kChunk);
        for (int32_t i = 0; i < n; ++i) {
            float rgba[4] = {0, 0, 0, 0};
            readPixel(image_, first + done + i, row, 0, rgba);
            for (int c = 0; c < 3; ++c) source[i][c] = clampInt32(saturateToInt32(rgba[c] * widen), 0, m);
            if (layout.grey) source[i][1] = source[i][2] = source[i][0];
        }
        blendSpan(glue, effect + done, source, n, result, alpha);
        for (int32_t i = 0; i < n; ++i) {
            const int32_t v[4] = {result[i][0], layout.grey ? result[i][0] : result[i][1],
                                  layout.grey ? result[i][0] : result[i][2], alpha[i]};
            float rgba[4];
            for (int c = 0; c < 4; ++c) {
                if (narrow) {
                    const int32_t value = (v[c] + 1) >> 7;
                    rgba[c] = static_cast<float>(value > 255 ? 255 : value);
                } else {
                    rgba[c] = static_cast<float>(v[c]) * scale;
                }
            }
            writePixel(image_, first + done + i, row, 0, rgba);
        }
    }
    return true;
}

}  // namespace lumenfall
