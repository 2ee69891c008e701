// Draws the about box artwork into 24-bit BMP files at build time, so the
// pictures live in the repository as code rather than as binaries:
//   about_banner.bmp (resource 127): a sun with rays and glow over a dusk sky
//   about_title.bmp  (resource 136): the word LUMENFALL in gold block letters
//   about_logo.bmp   (resource 131): the maker's round emblem
// and the main dialog's artwork (dialog_artwork.cpp): the background, the
// slider tracks and knob, the picker wells, the button and sun-type icons
// and the information picture.
// Usage: lf_artgen <output folder>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bmp_file.h"

namespace {

struct Rgb {
    double r, g, b;
};

struct Picture {
    int width, height;
    std::vector<Rgb> pixels;
    Picture(int w, int h, Rgb fill) : width(w), height(h), pixels(size_t(w) * h, fill) {}
    Rgb& at(int x, int y) { return pixels[size_t(y) * width + x]; }
};

double clamp01(double v) { return v < 0 ? 0 : v > 1 ? 1 : v; }

Rgb mix(Rgb a, Rgb b, double t) {
    t = clamp01(t);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb add(Rgb a, Rgb b, double k) { return {a.r + b.r * k, a.g + b.g * k, a.b + b.b * k}; }

uint8_t toByte(double v) { return uint8_t(std::lround(clamp01(v) * 255.0)); }

bool writeBmp(const Picture& p, const std::string& path) {
    return writeBmp24(p.width, p.height, 2835, path, [&](int x, int y, uint8_t bgr[3]) {  // 72 dpi
        const Rgb& c = p.pixels[size_t(y) * p.width + x];
        bgr[0] = toByte(c.b);
        bgr[1] = toByte(c.g);
        bgr[2] = toByte(c.r);
    });
}


Picture drawBanner() {
    const int w = 320, h = 96;
    const Rgb night{0.05, 0.07, 0.22}, dusk{0.85, 0.42, 0.30}, ground{0.10, 0.08, 0.16};
    Picture p(w, h, night);
    const double cx = 92, cy = 58, radius = 22;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double t = double(y) / (h - 1);
            Rgb c = mix(night, dusk, t * t * 1.2);
            double dx = x - cx, dy = y - cy;
            double d = std::sqrt(dx * dx + dy * dy);
            double angle = std::atan2(dy, dx);
            // Glow, twelve soft rays and a halo ring around the disc.
            double glow = std::exp(-d / 26.0);
            double rays = std::pow(std::fabs(std::cos(angle * 6.0)), 40.0) * std::exp(-d / 70.0);
            double ring = std::exp(-std::pow((d - 44.0) / 3.0, 2.0)) * 0.35;
            c = add(c, {1.0, 0.85, 0.55}, glow * 0.9 + rays * 0.8);
            c = add(c, {0.6, 0.8, 1.0}, ring);
            if (d < radius) {
                double limb = std::sqrt(1.0 - (d / radius) * (d / radius));
                c = mix({1.0, 0.55, 0.15}, {1.0, 0.97, 0.80}, limb);
            }
            if (y > 80 + 3 * std::sin(x / 23.0)) c = mix(c, ground, 0.85);
            p.at(x, y) = c;
        }
    }
    return p;
}

// 5 x 7 block letters for the title.
const char* glyph(char c) {
    switch (c) {
        case 'L': return "10000100001000010000100001000011111";
        case 'U': return "10001100011000110001100011000101110";
        case 'M': return "10001110111010110101100011000110001";
        case 'E': return "11111100001000011110100001000011111";
        case 'N': return "10001110011010110011100011000110001";
        case 'F': return "11111100001000011110100001000010000";
        case 'A': return "01110100011000111111100011000110001";
        default: return "00000000000000000000000000000000000";
    }
}

Picture drawTitle() {
    const char* word = "LUMENFALL";
    const int scale = 4, advance = 6 * scale, margin = 6;
    const int letters = 9;
    const int w = margin * 2 + letters * advance - scale, h = margin * 2 + 7 * scale;
    Picture p(w, h, {1, 1, 1});
    for (int i = 0; i < letters; ++i) {
        const char* bits = glyph(word[i]);
        for (int gy = 0; gy < 7; ++gy) {
            for (int gx = 0; gx < 5; ++gx) {
                if (bits[gy * 5 + gx] != '1') continue;
                for (int sy = 0; sy < scale; ++sy) {
                    for (int sx = 0; sx < scale; ++sx) {
                        int x = margin + i * advance + gx * scale + sx, y = margin + gy * scale + sy;
                        double t = double(y - margin) / (7 * scale);
                        p.at(x, y) = mix({1.0, 0.80, 0.25}, {0.75, 0.30, 0.05}, t);
                        // A drop shadow one step down and right.
                        if (x + 2 < w && y + 2 < h && p.at(x + 2, y + 2).r == 1.0 && p.at(x + 2, y + 2).b == 1.0)
                            p.at(x + 2, y + 2) = {0.82, 0.82, 0.86};
                    }
                }
            }
        }
    }
    return p;
}

Picture drawLogo() {
    const int size = 64;
    Picture p(size, size, {1, 1, 1});
    const double c = (size - 1) / 2.0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double dx = x - c, dy = y - c;
            double d = std::sqrt(dx * dx + dy * dy);
            double angle = std::atan2(dy, dx);
            Rgb col{1, 1, 1};
            if (d < 30) col = mix({0.16, 0.20, 0.45}, {0.05, 0.06, 0.20}, d / 30.0);
            if (d >= 26 && d < 30) col = {0.85, 0.65, 0.20};  // gold rim
            // A four-pointed star in the middle.
            double star = 6.0 + 14.0 * std::pow(std::fabs(std::cos(2.0 * angle)), 8.0);
            if (d < star) col = mix({1.0, 0.95, 0.75}, {1.0, 0.75, 0.25}, d / star);
            if (d >= 30 && d < 31) col = mix(col, {0.85, 0.65, 0.20}, 31 - d);  // soft edge
            p.at(x, y) = col;
        }
    }
    return p;
}

}  // namespace

bool writeDialogArtwork(const std::string& dir);

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    if (!writeBmp(drawBanner(), dir + "/about_banner.bmp") || !writeBmp(drawTitle(), dir + "/about_title.bmp") ||
        !writeBmp(drawLogo(), dir + "/about_logo.bmp") || !writeDialogArtwork(dir)) {
        std::fprintf(stderr, "%s: cannot write the artwork into %s\n", argv[0], dir.c_str());
        return 1;
    }
    return 0;
}
