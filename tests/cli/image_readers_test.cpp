// The readers at every layout a file may store: TIFF strips and tiles, one
// plane or separate planes, 8 and 16 bits, grey and RGB, both kinds of
// alpha, palettes and CMYK; PNG at 1, 2 and 4 bits and with palettes. Each
// file is written here with the library itself and must read back with the
// values it holds.
#include <gtest/gtest.h>

#include <png.h>
#include <stdio.h>
#include <jpeglib.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "image.h"

using namespace lumenfall;
namespace fs = std::filesystem;

namespace {

std::string scratch(const std::string& name) {
    return (fs::temp_directory_path() / ("lumenfall-readers-" + std::to_string(getpid()) + "-" + name)).string();
}

struct TiffShape {
    uint32_t width = 37, height = 21;  // not a multiple of the tile size
    uint16_t bits = 8;
    uint16_t colours = 3;              // 1 grey, 3 RGB, 4 CMYK
    bool alpha = false;
    uint16_t alphaKind = EXTRASAMPLE_UNASSALPHA;
    bool tiled = false;
    bool planar = false;
    uint16_t photometric = 0;          // 0: from colours
};

// The value of sample c of pixel (x, y) in the test pictures.
uint32_t sampleValue(const TiffShape& s, uint32_t x, uint32_t y, int c) {
    const uint32_t v = (x * 7919u + y * 104729u + uint32_t(c) * 15485863u) * 2654435761u;
    return s.bits == 16 ? (v >> 16) : (v >> 24);
}

// The alpha of a pixel, kept high enough for the division to be exact at
// the file's depth when the colour is multiplied by it.
uint32_t alphaValue(const TiffShape& s, uint32_t x, uint32_t y) {
    const uint32_t max = s.bits == 16 ? 65535 : 255;
    return (x + y) % 5 == 0 ? 0 : max - (sampleValue(s, x, y, 9) % (max / 3));
}

std::string writeTiffFile(const std::string& name, const TiffShape& s) {
    const std::string path = scratch(name);
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    const uint16_t samples = uint16_t(s.colours + (s.alpha ? 1 : 0));
    const uint16_t photometric = s.photometric ? s.photometric
                                 : s.colours == 1 ? PHOTOMETRIC_MINISBLACK
                                 : s.colours == 3 ? PHOTOMETRIC_RGB
                                                  : PHOTOMETRIC_SEPARATED;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, s.width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, s.height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, s.bits);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, s.planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    if (s.alpha) TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, uint16_t(1), &s.alphaKind);
    const uint32_t max = s.bits == 16 ? 65535 : 255;
    auto value = [&](uint32_t x, uint32_t y, int c) -> uint32_t {
        if (c == s.colours) return alphaValue(s, x, y);
        const uint32_t v = sampleValue(s, x, y, c);
        if (s.alpha && s.alphaKind == EXTRASAMPLE_ASSOCALPHA) return v * alphaValue(s, x, y) / max;
        return v;
    };
    const int bytes = s.bits / 8;
    auto put = [&](uint8_t* at, uint32_t v) {
        if (bytes == 2) {
            const uint16_t w = uint16_t(v);
            std::memcpy(at, &w, 2);
        } else {
            *at = uint8_t(v);
        }
    };
    const int planes = s.planar ? samples : 1;
    const int perChunk = s.planar ? 1 : samples;
    if (s.tiled) {
        const uint32_t tw = 16, th = 16;
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, tw);
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, th);
        std::vector<uint8_t> tile(size_t(tw) * th * perChunk * bytes);
        for (int p = 0; p < planes; ++p)
            for (uint32_t ty = 0; ty < s.height; ty += th)
                for (uint32_t tx = 0; tx < s.width; tx += tw) {
                    std::fill(tile.begin(), tile.end(), 0);
                    for (uint32_t y = 0; y < th && ty + y < s.height; ++y)
                        for (uint32_t x = 0; x < tw && tx + x < s.width; ++x)
                            for (int c = 0; c < perChunk; ++c)
                                put(&tile[((y * tw + x) * perChunk + c) * bytes], value(tx + x, ty + y, s.planar ? p : c));
                    TIFFWriteTile(tiff, tile.data(), tx, ty, 0, uint16_t(p));
                }
    } else {
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(4));
        std::vector<uint8_t> row(size_t(s.width) * perChunk * bytes);
        for (int p = 0; p < planes; ++p)
            for (uint32_t y = 0; y < s.height; ++y) {
                for (uint32_t x = 0; x < s.width; ++x)
                    for (int c = 0; c < perChunk; ++c) put(&row[(x * perChunk + c) * bytes], value(x, y, s.planar ? p : c));
                TIFFWriteScanline(tiff, row.data(), y, uint16_t(p));
            }
    }
    TIFFClose(tiff);
    return path;
}

// Reads a file written with `s` and checks every sample against what was stored.
void expectExact(const std::string& name, const TiffShape& s) {
    const std::string path = writeTiffFile(name, s);
    Image image;
    std::string error;
    ASSERT_TRUE(readImageFile(path, &image, &error)) << name << ": " << error;
    fs::remove(path);
    EXPECT_EQ(image.depth, s.bits) << name;
    EXPECT_EQ(image.colourChannels, s.colours == 1 ? 1 : 3) << name;
    EXPECT_EQ(image.hasAlpha, s.alpha) << name;
    ASSERT_EQ(image.width, int32_t(s.width));
    const uint32_t max = s.bits == 16 ? 65535 : 255;
    int wrong = 0;
    for (uint32_t y = 0; y < s.height; ++y)
        for (uint32_t x = 0; x < s.width; ++x) {
            const uint32_t a = s.alpha ? alphaValue(s, x, y) : max;
            for (int c = 0; c < image.colourChannels; ++c) {
                uint32_t want = sampleValue(s, x, y, c);
                if (s.colours == 4) want = (max - want) * (max - sampleValue(s, x, y, 3)) / max;
                const uint32_t got = image.samples[image.index(int32_t(x), int32_t(y), c)];
                // Colour under no alpha is gone for good once multiplied by it.
                if (s.alphaKind == EXTRASAMPLE_ASSOCALPHA && s.alpha) {
                    if (a == 0) want = 0;
                    else if (got + 1 < want || got > want + 1) ++wrong;
                    continue;
                }
                if (got != want) ++wrong;
            }
            if (s.alpha && image.samples[image.index(int32_t(x), int32_t(y), image.colourChannels)] != a) ++wrong;
        }
    EXPECT_EQ(wrong, 0) << name;
}

}  // namespace

TEST(ImageReaders, TiffEveryLayoutReadsAtItsOwnDepth) {
    for (bool tiled : {false, true})
        for (bool planar : {false, true})
            for (uint16_t bits : {uint16_t(8), uint16_t(16)})
                for (uint16_t colours : {uint16_t(1), uint16_t(3)})
                    for (bool alpha : {false, true}) {
                        TiffShape s;
                        s.tiled = tiled;
                        s.planar = planar;
                        s.bits = bits;
                        s.colours = colours;
                        s.alpha = alpha;
                        const std::string name = std::string(tiled ? "tiled" : "strips") + (planar ? "-planar" : "") +
                                                 "-" + std::to_string(bits) + "-" + std::to_string(colours) +
                                                 (alpha ? "-alpha" : "") + ".tif";
                        expectExact(name, s);
                    }
}

TEST(ImageReaders, TiffAssociatedAlphaIsDividedOutAndCmykBecomesRgb) {
    for (bool tiled : {false, true})
        for (uint16_t bits : {uint16_t(8), uint16_t(16)}) {
            TiffShape s;
            s.tiled = tiled;
            s.bits = bits;
            s.alpha = true;
            s.alphaKind = EXTRASAMPLE_ASSOCALPHA;
            expectExact("assoc-" + std::to_string(bits) + (tiled ? "-tiled" : "") + ".tif", s);
        }
    // The colour of (252, 0, 151) under alpha 170 stays that colour.
    TiffShape unassociated;
    unassociated.tiled = true;
    unassociated.planar = true;
    unassociated.alpha = true;
    expectExact("unassoc-tiled-planar.tif", unassociated);
    for (bool planar : {false, true}) {
        TiffShape cmyk;
        cmyk.colours = 4;
        cmyk.planar = planar;
        expectExact(std::string("cmyk") + (planar ? "-planar" : "") + ".tif", cmyk);
    }
}

namespace {

// A palette TIFF of 6 x 2 indexes of `bits` bits; `mapEntries` cuts the
// colour map short.
std::string writePaletteTiff(const std::string& name, uint16_t bits, uint32_t mapEntries) {
    const std::string path = scratch(name);
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(6));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(2));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
    const int entries = 1 << bits;
    std::vector<uint16_t> r(static_cast<size_t>(entries)), g(r), b(r);
    for (int i = 0; i < entries; ++i) {
        r[size_t(i)] = uint16_t(i * 4096 + 0x0100);
        g[size_t(i)] = uint16_t(65535 - i * 4096);
        b[size_t(i)] = uint16_t(i * 257 * 9);
    }
    TIFFSetField(tiff, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
    uint8_t rows[2][6] = {{0x01, 0x23, 0x45, 0, 0, 0}, {0xFE, 0xDC, 0xBA, 0, 0, 0}};
    if (bits == 8)
        for (int y = 0; y < 2; ++y)
            for (int x = 5; x >= 0; --x) rows[y][x] = uint8_t((rows[y][x / 2] >> (x % 2 ? 0 : 4)) & 15);
    TIFFWriteScanline(tiff, rows[0], 0, 0);
    TIFFWriteScanline(tiff, rows[1], 1, 0);
    TIFFClose(tiff);
    if (mapEntries < uint32_t(entries)) {
        // Shrink the map's count in its directory entry (tag 320, type SHORT).
        FILE* f = std::fopen(path.c_str(), "r+b");
        std::vector<uint8_t> bytes;
        for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(uint8_t(c));
        for (size_t i = 0; i + 8 <= bytes.size(); i += 2)
            if (bytes[i] == 0x40 && bytes[i + 1] == 0x01 && bytes[i + 2] == 3 && bytes[i + 3] == 0 &&
                bytes[i + 4] + 256 * bytes[i + 5] == entries * 3) {
                std::fseek(f, long(i + 4), SEEK_SET);
                const uint32_t count = mapEntries * 3;
                std::fwrite(&count, 4, 1, f);
                break;
            }
        std::fclose(f);
    }
    return path;
}

}  // namespace

TEST(ImageReaders, TiffPalettesExpandAndALostColourMapIsDamage) {
    std::string error;
    for (uint16_t bits : {uint16_t(4), uint16_t(8)}) {
        const std::string path = writePaletteTiff("palette.tif", bits, 1u << bits);
        Image image;
        ASSERT_TRUE(readImageFile(path, &image, &error)) << error;
        fs::remove(path);
        ASSERT_EQ(image.colourChannels, 3);
        EXPECT_FALSE(image.hasAlpha);
        EXPECT_EQ(image.depth, 8);
        // Pixel 3 of row 1 is index 0xC.
        EXPECT_EQ(image.samples[image.index(3, 1, 0)], (0xC * 4096 + 0x100) >> 8);
        EXPECT_EQ(image.samples[image.index(3, 1, 1)], (65535 - 0xC * 4096) >> 8);
        EXPECT_EQ(image.samples[image.index(0, 0, 2)], 0);
    }

    // An 8-bit palette whose map libtiff cannot read looks like grey to it.
    const std::string cut = writePaletteTiff("palette-cut.tif", 8, 5);
    Image damaged;
    EXPECT_FALSE(readImageFile(cut, &damaged, &error));
    EXPECT_NE(error.find("colour map"), std::string::npos) << error;
    std::string warning;
    ReadOptions allow;
    allow.allowDamaged = true;
    allow.warning = &warning;
    Image kept;
    EXPECT_TRUE(readImageFile(cut, &kept, allow, &error)) << error;
    EXPECT_NE(warning.find("colour map"), std::string::npos) << warning;
    fs::remove(cut);
}

namespace {

// A PNG at a low bit depth: grey or palette, `width` x `height` pixels.
std::string writeLowDepthPng(const std::string& name, int bits, bool palette, uint32_t width, uint32_t height,
                             std::vector<std::vector<uint8_t>>* values) {
    const std::string path = scratch(name);
    FILE* f = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, width, height, bits, palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color colours[16];
    for (int i = 0; i < 16; ++i) colours[i] = {uint8_t(i * 16 + 1), uint8_t(200 - i * 3), uint8_t(i * 11)};
    if (palette) png_set_PLTE(png, info, colours, 1 << bits);
    png_write_info(png, info);
    values->assign(height, std::vector<uint8_t>(width));
    std::vector<uint8_t> row((width * bits + 7) / 8);
    for (uint32_t y = 0; y < height; ++y) {
        std::fill(row.begin(), row.end(), 0);
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t v = uint8_t((x * 5 + y * 3) % (1u << bits));
            (*values)[y][x] = v;
            row[x * bits / 8] |= uint8_t(v << (8 - bits - (x * bits) % 8));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return path;
}

}  // namespace

TEST(ImageReaders, PngLowBitDepthsAndPalettesExpandToEightBits) {
    for (int bits : {1, 2, 4})
        for (bool palette : {false, true}) {
            std::vector<std::vector<uint8_t>> values;
            const std::string name = "low-" + std::to_string(bits) + (palette ? "-palette" : "-grey") + ".png";
            const std::string path = writeLowDepthPng(name, bits, palette, 29, 3, &values);
            Image image;
            std::string error;
            ASSERT_TRUE(readImageFile(path, &image, &error)) << name << ": " << error;
            fs::remove(path);
            EXPECT_EQ(image.depth, 8);
            ASSERT_EQ(image.colourChannels, palette ? 3 : 1) << name;
            int wrong = 0;
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 29; ++x) {
                    const uint8_t v = values[size_t(y)][size_t(x)];
                    const uint16_t want = palette ? uint16_t(v * 16 + 1) : uint16_t(v * 255 / ((1 << bits) - 1));
                    if (image.samples[image.index(x, y, 0)] != want) ++wrong;
                }
            EXPECT_EQ(wrong, 0) << name;
        }
    // A large 1-bit scan compresses far below what 8-bit samples would take.
    std::vector<std::vector<uint8_t>> values;
    const std::string scan = writeLowDepthPng("scan.png", 1, false, 4000, 4000, &values);
    Image image;
    std::string error;
    EXPECT_TRUE(readImageFile(scan, &image, &error)) << error;
    fs::remove(scan);
}

namespace {

// A CMYK JPEG as Adobe's programs write it (inverted: 255 is no ink), in
// flat 8 x 8 blocks so the compression keeps the values.
std::string writeCmykJpeg(const std::string& name, const uint8_t inks[4][4]) {
    const std::string path = scratch(name);
    FILE* f = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct codec;
    jpeg_error_mgr errors;
    codec.err = jpeg_std_error(&errors);
    jpeg_create_compress(&codec);
    jpeg_stdio_dest(&codec, f);
    codec.image_width = 16;
    codec.image_height = 16;
    codec.input_components = 4;
    codec.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&codec);
    jpeg_set_quality(&codec, 100, TRUE);
    for (int i = 0; i < codec.num_components; ++i) codec.comp_info[i].h_samp_factor = codec.comp_info[i].v_samp_factor = 1;
    jpeg_start_compress(&codec, TRUE);
    uint8_t row[16 * 4];
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x)
            for (int c = 0; c < 4; ++c) row[x * 4 + c] = uint8_t(255 - inks[(y / 8) * 2 + x / 8][c]);
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&codec, rows, 1);
    }
    jpeg_finish_compress(&codec);
    jpeg_destroy_compress(&codec);
    std::fclose(f);
    return path;
}

}  // namespace

TEST(ImageReaders, CmykJpegBecomesRgbAsCmykTiffDoes) {
    const uint8_t inks[4][4] = {{0, 0, 0, 0}, {255, 0, 0, 0}, {40, 200, 90, 30}, {0, 0, 0, 255}};
    const std::string path = writeCmykJpeg("cmyk.jpg", inks);
    Image image;
    std::string error;
    ASSERT_TRUE(readImageFile(path, &image, &error)) << error;
    fs::remove(path);
    ASSERT_EQ(image.colourChannels, 3);
    for (int block = 0; block < 4; ++block)
        for (int c = 0; c < 3; ++c) {
            const int want = int(cmykToRgb(inks[block][c], inks[block][3], 255));
            const int got = image.samples[image.index((block % 2) * 8 + 3, (block / 2) * 8 + 3, c)];
            EXPECT_NEAR(got, want, 3) << "block " << block << " channel " << c;
        }
}
