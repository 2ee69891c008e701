#include "host/dialog_renders.h"

#include <algorithm>
#include <cstring>

#include "host/image_pipeline.h"
#include "host/tiled_render_frame.h"
#include "kernels/numeric_bounds.h"
#include "render/row_workers.h"
#include "render/tiled_image.h"

namespace lumenfall {
namespace {

bool hasTiles(const TiledImage* image) { return image && image->tiles && image->tileCount > 0; }

// The host asked for the next band; false when it could not deliver it.
bool advanceBand(PluginGlobals& g) {
    if (!g.record->advanceState) return true;
    *g.result = g.record->advanceState();
    if (*g.result != 0) return false;
    describeHostBand(g);
    return true;
}

// Copies the host's delivered input row into level 0 of `image`.
void copyInputRow(const HostBand& band, int32_t row, int32_t width, TiledImage& image) {
    if (!band.inData || band.planes < 1) return;
    const int32_t sampleBytes = band.depth == 16 ? 2 : (band.depth == 32 ? 4 : 1);
    const float hostFull = band.depth == 16 ? 32768.0f : (band.depth == 32 ? 1.0f : 255.0f);
    const float ratio = image.maxValue / hostFull;
    for (int32_t x = 0; x < width; ++x) {
        const uint8_t* pixel = band.inData + size_t(x) * size_t(band.planes) * size_t(sampleBytes);
        float v[4] = {0, 0, 0, 0};
        for (int32_t p = 0; p < std::min(band.planes, 4); ++p) {
            const uint8_t* sample = pixel + p * sampleBytes;
            if (sampleBytes == 1) {
                v[p] = sample[0];
            } else if (sampleBytes == 2) {
                uint16_t u;
                std::memcpy(&u, sample, 2);
                v[p] = u;
            } else {
                std::memcpy(&v[p], sample, 4);
            }
        }
        float channels[4];
        if (band.planes >= 3) {
            channels[0] = v[0];
            channels[1] = v[1];
            channels[2] = v[2];
            channels[3] = band.planes >= 4 ? v[3] : hostFull;
        } else {
            channels[0] = channels[1] = channels[2] = v[0];
            channels[3] = band.planes >= 2 ? v[1] : hostFull;
        }
        for (float& c : channels) c *= ratio;
        writePixel(image, x, row, 0, channels);
    }
}

void requestWholeFilter(pi::FilterRecord& record) {
    record.inRect = record.filterRect;
    record.outRect = record.filterRect;
    record.maskRect = record.filterRect;
    record.inLoPlane = record.outLoPlane = 0;
    record.inHiPlane = record.outHiPlane = int16_t(record.planes - 1);
}

}  // namespace

void renderPreviewThroughHost(PluginGlobals& g, ParameterBlock& block, DialogRenderHooks* hooks) {
    const pi::FilterRecord& record = *g.record;
    if (!planRender(g, block, g.geometry.renderWidth)) return;
    if (*g.result != 0 || !record.advanceState || !record.displayPixels || !record.inData) return;
    describeHostBand(g);
    // The preview's buffers hold the region from its first row, wherever
    // the region lies in the picture.
    g.band.inFirstRow = g.band.outFirstRow = g.band.maskFirstRow = 0;
    BandServices services(g, block.renderTarget, hooks);
    RowWorkers workers(renderThreadCount());
    // The geometry is the whole picture's (the sun's place and size); the
    // rows drawn are those of the host's preview buffer.
    const int32_t rows = g.band.outRowCount > 0 ? std::min(g.band.outRowCount, g.geometry.renderHeight)
                                                : g.geometry.renderHeight;
    while (g.geometry.rendering == 1 && *g.result == 0 && int32_t(g.geometry.currentRow) < rows)
        renderBandStep(g, block.renderTarget, services, nullptr, &workers);
    g.geometry.rendering = 0;
    g.geometry.currentRow = 0;
}

void saveRenderState(RenderStateSnapshot& snapshot, const PluginGlobals& g, const ParameterBlock& block,
                     bool full) {
    const pi::FilterRecord& record = *g.record;
    snapshot = RenderStateSnapshot{};
    snapshot.inRect = record.inRect;
    snapshot.outRect = record.outRect;
    snapshot.maskRect = record.maskRect;
    snapshot.renderScale = block.renderScale;
    snapshot.currentRow = g.geometry.currentRow;
    snapshot.filterTop = record.filterRect.top;
    snapshot.full = full;
    if (full) {
        snapshot.viewOriginX = block.viewOriginX;
        snapshot.viewOriginY = block.viewOriginY;
        snapshot.renderTarget = block.renderTarget;
    }
}

void restoreRenderState(const RenderStateSnapshot& snapshot, PluginGlobals& g, ParameterBlock& block,
                        DialogRenderHooks* hooks) {
    pi::FilterRecord& record = *g.record;
    record.inRect = snapshot.inRect;
    record.outRect = snapshot.outRect;
    record.maskRect = snapshot.maskRect;
    record.filterRect.top = snapshot.filterTop;
    block.renderScale = snapshot.renderScale;
    g.geometry.currentRow = snapshot.currentRow;
    if (snapshot.full) {
        block.viewOriginX = snapshot.viewOriginX;
        block.viewOriginY = snapshot.viewOriginY;
        block.renderTarget = snapshot.renderTarget;
    }
    if (block.renderTarget == kTargetHostPreview && hooks) hooks->applyPreviewScale();
}

void renderIntoTiledImage(PluginGlobals& g, ParameterBlock& block, TiledImage* image, bool* cancelled,
                          DialogRenderHooks* hooks) {
    if (!image) return;
    bool localCancel = false;
    bool& cancel = cancelled ? *cancelled : localCancel;
    pi::FilterRecord& record = *g.record;
    RenderGeometry& geometry = g.geometry;

    // The picture: the host's rows, one band each, into level 0. Only a
    // render at the filter rectangle's size reads them: the host's rows are
    // no wider than that, and a render at another size (the memory-dots
    // page's pictures) brings its picture along.
    const pi::Rect& filter = record.filterRect;
    if (image->channelCount == 4 && hasTiles(image) && image->levelWidth[0] >= geometry.renderWidth &&
        image->levelHeight[0] >= geometry.renderHeight && geometry.renderWidth == filter.right - filter.left &&
        geometry.renderHeight == filter.bottom - filter.top) {
        for (int32_t row = 0; row < geometry.renderHeight; ++row) {
            requestRow(g, block, row);
            if (record.advanceState) {
                const int16_t delivered = record.advanceState();
                if (delivered != 0) {
                    *g.result = delivered;
                    geometry.rendering = 0;
                    break;
                }
                describeHostBand(g);
            }
            copyInputRow(g.band, row, geometry.renderWidth, *image);
        }
    }

    // The render covers the whole image: the filter rectangle becomes the
    // image's for its duration.
    RenderStateSnapshot snapshot;
    saveRenderState(snapshot, g, block, true);
    const pi::Rect savedFilter = record.filterRect;
    record.filterRect = tiledImageFilterRect(image->levelWidth[0], image->levelHeight[0]);
    block.viewOriginX = 0;
    block.viewOriginY = 0;
    requestWholeFilter(record);
    block.renderTarget = kTargetTiledImage;

    const int32_t rowWidth = hasTiles(image) ? image->levelWidth[0] : geometry.renderWidth;
    if (planRender(g, block, rowWidth)) {
        BandServices services(g, kTargetTiledImage, hooks);
        RowWorkers workers(renderThreadCount());
        for (int32_t k = 0; geometry.rendering == 1 && !cancel && *g.result == 0; ++k) {
            if (record.advanceState) {
                requestRow(g, block, int32_t(geometry.currentRow));
                advanceBand(g);
            }
            renderBandStep(g, kTargetTiledImage, services, image, &workers);
            if (k % 8 != 0) {
                const bool dialogCancel = hooks && hooks->cancelPending();
                if (pollHostAbort(g) || dialogCancel) {
                    cancel = true;
                    if (hooks) hooks->cancelNotice();
                }
            }
        }
    }
    // A cancel seen inside a row step stops the render as well.
    if (*g.result == pi::kUserCanceledErr) cancel = true;

    record.filterRect = savedFilter;
    restoreRenderState(snapshot, g, block, hooks);
    if (hooks) hooks->applyPreviewScale();
}

bool readPictureRows(PluginGlobals& g, ParameterBlock& block, PictureRowSink sink, void* context) {
    pi::FilterRecord& record = *g.record;
    const int32_t width = record.filterRect.right - record.filterRect.left;
    const int32_t height = record.filterRect.bottom - record.filterRect.top;
    if (!record.advanceState || width < 1 || height < 1) return false;
    TiledImage row;
    initTiledImage(row, nullptr, nullptr);
    if (!createTiledImage(&row, width, 1, kStoreRgbaFloat, 0, false)) return false;
    RenderStateSnapshot snapshot;
    saveRenderState(snapshot, g, block, true);
    bool delivered = true;
    for (int32_t y = 0; y < height && delivered; ++y) {
        requestRow(g, block, y);
        delivered = record.advanceState() == 0;
        if (!delivered) break;
        describeHostBand(g);
        copyInputRow(g.band, 0, width, row);
        sink(context, y, row);
    }
    restoreRenderState(snapshot, g, block, nullptr);
    freeTiledImage(&row);
    return delivered;
}

}  // namespace lumenfall
