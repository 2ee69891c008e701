// The layered PSD file: one layer "layer 1" with its transparency, the merged
// image, and the program's image resources (print, resolution and transfer
// settings, the maker's web address, the host's ICC profile, IPTC and EXIF
// metadata). 8-bit files keep the layer in the layer info; 16-bit and 32-bit
// files carry it in the "Lr16" / "Lr32" additional block.
//
// The pixels come from a tiled image that is already rendered (store type 3,
// 4 or 9: RGBA at 8 bits, 16 bits 0..32768 or float). The file is written
// to a new file beside the target and renamed over it only when complete:
// a cancel or any failed write leaves an existing file exactly as it was.
#ifndef LUMENFALL_EXPORT_PSD_WRITER_H
#define LUMENFALL_EXPORT_PSD_WRITER_H

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace lumenfall {

struct TiledImage;

// The format holds at most this many pixels on a side.
constexpr int64_t kPsdMaxSide = 30000;

enum PsdResult : int32_t {
    kPsdWritten = 0,
    kPsdFileCannotOpen = 99,    // the new file could not be created (same value as the file helpers)
    kPsdWriteError = -20,       // a write, the flush or the rename failed
    kPsdNoImage = -99,          // no image, no tiles or a layout the file cannot hold
    kPsdCancelled = -128,       // the progress callback asked to stop
    kPsdTooLarge = -1,          // refused by the size limits before anything was created
};

// What the export needs besides the pixels.
struct PsdExportSettings {
    const uint8_t* iccProfile = nullptr;   // the host's profile (resource 1039), or null
    size_t iccProfileSize = 0;
    // The settings the keywords describe.
    int32_t sunType = 1;
    int32_t vortices = 0;
    int32_t monopoles = 0;
    int32_t glue = 1;
    std::tm localDate{};                   // IPTC "date created"
    bool dateGiven = false;                // false: today's local date
};

struct ParameterBlock;

// The export's settings for a block: its sun type, swirls and glue mode
// (for the keywords), with the host's profile when it offers one.
PsdExportSettings psdSettingsFor(const ParameterBlock& block, const uint8_t* iccProfile, size_t iccProfileSize);

// Progress while writing, 0..100, non-decreasing; returning false cancels.
struct PsdProgress {
    void* context = nullptr;
    bool (*report)(void* context, int32_t percent) = nullptr;
};

// Test hook: the k-th write to the file fails as a full disk would (0: none).
struct PsdWriteHooks {
    int32_t failAtWrite = 0;
};

// Receives the file's bytes in order; false stops the writer.
struct PsdSink {
    void* context = nullptr;
    bool (*write)(void* context, const void* data, size_t size) = nullptr;
};

// Bytes per sample of a store type: 1, 2 or 4; 0 for layouts the file does not take.
int32_t psdBytesPerSample(uint32_t storeType);

// The lengths of a file; every one must fit the format's unsigned 32 bits.
struct PsdLayout {
    uint64_t resourcesLength;      // the image resources section, without its length field
    uint64_t layerInfoLength;      // L: layer count, record and channel data
    uint64_t layerSectionLength;   // the value written at the section's start
    uint64_t channelLength;        // of each layer channel: W H bytes + 2
    uint64_t fileSize;
};

// Computes the layout from 64-bit values (no wrap for any size). The
// resources' length depends on the web address, the profile and the keywords.
PsdLayout psdLayout(int64_t width, int64_t height, int32_t bytesPerSample, const PsdExportSettings& settings);

// Whether an export of this size can be written: both sides 1..30000 and
// every length of the file (and the render image's byte count) within 32
// bits. When not, `message` (if given) receives the reason with the limits.
bool psdSizeAllowed(int64_t width, int64_t height, int32_t bytesPerSample, const PsdExportSettings& settings,
                    char* message, size_t messageSize);

// The largest W x H that fits for a sample size (the 32-bit lengths).
int64_t psdMaxPixels(int32_t bytesPerSample);

// Writes the whole file to a sink. Results as PsdResult (never kPsdFileCannotOpen).
int32_t writePsd(const TiledImage* image, const PsdExportSettings& settings, const PsdSink& sink,
                 const PsdProgress* progress);

// Checks the size, then writes `path` through a new file renamed over it.
// Nothing is created when the size is refused or the image is unusable.
int32_t writePsdFile(const char* path, const TiledImage* image, const PsdExportSettings& settings,
                     const PsdProgress* progress, const PsdWriteHooks* hooks = nullptr, char* message = nullptr,
                     size_t messageSize = 0);

}  // namespace lumenfall

#endif
