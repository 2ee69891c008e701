// Blocks with distinct values in every setting, and preset files of any
// version built value by value, for the preset reader's tests.
#ifndef LUMENFALL_TESTS_PARAMS_PRESET_TEST_SUPPORT_H
#define LUMENFALL_TESTS_PARAMS_PRESET_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "params/defaults.h"
#include "params/parameter_block.h"
#include "params/preset_format.h"

namespace lumenfall::testing {

inline std::unique_ptr<ParameterBlock> newBlock() {
    auto block = std::make_unique<ParameterBlock>();
    std::memset(block.get(), 0, sizeof(ParameterBlock));
    initialiseParameterBlock(*block);
    return block;
}

// Every setting different from the defaults and from each other; colours
// with non-zero low bytes; axes at values the file carries exactly.
inline void fillDistinct(ParameterBlock& b, int32_t base) {
    uint16_t c = uint16_t(0x1111 + base);
    for (uint16_t* colour : {b.sunColor, b.flareColor, b.haloColor, b.reservedColorA, b.spikeColor, b.reservedColorB})
        for (int i = 0; i < 3; ++i) colour[i] = uint16_t(c += 0x0F0F);
    int32_t v = base;
    for (int32_t* f : {&b.spikeBrightness, &b.spikeWidth, &b.spikeRadius, &b.spikeCount, &b.sunRadius, &b.sunColdHot,
                       &b.sunSmear, &b.sunSwirlSize, &b.sunSwirlCount, &b.sunDetail, &b.spikeGamma, &b.vortices,
                       &b.monopoles, &b.sunType, &b.haloRadius, &b.haloBrightness, &b.bowRadius, &b.bowWidth,
                       &b.bowBrightness, &b.bowSmear, &b.flareRadius, &b.flareWidth, &b.flareCount,
                       &b.masterBrightness, &b.flareDetail, &b.flareBrightness, &b.flipBow, &b.spikeDiffraction,
                       &b.spikeDetail, &b.glue, &b.randomSeed})
        *f = ++v;
    // Binary fractions survive the hundredths and 1/65536 units exactly.
    const float axes[6] = {0.5f, -0.25f, 0.75f, -0.5f, 0.25f, -0.75f};
    float* fields[6] = {&b.flareX, &b.flareY, &b.flareZ, &b.spikeX, &b.spikeY, &b.spikeZ};
    for (int i = 0; i < 6; ++i) *fields[i] = axes[(i + base) % 6];
    b.xCenter = float(base % 7) / 8.0f;
    b.yCenter = 0.375f + float(base % 3) / 16.0f;
}

inline void putValue(std::vector<uint8_t>& out, int32_t value) {
    const uint32_t v = uint32_t(value);
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

inline int32_t valueAt(const std::vector<uint8_t>& bytes, size_t offset) {
    return int32_t((uint32_t(bytes[offset]) << 24) | (uint32_t(bytes[offset + 1]) << 16) |
                   (uint32_t(bytes[offset + 2]) << 8) | uint32_t(bytes[offset + 3]));
}

// A file of `version` holding the settings of `s`, field by field as each
// version of the format laid them out; version 40 and above end with "no
// thumbnail".
inline std::vector<uint8_t> legacyFile(int32_t version, const ParameterBlock& s) {
    std::vector<uint8_t> out;
    auto colour = [&](const uint16_t (&c)[3]) {
        for (uint16_t ch : c) putValue(out, ch);
    };
    putValue(out, version);
    colour(s.sunColor);
    colour(s.flareColor);
    colour(s.haloColor);
    for (int32_t v : {s.spikeBrightness, s.spikeWidth, s.spikeRadius, s.spikeCount, s.sunRadius, s.sunColdHot,
                      s.sunSmear, s.sunSwirlSize, s.sunSwirlCount, s.sunDetail, s.spikeGamma, s.vortices,
                      s.monopoles, s.haloRadius, s.haloBrightness, s.bowRadius, s.bowWidth, s.bowBrightness,
                      s.flareWidth, s.flareCount})
        putValue(out, v);
    colour(s.reservedColorA);
    colour(s.spikeColor);
    if (version >= 2) {
        colour(s.reservedColorB);
        for (int32_t v : {s.bowSmear, s.flareRadius, s.sunType}) putValue(out, v);
    }
    if (version >= 3) {
        putValue(out, s.glue);
        putValue(out, 1);
    }
    if (version >= 4)
        for (int32_t v : {s.masterBrightness, s.flareDetail, s.flipBow}) putValue(out, v);
    if (version >= 5)
        for (int32_t v : {s.spikeDiffraction, s.spikeDetail}) putValue(out, v);
    if (version >= 8)
        for (float a : {s.flareX, s.flareY, s.flareZ, s.spikeX, s.spikeY, s.spikeZ}) putValue(out, int32_t(a * 100.0));
    if (version >= 12) putValue(out, s.randomSeed);
    if (version >= 14) putValue(out, s.flareBrightness);
    if (version >= 16) putValue(out, 1);
    if (version >= 20) {
        putValue(out, int32_t(double(s.xCenter) * 65536.0));
        putValue(out, int32_t(double(s.yCenter) * 65536.0));
    }
    if (version >= 40) putValue(out, 0);
    return out;
}

// Every setting the file format carries, compared field by field.
inline void expectSameSettings(const ParameterBlock& a, const ParameterBlock& b) {
    EXPECT_EQ(presetSettingsBytes(a), presetSettingsBytes(b));
    EXPECT_EQ(a.flareX, b.flareX);
    EXPECT_EQ(a.flareY, b.flareY);
    EXPECT_EQ(a.flareZ, b.flareZ);
    EXPECT_EQ(a.spikeX, b.spikeX);
    EXPECT_EQ(a.spikeY, b.spikeY);
    EXPECT_EQ(a.spikeZ, b.spikeZ);
    EXPECT_EQ(a.xCenter, b.xCenter);
    EXPECT_EQ(a.yCenter, b.yCenter);
}

}  // namespace lumenfall::testing

#endif
