#include <algorithm>
#include <cctype>
#include <cstdio>

#include "image.h"

namespace lumenfall {
namespace {

std::string lowerExtension(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos) return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

}  // namespace

bool readImageFile(const std::string& path, Image* image, std::string* error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = "cannot open " + path;
        return false;
    }
    unsigned char magic[8] = {0};
    const size_t got = std::fread(magic, 1, sizeof magic, file);
    std::fclose(file);
    if (got >= 8 && magic[0] == 0x89 && magic[1] == 'P' && magic[2] == 'N' && magic[3] == 'G')
        return readPng(path, image, error);
    if (got >= 3 && magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF) return readJpeg(path, image, error);
    *error = path + ": not a PNG or JPEG file";
    return false;
}

bool writeImageFile(const std::string& path, const Image& image, std::string* error) {
    const std::string ext = lowerExtension(path);
    if (ext == "jpg" || ext == "jpeg") return writeJpeg(path, image, 92, error);
    return writePng(path, image, error);
}

Image convertImage(const Image& source, int32_t colours, bool alpha, int32_t depth) {
    Image out;
    out.allocate(source.width, source.height, colours, alpha, depth);
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

}  // namespace lumenfall
