#include "export/thumbnail.h"

#include <cstring>

#include "render/resample_image.h"
#include "render/tiled_image.h"

namespace lumenfall {

namespace {

uint8_t hostSixteenToByte(uint16_t value) {
    // The host's 16-bit range is 0..32768.
    const uint32_t scaled = static_cast<uint32_t>(value) * 255u / 32768u;
    return static_cast<uint8_t>(scaled > 255u ? 255u : scaled);
}

uint8_t floatToByte(float value) {
    if (!(value > 0.0f)) return 0;  // also NaN
    if (value >= 1.0f) return 255;
    return static_cast<uint8_t>(value * 255.0f);
}

uint8_t sampleAt(const uint8_t* row, int32_t index, int32_t depth) {
    if (depth == 16) {
        uint16_t v;
        std::memcpy(&v, row + 2 * static_cast<size_t>(index), 2);
        return hostSixteenToByte(v);
    }
    if (depth == 32) {
        float v;
        std::memcpy(&v, row + 4 * static_cast<size_t>(index), 4);
        return floatToByte(v);
    }
    return row[index];
}

int32_t min32(int32_t a, int32_t b) { return a < b ? a : b; }
int32_t max32(int32_t a, int32_t b) { return a > b ? a : b; }

}  // namespace

void fillThumbnailRamp(Thumbnail& thumbnail) {
    for (int32_t y = 0; y < kThumbnailSide; ++y) {
        std::memset(thumbnail.rgb + static_cast<size_t>(y) * kThumbnailSide * 3, 255 - y, kThumbnailSide * 3);
    }
}

// The filter rectangle at the origin is cut to the part the buffer holds
// (in the dialog the buffer holds only the preview area, in a final render
// a single row); the square is centred in what remains.
bool copyCentredSquare(const HostOutputView& output, int32_t filterWidth, int32_t filterHeight,
                       std::vector<uint8_t>& rgb, int32_t& side) {
    rgb.clear();
    side = 0;
    if (output.data == nullptr || output.planes < 1) return false;
    if (output.depth != 8 && output.depth != 16 && output.depth != 32) return false;
    const int32_t top = max32(0, output.top);
    const int32_t left = max32(0, output.left);
    const int32_t bottom = min32(filterHeight, output.bottom);
    const int32_t right = min32(filterWidth, output.right);
    if (bottom <= top || right <= left) return false;
    const int32_t bytesPerPixel = output.planes * (output.depth / 8);
    const int64_t bufferWidth = static_cast<int64_t>(output.right) - output.left;
    if (output.rowBytes < 0 || static_cast<int64_t>(output.rowBytes) < bufferWidth * bytesPerPixel) return false;

    const int32_t width = right - left;
    const int32_t height = bottom - top;
    side = min32(width, height);
    const int32_t squareLeft = left + (width - side) / 2;
    const int32_t squareTop = top + (height - side) / 2;
    try {
        rgb.resize(static_cast<size_t>(side) * side * 3);
    } catch (...) {
        side = 0;
        return false;
    }
    const int32_t colourPlanes = output.planes >= 3 ? 3 : 1;
    const uint8_t* base = static_cast<const uint8_t*>(output.data);
    for (int32_t y = 0; y < side; ++y) {
        const uint8_t* row = base + static_cast<size_t>(squareTop + y - output.top) * output.rowBytes;
        uint8_t* target = rgb.data() + static_cast<size_t>(y) * side * 3;
        for (int32_t x = 0; x < side; ++x) {
            const int32_t pixel = (squareLeft + x - output.left) * output.planes;
            for (int32_t c = 0; c < 3; ++c) {
                target[3 * x + c] = sampleAt(row, pixel + (colourPlanes == 3 ? c : 0), output.depth);
            }
        }
    }
    return true;
}

namespace {

// Both working images are freed on every path.
struct ScratchImage {
    TiledImage image;
    explicit ScratchImage(const BufferAllocator* buffers) { initTiledImage(image, buffers, nullptr); }
    ~ScratchImage() { freeTiledImage(&image); }
};

}  // namespace

bool makeThumbnail(const HostOutputView& output, int32_t filterWidth, int32_t filterHeight,
                   const LanczosWeights& weights, const BufferAllocator* buffers,
                   Thumbnail& thumbnail) {
    fillThumbnailRamp(thumbnail);
    std::vector<uint8_t> square;
    int32_t side = 0;
    if (!copyCentredSquare(output, filterWidth, filterHeight, square, side)) return false;

    ScratchImage source(buffers);
    if (!createTiledImage(&source.image, side, side, kStoreRgba8, 0, false)) return false;
    for (int32_t y = 0; y < side; ++y) {
        const uint8_t* row = square.data() + static_cast<size_t>(y) * side * 3;
        for (int32_t x = 0; x < side; ++x) {
            writePixel8(source.image, x, y, 0, row[3 * x], row[3 * x + 1], row[3 * x + 2], 255);
        }
    }
    rebuildPyramid(source.image);

    ScratchImage scaled(buffers);
    if (!createTiledImage(&scaled.image, kThumbnailSide, kThumbnailSide, kStoreRgba8, 0, false)) return false;
    copyImage(&source.image, &scaled.image, weights);
    for (int32_t y = 0; y < kThumbnailSide; ++y) {
        uint8_t* row = thumbnail.rgb + static_cast<size_t>(y) * kThumbnailSide * 3;
        for (int32_t x = 0; x < kThumbnailSide; ++x) {
            float channels[4];
            readPixel(scaled.image, x, y, 0, channels);
            for (int c = 0; c < 3; ++c) row[3 * x + c] = static_cast<uint8_t>(channels[c]);
        }
    }
    return true;
}

}  // namespace lumenfall
