#include "render/table_dump.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "kernels/spectral_arithmetic.h"
#include "render/render_driver.h"
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
    auto block = std::make_unique<ParameterBlock>(settings);
    auto work = std::make_unique<WorkBlock>();
    RenderGeometry geometry{};
    RowBuffer rowBuffer{};
    int16_t result = 0;
    RenderSession session{};
    session.block = block.get();
    session.work = work.get();
    session.geometry = &geometry;
    session.rowBuffer = &rowBuffer;
    session.result = &result;
    geometry.renderRect = RenderRect{0, 0, saturateTo<int16_t>(height), saturateTo<int16_t>(width)};
    const int32_t scale = std::max(settings.renderScale, 1);
    setRenderGeometry(session, geometry.renderRect, scale);
    buildProceduralWeights(work->proceduralWeights);
    runRenderDriver(session);

    std::string out;
    const DerivedValues& d = block->derived;
    appendScalar(out, "result", result);
    appendScalar(out, "renderWidth", geometry.renderWidth);
    appendScalar(out, "renderHeight", geometry.renderHeight);
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
    appendScalar(out, "sphereLastIndex", geometry.sphereLastIndex);
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
    if (rowBuffer.data) appendTable(out, "SphereTable", rowBuffer.data, geometry.sphereLastIndex + 1);
    appendTable(out, "SwirlCentresX", d.swirlCentresX, kSwirlCentreCount);
    appendTable(out, "SwirlCentresY", d.swirlCentresY, kSwirlCentreCount);
    freeRowBuffer(session);
    return out;
}

}  // namespace lumenfall
