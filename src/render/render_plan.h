// The render plan: one immutable description of a render, built once from a
// settings snapshot: every table, the derived values and the sizes. Rows
// are drawn from a const plan only (render/render_rows.h), so a render
// touches nothing that another part of the plug-in writes.
#ifndef LUMENFALL_RENDER_RENDER_PLAN_H
#define LUMENFALL_RENDER_RENDER_PLAN_H

#include <cstddef>
#include <cstdint>
#include <atomic>
#include <memory>
#include <vector>

#include "kernels/sun_elements.h"
#include "kernels/sun_surface.h"
#include "kernels/sun_tables.h"
#include "params/parameter_block.h"

namespace lumenfall {

// What the plan depends on besides the settings.
struct PlanRequest {
    // The render size: the whole filtered area (the filter rectangle, or an
    // export's picture), in image pixels. Sizes, radii and the centre are
    // measured on it. A preview draws a reduced grid of this same area:
    // that grid is the area divided by renderScale, never a size of its own.
    int32_t renderWidth;
    int32_t renderHeight;
    int32_t renderScale;    // image pixels per rendered pixel; below 1 reads as 1
    int32_t viewOriginX;    // the preview's scroll: the sun moves by minus the origin
    int32_t viewOriginY;
    // Storage for the SphereTable, owned by the caller and kept at least as
    // long as the plan: `sphereEntries` 16-bit entries (the row width + 4).
    uint16_t* sphereStorage;
    size_t sphereEntries;
};

struct RenderPlan {
    // The settings as they were when the plan was built, with the derived
    // values (curves, offsets, detail values, swirl centres) and the sun
    // centre in pixels filled in.
    ParameterBlock settings;
    SunTables tables;
    const uint16_t* sphereTable;   // in the caller's storage; null when none was given
    int32_t sphereLastIndex;
    int32_t renderWidth, renderHeight;   // the render size, as requested
    int32_t renderScale;           // at least 1
    int32_t viewOriginX, viewOriginY;
    // The square of surface coordinates the disc's smear lines visit at
    // most (0 when the disc is not smeared), and the memo of surface noise
    // the caller may lend the render over it: a cache, not part of the plan's
    // meaning (renders are the same with it, without it or with a smaller one).
    int32_t surfaceMemoHalf;
    SurfaceMemo surfaceMemo;
    // What every draw of the plan sets up, made once here: a host that
    // asks for one row at a time draws per row. The frames of targets at
    // the plan's own size (8-bit and smaller depths, 16 bits), the surface
    // tables without the memo, and the dark-pixel tables of 8-bit targets
    // without and with an editable transparency (valid where the glue mode
    // has one), the flare wedges of every angle and the swirls of every
    // surface cell, and the noise table with its wrapped end.
    SunFrame frame8, frame16;
    SurfaceTables surface;
    int32_t darkChannel8[2][256];
    bool darkChannel8Valid[2];
    FlareWedgeIndex flareWedges;
    SwirlGrid swirlGrid;
    bool swirlGridValid;
    NoiseRunTables noiseRuns;
    bool noiseRunsValid;
    // The halved block noise of every point the flares' streaks visit at
    // the plan's own size (none when the flares cannot shine, or when the
    // points exceed kStreakMemoCellCap); the cells are kept from plan to
    // plan so that rebuilding a plan reuses them. The render threads fill
    // the cells as their streaks first reach them: the plan writes none.
    StreakMemo streakMemo;
    std::unique_ptr<uint8_t[]> streakCells;
    size_t streakCellCapacity = 0;
    std::unique_ptr<std::atomic<uint8_t>[]> streakBlockStates;
    size_t streakBlockCapacity = 0;
    // The halo and the bow by distance for frame8 and frame16 (empty when
    // neither shines, or when the distances exceed kRadialLightCap).
    std::vector<RadialEntry> radialEntries[2];
    int64_t radialFirst[2];
    SpikeRampMix spikeRampMix[kSpikeRampSteps];
};

// At most this many distances (6 MiB) per radial table.
constexpr int64_t kRadialLightCap = int64_t(1) << 18;

// At most 16 MiB of streak points per plan.
constexpr int64_t kStreakMemoCellCap = int64_t(1) << 24;

// Builds every table in the fixed order the tables depend on. Never fails:
// without sphere storage the disc is drawn without its texture shift.
void buildRenderPlan(const ParameterBlock& settings, const PlanRequest& request, RenderPlan* plan);

// Fills the plan's set-up of draws (frames, surface tables, dark-pixel
// tables) from its settings and tables; buildRenderPlan calls it last.
void prepareDraws(RenderPlan* plan);

// The half side of the surface square a smeared disc visits, 0 when the
// disc is not smeared.
int32_t smearedSurfaceHalf(const RenderPlan& plan);

}  // namespace lumenfall

#endif
