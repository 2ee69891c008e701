#include "render/table_dump.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "render/render_plan.h"
#include "render/render_tables.h"

namespace lumenfall {
namespace {

template <typename T>
void appendTable(std::string& out, const char* name, const T* values, int count) {
    out += name;
    out += ':';
    char number[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(number, sizeof number, " %lld", static_cast<long long>(values[i]));
        out += number;
    }
    out += '\n';
}

void appendScalar(std::string& out, const char* name, long long value) {
    char line[96];
    std::snprintf(line, sizeof line, "%s: %lld\n", name, value);
    out += line;
}

void appendFloat(std::string& out, const char* name, float value) {
    char line[96];
    std::snprintf(line, sizeof line, "%s: %a\n", name, double(value));
    out += line;
}

}  // namespace

std::string dumpRenderTables(const ParameterBlock& settings, int32_t width, int32_t height) {
    std::vector<uint16_t> sphere(size_t(std::max(width, 0)) + 4);
    PlanRequest request{};
    request.renderWidth = width;
    request.renderHeight = height;
    request.renderScale = settings.renderScale;
    request.viewOriginX = settings.viewOriginX;
    request.viewOriginY = settings.viewOriginY;
    request.sphereStorage = sphere.data();
    request.sphereEntries = sphere.size();
    auto plan = std::make_unique<RenderPlan>();
    buildRenderPlan(settings, request, plan.get());
    const ParameterBlock* block = &plan->settings;
    const SunTables* work = &plan->tables;

    std::string out;
    const DerivedValues& d = block->derived;
    appendScalar(out, "result", 0);
    appendScalar(out, "renderWidth", plan->renderWidth);
    appendScalar(out, "renderHeight", plan->renderHeight);
    appendScalar(out, "centerX", block->centerX);
    appendScalar(out, "centerY", block->centerY);
    appendScalar(out, "spikeOffsetAngle", d.spikeOffsetAngle);
    appendScalar(out, "flareOffsetAngle", d.flareOffsetAngle);
    appendFloat(out, "spikeOffsetLength", d.spikeOffsetLength);
    appendFloat(out, "flareOffsetLength", d.flareOffsetLength);
    appendScalar(out, "smearStride", d.smearStride);
    appendScalar(out, "detailLevel", d.detailLevel);
    appendScalar(out, "swirlRadius", d.swirlRadius);
    appendScalar(out, "swirlStrength", d.swirlStrength);
    appendScalar(out, "sphereLastIndex", plan->sphereLastIndex);
    appendTable(out, "NoiseTable", work->noiseTable, 2048);
    appendTable(out, "ProceduralWeights", work->proceduralWeights, 256);
    static const char* const kChannel[3] = {"red", "green", "blue"};
    for (int c = 0; c < 3; ++c) {
        appendTable(out, ("HaloCurves." + std::string(kChannel[c])).c_str(), d.haloCurves[c], 256);
        appendTable(out, ("FlareCurves." + std::string(kChannel[c])).c_str(), d.flareCurves[c], 256);
        appendTable(out, ("SunCurves." + std::string(kChannel[c])).c_str(), d.sunCurves[c], 256);
        appendTable(out, ("SpikeRamp." + std::string(kChannel[c])).c_str(), work->spikeRamp[c], 600);
        appendTable(out, ("BowSpectrum." + std::string(kChannel[c])).c_str(), work->bowSpectrum[c], 201);
    }
    appendTable(out, "SpikeProfile", work->spikeProfile, kSpikeProfileEntries);
    appendTable(out, "FlareAngles", work->flareAngles, kFlareAngleEntries);
    appendTable(out, "SpikeAxes", &work->spikeAxes[0][0], 4 * kSpikeAxisCount);
    appendTable(out, "SmoothstepTable", d.smoothstepTable, kSmoothstepEntries);
    if (plan->sphereTable) appendTable(out, "SphereTable", plan->sphereTable, plan->sphereLastIndex + 1);
    appendTable(out, "SwirlCentresX", d.swirlCentresX, kSwirlCentreCount);
    appendTable(out, "SwirlCentresY", d.swirlCentresY, kSwirlCentreCount);
    return out;
}

}  // namespace lumenfall
