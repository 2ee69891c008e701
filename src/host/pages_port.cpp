#include "host/pages_port.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "export/html_page.h"
#include "host/band_render.h"
#include "host/dialog_renders.h"
#include "host/host_memory.h"
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

// The host's picture scaled to the page's picture size, once: read at full
// size, then resampled. Without the memory or the host's bands the dots are
// rendered on an empty picture.
void loadBackground(DotsPage& page, int32_t width, int32_t height) {
    if (!createTiledImage(&page.background, width, height, kStoreRgba8, 0, false)) return;
    const pi::Rect& f = page.g.record->filterRect;
    TiledImage full;
    initTiledImage(full, nullptr, nullptr);
    if (createTiledImage(&full, f.right - f.left, f.bottom - f.top, kStoreRgba8, 0, false) &&
        loadPictureIntoTiledImage(page.g, page.block, &full)) {
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
    g.geometry.renderRect = RenderRect{0, 0, int16_t(height), int16_t(width)};
    setRenderGeometry(g, page.block, g.geometry.renderRect, 1);
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

std::vector<uint8_t> HostPagesPort::colourProfile() {
    const pi::FilterRecord& record = *g_.record;
    if (!record.iCCprofileData || record.iCCprofileSize <= 0) return {};
    // Some hosts cannot tell the size of their own handles (0): the record's size counts then.
    const int32_t held = handleSize(g_.record, record.iCCprofileData);
    const int32_t size = held > 0 ? std::min(held, record.iCCprofileSize) : record.iCCprofileSize;
    const char* bytes = lockHandle(g_.record, record.iCCprofileData);
    if (!bytes) return {};
    HandleUnlocker unlock(g_.record, record.iCCprofileData);
    try {
        return std::vector<uint8_t>(bytes, bytes + size);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

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
