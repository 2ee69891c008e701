// TIFF files for the command line, through libtiff on an open stream: 8- and
// 16-bit grey or RGB, with or without alpha, read and written as they are;
// other layouts (tiles, separate planes, palettes, other depths) are read
// through libtiff's RGBA path as 8-bit RGBA. Builds without libtiff refuse
// TIFF files with a message.
#include "image.h"

#if defined(LF_HAVE_TIFF)

#include <tiffio.h>

#include <cstdarg>
#include <cstring>
#include <new>
#include <vector>

#include <sys/types.h>

#include "memory_budget.h"
#include "signals.h"

namespace lumenfall {
namespace {

struct Stream {
    std::FILE* file;
    std::string message;   // libtiff's first error
};

tmsize_t readProc(thandle_t h, void* data, tmsize_t size) {
    return tmsize_t(std::fread(data, 1, size_t(size), static_cast<Stream*>(h)->file));
}
tmsize_t writeProc(thandle_t h, void* data, tmsize_t size) {
    return tmsize_t(std::fwrite(data, 1, size_t(size), static_cast<Stream*>(h)->file));
}
toff_t seekProc(thandle_t h, toff_t offset, int whence) {
    std::FILE* f = static_cast<Stream*>(h)->file;
    if (fseeko(f, off_t(offset), whence) != 0) return toff_t(-1);
    return toff_t(ftello(f));
}
int closeProc(thandle_t) { return 0; }
toff_t sizeProc(thandle_t h) {
    std::FILE* f = static_cast<Stream*>(h)->file;
    const off_t here = ftello(f);
    fseeko(f, 0, SEEK_END);
    const off_t size = ftello(f);
    fseeko(f, here, SEEK_SET);
    return toff_t(size);
}
int mapProc(thandle_t, void**, toff_t*) { return 0; }
void unmapProc(thandle_t, void*, toff_t) {}

int onError(TIFF*, void* user, const char*, const char* format, va_list args) {
    auto* s = static_cast<Stream*>(user);
    if (s->message.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        s->message = text;
    }
    return 1;
}
int onWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

TIFF* openTiff(Stream* stream, const std::string& name, const char* mode) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return nullptr;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(256) << 20);
    TIFFOpenOptionsSetErrorHandlerExtR(options, onError, stream);
    TIFFOpenOptionsSetWarningHandlerExtR(options, onWarning, stream);
    TIFF* tiff = TIFFClientOpenExt(name.c_str(), mode, stream, readProc, writeProc, seekProc, closeProc, sizeProc,
                                   mapProc, unmapProc, options);
    TIFFOpenOptionsFree(options);
    return tiff;
}

double inches(float value, uint16_t unit) {
    if (!(value > 0)) return 0;
    return unit == RESUNIT_CENTIMETER ? value * 2.54 : unit == RESUNIT_INCH ? value : 0;
}

}  // namespace

bool tiffAvailable() { return true; }

bool readTiff(std::FILE* file, const std::string& name, Image* image, const ReadOptions& options, std::string* error) {
    Stream stream{file, {}};
    TIFF* tiff = openTiff(&stream, name, "rm");
    if (!tiff) {
        *error = name + ": not a readable TIFF file (" + stream.message + ")";
        return false;
    }
    struct Closer {
        TIFF* t;
        ~Closer() { TIFFClose(t); }
    } closer{tiff};
    uint32_t width = 0, height = 0;
    uint16_t bits = 8, samples = 1, photometric = PHOTOMETRIC_MINISBLACK, planar = PLANARCONFIG_CONTIG;
    uint16_t format = SAMPLEFORMAT_UINT;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    if (width == 0 || height == 0 || width > 32767 || height > 32767) {
        *error = name + ": the image must be 1 to 32767 pixels on each side";
        return false;
    }
    const bool grey = photometric == PHOTOMETRIC_MINISBLACK && (samples == 1 || samples == 2);
    const bool rgb = photometric == PHOTOMETRIC_RGB && (samples == 3 || samples == 4);
    const bool direct = (grey || rgb) && (bits == 8 || bits == 16) && planar == PLANARCONFIG_CONTIG &&
                        format == SAMPLEFORMAT_UINT && !TIFFIsTiled(tiff);
    const int32_t colours = direct && grey ? 1 : 3;
    const bool alpha = direct ? samples == 2 || samples == 4 : true;
    const int32_t depth = direct ? bits : 8;
    if (!fitsMemoryBudget(renderBytes(width, height, colours + (alpha ? 1 : 0), depth) +
                              (direct ? 0 : uint64_t(width) * height * 4),
                          "a " + std::to_string(width) + " x " + std::to_string(height) + " " + std::to_string(depth) +
                              "-bit image",
                          error))
        return false;
    try {
        image->allocate(int32_t(width), int32_t(height), colours, alpha, depth);
    } catch (const std::bad_alloc&) {
        *error = "out of memory";
        return false;
    }
    ImageMetadata& meta = image->metadata;
    uint32_t iccLength = 0;
    void* icc = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &iccLength, &icc) && icc && iccLength > 0)
        meta.icc.assign(static_cast<uint8_t*>(icc), static_cast<uint8_t*>(icc) + iccLength);
    float xRes = 0, yRes = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xRes) && TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &yRes)) {
        meta.xResolution = inches(xRes, unit);
        meta.yResolution = inches(yRes, unit);
    }
    uint16_t orientation = ORIENTATION_TOPLEFT;
    if (TIFFGetField(tiff, TIFFTAG_ORIENTATION, &orientation) && orientation >= 1 && orientation <= 8)
        meta.orientation = orientation;
    if (direct) {
        const size_t rowBytes = size_t(width) * samples * (bits / 8);
        if (size_t(TIFFScanlineSize64(tiff)) != rowBytes) {
            *error = name + ": unexpected TIFF row layout";
            return false;
        }
        for (uint32_t y = 0; y < height; ++y) {
            if (cancelRequested()) {
                *error = "cancelled";
                return false;
            }
            if (TIFFReadScanline(tiff, image->samples.bytes() + y * rowBytes, y) < 0) {
                if (options.allowDamaged && y > 0) {
                    if (options.warning) *options.warning = name + ": damaged TIFF file (" + stream.message + "); kept what decodes";
                    return true;
                }
                *error = name + ": damaged or cut short TIFF file (" + stream.message + "); --allow-damaged keeps what decodes";
                return false;
            }
        }
        return true;
    }
    std::vector<uint32_t> rgba;
    try {
        rgba.resize(size_t(width) * height);
    } catch (const std::bad_alloc&) {
        *error = "out of memory";
        return false;
    }
    if (!TIFFReadRGBAImageOriented(tiff, width, height, rgba.data(), ORIENTATION_TOPLEFT, 0)) {
        *error = name + ": a TIFF layout this program cannot read (" + stream.message + ")";
        return false;
    }
    meta.orientation = 1;  // the RGBA path turned the picture already
    for (size_t i = 0; i < rgba.size(); ++i) {
        const uint32_t p = rgba[i];
        image->samples[4 * i] = uint16_t(TIFFGetR(p));
        image->samples[4 * i + 1] = uint16_t(TIFFGetG(p));
        image->samples[4 * i + 2] = uint16_t(TIFFGetB(p));
        image->samples[4 * i + 3] = uint16_t(TIFFGetA(p));
    }
    return true;
}

bool writeTiff(std::FILE* file, const std::string& name, const Image& image, std::string* error) {
    // libtiff moves about in the file as it writes; a pipe gets the bytes
    // from a scratch file afterwards.
    std::FILE* target = file;
    std::FILE* scratch = nullptr;
    if (fseeko(file, 0, SEEK_CUR) != 0) {
        scratch = std::tmpfile();
        if (!scratch) {
            *error = "cannot write " + name + " (no scratch file for a TIFF on a pipe)";
            return false;
        }
        target = scratch;
    }
    Stream stream{target, {}};
    TIFF* tiff = openTiff(&stream, name, "w");
    bool ok = tiff != nullptr;
    bool cancelled = false;
    if (ok) {
        const uint16_t samples = uint16_t(image.channels());
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(image.width));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(image.height));
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(image.depth));
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, image.colourChannels == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
        TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        if (image.hasAlpha) {
            const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
            TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, uint16_t(1), extra);
        }
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
        const ImageMetadata& meta = image.metadata;
        if (meta.xResolution > 0 && meta.yResolution > 0) {
            TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
            TIFFSetField(tiff, TIFFTAG_XRESOLUTION, float(meta.xResolution));
            TIFFSetField(tiff, TIFFTAG_YRESOLUTION, float(meta.yResolution));
        }
        if (!meta.icc.empty())
            TIFFSetField(tiff, TIFFTAG_ICCPROFILE, uint32_t(meta.icc.size()), meta.icc.data());
        const size_t rowBytes = size_t(image.width) * samples * (image.depth / 8);
        std::vector<uint8_t> row(rowBytes);
        for (int32_t y = 0; ok && y < image.height; ++y) {
            if (cancelRequested()) {
                cancelled = true;
                ok = false;
                break;
            }
            // libtiff may change the row it is given (the predictor), so it gets a copy.
            std::memcpy(row.data(), image.samples.bytes() + size_t(y) * rowBytes, rowBytes);
            if (TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0) < 0) ok = false;
        }
        if (ok && !TIFFWriteDirectory(tiff)) ok = false;
        TIFFClose(tiff);
    }
    if (ok && scratch) {
        std::rewind(scratch);
        char buffer[65536];
        size_t n;
        while (ok && (n = std::fread(buffer, 1, sizeof buffer, scratch)) > 0)
            if (std::fwrite(buffer, 1, n, file) != n) ok = false;
    }
    if (scratch) std::fclose(scratch);
    if (!ok) *error = cancelled ? std::string("cancelled") : "cannot write " + name + " (" + stream.message + ")";
    return ok;
}

}  // namespace lumenfall

#else

namespace lumenfall {

bool tiffAvailable() { return false; }

bool readTiff(std::FILE*, const std::string& name, Image*, const ReadOptions&, std::string* error) {
    *error = name + ": TIFF files are not supported by this build";
    return false;
}

bool writeTiff(std::FILE*, const std::string& name, const Image&, std::string* error) {
    *error = "cannot write " + name + ": TIFF files are not supported by this build";
    return false;
}

}  // namespace lumenfall

#endif
