#include "render/render_tables.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "kernels/numeric_bounds.h"
#include "render/noise_table.h"
#include "render/size_functions.h"

namespace lumenfall {
namespace {

constexpr double kDegreesPerRadian = 180.0 / 3.14159265358979323846;

int32_t curveEntry(int64_t v) { return int32_t(std::clamp<int64_t>(v, -kCurveEntryBound, kCurveEntryBound)); }

// The 16 bits of an angle; angles wrap, so the low bits are what counts.
uint16_t angleBits(int64_t v) { return uint16_t(uint64_t(v)); }

float clampUnit(double v) {
    const float f = float(v);
    if (std::isnan(f)) return 1.0f;
    return std::clamp(f, 0.0f, 1.0f);
}

int32_t noiseAt(const SunTables& tables, int64_t index) {
    return tables.noiseTable[uint64_t(index) % kNoiseTableSize];
}

// A width or radius setting used as a divisor (setting + 1): below 0 it
// would reach zero or turn the spikes' coordinates over, so it counts as 0.
float divisorOf(int32_t setting) { return float(int64_t(std::max(setting, 0)) + 1); }

}  // namespace

void buildProceduralWeights(int32_t weights[256]) {
    for (int i = 0; i < 256; ++i) weights[i] = i < 128 ? 2 * i : 511 - 2 * i;
}

int64_t haloGammaStep(int32_t haloBrightness) { return (50 - int64_t(haloBrightness)) * 8 / 50; }

int64_t spikeGammaStep(int32_t spikeGamma) { return (int64_t(spikeGamma) - 25) * 2 / 50; }

float gammaExponent(int64_t step) {
    if (step >= 0) return float(step + 1);
    return 1.0f / float(1 - step);
}

void buildHaloCurves(const ParameterBlock& block, DerivedValues& derived) {
    const float e = gammaExponent(haloGammaStep(block.haloBrightness));
    const int32_t red = colourHighByte(block.haloColor[kChannelRed]);
    const int32_t green = colourHighByte(block.haloColor[kChannelGreen]);
    const int32_t blue = colourHighByte(block.haloColor[kChannelBlue]);
    for (int32_t i = 0; i < 256; ++i) {
        const float p = std::pow(float(i * 0.00390625), e);
        // Red falls linearly with i, green with its square, blue with its
        // cube: a fading halo warms toward red.
        derived.haloCurves[kChannelRed][i] = curveEntry(saturateToInt64(float((red * i) >> 1) * p));
        derived.haloCurves[kChannelGreen][i] =
            curveEntry(saturateToInt64(float(((i * i / 256) * green) >> 1) * p));
        derived.haloCurves[kChannelBlue][i] =
            curveEntry(saturateToInt64(float(((i * i * i / 65536) * blue) >> 1) * p));
    }
}

void buildSpikeProfile(const ParameterBlock& block, SunTables& tables) {
    const float e = gammaExponent(spikeGammaStep(block.spikeGamma));
    for (int i = 0; i < kSpikeProfileEntries; ++i) {
        // i / 300 is the fraction of the spike's half width.
        const float p = std::pow(float(i) / 300.0f, e);
        tables.spikeProfile[i] = saturateTo<uint16_t>(saturateToInt64(p * 300.0f));
    }
}

void buildFlareCurves(const ParameterBlock& block, DerivedValues& derived) {
    const int32_t red = colourHighByte(block.flareColor[kChannelRed]);
    const int32_t green = colourHighByte(block.flareColor[kChannelGreen]);
    const int32_t blue = colourHighByte(block.flareColor[kChannelBlue]);
    for (int32_t i = 0; i < 256; ++i) {
        derived.flareCurves[kChannelRed][i] = (red * i) >> 6;
        derived.flareCurves[kChannelGreen][i] = ((i * i / 256 + i) * green) >> 7;
        derived.flareCurves[kChannelBlue][i] = (blue * (i * i / 256)) >> 6;
    }
}

void buildSunCurves(const ParameterBlock& block, DerivedValues& derived) {
    const int64_t c = block.sunColdHot;
    const int64_t red = block.sunColor[kChannelRed] >> 7;
    const int64_t green = block.sunColor[kChannelGreen] >> 7;
    const int64_t blue = block.sunColor[kChannelBlue] >> 7;
    const int64_t k = c < 50 ? 50 - c : c - 50;
    for (int64_t i = 0; i < 256; ++i) {
        const int64_t cube = (i * i * i) >> 16;
        const int64_t square = (i * i) >> 8;
        // A cold sun loses red first toward its edge, a hot one blue; both
        // extremes bend green toward a square law.
        int64_t r;
        if (c < 50) r = (cube * (50 - c) + c * i) / 50 * red / 256;
        else r = red * i / 256;
        const int64_t g = (square * k + (50 - k) * i) / 50 * green / 256;
        int64_t b;
        if (c > 50) b = (cube * (c - 50) + (100 - c) * i) / 50 * blue / 256;
        else b = blue * i / 256;
        derived.sunCurves[kChannelRed][i] = curveEntry(r);
        derived.sunCurves[kChannelGreen][i] = curveEntry(g);
        derived.sunCurves[kChannelBlue][i] = curveEntry(b);
    }
}

int32_t offsetDirection(float x, float y) {
    // The offset on the direction picker's box of -33..33.
    const int64_t h = std::clamp(saturateToInt32(x * 33.0f), -33, 33);
    const int64_t v = std::clamp(saturateToInt32(y * 33.0f), -33, 33);
    const int64_t p = v * 66;
    const int64_t q = h * 66;
    int32_t angle;
    if (p == 0) {
        angle = q > 0 ? 90 : (q < 0 ? 270 : 0);
    } else {
        // The ratio is taken as a real number (the picker's direction), not
        // as an integer quotient, which would snap the angle to a few steps.
        // The truncation covers the half turn: trunc(degrees + 180), which
        // is one degree less than trunc(degrees) + 180 for some downward
        // offsets.
        angle = int32_t(std::atan(double(q) / double(-p)) * kDegreesPerRadian + (p > 0 ? 180.0 : 0.0));
        if (angle < 0) angle += 360;
    }
    return (angle + 270) % 360;
}

float offsetLength(float x, float y) {
    const float xx = x * x;
    const float yy = y * y;
    return float(std::sqrt(double(xx + yy)));
}

void buildFlareAngles(const ParameterBlock& block, DerivedValues& d, SunTables& tables) {
    d.spikeOffsetAngle = offsetDirection(block.spikeX, block.spikeY);
    d.spikeOffsetLength = offsetLength(block.spikeX, block.spikeY);
    const int64_t width = int64_t(block.flareWidth) * 4096 / 100;
    int64_t base = int64_t(d.spikeOffsetAngle) * kFullTurn / 360 - std::max<int64_t>(width, 2) / 2;
    if (base < 0) base += kFullTurn;
    // No offset scatters the wedge starts by up to a quarter turn either
    // side; an offset of 1/1.1 or more lines them up on one axis.
    const float f = clampUnit(1.0 - 1.1 * double(finiteOrZero(d.spikeOffsetLength)));
    for (int j = 0; j < kFlareAngleEntries; ++j) {
        int64_t a = base;
        if (j & 1) {
            a += kFullTurn / 2;
            if (a > kFullTurn) a -= kFullTurn;
        }
        const int32_t r = noiseAt(tables, 2 * j);
        const int32_t n = ((r * 256 + r) & 0x1FFF) - 4096;
        tables.flareAngles[j] = angleBits(saturateToInt64(float(n) * f + float(a)));
    }
}

void buildSpikeAxes(const ParameterBlock& block, DerivedValues& d, SunTables& tables, int32_t renderScale,
                    float unit) {
    d.flareOffsetAngle = offsetDirection(block.flareX, block.flareY);
    d.flareOffsetLength = offsetLength(block.flareX, block.flareY);
    const double length = finiteOrZero(d.flareOffsetLength);
    const float f = clampUnit(1.0 - 1.1 * std::max(0.0, (length - 0.25) / 0.75));
    // An integer angle in 1/2048 turns, times pi / 1024.01.
    const float base = float((int64_t(d.flareOffsetAngle) * 512 / 90) * 0.003067931700874575);
    const int64_t scale = std::max(renderScale, 1);
    const float acrossDivisor = unit * divisorOf(block.spikeWidth);
    const float alongDivisor = unit * divisorOf(block.spikeRadius);
    constexpr float kTwoPi = 6.283185307f;
    for (int k = 0; k < kSpikeAxisCount; ++k) {
        const int32_t r1 = noiseAt(tables, 200 + 5 * k);
        const int32_t r2 = noiseAt(tables, 202 + 5 * k) % 64;
        const int32_t r3 = noiseAt(tables, 204 + 5 * k) % 128;
        float a = base + float(((r1 * 256 + r1) % 1024) - 512) * f * 3.1415926f / 1024.01f;
        for (int twice = 0; twice < 2; ++twice) {
            if (a < 0) a += kTwoPi;
            if (a > kTwoPi) a -= kTwoPi;
        }
        const double x = double(a) - 1.5707963267948966;
        const int64_t s = int64_t(std::sin(x) * 255);
        const int64_t c = int64_t(std::cos(x) * 255);
        const int64_t q = 93 - r2 * r2 / 63;   // width weight 30..93
        const int64_t len = r3 + 30;           // length weight 30..157
        int32_t* axes = tables.spikeAxes[k];
        axes[0] = saturateToInt32(float(scale * s * q * 4 / 100) / acrossDivisor);
        axes[1] = saturateToInt32(float(scale * c * q * 4 / 100) / acrossDivisor);
        axes[2] = saturateToInt32(float(scale * c * len * 30 / 128) / alongDivisor);
        axes[3] = saturateToInt32(float(scale * s * len * 30 / 128) / alongDivisor);
    }
}

int32_t sunCentreOf(float fraction, int32_t extent) { return saturateToInt32(float(extent) * fraction); }

float detailScaleOf(int32_t sunDetail, int32_t renderScale, float unit) {
    return float(detailPercent(sunDetail)) / 100.0f * float(std::max(renderScale, 1)) / unit;
}

void setDetailValues(const ParameterBlock& block, DerivedValues& d, float detailScale, int32_t sunRadiusPixels) {
    d.smearStride = std::max(saturateToInt32(detailScale * 16.0f), 1);
    d.detailLevel = 0;
    if (detailScale <= 0.5555555555555556) d.detailLevel = 1;
    if (detailScale <= 0.2857142857142857) d.detailLevel = 2;
    const int64_t radius = sunRadiusPixels;
    d.swirlRadius =
        saturateTo<int32_t>(saturatingMultiply(int64_t(block.sunSwirlSize) * 32, radius) / 200);
    // A floating-point division: as integers, radius / 200 would be 0 for
    // every sun under 200 pixels.
    d.swirlStrength = saturateToInt32(double(int64_t(block.sunSmear) * 4) / (double(radius) / 200.0));
}

void buildSmoothstepTable(int32_t table[kSmoothstepEntries]) {
    for (int i = 0; i < kSmoothstepEntries; ++i) {
        const double t = i / 512.0;
        table[i] = int32_t((3.0 - 2.0 * t) * 512.0 * t * t);
    }
}

void buildSphereTable(uint16_t* table, int32_t lastIndex, float detailScale) {
    const double scale = double(4.0f * detailScale);
    for (int32_t i = 0; i <= lastIndex; ++i) {
        const double x = double(i) / double(lastIndex);
        const double v = scale * (std::asin(x) * 512.0 / 1.57079632679489) / (i == 0 ? 1.0 : x);
        table[i] = saturateTo<uint16_t>(saturateToInt64(v));
    }
}

void buildSwirlCentres(DerivedValues& derived, const SunTables& tables, int32_t sunRadiusPixels,
                       int32_t renderScale, uint16_t sphereLast) {
    const int64_t a = int64_t(sunRadiusPixels) * 4 / std::max(renderScale, 1);
    const int64_t m = (int64_t(sphereLast) * a) >> 8;
    for (int j = 0; j < kSwirlCentreCount; ++j) {
        // Stored as signed 16 bits, keeping the low bits as the program
        // always has (large suns with little detail wrap).
        const int64_t x = (int64_t(tables.noiseTable[400 + 2 * j]) - 128) * m / 128;
        const int64_t y = (int64_t(tables.noiseTable[401 + 2 * j]) - 128) * m / 128;
        derived.swirlCentresX[j] = int16_t(uint16_t(uint64_t(x)));
        derived.swirlCentresY[j] = int16_t(uint16_t(uint64_t(y)));
    }
}

}  // namespace lumenfall
