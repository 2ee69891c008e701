#include "kernels/glue_modes.h"

#include <algorithm>

#include "kernels/numeric_bounds.h"

namespace lumenfall {

int32_t compositeTransparent(int32_t channels[3], int32_t rimWeight, int32_t fullScale) {
    float m = static_cast<float>(fullScale);
    float f[3];
    for (int c = 0; c < 3; ++c) f[c] = static_cast<float>(channels[c]) / m;
    float y = static_cast<float>(0.3 * f[0] + 0.59 * f[1] + 0.11 * f[2]);
    float l = 2.0f * y;
    if (l < 0.0f) l = 0.0f;
    if (l > 1.0f) l = 1.0f;
    float k = static_cast<float>(1.0 - 0.25 * rimWeight);
    float opacity = (1.0f - l) * k + l;
    if (opacity != 0.0f) {
        for (int c = 0; c < 3; ++c) f[c] /= opacity;
    }
    for (int c = 0; c < 3; ++c) channels[c] = std::min(saturateToInt32(f[c] * m), fullScale);
    return saturateToInt32((opacity > k ? opacity : k) * m);
}

}  // namespace lumenfall
