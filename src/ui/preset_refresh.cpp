// The preset-folder refresh: every preset in a folder whose name holds
// "q9q" or "q5q" gets a fresh thumbnail of its own settings, and "q9q"
// files move to their ".q5q" name. A file is rewritten only when it loaded
// cleanly, always whole (a new file renamed over it), and an existing
// ".q5q" file is never replaced.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "params/defaults.h"
#include "params/preset_format.h"
#include "platform/folder_listing.h"
#include "ui/dialog_model.h"

namespace lumenfall {
namespace {

bool refreshable(const FolderEntry& entry) {
    if (entry.isFolder || entry.readOnly) return false;
    return entry.name.find("q9q") != std::string::npos || entry.name.find("q5q") != std::string::npos;
}

// "x.q9q" moves to "x.q5q": the same stem, the extension replaced.
std::string q5qName(const std::string& name) {
    const size_t dot = name.rfind('.');
    return (dot == std::string::npos ? name : name.substr(0, dot)) + ".q5q";
}

}  // namespace

void MainDialogModel::refreshPresetFolder() {
    if (refreshing_) return;  // one at a time
    refreshing_ = true;
    char folder[kPathFieldSize];
    std::memcpy(folder, block_.settingsFolder, sizeof folder);
    folder[kPathFieldSize - 1] = 0;
    std::vector<FolderEntry> entries;
    if (!chooseSourceFolder(platform_, folder) || !listFolder(folder, &entries)) {
        refreshing_ = false;
        return;
    }
    // The settings before the refresh, in memory: nothing on disk can lose them.
    exchangeToBlock();
    copySettings(block_, spare_);
    platform_.setWaitCursor(true);
    int refreshed = 0, skipped = 0;
    std::string firstSkipped;
    auto skip = [&](const std::string& name) {
        if (skipped++ == 0) firstSkipped = name;
    };
    for (const FolderEntry& entry : entries) {
        if (!refreshable(entry)) continue;
        const std::string path = std::string(folder) + entry.name;
        const bool move = entry.name.find("q9q") != std::string::npos;
        const std::string target = std::string(folder) + q5qName(entry.name);
        if (move && pathExists(target)) {
            skip(entry.name);
            continue;
        }
        resetToDefaults(block_);
        PresetLoadReport report;
        const int32_t read = loadPresetFile(&block_, path.c_str(), kReadSettings, nullptr, &report);
        // Anything but a clean read of a known version is not a preset of ours.
        const bool loaded = read == kPresetOk && report.version >= 1 && report.version <= kPresetVersion;
        std::memset(block_.settingsName, 0, sizeof block_.settingsName);
        std::snprintf(block_.settingsName, sizeof block_.settingsName, "%s", entry.name.c_str());
        exchangeToControls();
        platform_.repaint(kIdStatusLine);
        if (!loaded) continue;
        platform_.renderPreview();
        const std::vector<uint8_t> thumbnail = platform_.thumbnailBlock();
        if (savePresetFile(block_, path.c_str(), thumbnail.empty() ? nullptr : &thumbnail) != kPresetOk ||
            (move && !moveFileWithoutReplacing(path, target))) {
            skip(entry.name);
            continue;
        }
        ++refreshed;
    }
    platform_.setWaitCursor(false);
    copySettings(spare_, block_);
    refreshFromBlock();
    char note[kPathFieldSize + 64];
    if (skipped == 0)
        std::snprintf(note, sizeof note, "%d presets refreshed", refreshed);
    else
        std::snprintf(note, sizeof note, "%d presets refreshed, %d skipped (%s)", refreshed, skipped,
                      firstSkipped.c_str());
    setStatusNote(note);
    refreshing_ = false;
}

}  // namespace lumenfall
