// Every setting with values far outside its range, on tiny, thin and large
// areas: every table is built, nothing overflows (the sanitizer build checks),
// and the invariants the renderer relies on hold.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "params/settings_table.h"
#include "render/table_dump.h"
#include "render_harness.h"

namespace lumenfall {
namespace {

using test::Harness;

const int32_t kBadIntegers[] = {INT32_MIN, -1, 0, 101, INT32_MAX};
const float kBadFloats[] = {float(INT32_MIN), -1.0f, 0.0f, 101.0f, float(INT32_MAX),
                            NAN, INFINITY, -INFINITY, 1e30f, -1e30f};
const int32_t kGeometries[][2] = {{1, 1}, {1, 4000}, {4000, 3000}};

void setBad(ParameterBlock& block, const SettingInfo& s, int index) {
    switch (s.kind) {
        case SettingKind::Colour:
            *colourField(block, s) = uint16_t(uint32_t(kBadIntegers[index % 5]));
            break;
        case SettingKind::Axis:
            *floatField(block, s) = kBadFloats[index];
            break;
        default:
            *intField(block, s) = kBadIntegers[index % 5];
            break;
    }
}

void checkInvariants(const Harness& h, const std::string& what) {
    ASSERT_EQ(h.result, 0) << what;
    ASSERT_GE(h.geometry.sphereLastIndex, 1) << what;
    ASSERT_LE(uint32_t(h.geometry.sphereLastIndex), h.geometry.rowBufferEntries - 1) << what;
    ASSERT_EQ(h.rowBuffer.data[0], 0) << what;
    ASSERT_GE(h.block->derived.smearStride, 1) << what;
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i) {
            ASSERT_LE(std::abs(int64_t(h.block->derived.haloCurves[c][i])), 16777215) << what;
            ASSERT_LE(std::abs(int64_t(h.block->derived.sunCurves[c][i])), 16777215) << what;
        }
}

TEST(BadSettings, EveryTableOnEveryGeometry) {
    const SettingInfo* table = settingsTable();
    for (int n = 0; n < kSettingCount; ++n) {
        const SettingInfo& s = table[n];
        const int values = s.kind == SettingKind::Axis ? 10 : 5;
        for (int v = 0; v < values; ++v) {
            for (const auto& g : kGeometries) {
                Harness h(g[0], g[1]);
                setBad(*h.block, s, v);
                const auto start = std::chrono::steady_clock::now();
                runRenderDriver(h.session);
                renderRowStep(h.session);
                const auto elapsed = std::chrono::steady_clock::now() - start;
                const std::string what = std::string(s.name) + " value " + std::to_string(v) +
                                         " on " + std::to_string(g[0]) + "x" + std::to_string(g[1]);
                checkInvariants(h, what);
                ASSERT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 2000)
                    << what;
            }
        }
    }
}

TEST(BadSettings, AllSettingsBadAtOnce) {
    for (int v = 0; v < 10; ++v) {
        Harness h(4000, 3000);
        for (int n = 0; n < kSettingCount; ++n) setBad(*h.block, settingsTable()[n], v);
        runRenderDriver(h.session);
        checkInvariants(h, "all at value " + std::to_string(v));
    }
}

TEST(BadSettings, BadRenderControlValues) {
    for (int32_t scale : {INT32_MIN, -1, 0, INT32_MAX}) {
        Harness h(640, 480);
        h.block->renderScale = scale;
        runRenderDriver(h.session);
        checkInvariants(h, "renderScale " + std::to_string(scale));
    }
}

TEST(TableDump, ListsEveryTableAndIsStable) {
    Harness h(1, 1);
    const std::string a = dumpRenderTables(*h.block, 750, 1000);
    EXPECT_EQ(a, dumpRenderTables(*h.block, 750, 1000));
    for (const char* name : {"NoiseTable:", "ProceduralWeights:", "HaloCurves.red:", "FlareCurves.blue:",
                             "SunCurves.green:", "SpikeRamp.red:", "BowSpectrum.blue:", "SpikeProfile:",
                             "FlareAngles:", "SpikeAxes:", "SmoothstepTable:", "SphereTable:",
                             "SwirlCentresX:", "SwirlCentresY:", "swirlStrength:"})
        EXPECT_NE(a.find(name), std::string::npos) << name;
    EXPECT_NE(a.find("ProceduralWeights: 0 2 4"), std::string::npos);
    EXPECT_NE(a.find("sphereLastIndex: 107\n"), std::string::npos);  // 750 * 0.144 in single precision
    h.block->randomSeed = 7;
    EXPECT_NE(a, dumpRenderTables(*h.block, 750, 1000));
}

}  // namespace
}  // namespace lumenfall
