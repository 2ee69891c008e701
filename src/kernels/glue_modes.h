// The per-channel formulas of the glue modes at 8 and 16 bits per channel:
// one small function per mode and depth, gathered in a table per depth that
// is indexed by glue mode. e is the effect channel, s the image channel,
// both already within 0..M. Each function's comment gives the mode's formula
// on fractions of M (written with the same letters) and how its integer
// form follows. "composite", "color" and "luminance" work on whole pixels
// (see glue_compositor.cpp); their entries, "normal"'s and that of any
// unknown mode return e unchanged.
#ifndef LUMENFALL_KERNELS_GLUE_MODES_H
#define LUMENFALL_KERNELS_GLUE_MODES_H

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "params/parameter_block.h"

namespace lumenfall {

constexpr int32_t kFullScale8 = 255;
constexpr int32_t kFullScale16 = 32768;

// The channel formulas are inline and always inlined: the compositor's span
// functions take one as a template argument, so each span runs one formula
// with no call per channel.
#if defined(__GNUC__)
#define LF_ALWAYS_INLINE __attribute__((always_inline))
#else
#define LF_ALWAYS_INLINE
#endif

// One glue mode's formula for one channel. weights is the 8-bit
// "procedural +" triangle (256 entries, 0, 2, ... 254, 255, 253, ... 1) or
// null; the other formulas do not read it.
using ChannelBlend = int32_t (*)(int32_t e, int32_t s, const int32_t* weights);

// Modes without a channel formula of their own, at either depth.
LF_ALWAYS_INLINE inline int32_t keepEffect(int32_t e, int32_t, const int32_t*) { return e; }

// M = 255. A product of two fractions divided by 255 is shifted by 8 (a
// division by 256, at most one step darker) and "2 x" of it by 7, unless a
// comment says otherwise.
namespace glue8 {

// s + t (e - s), t = T[s] / 256 the triangle (most effect at mid-grey): (T e + (255 - T) s) >> 8,
// the weights summing to 255, so s = 255 under no effect gives 253.
LF_ALWAYS_INLINE inline int32_t proceduralPlus(int32_t e, int32_t s, const int32_t* weights) {
    const int32_t t = weights != nullptr ? weights[s & 255] : (s < 128 ? 2 * s : 511 - 2 * s);
    return (t * e + (255 - t) * s) >> 8;
}
// e (1 + s): e + (e s >> 8), capped at 255.
LF_ALWAYS_INLINE inline int32_t proceduralMinus(int32_t e, int32_t s, const int32_t*) {
    return std::min(e + ((e * s) >> 8), 255);
}
// e (1 - s) + s (1 - e): ((255 - s) e + (255 - e) s) >> 8 (e = 0, s = 255 gives 254).
LF_ALWAYS_INLINE inline int32_t difference(int32_t e, int32_t s, const int32_t*) {
    return ((255 - s) * e + (255 - e) * s) >> 8;
}
LF_ALWAYS_INLINE inline int32_t lighten(int32_t e, int32_t s, const int32_t*) { return std::max(e, s); }
LF_ALWAYS_INLINE inline int32_t darken(int32_t e, int32_t s, const int32_t*) { return std::min(e, s); }
// e + s, capped at 255.
LF_ALWAYS_INLINE inline int32_t add(int32_t e, int32_t s, const int32_t*) { return std::min(e + s, 255); }
// e - s, floored at 0.
LF_ALWAYS_INLINE inline int32_t subtract(int32_t e, int32_t s, const int32_t*) { return std::max(e - s, 0); }
// e s: (e s) >> 8.
LF_ALWAYS_INLINE inline int32_t multiply(int32_t e, int32_t s, const int32_t*) { return (e * s) >> 8; }
// 1 - (1 - e)(1 - s) = e + (1 - e) s: e + (255 - e) s / 255, divided rather than shifted so that
// e = 0 gives s exactly (an image the sun does not reach keeps its pixels).
LF_ALWAYS_INLINE inline int32_t screen(int32_t e, int32_t s, const int32_t*) {
    return e + ((255 - e) * s) / 255;
}
// e >= 1/2: 1 - 2 (1 - e)(1 - s), else 2 e s: 255 - (((255 - e)(255 - s)) >> 7) or (e s) >> 7.
LF_ALWAYS_INLINE inline int32_t hardLight(int32_t e, int32_t s, const int32_t*) {
    return e >= 128 ? 255 - (((255 - e) * (255 - s)) >> 7) : (e * s) >> 7;
}
// Hard light chosen by the image: s >= 1/2: 1 - 2 (1 - e)(1 - s), else 2 e s.
LF_ALWAYS_INLINE inline int32_t overlay(int32_t e, int32_t s, const int32_t*) {
    return s >= 128 ? 255 - (((255 - e) * (255 - s)) >> 7) : (e * s) >> 7;
}
// Overlay of 1 - r onto q, q = 1 - (1 - e s)^2 and r = ((1 - e)(1 - s))^2, (1 - e)(1 - s) taken as
// 255 - ((255 - e) s >> 8) - e, every square and product shifted by 8 and each "2 x" by 7.
LF_ALWAYS_INLINE inline int32_t superlay(int32_t e, int32_t s, const int32_t*) {
    const int32_t a = 255 - ((e * s) >> 8);
    const int32_t p = (a * a) >> 8;
    const int32_t q = 255 - p;
    const int32_t b = 255 - (((255 - e) * s) >> 8) - e;
    const int32_t r = (b * b) >> 8;
    return q >= 128 ? 255 - ((r * p) >> 7) : ((255 - r) * q) >> 7;
}
// e + s - 2 e s, as "difference" but with the image weighted 256 - e, not 255 - e: e = 0 gives
// (256 s) >> 8 = s exactly. Deliberate, not a slip: pictures made with this mode depend on it.
LF_ALWAYS_INLINE inline int32_t exclusion(int32_t e, int32_t s, const int32_t*) {
    return ((255 - s) * e + (256 - e) * s) >> 8;
}
// s + 2 e - 1 within 0..1, the 1 taken as 256 below mid-grey and as 255 above it
// (e = 127 darkens by 2, e = 128 lightens by 1).
LF_ALWAYS_INLINE inline int32_t linearLight(int32_t e, int32_t s, const int32_t*) {
    if (e < 128) {
        const int32_t v = s + 2 * e - 256;
        return v >= 1 ? v : 0;
    }
    return std::min(s + 2 * e - 255, 255);
}
// e >= 1/2: max(2 e - 1, s), else min(s, 2 e): 2 e - 1 as 2 e - 255.
LF_ALWAYS_INLINE inline int32_t pinLight(int32_t e, int32_t s, const int32_t*) {
    return e >= 128 ? std::max(2 * e - 255, s) : std::min(s, 2 * e);
}

}  // namespace glue8

// M = 32768 = 2^15: a product of two fractions is exactly (x y) >> 15 and
// "2 x" of it (x y) >> 14; 1/2 is 16384.
namespace glue16 {

// s + t (e - s), t = min(s, 1 - s) (half weight at most, at mid-grey): k = t 16384 from integer
// halves of s, (k e + (16384 - k) s) >> 14.
LF_ALWAYS_INLINE inline int32_t proceduralPlus(int32_t e, int32_t s, const int32_t*) {
    const int32_t k = s < 16384 ? s / 2 : 16384 - s / 2;
    return (k * e + (16384 - k) * s) >> 14;
}
// e (1 + s): e + (e s >> 15), capped at 32768.
LF_ALWAYS_INLINE inline int32_t proceduralMinus(int32_t e, int32_t s, const int32_t*) {
    return std::min(e + ((e * s) >> 15), 32768);
}
// e (1 - s) + s (1 - e): ((32768 - s) e + (32768 - e) s) >> 15; "exclusion" is this formula too.
LF_ALWAYS_INLINE inline int32_t difference(int32_t e, int32_t s, const int32_t*) {
    return ((32768 - s) * e + (32768 - e) * s) >> 15;
}
LF_ALWAYS_INLINE inline int32_t lighten(int32_t e, int32_t s, const int32_t*) { return std::max(e, s); }
LF_ALWAYS_INLINE inline int32_t darken(int32_t e, int32_t s, const int32_t*) { return std::min(e, s); }
// e + s, capped at 32768.
LF_ALWAYS_INLINE inline int32_t add(int32_t e, int32_t s, const int32_t*) { return std::min(e + s, 32768); }
// e - s, floored at 0.
LF_ALWAYS_INLINE inline int32_t subtract(int32_t e, int32_t s, const int32_t*) { return std::max(e - s, 0); }
// e s: (e s) >> 15.
LF_ALWAYS_INLINE inline int32_t multiply(int32_t e, int32_t s, const int32_t*) { return (e * s) >> 15; }
// e + (1 - e) s: e + (((32768 - e) s) >> 15), so e = 0 gives s exactly.
LF_ALWAYS_INLINE inline int32_t screen(int32_t e, int32_t s, const int32_t*) {
    return e + (((32768 - e) * s) >> 15);
}
// e >= 1/2: 1 - 2 (1 - e)(1 - s), else 2 e s.
LF_ALWAYS_INLINE inline int32_t hardLight(int32_t e, int32_t s, const int32_t*) {
    return e >= 16384 ? 32768 - (((32768 - e) * (32768 - s)) >> 14) : (e * s) >> 14;
}
// Hard light chosen by the image: s >= 1/2: 1 - 2 (1 - e)(1 - s), else 2 e s.
LF_ALWAYS_INLINE inline int32_t overlay(int32_t e, int32_t s, const int32_t*) {
    return s >= 16384 ? 32768 - (((32768 - e) * (32768 - s)) >> 14) : (e * s) >> 14;
}
// Overlay of 1 - r onto q, q = 1 - (1 - e s)^2 and r = ((1 - e)(1 - s))^2, taken as at 8 bits.
LF_ALWAYS_INLINE inline int32_t superlay(int32_t e, int32_t s, const int32_t*) {
    const int32_t a = 32768 - ((e * s) >> 15);
    const int32_t p = (a * a) >> 15;
    const int32_t q = 32768 - p;
    const int32_t b = 32768 - (((32768 - e) * s) >> 15) - e;
    const int32_t r = (b * b) >> 15;
    return q >= 16384 ? 32768 - ((r * p) >> 14) : ((32768 - r) * q) >> 14;
}
// s + 2 e - 1 within 0..1: s + 2 e - 32768, floored at 0 below mid-grey and capped above.
LF_ALWAYS_INLINE inline int32_t linearLight(int32_t e, int32_t s, const int32_t*) {
    const int32_t v = s + 2 * e - 32768;
    return e < 16384 ? std::max(v, 0) : std::min(v, 32768);
}
// e >= 1/2: max(2 e - 1, s), else min(s, 2 e).
LF_ALWAYS_INLINE inline int32_t pinLight(int32_t e, int32_t s, const int32_t*) {
    return e >= 16384 ? std::max(2 * e - 32768, s) : std::min(s, 2 * e);
}

}  // namespace glue16

// The tables' index of a glue mode: the mode itself, and 0 for any value
// outside 1..19, which blends as "normal".
constexpr size_t glueTableIndex(int32_t mode) {
    return mode >= 1 && mode <= kGlueModeCount ? static_cast<size_t>(mode) : 0;
}

using ChannelBlendTable = ChannelBlend[kGlueModeCount + 1];

constexpr ChannelBlendTable kChannelBlends8 = {
    keepEffect,              // outside 1..19
    keepEffect,              // normal
    glue8::proceduralPlus,   // procedural +
    glue8::proceduralMinus,  // procedural -
    glue8::difference,       // difference
    glue8::lighten,          // lighten
    glue8::darken,           // darken
    glue8::add,              // add
    glue8::subtract,         // subtract
    glue8::multiply,         // multiply
    glue8::screen,           // screen
    keepEffect,              // composite: whole pixels
    glue8::hardLight,        // hard light
    glue8::overlay,          // overlay
    glue8::superlay,         // superlay
    glue8::exclusion,        // exclusion
    keepEffect,              // color: whole pixels
    keepEffect,              // luminance: whole pixels
    glue8::linearLight,      // linear light
    glue8::pinLight,         // pin light
};

constexpr ChannelBlendTable kChannelBlends16 = {
    keepEffect,               // outside 1..19
    keepEffect,               // normal
    glue16::proceduralPlus,   // procedural +
    glue16::proceduralMinus,  // procedural -
    glue16::difference,       // difference
    glue16::lighten,          // lighten
    glue16::darken,           // darken
    glue16::add,              // add
    glue16::subtract,         // subtract
    glue16::multiply,         // multiply
    glue16::screen,           // screen
    keepEffect,               // composite: whole pixels
    glue16::hardLight,        // hard light
    glue16::overlay,          // overlay
    glue16::superlay,         // superlay
    glue16::difference,       // exclusion: one formula with "difference" at 16 bits
    keepEffect,               // color: whole pixels
    keepEffect,               // luminance: whole pixels
    glue16::linearLight,      // linear light
    glue16::pinLight,         // pin light
};

// The formula of a mode at full scale m: the 8-bit table for 255, the
// 16-bit one for any other.
constexpr ChannelBlend channelBlendOf(int32_t fullScale, int32_t mode) {
    return fullScale == kFullScale8 ? kChannelBlends8[glueTableIndex(mode)] : kChannelBlends16[glueTableIndex(mode)];
}

inline int32_t blendChannel8(int32_t mode, int32_t e, int32_t s, const int32_t* weights) {
    return kChannelBlends8[glueTableIndex(mode)](e, s, weights);
}

inline int32_t blendChannel16(int32_t mode, int32_t e, int32_t s) {
    return kChannelBlends16[glueTableIndex(mode)](e, s, nullptr);
}

// "composite" over a layer without editable transparency: the image shows
// through by rim weight w / 4 (0 inside the disc, 4 outside).
inline int32_t compositeOpaque(int32_t e, int32_t s, int32_t rimWeight, int32_t fullScale) {
    return std::min(e + ((rimWeight * s) >> 2), fullScale);
}

// "composite" over a layer with editable transparency: bright light is made
// opaque in proportion to its brightness. Rewrites the channels and returns
// the output alpha.
int32_t compositeTransparent(int32_t channels[3], int32_t rimWeight, int32_t fullScale);

}  // namespace lumenfall

#endif
