// The host side of a render, with a record of our own in place of a host:
// the row buffer, the throttles, the preview refresh rule and the dialog's
// renders through the host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "export/html_page.h"
#include "export/psd_writer.h"
#include "export/thumbnail_jpeg.h"
#include "host/band_render.h"
#include "host/dialog_renders.h"
#include "host/host_memory.h"
#include "host/image_pipeline.h"
#include "host/pages_port.h"
#include "host/psd_export_host.h"
#include "host/render_geometry.h"
#include "params/defaults.h"
#include "params/plugin_files.h"
#include "params/scoped_temp_folder.h"
#include "render/render_plan.h"
#include "render/tiled_image.h"

namespace lumenfall {
namespace {

// What the host saw. The record's procedures take no context, so the
// harness in use is reached through one pointer.
struct Seen {
    std::vector<std::pair<int32_t, int32_t>> progress;
    int aborts = 0;
    bool abortAnswer = false;
    std::vector<pi::Rect> advances;
    int16_t advanceResult = 0;
};

struct BandHarness;
BandHarness* g_current = nullptr;

struct BandHarness {
    pi::FilterRecord record{};
    std::unique_ptr<PluginGlobals> g = std::make_unique<PluginGlobals>();
    std::unique_ptr<ParameterBlock> block = std::make_unique<ParameterBlock>();
    int16_t result = 0;
    Seen seen;
    std::vector<uint8_t> in, out;  // rows of grey 8-bit pixels of value 77, as many as the filter's

    BandHarness(int16_t width, int16_t height) {
        g_current = this;
        std::memset(g.get(), 0, sizeof(PluginGlobals));
        initialiseParameterBlock(*block);
        record.filterRect = pi::Rect{0, 0, height, width};
        record.imageMode = pi::kModeGrayScale;
        record.planes = 1;
        record.depth = 8;
        record.hostSig = pi::fourCC("LMFT");
        record.progressProc = [](int32_t done, int32_t total) { g_current->seen.progress.emplace_back(done, total); };
        record.abortProc = []() -> pi::Boolean {
            ++g_current->seen.aborts;
            return g_current->seen.abortAnswer;
        };
        record.advanceState = []() -> pi::OSErr {
            BandHarness& h = *g_current;
            h.seen.advances.push_back(h.record.inRect);
            h.record.inData = h.in.data();
            h.record.outData = h.out.data();
            h.record.inRowBytes = h.record.outRowBytes = h.record.filterRect.right;
            return h.seen.advanceResult;
        };
        in.assign(size_t(width) * size_t(height), 77);
        out.assign(size_t(width) * size_t(height), 0);
        g->record = &record;
        g->result = &result;
        prepareGeometry(*g, *block);
        EXPECT_TRUE(allocateRunBuffers(*g));
    }
    ~BandHarness() {
        freeRunBuffers(*g);
        g_current = nullptr;
    }
};

struct DialogSeen : DialogRenderHooks {
    std::vector<int32_t> refreshed;
    std::vector<int32_t> progressed;
    int previewScale = 0;
    void refreshPreview(int32_t row) override { refreshed.push_back(row); }
    void progress(int32_t done, int32_t) override { progressed.push_back(done); }
    void applyPreviewScale() override { ++previewScale; }
};

TEST(BandRender, RowBufferIsTheRunsUntilARenderIsWider) {
    BandHarness h(100, 10);
    ASSERT_TRUE(prepareRowBuffer(*h.g, 100));
    EXPECT_EQ(h.g->rowBuffer.grown, nullptr);
    EXPECT_EQ(static_cast<void*>(h.g->rowBuffer.data), static_cast<void*>(h.g->buffers.rowBuffer.data));
    // The run's row buffer holds 3 W + 2184 entries; wider rows get their own.
    ASSERT_TRUE(prepareRowBuffer(*h.g, 3 * 100 + 2184));
    ASSERT_TRUE(prepareRowBuffer(*h.g, 3000));
    ASSERT_NE(h.g->rowBuffer.grown, nullptr);
    EXPECT_GE(h.g->rowBuffer.capacityBytes, size_t(3004 * 2));
    EXPECT_EQ(h.g->buffers.rowBuffer.data, nullptr);  // given back first
}

TEST(BandRender, PlanCopiesItsDerivedValuesIntoTheBlock) {
    BandHarness h(64, 48);
    setRenderGeometry(*h.g, *h.block, RenderRect{0, 0, 48, 64}, 1);
    ASSERT_TRUE(planRender(*h.g, *h.block, 64));
    EXPECT_EQ(h.block->centerX, h.g->plan->settings.centerX);
    EXPECT_EQ(h.block->centerX, int32_t(64 * 0.65f));
    EXPECT_EQ(std::memcmp(&h.block->derived, &h.g->plan->settings.derived, sizeof(DerivedValues)), 0);
    EXPECT_EQ(h.g->geometry.rendering, 1);
    EXPECT_EQ(h.g->geometry.progressTotal, 49u);
}

// The host's progress is called on the first row, when a 0..31 counter
// wraps, or when the rows jump by 5 or more since the last call.
TEST(BandRender, ProgressThrottleAndItsBoundaryRow) {
    BandHarness h(4, 4);
    for (uint32_t done = 0; done < 10; ++done) reportHostProgress(*h.g, done, 101);
    ASSERT_EQ(h.seen.progress.size(), 1u);
    reportHostProgress(*h.g, 13, 101);  // 4 rows on: not yet
    EXPECT_EQ(h.seen.progress.size(), 1u);
    reportHostProgress(*h.g, 18, 101);  // 5 rows on: reported
    ASSERT_EQ(h.seen.progress.size(), 2u);
    EXPECT_EQ(h.seen.progress.back(), std::make_pair(18, 101));
    // The abort callback: once in 32 polls.
    for (int i = 0; i < 64; ++i) pollHostAbort(*h.g);
    EXPECT_EQ(h.seen.aborts, 2);
}

TEST(BandRender, PreviewRefreshFollowsTheHostSignature) {
    for (const bool slow : {false, true}) {
        BandHarness h(4, 200);
        h.record.hostSig = slow ? pi::kSigPhotoshop : pi::fourCC("LMFT");
        h.record.displayPixels = [](const pi::PSPixelMap*, const pi::VRect*, int32_t, int32_t, void*) -> pi::OSErr {
            return 0;
        };
        h.block->renderTarget = kTargetHostPreview;
        setRenderGeometry(*h.g, *h.block, RenderRect{0, 0, 200, 4}, 1);
        h.record.inRect = h.record.outRect = pi::Rect{0, 0, 200, 4};
        h.record.advanceState();  // the dialog's preview request delivered its band
        DialogSeen dialog;
        renderPreviewThroughHost(*h.g, *h.block, &dialog);
        EXPECT_EQ(h.result, 0);
        EXPECT_EQ(h.g->geometry.rendering, 0);
        // Slow hosts are redrawn every 100 rows only; previews neither
        // report progress nor ask for an abort.
        EXPECT_EQ(dialog.refreshed.size(), slow ? 2u : 200u);
        if (slow) {
            EXPECT_EQ(dialog.refreshed, (std::vector<int32_t>{99, 199}));
        }
        EXPECT_TRUE(h.seen.progress.empty());
        EXPECT_EQ(h.seen.aborts, 0);
    }
}

TEST(BandRender, PreviewThroughHostNeedsTheHostsBuffersAndDisplay) {
    BandHarness h(8, 6);
    h.block->renderTarget = kTargetHostPreview;
    setRenderGeometry(*h.g, *h.block, RenderRect{0, 0, 6, 8}, 1);
    renderPreviewThroughHost(*h.g, *h.block, nullptr);  // no displayPixels
    EXPECT_EQ(h.g->geometry.rendering, 1);
    EXPECT_EQ(h.out, std::vector<uint8_t>(h.out.size(), 0));
}

TEST(BandRender, SaveAndRestoreState) {
    BandHarness h(8, 6);
    h.record.inRect = pi::Rect{1, 2, 3, 4};
    h.record.filterRect.top = 5;
    h.block->renderScale = 3;
    h.block->viewOriginX = 11;
    h.block->renderTarget = kTargetHostPreview;
    h.g->geometry.currentRow = 4;
    RenderStateSnapshot snapshot;
    saveRenderState(snapshot, *h.g, *h.block, true);
    h.record.inRect = pi::Rect{0, 0, 0, 0};
    h.record.filterRect.top = 0;
    h.block->renderScale = 1;
    h.block->viewOriginX = 0;
    h.block->renderTarget = kTargetTiledImage;
    h.g->geometry.currentRow = 0;
    DialogSeen dialog;
    restoreRenderState(snapshot, *h.g, *h.block, &dialog);
    EXPECT_EQ(h.record.inRect.right, 4);
    EXPECT_EQ(h.record.filterRect.top, 5);
    EXPECT_EQ(h.block->renderScale, 3);
    EXPECT_EQ(h.block->viewOriginX, 11);
    EXPECT_EQ(h.block->renderTarget, uint32_t(kTargetHostPreview));
    EXPECT_EQ(h.g->geometry.currentRow, 4u);
    EXPECT_EQ(dialog.previewScale, 1);  // back on the preview: its scale again
    // A short snapshot leaves the view and the target alone.
    saveRenderState(snapshot, *h.g, *h.block, false);
    h.block->renderTarget = kTargetTiledImage;
    restoreRenderState(snapshot, *h.g, *h.block, &dialog);
    EXPECT_EQ(h.block->renderTarget, uint32_t(kTargetTiledImage));
    EXPECT_EQ(dialog.previewScale, 1);
}

struct Picture {
    TiledImage image;
    Picture(int32_t w, int32_t h) {
        initTiledImage(image, nullptr, nullptr);
        EXPECT_TRUE(createTiledImage(&image, w, h, kStoreRgba8, 0, false));
    }
    ~Picture() { freeTiledImage(&image); }
    float at(int32_t x, int32_t y, int c) const {
        float px[4];
        readPixel(image, x, y, 0, px);
        return px[c];
    }
};

TEST(BandRender, RenderIntoTiledImageLoadsRendersAndPutsBack) {
    BandHarness h(16, 12);
    h.block->glue = kGlueAdd;  // the loaded picture shows through
    h.block->xCenter = 1.2f;   // the sun at column 19, past the filter's width
    h.block->renderTarget = kTargetHostPreview;
    h.block->viewOriginY = 9;
    h.record.inRect = pi::Rect{3, 3, 4, 4};
    setRenderGeometry(*h.g, *h.block, RenderRect{0, 0, 12, 16}, 1);
    Picture picture(20, 12);
    bool cancelled = false;
    DialogSeen dialog;
    renderIntoTiledImage(*h.g, *h.block, &picture.image, &cancelled, &dialog);
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(h.result, 0);
    // Loading: one band per filter row, then one per rendered row.
    ASSERT_EQ(h.seen.advances.size(), 24u);
    EXPECT_EQ(h.seen.advances[11].top, 11);
    EXPECT_GE(picture.at(15, 11, 0), 77.0f);   // loaded, then the effect added
    EXPECT_EQ(picture.at(15, 11, 3), 255.0f);
    EXPECT_GT(picture.at(19, 6, 2), 0.0f);      // rendered over the image's whole width
    EXPECT_EQ(dialog.progressed.size(), 12u);
    // Everything is put back.
    EXPECT_EQ(h.block->renderTarget, uint32_t(kTargetHostPreview));
    EXPECT_EQ(h.block->viewOriginY, 9);
    EXPECT_EQ(h.record.filterRect.bottom, 12);
    EXPECT_EQ(h.record.filterRect.right, 16);
    renderIntoTiledImage(*h.g, *h.block, nullptr, &cancelled, &dialog);  // no image: nothing happens
}

TEST(BandRender, RenderIntoTiledImageStopsOnCancel) {
    BandHarness h(4, 200);
    setRenderGeometry(*h.g, *h.block, RenderRect{0, 0, 200, 4}, 1);
    Picture picture(4, 200);
    h.seen.abortAnswer = true;
    bool cancelled = false;
    renderIntoTiledImage(*h.g, *h.block, &picture.image, &cancelled, nullptr);
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(h.result, -128);
    // 200 bands loaded, then the abort test (asked after every row and again
    // on 7 of every 8 steps) stops the render within 32 polls.
    EXPECT_GT(h.seen.advances.size(), 200u);
    EXPECT_LT(h.seen.advances.size(), 200u + 32u);
}

// The dialog's PSD export: percentages of the rendered rows, a cancel
// after `cancelAt` percent.
struct ExportSeen : PsdExportWatcher {
    std::vector<int32_t> percents;
    int32_t cancelAt = 101;
    bool noticed = false;
    void progress(int32_t percent) override { percents.push_back(percent); }
    bool cancelRequested() override { return !percents.empty() && percents.back() >= cancelAt; }
    void cancelNotice() override { noticed = true; }
};

std::filesystem::path exportFolder(const char* name) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(BandRender, PsdExportRendersEveryRowThenWritesAndPutsTheDialogBack) {
    BandHarness h(16, 200);
    h.block->renderScale = 3;
    h.block->viewOriginX = 5;
    h.block->renderTarget = kTargetHostPreview;
    h.block->exportFormat = 3;
    h.result = 7;  // the run's own result is not the export's business
    // The host's ICC profile goes into the file as it is.
    const std::string profile = "a profile's bytes";
    h.record.iCCprofileData = newHandle(&h.record, int32_t(profile.size()));
    std::memcpy(lockHandle(&h.record, h.record.iCCprofileData), profile.data(), profile.size());
    unlockHandle(&h.record, h.record.iCCprofileData);
    h.record.iCCprofileSize = int32_t(profile.size());
    const std::filesystem::path path = exportFolder("lf_dialog_psd") / "result.psd";
    HostPsdExportPort port(*h.g, *h.block, nullptr);
    ExportSeen seen;
    std::string reason;
    ASSERT_EQ(port.exportTo(path.string(), seen, &reason), kPsdWritten) << reason;
    // Every percentage of the 200 rows once, then 100 with the layer complete.
    ASSERT_EQ(seen.percents.size(), 101u);
    EXPECT_TRUE(std::is_sorted(seen.percents.begin(), seen.percents.end()));
    EXPECT_EQ(seen.percents.back(), 100);
    const PsdExportSettings settings =
        psdSettingsFor(*h.block, reinterpret_cast<const uint8_t*>(profile.data()), profile.size());
    EXPECT_EQ(std::filesystem::file_size(path), psdLayout(16, 200, 1, settings).fileSize);
    EXPECT_NE(fileText(path).find(std::string("8BIM\x04\x0f\0\0\0\0\0\x11", 12) + profile), std::string::npos);
    disposeHandle(&h.record, h.record.iCCprofileData);
    EXPECT_EQ(h.block->renderScale, 3);
    EXPECT_EQ(h.block->viewOriginX, 5);
    EXPECT_EQ(h.block->renderTarget, uint32_t(kTargetHostPreview));
    EXPECT_EQ(h.block->exportFormat, 3);
    EXPECT_EQ(h.result, 7);
    EXPECT_EQ(h.record.filterRect.bottom, 200);
}

TEST(BandRender, PsdExportRefusedOrCancelledKeepsTheOldFile) {
    const std::filesystem::path folder = exportFolder("lf_dialog_psd_keep");
    const std::filesystem::path path = folder / "kept.psd";
    std::ofstream(path, std::ios::binary) << "old bytes";
    {
        // Past the format's side limit: refused with the limit, before any render.
        BandHarness h(30001, 2);
        HostPsdExportPort port(*h.g, *h.block, nullptr);
        ExportSeen seen;
        std::string reason;
        EXPECT_EQ(port.exportTo(path.string(), seen, &reason), kPsdTooLarge);
        EXPECT_NE(reason.find("30000"), std::string::npos) << reason;
        EXPECT_TRUE(seen.percents.empty());
    }
    {
        BandHarness h(16, 200);
        HostPsdExportPort port(*h.g, *h.block, nullptr);
        ExportSeen seen;
        seen.cancelAt = 30;
        std::string reason;
        EXPECT_EQ(port.exportTo(path.string(), seen, &reason), kPsdCancelled);
        EXPECT_TRUE(seen.noticed);
        EXPECT_LT(seen.percents.back(), 40);  // the render stopped soon after
        EXPECT_EQ(h.result, 0);
    }
    EXPECT_EQ(fileText(path), "old bytes");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);
}

// The memory-dots page through the host: each dot's settings over the
// current picture at the picture size, and afterwards everything as before.
TEST(BandRender, MemoryDotsPageRendersDotsOverThePictureAndPutsEverythingBack) {
    testing::ScopedTempFolder temp;
    BandHarness h(16, 12);
    std::unique_ptr<ParameterBlock> dot = std::make_unique<ParameterBlock>();
    initialiseParameterBlock(*dot);
    dot->glue = kGlueAdd;
    dot->masterBrightness = 0;  // no light: the picture alone
    ASSERT_EQ(saveMemoryDotFile(3, *dot, nullptr), kPresetOk);
    const std::vector<uint8_t> profile(70000, 0x5A);  // two APP2 chunks
    h.record.iCCprofileData = newHandle(&h.record, int32_t(profile.size()));
    std::memcpy(lockHandle(&h.record, h.record.iCCprofileData), profile.data(), profile.size());
    unlockHandle(&h.record, h.record.iCCprofileData);
    h.record.iCCprofileSize = int32_t(profile.size());
    h.block->renderMode = 5;
    h.block->renderTarget = kTargetHostPreview;
    h.block->renderScale = 2;
    h.block->viewOriginX = 3;
    const int32_t glue = h.block->glue, master = h.block->masterBrightness;

    HostPagesPort port(*h.g, *h.block);
    const std::string page = temp.path("dots.html");
    int32_t cells = 0;
    // Dot 7 is shown filled but its file is gone: the grey ramp stands in.
    ASSERT_EQ(port.writeMemoryDotsPage(page, {3, 7}, &cells), kPageWritten);
    EXPECT_EQ(cells, 2);

    auto picture = [&](const std::string& name, int32_t w, int32_t hh, bool withProfile = true) {
        std::ifstream in(temp.path("web_images/" + name), std::ios::binary);
        const std::vector<uint8_t> jpeg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ThumbnailPixels pixels;
        EXPECT_EQ(decodeThumbnailJpeg(jpeg.data(), jpeg.size(), w, hh, 1, pixels), kThumbnailDecoded) << name;
        EXPECT_EQ(std::search(jpeg.begin(), jpeg.end(), profile.begin(), profile.begin() + 64) != jpeg.end(),
                  withProfile) << name << " carries the host's profile, and only when it offers one";
        return pixels;
    };
    const ThumbnailPixels shown = picture("dot 4.jpg", 300, 225);
    ASSERT_EQ(shown.pixels.size(), 300u * 225u);
    for (size_t i = 0; i < shown.pixels.size(); i += 997) EXPECT_NEAR(shown.pixels[i], 77, 2) << i;
    const ThumbnailPixels ramp = picture("dot 8.jpg", 128, 128);
    ASSERT_EQ(ramp.pixels.size(), 128u * 128u);
    EXPECT_NEAR(ramp.pixels[0], 255, 2);
    EXPECT_NEAR(ramp.pixels[127 * 128], 128, 2);

    EXPECT_EQ(h.block->glue, glue);
    EXPECT_EQ(h.block->masterBrightness, master);
    EXPECT_EQ(h.block->renderMode, 5);
    EXPECT_EQ(h.block->renderTarget, uint32_t(kTargetHostPreview));
    EXPECT_EQ(h.block->renderScale, 2);
    EXPECT_EQ(h.block->viewOriginX, 3);
    EXPECT_EQ(h.result, 0);
    ASSERT_FALSE(h.seen.progress.empty());
    EXPECT_EQ(h.seen.progress.back(), std::make_pair(25, 25));
    disposeHandle(&h.record, h.record.iCCprofileData);

    // A picture larger than the page's is averaged down as its rows arrive.
    BandHarness wide(600, 40);
    HostPagesPort widePort(*wide.g, *wide.block);
    ASSERT_EQ(widePort.writeMemoryDotsPage(page, {3}, &cells), kPageWritten);
    const ThumbnailPixels small = picture("dot 4.jpg", 300, 20, false);
    ASSERT_EQ(small.pixels.size(), 300u * 20u);
    for (size_t i = 0; i < small.pixels.size(); i += 97) EXPECT_NEAR(small.pixels[i], 77, 2) << i;
}

}  // namespace
}  // namespace lumenfall
