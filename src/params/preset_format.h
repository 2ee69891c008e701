// The preset file: one binary record of the settings, big-endian 32-bit
// values, version 40, with an optional JPEG thumbnail at its end. Settings
// files, cached settings, memory dots and undo snapshots all use it.
//
// The JPEG codec is not linked here: the writer takes the thumbnail block
// already encoded (flag, width, height, length, bytes) and the reader hands
// the stored JPEG bytes to a sink that decodes them where images live.
#ifndef LUMENFALL_PARAMS_PRESET_FORMAT_H
#define LUMENFALL_PARAMS_PRESET_FORMAT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "params/parameter_block.h"

namespace lumenfall {

constexpr int32_t kPresetVersion = 40;
constexpr int32_t kPresetThumbnailLimit = 128 * 128 * 3;  // the reader's buffer: 49152 bytes
constexpr int32_t kPresetThumbnailMaxSide = 128;
constexpr size_t kPresetBytesWithoutThumbnail = 244;

// Results of saving and loading (not host result codes).
enum PresetResult : int32_t {
    kPresetOk = 0,
    kPresetCannotOpen = 99,
    kPresetReadError = -19,
    kPresetWriteError = -20,
};

enum PresetReadMode : int32_t {
    kReadSettings = 0,       // every setting the file holds into the block, then the thumbnail
    kReadThumbnailOnly = 1,  // read past the settings, leave the block alone, then the thumbnail
};

// Receives a stored thumbnail: at most 49152 JPEG bytes and the stored
// width and height (clamped to 0..128). Returns whether it became the
// loaded thumbnail. A reader without a sink skips the bytes.
struct PresetThumbnailSink {
    void* context = nullptr;
    bool (*accept)(void* context, const uint8_t* jpeg, size_t size, int32_t width, int32_t height) = nullptr;
};

// What a load found, beyond the settings.
struct PresetLoadReport {
    int32_t version = 0;           // as stored (before versions above 40 are read as 40)
    int32_t valuesRead = 0;        // 32-bit values read successfully, the version included
    bool thumbnailStored = false;  // the thumbnail flag was not 0
    int32_t thumbnailWidth = 0;    // clamped to 0..128
    int32_t thumbnailHeight = 0;
    int32_t thumbnailBytes = 0;    // the declared JPEG length
    bool thumbnailLoaded = false;  // the sink took it
};

// Float settings carried as scaled integers: the double-precision product,
// truncated toward zero, with NaN as 0 and values beyond the 32-bit range
// saturated.
int32_t scaledSetting(float value, double scale);

// The version-40 record up to and without the thumbnail block (240 bytes).
std::vector<uint8_t> presetSettingsBytes(const ParameterBlock& block);

// The whole version-40 file: the record, then `thumbnailBlock` (flag 1,
// width, height, length and the JPEG bytes, as the thumbnail codec makes
// it) or, when it is null or empty, the single value 0.
std::vector<uint8_t> presetFileBytes(const ParameterBlock& block, const std::vector<uint8_t>* thumbnailBlock);

// Writes the whole file in one piece (see writeFileReplacing): kPresetOk,
// kPresetCannotOpen, or kPresetWriteError when any write failed, in which
// case an existing file keeps its old content.
int32_t savePresetFile(const ParameterBlock& block, const char* path, const std::vector<uint8_t>* thumbnailBlock);

// Reads a preset. Mode 0 stores every field the version holds into `block`,
// applying the conversions of older versions right after the fields they
// concern; mode 1 leaves `block` untouched. Versions 40 and above (read as
// 40) then have their thumbnail block read. kPresetCannotOpen when the file
// cannot be opened (the block is unchanged). A failed or short read gives
// kPresetReadError and ends the reading there: no value past the end of a
// short file is stored and no later conversion runs, so every field the
// file did not supply keeps the value it had.
int32_t loadPresetFile(ParameterBlock* block, const char* path, PresetReadMode mode,
                       const PresetThumbnailSink* sink, PresetLoadReport* report);

// The same reading from bytes in memory and from an open file.
int32_t readPresetBytes(ParameterBlock* block, const uint8_t* data, size_t size, PresetReadMode mode,
                        const PresetThumbnailSink* sink, PresetLoadReport* report);
int32_t readPresetStream(ParameterBlock* block, std::FILE* file, PresetReadMode mode,
                         const PresetThumbnailSink* sink, PresetLoadReport* report);

}  // namespace lumenfall

#endif
