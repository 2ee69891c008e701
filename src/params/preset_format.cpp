#include "params/preset_format.h"
#include "params/byte_order.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "platform/replacing_file.h"

namespace lumenfall {
namespace {

void putValue(std::vector<uint8_t>& out, int32_t value) { appendBigEndian32(out, uint32_t(value)); }

void putColour(std::vector<uint8_t>& out, const uint16_t (&colour)[3]) {
    for (uint16_t channel : colour) putValue(out, channel);
}

// Where the bytes of a preset come from.
struct ByteSource {
    void* context;
    // Reads exactly `size` bytes; false on a failed or short read.
    bool (*read)(void* context, uint8_t* out, size_t size);
};

struct MemoryCursor {
    const uint8_t* data;
    size_t remaining;
};

bool readFromMemory(void* context, uint8_t* out, size_t size) {
    auto* cursor = static_cast<MemoryCursor*>(context);
    if (size > cursor->remaining) {
        cursor->remaining = 0;
        return false;
    }
    if (size > 0) std::memcpy(out, cursor->data, size);
    cursor->data += size;
    cursor->remaining -= size;
    return true;
}

bool readFromFile(void* context, uint8_t* out, size_t size) {
    return std::fread(out, 1, size, static_cast<std::FILE*>(context)) == size;
}

// Reads big-endian values until the first failure; after it every read
// fails, so nothing past the end of a short file is ever stored.
class ValueReader {
public:
    explicit ValueReader(ByteSource source) : source_(source) {}

    bool value(int32_t* out) {
        uint8_t b[4];
        if (!bytes(b, 4)) return false;
        *out = int32_t(readBigEndian32(b));
        ++values_;
        return true;
    }

    bool bytes(uint8_t* out, size_t size) {
        if (failed_) return false;
        if (!source_.read(source_.context, out, size)) failed_ = true;
        return !failed_;
    }

    // Skips in pieces of 256 bytes, then single bytes.
    bool skip(uint32_t size) {
        uint8_t piece[256];
        while (size >= sizeof piece) {
            if (!bytes(piece, sizeof piece)) return false;
            size -= sizeof piece;
        }
        while (size > 0) {
            if (!bytes(piece, 1)) return false;
            --size;
        }
        return true;
    }

    void colour(uint16_t (&colour)[3]) {
        for (uint16_t& channel : colour) {
            int32_t v;
            if (value(&v)) channel = uint16_t(uint32_t(v) & 0xFFFFu);
        }
    }
    void integer(int32_t& field) {
        int32_t v;
        if (value(&v)) field = v;
    }
    void scaled(float& field, double scale) {
        int32_t v;
        if (value(&v)) field = float(double(v) * scale);
    }
    void marker() {
        int32_t ignored;
        value(&ignored);
    }

    bool intact() const { return !failed_; }
    int32_t valuesRead() const { return values_; }

private:
    ByteSource source_;
    bool failed_ = false;
    int32_t values_ = 0;
};

// Old conventions are converted with wrapping arithmetic: a file may hold
// any 32-bit value, and 100 - INT32_MIN must not be undefined.
int32_t hundredMinus(int32_t value) { return int32_t(100u - uint32_t(value)); }
int32_t plusOne(int32_t value) { return int32_t(uint32_t(value) + 1u); }

// The fields in file order, gated by the version. With `convert` the
// conversions of older versions run right after the fields they concern,
// and only while every read so far succeeded.
void readSettings(ValueReader& r, ParameterBlock& b, int32_t version, bool convert) {
    const bool c = convert;
    r.colour(b.sunColor);
    r.colour(b.flareColor);
    r.colour(b.haloColor);
    r.integer(b.spikeBrightness);
    r.integer(b.spikeWidth);
    r.integer(b.spikeRadius);
    r.integer(b.spikeCount);
    r.integer(b.sunRadius);
    r.integer(b.sunColdHot);
    r.integer(b.sunSmear);
    r.integer(b.sunSwirlSize);
    r.integer(b.sunSwirlCount);
    r.integer(b.sunDetail);
    r.integer(b.spikeGamma);
    r.integer(b.vortices);
    r.integer(b.monopoles);
    r.integer(b.haloRadius);
    r.integer(b.haloBrightness);
    if (c && r.intact() && version < 15) b.haloBrightness = hundredMinus(b.haloBrightness);
    r.integer(b.bowRadius);
    r.integer(b.bowWidth);
    r.integer(b.bowBrightness);
    r.integer(b.flareWidth);
    r.integer(b.flareCount);
    r.colour(b.reservedColorA);
    r.colour(b.spikeColor);
    if (version >= 2) {
        r.colour(b.reservedColorB);
        r.integer(b.bowSmear);
        r.integer(b.flareRadius);
        r.integer(b.sunType);
        if (c && r.intact() && version <= 10) b.sunType = plusOne(b.sunType);
    }
    if (version >= 3) {
        r.integer(b.glue);
        r.marker();
    }
    if (version >= 4) {
        r.integer(b.masterBrightness);
        r.integer(b.flareDetail);
        r.integer(b.flipBow);
    }
    if (version >= 5) {
        r.integer(b.spikeDiffraction);
        r.integer(b.spikeDetail);
        if (c && r.intact() && version <= 12) b.spikeDetail = hundredMinus(b.spikeDetail);
    }
    // After spikeDiffraction, so that versions 5 and 6 end with 100 too.
    if (c && r.intact() && version < 7) {
        std::memcpy(b.spikeColor, b.sunColor, sizeof b.spikeColor);
        b.spikeDiffraction = 100;
        b.spikeGamma = 50;
    }
    if (c && r.intact() && version < 9) b.bowSmear = 0;
    if (version >= 8) {
        r.scaled(b.flareX, 0.01);
        r.scaled(b.flareY, 0.01);
        r.scaled(b.flareZ, 0.01);
        r.scaled(b.spikeX, 0.01);
        r.scaled(b.spikeY, 0.01);
        r.scaled(b.spikeZ, 0.01);
    }
    if (version >= 12) r.integer(b.randomSeed);
    if (version >= 14) r.integer(b.flareBrightness);
    if (version >= 16) r.marker();
    if (version >= 20) {
        r.scaled(b.xCenter, 1.0 / 65536.0);
        r.scaled(b.yCenter, 1.0 / 65536.0);
    }
}

int32_t clampSide(int32_t side) { return side < 0 ? 0 : (side > kPresetThumbnailMaxSide ? kPresetThumbnailMaxSide : side); }

void readThumbnailBlock(ValueReader& r, const PresetThumbnailSink* sink, PresetLoadReport& report) {
    int32_t flag = 0, width = 0, height = 0, length = 0;
    if (!r.value(&flag) || flag == 0) return;
    report.thumbnailStored = true;
    if (!r.value(&width) || !r.value(&height) || !r.value(&length)) return;
    report.thumbnailWidth = clampSide(width);
    report.thumbnailHeight = clampSide(height);
    report.thumbnailBytes = length;
    // A length beyond the reader's buffer is skipped, never read into it.
    if (flag == 1 && sink != nullptr && sink->accept != nullptr && length >= 0 && length <= kPresetThumbnailLimit) {
        std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kPresetThumbnailLimit]);
        if (!buffer) {
            r.skip(uint32_t(length));
            return;
        }
        if (!r.bytes(buffer.get(), size_t(length))) return;
        report.thumbnailLoaded =
            sink->accept(sink->context, buffer.get(), size_t(length), report.thumbnailWidth, report.thumbnailHeight);
        return;
    }
    if (length > 0) r.skip(uint32_t(length));
}

int32_t readPreset(ParameterBlock* block, ByteSource source, PresetReadMode mode, const PresetThumbnailSink* sink,
                   PresetLoadReport* reportOut) {
    PresetLoadReport report;
    ValueReader r(source);
    int32_t version = 0;
    if (r.value(&version)) {
        report.version = version;
        if (version > kPresetVersion) version = kPresetVersion;
        if (mode == kReadSettings && block != nullptr) {
            readSettings(r, *block, version, true);
        } else {
            // Mode 1 reads the same values into scratch storage.
            std::unique_ptr<ParameterBlock> scratch(new (std::nothrow) ParameterBlock());
            if (!scratch) {
                if (reportOut != nullptr) *reportOut = report;
                return kPresetReadError;
            }
            readSettings(r, *scratch, version, false);
        }
        if (version >= kPresetVersion && r.intact()) readThumbnailBlock(r, sink, report);
    }
    report.valuesRead = r.valuesRead();
    if (reportOut != nullptr) *reportOut = report;
    return r.intact() ? kPresetOk : kPresetReadError;
}

}  // namespace

int32_t scaledSetting(float value, double scale) {
    const double product = double(value) * scale;
    if (std::isnan(product)) return 0;
    if (product >= 2147483647.0) return INT32_MAX;
    if (product <= -2147483648.0) return INT32_MIN;
    return int32_t(product);  // truncates toward zero
}

std::vector<uint8_t> presetSettingsBytes(const ParameterBlock& b) {
    std::vector<uint8_t> out;
    out.reserve(kPresetBytesWithoutThumbnail);
    putValue(out, kPresetVersion);
    putColour(out, b.sunColor);
    putColour(out, b.flareColor);
    putColour(out, b.haloColor);
    for (int32_t v : {b.spikeBrightness, b.spikeWidth, b.spikeRadius, b.spikeCount, b.sunRadius, b.sunColdHot,
                      b.sunSmear, b.sunSwirlSize, b.sunSwirlCount, b.sunDetail, b.spikeGamma, b.vortices,
                      b.monopoles, b.haloRadius, b.haloBrightness, b.bowRadius, b.bowWidth, b.bowBrightness,
                      b.flareWidth, b.flareCount})
        putValue(out, v);
    putColour(out, b.reservedColorA);
    putColour(out, b.spikeColor);
    putColour(out, b.reservedColorB);
    for (int32_t v : {b.bowSmear, b.flareRadius, b.sunType, b.glue}) putValue(out, v);
    putValue(out, 1);  // marker
    for (int32_t v : {b.masterBrightness, b.flareDetail, b.flipBow, b.spikeDiffraction, b.spikeDetail})
        putValue(out, v);
    for (float axis : {b.flareX, b.flareY, b.flareZ, b.spikeX, b.spikeY, b.spikeZ})
        putValue(out, scaledSetting(axis, 100.0));
    putValue(out, b.randomSeed);
    putValue(out, b.flareBrightness);
    putValue(out, 1);  // marker
    putValue(out, scaledSetting(b.xCenter, 65536.0));
    putValue(out, scaledSetting(b.yCenter, 65536.0));
    return out;
}

std::vector<uint8_t> presetFileBytes(const ParameterBlock& block, const std::vector<uint8_t>* thumbnailBlock) {
    std::vector<uint8_t> out = presetSettingsBytes(block);
    if (thumbnailBlock != nullptr && !thumbnailBlock->empty())
        out.insert(out.end(), thumbnailBlock->begin(), thumbnailBlock->end());
    else
        putValue(out, 0);
    return out;
}

int32_t savePresetFile(const ParameterBlock& block, const char* path, const std::vector<uint8_t>* thumbnailBlock) {
    std::vector<uint8_t> bytes;
    try {
        bytes = presetFileBytes(block, thumbnailBlock);
    } catch (...) {
        return kPresetWriteError;
    }
    const int32_t result = writeFileReplacing(path, bytes.data(), bytes.size());
    if (result == kFileCannotOpen) return kPresetCannotOpen;
    return result == kFileOk ? kPresetOk : kPresetWriteError;
}

int32_t readPresetBytes(ParameterBlock* block, const uint8_t* data, size_t size, PresetReadMode mode,
                        const PresetThumbnailSink* sink, PresetLoadReport* report) {
    MemoryCursor cursor{data, data != nullptr ? size : 0};
    return readPreset(block, ByteSource{&cursor, readFromMemory}, mode, sink, report);
}

int32_t readPresetStream(ParameterBlock* block, std::FILE* file, PresetReadMode mode,
                         const PresetThumbnailSink* sink, PresetLoadReport* report) {
    return readPreset(block, ByteSource{file, readFromFile}, mode, sink, report);
}

int32_t loadPresetFile(ParameterBlock* block, const char* path, PresetReadMode mode,
                       const PresetThumbnailSink* sink, PresetLoadReport* report) {
    if (report != nullptr) *report = PresetLoadReport{};
    std::FILE* file = openFileForReading(path);
    if (file == nullptr) return kPresetCannotOpen;
    const int32_t result = readPresetStream(block, file, mode, sink, report);
    std::fclose(file);
    return result;
}

}  // namespace lumenfall
