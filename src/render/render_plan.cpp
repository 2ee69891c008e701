#include "render/render_plan.h"

#include <algorithm>

#include "kernels/spectral_tables.h"
#include "render/noise_table.h"
#include "render/render_tables.h"
#include "render/size_functions.h"

namespace lumenfall {

void buildRenderPlan(const ParameterBlock& settings, const PlanRequest& request, RenderPlan* plan) {
    plan->settings = settings;
    plan->areaWidth = request.areaWidth;
    plan->areaHeight = request.areaHeight;
    plan->renderWidth = request.renderWidth;
    plan->renderHeight = request.renderHeight;
    plan->renderScale = std::max(request.renderScale, 1);
    plan->viewOriginX = request.viewOriginX;
    plan->viewOriginY = request.viewOriginY;

    const ParameterBlock& s = plan->settings;
    DerivedValues& derived = plan->settings.derived;
    SunTables& tables = plan->tables;
    const int32_t width = request.renderWidth;
    const int32_t height = request.renderHeight;
    const int32_t scale = plan->renderScale;
    // Sizes in the spike and detail tables are measured on the whole area.
    const float unit = pixelUnit(request.areaWidth, request.areaHeight);

    buildProceduralWeights(tables.proceduralWeights);
    buildSpectralTable(s, tables, kSpectralBuildSpike);
    buildSpectralTable(s, tables, kSpectralBuildBow);
    buildNoiseTable(s.randomSeed, noiseSourceTable(), tables.noiseTable);
    buildHaloCurves(s, derived);
    buildSpikeProfile(s, tables);
    buildFlareCurves(s, derived);
    buildSunCurves(s, derived);
    buildBowTable(s, tables);
    buildFlareAngles(s, derived, tables);
    buildSpikeAxes(s, derived, tables, scale, unit);
    plan->settings.centerX = sunCentreOf(s.xCenter, width);
    plan->settings.centerY = sunCentreOf(s.yCenter, height);

    const int32_t radius = scaledRadiusPixels(s.sunRadius, width, height);
    const float detailScale = detailScaleOf(s.sunDetail, scale, unit);
    setDetailValues(s, derived, detailScale, radius);
    buildSmoothstepTable(derived.smoothstepTable);
    plan->sphereTable = nullptr;
    plan->sphereLastIndex = -1;
    uint16_t sphereLast = 0;
    if (request.sphereStorage && request.sphereEntries > 0) {
        plan->sphereLastIndex = int32_t(std::min<int64_t>(int64_t(request.sphereEntries) - 1,
                                                          std::max(1, radius / scale)));
        buildSphereTable(request.sphereStorage, plan->sphereLastIndex, detailScale);
        plan->sphereTable = request.sphereStorage;
        sphereLast = request.sphereStorage[plan->sphereLastIndex];
    }
    buildSwirlCentres(derived, tables, radius, scale, sphereLast);
}

}  // namespace lumenfall
