#include "ui/undo_store.h"

#include <cstring>
#include <memory>
#include <new>

#include "params/plugin_files.h"
#include "ui/control_table.h"

namespace lumenfall {

void copySettings(const ParameterBlock& from, ParameterBlock& to) {
    to.flareX = from.flareX;
    to.flareY = from.flareY;
    to.flareZ = from.flareZ;
    to.spikeX = from.spikeX;
    to.spikeY = from.spikeY;
    to.spikeZ = from.spikeZ;
    to.glue = from.glue;
    to.randomSeed = from.randomSeed;
    to.xCenter = from.xCenter;
    to.yCenter = from.yCenter;
    // The colours and the integer settings are two runs of fields.
    std::memcpy(to.sunColor, from.sunColor,
                reinterpret_cast<const char*>(&from.spikeBrightness) - reinterpret_cast<const char*>(from.sunColor));
    std::memcpy(&to.spikeBrightness, &from.spikeBrightness,
                reinterpret_cast<const char*>(&from.derived) - reinterpret_cast<const char*>(&from.spikeBrightness));
    std::memcpy(to.settingsName, from.settingsName, sizeof to.settingsName);
}

bool UndoFiles::save(int slot, const ParameterBlock& block) { return saveUndoFile(slot, block, nullptr) == kPresetOk; }

bool UndoFiles::load(int slot, ParameterBlock& block) {
    // Into a copy first: a damaged file must not leave half its values.
    std::unique_ptr<ParameterBlock> copy(new (std::nothrow) ParameterBlock(block));
    if (!copy || loadUndoFile(slot, *copy) != kPresetOk) return false;
    copySettings(*copy, block);
    return true;
}

int undoKindOfCommand(int id) {
    if (id == kIdLoad) return kUndoWithFile;
    if (id == kPseudoCommandPreviewEdit) return kUndoMemory;
    switch (controlInfo(id).kind) {
        case ControlKind::Slider:
        case ControlKind::Checkbox:
        case ControlKind::ColourButton:
        case ControlKind::Picker:
        case ControlKind::GlueList:
        case ControlKind::SunTypeList:
            return kUndoMemory;
        case ControlKind::IconButton:
            // Save, Undo, the zoom buttons and the presets page change no setting.
            return id == kIdSave || id == kIdUndo || id == kIdZoomIn || id == kIdZoomOut || id == kIdPresetsPage
                       ? kUndoNone
                       : kUndoMemory;
        default:
            return kUndoNone;
    }
}

void UndoStore::snapshot(const ParameterBlock& block, int kind) {
    if (kind == kUndoNone) return;
    const int c = 1 - latest();
    setFlag(0, c == 1);
    copySettings(block, slots_[c]);
    // A file that cannot be written leaves the slot with its copy in memory.
    setFlag(3 + c, kind == kUndoWithFile && files_.save(c, slots_[c]));
    setFlag(1 + c, true);
}

bool UndoStore::undo(ParameterBlock& block) {
    const int o = 1 - latest();
    if (!valid(o)) return false;
    copySettings(slots_[o], block);
    if (hasFile(o)) files_.load(o, block);
    setFlag(0, o == 1);
    return true;
}

}  // namespace lumenfall
