#include "params/settings_table.h"
#include "params/byte_order.h"

#include <cstring>

namespace lumenfall {
namespace {

constexpr uint32_t key4(const char (&s)[5]) { return fourCharCode(s); }

constexpr uint32_t kLong = key4("long");
constexpr uint32_t kDoub = key4("doub");
constexpr uint32_t kSuty = key4("suty");
constexpr uint32_t kSgty = key4("sgty");

#define LF_COLOUR(member, channel) (offsetof(ParameterBlock, member) + (channel) * sizeof(uint16_t))
#define LF_FIELD(member) offsetof(ParameterBlock, member)

using K = SettingKind;

const SettingInfo kTable[kSettingCount] = {
    {1, "sun red", key4("0001"), kLong, K::Colour, LF_COLOUR(sunColor, 0), 142, 0, 100},
    {2, "sun green", key4("0002"), kLong, K::Colour, LF_COLOUR(sunColor, 1), 135, 0, 100},
    {3, "sun blue", key4("0003"), kLong, K::Colour, LF_COLOUR(sunColor, 2), 191, 0, 100},
    {4, "flare red", key4("0004"), kLong, K::Colour, LF_COLOUR(flareColor, 0), 185, 0, 100},
    {5, "flare green", key4("0005"), kLong, K::Colour, LF_COLOUR(flareColor, 1), 158, 0, 100},
    {6, "flare blue", key4("0006"), kLong, K::Colour, LF_COLOUR(flareColor, 2), 58, 0, 100},
    {7, "halo red", key4("0007"), kLong, K::Colour, LF_COLOUR(haloColor, 0), 207, 0, 100},
    {8, "halo green", key4("0008"), kLong, K::Colour, LF_COLOUR(haloColor, 1), 151, 0, 100},
    {9, "halo blue", key4("0009"), kLong, K::Colour, LF_COLOUR(haloColor, 2), 64, 0, 100},
    {10, "spike brightness", key4("0010"), kLong, K::Integer, LF_FIELD(spikeBrightness), 61, 0, 100},
    {11, "spike width", key4("0011"), kLong, K::Integer, LF_FIELD(spikeWidth), 52, 0, 100},
    {12, "spike radius", key4("0012"), kLong, K::Integer, LF_FIELD(spikeRadius), 77, 0, 100},
    {13, "spike count", key4("0013"), kLong, K::Integer, LF_FIELD(spikeCount), 94, 0, 100},
    {14, "sun radius", key4("0014"), kLong, K::Integer, LF_FIELD(sunRadius), 38, 0, 100},
    {15, "sun cold/hot", key4("0015"), kLong, K::Integer, LF_FIELD(sunColdHot), 0, 0, 100},
    {16, "sun smear", key4("0016"), kLong, K::Integer, LF_FIELD(sunSmear), 24, 0, 100},
    {17, "sun swirl size", key4("0017"), kLong, K::Integer, LF_FIELD(sunSwirlSize), 30, 0, 100},
    {18, "sun swirl count", key4("0018"), kLong, K::Integer, LF_FIELD(sunSwirlCount), 26, 0, 100},
    {19, "sun detail", key4("0019"), kLong, K::Integer, LF_FIELD(sunDetail), 83, 0, 100},
    {20, "spike gamma", key4("0020"), kLong, K::Integer, LF_FIELD(spikeGamma), 51, 0, 100},
    {21, "vortices", key4("0021"), kLong, K::Switch, LF_FIELD(vortices), 1, 0, 1},
    {22, "monopoles", key4("0022"), kLong, K::Switch, LF_FIELD(monopoles), 0, 0, 1},
    {23, "halo radius", key4("0023"), kLong, K::Integer, LF_FIELD(haloRadius), 67, 0, 100},
    {24, "halo brightness", key4("0024"), kLong, K::Integer, LF_FIELD(haloBrightness), 99, 0, 100},
    {25, "bow radius", key4("0025"), kLong, K::Integer, LF_FIELD(bowRadius), 35, 0, 100},
    {26, "bow width", key4("0026"), kLong, K::Integer, LF_FIELD(bowWidth), 72, 0, 100},
    {27, "bow brightness", key4("0027"), kLong, K::Integer, LF_FIELD(bowBrightness), 42, 0, 100},
    {28, "flare width", key4("0028"), kLong, K::Integer, LF_FIELD(flareWidth), 49, 0, 100},
    {29, "flare count", key4("0029"), kLong, K::Integer, LF_FIELD(flareCount), 45, 0, 100},
    {30, "spike red", key4("0030"), kLong, K::Colour, LF_COLOUR(spikeColor, 0), 191, 0, 100},
    {31, "spike green", key4("0031"), kLong, K::Colour, LF_COLOUR(spikeColor, 1), 153, 0, 100},
    {32, "spike blue", key4("0032"), kLong, K::Colour, LF_COLOUR(spikeColor, 2), 88, 0, 100},
    {33, "bow smear", key4("0033"), kLong, K::Integer, LF_FIELD(bowSmear), 94, 0, 100},
    {34, "flare radius", key4("0034"), kLong, K::Integer, LF_FIELD(flareRadius), 47, 0, 100},
    {35, "sun type", key4("suky"), kSuty, K::SunType, LF_FIELD(sunType), 1, 1, 3},
    {36, "glue", key4("sgky"), kSgty, K::Glue, LF_FIELD(glue), 1, 1, 19},
    {37, "master brightness", key4("0037"), kLong, K::Integer, LF_FIELD(masterBrightness), 30, 0, 100},
    {38, "flare detail", key4("0038"), kLong, K::Integer, LF_FIELD(flareDetail), 25, 0, 100},
    {39, "flip bow", key4("0039"), kLong, K::Switch, LF_FIELD(flipBow), 1, 0, 1},
    {40, "spike diffraction", key4("0040"), kLong, K::Integer, LF_FIELD(spikeDiffraction), 25, 0, 100},
    {41, "spike detail ", key4("0041"), kLong, K::Integer, LF_FIELD(spikeDetail), 33, 0, 100},
    {42, "flare X", key4("0042"), kLong, K::Axis, LF_FIELD(flareX), -0.3, -1, 1},
    {43, "flare Y", key4("0043"), kLong, K::Axis, LF_FIELD(flareY), -0.18, -1, 1},
    {44, "spike X", key4("0045"), kLong, K::Axis, LF_FIELD(spikeX), 0, -1, 1},
    {45, "spike Y", key4("0046"), kLong, K::Axis, LF_FIELD(spikeY), 0, -1, 1},
    {46, "random seed", key4("0048"), kLong, K::Integer, LF_FIELD(randomSeed), 203, 0, 2047},
    {47, "flare brightness", key4("0049"), kLong, K::Integer, LF_FIELD(flareBrightness), 50, 0, 100},
    {48, "X center", key4("0050"), kDoub, K::Axis, LF_FIELD(xCenter), 0.65, 0, 1},
    {49, "Y center", key4("0051"), kDoub, K::Axis, LF_FIELD(yCenter), 0.5, 0, 1},
};

#undef LF_COLOUR
#undef LF_FIELD

template <typename T>
T* fieldAt(ParameterBlock& block, const SettingInfo& s) {
    return reinterpret_cast<T*>(reinterpret_cast<char*>(&block) + s.offset);
}
template <typename T>
const T* fieldAt(const ParameterBlock& block, const SettingInfo& s) {
    return reinterpret_cast<const T*>(reinterpret_cast<const char*>(&block) + s.offset);
}

}  // namespace

const SettingInfo* settingsTable() { return kTable; }

const SettingInfo* findSettingByName(const char* name) {
    if (!name) return nullptr;
    for (const SettingInfo& s : kTable)
        if (std::strcmp(s.name, name) == 0) return &s;
    return nullptr;
}

const SettingInfo* findSettingByKey(uint32_t key) {
    for (const SettingInfo& s : kTable)
        if (s.key == key) return &s;
    return nullptr;
}

uint16_t* colourField(ParameterBlock& b, const SettingInfo& s) { return fieldAt<uint16_t>(b, s); }
int32_t* intField(ParameterBlock& b, const SettingInfo& s) { return fieldAt<int32_t>(b, s); }
float* floatField(ParameterBlock& b, const SettingInfo& s) { return fieldAt<float>(b, s); }
const uint16_t* colourField(const ParameterBlock& b, const SettingInfo& s) { return fieldAt<uint16_t>(b, s); }
const int32_t* intField(const ParameterBlock& b, const SettingInfo& s) { return fieldAt<int32_t>(b, s); }
const float* floatField(const ParameterBlock& b, const SettingInfo& s) { return fieldAt<float>(b, s); }

}  // namespace lumenfall
