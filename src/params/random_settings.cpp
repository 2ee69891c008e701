#include "params/random_settings.h"

#include <cstring>

#include "platform/random.h"

namespace lumenfall {

int64_t randomDrawMask(int64_t span) {
    if (span < 2) return 1;
    int64_t mask = 3;
    while (mask < span && mask < 0x7FFFFFFF) mask = mask * 2 + 1;
    return mask;
}

int32_t randomInteger(int32_t lo, int32_t hi) {
    if (lo > hi) {
        const int32_t t = lo;
        lo = hi;
        hi = t;
    }
    // 64-bit: the span of the whole 32-bit range does not fit 32 bits.
    const int64_t mask = randomDrawMask(int64_t(hi) - int64_t(lo));
    for (;;) {
        const int64_t v = ((int64_t(nextRandom()) >> 4) & mask) + lo;
        if (v <= hi) return int32_t(v);
    }
}

void randomColour(uint16_t (&colour)[3]) {
    for (uint16_t& channel : colour) channel = uint16_t((nextRandom() % 256) * 256);
}

namespace {

// (R(0, 140) - 70) / 100 in double precision, stored as a single float.
float randomAxisComponent() { return float((randomInteger(0, 140) - 70) / 100.0); }

}  // namespace

void rollAllSettings(ParameterBlock& b) {
    b.spikeBrightness = randomInteger(0, 100);
    b.spikeWidth = randomInteger(0, 100);
    b.spikeRadius = randomInteger(0, 100);
    b.spikeCount = randomInteger(0, 100);
    b.sunRadius = randomInteger(0, 50);
    b.sunColdHot = randomInteger(0, 100);
    b.sunSmear = randomInteger(0, 30);
    b.sunSwirlSize = randomInteger(5, 50);
    b.sunSwirlCount = randomInteger(0, 30);
    b.sunDetail = randomInteger(30, 70);
    b.spikeGamma = randomInteger(0, 100);
    b.vortices = randomInteger(0, 1);
    b.monopoles = randomInteger(0, 1);
    randomColour(b.sunColor);
    randomColour(b.flareColor);
    randomColour(b.haloColor);
    b.haloRadius = randomInteger(0, 100);
    b.haloBrightness = randomInteger(30, 70);
    b.bowRadius = randomInteger(0, 100);
    b.bowWidth = randomInteger(0, 100);
    b.masterBrightness = randomInteger(25, 37);
    b.flareDetail = 25;
    b.flareBrightness = 50 + randomInteger(0, 50);
    b.flipBow = randomInteger(0, 1);
    b.bowBrightness = randomInteger(0, 100);
    b.flareWidth = randomInteger(0, 100);
    b.flareCount = randomInteger(0, 20);
    b.spikeDiffraction = randomInteger(0, 100);
    b.spikeDetail = randomInteger(20, 80);
    b.randomSeed = nextRandom() % 2048;
    randomColour(b.spikeColor);
    randomColour(b.reservedColorB);
    std::memcpy(b.reservedColorA, b.haloColor, sizeof b.reservedColorA);
    b.sunType = kSunNormal;
    if (randomInteger(0, 100) > 94) b.sunType = kSunEclipse;  // "flat" is never rolled
    b.bowSmear = randomInteger(0, 100);
    b.flareRadius = randomInteger(0, 50);
    // Most rolls give the spikes the sun's colour.
    if (randomInteger(0, 100) > 20) std::memcpy(b.spikeColor, b.sunColor, sizeof b.spikeColor);
    b.flareX = b.flareY = b.flareZ = 0.0f;
    if (randomInteger(0, 100) > 60) {
        b.flareX = randomAxisComponent();
        b.flareY = randomAxisComponent();
    }
    b.spikeX = b.spikeY = b.spikeZ = 0.0f;
    if (randomInteger(0, 100) > 60) {
        b.spikeX = randomAxisComponent();
        b.spikeY = randomAxisComponent();
    }
}

void rollSeed(ParameterBlock& block) { block.randomSeed = nextRandom() % 2048; }

void nextGlueMode(ParameterBlock& block) {
    block.glue = (block.glue >= 1 && block.glue < kGlueModeCount) ? block.glue + 1 : 1;
}

}  // namespace lumenfall
