#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "atomic_file.h"
#include "image.h"
#include "memory_budget.h"
#include "run_files.h"
#include "signals.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace lumenfall {

// ---------------------------------------------------------------- storage

SampleStore::SampleStore(const SampleStore& other) { *this = other; }

SampleStore& SampleStore::operator=(const SampleStore& other) {
    if (this == &other) return *this;
    // A store of the same shape keeps its memory: a host that runs the
    // plug-in again over the same picture then writes into pages it has
    // already touched instead of faulting in fresh ones.
    if (data_ && count_ == other.count_ && wide_ == other.wide_) {
        std::memcpy(data_, other.data_, count_ * (wide_ ? 2 : 1));
        return *this;
    }
    reset(0, other.wide_);
    if (other.count_ > 0) {
        const size_t bytes = other.count_ * (other.wide_ ? 2 : 1);
        data_ = static_cast<uint8_t*>(std::malloc(bytes));
        if (!data_) throw std::bad_alloc();
        std::memcpy(data_, other.data_, bytes);
        count_ = other.count_;
    }
    return *this;
}

SampleStore::SampleStore(SampleStore&& other) noexcept { *this = std::move(other); }

SampleStore& SampleStore::operator=(SampleStore&& other) noexcept {
    if (this == &other) return *this;
    std::free(data_);
    data_ = other.data_;
    count_ = other.count_;
    wide_ = other.wide_;
    other.data_ = nullptr;
    other.count_ = 0;
    return *this;
}

SampleStore::~SampleStore() { std::free(data_); }

void SampleStore::reset(size_t count, bool wide) {
    std::free(data_);
    data_ = nullptr;
    count_ = 0;
    wide_ = wide;
    if (count == 0) return;
    // calloc hands out large blocks as fresh zero pages that cost memory
    // only once written.
    data_ = static_cast<uint8_t*>(std::calloc(count, wide ? 2 : 1));
    if (!data_) throw std::bad_alloc();
    count_ = count;
}

bool SampleStore::operator==(const SampleStore& other) const {
    if (count_ != other.count_) return false;
    if (wide_ == other.wide_) return count_ == 0 || std::memcmp(data_, other.data_, count_ * (wide_ ? 2 : 1)) == 0;
    for (size_t i = 0; i < count_; ++i)
        if (get(i) != other.get(i)) return false;
    return true;
}

namespace {

std::string lowerExtension(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

// ---------------------------------------------------------------- EXIF orientation

struct ExifReader {
    const std::vector<uint8_t>& b;
    bool big;
    uint32_t u16(size_t at) const {
        return big ? (uint32_t(b[at]) << 8) | b[at + 1] : (uint32_t(b[at + 1]) << 8) | b[at];
    }
    uint32_t u32(size_t at) const {
        return big ? (u16(at) << 16) | u16(at + 2) : (u16(at + 2) << 16) | u16(at);
    }
};

// The offset of IFD0's orientation value in an EXIF block, or 0.
size_t orientationOffset(const std::vector<uint8_t>& exif) {
    if (exif.size() < 8) return 0;
    const bool big = exif[0] == 'M' && exif[1] == 'M';
    if (!big && !(exif[0] == 'I' && exif[1] == 'I')) return 0;
    const ExifReader r{exif, big};
    if (r.u16(2) != 42) return 0;
    const uint32_t ifd = r.u32(4);
    if (ifd < 8 || size_t(ifd) + 2 > exif.size()) return 0;
    const uint32_t count = r.u16(ifd);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t entry = size_t(ifd) + 2 + size_t(i) * 12;
        if (entry + 12 > exif.size()) return 0;
        if (r.u16(entry) == 0x0112 && r.u16(entry + 2) == 3 && r.u32(entry + 4) == 1) return entry + 8;
    }
    return 0;
}

// The value of IFD0 entry `tag` of the given type and count 1: the entry's
// offset of its value (inline for SHORT, through the offset for RATIONAL).
size_t exifValueOffset(const std::vector<uint8_t>& exif, uint32_t tag, uint32_t type) {
    if (exif.size() < 8) return 0;
    const bool big = exif[0] == 'M' && exif[1] == 'M';
    if (!big && !(exif[0] == 'I' && exif[1] == 'I')) return 0;
    const ExifReader r{exif, big};
    const uint32_t ifd = r.u32(4);
    if (r.u16(2) != 42 || ifd < 8 || size_t(ifd) + 2 > exif.size()) return 0;
    const uint32_t count = r.u16(ifd);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t entry = size_t(ifd) + 2 + size_t(i) * 12;
        if (entry + 12 > exif.size()) return 0;
        if (r.u16(entry) != tag || r.u16(entry + 2) != type || r.u32(entry + 4) != 1) continue;
        if (type == 3) return entry + 8;
        const uint32_t at = r.u32(entry + 8);
        return size_t(at) + 8 <= exif.size() ? size_t(at) : 0;
    }
    return 0;
}

// Pixels per inch from the EXIF's XResolution/YResolution, for files that
// say it nowhere else (0 when the EXIF does not either).
void exifResolution(const std::vector<uint8_t>& exif, double* x, double* y) {
    const size_t xAt = exifValueOffset(exif, 0x011A, 5), yAt = exifValueOffset(exif, 0x011B, 5);
    if (xAt == 0 || yAt == 0) return;
    const ExifReader r{exif, exif[0] == 'M'};
    const size_t unitAt = exifValueOffset(exif, 0x0128, 3);
    const uint32_t unit = unitAt ? r.u16(unitAt) : 2;
    const double scale = unit == 2 ? 1.0 : unit == 3 ? 2.54 : 0.0;
    const uint32_t xd = r.u32(xAt + 4), yd = r.u32(yAt + 4);
    if (scale == 0 || xd == 0 || yd == 0) return;
    *x = double(r.u32(xAt)) / xd * scale;
    *y = double(r.u32(yAt)) / yd * scale;
}

int exifOrientation(const std::vector<uint8_t>& exif) {
    const size_t at = orientationOffset(exif);
    if (at == 0) return 1;
    const uint32_t v = ExifReader{exif, exif[0] == 'M'}.u16(at);
    return v >= 1 && v <= 8 ? int(v) : 1;
}

void setExifOrientation(std::vector<uint8_t>* exif, int orientation) {
    const size_t at = orientationOffset(*exif);
    if (at == 0) return;
    const bool big = (*exif)[0] == 'M';
    (*exif)[at] = uint8_t(big ? 0 : orientation);
    (*exif)[at + 1] = uint8_t(big ? orientation : 0);
}

// ---------------------------------------------------------------- reading

ImageFormat sniff(const unsigned char* magic, size_t got) {
    if (got >= 8 && magic[0] == 0x89 && magic[1] == 'P' && magic[2] == 'N' && magic[3] == 'G') return ImageFormat::Png;
    if (got >= 3 && magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF) return ImageFormat::Jpeg;
    if (got >= 4 && ((magic[0] == 'I' && magic[1] == 'I' && magic[2] == 42 && magic[3] == 0) ||
                     (magic[0] == 'M' && magic[1] == 'M' && magic[2] == 0 && magic[3] == 42)))
        return ImageFormat::Tiff;
    return ImageFormat::Unknown;
}

// A pipe's bytes copied into a scratch file, so that every reader can
// move about in them.
std::FILE* spoolToScratch(std::FILE* in, const std::string& name, std::string* error) {
    std::FILE* scratch = std::tmpfile();
    if (!scratch) {
        *error = "cannot read " + name + " (no scratch file for the data of a pipe)";
        return nullptr;
    }
    char buffer[65536];
    for (;;) {
        // Checked before each read too: a signal that came after the last
        // read would otherwise leave the next one waiting on an open pipe.
        const size_t n = cancelRequested() ? 0 : std::fread(buffer, 1, sizeof buffer, in);
        if (cancelRequested()) {
            std::fclose(scratch);
            *error = "cancelled";
            return nullptr;
        }
        if (n == 0) break;
        if (std::fwrite(buffer, 1, n, scratch) != n) {
            std::fclose(scratch);
            *error = "cannot read " + name + " (the scratch file is full)";
            return nullptr;
        }
    }
    if (std::ferror(in)) {
        std::fclose(scratch);
        *error = "cannot read " + name;
        return nullptr;
    }
    std::rewind(scratch);
    return scratch;
}

}  // namespace

uint64_t readNeed(const ReadOptions& options, int64_t width, int64_t height, int32_t samplesPerPixel,
                  int32_t depth) {
    return options.need ? options.need(width, height, samplesPerPixel, depth)
                        : renderBytes(width, height, samplesPerPixel, depth);
}

namespace {

bool g_showWriteProgress = false;
int g_lastWritePercent = -1;
std::string g_writing;  // the file being written, for the progress line

}  // namespace

void showWriteProgress(bool show) { g_showWriteProgress = show; }

void reportWriteProgress(int32_t rowsDone, int32_t rows) {
    if (!g_showWriteProgress || rows <= 0) return;
    const int percent = int(int64_t(rowsDone) * 100 / rows);
    if (percent == g_lastWritePercent) return;
    g_lastWritePercent = percent;
    std::fprintf(stderr, "\rwriting %s %3d%%", g_writing.c_str(), percent);
    if (rowsDone >= rows) std::fputc('\n', stderr);
    std::fflush(stderr);
}

uint64_t streamBytes(std::FILE* file) {
#if defined(_WIN32)
    const long long here = _ftelli64(file);
    if (here < 0 || _fseeki64(file, 0, SEEK_END) != 0) return 0;
    const long long size = _ftelli64(file);
    _fseeki64(file, here, SEEK_SET);
#else
    const off_t here = ftello(file);
    if (here < 0 || fseeko(file, 0, SEEK_END) != 0) return 0;
    const off_t size = ftello(file);
    fseeko(file, here, SEEK_SET);
#endif
    return size > 0 ? uint64_t(size) : 0;
}

ImageFormat formatFromName(const std::string& path) {
    const std::string ext = lowerExtension(path);
    if (ext == "png") return ImageFormat::Png;
    if (ext == "jpg" || ext == "jpeg") return ImageFormat::Jpeg;
    if (ext == "tif" || ext == "tiff") return tiffAvailable() ? ImageFormat::Tiff : ImageFormat::Unknown;
    return ImageFormat::Unknown;
}

ImageFormat formatFromWord(const std::string& word) {
    std::string w = word;
    std::transform(w.begin(), w.end(), w.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return formatFromName("x." + w);
}

std::string writableFormats() {
    return std::string("PNG (.png), JPEG (.jpg, .jpeg)") + (tiffAvailable() ? ", TIFF (.tif, .tiff)" : "");
}

bool readImageFile(const std::string& path, Image* image, std::string* error) {
    return readImageFile(path, image, ReadOptions{}, error);
}

bool readImageFile(const std::string& path, Image* image, const ReadOptions& options, std::string* error) {
    const bool fromStdin = path == "-";
    const std::string name = fromStdin ? std::string("standard input") : path;
    std::error_code ec;
    if (!fromStdin && std::filesystem::is_directory(path, ec)) {
        *error = "cannot read " + path + ": it is a folder";
        return false;
    }
    std::FILE* opened = nullptr;
    if (fromStdin) {
#if defined(_WIN32)
        _setmode(_fileno(stdin), _O_BINARY);
#endif
    } else {
        opened = std::fopen(path.c_str(), "rb");
        if (!opened) {
            *error = cannotOpen(path, errno);
            return false;
        }
    }
    std::FILE* file = fromStdin ? stdin : opened;
    std::FILE* scratch = nullptr;
    if (std::fseek(file, 0, SEEK_CUR) != 0) {
        scratch = spoolToScratch(file, name, error);
        if (!scratch) {
            if (opened) std::fclose(opened);
            return false;
        }
        file = scratch;
    }
    unsigned char magic[8] = {0};
    const size_t got = std::fread(magic, 1, sizeof magic, file);
    std::fseek(file, 0, SEEK_SET);
    bool ok = false;
    switch (sniff(magic, got)) {
        case ImageFormat::Png: ok = readPng(file, name, image, options, error); break;
        case ImageFormat::Jpeg: ok = readJpeg(file, name, image, options, error); break;
        case ImageFormat::Tiff: ok = readTiff(file, name, image, options, error); break;
        default: *error = name + ": not a PNG, JPEG or TIFF file"; break;
    }
    if (scratch) std::fclose(scratch);
    if (opened) std::fclose(opened);
    if (!ok) {
        if (cancelRequested()) *error = "cancelled";
        return false;
    }
    ImageMetadata& meta = image->metadata;
    if (!(meta.xResolution > 0 && meta.yResolution > 0)) exifResolution(meta.exif, &meta.xResolution, &meta.yResolution);
    // Photos taken sideways are turned the way viewers show them; the EXIF
    // carried to the output then says "as stored".
    int orientation = image->metadata.orientation;
    if (orientation == 1) orientation = exifOrientation(image->metadata.exif);
    if (orientation != 1) {
        try {
            applyOrientation(image, orientation);
        } catch (const std::bad_alloc&) {
            *error = "out of memory";
            return false;
        }
        setExifOrientation(&image->metadata.exif, 1);
    }
    image->metadata.orientation = orientation;
    return true;
}

// ---------------------------------------------------------------- writing

bool writeImageFile(const std::string& path, const Image& image, std::string* error) {
    return writeImageFile(path, image, WriteOptions{}, error);
}

bool writeImageFile(const std::string& path, const Image& image, const WriteOptions& options, std::string* error) {
    ImageFormat format = options.format != ImageFormat::Unknown ? options.format : formatFromName(path);
    if (format == ImageFormat::Unknown && path == "-") format = ImageFormat::Png;
    if (format == ImageFormat::Unknown) {
        *error = "cannot tell the format of " + path + " from its name; name it " + writableFormats() +
                 " or give --format";
        return false;
    }
    const std::string name = path == "-" ? std::string("standard output") : path;
    OutputFile out;
    if (!out.open(path, error)) return false;
    bool ok = false;
    g_writing = name;
    g_lastWritePercent = -1;
    switch (format) {
        case ImageFormat::Jpeg: ok = writeJpeg(out.stream(), name, image, options, error); break;
        case ImageFormat::Tiff: ok = writeTiff(out.stream(), name, image, error); break;
        default: ok = writePng(out.stream(), name, image, error); break;
    }
    // A stopped write ends its progress line.
    if (g_showWriteProgress && g_lastWritePercent >= 0 && g_lastWritePercent < 100) std::fputc('\n', stderr);
    if (!ok) {
        out.abandon();
        return false;
    }
    if (cancelRequested()) {
        out.abandon();
        *error = "cancelled";
        return false;
    }
    return out.commit(error);
}

bool writePng(const std::string& path, const Image& image, std::string* error) {
    WriteOptions options;
    options.format = ImageFormat::Png;
    return writeImageFile(path, image, options, error);
}

// ---------------------------------------------------------------- conversions

Image convertImage(const Image& source, int32_t colours, bool alpha, int32_t depth) {
    Image out;
    out.allocate(source.width, source.height, colours, alpha, depth);
    out.metadata = source.metadata;
    const uint32_t inMax = source.maxValue();
    const uint32_t outMax = out.maxValue();
    auto scale = [&](uint32_t v) { return uint16_t((v * outMax + inMax / 2) / inMax); };
    for (int32_t y = 0; y < source.height; ++y) {
        for (int32_t x = 0; x < source.width; ++x) {
            uint32_t rgb[3];
            for (int c = 0; c < 3; ++c)
                rgb[c] = source.samples[source.index(x, y, source.colourChannels == 1 ? 0 : c)];
            const uint32_t a = source.hasAlpha ? source.samples[source.index(x, y, source.colourChannels)] : inMax;
            if (colours == 1) {
                const uint32_t grey = source.colourChannels == 1 ? rgb[0] : (rgb[0] * 77 + rgb[1] * 150 + rgb[2] * 29) >> 8;
                out.samples[out.index(x, y, 0)] = scale(grey);
            } else {
                for (int c = 0; c < 3; ++c) out.samples[out.index(x, y, c)] = scale(rgb[c]);
            }
            if (alpha) out.samples[out.index(x, y, colours)] = scale(a);
        }
    }
    return out;
}

void applyOrientation(Image* image, int orientation) {
    if (orientation < 2 || orientation > 8) return;
    const int32_t w = image->width, h = image->height, channels = image->channels();
    const bool turned = orientation >= 5;
    const int32_t nw = turned ? h : w, nh = turned ? w : h;
    SampleStore turnedSamples;
    turnedSamples.reset(image->samples.size(), image->depth == 16);
    for (int32_t y = 0; y < nh; ++y)
        for (int32_t x = 0; x < nw; ++x) {
            int32_t sx = x, sy = y;  // where the shown pixel (x, y) is stored
            switch (orientation) {
                case 2: sx = w - 1 - x; break;
                case 3: sx = w - 1 - x; sy = h - 1 - y; break;
                case 4: sy = h - 1 - y; break;
                case 5: sx = y; sy = x; break;
                case 6: sx = y; sy = h - 1 - x; break;
                case 7: sx = w - 1 - y; sy = h - 1 - x; break;
                case 8: sx = w - 1 - y; sy = x; break;
            }
            const size_t from = (size_t(sy) * w + sx) * channels, to = (size_t(y) * nw + x) * channels;
            for (int32_t c = 0; c < channels; ++c) turnedSamples.set(to + c, image->samples.get(from + c));
        }
    image->samples = std::move(turnedSamples);
    image->width = nw;
    image->height = nh;
    if (turned) std::swap(image->metadata.xResolution, image->metadata.yResolution);
}

}  // namespace lumenfall
