#include "host/preview_port.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "host/band_render.h"
#include "host/dialog_renders.h"
#include "export/thumbnail.h"
#include "host/image_pipeline.h"
#include "host/render_geometry.h"
#include "render/resample_image.h"
#include "kernels/glue_compositor.h"

namespace lumenfall {
namespace {

int32_t rectWidth(const pi::Rect& r) { return r.right > r.left ? r.right - r.left : 0; }
int32_t rectHeight(const pi::Rect& r) { return r.bottom > r.top ? r.bottom - r.top : 0; }

class RepaintHooks : public DialogRenderHooks {
public:
    explicit RepaintHooks(PreviewRepaint* repaint) : repaint_(repaint) {}
    void refreshPreview(int32_t row) override {
        if (repaint_) repaint_->rowsReady(row);
    }

private:
    PreviewRepaint* repaint_;
};

// A converted sample for display: 16-bit 0..32768 as s >> 7, float as
// trunc(f * 255), both held to 0..255.
// Bits per sample of the host's output buffer: 8, 16 (0..32768) or 32 (float).
int32_t outputDepth(const pi::FilterRecord& record) {
    if (record.depth == 16 || record.imageMode == pi::kModeRGB48 || record.imageMode == pi::kModeGray16) return 16;
    return record.depth == 32 ? 32 : 8;
}

uint8_t displaySample(const uint8_t* sample, int32_t depth) {
    if (depth == 16) {
        uint16_t v;
        std::memcpy(&v, sample, 2);
        return uint8_t(std::min(v >> 7, 255));
    }
    float f;
    std::memcpy(&f, sample, 4);
    if (!(f > 0)) return 0;
    return uint8_t(std::min(std::trunc(double(f) * 255.0), 255.0));
}

}  // namespace

int32_t HostPreviewPort::filterWidth() { return rectWidth(g_.record->filterRect); }
int32_t HostPreviewPort::filterHeight() { return rectHeight(g_.record->filterRect); }
bool HostPreviewPort::samplesRegions() { return g_.record->samplingSupport != 0; }

bool HostPreviewPort::requestRegion() {
    pi::FilterRecord& record = *g_.record;
    delivered_ = false;
    if (!record.advanceState || !record.displayPixels) return false;
    requestPreview(g_, block_, std::max(block_.renderScale, 1), kImageAreaWidth, kImageAreaHeight);
    // What the host answers here is the preview's business only: a refusal
    // ends the preview, never the run.
    if (record.advanceState() != 0) return false;
    if (!record.inData || !record.outData || rectWidth(record.outRect) < 1 || rectHeight(record.outRect) < 1)
        return false;
    delivered_ = true;
    return true;
}

void HostPreviewPort::redrawSource() {
    if (!delivered_) return;
    describeHostBand(g_);
    HostBand& band = g_.band;
    band.inFirstRow = band.outFirstRow = band.maskFirstRow = 0;
    const int32_t w = bufferWidth(), h = bufferHeight();
    for (int32_t row = 0; row < h; ++row) previewSourceSpan(band, row, 0, w);
}

void HostPreviewPort::render(PreviewRepaint* repaint) {
    if (!delivered_) return;
    const int16_t result = *g_.result;
    setRenderGeometry(g_, block_, renderRectOf(g_.record->filterRect), std::max(block_.renderScale, 1));
    block_.renderTarget = kTargetHostPreview;
    RepaintHooks hooks(repaint);
    renderPreviewThroughHost(g_, block_, &hooks);
    // The preview never decides the run's result.
    *g_.result = result;
}

int32_t HostPreviewPort::bufferWidth() { return delivered_ ? rectWidth(g_.record->outRect) : 0; }
int32_t HostPreviewPort::bufferHeight() { return delivered_ ? rectHeight(g_.record->outRect) : 0; }

void HostPreviewPort::display(void* deviceContext, PreviewPoint origin, int32_t firstRow, int32_t endRow) {
    const pi::FilterRecord& record = *g_.record;
    if (!delivered_ || !record.displayPixels || !record.outData) return;
    const pi::Rect& out = record.outRect;
    const int32_t w = rectWidth(out), h = rectHeight(out);
    firstRow = std::clamp(firstRow, 0, h);
    endRow = std::clamp(endRow, firstRow, h);
    if (endRow <= firstRow) return;
    const int32_t planes = record.outHiPlane - record.outLoPlane + 1;
    if (planes < 1) return;
    const int32_t depth = outputDepth(record);
    pi::PSPixelMap map{};
    map.version = 1;
    map.bounds = pi::VRect{out.top, out.left, out.bottom, out.right};
    map.imageMode = record.imageMode;
    map.rowBytes = record.outRowBytes;
    map.colBytes = planes;
    map.planeBytes = 1;
    map.baseAddr = record.outData;
    std::vector<uint8_t> converted;
    if (depth != 8) {
        // A copy in 8 bits; without the memory this paint is skipped.
        try {
            converted.resize(size_t(w) * size_t(planes) * size_t(h));
        } catch (const std::bad_alloc&) {
            return;
        }
        const int32_t sampleBytes = depth / 8;
        const auto* base = static_cast<const uint8_t*>(record.outData);
        for (int32_t y = firstRow; y < endRow; ++y)
            for (int32_t i = 0; i < w * planes; ++i)
                converted[size_t(y) * size_t(w) * size_t(planes) + size_t(i)] =
                    displaySample(base + size_t(y) * size_t(record.outRowBytes) + size_t(i) * size_t(sampleBytes), depth);
        const bool grey = record.imageMode == pi::kModeGray16 || record.imageMode == pi::kModeGrayScale ||
                          record.imageMode == pi::kModeGray32;
        map.imageMode = grey ? pi::kModeGrayScale : pi::kModeRGB;
        map.rowBytes = w * planes;
        map.baseAddr = converted.data();
    }
    pi::VRect shown{out.top + firstRow, out.left, out.top + endRow, out.right};
    record.displayPixels(&map, &shown, origin.y + firstRow, origin.x, deviceContext);
}

bool HostPreviewPort::makeThumbnail() {
    const pi::FilterRecord& record = *g_.record;
    WorkBlock* work = workBlock(g_);
    std::unique_ptr<Thumbnail> thumbnail(new (std::nothrow) Thumbnail);
    if (!work || !thumbnail) return false;
    bool made = false;
    if (delivered_ && record.outData) {
        // The buffer as the user sees it: the square is taken from the
        // preview's own picture, whatever its zoom.
        HostOutputView view;
        view.data = record.outData;
        view.rowBytes = record.outRowBytes;
        view.bottom = bufferHeight();
        view.right = bufferWidth();
        view.planes = record.outHiPlane - record.outLoPlane + 1;
        view.depth = outputDepth(record);
        made = lumenfall::makeThumbnail(view, view.right, view.bottom, lanczosWeightsOf(*work), nullptr, *thumbnail);
    } else {
        fillThumbnailRamp(*thumbnail);
    }
    std::memcpy(g_.thumbnail, thumbnail->rgb, sizeof g_.thumbnail);
    g_.thumbnailReady = made ? 1 : 0;
    return made;
}

}  // namespace lumenfall
