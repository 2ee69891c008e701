#include "export/psd_writer.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "export/metadata_builder.h"
#include "params/enumerations.h"
#include "params/parameter_block.h"
#include "params/product_identity.h"
#include "platform/replacing_file.h"
#include "render/tiled_image.h"

namespace lumenfall {
namespace {

constexpr uint64_t kMax32 = 0xFFFFFFFFu;
constexpr int32_t kLayerChannels = 4;
constexpr char kLayerName[] = "layer 1";
constexpr uint32_t kPaddedNameLength = 8;   // length byte and seven characters
constexpr uint32_t kLayerRecordLength = 82 + 6 * kLayerChannels + kPaddedNameLength;

const uint16_t kPrintInformation[60] = {
    40, 0, 72, 72, 0, 0, 743, 594, uint16_t(-9), uint16_t(-9), 783, 603, 8194, 1320, 1020, 0, 0, 360, 360, 0,
    0, 3715, 2970, 372, 50, 2970, 18600, 75, 1, 257, 0, 1, 9999, 1, 1, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 1, 100, 768, 0, 0, 0, 515, 8369, 1024, 4608, 768, 17664, 0, 13892, 24864};

// The HDR toning record of 32-bit files (colour mode data).
const uint8_t kHdrToning[74] = {
    0x68, 0x64, 0x72, 0x74, 0x00, 0x00, 0x00, 0x03, 0x3f, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
    0x08, 0x00, 0x44, 0x00, 0x65, 0x00, 0x66, 0x00, 0x61, 0x00, 0x75, 0x00, 0x6c, 0x00, 0x74, 0x00, 0x00, 0x00, 0x02,
    0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0x00, 0xff, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x41, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x3f, 0x80, 0x00, 0x00};

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v >> 16);
    put16(out, v & 0xFFFF);
}
void putText(std::vector<uint8_t>& out, const char* text, size_t length) {
    out.insert(out.end(), text, text + length);
}

// One image resource: "8BIM", id, empty name, length, data, pad to even.
void putResource(std::vector<uint8_t>& out, uint16_t id, const uint8_t* data, size_t length) {
    putText(out, "8BIM", 4);
    put16(out, id);
    put16(out, 0);
    put32(out, uint32_t(length));
    out.insert(out.end(), data, data + length);
    if (length % 2 != 0) out.push_back(0);
}

void addExportKeywords(MetadataBuilder& builder, int32_t bytesPerSample, const PsdExportSettings& s) {
    if (bytesPerSample == 4) {
        addKeyword(builder, "HDR");
        addKeyword(builder, "high dynamic range");
    }
    if (s.sunType == 3) addKeyword(builder, "eclipse");
    if (s.sunType == 1) {
        if (s.vortices != 0) addKeyword(builder, "vortices");
        if (s.monopoles != 0) addKeyword(builder, "monopoles");
    }
    if (s.glue != 1) {
        if (const char* name = enumIndexName(kEnumTypeGlue, s.glue)) addKeyword(builder, name);
    }
}

// The image resources section without its length field.
std::vector<uint8_t> imageResources(int32_t bytesPerSample, const PsdExportSettings& s) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> data;
    for (uint16_t v : kPrintInformation) put16(data, v);
    putResource(out, 1001, data.data(), data.size());

    data.clear();
    for (int axis = 0; axis < 2; ++axis) {
        put32(data, 72u << 16);  // 72.0 in 16.16 fixed point
        put16(data, 1);          // pixels per inch
        put16(data, 1);          // shown in inches
    }
    putResource(out, 1005, data.data(), data.size());

    const uint8_t printFlags[9] = {0, 0, 0, 0, 0, 0, 0, 0, 1};
    putResource(out, 1011, printFlags, sizeof printFlags);

    data.clear();
    for (int curve = 0; curve < 4; ++curve) {
        put16(data, 0);
        for (int i = 0; i < 11; ++i) put16(data, 0xFFFF);
        put16(data, 1000);
        put16(data, 0);
    }
    putResource(out, 1016, data.data(), data.size());

    putResource(out, 1035, reinterpret_cast<const uint8_t*>(kMakerWebAddress), std::strlen(kMakerWebAddress));
    if (s.iccProfile != nullptr && s.iccProfileSize > 0) putResource(out, 1039, s.iccProfile, s.iccProfileSize);

    // The IPTC block is a complete 1028 resource already (header and padding).
    const std::unique_ptr<MetadataBuilder> held(new MetadataBuilder);
    MetadataBuilder& builder = *held;
    resetMetadataBuilder(builder);
    addExportKeywords(builder, bytesPerSample, s);
    const std::tm date = s.dateGiven ? s.localDate : todaysLocalDate();
    const int32_t iptc = buildIptcBlock(builder, false, false, date);
    out.insert(out.end(), builder.buffer, builder.buffer + iptc);
    const int32_t exif = buildExifBlock(builder, false, false);
    putResource(out, 1058, builder.buffer, size_t(exif));

    if (bytesPerSample == 4) {
        const uint8_t selection[6] = {0, 1, 0, 0, 0, 0x0c};
        putResource(out, 1069, selection, sizeof selection);
        const uint8_t groups[1] = {1};
        putResource(out, 1072, groups, sizeof groups);
    }
    const uint8_t layerState[2] = {0, 1};  // the layer count
    putResource(out, 1024, layerState, 2);
    const uint8_t groupIds[2] = {0, 0};
    putResource(out, 1026, groupIds, 2);
    return out;
}

// Lengths of the layer and mask section's additional blocks after the layer
// info, for 16-bit and 32-bit files (the "Mt16"/"Mt32" block, the "Lr16"/
// "Lr32" header, and for 32-bit the "LMsk" and "Pat3" blocks).
uint64_t additionalBlocksLength(int32_t bytesPerSample, uint64_t paddedLayerInfo) {
    uint64_t total = 12 + 12 + paddedLayerInfo;
    if (bytesPerSample == 4) total += 12 + 14 + 2 + 12;
    return total;
}

// Buffers the file's bytes and hands them to the sink in pieces: when the
// buffer is full and at the end of every section and channel.
class Stream {
public:
    explicit Stream(const PsdSink& sink) : sink_(sink) { buffer_.reserve(kCapacity); }
    bool ok() const { return ok_; }
    void bytes(const void* data, size_t size) {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        while (ok_ && size > 0) {
            const size_t room = kCapacity - buffer_.size();
            const size_t n = size < room ? size : room;
            buffer_.insert(buffer_.end(), p, p + n);
            p += n;
            size -= n;
            if (buffer_.size() == kCapacity) flush();
        }
    }
    void be16(uint32_t v) {
        const uint8_t b[2] = {uint8_t(v >> 8), uint8_t(v)};
        bytes(b, 2);
    }
    void be32(uint32_t v) {
        const uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
        bytes(b, 4);
    }
    void text(const char* t) { bytes(t, std::strlen(t)); }
    void zeros(size_t n) {
        static const uint8_t z[16] = {};
        while (n > 0) {
            const size_t k = n < sizeof z ? n : sizeof z;
            bytes(z, k);
            n -= k;
        }
    }
    void flush() {
        if (!ok_ || buffer_.empty()) return;
        ok_ = sink_.write(sink_.context, buffer_.data(), buffer_.size());
        buffer_.clear();
    }

private:
    static constexpr size_t kCapacity = size_t(1) << 20;
    const PsdSink& sink_;
    std::vector<uint8_t> buffer_;
    bool ok_ = true;
};

// Rows of all channels in order, reporting the share done.
class RowProgress {
public:
    RowProgress(const PsdProgress* progress, uint64_t totalRows) : progress_(progress), total_(totalRows) {}
    // False when the user cancelled.
    bool row() {
        ++done_;
        if (progress_ == nullptr || progress_->report == nullptr || total_ == 0) return true;
        const int32_t percent = int32_t(done_ * 100 / total_);
        if (percent == last_) return true;
        last_ = percent;
        return progress_->report(progress_->context, percent);
    }
    bool start() {
        if (progress_ == nullptr || progress_->report == nullptr) return true;
        last_ = 0;
        return progress_->report(progress_->context, 0);
    }

private:
    const PsdProgress* progress_;
    uint64_t total_;
    uint64_t done_ = 0;
    int32_t last_ = -1;
};

// One channel's samples of row y in the file's encoding. Channel 3 is the
// transparency.
void encodeRow(const TiledImage& image, int32_t y, int32_t channel, int32_t bytesPerSample,
               std::vector<uint8_t>& row) {
    const int32_t width = image.levelWidth[0];
    uint8_t* out = row.data();
    float px[4];
    for (int32_t x = 0; x < width; ++x) {
        readPixel(image, x, y, 0, px);
        const float v = px[channel];
        if (bytesPerSample == 1) {
            *out++ = v >= 255.0f ? 255 : (v > 0.0f ? uint8_t(v) : 0);
        } else if (bytesPerSample == 2) {
            const uint32_t s = v >= 32768.0f ? 32768u : (v > 0.0f ? uint32_t(v) : 0u);
            const uint32_t e = s >= 32768u ? 65535u : 2 * s;
            *out++ = uint8_t(e >> 8);
            *out++ = uint8_t(e);
        } else {
            uint32_t bits;
            std::memcpy(&bits, &v, 4);
            *out++ = uint8_t(bits >> 24);
            *out++ = uint8_t(bits >> 16);
            *out++ = uint8_t(bits >> 8);
            *out++ = uint8_t(bits);
        }
    }
}

bool writeChannel(Stream& out, const TiledImage& image, int32_t channel, int32_t bytesPerSample,
                  std::vector<uint8_t>& row, RowProgress& progress) {
    const int32_t height = image.levelHeight[0];
    for (int32_t y = 0; y < height && out.ok(); ++y) {
        encodeRow(image, y, channel, bytesPerSample, row);
        out.bytes(row.data(), row.size());
        if (!progress.row()) return false;
    }
    out.flush();
    return true;
}

bool usableImage(const TiledImage* image) {
    return image != nullptr && image->tiles != nullptr && image->tileCount > 0 &&
           psdBytesPerSample(image->storeType) != 0 && image->levelWidth[0] > 0 && image->levelHeight[0] > 0;
}

struct FileSink {
    ReplacingFile* file;
    int32_t writes;
    int32_t failAt;
};

bool writeToFile(void* context, const void* data, size_t size) {
    FileSink& sink = *static_cast<FileSink*>(context);
    if (++sink.writes == sink.failAt) return false;
    return sink.file->write(data, size);
}

void setMessage(char* message, size_t size, const char* text) {
    if (message != nullptr && size > 0) std::snprintf(message, size, "%s", text);
}

}  // namespace

PsdExportSettings psdSettingsFor(const ParameterBlock& block, const uint8_t* iccProfile, size_t iccProfileSize) {
    PsdExportSettings s;
    s.iccProfile = iccProfile;
    s.iccProfileSize = iccProfile != nullptr ? iccProfileSize : 0;
    s.sunType = block.sunType;
    s.vortices = block.vortices;
    s.monopoles = block.monopoles;
    s.glue = block.glue;
    return s;
}

int32_t psdBytesPerSample(uint32_t storeType) {
    switch (storeType) {
        case kStoreRgba8: return 1;
        case kStoreRgba16: return 2;
        case kStoreRgbaFloat: return 4;
        default: return 0;
    }
}

PsdLayout psdLayout(int64_t width, int64_t height, int32_t bytesPerSample, const PsdExportSettings& settings) {
    PsdLayout l{};
    const uint64_t w = width > 0 ? uint64_t(width) : 0, h = height > 0 ? uint64_t(height) : 0;
    const uint64_t bps = bytesPerSample > 0 ? uint64_t(bytesPerSample) : 0;
    const uint64_t plane = w * h * bps;  // both sides are checked to 30000 before this matters
    l.resourcesLength = imageResources(bytesPerSample, settings).size();
    l.channelLength = plane + 2;
    l.layerInfoLength = 2 + kLayerRecordLength + kLayerChannels * l.channelLength;
    const uint64_t paddedInfo = (l.layerInfoLength + 3) & ~uint64_t(3);
    l.layerSectionLength = bytesPerSample == 1 ? l.layerInfoLength + 8
                                               : 8 + additionalBlocksLength(bytesPerSample, paddedInfo);
    const uint64_t colourMode = bytesPerSample == 4 ? sizeof kHdrToning : 0;
    const uint64_t mergedChannels = bytesPerSample == 2 ? 4 : 3;
    l.fileSize = 26 + 4 + colourMode + 4 + l.resourcesLength + 4 + l.layerSectionLength + 2 + mergedChannels * plane;
    return l;
}

int64_t psdMaxPixels(int32_t bytesPerSample) {
    // The section length is the largest field: L plus the fixed bytes around it.
    const uint64_t bps = uint64_t(bytesPerSample > 0 ? bytesPerSample : 1);
    const uint64_t around = bytesPerSample == 1 ? 8 : additionalBlocksLength(bytesPerSample, 0) + 8;
    const uint64_t fixedInfo = 2 + kLayerRecordLength + kLayerChannels * 2;
    return int64_t((kMax32 - around - fixedInfo) / (kLayerChannels * bps));
}

bool psdSizeAllowed(int64_t width, int64_t height, int32_t bytesPerSample, const PsdExportSettings& settings,
                    char* message, size_t messageSize) {
    char text[320];
    if (bytesPerSample != 1 && bytesPerSample != 2 && bytesPerSample != 4) {
        setMessage(message, messageSize, "a PSD file holds 8-bit, 16-bit or 32-bit samples only");
        return false;
    }
    if (width < 1 || height < 1 || width > kPsdMaxSide || height > kPsdMaxSide) {
        std::snprintf(text, sizeof text,
                      "a PSD file holds 1 to %" PRId64 " pixels on each side; this image is %" PRId64 " x %" PRId64,
                      kPsdMaxSide, width, height);
        setMessage(message, messageSize, text);
        return false;
    }
    const int64_t limit = psdMaxPixels(bytesPerSample);
    const PsdLayout l = psdLayout(width, height, bytesPerSample, settings);
    // The render image holds four channels of each pixel; its byte count must fit 32 bits as well.
    const uint64_t renderBytes = uint64_t(width) * uint64_t(height) * 4u * uint64_t(bytesPerSample);
    if (width * height > limit || l.layerSectionLength > kMax32 || l.layerInfoLength > kMax32 ||
        l.resourcesLength > kMax32 || renderBytes > kMax32) {
        std::snprintf(text, sizeof text,
                      "a %d-bit PSD file holds at most %" PRId64 " pixels (width x height); this image has %" PRId64
                      " (%" PRId64 " x %" PRId64 ")",
                      bytesPerSample * 8, limit, width * height, width, height);
        setMessage(message, messageSize, text);
        return false;
    }
    return true;
}

namespace {

void writeFileHeader(Stream& out, int32_t width, int32_t height, int32_t bps, int32_t mergedChannels) {
    out.text("8BPS");
    out.be16(1);
    out.zeros(6);
    out.be16(uint32_t(mergedChannels));
    out.be32(uint32_t(height));
    out.be32(uint32_t(width));
    out.be16(uint32_t(bps * 8));
    out.be16(3);  // RGB
}

void writeColourModeData(Stream& out, int32_t bps) {
    if (bps == 4) {
        out.be32(sizeof kHdrToning);
        out.bytes(kHdrToning, sizeof kHdrToning);
    } else {
        out.be32(0);
    }
}

void writeImageResources(Stream& out, int32_t bps, const PsdExportSettings& settings) {
    const std::vector<uint8_t> resources = imageResources(bps, settings);
    out.be32(uint32_t(resources.size()));
    out.bytes(resources.data(), resources.size());
}

// The layer and mask section up to the layer's channel data: the one
// layer's record, named and blended normally.
void writeLayerRecord(Stream& out, const PsdLayout& layout, int32_t width, int32_t height, int32_t bps) {
    out.be32(uint32_t(layout.layerSectionLength));
    if (bps != 1) {
        out.be32(0);  // empty layer info
        out.be32(0);  // empty global mask
        out.text("8BIM");
        out.text(bps == 2 ? "Mt16" : "Mt32");
        out.be32(0);
        out.text("8BIM");
        out.text(bps == 2 ? "Lr16" : "Lr32");
    }
    out.be32(uint32_t(layout.layerInfoLength));
    out.be16(1);  // one layer
    out.be32(0);
    out.be32(0);
    out.be32(uint32_t(height));
    out.be32(uint32_t(width));
    out.be16(kLayerChannels);
    static const int16_t kChannelIds[kLayerChannels] = {-1, 0, 1, 2};
    for (int16_t id : kChannelIds) {
        out.be16(uint16_t(id));
        out.be32(uint32_t(layout.channelLength));
    }
    out.text("8BIM");
    out.text("norm");
    const uint8_t blend[4] = {255, 0, uint8_t(bps == 4 ? 8 : 40), 0};  // opacity, clipping, flags, filler
    out.bytes(blend, 4);
    out.be32(kPaddedNameLength + 48);
    out.be32(0);   // no layer mask
    out.be32(40);  // blending ranges: grey and the three channels, then one more pair
    for (int i = 0; i < 5; ++i) {
        const uint8_t range[8] = {0, 0, 255, 255, 0, 0, 255, 255};
        out.bytes(range, 8);
    }
    const uint8_t nameLength = uint8_t(std::strlen(kLayerName));
    out.bytes(&nameLength, 1);
    out.bytes(kLayerName, nameLength);
}

bool writeLayerChannels(Stream& out, const TiledImage& image, int32_t bps, std::vector<uint8_t>& row,
                        RowProgress& rows) {
    static const int32_t kLayerOrder[kLayerChannels] = {3, 0, 1, 2};  // transparency, red, green, blue
    for (int32_t channel : kLayerOrder) {
        out.be16(0);  // raw samples
        if (!writeChannel(out, image, channel, bps, row, rows)) return false;
    }
    return true;
}

// What follows the layer's channels: the global mask of 8-bit files, the
// padding and blocks of the deeper ones.
void writeLayerSectionEnd(Stream& out, const PsdLayout& layout, int32_t bps) {
    if (bps == 1) {
        out.be32(0);  // global layer mask
        return;
    }
    const uint64_t pad = ((layout.layerInfoLength + 3) & ~uint64_t(3)) - layout.layerInfoLength;
    out.zeros(size_t(pad));
    if (bps != 4) return;
    out.text("8BIM");
    out.text("LMsk");
    out.be32(14);
    out.be16(0);  // RGB
    out.be16(65535);
    out.be16(0);
    out.be16(0);
    out.be16(0);
    out.be16(50);  // opacity
    const uint8_t flagAndPad[2] = {128, 0};
    out.bytes(flagAndPad, 2);
    out.zeros(2);
    out.text("8BIM");
    out.text("Pat3");
    out.be32(0);
}

// The merged image: red, green and blue, and in 16-bit files an opaque
// fourth channel.
bool writeMergedImage(Stream& out, const TiledImage& image, int32_t bps, int32_t mergedChannels,
                      std::vector<uint8_t>& row, RowProgress& rows) {
    out.be16(0);
    for (int32_t channel = 0; channel < 3; ++channel) {
        if (!writeChannel(out, image, channel, bps, row, rows)) return false;
    }
    if (mergedChannels == 4) {
        std::fill(row.begin(), row.end(), uint8_t(0xFF));
        for (int32_t y = 0; y < image.levelHeight[0] && out.ok(); ++y) {
            out.bytes(row.data(), row.size());
            if (!rows.row()) return false;
        }
    }
    return true;
}

}  // namespace

int32_t writePsd(const TiledImage* image, const PsdExportSettings& settings, const PsdSink& sink,
                 const PsdProgress* progress) {
    if (!usableImage(image) || sink.write == nullptr) return kPsdNoImage;
    const int32_t bps = psdBytesPerSample(image->storeType);
    const int32_t width = image->levelWidth[0], height = image->levelHeight[0];
    if (!psdSizeAllowed(width, height, bps, settings, nullptr, 0)) return kPsdTooLarge;
    const PsdLayout layout = psdLayout(width, height, bps, settings);
    const int32_t mergedChannels = bps == 2 ? 4 : 3;
    RowProgress rows(progress, uint64_t(kLayerChannels + mergedChannels) * uint64_t(height));
    if (!rows.start()) return kPsdCancelled;
    Stream out(sink);

    writeFileHeader(out, width, height, bps, mergedChannels);
    writeColourModeData(out, bps);
    writeImageResources(out, bps, settings);
    out.flush();

    writeLayerRecord(out, layout, width, height, bps);
    out.flush();
    std::vector<uint8_t> row(size_t(width) * size_t(bps));
    if (!writeLayerChannels(out, *image, bps, row, rows)) return kPsdCancelled;
    writeLayerSectionEnd(out, layout, bps);
    out.flush();

    if (!writeMergedImage(out, *image, bps, mergedChannels, row, rows)) return kPsdCancelled;
    out.flush();
    return out.ok() ? kPsdWritten : kPsdWriteError;
}

int32_t writePsdFile(const char* path, const TiledImage* image, const PsdExportSettings& settings,
                     const PsdProgress* progress, const PsdWriteHooks* hooks, char* message, size_t messageSize) {
    if (!usableImage(image)) {
        setMessage(message, messageSize, "there is no rendered image to write");
        return kPsdNoImage;
    }
    const int32_t bps = psdBytesPerSample(image->storeType);
    if (!psdSizeAllowed(image->levelWidth[0], image->levelHeight[0], bps, settings, message, messageSize))
        return kPsdTooLarge;
    ReplacingFile file;
    if (file.open(path) != kFileOk) {
        setMessage(message, messageSize, "the file cannot be created");
        return kPsdFileCannotOpen;
    }
    FileSink fileSink{&file, 0, hooks != nullptr ? hooks->failAtWrite : 0};
    const PsdSink sink{&fileSink, writeToFile};
    const int32_t result = writePsd(image, settings, sink, progress);
    if (result != kPsdWritten) {
        file.abandon();
        setMessage(message, messageSize,
                   result == kPsdCancelled ? "cancelled" : "the file could not be written (is the disk full?)");
        return result;
    }
    if (file.commit() != kFileOk) {
        setMessage(message, messageSize, "the file could not be written (is the disk full?)");
        return kPsdWriteError;
    }
    return kPsdWritten;
}

}  // namespace lumenfall
