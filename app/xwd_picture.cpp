#include "xwd_picture.h"

namespace lumenfall {
namespace {

uint32_t be32(const std::vector<uint8_t>& d, size_t at) {
    return (uint32_t(d[at]) << 24) | (uint32_t(d[at + 1]) << 16) | (uint32_t(d[at + 2]) << 8) | d[at + 3];
}

int shiftOf(uint32_t mask) {
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

}  // namespace

bool cropXwd(const std::vector<uint8_t>& xwd, int left, int top, int width, int height, Image* out,
             std::string* error) {
    if (xwd.size() < 100 || width <= 0 || height <= 0) {
        *error = "not an XWD picture";
        return false;
    }
    // The header: 25 big-endian 32-bit fields, then the window name.
    const uint32_t headerSize = be32(xwd, 0), version = be32(xwd, 4), format = be32(xwd, 8);
    const uint32_t screenW = be32(xwd, 16), screenH = be32(xwd, 20), byteOrder = be32(xwd, 28);
    const uint32_t bitsPerPixel = be32(xwd, 44), bytesPerLine = be32(xwd, 48);
    const uint32_t redMask = be32(xwd, 56), greenMask = be32(xwd, 60), blueMask = be32(xwd, 64);
    const uint32_t colours = be32(xwd, 76);
    if (version != 7 || format != 2 || (bitsPerPixel != 32 && bitsPerPixel != 24) || !redMask || !greenMask ||
        !blueMask) {
        *error = "an XWD picture other than a TrueColor screen of 24 or 32 bits";
        return false;
    }
    const uint64_t pixels = uint64_t(headerSize) + uint64_t(colours) * 12;
    if (pixels + uint64_t(bytesPerLine) * screenH > xwd.size()) {
        *error = "a cut XWD picture";
        return false;
    }
    const int bytes = int(bitsPerPixel / 8);
    out->allocate(width, height, 3, false, 8);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int sx = left + x, sy = top + y;
            if (sx < 0 || sy < 0 || uint32_t(sx) >= screenW || uint32_t(sy) >= screenH) continue;
            const size_t at = size_t(pixels) + size_t(sy) * bytesPerLine + size_t(sx) * bytes;
            uint32_t v = 0;
            for (int b = 0; b < bytes; ++b)
                v |= byteOrder == 0 ? uint32_t(xwd[at + b]) << (8 * b) : uint32_t(xwd[at + b]) << (8 * (bytes - 1 - b));
            out->samples[out->index(x, y, 0)] = uint16_t((v & redMask) >> shiftOf(redMask));
            out->samples[out->index(x, y, 1)] = uint16_t((v & greenMask) >> shiftOf(greenMask));
            out->samples[out->index(x, y, 2)] = uint16_t((v & blueMask) >> shiftOf(blueMask));
        }
    }
    return true;
}

}  // namespace lumenfall
