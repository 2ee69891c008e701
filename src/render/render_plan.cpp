#include "render/render_plan.h"

#include <algorithm>
#include <new>

#include "kernels/glue_compositor.h"
#include "kernels/spectral_tables.h"
#include "kernels/sun_elements.h"
#include "render/noise_table.h"
#include "render/render_tables.h"
#include "render/size_functions.h"

namespace lumenfall {

void buildRenderPlan(const ParameterBlock& settings, const PlanRequest& request, RenderPlan* plan) {
    plan->settings = settings;
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
    const float unit = pixelUnit(width, height);

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
    plan->surfaceMemo = SurfaceMemo{nullptr, 0};
    plan->surfaceMemoHalf = smearedSurfaceHalf(*plan);
    prepareDraws(plan);
}

namespace {

// The points of the flare annulus within the plan's own rows and columns,
// as offsets from the centre, and the margin a streak and its neighbours
// reach beyond them (about a quarter of 120 quarter pixels, and one).
void prepareStreakMemo(RenderPlan* plan) {
    const SunFrame& f = plan->frame8;
    plan->streakMemo = StreakMemo{};
    if (f.flareCount <= 0 || f.flareHalf <= 0 || f.flareOuter <= f.flareStart) return;
    constexpr int64_t kMargin = 34;
    const int64_t reach = f.flareOuter / 4 + 1;
    const int64_t left = std::max<int64_t>(-int64_t(f.centreX), -reach) - kMargin;
    const int64_t right = std::min<int64_t>(int64_t(plan->renderWidth) - 1 - f.centreX, reach) + kMargin;
    const int64_t top = std::max<int64_t>(-int64_t(f.centreY), -reach) - kMargin;
    const int64_t bottom = std::min<int64_t>(int64_t(plan->renderHeight) - 1 - f.centreY, reach) + kMargin;
    if (right < left || bottom < top) return;
    const int64_t width = right - left + 1, height = bottom - top + 1;
    if (width * height > kStreakMemoCellCap) return;
    // Without the memory every streak point is computed: slower, the same.
    // The cells are left as they are (filled before they are read), so a
    // fresh block's pages are touched only where the streaks go.
    const size_t cells = size_t(width * height);
    if (plan->streakCellCapacity < cells) {
        plan->streakCells.reset(new (std::nothrow) uint8_t[cells]);
        plan->streakCellCapacity = plan->streakCells ? cells : 0;
    }
    const size_t blocks = size_t(streakMemoBlockCount(int32_t(width), int32_t(height)));
    if (plan->streakBlockCapacity < blocks) {
        plan->streakBlockStates.reset(new (std::nothrow) std::atomic<uint8_t>[blocks]);
        plan->streakBlockCapacity = plan->streakBlockStates ? blocks : 0;
    }
    if (!plan->streakCells || !plan->streakBlockStates) return;
    StreakMemo memo;
    memo.left = int32_t(left);
    memo.top = int32_t(top);
    memo.width = int32_t(width);
    memo.height = int32_t(height);
    memo.scale = f.streakScale;
    startLazyStreakMemo(&memo, plan->streakCells.get(), plan->streakBlockStates.get());
    plan->streakMemo = memo;
}

// The halo and the bow of one of the plan's frames, by distance.
void prepareRadialLight(RenderPlan* plan, const SunFrame& frame, int which) {
    std::vector<RadialEntry>& entries = plan->radialEntries[which];
    int64_t first, count;
    radialLightRange(frame, &first, &count);
    plan->radialFirst[which] = first;
    entries.clear();
    if (count <= 0 || count > kRadialLightCap) return;
    // Without the memory each pixel computes both elements: slower, the same.
    try {
        entries.resize(size_t(count));
    } catch (const std::bad_alloc&) {
        return;
    }
    SunContext sun;
    sun.frame = frame;
    sun.settings = &plan->settings;
    sun.tables = &plan->tables;
    fillRadialLight(sun, first, count, entries.data());
}

}  // namespace

void prepareDraws(RenderPlan* plan) {
    const ParameterBlock& s = plan->settings;
    FrameRequest request{plan->renderWidth, plan->renderHeight, 8, plan->renderScale, plan->viewOriginX,
                         plan->viewOriginY, 1};
    plan->frame8 = sunFrameFor(s, request);
    request.depth = 16;
    plan->frame16 = sunFrameFor(s, request);
    buildFlareWedgeIndex(plan->frame8, plan->tables, &plan->flareWedges);
    plan->surface = surfaceTablesFrom(s, plan->tables);
    limitSmearWalk(plan->surface, s.sunSmear, settingSize(s.sunRadius, plan->renderWidth, plan->renderHeight));
    plan->swirlGridValid = buildSwirlGrid(plan->surface, &plan->swirlGrid);
    plan->noiseRunsValid = fillNoiseRunTables(plan->surface.noise, plan->surface.smoothstep, &plan->noiseRuns);
    prepareStreakMemo(plan);
    prepareRadialLight(plan, plan->frame8, 0);
    prepareRadialLight(plan, plan->frame16, 1);
    fillSpikeRampMix(plan->tables, plan->spikeRampMix);
    for (int transparency = 0; transparency < 2; ++transparency) {
        GlueSetup glue{};
        glue.glue = s.glue;
        glue.proceduralWeights = plan->tables.proceduralWeights;
        pixelLayoutOf(8, transparency ? 4 : 3, transparency != 0, &glue.layout);
        plan->darkChannel8Valid[transparency] = darkChannelTable(glue, plan->darkChannel8[transparency]);
    }
}

int32_t smearedSurfaceHalf(const RenderPlan& plan) {
    const ParameterBlock& s = plan.settings;
    const bool smeared = switchOn(s.vortices) || switchOn(s.monopoles);
    if (!smeared || s.sunType == kSunFlat || s.sunType == kSunEclipse || !plan.sphereTable) return 0;
    FrameRequest request{plan.renderWidth, plan.renderHeight, 8, plan.renderScale, plan.viewOriginX,
                         plan.viewOriginY, 1};
    const SunFrame frame = sunFrameFor(s, request);
    uint16_t largest = 0;
    for (int32_t i = 0; i <= plan.sphereLastIndex; ++i) largest = std::max(largest, plan.sphereTable[i]);
    // The disc's own points, and a margin for the smear lines that leave
    // them; but no more cells than about ten visits for each disc pixel
    // (a small disc on a fine texture visits few of the points it spans).
    const int64_t extent = (frame.discEdge / 4 + 2) * 16 * int64_t(largest) / 1024;
    return int32_t(std::min<int64_t>({extent + 256, std::max<int64_t>(frame.discEdge, 64), 1 << 14}));
}

}  // namespace lumenfall
