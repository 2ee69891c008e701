#include "render/render_rows.h"

#include <algorithm>
#include <atomic>

#include "kernels/glue_modes.h"
#include "kernels/sun_span.h"
#include "render/effect_ahead.h"
#include "render/row_workers.h"

namespace lumenfall {
namespace {

struct RowWork {
    const SunContext* sun;
    const GlueSetup* glue;
    RowTarget* target;
    int32_t row;
    int32_t firstColumn;
    int32_t endColumn;
    std::atomic<bool> delivered;
    RowSpikeStrips strips;
};

// A chunk's effect and its blend, on whichever thread takes it.
void renderChunk(void* context, int32_t chunk) {
    RowWork& work = *static_cast<RowWork*>(context);
    const int32_t first = work.firstColumn + chunk * kChunkColumns;
    const int32_t count = std::min(kChunkColumns, work.endColumn - first);
    SunPixel effect[kChunkColumns];
    renderSunSpanCulled(*work.sun, work.strips, work.row, first, count, effect);
    if (!work.target->receive(*work.glue, work.row, first, count, effect)) work.delivered.store(false);
}

// Blends a row whose effect was computed ahead, a chunk at a time as the
// targets receive it.
bool blendRow(RowTarget& target, const GlueSetup& glue, int32_t row, int32_t firstColumn, int32_t endColumn,
              const SunPixel* effect) {
    bool delivered = true;
    for (int32_t first = firstColumn; first < endColumn; first += kChunkColumns) {
        const int32_t count = std::min(kChunkColumns, endColumn - first);
        if (!target.receive(glue, row, first, count, effect + (first - firstColumn))) delivered = false;
    }
    return delivered;
}

// Queues the rows after `row` for the helpers, up to kRowsAhead of them, while
// they lie in the picture and are worth the helpers' time. A plainly dark row
// ends the queue: it is blended in its turn by the calling thread.
void queueRowsAhead(EffectAhead* ahead, RowWorkers& workers, const RenderPlan& plan, const TargetShape& shape,
                    const SunContext& sun, int32_t row, int32_t firstColumn, int32_t endColumn) {
    const int32_t span = endColumn - firstColumn;
    for (int32_t next = std::max(row, ahead->lastQueuedRow()) + 1; next <= row + kRowsAhead; ++next) {
        if (!ahead->hasRoomFor(&plan, shape, firstColumn, endColumn)) return;
        if (next >= shape.height || spanPlainlyDark(sun, next, firstColumn, span)) return;
        ahead->queue(workers, &plan, shape, sun, next, firstColumn, endColumn);
        if (ahead->lastQueuedRow() != next) return;
    }
}

}  // namespace

SunContext sunContextFor(const RenderPlan& plan, const TargetShape& shape) {
    SunContext sun;
    if (shape.enlargement == 1 && (shape.depth < 9 || shape.depth == 16)) {
        const int which = shape.depth == 16 ? 1 : 0;
        sun.frame = which == 1 ? plan.frame16 : plan.frame8;
        const std::vector<RadialEntry>& entries = plan.radialEntries[which];
        if (!entries.empty())
            sun.radial = RadialLight{entries.data(), plan.radialFirst[which], int64_t(entries.size())};
    } else {
        const FrameRequest request{plan.renderWidth,  plan.renderHeight, shape.depth,      plan.renderScale,
                                   plan.viewOriginX, plan.viewOriginY,  shape.enlargement};
        sun.frame = sunFrameFor(plan.settings, request);
    }
    sun.settings = &plan.settings;
    sun.tables = &plan.tables;
    sun.sphereTable = plan.sphereTable;
    sun.sphereLastIndex = plan.sphereLastIndex;
    sun.surface = plan.surface;
    sun.surface.memo = plan.surfaceMemo;
    sun.surface.swirlGrid = plan.swirlGridValid ? &plan.swirlGrid : nullptr;
    sun.surface.noiseRuns = plan.noiseRunsValid ? &plan.noiseRuns : nullptr;
    sun.flareWedges = &plan.flareWedges;
    sun.streakMemo = &plan.streakMemo;
    sun.spikeRampMix = plan.spikeRampMix;
    return sun;
}

RenderStatus renderRows(const RenderPlan& plan, RowTarget& target, int32_t firstRow, int32_t endRow,
                        RenderServices* services, RowWorkers* workers) {
    return renderRegion(plan, target, firstRow, endRow, RegionColumns{0, target.shape().width}, services, workers);
}

RenderStatus renderRegion(const RenderPlan& plan, RowTarget& target, int32_t firstRow, int32_t endRow,
                          RegionColumns columns, RenderServices* services, RowWorkers* workers) {
    const TargetShape shape = target.shape();
    const int32_t firstColumn = std::max<int32_t>(0, columns.first);
    const int32_t endColumn = std::min<int32_t>(shape.width, columns.end);
    const int32_t span = endColumn > firstColumn ? endColumn - firstColumn : 0;
    const SunContext sun = sunContextFor(plan, shape);
    GlueSetup glue;
    glue.glue = plan.settings.glue;
    glue.proceduralWeights = plan.tables.proceduralWeights;
    glue.inverseScale = 1.0f / sun.frame.floatScale;
    // A depth the compositor cannot blend leaves the target untouched.
    const bool blendable = pixelLayoutOf(shape.depth, shape.planes, shape.editableTransparency, &glue.layout);
    // The layout is only filled where it is blendable.
    if (blendable && glue.layout.fullScale == kFullScale8) {
        const int transparency = glue.layout.transparency ? 1 : 0;
        if (plan.darkChannel8Valid[transparency]) glue.darkChannel = plan.darkChannel8[transparency];
    }
    glue.darkRuns16 = true;

    EffectAhead* ahead = EffectAhead::of(workers, span);
    for (int32_t row = firstRow; row < endRow; ++row) {
        if (services) services->rowStarting(row);
        if (blendable && row >= 0 && row < shape.height) {
            bool delivered = true;
            if (ahead && ahead->holds(&plan, shape, row, firstColumn, endColumn)) {
                const SunPixel* effect = ahead->take();
                // The next rows' effect goes on while this one is blended and
                // while the caller trades rows with the host.
                queueRowsAhead(ahead, *workers, plan, shape, sun, row, firstColumn, endColumn);
                delivered = blendRow(target, glue, row, firstColumn, endColumn, effect);
            } else {
                if (ahead) ahead->drop(*workers);
                RowWork work{&sun, &glue, &target, row, firstColumn, endColumn, {true}, {}};
                findSpikeStrips(sun, row, firstColumn, span, &work.strips);
                const int32_t chunks = (span + kChunkColumns - 1) / kChunkColumns;
                // A row that is plainly dark is cheaper to blend here than to
                // hand to the other threads (waking them costs more).
                if (workers && !spanPlainlyDark(sun, row, firstColumn, span)) {
                    workers->run(chunks, renderChunk, &work);
                } else {
                    for (int32_t chunk = 0; chunk < chunks; ++chunk) renderChunk(&work, chunk);
                }
                delivered = work.delivered.load();
                if (ahead) queueRowsAhead(ahead, *workers, plan, shape, sun, row, firstColumn, endColumn);
            }
            // A stop asked for at the same row wins over the missing buffers.
            if (!delivered) {
                if (ahead) ahead->drop(*workers);
                const bool goOn = !services || services->rowFinished(row);
                return goOn ? RenderStatus::NoDestination : RenderStatus::Stopped;
            }
        }
        if (services && !services->rowFinished(row)) {
            if (ahead) ahead->drop(*workers);
            return RenderStatus::Stopped;
        }
    }
    return RenderStatus::Done;
}

}  // namespace lumenfall
