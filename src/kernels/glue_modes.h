// The per-channel formulas of the glue modes at 8 and 16 bits per channel.
// e is the effect channel, s the image channel, both already within 0..M.
// "composite", "color" and "luminance" work on whole pixels (see
// glue_compositor.cpp); for them, and for "normal" and any unknown mode,
// these functions return e unchanged.
#ifndef LUMENFALL_KERNELS_GLUE_MODES_H
#define LUMENFALL_KERNELS_GLUE_MODES_H

#include <cstdint>

#include "params/parameter_block.h"

namespace lumenfall {

constexpr int32_t kFullScale8 = 255;
constexpr int32_t kFullScale16 = 32768;

// The channel formulas are inline and always inlined: the compositor's span
// functions call them with the mode as a constant, and the switch folds
// away to the one formula.
#if defined(__GNUC__)
#define LF_ALWAYS_INLINE __attribute__((always_inline))
#else
#define LF_ALWAYS_INLINE
#endif

inline int32_t glueMin(int32_t a, int32_t b) { return a < b ? a : b; }
inline int32_t glueMax(int32_t a, int32_t b) { return a > b ? a : b; }

// triangle: the 256 procedural weights (0, 2, ... 254, 255, 253, ... 1).
LF_ALWAYS_INLINE inline int32_t blendChannel8(int32_t mode, int32_t e, int32_t s, const int32_t* triangle) {
    switch (mode) {
        case kGlueProceduralPlus: {
            int32_t t = triangle != nullptr ? triangle[s & 255] : (s < 128 ? 2 * s : 511 - 2 * s);
            return (t * e + (255 - t) * s) >> 8;
        }
        case kGlueProceduralMinus: return glueMin(e + ((e * s) >> 8), 255);
        case kGlueDifference: return ((255 - s) * e + (255 - e) * s) >> 8;
        case kGlueLighten: return glueMax(e, s);
        case kGlueDarken: return glueMin(e, s);
        case kGlueAdd: return glueMin(e + s, 255);
        case kGlueSubtract: return glueMax(e - s, 0);
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
            return glueMin(s + 2 * e - 255, 255);
        }
        case kGluePinLight: return e >= 128 ? glueMax(2 * e - 255, s) : glueMin(s, 2 * e);
        default: return e;
    }
}

LF_ALWAYS_INLINE inline int32_t blendChannel16(int32_t mode, int32_t e, int32_t s) {
    switch (mode) {
        case kGlueProceduralPlus: {
            int32_t k = s < 16384 ? s / 2 : 16384 - s / 2;
            return (k * e + (16384 - k) * s) >> 14;
        }
        case kGlueProceduralMinus: return glueMin(e + ((e * s) >> 15), 32768);
        case kGlueDifference:
        case kGlueExclusion: return ((32768 - s) * e + (32768 - e) * s) >> 15;
        case kGlueLighten: return glueMax(e, s);
        case kGlueDarken: return glueMin(e, s);
        case kGlueAdd: return glueMin(e + s, 32768);
        case kGlueSubtract: return glueMax(e - s, 0);
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
            return e < 16384 ? glueMax(v, 0) : glueMin(v, 32768);
        }
        case kGluePinLight: return e >= 16384 ? glueMax(2 * e - 32768, s) : glueMin(s, 2 * e);
        default: return e;
    }
}


// "composite" over a layer without editable transparency: the image shows
// through by rim weight w / 4 (0 inside the disc, 4 outside).
inline int32_t compositeOpaque(int32_t e, int32_t s, int32_t rimWeight, int32_t fullScale) {
    return glueMin(e + ((rimWeight * s) >> 2), fullScale);
}

// "composite" over a layer with editable transparency: bright light is made
// opaque in proportion to its brightness. Rewrites the channels and returns
// the output alpha.
int32_t compositeTransparent(int32_t channels[3], int32_t rimWeight, int32_t fullScale);

}  // namespace lumenfall

#endif
