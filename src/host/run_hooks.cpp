#include "host/run_hooks.h"

#include <cstring>

#include "export/preset_thumbnail.h"
#include "host/descriptor_io.h"
#include "host/pages_port.h"
#include "host/preview_port.h"
#include "host/psd_export_host.h"
#include "params/plugin_files.h"
#include "ui/main_dialog.h"

namespace lumenfall {

void initialiseRunImages(PluginGlobals& g) {
    // The thumbnail starts as a grey ramp until a render fills it.
    for (int y = 0; y < kThumbnailSide; ++y)
        for (int x = 0; x < kThumbnailSide; ++x)
            for (int c = 0; c < 3; ++c) g.thumbnail[(y * kThumbnailSide + x) * 3 + c] = uint8_t(x * 2);
    g.thumbnailReady = 0;
}

bool probeDescriptor(PluginGlobals& g) { return probeForDescriptor(g.record); }
// Straight into the block, without a reset: fields an older file lacks keep
// their values. The file's thumbnail is not decoded: the run set-up empties
// the loaded thumbnail right after this step.
void loadCachedSettings(PluginGlobals&, ParameterBlock& block) { loadCachedSettingsFile(block); }
void clearMemoryDotTable(PluginGlobals& g) {
    if (WorkBlock* work = workBlock(g)) std::memset(work->memoryDotKept, 0, sizeof work->memoryDotKept);
}
void resetUndoAndPreviewState(PluginGlobals& g) {
    if (WorkBlock* work = workBlock(g)) {
        work->undoState = 0;
        work->previewState = 0;
    }
}
void loadMemoryDotMap(PluginGlobals& g) {
    if (WorkBlock* work = workBlock(g)) loadMemoryDotMapFile(work->memoryDotKept);
}
void readDescriptor(PluginGlobals& g, ParameterBlock& block) {
    const int16_t error = readDescriptorInto(g.record, block);
    if (error != 0) *g.result = error;
}
namespace {

UndoFiles g_undoFiles;

// The host's colour picker through its colour services: RGB in and out,
// 8-bit components.
bool chooseHostColour(void* context, const unsigned char* prompt, uint8_t (&rgb)[3]) {
    auto* record = static_cast<pi::FilterRecord*>(context);
    pi::ColorServicesInfo info{};
    info.infoSize = sizeof info;
    info.selector = pi::kColorServicesChooseColor;
    info.sourceSpace = pi::kColorSpaceRGB;
    info.resultSpace = pi::kColorSpaceRGB;
    for (int c = 0; c < 3; ++c) info.colorComponents[c] = rgb[c];
    info.selectorParameter.pickerPrompt = prompt;
    if (record->colorServices(&info) != 0) return false;
    for (int c = 0; c < 3; ++c) {
        const int16_t v = info.colorComponents[c];
        rgb[c] = uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
    }
    return true;
}

}  // namespace

void takeOpeningUndoSnapshot(PluginGlobals& g, ParameterBlock& block) {
    WorkBlock* work = workBlock(g);
    if (!work) return;
    UndoStore undo(work->undoSlots, work->undoState, g_undoFiles);
    undo.snapshot(block, kUndoWithFile);
}

int16_t runMainDialog(PluginGlobals& g, ParameterBlock& block) {
    WorkBlock* work = workBlock(g);
    if (!work) return 0;
    UndoStore undo(work->undoSlots, work->undoState, g_undoFiles);
    MainDialogRun run;
    run.block = &block;
    run.undo = &undo;
    run.platformData = g.record ? g.record->platformData : nullptr;
    run.thumbnail = g.thumbnail;
    if (g.record && g.record->colorServices) {
        run.colourPicker.context = g.record;
        run.colourPicker.choose = chooseHostColour;
    }
    HostPreviewPort preview(g, block);
    run.preview = &preview;
    HostPagesPort pages(g, block);
    run.pages = &pages;
    MemoryDotStore dots(work->memoryDotKept);
    run.dots = &dots;
    HostPsdExportPort psdExport(g, block, &preview);
    run.psdExport = &psdExport;
    const int16_t result = runMainDialogWindow(run);
    // Whatever the preview's requests met, OK leaves the run's result at 0.
    if (result == 0) *g.result = 0;
    return result;
}
// A file that cannot be written is skipped: the run goes on.
void saveCachedSettings(PluginGlobals& g, ParameterBlock& block) {
    if (!g.thumbnailReady) {
        saveCachedSettingsFile(block, nullptr);
        return;
    }
    const std::vector<uint8_t> thumbnail = presetThumbnailBlock(g.thumbnail);
    saveCachedSettingsFile(block, &thumbnail);
}
void writeDescriptor(PluginGlobals& g, ParameterBlock& block) { writeDescriptorFrom(g.record, block); }
void saveMemoryDotMap(PluginGlobals& g) {
    if (WorkBlock* work = workBlock(g)) saveMemoryDotMapFile(work->memoryDotKept);
}

}  // namespace lumenfall
