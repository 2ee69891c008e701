#include "host/band_render.h"

#include <algorithm>
#include <new>

#include "render/band_target.h"
#include "render/render_plan.h"
#include "render/tiled_target.h"

namespace lumenfall {
namespace {

int32_t rectWidth(const pi::Rect& r) { return r.right > r.left ? r.right - r.left : 0; }

}  // namespace

bool prepareRowBuffer(PluginGlobals& g, int32_t width) {
    RowBuffer& buffer = g.rowBuffer;
    const size_t bytes = (size_t(std::max(width, 0)) + 4) * 2;
    if (buffer.data && bytes <= buffer.capacityBytes) return true;
    releaseRowBuffer(g);
    if (bytes > size_t(INT32_MAX)) return false;
    auto* grown = new (std::nothrow) HostBuffer();
    if (!grown) return false;
    if (!allocateHostBuffer(g.record, int32_t(bytes), grown)) {
        delete grown;
        return false;
    }
    buffer = RowBuffer{reinterpret_cast<uint16_t*>(grown->data), bytes, grown};
    return true;
}

void releaseRowBuffer(PluginGlobals& g) {
    RowBuffer& buffer = g.rowBuffer;
    if (buffer.grown) {
        freeHostBuffer(g.record, buffer.grown);
        delete buffer.grown;
    } else if (buffer.data) {
        freeHostBuffer(g.record, &g.buffers.rowBuffer);
    }
    buffer = RowBuffer{nullptr, 0, nullptr};
}

void lendSurfaceMemo(PluginGlobals& g) {
    HostBuffer& memo = g.buffers.surfaceMemo;
    const int32_t half = std::min(g.plan->surfaceMemoHalf, kSurfaceMemoHalfCap);
    const size_t bytes = half > 0 ? surfaceMemoBytes(half) : 0;
    if (memo.data && size_t(memo.size) != bytes) freeHostBuffer(g.record, &memo);
    // Without the memory the render computes every value: slower, the same.
    if (bytes > 0 && !memo.data && !allocateHostBuffer(g.record, int32_t(bytes), &memo)) return;
    if (!memo.data) return;
    g.plan->surfaceMemo = SurfaceMemo{reinterpret_cast<std::atomic<uint16_t>*>(memo.data), half};
    clearSurfaceMemo(g.plan->surfaceMemo);
}

bool planRender(PluginGlobals& g, ParameterBlock& block, int32_t rowWidth) {
    RenderGeometry& geometry = g.geometry;
    // The SphereTable reaches the sun's radius only if it is as wide as the
    // rendered rows; the host's input rectangle may be wider still.
    const int32_t width = std::max(rowWidth, rectWidth(g.record->inRect));
    if (!prepareRowBuffer(g, width)) {
        *g.result = pi::kUserCanceledErr;
        geometry.rendering = 0;
        return false;
    }
    if (!g.plan) g.plan = new (std::nothrow) RenderPlan;
    if (!g.plan) {
        *g.result = pi::kMemFullErr;
        geometry.rendering = 0;
        return false;
    }
    PlanRequest request;
    request.renderWidth = geometry.renderWidth;
    request.renderHeight = geometry.renderHeight;
    request.renderScale = block.renderScale;
    request.viewOriginX = block.viewOriginX;
    request.viewOriginY = block.viewOriginY;
    request.sphereStorage = g.rowBuffer.data;
    request.sphereEntries = size_t(std::max(width, 0)) + 4;
    buildRenderPlan(block, request, g.plan);
    lendSurfaceMemo(g);
    block.derived = g.plan->settings.derived;
    block.centerX = g.plan->settings.centerX;
    block.centerY = g.plan->settings.centerY;

    geometry.currentRow = 0;
    geometry.progressDone = 0;
    // An empty area has no row to render.
    geometry.rendering = geometry.renderHeight > 0 ? 1 : 0;
    geometry.maskWanted = 1;
    geometry.progressTotal = uint32_t(geometry.renderHeight + 1);
    return true;
}

void describeHostBand(PluginGlobals& g) {
    const pi::FilterRecord& r = *g.record;
    HostBand& band = g.band;
    const int16_t filterTop = r.filterRect.top;
    band.inData = static_cast<const uint8_t*>(r.inData);
    band.inRowBytes = r.inRowBytes;
    band.outData = static_cast<uint8_t*>(r.outData);
    band.outRowBytes = r.outRowBytes;
    const bool maskRows = r.haveMask && r.maskData && r.maskRect.bottom > r.maskRect.top;
    band.maskData = maskRows ? static_cast<const uint8_t*>(r.maskData) : nullptr;
    band.maskRowBytes = maskRows ? r.maskRowBytes : 0;
    band.maskFirstRow = r.maskRect.top - filterTop;
    band.maskRowCount = maskRows ? r.maskRect.bottom - r.maskRect.top : 0;
    band.inFirstRow = r.inRect.top - filterTop;
    band.outFirstRow = r.outRect.top - filterTop;
    band.inRowCount = r.inData ? r.inRect.bottom - r.inRect.top : 0;
    band.outRowCount = r.outData ? r.outRect.bottom - r.outRect.top : 0;
    band.planes = r.inHiPlane - r.inLoPlane + 1;
    band.depth = r.depth == 16 || r.imageMode == pi::kModeGray16 || r.imageMode == pi::kModeRGB48 ? 16 : 8;
    band.editableTransparency = r.filterCase == pi::kFilterCaseEditableTransparencyNoSelection ||
                                r.filterCase == pi::kFilterCaseEditableTransparencyWithSelection;
}

void reportHostProgress(PluginGlobals& g, uint32_t done, uint32_t total) {
    RenderGeometry& geometry = g.geometry;
    int32_t counter = geometry.progressCounter;
    if (int64_t(done) - int64_t(geometry.progressLastDone) >= 5) counter = 0;
    if ((counter == 0 || done == 0) && g.record->progressProc)
        g.record->progressProc(int32_t(done), int32_t(total));
    geometry.progressCounter = int32_t((uint32_t(counter) + 1) % 32);
    geometry.progressLastDone = int32_t(done);
}

bool pollHostAbort(PluginGlobals& g) {
    RenderGeometry& geometry = g.geometry;
    geometry.abortCounter = int32_t((uint32_t(geometry.abortCounter) + 1) % 32);
    if (geometry.abortCounter != 0) return false;
    return g.record->abortProc && g.record->abortProc() != 0;
}

void BandServices::rowStarting(int32_t) {
    RenderGeometry& geometry = g_.geometry;
    if (target_ == kTargetTiledImage) {
        if (hooks_) hooks_->progress(int32_t(geometry.progressDone), int32_t(geometry.progressTotal));
    } else if (target_ != kTargetHostPreview) {
        reportHostProgress(g_, geometry.progressDone, geometry.progressTotal);
    }
    ++geometry.progressDone;
}

bool BandServices::rowFinished(int32_t row) {
    const pi::FilterRecord& record = *g_.record;
    if (target_ == kTargetHostPreview) {
        // Hosts that draw slowly get a redraw every 100 rows only.
        const bool slowDisplay = record.hostSig == pi::kSigPhotoshop || record.hostSig == pi::kSigElements;
        if (record.advanceState && record.displayPixels && hooks_ && (!slowDisplay || row % 100 == 99))
            hooks_->refreshPreview(row);
        return true;
    }
    return !pollHostAbort(g_);
}

void renderBandStep(PluginGlobals& g, uint32_t renderTarget, RenderServices& services, TiledImage* tiled,
                    RowWorkers* workers) {
    RenderGeometry& geometry = g.geometry;
    const int32_t row = int32_t(geometry.currentRow);
    RenderStatus status = RenderStatus::Done;
    if (g.plan && g.rowBuffer.data) {
        if (tiled) {
            const TiledFormat format{g.band.depth, g.band.planes, g.band.editableTransparency};
            TiledTarget target(*tiled, format, geometry.renderWidth, geometry.renderHeight);
            status = renderRows(*g.plan, target, row, row + 1, &services, workers);
        } else {
            const BandWrite how = renderTarget == kTargetHostPreview ? BandWrite::Preview : BandWrite::Final;
            BandTarget target(g.band, how, rectWidth(g.record->outRect), geometry.renderHeight);
            status = renderRows(*g.plan, target, row, row + 1, &services, workers);
        }
    }
    if (int64_t(geometry.currentRow) + 1 >= int64_t(geometry.renderHeight)) {
        geometry.rendering = 0;
        geometry.currentRow = 0;
    } else {
        ++geometry.currentRow;
    }
    if (status == RenderStatus::NoDestination) *g.result = pi::kMemFullErr;
    if (status == RenderStatus::Stopped) *g.result = pi::kUserCanceledErr;
}

}  // namespace lumenfall
