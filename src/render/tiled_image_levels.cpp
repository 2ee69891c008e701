// Building each pyramid level from the one below with the 32-tap kernel.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/half_float.h"
#include "render/job_runner.h"
#include "render/tiled_image.h"
#include "render/tiled_image_internal.h"

namespace lumenfall {
namespace {

// Rows j and columns i from -2 to 3: the outer product of
// [1, 16, 64, 64, 16, 1] / 4 with itself without its four corners (which
// would weigh 1/16 each). The 32 taps sum to 1640.
constexpr int32_t kTaps[6][6] = {
    {0, 1, 4, 4, 1, 0},
    {1, 16, 64, 64, 16, 1},
    {4, 64, 256, 256, 64, 4},
    {4, 64, 256, 256, 64, 4},
    {1, 16, 64, 64, 16, 1},
    {0, 1, 4, 4, 1, 0},
};

// Integer layouts scale by 1/1630 rather than 1/1640: a flat area comes out
// up to 0.6 % brighter per level, which offsets the loss from truncation.
constexpr float kIntegerScale = 0.00061349693f;
constexpr float kFloatScale = 0.0006097561f;

int32_t integerChannel(int64_t sum, float full, bool clampBelow) {
    float v = float(sum) * kIntegerScale;
    if (v > full) v = full;
    if (clampBelow && v < 0) v = 0;
    return int32_t(v);
}

float floatChannel(float sum, float top) {
    const float v = sum * kFloatScale;
    if (std::isnan(v)) return 0.0f;
    return std::clamp(v, 0.0f, top);
}

// Sums the kernel over source pixels (2x + i, 2y + j), clamped to the source
// level, with `read` giving the channels of one source pixel.
template <int Channels, typename Sum, typename Read>
void sumTaps(const TiledImage& image, int32_t level, int32_t x, int32_t y, Read read,
             Sum sums[Channels]) {
    for (int c = 0; c < Channels; ++c) sums[c] = 0;
    const int32_t maxX = image.levelMaxX[level];
    const int32_t maxY = image.levelMaxY[level];
    for (int j = 0; j < 6; ++j) {
        const int32_t sy = std::clamp(2 * y + j - 2, 0, maxY);
        for (int i = 0; i < 6; ++i) {
            const int32_t weight = kTaps[j][i];
            if (weight == 0) continue;
            const int32_t sx = std::clamp(2 * x + i - 2, 0, maxX);
            Sum values[Channels];
            read(pixelAddress(image, sx, sy, level), values);
            for (int c = 0; c < Channels; ++c) sums[c] += Sum(weight) * values[c];
        }
    }
}

uint16_t load16(const uint8_t* p) { uint16_t v; std::memcpy(&v, p, 2); return v; }
uint32_t load32(const uint8_t* p) { uint32_t v; std::memcpy(&v, p, 4); return v; }
float loadFloat(const uint8_t* p) { float v; std::memcpy(&v, p, 4); return v; }
void store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
void store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
void storeFloat(uint8_t* p, float v) { std::memcpy(p, &v, 4); }

}  // namespace

void buildLevel(TiledImage& image, int32_t sourceLevel, const JobRect& rect) {
    if (sourceLevel < 0 || sourceLevel + 1 > image.lastLevel || sourceLevel + 1 >= kMaxPyramidLevels)
        return;
    if (!levelReadable(image, sourceLevel)) return;
    const int32_t level = sourceLevel + 1;
    const int32_t top = std::max(rect.top, 0);
    const int32_t left = std::max(rect.left, 0);
    const int32_t bottom = std::min(rect.bottom, image.levelHeight[level]);
    const int32_t right = std::min(rect.right, image.levelWidth[level]);
    const uint32_t type = image.storeType;

    for (int32_t y = top; y < bottom; ++y) {
        for (int32_t x = left; x < right; ++x) {
            if (x > image.levelMaxX[level] || y > image.levelMaxY[level]) continue;
            uint8_t* out = pixelAddress(image, x, y, level);
            if (image.bytesPerPixel == 1) {
                int64_t s[1];
                sumTaps<1>(image, sourceLevel, x, y,
                           [](const uint8_t* p, int64_t* v) { v[0] = p[0]; }, s);
                out[0] = uint8_t(integerChannel(s[0], 255.0f, false));
            } else if (type == kStoreGrey16) {
                int64_t s[1];
                sumTaps<1>(image, sourceLevel, x, y,
                           [](const uint8_t* p, int64_t* v) { v[0] = load16(p); }, s);
                store16(out, uint16_t(integerChannel(s[0], 32768.0f, true)));
            } else if (type == kStoreRgba8) {
                int64_t s[4];
                sumTaps<4>(image, sourceLevel, x, y, [](const uint8_t* p, int64_t* v) {
                    const uint32_t word = load32(p);
                    for (int c = 0; c < 4; ++c) v[c] = (word >> (24 - 8 * c)) & 0xFF;
                }, s);
                uint32_t word = 0;
                for (int c = 0; c < 4; ++c)
                    word |= uint32_t(integerChannel(s[c], 255.0f, false)) << (24 - 8 * c);
                store32(out, word);
            } else if (type == kStoreRgba16) {
                int64_t s[4];
                sumTaps<4>(image, sourceLevel, x, y, [](const uint8_t* p, int64_t* v) {
                    for (int c = 0; c < 4; ++c) v[c] = load16(p + 2 * c);
                }, s);
                for (int c = 0; c < 4; ++c)
                    store16(out + 2 * c, uint16_t(integerChannel(s[c], 32768.0f, false)));
            } else if (type == kStoreRgbaFloat) {
                float s[4];
                sumTaps<4>(image, sourceLevel, x, y, [](const uint8_t* p, float* v) {
                    for (int c = 0; c < 4; ++c) v[c] = loadFloat(p + 4 * c);
                }, s);
                for (int c = 0; c < 4; ++c) storeFloat(out + 4 * c, floatChannel(s[c], 65535.0f));
            } else if (type == kStoreGreyFloat) {
                float s[1];
                sumTaps<1>(image, sourceLevel, x, y,
                           [](const uint8_t* p, float* v) { v[0] = loadFloat(p); }, s);
                storeFloat(out, floatChannel(s[0], 65535.0f));
            } else if (type == kStoreRgbHalf) {
                float s[3];
                sumTaps<3>(image, sourceLevel, x, y, [](const uint8_t* p, float* v) {
                    for (int c = 0; c < 3; ++c) v[c] = halfToFloat(load16(p + 2 * c));
                }, s);
                // The largest finite half stands in for 65535.
                for (int c = 0; c < 3; ++c) store16(out + 2 * c, floatToHalf(floatChannel(s[c], 65504.0f)));
            } else {
                return;  // other layouts keep the level untouched
            }
        }
    }
}

void rebuildPyramid(TiledImage& image) {
    for (int32_t level = 0; level < image.lastLevel && level + 1 < kMaxPyramidLevels; ++level) {
        JobList list;
        const JobRect whole{0, 0, image.levelHeight[level + 1], image.levelWidth[level + 1]};
        buildRectJobs(list, whole, kJobBuildLevel, kJobCount);
        for (int32_t i = 0; i < list.count; ++i) list.jobs[i].row = level;
        runJobs(list, [](void* context, const RenderJob& job) {
            buildLevel(*static_cast<TiledImage*>(context), job.row, job.rect);
        }, &image);
    }
    image.pyramidState = 2;
}

}  // namespace lumenfall
