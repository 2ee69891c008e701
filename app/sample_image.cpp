// The built-in sample picture, drawn by code so that a new user sees a sun at
// once without an image of their own: a dusk sky fading from deep blue to
// warm orange over two ranges of hills. Integer arithmetic only, so every
// build draws the same pixels.
#include "image.h"

namespace lumenfall {
namespace {

int32_t mix(int32_t a, int32_t b, int32_t t, int32_t range) { return a + (b - a) * t / range; }

// A smooth periodic bump made of integer parabolas: 0..1024 over one period.
int32_t bump(int32_t x, int32_t period) {
    int32_t p = ((x % period) + period) % period;
    int32_t half = period / 2;
    int32_t d = p < half ? p : period - p;          // 0..half
    return int32_t(int64_t(d) * d * 1024 / (int64_t(half) * half));
}

// Height of a hill range at column x, in rows from the top.
int32_t ridge(int32_t x, int32_t width, int32_t height, int32_t base, int32_t amplitude, int32_t seed) {
    int32_t h = bump(x + seed, width * 3 / 4) * amplitude / 1024 + bump(x * 3 + seed * 7, width) * amplitude / 3072 +
                bump(x * 7 + seed * 13, width) * amplitude / 8192;
    return base * height / 1000 - h * height / 1000;
}

}  // namespace

Image makeSampleImage(int32_t width, int32_t height) {
    Image image;
    image.allocate(width, height, 3, false, 8);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            // Sky: zenith blue to a warm horizon.
            int32_t t = y * 1000 / height;
            const int32_t upper = t < 550 ? t : 550;
            int32_t r = mix(28, 250, upper, 550);
            int32_t g = mix(36, 150, upper, 550);
            int32_t b = mix(92, 96, upper, 550);
            if (t > 550) {
                r = mix(250, 255, t - 550, 450);
                g = mix(150, 196, t - 550, 450);
                b = mix(96, 130, t - 550, 450);
            }
            const int32_t far = ridge(x, width, height, 760, 120, 40);
            const int32_t near = ridge(x, width, height, 900, 160, 311);
            if (y >= far) {
                int32_t shade = (y - far) * 256 / (height - far + 1);
                r = 70 - shade / 12;
                g = 58 - shade / 14;
                b = 92 - shade / 10;
            }
            if (y >= near) {
                int32_t shade = (y - near) * 256 / (height - near + 1);
                r = 34 - shade / 16;
                g = 30 - shade / 16;
                b = 46 - shade / 12;
            }
            const size_t p = image.index(x, y, 0);
            image.samples[p] = uint16_t(r < 0 ? 0 : r > 255 ? 255 : r);
            image.samples[p + 1] = uint16_t(g < 0 ? 0 : g > 255 ? 255 : g);
            image.samples[p + 2] = uint16_t(b < 0 ? 0 : b > 255 ? 255 : b);
        }
    }
    return image;
}

}  // namespace lumenfall
