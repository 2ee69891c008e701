// JPEG files for the command line. libjpeg's default error handler exits the
// process, so every call runs under an error manager that jumps back here.
#include <csetjmp>
#include <cstdio>
#include <memory>

#include <jpeglib.h>

#include "image.h"

namespace lumenfall {
namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    info->err->format_message(info, manager->message);
    longjmp(manager->jump, 1);
}

void onMessage(j_common_ptr) {}

// Routes the codec's errors back to our setjmp and keeps its messages quiet.
jpeg_error_mgr* quietErrors(ErrorManager& manager) {
    jpeg_error_mgr* err = jpeg_std_error(&manager.base);
    manager.base.error_exit = onError;
    manager.base.output_message = onMessage;
    manager.message[0] = 0;
    return err;
}

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) std::fclose(f);
    }
};

}  // namespace

bool readJpeg(const std::string& path, Image* image, std::string* error) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        *error = "cannot open " + path;
        return false;
    }
    jpeg_decompress_struct info;
    ErrorManager manager;
    info.err = quietErrors(manager);
    if (setjmp(manager.jump)) {
        jpeg_destroy_decompress(&info);
        *error = path + ": not a readable JPEG file (" + manager.message + ")";
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file.get());
    jpeg_read_header(&info, TRUE);
    const bool grey = info.jpeg_color_space == JCS_GRAYSCALE;
    info.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_width == 0 || info.output_height == 0 || info.output_width > 32767 ||
        info.output_height > 32767) {
        jpeg_destroy_decompress(&info);
        *error = path + ": the image must be 1 to 32767 pixels on each side";
        return false;
    }
    const int channels = int(info.output_components);
    image->allocate(int32_t(info.output_width), int32_t(info.output_height), channels == 1 ? 1 : 3,
                    false, 8);
    // The row lives in libjpeg's own pool, so a jump out of the decoder frees it.
    const size_t rowSize = size_t(info.output_width) * channels;
    JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                               JDIMENSION(rowSize), 1);
    while (info.output_scanline < info.output_height) {
        const int32_t y = int32_t(info.output_scanline);
        jpeg_read_scanlines(&info, row, 1);
        for (size_t i = 0; i < rowSize; ++i) image->samples[image->index(0, y, 0) + i] = row[0][i];
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool writeJpeg(const std::string& path, const Image& source, int quality, std::string* error) {
    const Image image = convertImage(source, source.colourChannels, false, 8);
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        *error = "cannot create " + path;
        return false;
    }
    jpeg_compress_struct info;
    ErrorManager manager;
    info.err = quietErrors(manager);
    if (setjmp(manager.jump)) {
        jpeg_destroy_compress(&info);
        *error = "cannot write " + path + " (" + manager.message + ")";
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file.get());
    info.image_width = JDIMENSION(image.width);
    info.image_height = JDIMENSION(image.height);
    info.input_components = image.colourChannels;
    info.in_color_space = image.colourChannels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    const size_t rowSize = size_t(image.width) * image.colourChannels;
    JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                               JDIMENSION(rowSize), 1);
    while (info.next_scanline < info.image_height) {
        const int32_t y = int32_t(info.next_scanline);
        for (size_t i = 0; i < rowSize; ++i) row[0][i] = uint8_t(image.samples[image.index(0, y, 0) + i]);
        jpeg_write_scanlines(&info, row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    if (std::fflush(file.get()) != 0 || std::ferror(file.get())) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace lumenfall
