#include "kernels/sun_elements.h"

#include <algorithm>
#include <cmath>

#include "kernels/numeric_bounds.h"
#include "kernels/sun_finish.h"
#include "kernels/streak_noise.h"

namespace lumenfall {

int32_t settingSize(int32_t percent, int32_t width, int32_t height) {
    int64_t q = static_cast<int64_t>(percent) * percent / 10;
    int32_t shortSide = width < height ? width : height;
    double s = static_cast<double>(shortSide) * static_cast<double>(q) / 1000.0;
    if (s < 1.0) return 1;
    if (s >= kMaxSettingSize) return kMaxSettingSize;
    return static_cast<int32_t>(s);
}

int32_t flareStreakScale(int32_t flareDetail, int32_t width, int32_t height, int64_t renderScale) {
    int64_t exponent = 1 + static_cast<int64_t>(flareDetail) * 5 / 100;  // an integer
    double shortSide = static_cast<double>(width < height ? width : height);
    double unit = shortSide * 0.001;
    if (unit < 0.000001) unit = 0.000001;
    double power = std::pow(2.0, static_cast<double>(4 - exponent));
    int64_t g = saturateToInt32(power * unit * 256.0);
    return wrapToInt32(g * renderScale);
}

int64_t curveLookup(const int32_t curve[256], int64_t position) {
    int64_t v = clampInt64(position, 0, INT32_MAX - 1);
    int64_t i = min64(((v + 1) >> 7) & 511, 255);
    int64_t f = v & 127;
    int64_t next = min64(i + 1, 255);
    int64_t l = static_cast<int64_t>(curve[i]) * (128 - f) + static_cast<int64_t>(curve[next]) * f;
    return l < 0 ? 0 : l;
}

int32_t diamondAngle(int64_t dx, int64_t dy) {
    if (dx == 0 && dy == 0) return 0;
    int64_t t = (4 * dy * 4096) / (abs64(4 * dx) + abs64(4 * dy));
    if (dx < 0) return static_cast<int32_t>(8192 - t);
    if (dy < 0) return static_cast<int32_t>(t + 16384);
    return static_cast<int32_t>(t);
}

void bleedOverRange(int64_t c[3], int64_t m, bool followUp) {
    int mask = (c[0] > m ? 1 : 0) | (c[1] > m ? 2 : 0) | (c[2] > m ? 4 : 0);
    if (mask == 0) return;
    int64_t excess = 0;
    for (int i = 0; i < 3; ++i) {
        if (c[i] > m) excess += c[i] - m;
    }
    int64_t e = shiftRight64(3 * excess * 60, 8);
    int64_t h = e >> 1;
    // One channel over: its two partners share the excess, then pass on what
    // overflows them in turn. Two over: the third takes it all.
    auto spread = [&](int first, int second) {
        c[first] += h;
        c[second] += h;
        if (!followUp) return;
        if (c[first] > m) c[second] += c[first] - m;
        if (c[second] > m) c[first] += c[second] - m;
    };
    switch (mask) {
        case 1: spread(1, 2); break;
        case 2: spread(0, 2); break;
        case 4: spread(0, 1); break;
        case 3: c[2] += e; break;
        case 5: c[1] += e; break;
        case 6: c[0] += e; break;
        default: break;
    }
}

SunFrame sunFrameFor(const ParameterBlock& p, const FrameRequest& request) {
    SunFrame s{};
    const int32_t depth = request.depth;
    if (depth < 9) {
        s.fullScale = 255;
        s.floatScale = 255.0f;
    } else if (depth == 16) {
        s.fullScale = 32768;
        s.floatScale = 32768.0f;
    } else {
        s.fullScale = 65535;
        s.floatScale = 1.0f;
    }
    s.eightBit = depth < 9;

    const int32_t w = request.areaWidth, h = request.areaHeight;
    const int64_t ratio = clampInt64(request.enlargement, 0, 65536);
    const int64_t scale = clampInt64(request.renderScale, 1, 65536);
    s.renderScale = scale;

    const int64_t sunSize = settingSize(p.sunRadius, w, h);
    s.sunRadius = max64(sunSize * 4 / scale, 0);
    s.discEdge = s.sunRadius + 4;
    s.limbStart = max64(s.discEdge * 8 / 10, 1);
    s.haloOuter = max64((sunSize + settingSize(p.haloRadius, w, h)) * 4 / scale, 1);
    s.haloWidth = s.haloOuter - s.sunRadius;
    if (s.haloWidth == 0) s.haloWidth = 1;
    s.bowInner = max64(settingSize(p.bowRadius, w, h) * 4 / scale, 1);
    s.bowOuter = max64(s.bowInner + 2 * (settingSize(p.bowWidth, w, h) * 4 / scale), 1);
    s.bowWidth = max64(s.bowOuter - s.bowInner, 1);
    s.flareOuter = max64(settingSize(p.flareRadius, w, h) * 4 / scale + s.sunRadius, 1);
    s.flareExtent = max64(s.flareOuter - s.sunRadius, 1);
    s.flareStart = max64(s.sunRadius, 1);

    // Wider wedges than 2^21 leave every flare term 0, exactly as unbounded
    // arithmetic would; gains beyond 2^22 saturate the flare light the same.
    s.flareWedge = clampInt64(static_cast<int64_t>(p.flareWidth) * 4096 / 100, -(1 << 21), 1 << 21);
    s.flareHalf = s.flareWedge >> 1;
    s.flareGain = clampInt64(static_cast<int64_t>(p.flareBrightness) * 256 / 100, -(1 << 22), 1 << 22);
    s.flareCount = clampInt32(p.flareCount, 0, 100);
    s.spikeCount = clampInt32(p.spikeCount, 0, 255);
    s.spikeRampRate = 100 - static_cast<int64_t>(p.spikeDetail);
    s.spikeRampFactor = s.renderScale * s.spikeRampRate;
    s.spikeRampReach = s.spikeRampFactor == 0 ? INT64_MAX : kMulDivLimit / abs64(s.spikeRampFactor);
    s.streakScale = flareStreakScale(p.flareDetail, w, h, scale);
    s.masterBrightness = p.masterBrightness;
    s.sunType = p.sunType;

    const int64_t cx = (static_cast<int64_t>(p.centerX) - request.viewOriginX) * ratio / scale;
    const int64_t cy = (static_cast<int64_t>(p.centerY) - request.viewOriginY) * ratio / scale;
    s.centreX = clampInt64(cx, -kMaxCentreOffset, kMaxCentreOffset);
    s.centreY = clampInt64(cy, -kMaxCentreOffset, kMaxCentreOffset);
    return s;
}

SunOffset sunOffsetOf(const SunFrame& frame, int32_t x, int32_t y) {
    SunOffset at;
    at.dx = frame.centreX - x;
    at.dy = frame.centreY - y;
    at.angle = diamondAngle(at.dx, at.dy);
    at.r = static_cast<int64_t>(std::sqrt(static_cast<double>(16 * (at.dx * at.dx + at.dy * at.dy))));
    return at;
}

int64_t spikeSum(const SunContext& sun, const SunOffset& at) {
    const SunTables& t = *sun.tables;
    const int64_t dx = at.dx, dy = at.dy;
    int64_t sum = 0;
    for (int32_t k = 0; k < sun.frame.spikeCount; ++k) sum += spikeShare(t, k, dx, dy);
    return sum;
}

// The ramp's colour at clamped index j: entries j / 4 and the next,
// weighted 3 - f and f (f = j % 4; the weights sum to 3, not 4).
int64_t spikeRampAt(const SunTables& t, int64_t j, int c) {
    const int64_t e = min64(j >> 2, 599), f = j & 3, e1 = min64(e + 1, 599);
    return static_cast<int64_t>(t.spikeRamp[c][e]) * (3 - f) + static_cast<int64_t>(t.spikeRamp[c][e1]) * f;
}

void fillSpikeRampMix(const SunTables& tables, SpikeRampMix mix[kSpikeRampSteps]) {
    for (int64_t j = 0; j < kSpikeRampSteps; ++j) {
        for (int c = 0; c < 3; ++c) mix[j].rgb[c] = static_cast<int32_t>(spikeRampAt(tables, j, c));
    }
}

void addSpikeLight(const SunContext& sun, const SunOffset& at, int64_t total[3]) {
    if (!spikesReach(sun.frame, at)) return;
    addSpikeRamp(sun, at, spikeSum(sun, at), total);
}

void addHaloLight(const SunContext& sun, const SunOffset& at, int64_t total[3]) {
    const SunFrame& s = sun.frame;
    if (at.r < s.sunRadius || at.r >= s.haloOuter) return;
    const int64_t t = max64((s.haloOuter - at.r) * 32768 / s.haloWidth, 0);
    for (int c = 0; c < 3; ++c) {
        total[c] += max64(curveLookup(sun.settings->derived.haloCurves[c], t) >> 7, 0);
    }
}

namespace {

// Whether flare wedge i holds the angle, and then its weight q = d^2 / h
// for the angular distance d from the wedge's nearer edge, folded at h.
bool wedgeHolds(const SunFrame& s, const SunTables& t, int32_t i, int64_t angle) {
    const int64_t wedge = s.flareWedge;
    const int64_t b = static_cast<int16_t>(t.flareAngles[i]);
    return (b < angle && angle < b + wedge) || (b < angle + 16384 && angle + 16384 < b + wedge);
}

int64_t foldedWeight(int64_t d, int64_t half) {
    if (d > half) d = 2 * half - d;
    return d * d / half;
}

// index: where not null, its weights stand in for the division.
bool wedgeWeight(const SunFrame& s, const SunTables& t, const FlareWedgeIndex* index, int32_t i, int64_t angle,
                 int64_t* q) {
    const int64_t b = static_cast<int16_t>(t.flareAngles[i]);
    if (!wedgeHolds(s, t, i, angle)) return false;
    int64_t d = angle - b;
    if (d < 0) d += 16384;
    *q = index != nullptr && d < kFlareAngleEnd ? index->weightOf[d] : foldedWeight(d, s.flareHalf);
    return true;
}

// Calls visit(i) for every wedge i that may hold the angle, in order: the
// index's list where there is one, else every wedge.
template <typename Visit>
void forWedgesAt(const SunContext& sun, int64_t angle, Visit visit) {
    const FlareWedgeIndex* index = sun.flareWedges;
    if (index != nullptr && angle >= 0 && angle < kFlareAngleEnd) {
        const int32_t k = index->intervalOf[angle];
        for (int32_t j = index->listStart[k]; j < index->listStart[k + 1]; ++j) {
            if (visit(int32_t(index->wedges[j]))) return;
        }
        return;
    }
    for (int32_t i = 0; i < sun.frame.flareCount; ++i) {
        if (visit(i)) return;
    }
}

// Adds the angles first..last (clipped to 0..16384) as interval edges.
void addEdges(int64_t first, int64_t last, int32_t* edges, int32_t* count) {
    first = max64(first, 0);
    last = min64(last, kFlareAngleEnd - 1);
    if (first > last) return;
    edges[(*count)++] = int32_t(first);
    edges[(*count)++] = int32_t(last + 1);
}

}  // namespace

void buildFlareWedgeIndex(const SunFrame& frame, const SunTables& tables, FlareWedgeIndex* index) {
    // The angles of wedge i: b < a < b + w, or the same a full turn on.
    int32_t edges[4 * 100 + 2];
    int32_t count = 0;
    edges[count++] = 0;
    const int32_t wedges = clampInt32(frame.flareCount, 0, 100);
    for (int32_t i = 0; i < wedges; ++i) {
        const int64_t b = static_cast<int16_t>(tables.flareAngles[i]);
        addEdges(b + 1, b + frame.flareWedge - 1, edges, &count);
        addEdges(b + 1 - 16384, b + frame.flareWedge - 1 - 16384, edges, &count);
    }
    std::sort(edges, edges + count);
    count = int32_t(std::unique(edges, edges + count) - edges);
    int32_t used = 0;
    int32_t interval = 0;
    for (int32_t e = 0; e < count && edges[e] < kFlareAngleEnd; ++e, ++interval) {
        const int32_t from = edges[e];
        const int32_t to = e + 1 < count ? std::min(edges[e + 1], kFlareAngleEnd) : kFlareAngleEnd;
        index->listStart[interval] = uint16_t(used);
        for (int32_t i = 0; i < wedges; ++i) {
            if (wedgeHolds(frame, tables, i, from)) index->wedges[used++] = uint8_t(i);
        }
        for (int32_t a = from; a < to; ++a) index->intervalOf[a] = uint16_t(interval);
    }
    index->listStart[interval] = uint16_t(used);
    // Held distances are below the wedge's width, at most 2 h + 1: folded,
    // they lie in 0..h and their weights in 0..h. Others are never read.
    const int64_t held = frame.flareHalf > 0 ? min64(frame.flareWedge, kFlareAngleEnd) : 0;
    for (int64_t d = 0; d < kFlareAngleEnd; ++d) {
        index->weightOf[d] = d < held ? int32_t(foldedWeight(d, frame.flareHalf)) : 0;
    }
}

int64_t flareWedgeLight(const SunContext& sun, const SunOffset& at, int64_t noise) {
    const SunFrame& s = sun.frame;
    int64_t light = 0;
    forWedgesAt(sun, at.angle, [&](int32_t i) {
        int64_t q;
        if (!wedgeWeight(s, *sun.tables, sun.flareWedges, i, at.angle, &q)) return false;
        const int64_t v = (q * (s.flareOuter - at.r) * noise) / (s.flareHalf * s.flareExtent);
        if (2 * v - 80 > 0) light += 2 * v - 80;
        return false;
    });
    return light;
}

bool flareCanShine(const SunContext& sun, const SunOffset& at) {
    const SunFrame& s = sun.frame;
    if (s.flareCount <= 0 || s.flareHalf <= 0) return false;
    // A wedge's q is at most h, so no term exceeds (Fo - r) 255 / Fe.
    const int64_t brightest = ((s.flareOuter - at.r) * 255) / s.flareExtent;
    if (2 * brightest - 80 <= 0) return false;
    bool shines = false;
    forWedgesAt(sun, at.angle, [&](int32_t i) {
        int64_t q;
        if (!wedgeWeight(s, *sun.tables, sun.flareWedges, i, at.angle, &q)) return false;
        shines = 2 * ((q * (s.flareOuter - at.r) * 255) / (s.flareHalf * s.flareExtent)) - 80 > 0;
        return shines;
    });
    return shines;
}

int32_t flareStreakNoise(const SunContext& sun, const SunOffset& at) {
    const int64_t dx = at.dx, dy = at.dy, r = at.r;
    const int32_t px = static_cast<int32_t>(-dx), py = static_cast<int32_t>(-dy);
    return streakNoiseWith(sun.streakMemo, sun.tables->noiseTable, px, py, px + static_cast<int32_t>(120 * dx / r),
                           py + static_cast<int32_t>(120 * dy / r), sun.frame.streakScale);
}

namespace {

// The flare value from the streak noise and the summed wedge light.
int64_t scaledFlare(const SunFrame& s, int64_t noise, int64_t light) {
    const int64_t value = min64(shiftRight64(noise * light, 8), INT64_C(1) << 40);
    return clampInt64(value * s.flareGain / 2, 0, 32768);
}

// flareCanShine and flareWedgeLight in one walk of the wedges: the weight
// q of each wedge holding the angle is found once and kept for both. Zero
// where no noise can light a wedge (the streak noise is then not taken).
template <typename StreakNoise>
int64_t shiningFlare(const SunContext& sun, const SunOffset& at, StreakNoise streakNoise) {
    const SunFrame& s = sun.frame;
    // With a >= 0 and b > 0, 2 (a / b) - 80 > 0 exactly when a >= 41 b: the
    // tests below need no division. (reach > 0 within the annulus; the
    // products stay below 2^56 for any frame.)
    const int64_t reach = s.flareOuter - at.r;
    if (reach * 255 < 41 * s.flareExtent) return 0;
    const int64_t divisor = s.flareHalf * s.flareExtent;
    const int64_t shineBound = 41 * divisor;
    int64_t weights[100];
    int32_t held = 0;
    bool shines = false;
    forWedgesAt(sun, at.angle, [&](int32_t i) {
        int64_t q;
        if (!wedgeWeight(s, *sun.tables, sun.flareWedges, i, at.angle, &q)) return false;
        weights[held++] = q;
        shines = shines || q * reach * 255 >= shineBound;
        return false;
    });
    if (!shines) return 0;
    const int64_t noise = streakNoise();
    // As above, a wedge adds light exactly when q reach noise >= 41 d; the
    // others need no division.
    const int64_t lit = reach * noise;
    int64_t light = 0;
    for (int32_t k = 0; k < held; ++k) {
        const int64_t product = weights[k] * lit;
        if (product < shineBound) continue;
        light += 2 * (product / divisor) - 80;
    }
    return scaledFlare(s, noise, light);
}

// The flare light of a pixel from its value `scaled` found by flareValue
// (which is not called where no wedge can be lit).
template <typename FlareValue>
void addFlareLightOf(const SunContext& sun, const SunOffset& at, FlareValue flareValue, int64_t total[3]) {
    const SunFrame& s = sun.frame;
    if (at.r < s.flareStart || at.r >= s.flareOuter) return;
    // Without a wedge to light (no flares, or wedges too narrow to hold a
    // pixel) the light is 0 and the streak noise need not be taken.
    const int64_t scaled = s.flareCount > 0 && s.flareHalf > 0 ? flareValue() : 0;
    for (int c = 0; c < 3; ++c) total[c] += curveLookup(sun.settings->derived.flareCurves[c], scaled);
}

}  // namespace

void addFlareLightWith(const SunContext& sun, const SunOffset& at, bool skipDarkNoise, int64_t total[3]) {
    addFlareLightOf(
        sun, at,
        [&] {
            // Each wedge's term grows with the noise, which is at most 255:
            // where even that lights nothing, no noise can.
            if (skipDarkNoise) return shiningFlare(sun, at, [&] { return flareStreakNoise(sun, at); });
            const int32_t noise = flareStreakNoise(sun, at);
            return scaledFlare(sun.frame, noise, flareWedgeLight(sun, at, noise));
        },
        total);
}

void addShiningFlareLight(const SunContext& sun, const SunOffset& at, StreakNoiseSource streakNoise, void* context,
                          int64_t total[3]) {
    addFlareLightOf(sun, at, [&] { return shiningFlare(sun, at, [&] { return streakNoise(context); }); }, total);
}

void addFlareLight(const SunContext& sun, const SunOffset& at, int64_t total[3]) {
    addFlareLightWith(sun, at, false, total);
}

void addBowLight(const SunContext& sun, const SunOffset& at, int64_t total[3]) {
    const SunFrame& s = sun.frame;
    if (at.r < s.bowInner || at.r >= s.bowOuter) return;
    const SunTables& tables = *sun.tables;
    const int64_t t = (at.r - s.bowInner) * 800 / s.bowWidth;
    const int64_t e = t >> 2, f = t & 3, e1 = min64(e + 1, 200);
    for (int c = 0; c < 3; ++c) {
        const int64_t spectrum = static_cast<int64_t>(tables.bowSpectrum[c][e]) * (3 - f) +
                                 static_cast<int64_t>(tables.bowSpectrum[c][e1]) * f;
        total[c] += (spectrum * 129) >> 1;
    }
}

void radialLightRange(const SunFrame& s, int64_t* first, int64_t* count) {
    // The halo lights [sunRadius, haloOuter), the bow [bowInner, bowOuter).
    int64_t from = INT64_MAX, to = INT64_MIN;
    if (s.haloOuter > s.sunRadius) {
        from = s.sunRadius;
        to = s.haloOuter;
    }
    if (s.bowOuter > s.bowInner) {
        from = min64(from, s.bowInner);
        to = max64(to, s.bowOuter);
    }
    *first = from < to ? from : 0;
    *count = from < to ? to - from : 0;
}

void fillRadialLight(const SunContext& sun, int64_t first, int64_t count, RadialEntry* entries) {
    for (int64_t i = 0; i < count; ++i) {
        SunOffset at{0, 0, first + i, 0};
        int64_t total[3] = {0, 0, 0};
        addHaloLight(sun, at, total);
        addBowLight(sun, at, total);
        for (int c = 0; c < 3; ++c) entries[i].rgb[c] = total[c];
    }
}

bool discSurfacePoint(const SunContext& sun, const SunOffset& at, int32_t* sx, int32_t* sy) {
    const SunFrame& s = sun.frame;
    if (at.r >= s.discEdge || s.sunType == kSunFlat || s.sunType == kSunEclipse) return false;
    int64_t k = 0;
    if (sun.sphereTable != nullptr && sun.sphereLastIndex >= 0) {
        k = sun.sphereTable[min64(at.r / 4, sun.sphereLastIndex)];
    }
    // Surface coordinates wrap like the texture they address.
    *sx = wrapToInt32(-at.dx * 16 * k / 1024);
    *sy = wrapToInt32(-at.dy * 16 * k / 1024);
    return true;
}

DiscLight discLight(const SunContext& sun, const SunOffset& at, int64_t total[3], const int32_t* surface) {
    const SunFrame& s = sun.frame;
    DiscLight disc{{0, 0, 0}, 4, false};
    const int64_t r = at.r;
    if (r >= s.discEdge) return disc;
    const DerivedValues& derived = sun.settings->derived;
    if (s.sunType == kSunFlat) {
        for (int c = 0; c < 3; ++c) {
            const int64_t u = max64(derived.sunCurves[c][255], 0);
            disc.rgb[c] = u < 255 ? ((u << 7) | (u >> 1)) : 32768;
        }
    } else if (s.sunType != kSunEclipse) {
        // A value found beforehand was found at this same surface point.
        int32_t value;
        if (surface != nullptr) {
            value = *surface;
        } else {
            int32_t sx, sy;
            discSurfacePoint(sun, at, &sx, &sy);
            value = surfaceValue(sun.surface, sx, sy);
        }
        int64_t level = 129 * static_cast<int64_t>(value);
        if (r > s.limbStart) level = level * (s.discEdge - r) / (s.discEdge - s.limbStart);
        for (int c = 0; c < 3; ++c) disc.rgb[c] = curveLookup(derived.sunCurves[c], level);
    }
    if (r >= s.sunRadius) {
        disc.onRim = true;
        disc.rimWeight = static_cast<int32_t>(r - s.sunRadius);
        for (int c = 0; c < 3; ++c) {
            disc.rgb[c] = clampInt64(disc.rgb[c], -kMaxLight, kMaxLight) * s.masterBrightness / 25;
        }
    } else {
        disc.rimWeight = 0;
        for (int c = 0; c < 3; ++c) total[c] += disc.rgb[c];
    }
    return disc;
}

SunPixel computeSunPixel(const SunContext& sun, int32_t x, int32_t y) {
    const SunOffset at = sunOffsetOf(sun.frame, x, y);
    int64_t total[3] = {0, 0, 0};
    addSpikeLight(sun, at, total);
    addHaloLight(sun, at, total);
    addFlareLight(sun, at, total);
    addBowLight(sun, at, total);
    const DiscLight disc = discLight(sun, at, total);
    SunPixel out;
    finishSunPixel(sun.frame, total, disc, &out);
    return out;
}

}  // namespace lumenfall
