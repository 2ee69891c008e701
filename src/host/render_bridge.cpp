#include "host/render_bridge.h"

#include <new>

#include "host/image_pipeline.h"

namespace lumenfall {
namespace {

RenderBridge& bridgeOf(void* context) { return *static_cast<RenderBridge*>(context); }
pi::FilterRecord& recordOf(void* context) { return *bridgeOf(context).globals->record; }

RenderRect toRenderRect(const pi::Rect& r) { return RenderRect{r.top, r.left, r.bottom, r.right}; }
pi::Rect toHostRect(const RenderRect& r) { return pi::Rect{r.top, r.left, r.bottom, r.right}; }

void requestRowCallback(void* context, int32_t row) {
    RenderBridge& b = bridgeOf(context);
    requestRow(*b.globals, *b.block, row);
}

int16_t advanceStateCallback(void* context) {
    RenderBridge& b = bridgeOf(context);
    pi::FilterRecord& record = *b.globals->record;
    if (!record.advanceState) return 0;
    const int16_t result = record.advanceState();
    if (result == 0) describeHostBand(*b.globals);
    return result;
}

void progressCallback(void* context, int32_t done, int32_t total) {
    pi::FilterRecord& record = recordOf(context);
    if (record.progressProc) record.progressProc(done, total);
}

bool abortCallback(void* context) {
    pi::FilterRecord& record = recordOf(context);
    return record.abortProc && record.abortProc() != 0;
}

int32_t inputRectWidth(void* context) {
    const pi::Rect& r = recordOf(context).inRect;
    return r.right > r.left ? r.right - r.left : 0;
}

int32_t outputRectWidth(void* context) {
    const pi::Rect& r = recordOf(context).outRect;
    return r.right > r.left ? r.right - r.left : 0;
}

bool inputBufferPresent(void* context) { return recordOf(context).inData != nullptr; }

void getHostRects(void* context, HostRects* rects) {
    const pi::FilterRecord& record = recordOf(context);
    rects->inRect = toRenderRect(record.inRect);
    rects->outRect = toRenderRect(record.outRect);
    rects->maskRect = toRenderRect(record.maskRect);
    rects->filterRect = toRenderRect(record.filterRect);
}

void setHostRects(void* context, const HostRects* rects) {
    pi::FilterRecord& record = recordOf(context);
    record.inRect = toHostRect(rects->inRect);
    record.outRect = toHostRect(rects->outRect);
    record.maskRect = toHostRect(rects->maskRect);
    record.filterRect = toHostRect(rects->filterRect);
}

void requestWholeFilter(void* context) {
    pi::FilterRecord& record = recordOf(context);
    record.inRect = record.filterRect;
    record.outRect = record.filterRect;
    record.maskRect = record.filterRect;
    record.inLoPlane = record.outLoPlane = 0;
    record.inHiPlane = record.outHiPlane = int16_t(record.planes - 1);
}

// Buffers for the driver: the run's own row buffer under its fixed handle,
// anything else as a host buffer (or plain memory) behind a small record.
void* allocateForDriver(void* context, size_t bytes, uint64_t* handle) {
    PluginGlobals& g = *bridgeOf(context).globals;
    *handle = 0;
    if (bytes > size_t(INT32_MAX)) return nullptr;
    auto* buffer = new (std::nothrow) HostBuffer();
    if (!buffer) return nullptr;
    if (!allocateBuffer(g.record, int32_t(bytes), buffer)) {
        delete buffer;
        return nullptr;
    }
    *handle = reinterpret_cast<uint64_t>(buffer);
    return buffer->data;
}

void releaseForDriver(void* context, uint64_t handle) { releaseDriverBuffer(*bridgeOf(context).globals, handle); }

}  // namespace

void releaseDriverBuffer(PluginGlobals& g, uint64_t handle) {
    if (handle == kRunRowBufferHandle) {
        freeBuffer(g.record, &g.buffers.rowBuffer);
        return;
    }
    auto* buffer = reinterpret_cast<HostBuffer*>(handle);
    if (!buffer) return;
    freeBuffer(g.record, buffer);
    delete buffer;
}

void describeHostBand(PluginGlobals& g) {
    const pi::FilterRecord& r = *g.record;
    HostBand& band = g.target.band;
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

void openRenderBridge(RenderBridge& b, PluginGlobals& g, ParameterBlock& block) {
    b.globals = &g;
    b.block = &block;
    b.allocator = BufferAllocator{&b, allocateForDriver, releaseForDriver};
    RenderSession& s = b.session;
    s = RenderSession{};
    s.block = &block;
    s.work = workBlock(g);
    s.geometry = &g.geometry;
    s.rowBuffer = &g.rowBuffer;
    s.buffers = &b.allocator;
    s.result = g.result;
    s.target = &g.target;
    s.workingImage = nullptr;
    RenderHostCallbacks& h = s.host;
    h.context = &b;
    h.requestRow = requestRowCallback;
    h.advanceState = g.record->advanceState ? advanceStateCallback : nullptr;
    h.progress = progressCallback;
    h.abort = abortCallback;
    h.inputRectWidth = inputRectWidth;
    h.outputRectWidth = outputRectWidth;
    h.inputBufferPresent = inputBufferPresent;
    h.hasDisplayPixels = g.record->displayPixels != nullptr;
    h.hostSignature = g.record->hostSig;
    h.getHostRects = getHostRects;
    h.setHostRects = setHostRects;
    h.requestWholeFilter = requestWholeFilter;
}

}  // namespace lumenfall
