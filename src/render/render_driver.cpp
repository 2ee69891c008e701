#include "render/render_driver.h"

#include <algorithm>
#include <cstring>

#include "kernels/spectral_tables.h"
#include "render/job_runner.h"
#include "render/noise_table.h"
#include "render/render_tables.h"
#include "render/size_functions.h"
#include "render/tiled_image.h"
#include "render/tiled_image_access.h"
#include "kernels/spectral_arithmetic.h"

namespace lumenfall {
namespace {

constexpr int16_t kResultCancelled = -128;

constexpr uint32_t fourCharacters(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
           (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

int32_t rectWidth(const RenderRect& r) { return int32_t(r.right) - int32_t(r.left); }
int32_t rectHeight(const RenderRect& r) { return int32_t(r.bottom) - int32_t(r.top); }

bool hasTiles(const TiledImage* image) { return image && image->tiles && image->tileCount > 0; }

// A renderScale below 1 never comes from a caller; read as 1 if it does.
int32_t renderScaleOf(const ParameterBlock& block) { return std::max(block.renderScale, 1); }

void setResult(RenderSession& s, int16_t code) {
    if (s.result) *s.result = code;
}
int16_t resultOf(const RenderSession& s) { return s.result ? *s.result : 0; }

HostRects currentHostRects(const RenderSession& s) {
    HostRects rects{};
    if (s.host.getHostRects) s.host.getHostRects(s.host.context, &rects);
    return rects;
}

// The width the rows are rendered over: the tiled image's for render target
// 2, else the host's output rectangle.
int32_t rowWidth(const RenderSession& s) {
    if (s.block->renderTarget == kTargetTiledImage && hasTiles(s.workingImage))
        return s.workingImage->levelWidth[0];
    if (s.host.outputRectWidth) return s.host.outputRectWidth(s.host.context);
    return s.geometry->renderWidth;
}

// Step 1. The row buffer holds the SphereTable, which reaches the sun's
// radius only if the buffer is as wide as the rendered area. The host's
// input rectangle is not set before the first row request, so the wider of
// it and the rendered width (the tiled image's for render target 2) sizes it.
bool prepareRowBuffer(RenderSession& s) {
    RenderGeometry& g = *s.geometry;
    RowBuffer& buffer = *s.rowBuffer;
    int32_t width = g.renderWidth;
    if (s.block->renderTarget == kTargetTiledImage && hasTiles(s.workingImage))
        width = s.workingImage->levelWidth[0];
    if (s.host.inputRectWidth) width = std::max(width, s.host.inputRectWidth(s.host.context));
    g.rowBufferEntries = uint32_t(std::max(width, 0)) + 4;
    const size_t bytes = size_t(g.rowBufferEntries) * 2;
    if (buffer.data && bytes <= buffer.capacityBytes) return true;
    releaseBuffer(s.buffers, buffer.data, buffer.handle);
    buffer = RowBuffer{nullptr, 0, 0};
    uint64_t handle = 0;
    void* data = allocateBuffer(s.buffers, bytes, s.buffers == nullptr, &handle);
    if (!data) return false;
    buffer = RowBuffer{static_cast<uint16_t*>(data), bytes, handle};
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

}  // namespace

void setRenderGeometry(RenderSession& s, const RenderRect& rect, int32_t scale) {
    RenderGeometry& g = *s.geometry;
    s.block->renderScale = scale;
    g.renderWidth = rectWidth(rect);
    g.renderHeight = rectHeight(rect);
    g.firstColumn = 0;
    g.firstRow = 0;
    g.lastColumn = g.renderWidth - 1;
    g.lastRow = g.renderHeight - 1;
}

int32_t runRenderDriver(RenderSession& s) {
    ParameterBlock& block = *s.block;
    WorkBlock& work = *s.work;
    RenderGeometry& g = *s.geometry;
    const int32_t width = g.renderWidth;
    const int32_t height = g.renderHeight;
    const int32_t scale = renderScaleOf(block);
    // Sizes in the spike and detail tables are measured on the whole area.
    const float unit = pixelUnit(rectWidth(g.renderRect), rectHeight(g.renderRect));

    const bool rowBufferReady = prepareRowBuffer(s);                       // 1
    if (!rowBufferReady) setResult(s, kResultCancelled);
    buildSpectralTable(block, work, kSpectralBuildSpike);                   // 2
    buildSpectralTable(block, work, kSpectralBuildBow);
    buildNoiseTable(block.randomSeed, noiseSourceTable(), work.noiseTable);  // 3
    buildHaloCurves(block);                                                 // 4
    buildSpikeProfile(block, work);                                         // 5
    buildFlareCurves(block);                                                // 6
    buildSunCurves(block);                                                  // 7
    buildBowTable(block, work);                                             // 8
    buildFlareAngles(block, work);                                          // 9
    buildSpikeAxes(block, work, scale, unit);                               // 10
    setSunCentre(block, width, height);                                     // 11
    // Without a row buffer there is nowhere to put the SphereTable: the
    // render stops here with the result already set, and no row is drawn.
    if (!rowBufferReady) {
        g.rendering = 0;
        return height + 1;
    }

    const int32_t radius = scaledRadiusPixels(block.sunRadius, width, height);  // 12
    g.sphereLastIndex = int32_t(std::min<int64_t>(int64_t(g.rowBufferEntries) - 1,
                                                  std::max(1, radius / scale)));
    const float detailScale = detailScaleOf(block.sunDetail, scale, unit);
    setDetailValues(block, detailScale, radius);
    buildSmoothstepTable(block.derived.smoothstepTable);
    buildSphereTable(s.rowBuffer->data, g.sphereLastIndex, detailScale);
    buildSwirlCentres(block, work, radius, scale, s.rowBuffer->data[g.sphereLastIndex]);  // 13

    g.currentRow = 0;                                                       // 14
    g.progressDone = 0;
    // An empty area has no row to render.
    g.rendering = height > 0 ? 1 : 0;
    g.maskWanted = 1;
    g.progressTotal = uint32_t(height + 1);
    return height + 1;
}

void reportProgress(RenderSession& s, uint32_t done, uint32_t total) {
    WorkBlock& work = *s.work;
    switch (s.block->renderTarget) {
        case kTargetHostPreview:
            return;
        case kTargetTiledImage:
            if (s.host.dialogProgress) s.host.dialogProgress(s.host.context, int32_t(done), int32_t(total));
            return;
        default: {
            // The host's progress callback can be slow: call it on the first
            // step, when a 0..31 counter wraps, or when 5 or more rows passed.
            int32_t counter = work.progressCounter;
            if (int64_t(done) - int64_t(work.progressLastDone) >= 5) counter = 0;
            if ((counter == 0 || done == 0) && s.host.progress)
                s.host.progress(s.host.context, int32_t(done), int32_t(total));
            work.progressCounter = int32_t((uint32_t(counter) + 1) % 32);
            work.progressLastDone = int32_t(done);
            return;
        }
    }
}

bool pollCancel(RenderSession& s) {
    if (s.block->renderTarget == kTargetHostPreview) return false;
    WorkBlock& work = *s.work;
    work.abortCounter = int32_t((uint32_t(work.abortCounter) + 1) % 32);
    if (work.abortCounter != 0) return false;
    return s.host.abort ? s.host.abort(s.host.context) : false;
}

void renderRowStep(RenderSession& s) {
    ParameterBlock& block = *s.block;
    RenderGeometry& g = *s.geometry;
    reportProgress(s, g.progressDone, g.progressTotal);                    // 1
    ++g.progressDone;
    g.rowToRender = g.currentRow;                                           // 2

    const bool tiled = block.renderTarget == kTargetTiledImage && hasTiles(s.workingImage);
    const int32_t width = rowWidth(s);                                      // 3
    if (s.target) {
        s.target->renderTarget = block.renderTarget;
        s.target->width = width;
        s.target->height = tiled ? s.workingImage->levelHeight[0] : g.renderHeight;
        if (tiled) {
            s.target->tiled = tiledImageAccess(s.workingImage);
            // The compositor reads the image's depth from the band; the host
            // describes its image there, and an image of our own that the
            // host never described is taken as RGB of the store's depth.
            if (s.target->band.depth == 0) {
                const uint32_t type = s.workingImage->storeType;
                s.target->band.depth = type == kStoreRgba16 ? 16 : (type == kStoreRgbaFloat ? 32 : 8);
                s.target->band.planes = 3;
                s.target->band.editableTransparency = false;
            }
        }
    }
    if (s.rowBuffer && s.rowBuffer->data) {
        const SunRowContext context{&block, s.work, s.rowBuffer->data, g.sphereLastIndex,
                                    g.renderWidth, g.renderHeight, s.target, s.result};
        JobList jobs;
        buildRangeJobs(jobs, 0, width - 1, kJobRenderRow, kJobCount);
        for (int32_t i = 0; i < jobs.count; ++i) {
            jobs.jobs[i].session = &s;
            jobs.jobs[i].row = int32_t(g.rowToRender);
            jobs.jobs[i].image = tiled ? s.workingImage : nullptr;
            jobs.jobs[i].context = &context;
        }
        runJobs(jobs);
    }

    if (s.host.advanceState && s.host.hasDisplayPixels &&                   // 4
        block.renderTarget == kTargetHostPreview && s.host.refreshPreview) {
        const uint32_t sig = s.host.hostSignature;
        const bool slowDisplay = sig == fourCharacters("8BIM") || sig == fourCharacters("8ELE");
        if (!slowDisplay || g.rowToRender % 100 == 99)
            s.host.refreshPreview(s.host.context, int32_t(g.rowToRender));
    }

    if (int64_t(g.currentRow) + 1 >= int64_t(g.renderHeight)) {            // 5
        g.rendering = 0;
        g.currentRow = 0;
    } else {
        ++g.currentRow;
    }
    if (pollCancel(s)) setResult(s, kResultCancelled);                     // 6
}

int16_t beginFinalRender(RenderSession& s) {
    ParameterBlock& block = *s.block;
    RenderGeometry& g = *s.geometry;
    block.viewOriginX = 0;
    block.viewOriginY = 0;
    // The final render always goes into the host image, whatever the dialog
    // left in the block.
    block.renderTarget = kTargetHostImage;
    buildProceduralWeights(s.work->proceduralWeights);
    if (s.host.getHostRects) g.renderRect = currentHostRects(s).filterRect;
    setRenderGeometry(s, g.renderRect, 1);
    runRenderDriver(s);
    if (resultOf(s) != 0) return resultOf(s);
    g.maskWanted = 1;
    if (s.host.requestRow) s.host.requestRow(s.host.context, int32_t(g.currentRow));
    if (s.host.advanceState) setResult(s, s.host.advanceState(s.host.context));
    return resultOf(s);
}

void renderPreviewThroughHost(RenderSession& s) {
    buildProceduralWeights(s.work->proceduralWeights);
    runRenderDriver(s);
    if (resultOf(s) != 0 || !s.host.advanceState || !s.host.hasDisplayPixels) return;
    if (!s.host.inputBufferPresent || !s.host.inputBufferPresent(s.host.context)) return;
    while (s.geometry->rendering == 1 && resultOf(s) == 0) renderRowStep(s);
}

void saveRenderState(RenderStateSnapshot& snapshot, const RenderSession& s, bool full) {
    const HostRects rects = currentHostRects(s);
    snapshot = RenderStateSnapshot{};
    snapshot.inRect = rects.inRect;
    snapshot.outRect = rects.outRect;
    snapshot.maskRect = rects.maskRect;
    snapshot.renderScale = s.block->renderScale;
    snapshot.currentRow = s.geometry->currentRow;
    snapshot.filterTop = rects.filterRect.top;
    snapshot.full = full;
    if (full) {
        snapshot.viewOriginX = s.block->viewOriginX;
        snapshot.viewOriginY = s.block->viewOriginY;
        snapshot.renderTarget = s.block->renderTarget;
    }
}

void restoreRenderState(const RenderStateSnapshot& snapshot, RenderSession& s) {
    HostRects rects = currentHostRects(s);
    rects.inRect = snapshot.inRect;
    rects.outRect = snapshot.outRect;
    rects.maskRect = snapshot.maskRect;
    rects.filterRect.top = snapshot.filterTop;
    if (s.host.setHostRects) s.host.setHostRects(s.host.context, &rects);
    s.block->renderScale = snapshot.renderScale;
    s.geometry->currentRow = snapshot.currentRow;
    if (snapshot.full) {
        s.block->viewOriginX = snapshot.viewOriginX;
        s.block->viewOriginY = snapshot.viewOriginY;
        s.block->renderTarget = snapshot.renderTarget;
    }
    if (s.block->renderTarget == kTargetHostPreview && s.host.applyPreviewScale)
        s.host.applyPreviewScale(s.host.context);
}

void renderIntoTiledImage(RenderSession& s, TiledImage* image, bool* cancelled) {
    if (!image) return;                                                     // 1
    bool localCancel = false;
    bool& cancel = cancelled ? *cancelled : localCancel;
    RenderGeometry& g = *s.geometry;
    void* const ctx = s.host.context;

    if (image->channelCount == 4 && hasTiles(image) &&                      // 2
        image->levelWidth[0] >= g.renderWidth && image->levelHeight[0] >= g.renderHeight) {
        for (int32_t row = 0; row < g.renderHeight; ++row) {
            if (s.host.requestRow) s.host.requestRow(ctx, row);
            if (s.host.advanceState && s.host.advanceState(ctx) != 0) {
                g.rendering = 0;
                break;
            }
            if (s.target) copyInputRow(s.target->band, row, g.renderWidth, *image);
        }
    }

    RenderStateSnapshot snapshot;                                           // 3
    saveRenderState(snapshot, s, true);
    HostRects rects = currentHostRects(s);
    const RenderRect savedFilter = rects.filterRect;
    rects.filterRect = RenderRect{0, 0, saturateTo<int16_t>(image->levelHeight[0]),
                                  saturateTo<int16_t>(image->levelWidth[0])};
    if (s.host.setHostRects) s.host.setHostRects(ctx, &rects);
    s.block->viewOriginX = 0;
    s.block->viewOriginY = 0;
    if (s.host.requestWholeFilter) s.host.requestWholeFilter(ctx);
    s.block->renderTarget = kTargetTiledImage;
    TiledImage* const previousImage = s.workingImage;
    s.workingImage = image;

    buildProceduralWeights(s.work->proceduralWeights);                     // 4
    runRenderDriver(s);

    for (int32_t k = 0; g.rendering == 1 && !cancel && resultOf(s) == 0; ++k) {  // 5
        if (s.host.advanceState) {
            if (s.host.requestRow) s.host.requestRow(ctx, int32_t(g.currentRow));
            setResult(s, s.host.advanceState(ctx));
        }
        if (!cancel) renderRowStep(s);
        if (k % 8 != 0) {
            const bool dialogCancel = s.host.dialogCancelPending && s.host.dialogCancelPending(ctx);
            if (pollCancel(s) || dialogCancel) {
                cancel = true;
                if (s.host.dialogCancelNotice) s.host.dialogCancelNotice(ctx);
            }
        }
    }
    // A cancel seen inside a row step stops the render as well.
    if (resultOf(s) == kResultCancelled) cancel = true;

    rects = currentHostRects(s);                                            // 6
    rects.filterRect = savedFilter;
    if (s.host.setHostRects) s.host.setHostRects(ctx, &rects);
    restoreRenderState(snapshot, s);
    s.workingImage = previousImage;
    if (s.host.applyPreviewScale) s.host.applyPreviewScale(ctx);
}

void freeRowBuffer(RenderSession& s) {
    if (!s.rowBuffer) return;
    releaseBuffer(s.buffers, s.rowBuffer->data, s.rowBuffer->handle);
    *s.rowBuffer = RowBuffer{nullptr, 0, 0};
}

}  // namespace lumenfall
