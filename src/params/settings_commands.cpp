#include "params/settings_commands.h"

#include <cstring>

#include "params/defaults.h"

namespace lumenfall {
namespace {

bool isSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

// Length of the folder part of `path` (through its last separator), or 0.
size_t folderLength(const char* path, size_t length) {
    for (size_t i = length; i > 0; --i)
        if (isSeparator(path[i - 1])) return i;
    return 0;
}

}  // namespace

void proposedSaveName(const ParameterBlock& block, char (&name)[kPathFieldSize]) {
    const size_t length = strnlen(block.settingsName, kPathFieldSize - 1);
    std::memcpy(name, block.settingsName, length);
    name[length] = 0;
    if (char* dot = std::strrchr(name, '.')) *dot = 0;
}

bool rememberChosenFile(ParameterBlock& block, const char* path) {
    if (path == nullptr) return false;
    const size_t length = std::strlen(path);
    if (length == 0 || length >= size_t(kPathFieldSize)) return false;
    const size_t folder = folderLength(path, length);
    std::memset(block.settingsName, 0, sizeof block.settingsName);
    std::memcpy(block.settingsName, path + folder, length - folder);
    std::memset(block.settingsFolder, 0, sizeof block.settingsFolder);
    std::memcpy(block.settingsFolder, path, folder);
    return true;
}

int32_t saveSettingsCommand(ParameterBlock& block, const char* path, const std::vector<uint8_t>* thumbnailBlock) {
    if (!rememberChosenFile(block, path)) return kPresetCannotOpen;
    return savePresetFile(block, path, thumbnailBlock);
}

int32_t openSettingsCommand(ParameterBlock& block, const char* path, const PresetThumbnailSink* sink,
                            PresetLoadReport* report) {
    if (report != nullptr) *report = PresetLoadReport{};
    if (!rememberChosenFile(block, path)) return kPresetCannotOpen;
    resetToDefaults(block);
    return loadPresetFile(&block, path, kReadSettings, sink, report);
}

bool folderOfChosenFile(const char* path, char* folder) {
    if (folder == nullptr || path == nullptr) return false;
    const size_t length = std::strlen(path);
    const size_t kept = folderLength(path, length);
    if (kept == 0 || kept >= size_t(kPathFieldSize)) return false;
    std::memcpy(folder, path, kept);
    folder[kept] = 0;
    return true;
}

}  // namespace lumenfall
