// The plug-in's own files in the temporary folder: the cached settings of
// the last dialog run, the 25 memory dots, the map of their kept flags and
// the two undo snapshots. All but the map are preset files.
#ifndef LUMENFALL_PARAMS_PLUGIN_FILES_H
#define LUMENFALL_PARAMS_PLUGIN_FILES_H

#include <cstdint>
#include <vector>

#include "params/parameter_block.h"
#include "params/preset_format.h"

#include "params/product_identity.h"

namespace lumenfall {

constexpr int32_t kMemoryDotCount = 25;
constexpr int32_t kMemoryDotMapValues = 26;  // the value 40, then one kept flag per dot
constexpr int32_t kMemoryDotMapLeader = 40;

constexpr const char* kCachedSettingsFileName = "Lumenfall cached settings C";
constexpr const char* kMemoryDotMapFileName = "Lumenfall memdot map 2";
constexpr const char* kUndoFileNames[2] = {"Lumenfall undo 0", "Lumenfall undo 1"};

// The temporary folder followed by `name`, in a 260-byte field. False (the
// field emptied) when there is no folder or the path does not fit: such a
// file is treated as one that cannot be opened.
bool pluginFilePath(const char* name, char (&path)[kPathFieldSize]);

// "Lumenfall memory dot N.q4q". Dots outside 0..24 are refused before any
// name is built: false, the field emptied.
bool memoryDotFileName(int32_t dot, char (&name)[kPathFieldSize]);

// Cached settings: saved with the thumbnail block (or none); loaded in mode
// 0 straight into the block, without a reset, so fields an older file lacks
// keep their values; a missing file changes nothing. Results as for presets.
int32_t saveCachedSettingsFile(const ParameterBlock& block, const std::vector<uint8_t>* thumbnailBlock);
int32_t loadCachedSettingsFile(ParameterBlock& block);

// Memory dot N: the same, and its thumbnail alone (mode 1) through a sink.
// A dot outside 0..24 gives kPresetCannotOpen and touches nothing.
int32_t saveMemoryDotFile(int32_t dot, const ParameterBlock& block, const std::vector<uint8_t>* thumbnailBlock);
int32_t loadMemoryDotFile(int32_t dot, ParameterBlock& block);
int32_t readMemoryDotThumbnail(int32_t dot, const PresetThumbnailSink& sink, bool* loaded);

// Undo snapshot files, slot 0 or 1; other slots give kPresetCannotOpen.
int32_t saveUndoFile(int32_t slot, const ParameterBlock& block, const std::vector<uint8_t>* thumbnailBlock);
int32_t loadUndoFile(int32_t slot, ParameterBlock& block);

// The map: 26 big-endian 32-bit values, 40 and then the 25 kept flags.
std::vector<uint8_t> memoryDotMapBytes(const int32_t (&kept)[kMemoryDotCount]);
int32_t saveMemoryDotMapFile(const int32_t (&kept)[kMemoryDotCount]);
// Reads the leading value (not checked) and the entries into `kept`; when
// the file cannot be opened the table keeps its state, and a short file
// fills only the entries it holds (kPresetReadError).
int32_t loadMemoryDotMapFile(int32_t (&kept)[kMemoryDotCount]);

}  // namespace lumenfall

#endif
