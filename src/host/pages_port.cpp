#include "host/pages_port.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "export/html_page.h"
#include "host/band_render.h"
#include "host/dialog_renders.h"
#include "host/host_memory.h"
#include "host/render_geometry.h"
#include "kernels/resample_weights.h"
#include "params/plugin_files.h"
#include "render/resample_image.h"
#include "render/tiled_image.h"
#include "ui/undo_store.h"

namespace lumenfall {
namespace {

// Everything one memory-dots page needs while it is written.
struct DotsPage {
    PluginGlobals& g;
    ParameterBlock& block;
    const std::vector<int>& filled;
    std::unique_ptr<ParameterBlock> spare;   // the current settings, in memory only
    TiledImage background;                   // the current picture at the picture size
    bool backgroundLoaded = false;
    bool cancelled = false;

    DotsPage(PluginGlobals& globals, ParameterBlock& b, const std::vector<int>& dots)
        : g(globals), block(b), filled(dots) {
        initTiledImage(background, nullptr, nullptr);
    }
    ~DotsPage() { freeTiledImage(&background); }
};

// The host's picture averaged down to the picture size as its rows arrive:
// sums of the source pixels that fall on each picture pixel.
struct Shrink {
    int32_t sourceWidth, sourceHeight, width, height;
    std::vector<float> sums;       // RGB per picture pixel
    std::vector<uint32_t> counts;
};

void addRow(void* context, int32_t y, const TiledImage& row) {
    Shrink& s = *static_cast<Shrink*>(context);
    const int64_t ty = int64_t(y) * s.height / s.sourceHeight;
    for (int32_t x = 0; x < s.sourceWidth; ++x) {
        float px[4];
        readPixel(row, x, 0, 0, px);
        const size_t at = size_t(ty) * size_t(s.width) + size_t(int64_t(x) * s.width / s.sourceWidth);
        for (int c = 0; c < 3; ++c) s.sums[at * 3 + c] += px[c];
        ++s.counts[at];
    }
}

void copyRow(void* context, int32_t y, const TiledImage& row) {
    TiledImage& full = *static_cast<TiledImage*>(context);
    for (int32_t x = 0; x < full.levelWidth[0]; ++x) {
        float px[4];
        readPixel(row, x, 0, 0, px);
        for (float& c : px) c *= full.maxValue;
        writePixel(full, x, y, 0, px);
    }
}

// The host's picture at the page's picture size, once. A picture larger
// than that (the usual case) is averaged down row by row, so no copy of it
// at full size is made; a smaller one is read whole and enlarged by the
// resampler. Without the host's bands the dots are rendered on an empty picture.
void loadBackground(DotsPage& page, int32_t width, int32_t height) {
    if (!createTiledImage(&page.background, width, height, kStoreRgba8, 0, false)) return;
    const pi::Rect& f = page.g.record->filterRect;
    const int32_t sourceWidth = f.right - f.left, sourceHeight = f.bottom - f.top;
    if (sourceWidth >= width && sourceHeight >= height) {
        Shrink shrink{sourceWidth, sourceHeight, width, height,
                      std::vector<float>(size_t(width) * size_t(height) * 3, 0.0f),
                      std::vector<uint32_t>(size_t(width) * size_t(height), 0)};
        if (!readPictureRows(page.g, page.block, addRow, &shrink)) return;
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                const size_t at = size_t(y) * size_t(width) + size_t(x);
                const float n = shrink.counts[at] > 0 ? float(shrink.counts[at]) : 1.0f;
                const float px[4] = {shrink.sums[at * 3] / n * 255.0f, shrink.sums[at * 3 + 1] / n * 255.0f,
                                     shrink.sums[at * 3 + 2] / n * 255.0f, 255.0f};
                writePixel(page.background, x, y, 0, px);
            }
        rebuildPyramid(page.background);
        page.backgroundLoaded = true;
        return;
    }
    TiledImage full;
    initTiledImage(full, nullptr, nullptr);
    if (createTiledImage(&full, sourceWidth, sourceHeight, kStoreRgba8, 0, false) &&
        readPictureRows(page.g, page.block, copyRow, &full)) {
        rebuildPyramid(full);
        copyImage(&full, &page.background, standardLanczosWeights());
        page.backgroundLoaded = true;
    }
    freeTiledImage(&full);
}

bool dotFilled(void* context, int32_t dot) {
    const auto& filled = static_cast<DotsPage*>(context)->filled;
    return std::find(filled.begin(), filled.end(), dot) != filled.end();
}

void keepCurrent(void* context) {
    DotsPage& page = *static_cast<DotsPage*>(context);
    page.spare.reset(new (std::nothrow) ParameterBlock(page.block));
}

void putCurrentBack(void* context) {
    DotsPage& page = *static_cast<DotsPage*>(context);
    if (page.spare) copySettings(*page.spare, page.block);
}

bool renderDot(void* context, int32_t dot, TiledImage* image) {
    DotsPage& page = *static_cast<DotsPage*>(context);
    PluginGlobals& g = page.g;
    if (page.cancelled || !page.spare) return false;
    const int32_t width = image->levelWidth[0], height = image->levelHeight[0];
    if (!page.backgroundLoaded && page.background.tiles == nullptr) loadBackground(page, width, height);
    if (page.backgroundLoaded) copyImage(&page.background, image, standardLanczosWeights());
    if (loadMemoryDotFile(dot, page.block) != kPresetOk) return false;

    // The render's geometry is the picture's: the sun takes the same place
    // and share of it as on the full picture.
    const RenderGeometry geometry = g.geometry;
    const int32_t renderScale = page.block.renderScale;
    setRenderGeometry(g, page.block, RenderRect{0, 0, int16_t(height), int16_t(width)}, 1);
    const int16_t result = *g.result;
    // The host's selection belongs to the full picture, not to this smaller
    // one: the dot is shown over the whole picture.
    const pi::Boolean haveMask = g.record->haveMask;
    g.record->haveMask = 0;
    bool cancelled = false;
    renderIntoTiledImage(g, page.block, image, &cancelled, nullptr);
    g.record->haveMask = haveMask;
    const bool rendered = !cancelled && *g.result == 0;
    page.cancelled = cancelled;
    *g.result = result;
    g.geometry = geometry;
    page.block.renderScale = renderScale;
    return rendered;
}

// The globals' row counter counts the dots; the host shows them as progress.
void dotsProgress(void* context, int32_t done, int32_t total) {
    PluginGlobals& g = static_cast<DotsPage*>(context)->g;
    g.geometry.progressDone = uint32_t(done);
    if (g.record->progressProc) g.record->progressProc(done, total);
}

bool pageCancelled(void* context) { return static_cast<DotsPage*>(context)->cancelled; }

}  // namespace

std::vector<uint8_t> HostPagesPort::colourProfile() { return copyHostColourProfile(*g_.record); }

int32_t HostPagesPort::writeMemoryDotsPage(const std::string& pagePath, const std::vector<int>& filledDots,
                                           int32_t* cells) {
    const pi::Rect& f = g_.record->filterRect;
    const std::vector<uint8_t> profile = colourProfile();
    const int32_t renderMode = block_.renderMode;
    block_.renderMode = 1;
    DotsPage page(g_, block_, filledDots);
    MemoryDotsSource source;
    source.context = &page;
    source.filled = dotFilled;
    source.saveCurrent = keepCurrent;
    source.restoreCurrent = putCurrentBack;
    source.render = renderDot;
    source.progress = dotsProgress;
    source.cancelled = pageCancelled;
    int32_t result = kPageWriteError;
    try {
        result = lumenfall::writeMemoryDotsPage(pagePath, f.right - f.left, f.bottom - f.top, source, cells,
                                                PageProfile{profile.data(), profile.size()});
    } catch (const std::bad_alloc&) {
        putCurrentBack(&page);  // out of memory amid a dot: the current settings all the same
    }
    block_.renderMode = renderMode;
    return result;
}

}  // namespace lumenfall
