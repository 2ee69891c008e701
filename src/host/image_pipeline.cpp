#include "host/image_pipeline.h"

#include <algorithm>
#include <cstring>

#include "host/row_step.h"
#include "host/run_hooks.h"

namespace lumenfall {

BufferSizes bufferSizesFor(int32_t width, int32_t height) {
    BufferSizes s{};
    s.rowLength = width + 3;
    s.rowLengthDouble = 2 * (width + 3);
    s.passCount = height + 3;
    s.workingRow = std::max(2 * (std::max(width, height) + 4), 3 * width + 2184);
    s.span = width + 2178;
    s.bufferSpace = 2 * s.workingRow + 1112;
    return s;
}

static void setBandGeometry(BandState& band, const pi::Rect& rect) {
    band.renderRect = rect;
    band.width = rect.right - rect.left;
    band.height = rect.bottom - rect.top;
    band.clipRight = band.width - 1;
    band.clipBottom = band.height - 1;
}

void prepareGeometry(PluginGlobals& g, ParameterBlock& block) {
    pi::FilterRecord* record = g.record;
    setBandGeometry(g.band, record->filterRect);
    g.sizes = bufferSizesFor(g.band.width, g.band.height);
    record->bufferSpace = g.sizes.bufferSpace;
    block.renderScale = 1;
}

bool allocateRunBuffers(PluginGlobals& g) {
    RunBuffers& b = g.buffers;
    const pi::FilterRecord* record = g.record;
    bool ok = allocateBuffer(record, 2 * g.sizes.workingRow, &b.rowBuffer);
    // Five small buffers (the 32-byte one first), the job records, the work
    // block, then the last two small buffers.
    for (int i = 0; ok && i < 5; ++i) ok = allocateBuffer(record, i == 0 ? 32 : 16, &b.small[i]);
    ok = ok && allocateBuffer(record, kJobRecordBytes * kMaxJobs, &b.jobRecords);
    ok = ok && allocateBuffer(record, int32_t(kWorkBlockBytes), &b.workBlock);
    for (int i = 5; ok && i < kSmallBufferCount; ++i) ok = allocateBuffer(record, 16, &b.small[i]);
    if (!ok) {
        freeRunBuffers(g);
        return false;
    }
    b.allocated = true;
    // The band counters start from zero with every new work block.
    WorkBlock* work = workBlock(g);
    std::memset(work, 0, sizeof(WorkBlock));
    return true;
}

void freeRunBuffers(PluginGlobals& g) {
    RunBuffers& b = g.buffers;
    freeBuffer(g.record, &b.rowBuffer);
    for (HostBuffer& small : b.small) freeBuffer(g.record, &small);
    freeBuffer(g.record, &b.jobRecords);
    freeBuffer(g.record, &b.workBlock);
    b.allocated = false;
}

void emptyRectangles(pi::FilterRecord* record) {
    record->inRect = pi::Rect{0, 0, 0, 0};
    record->outRect = pi::Rect{0, 0, 0, 0};
    record->maskRect = pi::Rect{0, 0, 0, 0};
}

void endRun(PluginGlobals& g) {
    g.band.rendering = 0;
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

    if (record->haveMask && g.band.maskWanted) {
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

    g.band.maskFirstRow = record->maskRect.top - filter.top;
    g.band.maskLastRow = record->maskRect.bottom - 1 - filter.top;
    g.band.inputFirstRow = record->inRect.top - filter.top;
    g.band.inputLastRow = record->inRect.bottom - 1 - filter.top;

    if (block.renderTarget == kTargetTiledImage) {
        record->maskRect.left += g.band.renderRect.left;
        record->maskRect.right += g.band.renderRect.left;
        record->maskRect.top += g.band.renderRect.top;
        record->maskRect.bottom += g.band.renderRect.top;
    }
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

void reportProgress(PluginGlobals& g, const ParameterBlock& block, uint32_t done, uint32_t total) {
    if (block.renderTarget != kTargetHostImage) return;  // the dialog reports its own renders
    WorkBlock* work = workBlock(g);
    if (!work) return;
    if (int64_t(done) - int64_t(uint32_t(work->progressLastDone)) >= 5) work->progressCounter = 0;
    if ((work->progressCounter == 0 || done == 0) && g.record->progressProc)
        g.record->progressProc(int32_t(done), int32_t(total));
    work->progressCounter = (work->progressCounter + 1) % 32;
    work->progressLastDone = int32_t(done);
}

bool pollCancel(PluginGlobals& g, const ParameterBlock& block) {
    if (block.renderTarget == kTargetHostPreview) return false;
    WorkBlock* work = workBlock(g);
    if (!work) return false;
    work->abortCounter = (work->abortCounter + 1) % 32;
    if (work->abortCounter != 0 || !g.record->abortProc) return false;
    return g.record->abortProc() != 0;
}

void beginFinalRender(PluginGlobals& g, ParameterBlock& block) {
    block.viewOriginX = 0;
    block.viewOriginY = 0;
    int16_t result = startRowRendering(g, block);
    if (result != 0) {
        *g.result = result;
        endRun(g);
        return;
    }
    g.band.maskWanted = 1;
    requestRow(g, block, 0);
    if (g.record->advanceState) {
        *g.result = g.record->advanceState();
        // A host that cannot deliver the first band ends the run here, with
        // nothing left allocated.
        if (*g.result != 0) endRun(g);
    }
}

void continueBandLoop(PluginGlobals& g, ParameterBlock& block) {
    if (!g.buffers.allocated) {
        emptyRectangles(g.record);
        return;
    }
    for (;;) {
        reportProgress(g, block, g.band.progressDone, g.band.progressTotal);
        ++g.band.progressDone;
        renderCurrentRow(g, block);
        if (g.band.currentRow + 1 >= uint32_t(g.band.height)) {
            g.band.rendering = 0;
            g.band.currentRow = 0;
        } else {
            ++g.band.currentRow;
        }
        if (pollCancel(g, block)) *g.result = pi::kUserCanceledErr;

        if (*g.result != 0) g.band.rendering = 0;
        if (*g.result == 0) requestRow(g, block, int32_t(g.band.currentRow));
        if (!g.band.rendering) {
            endRun(g);
            return;
        }
        if (!g.record->advanceState) return;
        *g.result = g.record->advanceState();
        if (*g.result != 0) {
            // The host could not deliver the band: stop with nothing held.
            endRun(g);
            return;
        }
    }
}

}  // namespace lumenfall
