// The per-pixel light of the sun's elements: disc, spikes, halo, flares and
// bow, summed in units of 1/128 of an 8-bit level, scaled by the master
// brightness, with over-range light bled into the other channels. Geometry
// is integer, in quarter pixels of the render grid; angles are diamond
// angles, 16384 to the full turn.
//
// Each element is a small pure function of the sun's context and the
// pixel's offset from the centre; computeSunPixel sums them.
#ifndef LUMENFALL_KERNELS_SUN_ELEMENTS_H
#define LUMENFALL_KERNELS_SUN_ELEMENTS_H

#include <cstdint>

#include "kernels/numeric_bounds.h"
#include "kernels/streak_noise.h"

#include "kernels/sun_surface.h"
#include "kernels/sun_tables.h"
#include "params/parameter_block.h"

namespace lumenfall {

// Sizes of percentage settings never exceed this many pixels, so that every
// radius in quarter pixels and their sums stay far inside 32 bits.
constexpr int32_t kMaxSettingSize = 1 << 24;
// The sun centre is kept within this many render pixels of the origin; no
// element reaches that far, and distances stay exact in 64 bits.
constexpr int64_t kMaxCentreOffset = INT64_C(1) << 26;

// size(p): the smaller side times trunc(p^2 / 10) / 1000, at least 1, in
// double precision. (The render tables size the sun with
// scaledRadiusPixels, in single precision; the two differ by a pixel for
// some sizes.)
int32_t settingSize(int32_t percent, int32_t width, int32_t height);

// The flare streaks' noise scale: trunc(2^(4 - s) * pixelUnit * 256) times
// renderScale, with the integer exponent s = 1 + flareDetail * 5 / 100.
// Only the low 32 bits are kept: the scale multiplies lattice coordinates.
int32_t flareStreakScale(int32_t flareDetail, int32_t width, int32_t height, int64_t renderScale);

// 128 times the curve interpolated at position 0..32768 (7-bit fraction).
int64_t curveLookup(const int32_t curve[256], int64_t position);

// Diamond angle of the offset (dx, dy), 0..16384.
int32_t diamondAngle(int64_t dx, int64_t dy);

// Spreads light above M in some channels into the others. With followUp
// unset only the first share is added (the rim's disc colour).
void bleedOverRange(int64_t c[3], int64_t fullScale, bool followUp);

// Radii and values fixed for a whole render into one target.
struct SunFrame {
    int32_t fullScale;       // M: 255, 32768 or 65535
    float floatScale;        // Mf: 255, 32768 or 1
    bool eightBit;
    int64_t renderScale;     // at least 1
    int64_t centreX, centreY;
    int64_t sunRadius, discEdge, limbStart;          // Rs, Re, Rl
    int64_t haloOuter, haloWidth;                    // Rh, Wh
    int64_t bowInner, bowOuter, bowWidth;            // Bi, Bo, Bw
    int64_t flareStart, flareOuter, flareExtent;     // max(Rs,1), Fo, Fe
    int64_t flareWedge, flareHalf;                   // Fw, h
    int64_t flareGain;                               // fb
    int32_t flareCount, spikeCount;
    int64_t spikeRampRate;                           // 100 - spikeDetail
    // renderScale * spikeRampRate, and the largest distance whose product
    // with it stays below the ramp's saturation (so no pixel divides).
    int64_t spikeRampFactor, spikeRampReach;
    int32_t streakScale;                             // g, a hash multiplier
    int64_t masterBrightness;
    int32_t sunType;
};

// What the frame depends on besides the settings.
struct FrameRequest {
    int32_t areaWidth;       // the rendered area; sizes use its shorter side
    int32_t areaHeight;
    int32_t depth;           // bits per channel of the target: 8, 16, or 32 (float)
    int32_t renderScale;     // the render grid's step in image pixels
    int32_t viewOriginX;     // the sun centre is moved by minus the origin
    int32_t viewOriginY;
    // A target larger than the area by a whole factor (an enlarged copy of
    // the picture) moves the centre by that factor; 1 otherwise.
    int64_t enlargement;
};

SunFrame sunFrameFor(const ParameterBlock& settings, const FrameRequest& request);

// Which flare wedges hold each diamond angle 0..16384: the angles fall into
// at most 4 intervals per wedge edge pair, and every angle of an interval
// lies in the same wedges. Built once per render; a pixel then visits only
// the wedges that hold its angle instead of testing all of them.
constexpr int32_t kFlareAngleEnd = 16385;
constexpr int32_t kMaxFlareIntervals = 4 * 100 + 1;
struct FlareWedgeIndex {
    uint16_t intervalOf[kFlareAngleEnd];
    uint16_t listStart[kMaxFlareIntervals + 1];
    uint8_t wedges[kMaxFlareIntervals * 100];
    // A wedge's weight q by the angle's distance d from its start (before
    // folding at h), for every d a wedge can hold below kFlareAngleEnd:
    // each lit wedge of every flare pixel would otherwise divide by h.
    int32_t weightOf[kFlareAngleEnd];
};
void buildFlareWedgeIndex(const SunFrame& frame, const SunTables& tables, FlareWedgeIndex* index);

// The halo's and the bow's light depend on the distance alone: their sum
// for each distance r of [first, first + count), made once per render.
// Neither element reaches a distance outside that range.
struct RadialEntry {
    int64_t rgb[3];
};
struct RadialLight {
    const RadialEntry* entries = nullptr;  // null: each pixel computes both elements
    int64_t first = 0;
    int64_t count = 0;
};

// The spike ramp's colour at each of its indices, entries and weights
// already mixed (the ramp's values are 16-bit, their mixes fit 32 bits).
constexpr int32_t kSpikeRampSteps = 600 * 4;
struct SpikeRampMix {
    int32_t rgb[3];
};
void fillSpikeRampMix(const SunTables& tables, SpikeRampMix mix[kSpikeRampSteps]);

// Everything the elements read: the frame and the tables of one render.
struct SunContext {
    SunFrame frame;
    const ParameterBlock* settings;  // with its derived values filled
    const SunTables* tables;
    const uint16_t* sphereTable;     // may be null: the disc then has no texture shift
    int32_t sphereLastIndex;
    SurfaceTables surface;
    // Optional (null: every wedge is tested at every pixel).
    const FlareWedgeIndex* flareWedges = nullptr;
    // Optional (null: every streak point is computed).
    const StreakMemo* streakMemo = nullptr;
    // Optional: the frame's halo and bow by distance.
    RadialLight radial;
    // Optional (null: each pixel mixes the ramp's two entries).
    const SpikeRampMix* spikeRampMix = nullptr;
};

// The pixel's offset from the centre, its distance r in quarter pixels and
// its diamond angle.
struct SunOffset {
    int64_t dx, dy;
    int64_t r;
    int64_t angle;
};
SunOffset sunOffsetOf(const SunFrame& frame, int32_t x, int32_t y);

// Each element adds its light to total (units of 1/128 level) where it
// reaches the pixel.
void addSpikeLight(const SunContext& sun, const SunOffset& at, int64_t total[3]);

// The spikes in two steps: the sum S of every spike's share at the pixel,
// then S through the colour ramp. The spikes reach only pixels outside the
// sun's radius.
inline bool spikesReach(const SunFrame& frame, const SunOffset& at) {
    return at.r >= frame.sunRadius && frame.spikeCount >= 1;
}
// One spike's share: its profile across the strip times its fade along it,
// 0 outside the strip (|across| > 300 or along below 128).
inline int64_t spikeShare(const SunTables& tables, int32_t k, int64_t dx, int64_t dy) {
    const int32_t* axis = tables.spikeAxes[k];
    int64_t across = axis[0] * dy + axis[1] * dx;
    across = across < 0 ? -across : across;
    if (300 - across < 0) return 0;
    int64_t along = axis[3] * dx - axis[2] * dy;
    along = 32640 - (along < 0 ? -along : along);
    if (along < 128) return 0;
    return ((along >> 7) * tables.spikeProfile[300 - across]) >> 8;
}
int64_t spikeSum(const SunContext& sun, const SunOffset& at);
// The spike ramp's index r * factor / 50 saturates at this product.
constexpr int64_t kMulDivLimit = INT64_C(0x3FFFFFFFFFFFFFFF);

// The ramp's index before clamping: factor * r / 50, saturating at
// +-(2^62 - 1) where the product would not fit. For positive x and y,
// x > M / y exactly when y > M / x: the frame's spikeRampReach
// (M / |factor|) tells the saturating products apart without a division
// per pixel. (Inline, as are the two below: every spike pixel takes them.)
inline int64_t spikeRampIndex(const SunFrame& s, int64_t r) {
    const int64_t a = s.spikeRampFactor;
    if (a == 0 || r == 0) return 0;
    if (abs64(r) > s.spikeRampReach) return (a < 0) != (r < 0) ? -kMulDivLimit : kMulDivLimit;
    return a * r / 50;
}
// The ramp's colour at clamped index j.
int64_t spikeRampAt(const SunTables& t, int64_t j, int c);
inline void addSpikeRamp(const SunContext& sun, const SunOffset& at, int64_t sum, int64_t total[3]) {
    // j = renderScale * (100 - spikeDetail) * r / 50; past the ramp's end
    // every j reads entry 599 alone, and a negative j reads entry 0.
    const int64_t j = clampInt64(spikeRampIndex(sun.frame, at.r), 0, kSpikeRampSteps - 1);
    if (sun.spikeRampMix != nullptr) {
        const SpikeRampMix& ramp = sun.spikeRampMix[j];
        for (int c = 0; c < 3; ++c) total[c] += shiftRight64(ramp.rgb[c] * sum, 3);
        return;
    }
    for (int c = 0; c < 3; ++c) total[c] += shiftRight64(spikeRampAt(*sun.tables, j, c) * sum, 3);
}
void addHaloLight(const SunContext& sun, const SunOffset& at, int64_t total[3]);
void addFlareLight(const SunContext& sun, const SunOffset& at, int64_t total[3]);
void addBowLight(const SunContext& sun, const SunOffset& at, int64_t total[3]);

// The distances [first, first + count) that the halo and the bow reach
// (count 0 when neither does).
void radialLightRange(const SunFrame& frame, int64_t* first, int64_t* count);
// The halo's and the bow's light at each distance of that range.
void fillRadialLight(const SunContext& sun, int64_t first, int64_t count, RadialEntry* entries);

// The flares in parts: the streak noise at the pixel (0..255), the summed
// wedge light F for a noise value, and the whole element with the choice of
// skipping the noise where even the brightest noise lights no wedge.
int32_t flareStreakNoise(const SunContext& sun, const SunOffset& at);
int64_t flareWedgeLight(const SunContext& sun, const SunOffset& at, int64_t noise);
// False when no wedge can light the pixel whatever the noise (the wedge
// light of noise 255 is 0); the same answer as flareWedgeLight(..., 255) > 0.
bool flareCanShine(const SunContext& sun, const SunOffset& at);
void addFlareLightWith(const SunContext& sun, const SunOffset& at, bool skipDarkNoise, int64_t total[3]);
// addFlareLightWith(sun, at, true, total) with the streak noise, where it is
// needed, from streakNoise(context) (which must give flareStreakNoise's
// value at the pixel).
using StreakNoiseSource = int32_t (*)(void* context);
void addShiningFlareLight(const SunContext& sun, const SunOffset& at, StreakNoiseSource streakNoise, void* context,
                          int64_t total[3]);

// The disc: inside the sun its light joins total; on the rim it is kept
// apart and mixed in by the rim weight.
struct DiscLight {
    int64_t rgb[3];
    int32_t rimWeight;   // 0 inside the disc, 0..3 on the rim, 4 outside
    bool onRim;
};
// surface: where not null, the surface value at the disc's surface point
// (found beforehand, as for a pair of pixels); null: found here.
DiscLight discLight(const SunContext& sun, const SunOffset& at, int64_t total[3], const int32_t* surface = nullptr);
// The surface point the disc reads at the offset; false where it reads none
// (outside the disc, or a flat or eclipsed sun).
bool discSurfacePoint(const SunContext& sun, const SunOffset& at, int32_t* sx, int32_t* sy);

struct SunPixel {
    int32_t rgb[3];     // 0..M (negative spike light may go below 0)
    int32_t rimWeight;  // 0 inside the disc, 0..3 on the rim, 4 outside
};

// Master brightness, 8-bit scaling, bleeding and the rim mix: finishSunPixel
// in kernels/sun_finish.h.

SunPixel computeSunPixel(const SunContext& sun, int32_t x, int32_t y);

}  // namespace lumenfall

#endif
