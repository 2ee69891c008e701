// An image in memory as the command line holds it: interleaved samples, grey
// or RGB, with or without alpha, 8 or 16 bits per sample in the file's range.
#ifndef LUMENFALL_APP_IMAGE_H
#define LUMENFALL_APP_IMAGE_H

#include <cstdint>
#include <string>
#include <vector>

namespace lumenfall {

struct Image {
    int32_t width = 0;
    int32_t height = 0;
    int32_t colourChannels = 3;  // 1 grey or 3 RGB
    bool hasAlpha = false;
    int32_t depth = 8;           // 8 or 16 bits per sample
    std::vector<uint16_t> samples;  // width * height * channels(), in the file's range

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
        samples.assign(size_t(w) * size_t(h) * size_t(channels()), 0);
    }
};

// Reads a PNG or JPEG file (by its signature). False with a message on failure.
bool readImageFile(const std::string& path, Image* image, std::string* error);

// Writes by the file name's ending: .png (default) or .jpg/.jpeg (8-bit, no alpha).
bool writeImageFile(const std::string& path, const Image& image, std::string* error);

bool readPng(const std::string& path, Image* image, std::string* error);
bool writePng(const std::string& path, const Image& image, std::string* error);
bool readJpeg(const std::string& path, Image* image, std::string* error);
bool writeJpeg(const std::string& path, const Image& image, int quality, std::string* error);

// The built-in sample picture: a dusk sky over hills.
Image makeSampleImage(int32_t width = 1280, int32_t height = 800);

// Converts between sample depths and layouts (grey <-> RGB, 8 <-> 16 bits,
// adding or dropping alpha).
Image convertImage(const Image& source, int32_t colours, bool alpha, int32_t depth);

}  // namespace lumenfall

#endif
