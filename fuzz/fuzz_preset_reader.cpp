// Feeds arbitrary bytes to the preset reader, as a damaged or forged preset
// file, cached settings file or memory dot would. The first byte picks the
// reading mode (bit 0) and whether a thumbnail sink decodes what the file
// holds (bit 1); the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "export/thumbnail_jpeg.h"
#include "params/defaults.h"
#include "params/preset_format.h"

namespace {

bool decodeStoredThumbnail(void*, const uint8_t* jpeg, size_t size, int32_t width, int32_t height) {
    if (size > size_t(lumenfall::kPresetThumbnailLimit) || width < 0 || width > 128 || height < 0 || height > 128)
        __builtin_trap();
    lumenfall::ThumbnailPixels pixels;
    return lumenfall::decodeThumbnailJpeg(jpeg, size, width, height, 4, pixels) == lumenfall::kThumbnailDecoded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lumenfall;
    if (size == 0) return 0;
    const uint8_t choice = data[0];
    const PresetReadMode mode = (choice & 1) ? kReadThumbnailOnly : kReadSettings;
    const PresetThumbnailSink sink{nullptr, decodeStoredThumbnail};

    static ParameterBlock block;
    static ParameterBlock before;
    std::memset(&block, 0, sizeof block);
    initialiseParameterBlock(block);
    std::memcpy(&before, &block, sizeof block);

    PresetLoadReport report;
    const int32_t result =
        readPresetBytes(&block, data + 1, size - 1, mode, (choice & 2) ? &sink : nullptr, &report);
    if (result != kPresetOk && result != kPresetReadError) __builtin_trap();
    if (size_t(report.valuesRead) * 4 > size - 1) __builtin_trap();
    if (mode == kReadThumbnailOnly && std::memcmp(&block, &before, sizeof block) != 0) __builtin_trap();
    if (report.thumbnailLoaded && !(choice & 2)) __builtin_trap();
    // Whatever was read, writing the block again is defined.
    const std::vector<uint8_t> again = presetFileBytes(block, nullptr);
    if (again.size() != kPresetBytesWithoutThumbnail) __builtin_trap();
    return 0;
}
