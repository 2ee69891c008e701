#include "host/image_pipeline.h"

#include <algorithm>
#include <cstring>

#include "host/band_render.h"
#include "host/render_geometry.h"
#include "host/tiled_render_frame.h"
#include "host/run_hooks.h"
#include "render/render_plan.h"
#include "render/resample_image.h"
#include "render/row_workers.h"

namespace lumenfall {

BufferSizes bufferSizesFor(int32_t width, int32_t height) {
    BufferSizes s{};
    s.workingRow = std::max(2 * (std::max(width, height) + 4), 3 * width + 2184);
    s.bufferSpace = 2 * s.workingRow + 1112;
    return s;
}

void prepareGeometry(PluginGlobals& g, ParameterBlock& block) {
    pi::FilterRecord* record = g.record;
    setRenderGeometry(g, block, renderRectOf(record->filterRect), 1);
    g.sizes = bufferSizesFor(g.geometry.renderWidth, g.geometry.renderHeight);
    record->bufferSpace = g.sizes.bufferSpace;
}

bool allocateRunBuffers(PluginGlobals& g) {
    RunBuffers& b = g.buffers;
    const pi::FilterRecord* record = g.record;
    bool ok = allocateHostBuffer(record, 2 * g.sizes.workingRow, &b.rowBuffer);
    // Five small buffers (the 32-byte one first), the work block, then the
    // last two small buffers.
    for (int i = 0; ok && i < 5; ++i) ok = allocateHostBuffer(record, i == 0 ? 32 : 16, &b.small[i]);
    ok = ok && allocateHostBuffer(record, int32_t(kWorkBlockBytes), &b.workBlock);
    for (int i = 5; ok && i < kSmallBufferCount; ++i) ok = allocateHostBuffer(record, 16, &b.small[i]);
    if (!ok) {
        freeRunBuffers(g);
        return false;
    }
    b.allocated = true;
    // The resampling weights are there before anything resamples, and the
    // band counters start from zero with every run.
    WorkBlock* work = workBlock(g);
    std::memset(work, 0, sizeof(WorkBlock));
    fillLanczosWeights(*work);
    g.geometry.progressCounter = g.geometry.progressLastDone = g.geometry.abortCounter = 0;
    g.rowBuffer = RowBuffer{reinterpret_cast<uint16_t*>(b.rowBuffer.data), size_t(b.rowBuffer.size), nullptr};
    return true;
}

void freeRunBuffers(PluginGlobals& g) {
    RunBuffers& b = g.buffers;
    // A grown row buffer is freed the way it came.
    releaseRowBuffer(g);
    freeHostBuffer(g.record, &b.rowBuffer);
    for (HostBuffer& small : b.small) freeHostBuffer(g.record, &small);
    freeHostBuffer(g.record, &b.workBlock);
    freeHostBuffer(g.record, &b.surfaceMemo);
    b.allocated = false;
    delete g.plan;
    g.plan = nullptr;
}

void emptyRectangles(pi::FilterRecord* record) {
    record->inRect = pi::Rect{0, 0, 0, 0};
    record->outRect = pi::Rect{0, 0, 0, 0};
    record->maskRect = pi::Rect{0, 0, 0, 0};
}

void endRun(PluginGlobals& g) {
    g.geometry.rendering = 0;
    // The kept flags live in the work block, which is about to be freed.
    if (g.buffers.allocated) saveMemoryDotMap(g);
    freeRunBuffers(g);
    emptyRectangles(g.record);
}

void requestRow(PluginGlobals& g, const ParameterBlock& block, int32_t r) {
    pi::FilterRecord* record = g.record;
    const pi::Rect filter = record->filterRect;
    const int32_t height = filter.bottom - filter.top;
    r = std::max(0, std::min(r, height - 1));
    const int32_t y = filter.top + r;

    record->inRect = pi::Rect{int16_t(y), filter.left, int16_t(y + 1), filter.right};
    record->outRect = record->inRect;

    if (record->haveMask && g.geometry.maskWanted) {
        int32_t top = std::max<int32_t>(y - 2, filter.top);
        int32_t bottom = std::min<int32_t>(y + 2, filter.bottom);
        if (bottom <= top) bottom = top + 1;
        record->maskRect = pi::Rect{int16_t(top), filter.left, int16_t(bottom), filter.right};
    } else {
        record->maskRect = pi::Rect{filter.top, filter.left, filter.top, filter.left};
    }

    record->inLoPlane = record->outLoPlane = 0;
    record->inHiPlane = record->outHiPlane = int16_t(record->planes - 1);
    record->inputRate = record->maskRate = pi::kFixedOne;
    record->inputPadding = record->outputPadding = record->maskPadding = pi::kPadEdgeReplication;

    // A render into a tiled image asks its rows in the image's coordinates;
    // the selection is the picture's, at the render rectangle's place.
    if (block.renderTarget == kTargetTiledImage)
        record->maskRect = pictureRectOf(record->maskRect, g.geometry.renderRect);
}

void requestPreview(PluginGlobals& g, ParameterBlock& block, int32_t k, int32_t previewWidth,
                    int32_t previewHeight) {
    pi::FilterRecord* record = g.record;
    record->inLoPlane = record->outLoPlane = 0;
    record->inHiPlane = record->outHiPlane = int16_t(record->planes - 1);
    if (!record->advanceState || !record->displayPixels || record->samplingSupport == 0) {
        k = 1;
        block.renderScale = 1;
    }
    if (k < 1) k = 1;
    const pi::Rect filter = record->filterRect;
    int32_t top = std::max<int32_t>(filter.top + block.viewOriginY, filter.top);
    int32_t left = std::max<int32_t>(filter.left + block.viewOriginX, filter.left);
    int32_t bottom = std::min<int32_t>(filter.bottom + block.viewOriginY, filter.bottom);
    int32_t right = std::min<int32_t>(filter.right + block.viewOriginX, filter.right);
    int32_t width = std::max(0, right - left) / k;
    int32_t height = std::max(0, bottom - top) / k;
    width = std::min(width, previewWidth);
    height = std::min(height, previewHeight);
    top /= k;
    left /= k;
    record->inRect = pi::Rect{int16_t(top), int16_t(left), int16_t(top + height), int16_t(left + width)};
    record->maskRect = record->inRect;
    record->outRect = pi::Rect{filter.top, filter.left, int16_t(filter.top + height), int16_t(filter.left + width)};
    if (record->hostSig == pi::kSigPSP8 && k >= 2) {
        const int16_t dx = int16_t(block.viewOriginX / k);
        const int16_t dy = int16_t(block.viewOriginY / k);
        record->maskRect = pi::Rect{dy, dx, int16_t(dy + height), int16_t(dx + width)};
    }
    record->inputRate = record->maskRate = k * pi::kFixedOne;
    record->inputPadding = record->outputPadding = record->maskPadding = pi::kPadEdgeReplication;
}

void startFinalRender(PluginGlobals& g, ParameterBlock& block) {
    pi::FilterRecord* record = g.record;
    // The final render always goes into the host image at full size,
    // whatever the dialog left in the block.
    block.viewOriginX = 0;
    block.viewOriginY = 0;
    block.renderTarget = kTargetHostImage;
    setRenderGeometry(g, block, renderRectOf(record->filterRect), 1);
    // A render that could not get its memory, or a host that cannot deliver
    // the first band, ends the run here with nothing left allocated.
    if (!planRender(g, block, g.geometry.renderWidth)) {
        endRun(g);
        return;
    }
    requestRow(g, block, int32_t(g.geometry.currentRow));
    if (record->advanceState) *g.result = record->advanceState();
    if (*g.result != 0) endRun(g);
}

namespace {

// The band loop's rows while the host delivers them. True when the run has
// ended and its buffers must go; the caller frees them only once the
// threads, which may still be computing a row ahead from the plan, are
// joined.
bool renderDeliveredRows(PluginGlobals& g, ParameterBlock& block) {
    RenderGeometry& geometry = g.geometry;
    BandServices services(g, kTargetHostImage, nullptr);
    // The threads that share each row; joined when this returns.
    RowWorkers workers(renderThreadCount());
    describeHostBand(g);
    for (;;) {
        renderBandStep(g, kTargetHostImage, services, nullptr, &workers);  // progress, the row, the next row number, the abort test
        ++g.rowsRendered;
        if (*g.result != 0) geometry.rendering = 0;
        if (*g.result == 0) requestRow(g, block, int32_t(geometry.currentRow));
        if (!geometry.rendering) {
            // A render that lost its state on the way (a host that broke the
            // run between selectors) never passes for a finished image.
            if (*g.result == 0 && g.rowsRendered < geometry.renderHeight) *g.result = pi::kFilterBadParameters;
            return true;
        }
        if (!g.record->advanceState) return false;
        *g.result = g.record->advanceState();
        // The host could not deliver the band: stop with nothing held.
        if (*g.result != 0) return true;
        describeHostBand(g);
    }
}

}  // namespace

void continueBandLoop(PluginGlobals& g, ParameterBlock& block) {
    if (!g.buffers.allocated || !g.plan) {
        emptyRectangles(g.record);
        return;
    }
    if (renderDeliveredRows(g, block)) endRun(g);
}

}  // namespace lumenfall
