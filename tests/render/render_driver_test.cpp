// The driver's steps, the row loop, progress and cancel throttles, the row
// buffer, and the three render entries.
#include <gtest/gtest.h>

#include "render/size_functions.h"
#include "render/tiled_image.h"
#include "render_harness.h"

namespace lumenfall {
namespace {

using test::Harness;

TEST(RenderDriver, BuildsTablesAndSetsUpTheRowLoop) {
    Harness h(1000, 600);
    EXPECT_EQ(runRenderDriver(h.session), 601);
    EXPECT_EQ(h.result, 0);
    EXPECT_EQ(h.geometry.rendering, 1);
    EXPECT_EQ(h.geometry.maskWanted, 1);
    EXPECT_EQ(h.geometry.currentRow, 0u);
    EXPECT_EQ(h.geometry.progressDone, 0u);
    EXPECT_EQ(h.geometry.progressTotal, 601u);
    EXPECT_EQ(h.block->centerX, int32_t(1000.0f * 0.65f));
    // sun radius 38 on a short side of 600: 600 * 0.144 = 86.4
    EXPECT_EQ(h.geometry.sphereLastIndex, scaledRadiusPixels(38, 1000, 600));
    EXPECT_EQ(h.geometry.sphereLastIndex, 86);
    EXPECT_EQ(h.rowBuffer.data[0], 0);
    EXPECT_GT(h.rowBuffer.data[86], h.rowBuffer.data[85]);
    EXPECT_EQ(h.block->derived.smoothstepTable[256], 256);
}

TEST(RenderDriver, SunRadiusZeroStillGivesTwoSphereEntries) {
    Harness h(300, 200);
    h.block->sunRadius = 0;
    runRenderDriver(h.session);
    EXPECT_EQ(h.geometry.sphereLastIndex, 1);
    EXPECT_EQ(h.rowBuffer.data[0], 0);
    EXPECT_GE(h.block->derived.smearStride, 1);
}

TEST(RenderDriver, OnePixelImage) {
    Harness h(1, 1);
    h.block->sunRadius = 100;
    runRenderDriver(h.session);
    EXPECT_EQ(h.geometry.rowBufferEntries, 5u);
    EXPECT_EQ(h.geometry.sphereLastIndex, 1);
    EXPECT_EQ(h.rowBuffer.data[0], 0);
}

TEST(RenderDriver, SphereTableBoundedByTheRowBuffer) {
    Harness h(10, 10);
    h.block->sunRadius = 1000;  // radius 10 * 100 = 1000 pixels
    runRenderDriver(h.session);
    EXPECT_EQ(h.geometry.rowBufferEntries, 14u);
    EXPECT_EQ(h.geometry.sphereLastIndex, 13);
}

TEST(RenderDriver, RowBufferReachesTheSunBeforeTheHostSetAnInputRectangle) {
    Harness h(1000, 800);
    h.block->sunRadius = 100;
    h.host.inputWidth = 0;  // nothing requested yet
    runRenderDriver(h.session);
    EXPECT_EQ(h.geometry.rowBufferEntries, 1004u);
    EXPECT_EQ(h.geometry.sphereLastIndex, 800);
    // A wider host input rectangle widens the buffer.
    h.host.inputWidth = 2000;
    runRenderDriver(h.session);
    EXPECT_EQ(h.geometry.rowBufferEntries, 2004u);
    EXPECT_GE(h.rowBuffer.capacityBytes, 4008u);
}

TEST(RenderDriver, RowBufferIsReusedWhenLargeEnough) {
    Harness h(100, 100);
    runRenderDriver(h.session);
    EXPECT_EQ(h.allocator.allocations, 1);
    runRenderDriver(h.session);
    EXPECT_EQ(h.allocator.allocations, 1);
    h.host.inputWidth = 500;
    runRenderDriver(h.session);
    EXPECT_EQ(h.allocator.allocations, 2);
    EXPECT_EQ(h.allocator.releases, 1);
}

TEST(RenderDriver, FailedRowBufferStopsBeforeTheSphereTable) {
    Harness h(400, 300);
    h.allocator.failAfter = 0;
    h.geometry.sphereLastIndex = -7;
    runRenderDriver(h.session);
    EXPECT_EQ(h.result, -128);
    EXPECT_EQ(h.geometry.rendering, 0);
    EXPECT_EQ(h.rowBuffer.data, nullptr);
    EXPECT_EQ(h.geometry.sphereLastIndex, -7);  // step 12 did not run
    EXPECT_EQ(h.block->centerX, int32_t(400.0f * 0.65f));  // step 11 did
    // A row step without a row buffer draws nothing.
    renderRowStep(h.session);
    EXPECT_TRUE(test::rowCalls().empty());
}

TEST(RenderDriver, RowStepsProgressAndThrottles) {
    const int32_t height = 100;
    Harness h(37, height);
    runRenderDriver(h.session);
    int steps = 0;
    while (h.geometry.rendering == 1 && h.result == 0) {
        renderRowStep(h.session);
        ++steps;
    }
    EXPECT_EQ(steps, height);
    ASSERT_EQ(test::rowCalls().size(), size_t(height));
    for (int32_t r = 0; r < height; ++r) {
        EXPECT_EQ(test::rowCalls()[r].row, r);
        EXPECT_EQ(test::rowCalls()[r].first, 0);
        EXPECT_EQ(test::rowCalls()[r].last, 36);
        EXPECT_EQ(test::rowCalls()[r].step, 1);
    }
    EXPECT_EQ(h.geometry.progressDone, uint32_t(height));
    EXPECT_EQ(h.geometry.currentRow, 0u);
    // The host's progress: on the first step, then whenever the 0..31
    // counter wraps (rows advance one at a time).
    const std::vector<std::pair<int32_t, int32_t>> expected{{0, 101}, {32, 101}, {64, 101}, {96, 101}};
    EXPECT_EQ(h.host.progressCalls, expected);
    // The abort test: every 32nd step.
    EXPECT_EQ(h.host.abortCalls, 3);
}

TEST(RenderDriver, ProgressCountsEveryCallAndJumpsResetTheThrottle) {
    Harness h(10, 10);
    for (uint32_t done = 0; done < 10; ++done) reportProgress(h.session, done, 11);
    EXPECT_EQ(h.host.progressCalls.size(), 1u);
    reportProgress(h.session, 15, 11);  // 6 rows further: reported
    EXPECT_EQ(h.host.progressCalls.size(), 2u);
    EXPECT_EQ(h.host.progressCalls.back().first, 15);
    h.block->renderTarget = kTargetTiledImage;
    reportProgress(h.session, 3, 11);
    EXPECT_EQ(h.host.dialogProgressCalls.size(), 1u);
    h.block->renderTarget = kTargetHostPreview;
    reportProgress(h.session, 0, 11);
    EXPECT_EQ(h.host.progressCalls.size(), 2u);
    EXPECT_EQ(h.host.dialogProgressCalls.size(), 1u);
}

TEST(RenderDriver, CancelSetsTheResultAndStopsTheLoop) {
    Harness h(5, 100);
    h.host.abortAnswer = true;
    runRenderDriver(h.session);
    while (h.geometry.rendering == 1 && h.result == 0) renderRowStep(h.session);
    EXPECT_EQ(h.result, -128);
    EXPECT_EQ(test::rowCalls().size(), 32u);
    // The preview through the host is never cancelled by the abort test.
    h.block->renderTarget = kTargetHostPreview;
    for (int i = 0; i < 64; ++i) EXPECT_FALSE(pollCancel(h.session));
}

TEST(RenderDriver, PreviewRefreshFollowsTheHostSignature) {
    Harness h(4, 200);
    h.withAdvanceState();
    h.session.host.hasDisplayPixels = true;
    h.block->renderTarget = kTargetHostPreview;
    h.session.host.hostSignature = 0x38424953;  // '8BIS'
    runRenderDriver(h.session);
    for (int i = 0; i < 3; ++i) renderRowStep(h.session);
    EXPECT_EQ(h.host.refreshedRows, (std::vector<int32_t>{0, 1, 2}));
    h.host.refreshedRows.clear();
    h.session.host.hostSignature = 0x3842494D;  // '8BIM': only rows 99, 199, ...
    runRenderDriver(h.session);
    while (h.geometry.rendering == 1) renderRowStep(h.session);
    EXPECT_EQ(h.host.refreshedRows, (std::vector<int32_t>{99, 199}));
}

TEST(RenderDriver, FinalRenderRequestsTheFirstRow) {
    Harness h(64, 48);
    h.withAdvanceState();
    h.block->renderTarget = kTargetTiledImage;  // left over by the dialog
    h.block->viewOriginX = 17;
    h.host.rects.filterRect = RenderRect{10, 20, 58, 84};
    EXPECT_EQ(beginFinalRender(h.session), 0);
    EXPECT_EQ(h.block->renderTarget, uint32_t(kTargetHostImage));
    EXPECT_EQ(h.block->viewOriginX, 0);
    EXPECT_EQ(h.block->renderScale, 1);
    EXPECT_EQ(h.geometry.renderWidth, 64);
    EXPECT_EQ(h.geometry.renderHeight, 48);
    EXPECT_EQ(h.geometry.lastColumn, 63);
    EXPECT_EQ(h.geometry.lastRow, 47);
    EXPECT_EQ(h.host.requestedRows, std::vector<int32_t>{0});
    EXPECT_EQ(h.host.advanceCalls, 1);
    EXPECT_EQ(h.work->proceduralWeights[128], 255);
    h.host.advanceResult = -30;
    EXPECT_EQ(beginFinalRender(h.session), -30);
    EXPECT_EQ(h.result, -30);
}

TEST(RenderDriver, FinalRenderStopsOnAFailedRowBuffer) {
    Harness h(64, 48);
    h.withAdvanceState();
    h.allocator.failAfter = 0;
    EXPECT_EQ(beginFinalRender(h.session), -128);
    EXPECT_TRUE(h.host.requestedRows.empty());
    EXPECT_EQ(h.host.advanceCalls, 0);
}

TEST(RenderDriver, PreviewThroughHostNeedsItsCallbacks) {
    Harness h(8, 6);
    h.block->renderTarget = kTargetHostPreview;
    renderPreviewThroughHost(h.session);
    EXPECT_TRUE(test::rowCalls().empty());
    h.withAdvanceState();
    h.session.host.hasDisplayPixels = true;
    h.session.host.inputBufferPresent = [](void*) { return true; };
    renderPreviewThroughHost(h.session);
    EXPECT_EQ(test::rowCalls().size(), 6u);
    EXPECT_EQ(h.geometry.rendering, 0);
}

TEST(RenderDriver, SaveAndRestoreState) {
    Harness h(8, 6);
    h.host.rects.inRect = RenderRect{1, 2, 3, 4};
    h.host.rects.filterRect.top = 5;
    h.block->renderScale = 3;
    h.block->viewOriginX = 11;
    h.block->renderTarget = kTargetHostPreview;
    h.geometry.currentRow = 4;
    RenderStateSnapshot snapshot;
    saveRenderState(snapshot, h.session, true);
    h.host.rects.inRect = RenderRect{0, 0, 0, 0};
    h.host.rects.filterRect.top = 0;
    h.block->renderScale = 1;
    h.block->viewOriginX = 0;
    h.block->renderTarget = kTargetTiledImage;
    h.geometry.currentRow = 0;
    restoreRenderState(snapshot, h.session);
    EXPECT_EQ(h.host.rects.inRect.right, 4);
    EXPECT_EQ(h.host.rects.filterRect.top, 5);
    EXPECT_EQ(h.block->renderScale, 3);
    EXPECT_EQ(h.block->viewOriginX, 11);
    EXPECT_EQ(h.block->renderTarget, uint32_t(kTargetHostPreview));
    EXPECT_EQ(h.geometry.currentRow, 4u);
    // Back on the dialog's preview: its scale is applied again.
    EXPECT_EQ(h.host.previewScaleCalls, 1);
    // A short snapshot leaves the view and the target alone.
    saveRenderState(snapshot, h.session, false);
    h.block->renderTarget = kTargetTiledImage;
    restoreRenderState(snapshot, h.session);
    EXPECT_EQ(h.block->renderTarget, uint32_t(kTargetTiledImage));
    EXPECT_EQ(h.host.previewScaleCalls, 1);
}

TEST(RenderDriver, RenderIntoTiledImage) {
    Harness h(16, 12);
    h.withAdvanceState();
    TiledImage image;
    initTiledImage(image, nullptr, nullptr);
    ASSERT_TRUE(createTiledImage(&image, 20, 12, kStoreRgba8, 0, false));
    // The host delivers grey 8-bit rows of value 77.
    std::vector<uint8_t> row(16, 77);
    h.target.band.inData = row.data();
    h.target.band.planes = 1;
    h.target.band.depth = 8;
    h.host.rects.inRect = RenderRect{3, 3, 4, 4};
    h.block->renderTarget = kTargetHostPreview;
    h.block->viewOriginY = 9;
    bool cancelled = false;
    renderIntoTiledImage(h.session, &image, &cancelled);
    EXPECT_FALSE(cancelled);
    // Loading: one request per filter row, then one per rendered row.
    EXPECT_EQ(h.host.requestedRows.size(), 24u);
    float px[4];
    readPixel(image, 15, 11, 0, px);
    EXPECT_EQ(px[0], 77);
    EXPECT_EQ(px[3], 255);
    readPixel(image, 16, 11, 0, px);  // outside the filter width: not loaded
    EXPECT_EQ(px[0], 0);
    // Rows render over the tiled image's width.
    ASSERT_EQ(test::rowCalls().size(), 12u);
    EXPECT_EQ(test::rowCalls()[0].last, 19);
    EXPECT_EQ(h.target.renderTarget, uint32_t(kTargetTiledImage));
    EXPECT_EQ(h.target.tiled.image, &image);
    // Everything is put back.
    EXPECT_EQ(h.block->renderTarget, uint32_t(kTargetHostPreview));
    EXPECT_EQ(h.block->viewOriginY, 9);
    EXPECT_EQ(h.host.rects.inRect.top, 3);
    EXPECT_EQ(h.host.rects.filterRect.bottom, 12);
    EXPECT_EQ(h.host.rects.filterRect.right, 16);
    freeTiledImage(&image);
}

TEST(RenderDriver, RenderIntoTiledImageStopsOnCancel) {
    Harness h(4, 200);
    TiledImage image;
    initTiledImage(image, nullptr, nullptr);
    ASSERT_TRUE(createTiledImage(&image, 4, 200, kStoreRgba8, 0, false));
    h.host.abortAnswer = true;
    bool cancelled = false;
    renderIntoTiledImage(h.session, &image, &cancelled);
    EXPECT_TRUE(cancelled);
    EXPECT_LT(test::rowCalls().size(), 200u);
    freeTiledImage(&image);
    renderIntoTiledImage(h.session, nullptr, &cancelled);  // no image: nothing happens
}

}  // namespace
}  // namespace lumenfall
