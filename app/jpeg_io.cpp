// JPEG files for the command line, through the export library's codec
// wrapper (the one place that talks to the JPEG library).
#include <algorithm>
#include <new>

#include "export/jpeg_file.h"
#include "image.h"
#include "memory_budget.h"
#include "signals.h"

namespace lumenfall {
namespace {

struct JpegRead {
    Image* image;
    const std::string* name;
    std::string stop;
    int32_t rows = 0;
    uint64_t fileBytes = 0;
    bool allowDamaged = false;
    const ReadOptions* options = nullptr;
};

bool beginRead(void* context, const JpegFileHeader& header) {
    auto* r = static_cast<JpegRead*>(context);
    if (header.width <= 0 || header.height <= 0 || header.width > 32767 || header.height > 32767) {
        r->stop = *r->name + ": the image must be 1 to 32767 pixels on each side";
        return false;
    }
    // A Huffman-coded file spends at least a bit on every block it holds,
    // and even with the coarsest sampling there is a block for every 32 x 32
    // pixels; a file below that is cut short or lies about its size.
    const uint64_t leastBits = uint64_t((header.width + 31) / 32) * uint64_t((header.height + 31) / 32);
    if (!header.arithmetic && r->fileBytes > 0 && r->fileBytes * 8 < leastBits && !r->allowDamaged) {
        r->stop = *r->name + ": damaged or cut short JPEG file (it holds " + std::to_string(r->fileBytes) +
                  " bytes, far too few for a " + std::to_string(header.width) + " x " +
                  std::to_string(header.height) + " image)";
        return false;
    }
    if (!fitsMemoryBudget(readNeed(*r->options, header.width, header.height, header.components, 8),
                          "a " + std::to_string(header.width) + " x " + std::to_string(header.height) + " " +
                              (header.components == 1 ? "grey" : "RGB") + " 8-bit image",
                          &r->stop))
        return false;
    try {
        r->image->allocate(header.width, header.height, header.components, false, 8);
    } catch (const std::bad_alloc&) {
        r->stop = "out of memory";
        return false;
    }
    ImageMetadata& meta = r->image->metadata;
    meta.icc = header.icc;
    meta.exif = header.exif;
    meta.xResolution = header.xResolution;
    meta.yResolution = header.yResolution;
    return true;
}

bool storeRow(void* context, int32_t y, const uint8_t* samples) {
    auto* r = static_cast<JpegRead*>(context);
    if (cancelRequested()) {
        r->stop = "cancelled";
        return false;
    }
    Image& image = *r->image;
    std::copy(samples, samples + size_t(image.width) * image.colourChannels,
              image.samples.bytes() + image.index(0, y, 0));
    r->rows = y + 1;
    return true;
}

struct JpegWrite {
    const Image* image;
    bool cancelled = false;
};

bool fillRow(void* context, int32_t y, uint8_t* samples) {
    auto* w = static_cast<JpegWrite*>(context);
    if (cancelRequested()) {
        w->cancelled = true;
        return false;
    }
    const Image& image = *w->image;
    const int32_t colours = image.colourChannels;
    reportWriteProgress(y + 1, image.height);
    if (image.depth == 8 && !image.hasAlpha) {
        const uint8_t* row = image.samples.bytes() + image.index(0, y, 0);
        std::copy(row, row + size_t(image.width) * colours, samples);
        return true;
    }
    for (int32_t x = 0; x < image.width; ++x)
        for (int32_t c = 0; c < colours; ++c) {
            const uint32_t v = image.samples[image.index(x, y, c)];
            samples[size_t(x) * colours + c] = image.depth == 16 ? uint8_t((v * 255 + 32767) / 65535) : uint8_t(v);
        }
    return true;
}

}  // namespace

bool readJpeg(std::FILE* file, const std::string& name, Image* image, const ReadOptions& options, std::string* error) {
    JpegRead r{image, &name, {}, 0, streamBytes(file), options.allowDamaged, &options};
    JpegFileReader reader;
    reader.context = &r;
    reader.begin = beginRead;
    reader.row = storeRow;
    std::string message;
    const int32_t result = readJpegFile(file, memoryBudget(), options.allowDamaged, reader, &message);
    switch (result) {
        case kJpegFileRead:
            return true;
        case kJpegFileStopped:
            *error = r.stop;
            return false;
        case kJpegFileDamaged:
            if (options.allowDamaged && r.rows > 0) {
                if (options.warning) *options.warning = name + ": damaged JPEG file (" + message + "); kept what decodes";
                return true;
            }
            *error = name + ": damaged or cut short JPEG file (" + message + "); --allow-damaged keeps what decodes";
            return false;
        default:
            if (message.find("Insufficient memory") != std::string::npos ||
                message.find("Backing store") != std::string::npos)
                *error = "out of memory (" + name + ": " + message + ")";
            else
                *error = name + ": not a readable JPEG file (" + message + ")";
            return false;
    }
}

bool writeJpeg(std::FILE* file, const std::string& name, const Image& source, const WriteOptions& options,
               std::string* error) {
    JpegWrite w{&source};
    JpegFileWriter writer;
    writer.width = source.width;
    writer.height = source.height;
    writer.components = source.colourChannels;
    writer.quality = options.quality;
    writer.subsampling = options.subsampling;
    writer.xResolution = source.metadata.xResolution;
    writer.yResolution = source.metadata.yResolution;
    writer.icc = &source.metadata.icc;
    writer.exif = &source.metadata.exif;
    writer.context = &w;
    writer.row = fillRow;
    std::string message;
    const int32_t result = writeJpegFile(file, writer, &message);
    if (result == kJpegFileRead) return true;
    *error = w.cancelled ? std::string("cancelled") : "cannot write " + name + " (" + message + ")";
    return false;
}

}  // namespace lumenfall
