// JPEG files read and written through the codec library, with the same
// jumping error handler as the in-memory codec (jpeg_codec_errors.h): the
// jump targets keep every state in a job record reached by pointer.
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "export/jpeg_codec_errors.h"
#include "export/jpeg_file.h"

namespace lumenfall {
namespace {

using jpeg_errors::ErrorHandler;
using jpeg_errors::installErrorHandler;

struct FileErrorHandler {
    ErrorHandler base;          // first, so the codec's error pointer is both
    bool strict;                // a warning stops the read
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void jumpWithMessage(j_common_ptr codec) {
    FileErrorHandler* handler = reinterpret_cast<FileErrorHandler*>(codec->err);
    codec->err->format_message(codec, handler->message);
    std::longjmp(handler->base.jump, 1);
}

// A warning means damaged data: kept as the message, and in strict mode the
// end of the read.
void noteFileMessage(j_common_ptr codec, int level) {
    if (level >= 0) return;
    FileErrorHandler* handler = reinterpret_cast<FileErrorHandler*>(codec->err);
    if (!handler->base.warned) codec->err->format_message(codec, handler->message);
    handler->base.warned = true;
    if (handler->strict) std::longjmp(handler->base.jump, 2);
}

void installFileErrorHandler(FileErrorHandler& handler, bool strict) {
    installErrorHandler(handler.base);
    handler.base.manager.error_exit = jumpWithMessage;
    handler.base.manager.emit_message = noteFileMessage;
    handler.strict = strict;
    handler.message[0] = 0;
}

struct FileDecodeJob {
    jpeg_decompress_struct codec;
    FileErrorHandler errors;
    std::FILE* file;
    uint64_t memoryLimit;
    const JpegFileReader* reader;
    JpegFileHeader header;
    bool created;
    bool stopped;
};

void readMarkers(FileDecodeJob& job) {
    j_decompress_ptr codec = &job.codec;
    JOCTET* icc = nullptr;
    unsigned int iccLength = 0;
    if (jpeg_read_icc_profile(codec, &icc, &iccLength) && icc) {
        job.header.icc.assign(icc, icc + iccLength);
    }
    std::free(icc);
    for (jpeg_saved_marker_ptr m = codec->marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length > 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0 &&
            job.header.exif.empty())
            job.header.exif.assign(m->data + 6, m->data + m->data_length);
    }
    if (codec->saw_JFIF_marker && codec->X_density > 0 && codec->Y_density > 0) {
        const double scale = codec->density_unit == 1 ? 1.0 : codec->density_unit == 2 ? 2.54 : 0.0;
        job.header.xResolution = codec->X_density * scale;
        job.header.yResolution = codec->Y_density * scale;
    }
}

// 0 read, 1 damaged (with a message), 2 stopped, 3 failed.
int32_t runFileDecoder(FileDecodeJob* job) {
    job->codec.err = &job->errors.base.manager;
    if (setjmp(job->errors.base.jump) != 0) {
        return job->errors.base.warned ? kJpegFileDamaged : kJpegFileFailed;
    }
    jpeg_create_decompress(&job->codec);
    job->created = true;
    j_decompress_ptr codec = &job->codec;
    if (job->memoryLimit > 0)
        codec->mem->max_memory_to_use = long(job->memoryLimit > uint64_t(LONG_MAX) ? LONG_MAX : job->memoryLimit);
    jpeg_stdio_src(codec, job->file);
    jpeg_save_markers(codec, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(codec, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(codec, TRUE);
    // CMYK arrives as CMYK and is turned into RGB here without colour
    // management, as libtiff's RGBA reader turns CMYK TIFF files.
    const bool cmyk = codec->jpeg_color_space == JCS_CMYK || codec->jpeg_color_space == JCS_YCCK;
    codec->out_color_space = cmyk ? JCS_CMYK : codec->jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
    readMarkers(*job);
    // A CMYK profile does not describe the RGB rows.
    if (cmyk) job->header.icc.clear();
    job->header.width = int32_t(codec->image_width);
    job->header.height = int32_t(codec->image_height);
    job->header.components = codec->out_color_space == JCS_GRAYSCALE ? 1 : 3;
    job->header.arithmetic = codec->arith_code != 0;
    if (!job->reader->begin(job->reader->context, job->header)) {
        job->stopped = true;
        return kJpegFileStopped;
    }
    jpeg_start_decompress(codec);
    const JDIMENSION rowSize = codec->output_width * JDIMENSION(codec->output_components);
    JSAMPARRAY row = (*codec->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(codec), JPOOL_IMAGE, rowSize, 1);
    // Adobe's files store CMYK inverted (255 is no ink).
    const bool inverted = cmyk && codec->saw_Adobe_marker;
    while (codec->output_scanline < codec->output_height) {
        const int32_t y = int32_t(codec->output_scanline);
        if (jpeg_read_scanlines(codec, row, 1) != 1) break;
        if (cmyk) {
            uint8_t* p = row[0];
            for (JDIMENSION x = 0; x < codec->output_width; ++x) {
                const uint32_t k = inverted ? 255u - p[4 * x + 3] : p[4 * x + 3];
                for (int c = 0; c < 3; ++c) {
                    const uint32_t ink = inverted ? 255u - p[4 * x + JDIMENSION(c)] : p[4 * x + JDIMENSION(c)];
                    p[3 * x + JDIMENSION(c)] = uint8_t((255u - ink) * (255u - k) / 255u);
                }
            }
        }
        if (!job->reader->row(job->reader->context, y, row[0])) {
            job->stopped = true;
            return kJpegFileStopped;
        }
    }
    jpeg_finish_decompress(codec);
    return job->errors.base.warned ? kJpegFileDamaged : kJpegFileRead;
}

struct FileEncodeJob {
    jpeg_compress_struct codec;
    FileErrorHandler errors;
    std::FILE* file;
    const JpegFileWriter* writer;
    bool created;
};

uint16_t densityOf(double pixelsPerInch) {
    if (!(pixelsPerInch >= 1)) return 0;
    return pixelsPerInch > 65535 ? 65535 : uint16_t(pixelsPerInch + 0.5);
}

int32_t runFileEncoder(FileEncodeJob* job) {
    job->codec.err = &job->errors.base.manager;
    if (setjmp(job->errors.base.jump) != 0) return kJpegFileFailed;
    jpeg_create_compress(&job->codec);
    job->created = true;
    j_compress_ptr codec = &job->codec;
    const JpegFileWriter& w = *job->writer;
    jpeg_stdio_dest(codec, job->file);
    codec->image_width = JDIMENSION(w.width);
    codec->image_height = JDIMENSION(w.height);
    codec->input_components = w.components;
    codec->in_color_space = w.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(codec);
    jpeg_set_quality(codec, w.quality, TRUE);
    if (w.components == 3) {
        codec->comp_info[0].h_samp_factor = w.subsampling == 444 ? 1 : 2;
        codec->comp_info[0].v_samp_factor = w.subsampling == 420 ? 2 : 1;
        for (int i = 1; i < 3; ++i) codec->comp_info[i].h_samp_factor = codec->comp_info[i].v_samp_factor = 1;
    }
    const uint16_t xDensity = densityOf(w.xResolution), yDensity = densityOf(w.yResolution);
    if (xDensity && yDensity) {
        codec->density_unit = 1;
        codec->X_density = xDensity;
        codec->Y_density = yDensity;
    }
    jpeg_start_compress(codec, TRUE);
    if (w.exif && !w.exif->empty() && w.exif->size() + 6 <= 65533) {
        jpeg_write_m_header(codec, JPEG_APP0 + 1, unsigned(w.exif->size() + 6));
        for (const char c : {'E', 'x', 'i', 'f', '\0', '\0'}) jpeg_write_m_byte(codec, c);
        for (const uint8_t b : *w.exif) jpeg_write_m_byte(codec, b);
    }
    if (w.icc && !w.icc->empty()) jpeg_write_icc_profile(codec, w.icc->data(), unsigned(w.icc->size()));
    const JDIMENSION rowSize = JDIMENSION(w.width) * JDIMENSION(w.components);
    JSAMPARRAY row = (*codec->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(codec), JPOOL_IMAGE, rowSize, 1);
    while (codec->next_scanline < codec->image_height) {
        if (!w.row(w.context, int32_t(codec->next_scanline), row[0])) return kJpegFileStopped;
        jpeg_write_scanlines(codec, row, 1);
    }
    jpeg_finish_compress(codec);
    return kJpegFileRead;
}

}  // namespace

int32_t readJpegFile(std::FILE* file, uint64_t memoryLimit, bool acceptDamaged, const JpegFileReader& reader,
                     std::string* message) {
    FileDecodeJob* job = new (std::nothrow) FileDecodeJob();
    if (!job) {
        *message = "out of memory";
        return kJpegFileFailed;
    }
    job->file = file;
    job->memoryLimit = memoryLimit;
    job->reader = &reader;
    installFileErrorHandler(job->errors, !acceptDamaged);
    const int32_t result = runFileDecoder(job);
    *message = job->errors.message;
    if (job->created) jpeg_destroy_decompress(&job->codec);
    delete job;
    return result;
}

int32_t writeJpegFile(std::FILE* file, const JpegFileWriter& writer, std::string* message) {
    FileEncodeJob* job = new (std::nothrow) FileEncodeJob();
    if (!job) {
        *message = "out of memory";
        return kJpegFileFailed;
    }
    job->file = file;
    job->writer = &writer;
    installFileErrorHandler(job->errors, false);
    const int32_t result = runFileEncoder(job);
    *message = job->errors.message;
    if (job->created) jpeg_destroy_compress(&job->codec);
    delete job;
    return result;
}

}  // namespace lumenfall
