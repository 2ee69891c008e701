// Bottom-up 24-bit BMP with a plain BITMAPINFOHEADER, rows padded to 4
// bytes: the one writer of the artwork generator's bitmaps.
#ifndef LUMENFALL_RESOURCES_BMP_FILE_H
#define LUMENFALL_RESOURCES_BMP_FILE_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// pixel(x, y, bgr) fills the blue, green and red bytes of (x, y);
// pixelsPerMetre is written as both resolutions.
template <class Pixel>
bool writeBmp24(int width, int height, uint32_t pixelsPerMetre, const std::string& path, Pixel&& pixel) {
    const int rowBytes = (width * 3 + 3) & ~3;
    const uint32_t imageSize = uint32_t(rowBytes) * height;
    std::vector<uint8_t> out;
    auto u16 = [&](uint32_t v) { out.push_back(uint8_t(v)); out.push_back(uint8_t(v >> 8)); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
    out.push_back('B');
    out.push_back('M');
    u32(14 + 40 + imageSize);
    u32(0);
    u32(14 + 40);
    u32(40);
    u32(uint32_t(width));
    u32(uint32_t(height));
    u16(1);
    u16(24);
    u32(0);  // no compression
    u32(imageSize);
    u32(pixelsPerMetre);
    u32(pixelsPerMetre);
    u32(0);
    u32(0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            uint8_t bgr[3];
            pixel(x, y, bgr);
            out.insert(out.end(), bgr, bgr + 3);
        }
        for (int pad = width * 3; pad < rowBytes; ++pad) out.push_back(0);
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
}

#endif
