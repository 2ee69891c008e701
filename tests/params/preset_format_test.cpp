#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "params/preset_format.h"
#include "params/preset_test_support.h"
#include "params/scoped_temp_folder.h"

using namespace lumenfall;
using namespace lumenfall::testing;

namespace {

int32_t load(ParameterBlock& block, const std::vector<uint8_t>& bytes, PresetReadMode mode = kReadSettings,
             const PresetThumbnailSink* sink = nullptr, PresetLoadReport* report = nullptr) {
    return readPresetBytes(&block, bytes.data(), bytes.size(), mode, sink, report);
}

// Records what a reader hands to its sink.
struct SinkRecord {
    int calls = 0;
    size_t size = 0;
    int32_t width = -1, height = -1;
    bool answer = true;
};
bool recordThumbnail(void* context, const uint8_t*, size_t size, int32_t width, int32_t height) {
    auto* r = static_cast<SinkRecord*>(context);
    ++r->calls;
    r->size = size;
    r->width = width;
    r->height = height;
    return r->answer;
}
PresetThumbnailSink sinkFor(SinkRecord& record) { return PresetThumbnailSink{&record, recordThumbnail}; }

std::vector<uint8_t> withThumbnail(std::vector<uint8_t> file, int32_t flag, int32_t width, int32_t height,
                                   int32_t length, size_t bytesPresent) {
    file.resize(file.size() - 4);  // drop the "no thumbnail" value
    for (int32_t v : {flag, width, height, length}) putValue(file, v);
    file.insert(file.end(), bytesPresent, uint8_t(0xAB));
    return file;
}

}  // namespace

TEST(PresetWriter, DefaultPresetIs244BytesWithEveryFieldAtItsOffset) {
    auto block = newBlock();
    const std::vector<uint8_t> file = presetFileBytes(*block, nullptr);
    ASSERT_EQ(file.size(), 244u);
    const int32_t expected[][2] = {
        {0, 40},           {4, 142 * 256},   {8, 135 * 256},   {12, 191 * 256},  {16, 185 * 256},
        {20, 158 * 256},   {24, 58 * 256},   {28, 207 * 256},  {32, 151 * 256},  {36, 64 * 256},
        {40, 61},          {44, 52},         {48, 77},         {52, 94},         {56, 38},
        {60, 0},           {64, 24},         {68, 30},         {72, 26},         {76, 83},
        {80, 51},          {84, 1},          {88, 0},          {92, 67},         {96, 99},
        {100, 35},         {104, 72},        {108, 42},        {112, 49},        {116, 45},
        {120, 207 * 256},  {124, 151 * 256}, {128, 64 * 256},  {132, 191 * 256}, {136, 153 * 256},
        {140, 88 * 256},   {144, 0},         {148, 0},         {152, 0},         {156, 94},
        {160, 47},         {164, 1},         {168, 1},         {172, 1},         {176, 30},
        {180, 25},         {184, 1},         {188, 25},        {192, 33},
        {196, -30},        // -0.3f * 100 = -30.0000012, truncated
        {200, -18},        {204, 93},        // flareZ 0.9368030 * 100
        {208, 0},          {212, 0},         {216, 0},         {220, 203},       {224, 50},
        {228, 1},          {232, 42598},     // 0.65f * 65536 = 42598.398
        {236, 32768},      {240, 0},
    };
    for (const auto& e : expected) EXPECT_EQ(valueAt(file, size_t(e[0])), e[1]) << "offset " << e[0];
}

TEST(PresetWriter, FloatsOutsideTheIntegerRangeHaveADefinedValue) {
    EXPECT_EQ(scaledSetting(-0.305f, 100.0), -30);  // truncated toward zero, not rounded
    EXPECT_EQ(scaledSetting(0.999f, 100.0), 99);
    EXPECT_EQ(scaledSetting(std::numeric_limits<float>::quiet_NaN(), 100.0), 0);
    EXPECT_EQ(scaledSetting(std::numeric_limits<float>::infinity(), 100.0), INT32_MAX);
    EXPECT_EQ(scaledSetting(-std::numeric_limits<float>::infinity(), 65536.0), INT32_MIN);
    EXPECT_EQ(scaledSetting(1e30f, 65536.0), INT32_MAX);
    EXPECT_EQ(scaledSetting(-32768.0f, 65536.0), INT32_MIN);        // exactly -2^31
    EXPECT_EQ(scaledSetting(32767.99f, 65536.0), 2147483008);      // still in range
    auto block = newBlock();
    block->xCenter = std::numeric_limits<float>::quiet_NaN();
    block->spikeZ = -1e20f;
    const auto file = presetFileBytes(*block, nullptr);
    EXPECT_EQ(valueAt(file, 232), 0);
    EXPECT_EQ(valueAt(file, 216), INT32_MIN);
}

TEST(PresetWriter, ThumbnailBlockFollowsTheSettings) {
    auto block = newBlock();
    std::vector<uint8_t> thumbnail;
    for (int32_t v : {1, 128, 128, 3}) putValue(thumbnail, v);
    thumbnail.insert(thumbnail.end(), {0xFF, 0xD8, 0xFF});
    const auto file = presetFileBytes(*block, &thumbnail);
    ASSERT_EQ(file.size(), 240u + 16u + 3u);
    EXPECT_EQ(valueAt(file, 240), 1);
    EXPECT_EQ(valueAt(file, 252), 3);
    EXPECT_EQ(file[256], 0xFF);
}

TEST(PresetRoundTrip, EverySettingComesBackButTheQuantisedFloats) {
    ScopedTempFolder temp;
    auto saved = newBlock();
    fillDistinct(*saved, 3);
    saved->sunColor[0] = 0x12FF;             // a low byte survives presets
    saved->spikeBrightness = INT32_MIN;      // any 32-bit value survives
    saved->flareCount = INT32_MAX;
    saved->glue = 0;
    saved->flareX = -0.305f;
    saved->flareY = 0.1234f;
    saved->spikeZ = 0.29f;                   // 0.28999999 * 100 truncates to 28
    saved->xCenter = 0.65f;
    saved->yCenter = 1.0f / 3.0f;
    const std::string path = temp.path("round.q4q");
    ASSERT_EQ(savePresetFile(*saved, path.c_str(), nullptr), kPresetOk);

    auto loaded = newBlock();
    fillDistinct(*loaded, 11);
    PresetLoadReport report;
    ASSERT_EQ(loadPresetFile(loaded.get(), path.c_str(), kReadSettings, nullptr, &report), kPresetOk);
    EXPECT_EQ(report.version, 40);
    EXPECT_EQ(report.valuesRead, 61);
    EXPECT_FALSE(report.thumbnailStored);

    EXPECT_EQ(loaded->flareX, float(-30 * 0.01));   // -0.305 becomes -0.30
    EXPECT_EQ(loaded->flareY, float(12 * 0.01));
    EXPECT_EQ(loaded->spikeZ, float(28 * 0.01));
    EXPECT_EQ(loaded->xCenter, float(42598 / 65536.0));
    EXPECT_EQ(loaded->yCenter, float(21845 / 65536.0));
    // Everything else exactly: put the quantised values back and compare all.
    saved->flareX = loaded->flareX;
    saved->flareY = loaded->flareY;
    saved->spikeZ = loaded->spikeZ;
    saved->xCenter = loaded->xCenter;
    saved->yCenter = loaded->yCenter;
    expectSameSettings(*loaded, *saved);
    EXPECT_EQ(loaded->sunColor[0], 0x12FF);
    EXPECT_EQ(loaded->reservedColorB[2], saved->reservedColorB[2]);
    EXPECT_EQ(loaded->flareZ, saved->flareZ);
}

TEST(PresetRoundTrip, ModeOneLeavesTheBlockAlone) {
    auto source = newBlock();
    fillDistinct(*source, 5);
    auto block = newBlock();
    fillDistinct(*block, 9);
    auto before = newBlock();
    std::memcpy(before.get(), block.get(), sizeof(ParameterBlock));
    const auto file = withThumbnail(legacyFile(40, *source), 1, 64, 32, 10, 10);
    SinkRecord record;
    const PresetThumbnailSink sink = sinkFor(record);
    PresetLoadReport report;
    EXPECT_EQ(load(*block, file, kReadThumbnailOnly, &sink, &report), kPresetOk);
    EXPECT_EQ(std::memcmp(block.get(), before.get(), sizeof(ParameterBlock)), 0);
    EXPECT_EQ(record.calls, 1);
    EXPECT_EQ(record.width, 64);
    EXPECT_EQ(record.height, 32);
    EXPECT_TRUE(report.thumbnailLoaded);
    // Version 5 in mode 1: still no conversion, no change.
    EXPECT_EQ(load(*block, legacyFile(5, *source), kReadThumbnailOnly), kPresetOk);
    EXPECT_EQ(std::memcmp(block.get(), before.get(), sizeof(ParameterBlock)), 0);
}

// Older versions: each test names what the version holds and how it is converted.
class LegacyPreset : public ::testing::Test {
protected:
    void SetUp() override {
        fillDistinct(*source, 1);
        fillDistinct(*before, 40);
    }
    // Loads `version` over a copy of `before`; `expected` starts as that copy.
    void loadVersion(int32_t version) {
        std::memcpy(expected.get(), before.get(), sizeof(ParameterBlock));
        std::memcpy(result.get(), before.get(), sizeof(ParameterBlock));
        ASSERT_EQ(load(*result, legacyFile(version, *source)), kPresetOk);
    }
    // The fields every version holds, unconverted.
    void expectCommonFields() {
        auto& e = *expected;
        const auto& s = *source;
        std::memcpy(e.sunColor, s.sunColor, 6);
        std::memcpy(e.flareColor, s.flareColor, 6);
        std::memcpy(e.haloColor, s.haloColor, 6);
        std::memcpy(e.reservedColorA, s.reservedColorA, 6);
        std::memcpy(e.spikeColor, s.spikeColor, 6);
        for (auto f : {&ParameterBlock::spikeBrightness, &ParameterBlock::spikeWidth, &ParameterBlock::spikeRadius,
                       &ParameterBlock::spikeCount, &ParameterBlock::sunRadius, &ParameterBlock::sunColdHot,
                       &ParameterBlock::sunSmear, &ParameterBlock::sunSwirlSize, &ParameterBlock::sunSwirlCount,
                       &ParameterBlock::sunDetail, &ParameterBlock::spikeGamma, &ParameterBlock::vortices,
                       &ParameterBlock::monopoles, &ParameterBlock::haloRadius, &ParameterBlock::haloBrightness,
                       &ParameterBlock::bowRadius, &ParameterBlock::bowWidth, &ParameterBlock::bowBrightness,
                       &ParameterBlock::flareWidth, &ParameterBlock::flareCount})
            e.*f = s.*f;
    }
    void take(std::initializer_list<int32_t ParameterBlock::*> fields) {
        for (auto f : fields) (*expected).*f = (*source).*f;
    }
    std::unique_ptr<ParameterBlock> source = newBlock(), before = newBlock(), expected = newBlock(),
                                    result = newBlock();
};

TEST_F(LegacyPreset, Version1KeepsLaterFieldsAndSetsTheOldDefaults) {
    loadVersion(1);
    expectCommonFields();
    auto& e = *expected;
    e.haloBrightness = 100 - source->haloBrightness;
    std::memcpy(e.spikeColor, source->sunColor, 6);
    e.spikeDiffraction = 100;
    e.spikeGamma = 50;
    e.bowSmear = 0;
    expectSameSettings(*result, e);
    EXPECT_EQ(result->sunType, before->sunType);
    EXPECT_EQ(result->glue, before->glue);
    EXPECT_EQ(result->reservedColorB[1], before->reservedColorB[1]);
}

TEST_F(LegacyPreset, Version2ReadsSunTypeOneLowerAndTheBowSmearIsCleared) {
    loadVersion(2);
    expectCommonFields();
    auto& e = *expected;
    std::memcpy(e.reservedColorB, source->reservedColorB, 6);
    take({&ParameterBlock::flareRadius});
    e.sunType = source->sunType + 1;
    e.bowSmear = 0;
    e.haloBrightness = 100 - source->haloBrightness;
    std::memcpy(e.spikeColor, source->sunColor, 6);
    e.spikeDiffraction = 100;
    e.spikeGamma = 50;
    expectSameSettings(*result, e);
}

TEST_F(LegacyPreset, Version4AddsGlueAndMasterBrightness) {
    loadVersion(4);
    expectCommonFields();
    auto& e = *expected;
    std::memcpy(e.reservedColorB, source->reservedColorB, 6);
    take({&ParameterBlock::flareRadius, &ParameterBlock::glue, &ParameterBlock::masterBrightness,
          &ParameterBlock::flareDetail, &ParameterBlock::flipBow});
    e.sunType = source->sunType + 1;
    e.bowSmear = 0;
    e.haloBrightness = 100 - source->haloBrightness;
    std::memcpy(e.spikeColor, source->sunColor, 6);
    e.spikeDiffraction = 100;
    e.spikeGamma = 50;
    expectSameSettings(*result, e);
    EXPECT_EQ(result->spikeDetail, before->spikeDetail);
}

TEST_F(LegacyPreset, Version5ReadsSpikeDiffractionButEndsWith100) {
    loadVersion(5);
    EXPECT_EQ(result->spikeDiffraction, 100);
    EXPECT_EQ(result->spikeDetail, 100 - source->spikeDetail);
    EXPECT_EQ(result->spikeGamma, 50);
    EXPECT_EQ(result->spikeColor[2], source->sunColor[2]);
    EXPECT_EQ(result->flareX, before->flareX);
    loadVersion(6);
    EXPECT_EQ(result->spikeDiffraction, 100);
}

TEST_F(LegacyPreset, Version7KeepsItsSpikeFieldsAndStillClearsTheBowSmear) {
    loadVersion(7);
    expectCommonFields();
    auto& e = *expected;
    std::memcpy(e.reservedColorB, source->reservedColorB, 6);
    take({&ParameterBlock::flareRadius, &ParameterBlock::glue, &ParameterBlock::masterBrightness,
          &ParameterBlock::flareDetail, &ParameterBlock::flipBow, &ParameterBlock::spikeDiffraction});
    e.sunType = source->sunType + 1;
    e.bowSmear = 0;
    e.haloBrightness = 100 - source->haloBrightness;
    e.spikeDetail = 100 - source->spikeDetail;
    expectSameSettings(*result, e);
}

TEST_F(LegacyPreset, Version8AddsTheAxesInHundredths) {
    loadVersion(8);
    EXPECT_EQ(result->flareX, source->flareX);
    EXPECT_EQ(result->spikeZ, source->spikeZ);
    EXPECT_EQ(result->bowSmear, 0);
    EXPECT_EQ(result->randomSeed, before->randomSeed);
    loadVersion(9);
    EXPECT_EQ(result->bowSmear, source->bowSmear);
}

TEST_F(LegacyPreset, Version10SunTypeZeroIsNormal) {
    source->sunType = 0;
    loadVersion(10);
    EXPECT_EQ(result->sunType, 1);
    source->sunType = 2;
    loadVersion(11);
    EXPECT_EQ(result->sunType, 2);
    EXPECT_EQ(result->spikeDetail, 100 - source->spikeDetail);
}

TEST_F(LegacyPreset, Versions12To20AddSeedBrightnessMarkerAndCentre) {
    loadVersion(12);
    EXPECT_EQ(result->randomSeed, source->randomSeed);
    EXPECT_EQ(result->spikeDetail, 100 - source->spikeDetail);
    EXPECT_EQ(result->flareBrightness, before->flareBrightness);
    loadVersion(13);
    EXPECT_EQ(result->spikeDetail, source->spikeDetail);
    loadVersion(14);
    EXPECT_EQ(result->flareBrightness, source->flareBrightness);
    EXPECT_EQ(result->haloBrightness, 100 - source->haloBrightness);
    loadVersion(15);
    EXPECT_EQ(result->haloBrightness, source->haloBrightness);
    loadVersion(16);
    EXPECT_EQ(result->xCenter, before->xCenter);
    loadVersion(20);
    EXPECT_EQ(result->xCenter, source->xCenter);
    EXPECT_EQ(result->yCenter, source->yCenter);
    EXPECT_EQ(result->sunType, source->sunType);
    // Everything a version-20 file holds, unconverted from version 15 on.
    expectCommonFields();
    std::memcpy(expected->reservedColorB, source->reservedColorB, 6);
    take({&ParameterBlock::flareRadius, &ParameterBlock::glue, &ParameterBlock::masterBrightness,
          &ParameterBlock::flareDetail, &ParameterBlock::flipBow, &ParameterBlock::spikeDiffraction,
          &ParameterBlock::spikeDetail, &ParameterBlock::bowSmear, &ParameterBlock::sunType,
          &ParameterBlock::randomSeed, &ParameterBlock::flareBrightness});
    for (auto f : {&ParameterBlock::flareX, &ParameterBlock::flareY, &ParameterBlock::flareZ, &ParameterBlock::spikeX,
                   &ParameterBlock::spikeY, &ParameterBlock::spikeZ, &ParameterBlock::xCenter,
                   &ParameterBlock::yCenter})
        (*expected).*f = (*source).*f;
    expectSameSettings(*result, *expected);
}

TEST_F(LegacyPreset, TheWriterAndTheVersion40LayoutAgree) {
    EXPECT_EQ(legacyFile(40, *source), presetFileBytes(*source, nullptr));
}

TEST_F(LegacyPreset, OddVersionsReadAsTheNearestKnownLayout) {
    // Above 40: read as 40, the thumbnail block included.
    auto file = legacyFile(40, *source);
    putValue(file, 0);  // ignored: the file ended at the thumbnail flag
    file[3] = 77;
    std::memcpy(result.get(), before.get(), sizeof(ParameterBlock));
    PresetLoadReport report;
    EXPECT_EQ(load(*result, file, kReadSettings, nullptr, &report), kPresetOk);
    EXPECT_EQ(report.version, 77);
    EXPECT_EQ(result->xCenter, source->xCenter);
    // 0 and negative versions hold only the fields of every version and
    // get every conversion of the oldest files.
    for (int32_t version : {0, -1, INT32_MIN}) {
        loadVersion(version);
        EXPECT_EQ(result->haloBrightness, 100 - source->haloBrightness);
        EXPECT_EQ(result->sunType, before->sunType);
        EXPECT_EQ(result->spikeDiffraction, 100);
        EXPECT_EQ(result->bowSmear, 0);
    }
}

TEST(PresetReader, ConversionsWrapInsteadOfOverflowing) {
    auto source = newBlock();
    source->haloBrightness = INT32_MIN;
    source->sunType = INT32_MAX;
    auto block = newBlock();
    ASSERT_EQ(load(*block, legacyFile(10, *source)), kPresetOk);
    EXPECT_EQ(block->haloBrightness, int32_t(100u - 0x80000000u));
    EXPECT_EQ(block->sunType, INT32_MIN);
}

TEST(PresetReader, ColoursKeepTheLow16BitsOfTheValue) {
    auto source = newBlock();
    auto file = presetFileBytes(*source, nullptr);
    file[4] = 0x7F; file[5] = 0x01; file[6] = 0xAB; file[7] = 0xCD;  // sun red 0x7F01ABCD
    auto block = newBlock();
    ASSERT_EQ(load(*block, file), kPresetOk);
    EXPECT_EQ(block->sunColor[0], 0xABCD);
}

// A short file: the value past the end is not stored, reading ends there,
// and every field the file did not supply keeps its value.
TEST(PresetReader, ShortFilesAtEveryLengthKeepTheFieldsNotRead) {
    auto source = newBlock();
    fillDistinct(*source, 2);
    const auto file = withThumbnail(legacyFile(40, *source), 1, 128, 128, 300, 300);
    auto before = newBlock();
    fillDistinct(*before, 30);
    const auto beforeBytes = presetSettingsBytes(*before);
    for (size_t length = 0; length <= file.size(); ++length) {
        auto block = newBlock();
        std::memcpy(block.get(), before.get(), sizeof(ParameterBlock));
        SinkRecord record;
        const PresetThumbnailSink sink = sinkFor(record);
        PresetLoadReport report;
        const std::vector<uint8_t> cut(file.begin(), file.begin() + std::ptrdiff_t(length));
        const int32_t result = load(*block, cut, kReadSettings, &sink, &report);
        EXPECT_EQ(result, length == file.size() ? kPresetOk : kPresetReadError) << length;
        const size_t whole = std::min<size_t>(length / 4 * 4, 240);
        EXPECT_EQ(report.valuesRead, int32_t(std::min<size_t>(length / 4, 64))) << length;
        const auto got = presetSettingsBytes(*block);
        // The version is always written as 40; the fields after it come
        // from the file up to the cut and from the old block after it.
        for (size_t offset = 4; offset < 240; offset += 4) {
            const int32_t want = offset < whole ? valueAt(file, offset) : valueAt(beforeBytes, offset);
            ASSERT_EQ(valueAt(got, offset), want) << "length " << length << " offset " << offset;
        }
        EXPECT_EQ(record.calls, length == file.size() ? 1 : 0) << length;
    }
}

TEST(PresetReader, ThumbnailSizesAndLengthsFromTheFileAreBounded) {
    auto source = newBlock();
    const auto base = legacyFile(40, *source);
    struct Case {
        int32_t flag, width, height, length;
        size_t present;
        int calls;
        int32_t seenWidth, seenHeight;
        int32_t result;
    } cases[] = {
        {1, 128, 128, 49152, 49152, 1, 128, 128, kPresetOk},   // the largest that fits the buffer
        {1, 128, 128, 49153, 49153, 0, -1, -1, kPresetOk},     // larger: skipped
        {1, 128, 128, INT32_MAX, 1000, 0, -1, -1, kPresetReadError},  // skipped to the end of the file
        {1, 500, -7, 20, 20, 1, 128, 0, kPresetOk},            // sizes clamped to 0..128
        {1, INT32_MIN, INT32_MAX, 0, 0, 1, 0, 128, kPresetOk},
        {1, 16, 16, -1, 0, 0, -1, -1, kPresetOk},              // negative length: nothing to read
        {1, 16, 16, INT32_MIN, 0, 0, -1, -1, kPresetOk},
        {2, 16, 16, 10, 10, 0, -1, -1, kPresetOk},             // another flag: skipped
        {-1, 16, 16, 10, 10, 0, -1, -1, kPresetOk},
        {1, 16, 16, 10, 9, 0, -1, -1, kPresetReadError},       // short by one byte
    };
    for (const Case& c : cases) {
        const auto file = withThumbnail(base, c.flag, c.width, c.height, c.length, c.present);
        auto block = newBlock();
        SinkRecord record;
        const PresetThumbnailSink sink = sinkFor(record);
        PresetLoadReport report;
        EXPECT_EQ(load(*block, file, kReadSettings, &sink, &report), c.result) << c.length;
        EXPECT_EQ(record.calls, c.calls) << c.flag << " " << c.length;
        EXPECT_EQ(record.width, c.seenWidth);
        EXPECT_EQ(record.height, c.seenHeight);
        EXPECT_EQ(report.thumbnailLoaded, c.calls == 1);
    }
    // Without a sink (no thumbnail image to fill) the bytes are skipped.
    const auto file = withThumbnail(base, 1, 64, 64, 100, 100);
    auto block = newBlock();
    PresetLoadReport report;
    EXPECT_EQ(load(*block, file, kReadSettings, nullptr, &report), kPresetOk);
    EXPECT_TRUE(report.thumbnailStored);
    EXPECT_FALSE(report.thumbnailLoaded);
    EXPECT_EQ(report.thumbnailBytes, 100);
}

TEST(PresetFiles, WhatCannotBeOpenedGives99AndLeavesTheBlock) {
    ScopedTempFolder temp;
    auto block = newBlock();
    fillDistinct(*block, 4);
    auto before = newBlock();
    std::memcpy(before.get(), block.get(), sizeof(ParameterBlock));
    const std::string missing = temp.path("missing.q4q");
    EXPECT_EQ(loadPresetFile(block.get(), missing.c_str(), kReadSettings, nullptr, nullptr), kPresetCannotOpen);
    EXPECT_EQ(loadPresetFile(block.get(), temp.folder().c_str(), kReadSettings, nullptr, nullptr), kPresetCannotOpen);
    EXPECT_EQ(loadPresetFile(block.get(), "", kReadSettings, nullptr, nullptr), kPresetCannotOpen);
    EXPECT_EQ(loadPresetFile(block.get(), nullptr, kReadSettings, nullptr, nullptr), kPresetCannotOpen);
#if !defined(_WIN32)
    EXPECT_EQ(loadPresetFile(block.get(), "/dev/null", kReadSettings, nullptr, nullptr), kPresetCannotOpen);
#endif
    EXPECT_EQ(std::memcmp(block.get(), before.get(), sizeof(ParameterBlock)), 0);
    // An empty file opens but gives no version: a read error, nothing stored.
    ASSERT_TRUE(writeWholeFile(temp.path("empty.q4q"), {}));
    EXPECT_EQ(loadPresetFile(block.get(), temp.path("empty.q4q").c_str(), kReadSettings, nullptr, nullptr),
              kPresetReadError);
    EXPECT_EQ(std::memcmp(block.get(), before.get(), sizeof(ParameterBlock)), 0);
}

TEST(PresetFiles, SavingReplacesTheWholeFile) {
    ScopedTempFolder temp;
    const std::string path = temp.path("grow-shrink.q4q");
    auto block = newBlock();
    std::vector<uint8_t> thumbnail;
    for (int32_t v : {1, 16, 16, 1000}) putValue(thumbnail, v);
    thumbnail.resize(thumbnail.size() + 1000, 0x55);
    ASSERT_EQ(savePresetFile(*block, path.c_str(), &thumbnail), kPresetOk);
    EXPECT_EQ(readWholeFile(path).size(), 1256u);
    // A shorter file leaves no old bytes behind it.
    ASSERT_EQ(savePresetFile(*block, path.c_str(), nullptr), kPresetOk);
    EXPECT_EQ(readWholeFile(path), presetFileBytes(*block, nullptr));
    EXPECT_EQ(temp.entries().size(), 1u);  // no temporary file left
}

TEST(PresetFiles, SavingWhereNoFileCanBeMadeGives99) {
    ScopedTempFolder temp;
    auto block = newBlock();
    EXPECT_EQ(savePresetFile(*block, temp.path("no/such/folder/a.q4q").c_str(), nullptr), kPresetCannotOpen);
    EXPECT_EQ(savePresetFile(*block, temp.folder().c_str(), nullptr), kPresetCannotOpen);  // a folder
#if !defined(_WIN32)
    EXPECT_EQ(savePresetFile(*block, "/dev/null", nullptr), kPresetCannotOpen);            // a device stays one
#endif
    EXPECT_EQ(savePresetFile(*block, "", nullptr), kPresetCannotOpen);
}
