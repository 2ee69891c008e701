// Writing pictures as JPEG: fixed quantisation tables chosen by quality,
// the program's metadata markers (comment, EXIF, ICC profile, IPTC), and the
// optional four-value header that precedes a thumbnail inside preset files.
#ifndef LUMENFALL_EXPORT_JPEG_WRITER_H
#define LUMENFALL_EXPORT_JPEG_WRITER_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <vector>

#include "export/picture_source.h"

namespace lumenfall {

enum JpegWriteResult : int32_t {
    kJpegWritten = 0,
    kJpegNoImage = 1,          // no picture (no source or no row reader)
    kJpegNoPixels = 2,         // the picture has no pixels (a side below 1)
    kJpegNoStorage = 3,        // the picture has no storage (an image without tiles)
    kJpegNoBuffer = 4,         // the output buffer could not be allocated
    kJpegEncoderFailed = 5,    // the codec library reported an error
    kJpegFileWriteFailed = 6,  // the file refused the bytes
};

// Every picture this program writes uses quality 80.
constexpr int32_t kPictureQuality = 80;

// The encoder pads pictures to at least this many pixels on each side.
constexpr int32_t kJpegMinimumSide = 16;

struct JpegOptions {
    int32_t quality = kPictureQuality;   // clamped to 0..99
    const uint8_t* iccProfile = nullptr; // the host's profile, or null
    size_t iccProfileSize = 0;
    std::tm localDate{};                 // date of the IPTC "date created" dataset
    bool dateGiven = false;              // false: today's local date
    const char* const* keywords = nullptr;  // extra IPTC keywords, or null
    int32_t keywordCount = 0;
};

struct EncodedJpeg {
    std::vector<uint8_t> bytes;   // the complete JPEG file
    int32_t width = 0;            // encoded size: max(16, picture size)
    int32_t height = 0;
};

// Encodes the picture into memory. Results: kJpegWritten, 1, 2, 3, 4, 5.
int32_t encodeJpeg(const PictureSource* picture, const JpegOptions& options, EncodedJpeg& out);

// Appends the preset-file form: big-endian 32-bit 1, width, height, byte
// count, then the bytes; on any failure the single 32-bit value 0 instead.
// Returns the encoder's result.
int32_t encodeJpegWithHeader(const PictureSource* picture, const JpegOptions& options,
                             std::vector<uint8_t>& out);

// Encodes and writes to an open file in one piece, with or without the
// header. On failure nothing is written, except that with the header a
// single 32-bit 0 stands for the missing picture.
int32_t writeJpegFile(const PictureSource* picture, const JpegOptions& options, bool withHeader,
                      std::FILE* file);

// Sampling factors and quantisation tables of the quality rows (10 rows).
struct JpegQualityRow {
    int32_t lumaSampling;          // horizontal = vertical factor of the first component
    uint16_t luminance[64];        // natural (row-major) order
    uint16_t chrominance[64];
};
const JpegQualityRow& jpegQualityRow(int32_t quality);

}  // namespace lumenfall

#endif
