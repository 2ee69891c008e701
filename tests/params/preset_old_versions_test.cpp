// Files of older versions cut short: whatever version a file claims, a
// setting it never reached keeps the value it had, and no conversion of an
// old convention touches a setting that was not read.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "params/preset_format.h"
#include "params/preset_test_support.h"

using namespace lumenfall;
using namespace lumenfall::testing;

namespace {

// One value of the file: how the source holds it, and whether a loaded
// block still has the value of the block it was loaded over.
struct Probe {
    std::string name;
    std::function<int32_t(const ParameterBlock&)> fileValue;
    std::function<bool(const ParameterBlock&, const ParameterBlock&)> unchanged;
};

std::vector<Probe> everyProbe() {
    std::vector<Probe> probes;
    const std::pair<const char*, uint16_t ParameterBlock::*> unused[] = {};
    (void)unused;
    const std::pair<const char*, uint16_t (ParameterBlock::*)[3]> colours[] = {
        {"sunColor", &ParameterBlock::sunColor},       {"flareColor", &ParameterBlock::flareColor},
        {"haloColor", &ParameterBlock::haloColor},     {"reservedColorA", &ParameterBlock::reservedColorA},
        {"spikeColor", &ParameterBlock::spikeColor},   {"reservedColorB", &ParameterBlock::reservedColorB}};
    for (const auto& [name, colour] : colours)
        for (int c = 0; c < 3; ++c)
            probes.push_back({std::string(name) + "[" + std::to_string(c) + "]",
                              [colour = colour, c](const ParameterBlock& b) { return int32_t((b.*colour)[c]); },
                              [colour = colour, c](const ParameterBlock& a, const ParameterBlock& b) {
                                  return (a.*colour)[c] == (b.*colour)[c];
                              }});
    const std::pair<const char*, int32_t ParameterBlock::*> integers[] = {
        {"spikeBrightness", &ParameterBlock::spikeBrightness}, {"spikeWidth", &ParameterBlock::spikeWidth},
        {"spikeRadius", &ParameterBlock::spikeRadius},         {"spikeCount", &ParameterBlock::spikeCount},
        {"sunRadius", &ParameterBlock::sunRadius},             {"sunColdHot", &ParameterBlock::sunColdHot},
        {"sunSmear", &ParameterBlock::sunSmear},               {"sunSwirlSize", &ParameterBlock::sunSwirlSize},
        {"sunSwirlCount", &ParameterBlock::sunSwirlCount},     {"sunDetail", &ParameterBlock::sunDetail},
        {"spikeGamma", &ParameterBlock::spikeGamma},           {"vortices", &ParameterBlock::vortices},
        {"monopoles", &ParameterBlock::monopoles},             {"haloRadius", &ParameterBlock::haloRadius},
        {"haloBrightness", &ParameterBlock::haloBrightness},   {"bowRadius", &ParameterBlock::bowRadius},
        {"bowWidth", &ParameterBlock::bowWidth},               {"bowBrightness", &ParameterBlock::bowBrightness},
        {"flareWidth", &ParameterBlock::flareWidth},           {"flareCount", &ParameterBlock::flareCount},
        {"bowSmear", &ParameterBlock::bowSmear},               {"flareRadius", &ParameterBlock::flareRadius},
        {"sunType", &ParameterBlock::sunType},                 {"glue", &ParameterBlock::glue},
        {"masterBrightness", &ParameterBlock::masterBrightness}, {"flareDetail", &ParameterBlock::flareDetail},
        {"flipBow", &ParameterBlock::flipBow},                 {"spikeDiffraction", &ParameterBlock::spikeDiffraction},
        {"spikeDetail", &ParameterBlock::spikeDetail},         {"randomSeed", &ParameterBlock::randomSeed},
        {"flareBrightness", &ParameterBlock::flareBrightness}};
    for (const auto& [name, field] : integers)
        probes.push_back({name, [field = field](const ParameterBlock& b) { return b.*field; },
                          [field = field](const ParameterBlock& a, const ParameterBlock& b) {
                              return a.*field == b.*field;
                          }});
    const std::pair<const char*, float ParameterBlock::*> axes[] = {
        {"flareX", &ParameterBlock::flareX}, {"flareY", &ParameterBlock::flareY}, {"flareZ", &ParameterBlock::flareZ},
        {"spikeX", &ParameterBlock::spikeX}, {"spikeY", &ParameterBlock::spikeY}, {"spikeZ", &ParameterBlock::spikeZ}};
    for (const auto& [name, field] : axes)
        probes.push_back({name, [field = field](const ParameterBlock& b) { return int32_t(b.*field * 100.0); },
                          [field = field](const ParameterBlock& a, const ParameterBlock& b) {
                              return a.*field == b.*field;
                          }});
    for (const auto& [name, field] : {std::pair<const char*, float ParameterBlock::*>{"xCenter", &ParameterBlock::xCenter},
                                      {"yCenter", &ParameterBlock::yCenter}})
        probes.push_back({name, [field = field](const ParameterBlock& b) { return int32_t(double(b.*field) * 65536.0); },
                          [field = field](const ParameterBlock& a, const ParameterBlock& b) {
                              return a.*field == b.*field;
                          }});
    return probes;
}

// Index of the value in the file (0 is the version), or -1 when the
// version does not carry it. Every value of the source is distinct.
int32_t indexIn(const std::vector<uint8_t>& file, int32_t value) {
    for (size_t offset = 4; offset + 4 <= file.size(); offset += 4)
        if (valueAt(file, offset) == value) return int32_t(offset / 4);
    return -1;
}

}  // namespace

TEST(OldPresetVersions, CutShortAtEveryLengthLeaveWhatWasNotReadAlone) {
    auto source = newBlock();
    fillDistinct(*source, 100);  // settings 101..131: none equals a colour, an axis or a marker
    auto before = newBlock();
    fillDistinct(*before, 7);
    const std::vector<Probe> probes = everyProbe();
    for (int32_t version : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 19, 20, 39}) {
        const std::vector<uint8_t> file = legacyFile(version, *source);
        std::vector<int32_t> index;
        for (const Probe& p : probes) index.push_back(indexIn(file, p.fileValue(*source)));
        for (size_t length = 0; length < file.size(); ++length) {
            auto block = newBlock();
            std::memcpy(block.get(), before.get(), sizeof(ParameterBlock));
            const std::vector<uint8_t> cut(file.begin(), file.begin() + std::ptrdiff_t(length));
            ASSERT_EQ(readPresetBytes(block.get(), cut.data(), cut.size(), kReadSettings, nullptr, nullptr),
                      kPresetReadError);
            const int32_t valuesRead = int32_t(length / 4);
            for (size_t i = 0; i < probes.size(); ++i) {
                if (index[i] >= 0 && index[i] < valuesRead) continue;
                EXPECT_TRUE(probes[i].unchanged(*block, *before))
                    << probes[i].name << " changed by version " << version << " cut at " << length;
            }
        }
    }
}

// An old version's file ends with its settings: bytes after them are not a
// thumbnail block, and the thumbnail reader never sees them.
TEST(OldPresetVersions, TrailingBytesOfAnOldVersionAreNoThumbnail) {
    auto source = newBlock();
    fillDistinct(*source, 4);
    for (int32_t version : {20, 39}) {
        std::vector<uint8_t> file = legacyFile(version, *source);
        for (int32_t v : {1, 16, 16, 8}) putValue(file, v);
        file.insert(file.end(), 8, uint8_t(0xAB));
        int calls = 0;
        const PresetThumbnailSink sink{&calls, [](void* context, const uint8_t*, size_t, int32_t, int32_t) {
                                           ++*static_cast<int*>(context);
                                           return true;
                                       }};
        PresetLoadReport report;
        auto block = newBlock();
        EXPECT_EQ(readPresetBytes(block.get(), file.data(), file.size(), kReadSettings, &sink, &report), kPresetOk);
        EXPECT_EQ(calls, 0) << version;
        EXPECT_FALSE(report.thumbnailStored) << version;
    }
}
