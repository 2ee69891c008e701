// The file and preset forms of the JPEG writer; the encoding itself is in
// jpeg_codec.cpp.
#include "export/jpeg_writer.h"
#include "params/byte_order.h"

namespace lumenfall {

int32_t encodeJpegWithHeader(const PictureSource* picture, const JpegOptions& options,
                             std::vector<uint8_t>& out) {
    EncodedJpeg encoded;
    const int32_t result = encodeJpeg(picture, options, encoded);
    // A header always follows: either the picture's or the single 0 of "no picture".
    try {
        if (result != kJpegWritten) {
            appendBigEndian32(out, 0);
            return result;
        }
        out.reserve(out.size() + 16 + encoded.bytes.size());
        appendBigEndian32(out, 1);
        appendBigEndian32(out, static_cast<uint32_t>(encoded.width));
        appendBigEndian32(out, static_cast<uint32_t>(encoded.height));
        appendBigEndian32(out, static_cast<uint32_t>(encoded.bytes.size()));
        out.insert(out.end(), encoded.bytes.begin(), encoded.bytes.end());
    } catch (...) {
        return kJpegNoBuffer;
    }
    return kJpegWritten;
}

int32_t writeJpegFile(const PictureSource* picture, const JpegOptions& options, bool withHeader,
                      std::FILE* file) {
    if (file == nullptr) return kJpegFileWriteFailed;
    std::vector<uint8_t> bytes;
    int32_t result;
    if (withHeader) {
        result = encodeJpegWithHeader(picture, options, bytes);
    } else {
        EncodedJpeg encoded;
        result = encodeJpeg(picture, options, encoded);
        bytes.swap(encoded.bytes);
    }
    if (bytes.empty()) return result;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) return kJpegFileWriteFailed;
    return result;
}

}  // namespace lumenfall
