// The per-pixel light of the sun's elements: disc, spikes, halo, flares and
// bow, summed in units of 1/128 of an 8-bit level, scaled by the master
// brightness, with over-range light bled into the other channels. Geometry
// is integer, in quarter pixels of the render grid; angles are diamond
// angles, 16384 to the full turn.
#ifndef LUMENFALL_KERNELS_SUN_ELEMENTS_H
#define LUMENFALL_KERNELS_SUN_ELEMENTS_H

#include <cstdint>

#include "kernels/sun_renderer.h"
#include "kernels/sun_surface.h"

namespace lumenfall {

// Sizes of percentage settings never exceed this many pixels, so that every
// radius in quarter pixels and their sums stay far inside 32 bits.
constexpr int32_t kMaxSettingSize = 1 << 24;
// The sun centre is kept within this many render pixels of the origin; no
// element reaches that far, and distances stay exact in 64 bits.
constexpr int64_t kMaxCentreOffset = INT64_C(1) << 26;

// size(p): the smaller side times trunc(p^2 / 10) / 1000, at least 1.
int32_t settingSize(int32_t percent, int32_t width, int32_t height);

// 128 times the curve interpolated at position 0..32768 (7-bit fraction).
int64_t curveLookup(const int32_t curve[256], int64_t position);

// Diamond angle of the offset (dx, dy), 0..16384.
int32_t diamondAngle(int64_t dx, int64_t dy);

// Spreads light above M in some channels into the others. With followUp
// unset only the first share is added (the rim's disc colour).
void bleedOverRange(int64_t c[3], int64_t fullScale, bool followUp);

// Values fixed for a whole row.
struct SunRowSetup {
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
    int32_t streakScale;                             // g, a hash multiplier
    int64_t masterBrightness;
    int32_t sunType;
};

// False when there is nothing to draw into (no block, tables or target).
bool setUpSunRow(const SunRowContext& context, SunRowSetup* setup);

struct SunPixel {
    int32_t rgb[3];     // 0..M (negative spike light may go below 0)
    int32_t rimWeight;  // 0 inside the disc, 0..3 on the rim, 4 outside
};

SunPixel computeSunPixel(const SunRowContext& context, const SunRowSetup& setup,
                         const SurfaceTables& surface, int32_t x, int32_t y);

}  // namespace lumenfall

#endif
