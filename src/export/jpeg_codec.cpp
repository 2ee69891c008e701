// The JPEG codec library in memory: thumbnails and pictures encoded into a
// buffer and decoded from one (whole files are jpeg_file_codec.cpp). The
// library reports errors by calling a handler that must not return; its
// default handler ends the process, so every codec object here gets a
// handler that jumps back to the call that started the work
// (jpeg_codec_errors.h), and each failure becomes a result code.
// The jump target sits in a small function whose own locals are never
// changed after setjmp; all state lives in a job record reached by pointer,
// and no C++ object with a destructor lives in a frame the jump can skip.
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
#include "export/jpeg_writer.h"
#include "params/product_identity.h"
#include "export/metadata_builder.h"
#include "export/thumbnail_jpeg.h"

namespace lumenfall {

namespace {

using jpeg_errors::ErrorHandler;
using jpeg_errors::installErrorHandler;

[[noreturn]] void failWith(j_common_ptr codec, int code) {
    codec->err->msg_code = code;
    codec->err->error_exit(codec);
    std::longjmp(reinterpret_cast<ErrorHandler*>(codec->err)->jump, 1);  // not reached
}

// ---------------------------------------------------------------- encoding

constexpr size_t kBytesPerPaddedPixel = 6;
constexpr size_t kHeaderAllowance = 4096;  // JFIF, tables, frame and scan headers
constexpr int32_t kIccChunkBytes = 65519;  // 65533 marker bytes less the 14-byte chunk header
constexpr int32_t kIccMaxChunks = 255;

// The encoder writes into one memory buffer sized for the padded picture
// and the markers; should the codec need more, the buffer grows.
struct GrowingDestination {
    jpeg_destination_mgr manager;
    std::vector<uint8_t>* buffer;
    size_t used;
};

void startDestination(j_compress_ptr codec) {
    GrowingDestination* d = reinterpret_cast<GrowingDestination*>(codec->dest);
    d->manager.next_output_byte = d->buffer->data();
    d->manager.free_in_buffer = d->buffer->size();
    d->used = 0;
}

boolean growDestination(j_compress_ptr codec) {
    GrowingDestination* d = reinterpret_cast<GrowingDestination*>(codec->dest);
    // The library calls this when the whole buffer is full.
    const size_t full = d->buffer->size();
    bool grown = true;
    try {
        d->buffer->resize(full * 2);
    } catch (...) {
        grown = false;
    }
    if (!grown) failWith(reinterpret_cast<j_common_ptr>(codec), JERR_OUT_OF_MEMORY);
    d->manager.next_output_byte = d->buffer->data() + full;
    d->manager.free_in_buffer = d->buffer->size() - full;
    return TRUE;
}

void finishDestination(j_compress_ptr codec) {
    GrowingDestination* d = reinterpret_cast<GrowingDestination*>(codec->dest);
    d->used = d->buffer->size() - d->manager.free_in_buffer;
}

uint8_t floatToByte(float value) {
    if (!(value > 0.0f)) return 0;  // also NaN
    if (value >= 1.0f) return 255;
    return static_cast<uint8_t>(value * 255.0f);
}

struct EncodeJob {
    jpeg_compress_struct codec;
    ErrorHandler errors;
    GrowingDestination destination;
    const PictureSource* picture;
    const JpegQualityRow* quality;
    int32_t width;              // padded
    int32_t height;
    MetadataBuilder metadata;   // EXIF first, then IPTC in the second half below
    int32_t exifLength;
    std::vector<uint8_t> iptc;
    const uint8_t* icc;
    size_t iccSize;
    int32_t iccChunks;
    std::vector<float> sourceRow;
    std::vector<uint8_t> byteRow;
    std::vector<uint8_t> output;
};

void writeMarkers(EncodeJob& job) {
    j_compress_ptr codec = &job.codec;
    jpeg_write_marker(codec, JPEG_COM, reinterpret_cast<const JOCTET*>(kMakerWebAddress),
                      static_cast<unsigned>(std::strlen(kMakerWebAddress) + 1));
    jpeg_write_marker(codec, JPEG_APP0 + 1, job.metadata.buffer, static_cast<unsigned>(job.exifLength));
    if (job.iccChunks > 0) {
        static const char kIccSignature[12] = "ICC_PROFILE";  // with its zero byte
        uint8_t chunk[14 + kIccChunkBytes];
        for (int32_t i = 0; i < job.iccChunks; ++i) {
            const size_t start = static_cast<size_t>(i) * kIccChunkBytes;
            const size_t count = job.iccSize - start < static_cast<size_t>(kIccChunkBytes)
                                     ? job.iccSize - start
                                     : static_cast<size_t>(kIccChunkBytes);
            std::memcpy(chunk, kIccSignature, 12);
            chunk[12] = static_cast<uint8_t>(i + 1);
            chunk[13] = static_cast<uint8_t>(job.iccChunks);
            std::memcpy(chunk + 14, job.icc + start, count);
            jpeg_write_marker(codec, JPEG_APP0 + 2, chunk, static_cast<unsigned>(14 + count));
        }
    }
    if (!job.iptc.empty()) {
        jpeg_write_marker(codec, JPEG_APP0 + 13, job.iptc.data(), static_cast<unsigned>(job.iptc.size()));
    }
}

// Rows and columns past the picture repeat its last row and column, as a
// clamped read of the picture would.
void encodeRows(EncodeJob& job) {
    const PictureSource& picture = *job.picture;
    int32_t loadedRow = -1;
    for (int32_t y = 0; y < job.height; ++y) {
        const int32_t sourceY = y < picture.height ? y : picture.height - 1;
        if (sourceY != loadedRow) {
            picture.readRow(picture.context, sourceY, job.sourceRow.data());
            for (int32_t x = 0; x < job.width; ++x) {
                const int32_t sourceX = x < picture.width ? x : picture.width - 1;
                for (int c = 0; c < 3; ++c) job.byteRow[3 * x + c] = floatToByte(job.sourceRow[3 * sourceX + c]);
            }
            loadedRow = sourceY;
        }
        JSAMPROW row = job.byteRow.data();
        jpeg_write_scanlines(&job.codec, &row, 1);
    }
}

void configureCompressor(EncodeJob& job) {
    j_compress_ptr codec = &job.codec;
    codec->image_width = static_cast<JDIMENSION>(job.width);
    codec->image_height = static_cast<JDIMENSION>(job.height);
    codec->input_components = 3;
    codec->in_color_space = JCS_RGB;
    jpeg_set_defaults(codec);
    codec->comp_info[0].h_samp_factor = job.quality->lumaSampling;
    codec->comp_info[0].v_samp_factor = job.quality->lumaSampling;
    for (int i = 1; i < codec->num_components; ++i) {
        codec->comp_info[i].h_samp_factor = 1;
        codec->comp_info[i].v_samp_factor = 1;
    }
    unsigned int luminance[64];
    unsigned int chrominance[64];
    for (int i = 0; i < 64; ++i) {
        luminance[i] = job.quality->luminance[i];
        chrominance[i] = job.quality->chrominance[i];
    }
    jpeg_add_quant_table(codec, 0, luminance, 100, FALSE);
    jpeg_add_quant_table(codec, 1, chrominance, 100, FALSE);
}

// Runs the codec; returns false when it reported an error.
bool runCompressor(EncodeJob* job) {
    job->codec.err = &job->errors.manager;
    installErrorHandler(job->errors);
    if (setjmp(job->errors.jump) != 0) {
        jpeg_destroy_compress(&job->codec);
        return false;
    }
    jpeg_create_compress(&job->codec);
    job->destination.manager.init_destination = startDestination;
    job->destination.manager.empty_output_buffer = growDestination;
    job->destination.manager.term_destination = finishDestination;
    job->destination.buffer = &job->output;
    job->codec.dest = &job->destination.manager;
    configureCompressor(*job);
    jpeg_start_compress(&job->codec, TRUE);  // writes SOI and the JFIF marker
    writeMarkers(*job);
    encodeRows(*job);
    jpeg_finish_compress(&job->codec);
    jpeg_destroy_compress(&job->codec);
    return true;
}

// ---------------------------------------------------------------- decoding

// Bytes in memory; running out is an error, never an invented end marker.
struct MemorySource {
    jpeg_source_mgr manager;
    const uint8_t* data;
    size_t size;
};

void startSource(j_decompress_ptr codec) {
    MemorySource* s = reinterpret_cast<MemorySource*>(codec->src);
    s->manager.next_input_byte = s->data;
    s->manager.bytes_in_buffer = s->size;
}

boolean refillSource(j_decompress_ptr codec) {
    failWith(reinterpret_cast<j_common_ptr>(codec), JERR_INPUT_EOF);
}

void skipSource(j_decompress_ptr codec, long count) {
    if (count <= 0) return;
    MemorySource* s = reinterpret_cast<MemorySource*>(codec->src);
    if (static_cast<unsigned long>(count) > s->manager.bytes_in_buffer) {
        failWith(reinterpret_cast<j_common_ptr>(codec), JERR_INPUT_EOF);
    }
    s->manager.next_input_byte += count;
    s->manager.bytes_in_buffer -= static_cast<size_t>(count);
}

void endSource(j_decompress_ptr) {}

// Thumbnails are 128 pixels on a side; anything far beyond is not one, and
// refusing it keeps a forged header from asking for gigabytes.
constexpr JDIMENSION kMaxThumbnailJpegSide = 1024;
constexpr long kDecoderMemoryLimit = 32L * 1024 * 1024;

struct DecodeJob {
    jpeg_decompress_struct codec;
    ErrorHandler errors;
    MemorySource source;
    ThumbnailPixels* out;
    std::vector<uint8_t> row;
    int32_t failure;  // the result when the codec stops early
};

void storeScanline(DecodeJob& job, int32_t y) {
    ThumbnailPixels& out = *job.out;
    const int32_t components = job.codec.output_components;
    const int32_t columns = static_cast<int32_t>(job.codec.output_width) < out.width
                                ? static_cast<int32_t>(job.codec.output_width)
                                : out.width;
    uint8_t* target = out.pixels.data() + static_cast<size_t>(y) * out.width * out.channels;
    const uint8_t* source = job.row.data();
    for (int32_t x = 0; x < columns; ++x) {
        if (components == 3) {
            const uint32_t r = source[3 * x], g = source[3 * x + 1], b = source[3 * x + 2];
            if (out.channels == 4) {
                target[4 * x] = static_cast<uint8_t>(r);
                target[4 * x + 1] = static_cast<uint8_t>(g);
                target[4 * x + 2] = static_cast<uint8_t>(b);
                target[4 * x + 3] = 255;
            } else {
                target[x] = static_cast<uint8_t>((77 * r + 150 * g + 28 * b) >> 8);
            }
        } else {
            const uint8_t v = source[x];
            if (out.channels == 4) {
                target[4 * x] = v;
                target[4 * x + 1] = v;
                target[4 * x + 2] = v;
                target[4 * x + 3] = 255;
            } else {
                target[x] = v;
            }
        }
    }
}

// Returns kThumbnailDecoded or the reason for stopping.
int32_t runDecompressor(DecodeJob* job) {
    job->codec.err = &job->errors.manager;
    installErrorHandler(job->errors);
    job->failure = kThumbnailCorrupt;
    if (setjmp(job->errors.jump) != 0) {
        jpeg_destroy_decompress(&job->codec);
        return job->failure;
    }
    jpeg_create_decompress(&job->codec);
    job->codec.mem->max_memory_to_use = kDecoderMemoryLimit;
    job->source.manager.init_source = startSource;
    job->source.manager.fill_input_buffer = refillSource;
    job->source.manager.skip_input_data = skipSource;
    job->source.manager.resync_to_restart = jpeg_resync_to_restart;
    job->source.manager.term_source = endSource;
    job->codec.src = &job->source.manager;

    if (jpeg_read_header(&job->codec, TRUE) != JPEG_HEADER_OK || job->errors.warned) {
        job->failure = kThumbnailCorrupt;
        failWith(reinterpret_cast<j_common_ptr>(&job->codec), JERR_NO_IMAGE);
    }
    if (job->codec.image_width > kMaxThumbnailJpegSide || job->codec.image_height > kMaxThumbnailJpegSide) {
        job->failure = kThumbnailTooLarge;
        failWith(reinterpret_cast<j_common_ptr>(&job->codec), JERR_IMAGE_TOO_BIG);
    }
    if (job->codec.num_components == 3) {
        job->codec.out_color_space = JCS_RGB;
    } else if (job->codec.num_components == 1) {
        job->codec.out_color_space = JCS_GRAYSCALE;
    } else {
        job->failure = kThumbnailBadComponents;
        failWith(reinterpret_cast<j_common_ptr>(&job->codec), JERR_BAD_J_COLORSPACE);
    }
    jpeg_start_decompress(&job->codec);
    if (job->codec.output_components != 1 && job->codec.output_components != 3) {
        job->failure = kThumbnailBadComponents;
        failWith(reinterpret_cast<j_common_ptr>(&job->codec), JERR_BAD_J_COLORSPACE);
    }
    // The row buffer was sized for the largest allowed width before the jump target.
    const int32_t rows = static_cast<int32_t>(job->codec.output_height) < job->out->height
                             ? static_cast<int32_t>(job->codec.output_height)
                             : job->out->height;
    for (int32_t y = 0; y < rows; ++y) {
        JSAMPROW row = job->row.data();
        if (jpeg_read_scanlines(&job->codec, &row, 1) != 1 || job->errors.warned) {
            failWith(reinterpret_cast<j_common_ptr>(&job->codec), JERR_INPUT_EOF);
        }
        storeScanline(*job, y);
    }
    // Rows past the image are not needed; when the JPEG ended with the image,
    // its end must be sound as well.
    if (job->codec.output_scanline >= job->codec.output_height) {
        jpeg_finish_decompress(&job->codec);
        if (job->errors.warned) failWith(reinterpret_cast<j_common_ptr>(&job->codec), JERR_INPUT_EOF);
    } else {
        jpeg_abort_decompress(&job->codec);
    }
    jpeg_destroy_decompress(&job->codec);
    return kThumbnailDecoded;
}

}  // namespace

// ---------------------------------------------------------------- public

int32_t encodeJpeg(const PictureSource* picture, const JpegOptions& options, EncodedJpeg& out) {
    out.bytes.clear();
    out.width = 0;
    out.height = 0;
    if (picture == nullptr || picture->readRow == nullptr) return kJpegNoImage;
    if (picture->width < 1 || picture->height < 1) return kJpegNoPixels;
    if (!picture->hasStorage) return kJpegNoStorage;
    // JPEG frames hold at most 65535 pixels per side.
    if (picture->width > 65535 || picture->height > 65535) return kJpegEncoderFailed;

    EncodeJob* job = new (std::nothrow) EncodeJob();
    if (job == nullptr) return kJpegNoBuffer;
    job->picture = picture;
    job->quality = &jpegQualityRow(options.quality);
    job->width = picture->width > kJpegMinimumSide ? picture->width : kJpegMinimumSide;
    job->height = picture->height > kJpegMinimumSide ? picture->height : kJpegMinimumSide;

    // Metadata: IPTC first into its own copy, then EXIF stays in the builder.
    resetMetadataBuilder(job->metadata);
    for (int32_t i = 0; options.keywords != nullptr && i < options.keywordCount; ++i) {
        addKeyword(job->metadata, options.keywords[i]);
    }
    const std::tm date = options.dateGiven ? options.localDate : todaysLocalDate();
    bool ready = true;
    try {
        const int32_t iptcLength = buildIptcBlock(job->metadata, true, false, date);
        job->iptc.assign(job->metadata.buffer, job->metadata.buffer + iptcLength);
        job->exifLength = buildExifBlock(job->metadata, true, false);

        // A profile too large for 255 chunks cannot be carried; the picture goes without it.
        job->icc = options.iccProfile;
        job->iccSize = options.iccProfile != nullptr ? options.iccProfileSize : 0;
        job->iccChunks = static_cast<int32_t>((job->iccSize + kIccChunkBytes - 1) / kIccChunkBytes);
        if (job->iccChunks > kIccMaxChunks) {
            job->iccChunks = 0;
            job->iccSize = 0;
        }
        const size_t markerBytes = 64 + std::strlen(kMakerWebAddress) + job->iptc.size() +
                                   static_cast<size_t>(job->exifLength) + job->iccSize +
                                   static_cast<size_t>(job->iccChunks) * 18;
        const size_t pixelBytes = static_cast<size_t>(job->width) * static_cast<size_t>(job->height) *
                                  kBytesPerPaddedPixel;
        job->output.resize(pixelBytes + markerBytes + kHeaderAllowance);
        job->sourceRow.resize(static_cast<size_t>(picture->width) * 3);
        job->byteRow.resize(static_cast<size_t>(job->width) * 3);
    } catch (...) {
        ready = false;
    }
    if (!ready) {
        delete job;
        return kJpegNoBuffer;
    }

    if (!runCompressor(job)) {
        delete job;
        return kJpegEncoderFailed;
    }
    job->output.resize(job->destination.used);
    out.bytes.swap(job->output);
    out.width = job->width;
    out.height = job->height;
    delete job;
    return kJpegWritten;
}

int32_t decodeThumbnailJpeg(const uint8_t* data, size_t size, int32_t width, int32_t height,
                            int32_t channels, ThumbnailPixels& out) {
    out = ThumbnailPixels();
    if (width < 1 || height < 1 || width > 4096 || height > 4096 || (channels != 1 && channels != 4)) {
        return kThumbnailNoImage;
    }
    if (data == nullptr || size == 0) return kThumbnailNoData;

    DecodeJob* job = new (std::nothrow) DecodeJob();
    if (job == nullptr) return kThumbnailNoImage;
    bool ready = true;
    try {
        out.width = width;
        out.height = height;
        out.channels = channels;
        out.pixels.assign(static_cast<size_t>(width) * height * channels, 0);
        job->row.resize(static_cast<size_t>(kMaxThumbnailJpegSide) * 3);
    } catch (...) {
        ready = false;
    }
    if (!ready) {
        out = ThumbnailPixels();
        delete job;
        return kThumbnailNoImage;
    }
    job->out = &out;
    job->source.data = data;
    job->source.size = size;
    const int32_t result = runDecompressor(job);
    delete job;
    if (result != kThumbnailDecoded) out = ThumbnailPixels();
    return result;
}

}  // namespace lumenfall
