#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>

#include "image.h"

namespace lumenfall {
namespace {

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) std::fclose(f);
    }
};

void pngError(png_structp png, png_const_charp message) {
    auto* error = static_cast<std::string*>(png_get_error_ptr(png));
    if (error) *error = message;
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

}  // namespace

bool readPng(const std::string& path, Image* image, std::string* error) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        *error = "cannot open " + path;
        return false;
    }
    std::string message;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &message, pngError, pngWarning);
    if (!png) {
        *error = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    std::vector<uint8_t> pixels;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        *error = path + ": not a readable PNG file (" + message + ")";
        return false;
    }
    png_init_io(png, file.get());
    png_read_info(png, info);
    // Expand palettes and low bit depths; keep 16-bit samples and alpha.
    png_set_expand(png);
    const int bitDepth = png_get_bit_depth(png, info);
    const int colourType = png_get_color_type(png, info);
    png_read_update_info(png, info);
    const int depth = png_get_bit_depth(png, info) == 16 ? 16 : 8;
    (void)bitDepth;
    const int channels = png_get_channels(png, info);
    const uint32_t width = png_get_image_width(png, info);
    const uint32_t height = png_get_image_height(png, info);
    if (width == 0 || height == 0 || width > 32767 || height > 32767) {
        png_destroy_read_struct(&png, &info, nullptr);
        *error = path + ": the image must be 1 to 32767 pixels on each side";
        return false;
    }
    const size_t rowBytes = png_get_rowbytes(png, info);
    pixels.resize(rowBytes * height);
    rows.resize(height);
    for (uint32_t y = 0; y < height; ++y) rows[y] = pixels.data() + y * rowBytes;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);

    const bool grey = !(colourType & PNG_COLOR_MASK_COLOR);
    const bool alpha = channels == 2 || channels == 4;
    image->allocate(int32_t(width), int32_t(height), grey ? 1 : 3, alpha, depth);
    const size_t count = size_t(width) * height * channels;
    for (size_t i = 0; i < count; ++i)
        image->samples[i] = depth == 16 ? uint16_t((pixels[2 * i] << 8) | pixels[2 * i + 1]) : pixels[i];
    return true;
}

bool writePng(const std::string& path, const Image& image, std::string* error) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        *error = "cannot create " + path;
        return false;
    }
    std::string message;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &message, pngError, pngWarning);
    if (!png) {
        *error = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    const int channels = image.channels();
    const size_t rowBytes = size_t(image.width) * channels * (image.depth == 16 ? 2 : 1);
    std::vector<uint8_t> row(rowBytes);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        *error = "cannot write " + path + " (" + message + ")";
        return false;
    }
    png_init_io(png, file.get());
    int type = image.colourChannels == 1 ? (image.hasAlpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY)
                                         : (image.hasAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB);
    png_set_IHDR(png, info, uint32_t(image.width), uint32_t(image.height), image.depth, type,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < image.height; ++y) {
        const uint16_t* src = &image.samples[image.index(0, y, 0)];
        for (size_t i = 0; i < size_t(image.width) * channels; ++i) {
            if (image.depth == 16) {
                row[2 * i] = uint8_t(src[i] >> 8);
                row[2 * i + 1] = uint8_t(src[i] & 0xFF);
            } else {
                row[i] = uint8_t(src[i]);
            }
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(file.get()) != 0 || std::ferror(file.get())) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace lumenfall
