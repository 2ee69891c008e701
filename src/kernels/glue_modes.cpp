#include "kernels/glue_modes.h"

#include "kernels/numeric_bounds.h"
#include "params/parameter_block.h"

namespace lumenfall {

namespace {

int32_t minI(int32_t a, int32_t b) { return a < b ? a : b; }
int32_t maxI(int32_t a, int32_t b) { return a > b ? a : b; }

}  // namespace

int32_t blendChannel8(int32_t mode, int32_t e, int32_t s, const int32_t* triangle) {
    switch (mode) {
        case kGlueProceduralPlus: {
            int32_t t = triangle != nullptr ? triangle[s & 255] : (s < 128 ? 2 * s : 511 - 2 * s);
            return (t * e + (255 - t) * s) >> 8;
        }
        case kGlueProceduralMinus: return minI(e + ((e * s) >> 8), 255);
        case kGlueDifference: return ((255 - s) * e + (255 - e) * s) >> 8;
        case kGlueLighten: return maxI(e, s);
        case kGlueDarken: return minI(e, s);
        case kGlueAdd: return minI(e + s, 255);
        case kGlueSubtract: return maxI(e - s, 0);
        case kGlueMultiply: return (e * s) >> 8;
        // Divided by 255, not shifted by 8, so that no effect (e = 0) gives
        // the source exactly: an image the sun does not reach keeps its pixels.
        case kGlueScreen: return e + ((255 - e) * s) / 255;
        case kGlueHardLight:
            return e >= 128 ? 255 - (((255 - e) * (255 - s)) >> 7) : (e * s) >> 7;
        case kGlueOverlay:
            return s >= 128 ? 255 - (((255 - e) * (255 - s)) >> 7) : (e * s) >> 7;
        case kGlueSuperlay: {
            int32_t a = 255 - ((e * s) >> 8);
            int32_t p = (a * a) >> 8;
            int32_t q = 255 - p;
            int32_t b = 255 - (((255 - e) * s) >> 8) - e;
            int32_t r = (b * b) >> 8;
            return q >= 128 ? 255 - ((r * p) >> 7) : ((255 - r) * q) >> 7;
        }
        case kGlueExclusion: return ((255 - s) * e + (256 - e) * s) >> 8;
        case kGlueLinearLight: {
            if (e < 128) {
                int32_t v = s + 2 * e - 256;
                return v >= 1 ? v : 0;
            }
            return minI(s + 2 * e - 255, 255);
        }
        case kGluePinLight: return e >= 128 ? maxI(2 * e - 255, s) : minI(s, 2 * e);
        default: return e;
    }
}

int32_t blendChannel16(int32_t mode, int32_t e, int32_t s) {
    switch (mode) {
        case kGlueProceduralPlus: {
            int32_t k = s < 16384 ? s / 2 : 16384 - s / 2;
            return (k * e + (16384 - k) * s) >> 14;
        }
        case kGlueProceduralMinus: return minI(e + ((e * s) >> 15), 32768);
        case kGlueDifference:
        case kGlueExclusion: return ((32768 - s) * e + (32768 - e) * s) >> 15;
        case kGlueLighten: return maxI(e, s);
        case kGlueDarken: return minI(e, s);
        case kGlueAdd: return minI(e + s, 32768);
        case kGlueSubtract: return maxI(e - s, 0);
        case kGlueMultiply: return (e * s) >> 15;
        // 32768 is 2^15, so e = 0 gives the source exactly here already.
        case kGlueScreen: return e + (((32768 - e) * s) >> 15);
        case kGlueHardLight:
            return e >= 16384 ? 32768 - (((32768 - e) * (32768 - s)) >> 14) : (e * s) >> 14;
        case kGlueOverlay:
            return s >= 16384 ? 32768 - (((32768 - e) * (32768 - s)) >> 14) : (e * s) >> 14;
        case kGlueSuperlay: {
            int32_t a = 32768 - ((e * s) >> 15);
            int32_t p = (a * a) >> 15;
            int32_t q = 32768 - p;
            int32_t b = 32768 - (((32768 - e) * s) >> 15) - e;
            int32_t r = (b * b) >> 15;
            return q >= 16384 ? 32768 - ((r * p) >> 14) : ((32768 - r) * q) >> 14;
        }
        case kGlueLinearLight: {
            int32_t v = s + 2 * e - 32768;
            return e < 16384 ? maxI(v, 0) : minI(v, 32768);
        }
        case kGluePinLight: return e >= 16384 ? maxI(2 * e - 32768, s) : minI(s, 2 * e);
        default: return e;
    }
}

int32_t compositeOpaque(int32_t e, int32_t s, int32_t rimWeight, int32_t fullScale) {
    return minI(e + ((rimWeight * s) >> 2), fullScale);
}

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
    for (int c = 0; c < 3; ++c) channels[c] = minI(saturateToInt32(f[c] * m), fullScale);
    return saturateToInt32((opacity > k ? opacity : k) * m);
}

}  // namespace lumenfall
