#include "params/plugin_files.h"
#include "params/byte_order.h"

#include <cstdio>
#include <cstring>

#include "platform/replacing_file.h"
#include "platform/temp_folder.h"

namespace lumenfall {

bool pluginFilePath(const char* name, char (&path)[kPathFieldSize]) {
    char folder[kPathFieldSize];
    path[0] = 0;
    if (!temporaryFolder(folder, sizeof folder)) return false;
    return joinPath(folder, name, path, sizeof path);
}

bool memoryDotFileName(int32_t dot, char (&name)[kPathFieldSize]) {
    name[0] = 0;
    if (dot < 0 || dot >= kMemoryDotCount) return false;
    std::snprintf(name, sizeof name, "%s memory dot %d%s", kProductName, int(dot), ".q4q");
    return true;
}

namespace {

int32_t saveNamed(const char* name, const ParameterBlock& block, const std::vector<uint8_t>* thumbnailBlock) {
    char path[kPathFieldSize];
    if (!pluginFilePath(name, path)) return kPresetCannotOpen;
    return savePresetFile(block, path, thumbnailBlock);
}

int32_t loadNamed(const char* name, ParameterBlock* block, PresetReadMode mode, const PresetThumbnailSink* sink,
                  PresetLoadReport* report) {
    char path[kPathFieldSize];
    if (!pluginFilePath(name, path)) return kPresetCannotOpen;
    return loadPresetFile(block, path, mode, sink, report);
}

}  // namespace

int32_t saveCachedSettingsFile(const ParameterBlock& block, const std::vector<uint8_t>* thumbnailBlock) {
    return saveNamed(kCachedSettingsFileName, block, thumbnailBlock);
}

int32_t loadCachedSettingsFile(ParameterBlock& block) {
    return loadNamed(kCachedSettingsFileName, &block, kReadSettings, nullptr, nullptr);
}

int32_t saveMemoryDotFile(int32_t dot, const ParameterBlock& block, const std::vector<uint8_t>* thumbnailBlock) {
    char name[kPathFieldSize];
    if (!memoryDotFileName(dot, name)) return kPresetCannotOpen;
    return saveNamed(name, block, thumbnailBlock);
}

int32_t loadMemoryDotFile(int32_t dot, ParameterBlock& block) {
    char name[kPathFieldSize];
    if (!memoryDotFileName(dot, name)) return kPresetCannotOpen;
    return loadNamed(name, &block, kReadSettings, nullptr, nullptr);
}

int32_t readMemoryDotThumbnail(int32_t dot, const PresetThumbnailSink& sink, bool* loaded) {
    if (loaded != nullptr) *loaded = false;
    char name[kPathFieldSize];
    if (!memoryDotFileName(dot, name)) return kPresetCannotOpen;
    PresetLoadReport report;
    const int32_t result = loadNamed(name, nullptr, kReadThumbnailOnly, &sink, &report);
    if (loaded != nullptr) *loaded = report.thumbnailLoaded;
    return result;
}

int32_t saveUndoFile(int32_t slot, const ParameterBlock& block, const std::vector<uint8_t>* thumbnailBlock) {
    if (slot != 0 && slot != 1) return kPresetCannotOpen;
    return saveNamed(kUndoFileNames[slot], block, thumbnailBlock);
}

int32_t loadUndoFile(int32_t slot, ParameterBlock& block) {
    if (slot != 0 && slot != 1) return kPresetCannotOpen;
    return loadNamed(kUndoFileNames[slot], &block, kReadSettings, nullptr, nullptr);
}

std::vector<uint8_t> memoryDotMapBytes(const int32_t (&kept)[kMemoryDotCount]) {
    std::vector<uint8_t> out;
    out.reserve(kMemoryDotMapValues * 4);
    auto put = [&out](int32_t value) {
        const uint32_t v = uint32_t(value);
        for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
    };
    put(kMemoryDotMapLeader);
    for (int32_t flag : kept) put(flag);
    return out;
}

int32_t saveMemoryDotMapFile(const int32_t (&kept)[kMemoryDotCount]) {
    char path[kPathFieldSize];
    if (!pluginFilePath(kMemoryDotMapFileName, path)) return kPresetCannotOpen;
    std::vector<uint8_t> bytes;
    try {
        bytes = memoryDotMapBytes(kept);
    } catch (...) {
        return kPresetWriteError;
    }
    const int32_t result = writeFileReplacing(path, bytes.data(), bytes.size());
    if (result == kFileCannotOpen) return kPresetCannotOpen;
    return result == kFileOk ? kPresetOk : kPresetWriteError;
}

int32_t loadMemoryDotMapFile(int32_t (&kept)[kMemoryDotCount]) {
    char path[kPathFieldSize];
    if (!pluginFilePath(kMemoryDotMapFileName, path)) return kPresetCannotOpen;
    std::FILE* file = openFileForReading(path);
    if (file == nullptr) return kPresetCannotOpen;
    int32_t result = kPresetOk;
    for (int32_t i = 0; i < kMemoryDotMapValues; ++i) {
        uint8_t b[4];
        if (std::fread(b, 1, 4, file) != 4) {
            result = kPresetReadError;
            break;
        }
        const int32_t value = int32_t(readBigEndian32(b));
        if (i > 0) kept[i - 1] = value;  // the leading value is not checked
    }
    std::fclose(file);
    return result;
}

}  // namespace lumenfall
