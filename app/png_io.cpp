// PNG files for the command line. libpng reports errors through a handler
// that must not return; ours jumps back to the call that started the work.
// Rows are decoded straight into the image's storage (16-bit samples in the
// machine's byte order), so reading needs no second copy of the picture.
#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include "image.h"
#include "memory_budget.h"
#include "signals.h"

namespace lumenfall {
namespace {

struct PngState {
    std::string message;
    std::string warning;
};

void pngError(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngState*>(png_get_error_ptr(png));
    if (state && state->message.empty()) state->message = message;
    png_longjmp(png, 1);
}

void pngWarning(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngState*>(png_get_error_ptr(png));
    if (state && state->warning.empty()) state->warning = message;
}

bool littleEndian() {
    const uint16_t one = 1;
    uint8_t first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

constexpr double kInchesPerMetre = 0.0254;

// Everything the read changes after setjmp lives here, reached by pointer.
struct PngRead {
    png_structp png = nullptr;
    png_infop info = nullptr;
    Image* image = nullptr;
    const std::string* name = nullptr;
    PngState state;
    std::string stop;             // why we stopped it (memory, cancel)
    int passes = 1;
    int32_t rowsDone = 0;         // rows of the last pass completed
    bool started = false;         // rows are being stored
    std::FILE* file = nullptr;
    bool allowDamaged = false;
    bool cutShort = false;        // the file ended inside a chunk
    const ReadOptions* options = nullptr;
};

// Reads for libpng. A file that ends early is an error; with --allow-damaged
// the missing bytes of that one read come as zeros, so the rows whose data
// arrived still decode before the damage stops the read.
void readData(png_structp png, png_bytep data, size_t length) {
    auto* r = static_cast<PngRead*>(png_get_io_ptr(png));
    const size_t got = std::fread(data, 1, length, r->file);
    if (got == length) return;
    if (cancelRequested()) {
        r->stop = "cancelled";
        png_error(png, "cancelled");
    }
    if (!r->allowDamaged || r->cutShort) png_error(png, "the file is cut short");
    std::memset(data + got, 0, length - got);
    r->cutShort = true;
}

void readMetadata(PngRead& r) {
    ImageMetadata& meta = r.image->metadata;
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(r.png, r.info, &name, &compression, &profile, &length) && profile && length > 0)
        meta.icc.assign(profile, profile + length);
    png_uint_32 xRes = 0, yRes = 0;
    int unit = 0;
    if (png_get_pHYs(r.png, r.info, &xRes, &yRes, &unit) && unit == PNG_RESOLUTION_METER && xRes > 0 && yRes > 0) {
        // Whole pixels per metre: 300 per inch is stored as 11811, read back as 300.
        meta.xResolution = std::round(xRes * kInchesPerMetre * 100) / 100;
        meta.yResolution = std::round(yRes * kInchesPerMetre * 100) / 100;
    }
#if defined(PNG_eXIf_SUPPORTED)
    png_bytep exif = nullptr;
    png_uint_32 exifLength = 0;
    if (meta.exif.empty() && png_get_eXIf_1(r.png, r.info, &exifLength, &exif) && exif && exifLength > 0)
        meta.exif.assign(exif, exif + exifLength);
#endif
}

// Returns 0 read, 1 failed in libpng (message in state), 2 stopped by us.
int runRead(PngRead* r) {
    if (setjmp(png_jmpbuf(r->png))) return r->stop.empty() ? 1 : 2;
    png_read_info(r->png, r->info);
    const uint64_t storedBitsPerPixel =
        uint64_t(png_get_bit_depth(r->png, r->info)) * uint64_t(png_get_channels(r->png, r->info));
    // Expand palettes and low bit depths; keep 16-bit samples and alpha.
    png_set_expand(r->png);
    if (png_get_bit_depth(r->png, r->info) == 16 && littleEndian()) png_set_swap(r->png);
    r->passes = png_set_interlace_handling(r->png);
    png_read_update_info(r->png, r->info);
    const int depth = png_get_bit_depth(r->png, r->info) == 16 ? 16 : 8;
    const int channels = png_get_channels(r->png, r->info);
    const int colourType = png_get_color_type(r->png, r->info);
    const uint32_t width = png_get_image_width(r->png, r->info);
    const uint32_t height = png_get_image_height(r->png, r->info);
    if (width == 0 || height == 0 || width > 32767 || height > 32767) {
        r->stop = *r->name + ": the image must be 1 to 32767 pixels on each side";
        return 2;
    }
    // Deflate packs at most about 1032 bytes into one, so a file far
    // smaller than its declared rows need is cut short or lies about its
    // size; it is refused before any pixel memory is taken. The rows are
    // counted as stored: a 1-bit scan packs eight pixels into a byte.
    const uint64_t rawBytes = ((uint64_t(width) * storedBitsPerPixel + 7) / 8 + 1) * height;
    const uint64_t fileBytes = streamBytes(r->file);
    if (fileBytes > 0 && fileBytes < rawBytes / 1100 && !r->allowDamaged) {
        r->state.message = "the file holds " + std::to_string(fileBytes) + " bytes, far too few for a " +
                           std::to_string(width) + " x " + std::to_string(height) + " image";
        r->started = true;
        return 1;
    }
    const char* layout = (colourType & PNG_COLOR_MASK_COLOR) ? "RGB" : "grey";
    if (!fitsMemoryBudget(readNeed(*r->options, width, height, channels, depth),
                          "a " + std::to_string(width) + " x " + std::to_string(height) + " " + layout + " " +
                              std::to_string(depth) + "-bit image",
                          &r->stop))
        return 2;
    readMetadata(*r);
    Image& image = *r->image;
    try {
        image.allocate(int32_t(width), int32_t(height), (colourType & PNG_COLOR_MASK_COLOR) ? 3 : 1,
                       channels == 2 || channels == 4, depth);
    } catch (const std::bad_alloc&) {
        r->stop = "out of memory";
        return 2;
    }
    if (png_get_rowbytes(r->png, r->info) != size_t(width) * channels * (depth / 8)) {
        r->stop = *r->name + ": unexpected PNG row layout";
        return 2;
    }
    const size_t rowBytes = size_t(width) * size_t(channels) * size_t(depth / 8);
    r->started = true;
    for (int pass = 0; pass < r->passes; ++pass) {
        r->rowsDone = 0;
        for (uint32_t y = 0; y < height; ++y) {
            if (cancelRequested()) {
                r->stop = "cancelled";
                return 2;
            }
            png_read_row(r->png, image.samples.bytes() + y * rowBytes, nullptr);
            r->rowsDone = int32_t(y + 1);
        }
    }
    png_read_end(r->png, r->info);
    readMetadata(*r);
    return 0;
}

// Returns 0 written, 1 failed in libpng, 2 stopped (a cancel).
int runWrite(png_structp png, png_infop info, const Image& image, std::vector<uint8_t>* row, std::string* stop) {
    if (setjmp(png_jmpbuf(png))) return stop->empty() ? 1 : 2;
    const int type = image.colourChannels == 1 ? (image.hasAlpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY)
                                               : (image.hasAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB);
    png_set_IHDR(png, info, uint32_t(image.width), uint32_t(image.height), image.depth, type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const ImageMetadata& meta = image.metadata;
    if (!meta.icc.empty())
        png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, meta.icc.data(), png_uint_32(meta.icc.size()));
    if (meta.xResolution > 0 && meta.yResolution > 0)
        png_set_pHYs(png, info, png_uint_32(meta.xResolution / kInchesPerMetre + 0.5),
                     png_uint_32(meta.yResolution / kInchesPerMetre + 0.5), PNG_RESOLUTION_METER);
#if defined(PNG_eXIf_SUPPORTED)
    if (!meta.exif.empty())
        png_set_eXIf_1(png, info, png_uint_32(meta.exif.size()), const_cast<png_bytep>(meta.exif.data()));
#endif
    png_write_info(png, info);
    const int channels = image.channels();
    const size_t count = size_t(image.width) * channels;
    for (int32_t y = 0; y < image.height; ++y) {
        if (cancelRequested()) {
            *stop = "cancelled";
            return 2;
        }
        const size_t base = image.index(0, y, 0);
        if (image.depth == 16) {
            for (size_t i = 0; i < count; ++i) {
                const uint16_t v = image.samples[base + i];
                (*row)[2 * i] = uint8_t(v >> 8);
                (*row)[2 * i + 1] = uint8_t(v & 0xFF);
            }
            png_write_row(png, row->data());
        } else {
            png_write_row(png, image.samples.bytes() + base);
        }
        reportWriteProgress(y + 1, image.height);
    }
    png_write_end(png, nullptr);
    return 0;
}

}  // namespace

bool readPng(std::FILE* file, const std::string& name, Image* image, const ReadOptions& options, std::string* error) {
    PngRead* r = new PngRead();
    r->image = image;
    r->name = &name;
    r->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r->state, pngError, pngWarning);
    if (r->png) r->info = png_create_info_struct(r->png);
    if (!r->png || !r->info) {
        png_destroy_read_struct(r->png ? &r->png : nullptr, nullptr, nullptr);
        delete r;
        *error = "out of memory";
        return false;
    }
    png_set_user_limits(r->png, 32767, 32767);
    png_set_chunk_malloc_max(r->png, 64u << 20);  // ancillary chunks (profiles, text)
    png_set_chunk_cache_max(r->png, 1000);
    if (options.allowDamaged) png_set_crc_action(r->png, PNG_CRC_WARN_USE, PNG_CRC_WARN_USE);
    r->file = file;
    r->allowDamaged = options.allowDamaged;
    r->options = &options;
    png_set_read_fn(r->png, r, readData);
    const int outcome = runRead(r);
    bool ok = outcome == 0;
    if (outcome == 2) {
        *error = r->stop;
    } else if (outcome == 1) {
        const bool gotRows = r->started && (r->rowsDone > 0 || r->passes > 1);
        if (options.allowDamaged && gotRows) {
            ok = true;
            if (options.warning)
                *options.warning = name + ": damaged PNG file (" + r->state.message + "); kept what decodes";
        } else if (r->state.message.find("alloc") != std::string::npos ||
                   r->state.message.find("memory") != std::string::npos) {
            *error = "out of memory (" + name + ": " + r->state.message + ")";
        } else {
            *error = name + ": " + (r->started ? "damaged or cut short PNG file" : "not a readable PNG file") +
                     " (" + r->state.message + ")" + (r->started ? "; --allow-damaged keeps what decodes" : "");
        }
    }
    if (ok && options.warning && options.warning->empty() && !r->state.warning.empty() && options.allowDamaged)
        *options.warning = name + ": " + r->state.warning;
    png_destroy_read_struct(&r->png, &r->info, nullptr);
    delete r;
    return ok;
}

bool writePng(std::FILE* file, const std::string& name, const Image& image, std::string* error) {
    PngState state;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(png ? &png : nullptr, nullptr);
        *error = "out of memory";
        return false;
    }
    png_set_benign_errors(png, 1);  // a colour profile libpng finds odd is dropped, not fatal
    png_init_io(png, file);
    std::vector<uint8_t> row(size_t(image.width) * image.channels() * 2);
    std::string stop;
    const int outcome = runWrite(png, info, image, &row, &stop);
    png_destroy_write_struct(&png, &info);
    if (outcome == 2) *error = stop;
    else if (outcome == 1) *error = "cannot write " + name + " (" + state.message + ")";
    return outcome == 0;
}

}  // namespace lumenfall
