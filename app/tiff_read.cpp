// Reading TIFF files at their own depth and layout: strips or tiles, one
// plane or separate planes, through libtiff's strip and tile decoders. The
// samples land in a buffer laid out as the file has them and are then turned
// into our image: grey and RGB keep their depth, low-depth grey and palettes
// become 8-bit, CMYK becomes RGB, associated alpha is divided out.
#include "image.h"

#if defined(LF_HAVE_TIFF)

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "memory_budget.h"
#include "signals.h"
#include "tiff_stream.h"

namespace lumenfall {
namespace {

enum class Kind { Grey, Rgb, Palette, Cmyk };

struct Layout {
    uint32_t width = 0, height = 0;
    uint16_t bits = 8, samples = 1, planar = PLANARCONFIG_CONTIG;
    Kind kind = Kind::Grey;
    bool invert = false;        // grey stored white-is-zero
    int colourSamples = 1;      // samples of colour in the file (4 for CMYK)
    bool alpha = false;         // the first extra sample is alpha
    bool associated = false;    // and the colour was multiplied by it
    bool tiled = false;
    bool separate() const { return planar == PLANARCONFIG_SEPARATE; }
    int chunkSamples() const { return separate() ? 1 : samples; }
    size_t rowBytes() const { return (size_t(width) * chunkSamples() * bits + 7) / 8; }
    size_t planeBytes() const { return rowBytes() * height; }
    size_t rawBytes() const { return planeBytes() * (separate() ? samples : 1); }
};

// Fills `layout` from the directory; false with the reason for layouts we do
// not read.
bool describe(TIFF* tiff, Layout* layout, std::string* why) {
    Layout& l = *layout;
    uint16_t photometric = PHOTOMETRIC_MINISBLACK, format = SAMPLEFORMAT_UINT, inkset = INKSET_CMYK;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &l.width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &l.height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &l.bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &l.samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &l.planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_INKSET, &inkset);
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    l.tiled = TIFFIsTiled(tiff) != 0;
    if (format != SAMPLEFORMAT_UINT) {
        *why = "samples that are not unsigned integers";
        return false;
    }
    if (photometric == PHOTOMETRIC_YCBCR) {
        uint16_t compression = COMPRESSION_NONE;
        TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
        if (compression != COMPRESSION_JPEG) {
            *why = "YCbCr samples outside JPEG compression";
            return false;
        }
        // The JPEG decoder hands out RGB rows then.
        TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        photometric = PHOTOMETRIC_RGB;
    }
    switch (photometric) {
        case PHOTOMETRIC_MINISBLACK:
        case PHOTOMETRIC_MINISWHITE:
            l.kind = Kind::Grey;
            l.invert = photometric == PHOTOMETRIC_MINISWHITE;
            l.colourSamples = 1;
            break;
        case PHOTOMETRIC_RGB: l.kind = Kind::Rgb; l.colourSamples = 3; break;
        case PHOTOMETRIC_PALETTE: l.kind = Kind::Palette; l.colourSamples = 1; break;
        case PHOTOMETRIC_SEPARATED:
            if (inkset != INKSET_CMYK) {
                *why = "separated inks other than CMYK";
                return false;
            }
            l.kind = Kind::Cmyk;
            l.colourSamples = 4;
            break;
        default: *why = "photometric interpretation " + std::to_string(photometric); return false;
    }
    if (l.samples < l.colourSamples) {
        *why = std::to_string(l.samples) + " samples per pixel";
        return false;
    }
    const bool lowDepth = l.bits == 1 || l.bits == 2 || l.bits == 4;
    const bool depthOk = l.bits == 8 || (l.bits == 16 && l.kind != Kind::Palette) ||
                         (lowDepth && (l.kind == Kind::Grey || l.kind == Kind::Palette));
    if (!depthOk) {
        *why = std::to_string(l.bits) + "-bit samples";
        return false;
    }
    if (l.samples > l.colourSamples && l.kind != Kind::Palette) {
        uint16_t extraCount = 0;
        uint16_t* extra = nullptr;
        TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
        const uint16_t first = extraCount > 0 && extra ? extra[0] : EXTRASAMPLE_UNSPECIFIED;
        // An extra sample of no stated kind is taken as plain alpha, as
        // image editors do.
        l.alpha = true;
        l.associated = first == EXTRASAMPLE_ASSOCALPHA;
    }
    return true;
}

// Reads every strip or tile into `raw`; false on the first damaged one
// unless damage is allowed (then its pixels stay zero and *damaged is set).
bool readChunks(TIFF* tiff, const Layout& l, uint8_t* raw, bool allowDamaged, bool* damaged, std::string* stop) {
    const uint64_t chunkSize = l.tiled ? uint64_t(TIFFTileSize64(tiff)) : uint64_t(TIFFStripSize64(tiff));
    uint32_t chunkWidth = l.width, chunkHeight = 0;
    if (l.tiled) {
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &chunkWidth);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &chunkHeight);
    } else {
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &chunkHeight);
        chunkHeight = std::min(chunkHeight, l.height);
    }
    if (chunkSize == 0 || chunkWidth == 0 || chunkHeight == 0 || (l.tiled && chunkWidth % 16 != 0)) {
        *stop = "a strip or tile layout that does not add up";
        return false;
    }
    std::vector<uint8_t> chunk;
    try {
        chunk.resize(size_t(chunkSize));
    } catch (const std::bad_alloc&) {
        *stop = "out of memory";
        return false;
    }
    const size_t chunkRowBytes = (size_t(chunkWidth) * l.chunkSamples() * l.bits + 7) / 8;
    const uint32_t across = (l.width + chunkWidth - 1) / chunkWidth;
    const uint32_t down = (l.height + chunkHeight - 1) / chunkHeight;
    const uint32_t perPlane = across * down;
    const uint32_t planes = l.separate() ? l.samples : 1;
    const uint32_t count = l.tiled ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    bool any = false;
    for (uint32_t i = 0; i < count && i < perPlane * planes; ++i) {
        if (cancelRequested()) {
            *stop = "cancelled";
            return false;
        }
        const tmsize_t got = l.tiled ? TIFFReadEncodedTile(tiff, i, chunk.data(), tmsize_t(chunkSize))
                                     : TIFFReadEncodedStrip(tiff, i, chunk.data(), tmsize_t(chunkSize));
        if (got < 0) {
            *damaged = true;
            if (!allowDamaged) return false;
            continue;
        }
        any = true;
        const uint32_t plane = i / perPlane, place = i % perPlane;
        const uint32_t x0 = (place % across) * chunkWidth, y0 = (place / across) * chunkHeight;
        const size_t offset = (size_t(x0) * l.chunkSamples() * l.bits) / 8;
        const size_t bytes = std::min(chunkRowBytes, l.rowBytes() - offset);
        const uint32_t rows = std::min({chunkHeight, l.height - y0, uint32_t(size_t(got) / chunkRowBytes)});
        uint8_t* planeStart = raw + plane * l.planeBytes();
        for (uint32_t r = 0; r < rows; ++r)
            std::memcpy(planeStart + (y0 + r) * l.rowBytes() + offset, chunk.data() + r * chunkRowBytes, bytes);
    }
    if (!any) {
        *damaged = true;  // nothing at all to keep
        return false;
    }
    return true;
}

// One sample of the raw buffer, at the file's depth.
uint32_t rawSample(const Layout& l, const uint8_t* raw, uint32_t x, uint32_t y, int s) {
    const uint8_t* row = raw + (l.separate() ? size_t(s) * l.planeBytes() : 0) + size_t(y) * l.rowBytes();
    const size_t index = l.separate() ? x : size_t(x) * l.samples + size_t(s);
    if (l.bits == 8) return row[index];
    if (l.bits == 16) {
        uint16_t v;
        std::memcpy(&v, row + 2 * index, 2);
        return v;
    }
    const size_t bit = index * l.bits;
    return (row[bit / 8] >> (8 - l.bits - bit % 8)) & ((1u << l.bits) - 1);
}

// Palette entries as 8-bit values. Maps written by 8-bit programs hold
// 0..255 in 16-bit fields; libtiff tells them apart the same way.
bool paletteColours(TIFF* tiff, const Layout& l, std::vector<uint8_t>* colours) {
    uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (!TIFFGetField(tiff, TIFFTAG_COLORMAP, &r, &g, &b) || !r || !g || !b) return false;
    const size_t entries = size_t(1) << l.bits;
    bool wide = false;
    for (size_t i = 0; i < entries; ++i) wide = wide || r[i] > 255 || g[i] > 255 || b[i] > 255;
    colours->resize(entries * 3);
    for (size_t i = 0; i < entries; ++i) {
        (*colours)[3 * i] = uint8_t(wide ? r[i] >> 8 : r[i]);
        (*colours)[3 * i + 1] = uint8_t(wide ? g[i] >> 8 : g[i]);
        (*colours)[3 * i + 2] = uint8_t(wide ? b[i] >> 8 : b[i]);
    }
    return true;
}

// Turns the raw samples into the image, pixel by pixel.
void convertRaw(const Layout& l, const uint8_t* raw, const std::vector<uint8_t>& palette, Image* image) {
    const uint32_t fileMax = (1u << l.bits) - 1;
    const uint32_t max = image->maxValue();
    const int channels = image->channels();
    for (uint32_t y = 0; y < l.height; ++y) {
        for (uint32_t x = 0; x < l.width; ++x) {
            uint32_t out[4] = {0, 0, 0, 0};
            const uint32_t alpha = l.alpha ? rawSample(l, raw, x, y, l.colourSamples) : max;
            switch (l.kind) {
                case Kind::Grey: {
                    uint32_t v = rawSample(l, raw, x, y, 0);
                    if (l.invert) v = fileMax - v;
                    out[0] = l.bits < 8 ? v * 255 / fileMax : v;
                    break;
                }
                case Kind::Rgb:
                    for (int c = 0; c < 3; ++c) out[c] = rawSample(l, raw, x, y, c);
                    break;
                case Kind::Palette: {
                    const uint32_t v = rawSample(l, raw, x, y, 0);
                    for (int c = 0; c < 3; ++c) out[c] = palette[3 * v + size_t(c)];
                    break;
                }
                case Kind::Cmyk: {
                    const uint32_t k = rawSample(l, raw, x, y, 3);
                    for (int c = 0; c < 3; ++c) out[c] = cmykToRgb(rawSample(l, raw, x, y, c), k, max);
                    break;
                }
            }
            const int colours = image->colourChannels;
            if (l.associated) {
                for (int c = 0; c < colours; ++c)
                    out[c] = alpha == 0 ? 0 : std::min(max, (out[c] * max + alpha / 2) / alpha);
            }
            if (l.alpha) out[colours] = alpha;
            const size_t base = image->index(int32_t(x), int32_t(y), 0);
            for (int c = 0; c < channels; ++c) image->samples[base + size_t(c)] = uint16_t(out[c]);
        }
    }
}

void readMetadata(TIFF* tiff, ImageMetadata* meta) {
    uint32_t iccLength = 0;
    void* icc = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &iccLength, &icc) && icc && iccLength > 0)
        meta->icc.assign(static_cast<uint8_t*>(icc), static_cast<uint8_t*>(icc) + iccLength);
    float xRes = 0, yRes = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xRes) && TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &yRes)) {
        meta->xResolution = tiffInches(xRes, unit);
        meta->yResolution = tiffInches(yRes, unit);
    }
    uint16_t orientation = ORIENTATION_TOPLEFT;
    if (TIFFGetField(tiff, TIFFTAG_ORIENTATION, &orientation) && orientation >= 1 && orientation <= 8)
        meta->orientation = orientation;
}

// A colour map libtiff could not read leaves a palette file looking like
// grey; its warnings name the map.
bool colourMapLost(const TiffStream& stream) {
    for (const std::string& w : stream.warnings)
        if (w.find("olormap") != std::string::npos || w.find("olorMap") != std::string::npos) return true;
    return false;
}

}  // namespace

bool readTiff(std::FILE* file, const std::string& name, Image* image, const ReadOptions& options, std::string* error) {
    TiffStream stream{file, {}, {}};
    TIFF* tiff = openTiff(&stream, name, "rm");
    if (!tiff) {
        *error = name + ": not a readable TIFF file (" + stream.message + ")";
        return false;
    }
    struct Closer {
        TIFF* t;
        ~Closer() { TIFFClose(t); }
    } closer{tiff};
    const std::string damagedHint = "; --allow-damaged keeps what decodes";
    const bool mapLost = colourMapLost(stream);
    if (mapLost && !options.allowDamaged) {
        *error = name + ": damaged TIFF file (its colour map cannot be read)" + damagedHint;
        return false;
    }
    Layout l;
    std::string why;
    if (!describe(tiff, &l, &why)) {
        *error = name + ": a TIFF layout this program cannot read (" + why + ")";
        return false;
    }
    if (l.width == 0 || l.height == 0 || l.width > 32767 || l.height > 32767) {
        *error = name + ": the image must be 1 to 32767 pixels on each side";
        return false;
    }
    const int32_t colours = l.kind == Kind::Grey ? 1 : 3;
    const int32_t depth = l.bits == 16 ? 16 : 8;
    // Plain grey or RGB with unassociated alpha is decoded straight into the
    // image; everything else goes through a buffer in the file's layout.
    const bool straight = !l.separate() && (l.bits == 8 || l.bits == 16) && !l.invert && !l.associated &&
                          (l.kind == Kind::Grey || l.kind == Kind::Rgb) &&
                          l.samples == colours + (l.alpha ? 1 : 0);
    if (!fitsMemoryBudget(readNeed(options, l.width, l.height, colours + (l.alpha ? 1 : 0), depth) +
                              (straight ? 0 : l.rawBytes()),
                          "a " + std::to_string(l.width) + " x " + std::to_string(l.height) + " " +
                              std::to_string(depth) + "-bit image",
                          error))
        return false;
    std::vector<uint8_t> palette;
    if (l.kind == Kind::Palette && !paletteColours(tiff, l, &palette)) {
        *error = name + ": damaged TIFF file (its colour map cannot be read)";
        return false;
    }
    std::vector<uint8_t> raw;
    try {
        image->allocate(int32_t(l.width), int32_t(l.height), colours, l.alpha, depth);
        if (!straight) raw.resize(l.rawBytes());
    } catch (const std::bad_alloc&) {
        *error = "out of memory";
        return false;
    }
    readMetadata(tiff, &image->metadata);
    if (l.kind == Kind::Cmyk) image->metadata.icc.clear();  // a CMYK profile does not describe RGB
    bool damaged = false;
    std::string stop;
    const bool ok = readChunks(tiff, l, straight ? image->samples.bytes() : raw.data(), options.allowDamaged,
                               &damaged, &stop);
    if (!stop.empty()) {
        *error = stop == "cancelled" || stop == "out of memory" ? stop : name + ": " + stop;
        return false;
    }
    if (!ok) {
        *error = name + ": damaged or cut short TIFF file (" + stream.message + ")" + damagedHint;
        return false;
    }
    if (!straight) convertRaw(l, raw.data(), palette, image);
    if ((damaged || mapLost) && options.warning)
        *options.warning = name + ": damaged TIFF file (" +
                           (mapLost ? std::string("its colour map cannot be read") : stream.message) +
                           "); kept what decodes";
    return true;
}

}  // namespace lumenfall

#endif
