// Every setting with values far outside its range, on tiny, thin and large
// areas: every table is built, nothing overflows (the sanitizer build checks),
// and the invariants the renderer relies on hold.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "params/settings_table.h"
#include "render/table_dump.h"
#include "render/render_rows.h"
#include "render_harness.h"

namespace lumenfall {
namespace {

using test::PlanHarness;

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

void checkInvariants(const PlanHarness& h, const std::string& what) {
    const RenderPlan& plan = *h.plan;
    ASSERT_GE(plan.sphereLastIndex, 1) << what;
    ASSERT_LE(size_t(plan.sphereLastIndex), h.sphere.size() - 1) << what;
    ASSERT_EQ(plan.sphereTable[0], 0) << what;
    ASSERT_GE(plan.settings.derived.smearStride, 1) << what;
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i) {
            ASSERT_LE(std::abs(int64_t(plan.settings.derived.haloCurves[c][i])), 16777215) << what;
            ASSERT_LE(std::abs(int64_t(plan.settings.derived.sunCurves[c][i])), 16777215) << what;
        }
}

// One row through the whole sun, into a target that takes the effect.
struct DiscardTarget : RowTarget {
    int32_t width;
    explicit DiscardTarget(int32_t w) : width(w) {}
    TargetShape shape() const override { return TargetShape{width, 1, 8, 3, false, 1}; }
    bool receive(const GlueSetup&, int32_t, int32_t, int32_t, const SunPixel*) override { return true; }
};

TEST(BadSettings, EveryTableOnEveryGeometry) {
    const SettingInfo* table = settingsTable();
    for (int n = 0; n < kSettingCount; ++n) {
        const SettingInfo& s = table[n];
        const int values = s.kind == SettingKind::Axis ? 10 : 5;
        for (int v = 0; v < values; ++v) {
            for (const auto& g : kGeometries) {
                PlanHarness h(g[0], g[1]);
                setBad(*h.block, s, v);
                const auto start = std::chrono::steady_clock::now();
                DiscardTarget row(g[0]);
                renderRows(h.build(), row, 0, 1);
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
        PlanHarness h(4000, 3000);
        for (int n = 0; n < kSettingCount; ++n) setBad(*h.block, settingsTable()[n], v);
        h.build();
        checkInvariants(h, "all at value " + std::to_string(v));
    }
}

TEST(BadSettings, BadRenderControlValues) {
    for (int32_t scale : {INT32_MIN, -1, 0, INT32_MAX}) {
        PlanHarness h(640, 480);
        h.block->renderScale = scale;
        h.build();
        checkInvariants(h, "renderScale " + std::to_string(scale));
    }
}

TEST(TableDump, ListsEveryTableAndIsStable) {
    PlanHarness h(1, 1);
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
