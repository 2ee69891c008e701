// TIFF files for the command line, through libtiff on an open stream: the
// stream and the writer (tiff_read.cpp reads). Builds without libtiff refuse
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

#include "tiff_stream.h"

namespace lumenfall {
namespace {

tmsize_t readProc(thandle_t h, void* data, tmsize_t size) {
    return tmsize_t(std::fread(data, 1, size_t(size), static_cast<TiffStream*>(h)->file));
}
tmsize_t writeProc(thandle_t h, void* data, tmsize_t size) {
    return tmsize_t(std::fwrite(data, 1, size_t(size), static_cast<TiffStream*>(h)->file));
}
toff_t seekProc(thandle_t h, toff_t offset, int whence) {
    std::FILE* f = static_cast<TiffStream*>(h)->file;
    if (fseeko(f, off_t(offset), whence) != 0) return toff_t(-1);
    return toff_t(ftello(f));
}
int closeProc(thandle_t) { return 0; }
toff_t sizeProc(thandle_t h) {
    std::FILE* f = static_cast<TiffStream*>(h)->file;
    const off_t here = ftello(f);
    fseeko(f, 0, SEEK_END);
    const off_t size = ftello(f);
    fseeko(f, here, SEEK_SET);
    return toff_t(size);
}
int mapProc(thandle_t, void**, toff_t*) { return 0; }
void unmapProc(thandle_t, void*, toff_t) {}

int onError(TIFF*, void* user, const char*, const char* format, va_list args) {
    auto* s = static_cast<TiffStream*>(user);
    if (s->message.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        s->message = text;
    }
    return 1;
}
int onWarning(TIFF*, void* user, const char*, const char* format, va_list args) {
    auto* s = static_cast<TiffStream*>(user);
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    s->warnings.push_back(text);
    return 1;
}

}  // namespace

TIFF* openTiff(TiffStream* stream, const std::string& name, const char* mode) {
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

double tiffInches(float value, uint16_t unit) {
    if (!(value > 0)) return 0;
    return unit == RESUNIT_CENTIMETER ? value * 2.54 : unit == RESUNIT_INCH ? value : 0;
}

bool tiffAvailable() { return true; }

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
    TiffStream stream{target, {}, {}};
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
            reportWriteProgress(y + 1, image.height);
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
