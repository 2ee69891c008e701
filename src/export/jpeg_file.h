// Whole JPEG files read and written row by row, for the command line's host:
// every codec call runs under the same returning error handler as the
// writer's and the thumbnails', with the codec's own memory limit set.
#ifndef LUMENFALL_EXPORT_JPEG_FILE_H
#define LUMENFALL_EXPORT_JPEG_FILE_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace lumenfall {

struct JpegFileHeader {
    int32_t width = 0;
    int32_t height = 0;
    int32_t components = 0;      // 1 grey or 3 RGB, as the rows arrive
    bool arithmetic = false;     // arithmetic coding (Huffman otherwise)
    double xResolution = 0;      // pixels per inch; 0 when the file does not say
    double yResolution = 0;
    std::vector<uint8_t> icc;    // the colour profile, its chunks joined
    std::vector<uint8_t> exif;   // the EXIF block after "Exif\0\0"
};

struct JpegFileReader {
    void* context = nullptr;
    // Called once the header is read; false stops the read (the callback
    // keeps its own reason, such as the memory budget).
    bool (*begin)(void* context, const JpegFileHeader& header) = nullptr;
    // One decoded row of width * components bytes; false stops (a cancel).
    bool (*row)(void* context, int32_t y, const uint8_t* samples) = nullptr;
};

enum JpegFileResult : int32_t {
    kJpegFileRead = 0,
    kJpegFileDamaged = 1,   // damaged or cut short; with acceptDamaged the rows read are kept
    kJpegFileStopped = 2,   // a callback stopped it
    kJpegFileFailed = 3,    // not a JPEG the codec reads, or out of its memory limit
};

// Reads a JPEG file as 8-bit grey or RGB rows (CMYK files are refused).
// Any damage the codec notices (a cut file, corrupt data) is
// kJpegFileDamaged with the codec's message; with acceptDamaged the read
// goes on where the codec can and returns kJpegFileDamaged at the end.
// `memoryLimit` bounds the codec's own buffers (0: no limit).
int32_t readJpegFile(std::FILE* file, uint64_t memoryLimit, bool acceptDamaged, const JpegFileReader& reader,
                     std::string* message);

struct JpegFileWriter {
    int32_t width = 0;
    int32_t height = 0;
    int32_t components = 3;      // 1 grey or 3 RGB
    int32_t quality = 92;        // 1..100
    int32_t subsampling = 420;   // 444, 422 or 420 (colour only)
    double xResolution = 0;      // pixels per inch; 0 writes none
    double yResolution = 0;
    const std::vector<uint8_t>* icc = nullptr;
    const std::vector<uint8_t>* exif = nullptr;  // without the "Exif\0\0" prefix
    void* context = nullptr;
    // Fills row y (width * components bytes); false stops (a cancel).
    bool (*row)(void* context, int32_t y, uint8_t* samples) = nullptr;
};

// kJpegFileRead when every row was written, kJpegFileStopped or kJpegFileFailed.
int32_t writeJpegFile(std::FILE* file, const JpegFileWriter& writer, std::string* message);

}  // namespace lumenfall

#endif
