// The PSD size arithmetic: for any width, height and sample size the limits
// must agree with the file's 32-bit lengths computed without wrapping, and a
// small file that is allowed must have exactly the length its layout says.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "export/psd_writer.h"
#include "render/tiled_image.h"

using namespace lumenfall;

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

int64_t take(const uint8_t*& data, size_t& size, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        v = (v << 8) | (size > 0 ? *data : 0);
        if (size > 0) ++data, --size;
    }
    return int64_t(v);
}

bool countBytes(void* context, const void*, size_t size) {
    *static_cast<uint64_t*>(context) += size;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int64_t width = take(data, size, 4) - 0x100;    // negatives and zero too
    const int64_t height = take(data, size, 4) - 0x100;
    static const int32_t kSamples[] = {1, 2, 4, 3};
    const int32_t bps = kSamples[take(data, size, 1) % 4];
    PsdExportSettings settings;
    settings.sunType = int32_t(take(data, size, 1) % 5);
    settings.vortices = int32_t(take(data, size, 1) % 2);
    settings.monopoles = int32_t(take(data, size, 1) % 2);
    settings.glue = int32_t(take(data, size, 1) % 22);
    std::vector<uint8_t> profile(size_t(take(data, size, 1)), 7);
    settings.iccProfile = profile.data();
    settings.iccProfileSize = profile.size();
    settings.dateGiven = true;

    const bool allowed = psdSizeAllowed(width, height, bps, settings, nullptr, 0);
    const bool sides = width >= 1 && height >= 1 && width <= kPsdMaxSide && height <= kPsdMaxSide;
    if (bps == 3 || !sides) {
        check(!allowed);
        return 0;
    }
    const PsdLayout l = psdLayout(width, height, bps, settings);
    const bool fits = l.layerSectionLength <= 0xFFFFFFFFu && l.layerInfoLength <= 0xFFFFFFFFu &&
                      uint64_t(width) * uint64_t(height) * 4u * uint64_t(bps) <= 0xFFFFFFFFu;
    check(allowed == fits);
    check(allowed == (width * height <= psdMaxPixels(bps)));
    if (!allowed || width * height > 256) return 0;

    TiledImage image;
    initTiledImage(image, nullptr, nullptr);
    const uint32_t type = bps == 1 ? kStoreRgba8 : bps == 2 ? kStoreRgba16 : kStoreRgbaFloat;
    check(createTiledImage(&image, int32_t(width), int32_t(height), type, 0, false));
    uint64_t written = 0;
    check(writePsd(&image, settings, PsdSink{&written, countBytes}, nullptr) == kPsdWritten);
    check(written == l.fileSize);
    freeTiledImage(&image);
    return 0;
}
