// An image in memory as the command line holds it: interleaved samples, grey
// or RGB, with or without alpha, 8 or 16 bits per sample in the file's range.
#ifndef LUMENFALL_APP_IMAGE_H
#define LUMENFALL_APP_IMAGE_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "params/host_samples.h"
namespace lumenfall {

// The samples of an image: one byte each for 8-bit images, two for 16-bit,
// so that a large 8-bit picture takes a third of the memory it would as
// 16-bit values. Storage comes zeroed from the system without being touched,
// so a file that declares a huge size but holds little data costs only the
// rows it really fills. Indexing reads and writes 16-bit values either way.
class SampleStore {
public:
    SampleStore() = default;
    SampleStore(const SampleStore& other);
    SampleStore& operator=(const SampleStore& other);
    SampleStore(SampleStore&& other) noexcept;
    SampleStore& operator=(SampleStore&& other) noexcept;
    ~SampleStore();

    // `count` zero samples of one byte (wide false) or two; throws
    // std::bad_alloc when the memory is not there.
    void reset(size_t count, bool wide);

    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    bool wide() const { return wide_; }
    uint16_t get(size_t i) const { return wide_ ? reinterpret_cast<const uint16_t*>(data_)[i] : data_[i]; }
    void set(size_t i, uint16_t v) {
        if (wide_) reinterpret_cast<uint16_t*>(data_)[i] = v;
        else data_[i] = uint8_t(v);
    }
    uint8_t* bytes() { return data_; }
    const uint8_t* bytes() const { return data_; }
    const void* data() const { return data_; }

    struct Ref {
        SampleStore* store;
        size_t index;
        operator uint16_t() const { return store->get(index); }
        Ref& operator=(uint16_t v) {
            store->set(index, v);
            return *this;
        }
        Ref& operator=(const Ref& other) { return *this = uint16_t(other); }
    };
    Ref operator[](size_t i) { return Ref{this, i}; }
    uint16_t operator[](size_t i) const { return get(i); }

    class iterator {
    public:
        iterator(SampleStore* s, size_t i) : ref_{s, i} {}
        Ref& operator*() { return ref_; }
        iterator& operator++() {
            ++ref_.index;
            return *this;
        }
        bool operator!=(const iterator& o) const { return ref_.index != o.ref_.index; }
        bool operator==(const iterator& o) const { return ref_.index == o.ref_.index; }

    private:
        Ref ref_;
    };
    class const_iterator {
    public:
        using value_type = uint16_t;
        const_iterator(const SampleStore* s, size_t i) : store_(s), index_(i) {}
        uint16_t operator*() const { return store_->get(index_); }
        const_iterator& operator++() {
            ++index_;
            return *this;
        }
        bool operator!=(const const_iterator& o) const { return index_ != o.index_; }
        bool operator==(const const_iterator& o) const { return index_ == o.index_; }

    private:
        const SampleStore* store_;
        size_t index_;
    };
    iterator begin() { return iterator(this, 0); }
    iterator end() { return iterator(this, count_); }
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, count_); }

    bool operator==(const SampleStore& other) const;
    bool operator!=(const SampleStore& other) const { return !(*this == other); }

private:
    uint8_t* data_ = nullptr;
    size_t count_ = 0;
    bool wide_ = false;
};

// What a photo carries besides its pixels, passed from the input file to the
// output file.
struct ImageMetadata {
    std::vector<uint8_t> icc;      // the colour profile, as stored
    std::vector<uint8_t> exif;     // the EXIF block, starting at its byte-order mark ("II" or "MM")
    double xResolution = 0;        // pixels per inch; 0 when the file does not say
    double yResolution = 0;
    int orientation = 1;           // the EXIF orientation the pixels were read in (applied on reading)
};

struct Image {
    int32_t width = 0;
    int32_t height = 0;
    int32_t colourChannels = 3;  // 1 grey or 3 RGB
    bool hasAlpha = false;
    int32_t depth = 8;           // 8 or 16 bits per sample
    SampleStore samples;         // width * height * channels(), in the file's range
    ImageMetadata metadata;

    int32_t channels() const { return colourChannels + (hasAlpha ? 1 : 0); }
    uint16_t maxValue() const { return depth == 16 ? 65535 : 255; }
    size_t index(int32_t x, int32_t y, int32_t c) const {
        return (size_t(y) * size_t(width) + size_t(x)) * size_t(channels()) + size_t(c);
    }
    void allocate(int32_t w, int32_t h, int32_t colours, bool alpha, int32_t bits) {
        width = w;
        height = h;
        colourChannels = colours;
        hasAlpha = alpha;
        depth = bits;
        samples.reset(size_t(w) * size_t(h) * size_t(channels()), bits == 16);
    }
};

// File formats the command reads and writes.
enum class ImageFormat { Unknown, Png, Jpeg, Tiff };

// How an image file is read.
struct ReadOptions {
    bool allowDamaged = false;   // keep what decodes from a cut or corrupt file, with a warning
    std::string* warning = nullptr;  // receives that warning
    // The memory the command needs for an image of this size, checked
    // against the budget before the pixels are allocated; null: a render's.
    uint64_t (*need)(int64_t width, int64_t height, int32_t samplesPerPixel, int32_t depth) = nullptr;
};

// What ReadOptions::need says, or a render's need.
uint64_t readNeed(const ReadOptions& options, int64_t width, int64_t height, int32_t samplesPerPixel,
                  int32_t depth);

// How an image file is written.
struct WriteOptions {
    ImageFormat format = ImageFormat::Unknown;  // Unknown: by the file name's ending
    int quality = 92;                            // JPEG
    int subsampling = 420;                       // JPEG: 444, 422 or 420
};

// Reads a PNG, JPEG or TIFF file (by its signature); "-" reads standard
// input. False with a message on failure; a message starting "out of
// memory" when the image does not fit the memory budget.
bool readImageFile(const std::string& path, Image* image, std::string* error);
bool readImageFile(const std::string& path, Image* image, const ReadOptions& options, std::string* error);

// Writes by the file name's ending (.png, .jpg/.jpeg, .tif/.tiff) or the
// format given; "-" writes standard output. The bytes go to a temporary file
// beside the target that replaces it only when everything is written, so a
// failure or a cancel leaves an older file as it was.
bool writeImageFile(const std::string& path, const Image& image, std::string* error);
bool writeImageFile(const std::string& path, const Image& image, const WriteOptions& options, std::string* error);

// A progress line on standard error while files are written ("writing
// out.png  45%"), for a terminal; off until switched on.
void showWriteProgress(bool show);
// Called by the writers after each row (cheap: it redraws only when the
// percentage changes).
void reportWriteProgress(int32_t rowsDone, int32_t rows);

// The format a file name's ending names; Unknown for any other ending.
ImageFormat formatFromName(const std::string& path);
// The format a --format word names ("png", "jpeg", "jpg", "tiff", "tif").
ImageFormat formatFromWord(const std::string& word);
// "PNG (.png), JPEG (.jpg, .jpeg), TIFF (.tif, .tiff)" for messages.
std::string writableFormats();

// The codecs, on an open stream; `name` is for messages.
bool readPng(std::FILE* file, const std::string& name, Image* image, const ReadOptions& options, std::string* error);
bool writePng(std::FILE* file, const std::string& name, const Image& image, std::string* error);
bool readJpeg(std::FILE* file, const std::string& name, Image* image, const ReadOptions& options, std::string* error);
bool writeJpeg(std::FILE* file, const std::string& name, const Image& image, const WriteOptions& options,
               std::string* error);
bool tiffAvailable();
bool readTiff(std::FILE* file, const std::string& name, Image* image, const ReadOptions& options, std::string* error);
bool writeTiff(std::FILE* file, const std::string& name, const Image& image, std::string* error);

// The bytes in an open file (0 when it cannot tell).
uint64_t streamBytes(std::FILE* file);

// Whole-file conveniences (tests and tools).
bool writePng(const std::string& path, const Image& image, std::string* error);

// The built-in sample picture: a dusk sky over hills.
Image makeSampleImage(int32_t width = 1280, int32_t height = 800);


// One RGB value of a CMYK ink pair (the ink's own and black), 0..max,
// as libtiff's RGBA reader turns them: no colour management.
inline uint32_t cmykToRgb(uint32_t ink, uint32_t black, uint32_t max) { return (max - ink) * (max - black) / max; }

// Converts between sample depths and layouts (grey <-> RGB, 8 <-> 16 bits,
// adding or dropping alpha).
Image convertImage(const Image& source, int32_t colours, bool alpha, int32_t depth);

// Turns an image as stored with EXIF orientation 2..8 into the way viewers
// show it; sizes swap for the turns by a quarter.
void applyOrientation(Image* image, int orientation);

}  // namespace lumenfall

#endif
