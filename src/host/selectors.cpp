#include "host/selectors.h"

#include <cstring>
#include <ctime>

#include "host/image_pipeline.h"
#include "host/run_hooks.h"
#include "params/defaults.h"
#include "ui/plugin_dialogs.h"
#include "platform/random.h"

namespace lumenfall {

// A run in flight lost its parameter block: the settings and tables it
// renders from are gone, so the run ends with an error rather than going on
// with a new block of defaults.
static ParameterBlock* parametersLostInRun(PluginGlobals& g) {
    endRun(g);
    g.runInFlight = 0;
    *g.result = pi::kFilterBadParameters;
    return nullptr;
}

ParameterBlock* validateParameters(PluginGlobals& g) {
    pi::FilterRecord* record = g.record;
    const int32_t blockSize = int32_t(sizeof(ParameterBlock));
    if (!record->parameters) {
        g.ownParameters = nullptr;
        if (g.runInFlight) return parametersLostInRun(g);
        pi::Handle h = newHandle(record, blockSize);
        if (!h) return nullptr;
        auto* block = reinterpret_cast<ParameterBlock*>(lockHandle(record, h));
        if (!block) {
            disposeHandle(record, h);
            return nullptr;
        }
        record->parameters = h;
        g.ownParameters = h;
        g.ownParametersSize = blockSize;
        g.geometry.rendering = 0;  // no render is in flight for a new block
        initialiseParameterBlock(*block);
        return block;
    }
    // Our own handle is trusted whatever the host's suite says of its size.
    // Any other handle too small for the block (another plug-in's, or
    // corrupted) is never read past its end: it is replaced by a fresh block,
    // except during a run, which it ends.
    const bool ours = record->parameters == g.ownParameters && g.ownParametersSize >= blockSize;
    if (!ours && handleSize(record, record->parameters) < blockSize) {
        if (g.runInFlight) return parametersLostInRun(g);
        disposeHandle(record, record->parameters);
        record->parameters = nullptr;
        return validateParameters(g);
    }
    auto* block = reinterpret_cast<ParameterBlock*>(lockHandle(record, record->parameters));
    if (!block && g.runInFlight) return parametersLostInRun(g);
    return block;
}

void handleParameters(PluginGlobals&, ParameterBlock& block) { block.showDialog = 1; }

void handlePrepare(PluginGlobals& g, ParameterBlock& block) {
    prepareGeometry(g, block);
    // Per-run reset.
    g.dialogOpen = 0;
    g.dialogFlags[0] = g.dialogFlags[1] = 0;
    g.timerActive = 0;
    g.geometry.rendering = 0;
    g.dialogEndCode = 0;
    const pi::Rect& f = g.record->filterRect;
    block.centerX = (f.right - f.left) / 2;
    block.centerY = (f.bottom - f.top) / 2;
    seedRandom(unsigned(std::time(nullptr)));
}

// Grey and RGB at 8 or 16 bits are what the renderer writes.
static bool imageModeSupported(const pi::FilterRecord* record) {
    switch (record->imageMode) {
        case pi::kModeGrayScale:
        case pi::kModeRGB:
            return record->depth == 0 || record->depth == 8;
        case pi::kModeGray16:
        case pi::kModeRGB48:
            return record->depth == 0 || record->depth == 16;
        default:
            return false;
    }
}

static void applyRunSetUp(PluginGlobals& g, ParameterBlock& block) {
    initialiseRunImages(g);
    g.dialogFlags[0] = g.dialogFlags[1] = 0;
    if (!probeDescriptor(g)) loadCachedSettings(g, block);
    if (g.fresh) {
        g.fresh = 0;
        const int32_t defaults[5] = {0, 0, 1, 100, 100};
        std::memcpy(block.exportOptions, defaults, sizeof defaults);
    }
    block.settingsFolder[0] = block.psdFolder[0] = block.htmlFolder[0] = 0;
    g.loadedThumbnailSize = 0;
    clearMemoryDotTable(g);
    resetUndoAndPreviewState(g);
    loadMemoryDotMap(g);
    block.exportFormat = 3;
}

void handleStart(PluginGlobals& g, ParameterBlock& block) {
    pi::FilterRecord* record = g.record;
    g.runInFlight = 1;
    g.rowsRendered = 0;
    block.hostPreview = (record->advanceState && record->displayPixels) ? 1 : 0;

    if (!allocateRunBuffers(g)) {
        emptyRectangles(record);
        *g.result = 1;
        return;
    }
    applyRunSetUp(g, block);
    g.filterWidth = record->filterRect.right - record->filterRect.left;
    g.filterHeight = record->filterRect.bottom - record->filterRect.top;

    // Both tests run: a host can be refused for both reasons at once.
    const void* platform = record->platformData;
    if (!record->advanceState) {
        showRefusal(Refusal::HostTooOld, platform);
        *g.result = 1;
    }
    if (record->imageMode == pi::kModeMultichannel) {
        showRefusal(Refusal::Multichannel, platform);
        *g.result = 1;
    } else if (!imageModeSupported(record)) {
        showRefusal(Refusal::ImageMode, platform);
        *g.result = 1;
    }
    if (*g.result != 0) {
        endRun(g);
        return;
    }

    readDescriptor(g, block);
    // A descriptor the host could not close properly ends the run here,
    // before rendering would overwrite its error.
    if (*g.result != 0) {
        endRun(g);
        return;
    }

    if (block.showDialog) {
        takeOpeningUndoSnapshot(g, block);
        const int16_t dialogResult = runMainDialog(g, block);
        block.showDialog = 0;
        if (dialogResult != 0 || *g.result != 0) {
            if (*g.result == 0) *g.result = dialogResult;
            endRun(g);
            return;
        }
        saveCachedSettings(g, block);
    }

    block.renderTarget = kTargetHostImage;
    startFinalRender(g, block);
}

void handleContinue(PluginGlobals& g, ParameterBlock& block) {
    // Continue outside a run (no start, or a host that lost our data in
    // between) has no image to work on, and must not pass for a finished one.
    if (!g.runInFlight) {
        emptyRectangles(g.record);
        *g.result = pi::kFilterBadParameters;
        return;
    }
    continueBandLoop(g, block);
}

void handleFinish(PluginGlobals& g, ParameterBlock& block) {
    // A host that ends a cancelled run with finish, without the continue
    // that would free them, still gets its buffers back.
    if (g.buffers.allocated) endRun(g);
    writeDescriptor(g, block);
    g.runInFlight = 0;
}

}  // namespace lumenfall
