// libtiff on an open stdio stream, with its messages kept for ours.
#ifndef LUMENFALL_APP_TIFF_STREAM_H
#define LUMENFALL_APP_TIFF_STREAM_H

#if defined(LF_HAVE_TIFF)

#include <tiffio.h>

#include <cstdio>
#include <string>
#include <vector>

namespace lumenfall {

struct TiffStream {
    std::FILE* file;
    std::string message;                 // libtiff's first error
    std::vector<std::string> warnings;   // every warning, in order
};

// TIFFClientOpen on the stream, with a cap on single allocations; null on failure.
TIFF* openTiff(TiffStream* stream, const std::string& name, const char* mode);

// A resolution tag in pixels per inch; 0 when the unit says nothing.
double tiffInches(float value, uint16_t unit);

}  // namespace lumenfall

#endif
#endif
