// The main dialog's artwork, drawn at build time into BMP and ICO files:
//   dialog_background.bmp  957 x 656: group panels with their captions, the
//                          sunken wells behind sliders, number boxes, lists
//                          and buttons, the preview and status wells
//   track_first.bmp, track_second.bmp  135 x 12 slider tracks (warm, cool)
//   slider_knob.bmp        12 x 10
//   well_enabled.bmp, well_disabled.bmp  85 x 85 direction picker wells
//   icon_*.ico             the icon buttons, the sun types and the logo
//   information.bmp        the picture of the information dialog
// Colours are calm greys with one warm and one cool accent.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bmp_file.h"

namespace {

struct Rgba {
    double r, g, b, a;
};

struct Canvas {
    int width, height;
    std::vector<Rgba> px;
    Canvas(int w, int h, Rgba fill) : width(w), height(h), px(size_t(w) * h, fill) {}
    Rgba& at(int x, int y) { return px[size_t(y) * width + x]; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    // Source-over with coverage.
    void blend(int x, int y, Rgba c, double coverage) {
        if (!inside(x, y) || coverage <= 0) return;
        const double a = c.a * (coverage > 1 ? 1 : coverage);
        Rgba& d = at(x, y);
        const double outA = a + d.a * (1 - a);
        if (outA <= 0) return;
        d.r = (c.r * a + d.r * d.a * (1 - a)) / outA;
        d.g = (c.g * a + d.g * d.a * (1 - a)) / outA;
        d.b = (c.b * a + d.b * d.a * (1 - a)) / outA;
        d.a = outA;
    }
};

Rgba rgb(int r, int g, int b, double a = 1) { return {r / 255.0, g / 255.0, b / 255.0, a}; }
Rgba mixc(Rgba a, Rgba b, double t) {
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}
double clamp01(double v) { return v < 0 ? 0 : v > 1 ? 1 : v; }
uint8_t byteOf(double v) { return uint8_t(std::lround(clamp01(v) * 255)); }

// Anti-aliased shapes by signed distance, sampled at the pixel centre.
template <class Distance>
void shape(Canvas& c, Rgba colour, Distance dist) {
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) c.blend(x, y, colour, 0.5 - dist(x + 0.5, y + 0.5));
}
void disc(Canvas& c, double cx, double cy, double r, Rgba col) {
    shape(c, col, [&](double x, double y) { return std::hypot(x - cx, y - cy) - r; });
}
void ring(Canvas& c, double cx, double cy, double r, double w, Rgba col) {
    shape(c, col, [&](double x, double y) { return std::fabs(std::hypot(x - cx, y - cy) - r) - w / 2; });
}
void segment(Canvas& c, double x0, double y0, double x1, double y1, double w, Rgba col) {
    shape(c, col, [&](double x, double y) {
        const double dx = x1 - x0, dy = y1 - y0;
        double t = ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy);
        t = t < 0 ? 0 : t > 1 ? 1 : t;
        return std::hypot(x - (x0 + t * dx), y - (y0 + t * dy)) - w / 2;
    });
}
void roundRect(Canvas& c, double l, double t, double r, double b, double radius, Rgba col) {
    shape(c, col, [&](double x, double y) {
        const double cx = (l + r) / 2, cy = (t + b) / 2, hx = (r - l) / 2 - radius, hy = (b - t) / 2 - radius;
        const double qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
        return std::hypot(qx > 0 ? qx : 0, qy > 0 ? qy : 0) + std::fmin(std::fmax(qx, qy), 0.0) - radius;
    });
}
// Crisp rectangle fill (integer edges, right and bottom exclusive).
void fillRect(Canvas& c, int l, int t, int r, int b, Rgba col) {
    for (int y = t; y < b; ++y)
        for (int x = l; x < r; ++x) c.blend(x, y, col, 1);
}

// 5 x 7 letters for the captions, rows top down; letters that reach below
// the line ('g', 'p') have two rows more.
const char* letter(char ch) {
    switch (ch) {
        case 'S': return "01111100001000001110000010000111110";
        case 'F': return "11111100001000011110100001000010000";
        case 'H': return "10001100011000111111100011000110001";
        case 'B': return "11110100011000111110100011000111110";
        case 'M': return "10001110111010110101100011000110001";
        case 'a': return "00000000000111000001011111000101111";
        case 'b': return "10000100001011011001100011000111110";
        case 'e': return "00000000000111010001111111000001110";
        case 'g': return "00000" "00000" "01111" "10001" "10001" "10001" "01111" "00001" "01110";
        case 'h': return "10000100001011011001100011000110001";
        case 'i': return "00100000000110000100001000010001110";
        case 'k': return "10000100001001010100110001010010010";
        case 'l': return "01100001000010000100001000010001110";
        case 'n': return "00000000001011011001100011000110001";
        case 'o': return "00000000000111010001100011000101110";
        case 'p': return "00000" "00000" "11110" "10001" "10001" "10001" "11110" "10000" "10000";
        case 'r': return "00000000001011011001100001000010000";
        case 's': return "00000000000111110000011100000111110";
        case 't': return "01000010001110001000010000100100110";
        case 'u': return "00000000001000110001100011001101101";
        case 'w': return "00000000001000110001101011010101010";
        default: return "00000000000000000000000000000000000";
    }
}
// Returns the width drawn.
int caption(Canvas& c, int x, int y, const std::string& text, Rgba col) {
    int start = x;
    for (char ch : text) {
        if (ch != ' ') {
            const char* bits = letter(ch);
            const int rows = int(std::strlen(bits)) / 5;
            for (int gy = 0; gy < rows; ++gy)
                for (int gx = 0; gx < 5; ++gx)
                    if (bits[gy * 5 + gx] == '1') {
                        c.blend(x + gx, y + gy, col, 1);
                        c.blend(x + gx + 1, y + gy, col, 1);  // bold
                    }
        }
        x += 7;
    }
    return x - start;
}

bool writeBmp(const Canvas& p, const std::string& path) {
    return writeBmp24(p.width, p.height, 3780, path, [&](int x, int y, uint8_t bgr[3]) {  // 96 dpi
        const Rgba& c = p.px[size_t(y) * p.width + x];
        bgr[0] = byteOf(c.b);
        bgr[1] = byteOf(c.g);
        bgr[2] = byteOf(c.r);
    });
}

// One 32-bit image with alpha, and its AND mask from the alpha; with a hot
// spot (hotX >= 0) the same image is written as a cursor.
bool writeIco(const Canvas& p, const std::string& path, int hotX = -1, int hotY = -1) {
    const int maskRow = ((p.width + 31) / 32) * 4;
    const uint32_t bytes = 40 + uint32_t(p.width) * p.height * 4 + uint32_t(maskRow) * p.height;
    std::vector<uint8_t> out;
    auto u16 = [&](uint32_t v) { out.push_back(uint8_t(v)); out.push_back(uint8_t(v >> 8)); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
    const bool cursor = hotX >= 0;
    u16(0);
    u16(cursor ? 2 : 1);
    u16(1);
    out.push_back(uint8_t(p.width));
    out.push_back(uint8_t(p.height));
    out.push_back(0);
    out.push_back(0);
    u16(cursor ? uint32_t(hotX) : 1);
    u16(cursor ? uint32_t(hotY) : 32);
    u32(bytes);
    u32(6 + 16);
    u32(40);
    u32(uint32_t(p.width));
    u32(uint32_t(p.height * 2));
    u16(1);
    u16(32);
    u32(0);
    u32(bytes - 40);
    u32(0);
    u32(0);
    u32(0);
    u32(0);
    for (int y = p.height - 1; y >= 0; --y)
        for (int x = 0; x < p.width; ++x) {
            const Rgba& c = p.px[size_t(y) * p.width + x];
            out.push_back(byteOf(c.b * c.a));
            out.push_back(byteOf(c.g * c.a));
            out.push_back(byteOf(c.r * c.a));
            out.push_back(byteOf(c.a));
        }
    for (int y = p.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(size_t(maskRow), 0);
        for (int x = 0; x < p.width; ++x)
            if (p.px[size_t(y) * p.width + x].a < 0.5) row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
}

// The palette.
const Rgba kFace = rgb(233, 236, 241);     // dialog background
const Rgba kPanel = rgb(246, 247, 250);    // group panels
const Rgba kPanelEdge = rgb(208, 213, 223);
const Rgba kWell = rgb(226, 230, 237);     // sunken wells
const Rgba kWellShadow = rgb(184, 190, 203);
const Rgba kInk = rgb(52, 60, 78);         // captions
const Rgba kWarm = rgb(232, 150, 52);
const Rgba kCool = rgb(86, 128, 214);

void sunkenWell(Canvas& c, int l, int t, int r, int b) {
    roundRect(c, l, t, r, b, 3, kWell);
    // Shadow along the top and left, light along the bottom and right.
    for (int x = l + 2; x < r - 2; ++x) {
        c.blend(x, t, kWellShadow, 1);
        c.blend(x, b - 1, rgb(255, 255, 255), 0.8);
    }
    for (int y = t + 2; y < b - 2; ++y) {
        c.blend(l, y, kWellShadow, 1);
        c.blend(r - 1, y, rgb(255, 255, 255), 0.8);
    }
}

void panel(Canvas& c, int l, int t, int r, int b, const std::string& title, int titleX, int titleY) {
    roundRect(c, l - 0.5, t - 0.5, r + 0.5, b + 0.5, 6, kPanelEdge);
    roundRect(c, l + 0.5, t + 0.5, r - 0.5, b - 0.5, 5.5, kPanel);
    if (!title.empty()) caption(c, titleX, titleY, title, kInk);
}

Canvas drawBackground() {
    Canvas c(957, 656, kFace);
    // Group panels down the left and the Bow column.
    panel(c, 6, 4, 388, 182, "Sun", 14, 20);
    panel(c, 6, 188, 388, 320, "Flares", 14, 204);
    panel(c, 6, 324, 388, 490, "Spikes", 14, 336);
    panel(c, 6, 496, 388, 552, "Halo", 14, 510);
    panel(c, 6, 556, 388, 592, "", 0, 0);
    panel(c, 560, 446, 950, 562, "Bow", 568, 458);
    panel(c, 560, 564, 950, 592, "", 0, 0);
    caption(c, 736 - 7 * 17, 572, "Master Brightness", kInk);
    // Wells behind the sliders and their number boxes.
    const int leftRows[] = {19, 41, 63, 85, 107, 129, 203, 225, 247, 269, 291, 335, 357, 379, 401, 423, 445, 467,
                            509, 531};
    for (int top : leftRows) {
        sunkenWell(c, 111, top - 2, 250, top + 14);
        sunkenWell(c, 254, top - 6, 282, top + 12);
    }
    for (int top : {457, 479, 501, 523, 570}) {
        sunkenWell(c, 740, top - 2, 879, top + 14);
        sunkenWell(c, 883, top - 5, 911, top + 13);
    }
    // Colour buttons, the two lists, the next glue button.
    for (int top : {14, 199, 328, 509}) sunkenWell(c, 290, top - 3, 316, top + 23);
    sunkenWell(c, 110, 148, 270, 170);
    sunkenWell(c, 110, 563, 274, 585);
    // The picker wells' surround.
    for (int top : {230, 361}) sunkenWell(c, 288, top - 3, 379, top + 88);
    // Preview, its tool row and the status line.
    fillRect(c, 418, 0, 944, 378, rgb(58, 63, 74));
    for (int x = 418; x < 944; ++x) c.blend(x, 377, kWellShadow, 1);
    sunkenWell(c, 416, 384, 946, 416);
    sunkenWell(c, 419, 420, 945, 442);
    // The memory-dot arc and the centre dot.
    ring(c, 467, 508, 79, 16, rgb(240, 242, 247));
    ring(c, 467, 508, 79, 16.5, rgb(208, 213, 223, 0.35));
    disc(c, 467, 508, 49, kWell);
    ring(c, 467, 508, 49, 1, kWellShadow);
    // The command buttons.
    sunkenWell(c, 104, 600, 660, 642);
    sunkenWell(c, 692, 600, 944, 642);
    // A thin rule above the command row.
    for (int x = 8; x < 949; ++x) c.blend(x, 596, kPanelEdge, 1);
    return c;
}

// Tracks: the groove's colour ramps from pale to the accent along the value.
Canvas drawTrack(Rgba accent) {
    Canvas c(135, 12, kWell);
    roundRect(c, 1, 3.5, 133, 8.5, 2.5, kWellShadow);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 135; ++x) {
            const double t = x / 134.0;
            const Rgba col = mixc(rgb(250, 250, 252), accent, t);
            const double d = std::fabs(y + 0.5 - 6.0) - 2.0;
            if (x >= 2 && x <= 132) c.blend(x, y, col, 0.5 - d);
        }
    return c;
}

Canvas drawKnob() {
    Canvas c(12, 10, rgb(104, 112, 130));
    for (int y = 1; y < 9; ++y)
        for (int x = 1; x < 11; ++x) c.at(x, y) = mixc(rgb(255, 255, 255), rgb(214, 220, 230), (y - 1) / 7.0);
    for (int y = 3; y < 7; ++y) c.at(6, y) = rgb(150, 158, 175);
    return c;
}

Canvas drawWell(bool enabled) {
    Canvas c(85, 85, kWell);
    const double cx = 42.5, cy = 41.5;
    const Rgba deep = enabled ? rgb(30, 38, 62) : rgb(150, 154, 162);
    const Rgba rim = enabled ? rgb(96, 112, 150) : rgb(176, 180, 188);
    disc(c, cx, cy, 40, kWellShadow);
    disc(c, cx, cy + 0.6, 39, deep);
    // Lighter toward the centre: the vector leans toward the viewer there.
    for (int y = 0; y < 85; ++y)
        for (int x = 0; x < 85; ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            if (d < 33) c.blend(x, y, enabled ? rgb(70, 86, 128) : rgb(170, 174, 182), 0.6 * (1 - d / 33));
        }
    ring(c, cx, cy, 33, 1, rim);
    segment(c, cx - 38, cy, cx + 38, cy, 1, mixc(rim, deep, 0.4));
    segment(c, cx, cy - 38, cx, cy + 38, 1, mixc(rim, deep, 0.4));
    return c;
}

// Icons on a transparent ground, in the cool ink.
Canvas blankIcon(int side) { return Canvas(side, side, Rgba{0, 0, 0, 0}); }
const Rgba kIconInk = rgb(58, 72, 104);

Canvas iconNextGlue() {
    Canvas c = blankIcon(16);
    segment(c, 5, 3.5, 10.5, 8, 2, kIconInk);
    segment(c, 10.5, 8, 5, 12.5, 2, kIconInk);
    return c;
}
Canvas iconZoom(bool in) {
    Canvas c = blankIcon(16);
    ring(c, 6.5, 6.5, 4.5, 1.6, kIconInk);
    segment(c, 10, 10, 14, 14, 2.2, kIconInk);
    segment(c, 4.5, 6.5, 8.5, 6.5, 1.4, kIconInk);
    if (in) segment(c, 6.5, 4.5, 6.5, 8.5, 1.4, kIconInk);
    return c;
}
Canvas iconInformation() {
    Canvas c = blankIcon(24);
    disc(c, 12, 12, 10, kCool);
    disc(c, 12, 7.5, 1.6, rgb(255, 255, 255));
    segment(c, 12, 11, 12, 17, 2.6, rgb(255, 255, 255));
    return c;
}
Canvas iconPresetsPage() {
    Canvas c = blankIcon(24);
    roundRect(c, 4, 2, 20, 22, 2, rgb(255, 255, 255));
    shape(c, kIconInk, [](double x, double y) {
        const double outer = std::fmax(std::fmax(4 - x, x - 20), std::fmax(2 - y, y - 22));
        return std::fabs(outer) - 0.7;
    });
    for (int i = 0; i < 3; ++i) disc(c, 8.5, 7.5 + 4.5 * i, 1.6, kWarm);
    for (int i = 0; i < 3; ++i) segment(c, 11.5, 7.5 + 4.5 * i, 17, 7.5 + 4.5 * i, 1.4, kIconInk);
    return c;
}
Canvas iconDice() {
    Canvas c = blankIcon(24);
    roundRect(c, 3, 3, 21, 21, 4, kIconInk);
    roundRect(c, 4.5, 4.5, 19.5, 19.5, 3, rgb(255, 255, 255));
    for (double p : {7.5, 12.0, 16.5}) disc(c, p, p, 1.7, kIconInk);
    disc(c, 16.5, 7.5, 1.7, kIconInk);
    disc(c, 7.5, 16.5, 1.7, kIconInk);
    return c;
}
Canvas iconUndo() {
    Canvas c = blankIcon(24);
    shape(c, kIconInk, [](double x, double y) {
        const double d = std::fabs(std::hypot(x - 13, y - 13) - 6.5) - 1.2;
        return (y < 13 || x > 13) ? d : 1e9;
    });
    segment(c, 13, 19.5, 8, 19.5, 2.4, kIconInk);
    segment(c, 6.5, 6.5, 13, 6.5, 2.4, kIconInk);
    segment(c, 6.5, 6.5, 10, 3, 2.4, kIconInk);
    segment(c, 6.5, 6.5, 10, 10, 2.4, kIconInk);
    return c;
}
// Back to the start: a bar with two arrowheads against it, so it never
// reads as a turning arrow (Undo, Redo).
Canvas iconReset() {
    Canvas c = blankIcon(24);
    segment(c, 5.5, 6, 5.5, 18, 2.4, kIconInk);
    for (double tip : {8.0, 13.5}) {
        shape(c, kIconInk, [tip](double x, double y) {
            const double along = x - tip, across = std::fabs(y - 12);
            const double edge = (across - along) / std::sqrt(2.0);  // the two slanted sides
            return std::max(std::max(-along, along - 6.5), edge);
        });
    }
    return c;
}
Canvas iconEcce() {
    Canvas c = blankIcon(24);
    // A four-pointed spark with a small one beside it: a new seed.
    shape(c, kWarm, [](double x, double y) {
        const double dx = std::fabs(x - 11), dy = std::fabs(y - 13);
        return std::sqrt(dx) + std::sqrt(dy) - std::sqrt(8.5);
    });
    shape(c, kCool, [](double x, double y) {
        const double dx = std::fabs(x - 18.5), dy = std::fabs(y - 5.5);
        return std::sqrt(dx) + std::sqrt(dy) - std::sqrt(3.2);
    });
    return c;
}
Canvas iconLoad() {
    Canvas c = blankIcon(24);
    roundRect(c, 2, 7, 22, 20, 2, kIconInk);
    roundRect(c, 2, 5, 10, 9, 1.5, kIconInk);
    roundRect(c, 3.5, 10, 20.5, 18.5, 1, rgb(255, 226, 160));
    segment(c, 12, 17, 12, 12, 2, kIconInk);
    segment(c, 12, 11.5, 9.5, 14, 2, kIconInk);
    segment(c, 12, 11.5, 14.5, 14, 2, kIconInk);
    return c;
}
Canvas iconSave() {
    Canvas c = blankIcon(24);
    roundRect(c, 3, 3, 21, 21, 2, kIconInk);
    roundRect(c, 6.5, 4.5, 17.5, 10, 1, rgb(255, 255, 255));
    roundRect(c, 6, 13, 18, 21, 1, rgb(205, 215, 235));
    segment(c, 14.5, 5.5, 14.5, 8.5, 1.8, kIconInk);
    return c;
}
Canvas iconPsd() {
    Canvas c = blankIcon(24);
    for (int i = 2; i >= 0; --i) {
        const double o = i * 4.0;
        shape(c, i == 0 ? kWarm : kIconInk, [o](double x, double y) {
            return std::fabs(x - 12) + 2 * std::fabs(y - (7 + o)) - 9;
        });
        shape(c, rgb(255, 255, 255), [o](double x, double y) {
            return std::fabs(x - 12) + 2 * std::fabs(y - (7 + o)) - 7.2;
        });
    }
    shape(c, kWarm, [](double x, double y) { return std::fabs(x - 12) + 2 * std::fabs(y - 7) - 7.2; });
    return c;
}
Canvas iconSunType(int type) {
    Canvas c = blankIcon(16);
    if (type == 1) {
        for (int k = 0; k < 8; ++k) {
            const double a = k * 3.14159265 / 4;
            segment(c, 8 + 5 * std::cos(a), 8 + 5 * std::sin(a), 8 + 7 * std::cos(a), 8 + 7 * std::sin(a), 1.2, kWarm);
        }
        disc(c, 8, 8, 3.8, rgb(250, 190, 70));
    } else if (type == 2) {
        disc(c, 8, 8, 6, rgb(244, 178, 80));
    } else {
        disc(c, 8, 8, 6.8, rgb(255, 214, 120));
        disc(c, 8, 8, 5, rgb(30, 34, 52));
    }
    return c;
}
Canvas iconLogo() {
    Canvas c = blankIcon(32);
    disc(c, 16, 16, 15, rgb(218, 168, 56));
    disc(c, 16, 16, 13, rgb(28, 36, 84));
    shape(c, rgb(255, 228, 150), [](double x, double y) {
        const double dx = std::fabs(x - 16), dy = std::fabs(y - 16);
        return std::sqrt(dx) + std::sqrt(dy) - std::sqrt(11.0);
    });
    disc(c, 16, 16, 3, rgb(255, 250, 225));
    return c;
}

// The closed hand of a pan drag: a fist seen from above, white with a dark
// outline, its hot spot in the middle.
Canvas cursorClosedHand() {
    Canvas c = blankIcon(32);
    const Rgba outline = rgb(0, 0, 0), skin = rgb(255, 255, 255);
    roundRect(c, 7, 10, 25, 26, 5, outline);
    for (int i = 0; i < 4; ++i) disc(c, 10.5 + 3.7 * i, 10.5, 3.0, outline);
    roundRect(c, 8.5, 11.5, 23.5, 24.5, 4, skin);
    for (int i = 0; i < 4; ++i) disc(c, 10.5 + 3.7 * i, 10.5, 1.8, skin);
    for (int i = 1; i < 4; ++i) segment(c, 8.9 + 3.7 * i, 9.5, 8.9 + 3.7 * i, 14.5, 0.9, outline);
    return c;
}

// The memory dots' pictures, 8 x 8 each, stacked in one strip: empty,
// filled, filled and kept, current, current and kept, then the five pressed
// (darker, as pushed in). Kept dots carry a warm ring; the current dot is
// lit white in the middle.
Canvas drawMemoryDots() {
    Canvas c(8, 80, kFace);
    for (int i = 0; i < 10; ++i) {
        const int kind = i % 5;
        const bool pressed = i >= 5;
        const double cy = 8 * i + 4;
        Canvas cell(8, 8, kFace);
        const Rgba hollow = rgb(250, 251, 253), edge = rgb(132, 140, 158);
        const Rgba filled = rgb(86, 128, 214), current = rgb(255, 206, 96);
        disc(cell, 4, 4, 3.6, edge);
        disc(cell, 4, 4, 2.7, kind == 0 ? hollow : kind <= 2 ? filled : current);
        if (kind == 2 || kind == 4) ring(cell, 4, 4, 3.4, 0.9, kWarm);
        if (kind >= 3) disc(cell, 4, 4, 1.1, rgb(255, 255, 255));
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                Rgba p = cell.at(x, y);
                if (pressed) p = mixc(p, rgb(40, 46, 60), 0.35);
                c.at(x, int(cy) - 4 + y) = p;
            }
    }
    return c;
}

// The centre dot's frame: a sunken round-cornered well around the 88 x 88
// picture, the picture area dark until a dot is shown.
Canvas drawCentreFrame() {
    Canvas c(96, 96, kWell);
    roundRect(c, 0, 0, 96, 96, 10, kWellShadow);
    roundRect(c, 1, 1, 95, 95, 9, rgb(250, 251, 253));
    roundRect(c, 3, 3, 93, 93, 3, rgb(132, 140, 158));
    fillRect(c, 4, 4, 92, 92, rgb(58, 63, 74));
    return c;
}

Canvas drawInformation() {
    // A quiet picture of the dialog's groups: a sun over a dusk sky and a
    // key of what each group draws, as coloured swatches.
    const int w = 666, h = 428;
    Canvas c(w, h, rgb(20, 24, 48));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double t = double(y) / h;
            Rgba sky = mixc(rgb(18, 24, 58), rgb(226, 120, 86), t * t * 1.3);
            const double d = std::hypot(x - 200.0, y - 230.0);
            const double glow = std::exp(-d / 70.0);
            const double rays = std::pow(std::fabs(std::cos(std::atan2(y - 230.0, x - 200.0) * 6)), 40) *
                                std::exp(-d / 180.0);
            sky = mixc(sky, rgb(255, 230, 170), glow * 0.9 + rays * 0.7);
            if (d < 44) sky = mixc(rgb(255, 150, 50), rgb(255, 246, 210), std::sqrt(1 - (d / 44) * (d / 44)));
            if (y > 330 + 8 * std::sin(x / 37.0)) sky = mixc(sky, rgb(24, 20, 36), 0.9);
            c.at(x, y) = sky;
        }
    ring(c, 200, 230, 120, 3, rgb(150, 200, 255, 0.5));
    const char* groups[] = {"Sun", "Flares", "Spikes", "Halo", "Bow", "Master Brightness"};
    const Rgba swatches[] = {rgb(250, 190, 70), rgb(255, 150, 120), rgb(255, 240, 200), rgb(150, 200, 255),
                             rgb(200, 150, 255), rgb(255, 255, 255)};
    for (int i = 0; i < 6; ++i) {
        roundRect(c, 430, 70 + 40 * i, 450, 90 + 40 * i, 4, swatches[i]);
        caption(c, 462, 77 + 40 * i, groups[i], rgb(255, 255, 255));
    }
    return c;
}

}  // namespace

bool writeDialogArtwork(const std::string& dir) {
    bool ok = writeBmp(drawBackground(), dir + "/dialog_background.bmp");
    ok = ok && writeBmp(drawTrack(kWarm), dir + "/track_first.bmp");
    ok = ok && writeBmp(drawTrack(kCool), dir + "/track_second.bmp");
    ok = ok && writeBmp(drawKnob(), dir + "/slider_knob.bmp");
    ok = ok && writeBmp(drawWell(true), dir + "/well_enabled.bmp");
    ok = ok && writeBmp(drawWell(false), dir + "/well_disabled.bmp");
    ok = ok && writeBmp(drawInformation(), dir + "/information.bmp");
    ok = ok && writeBmp(drawMemoryDots(), dir + "/memory_dots.bmp");
    ok = ok && writeBmp(drawCentreFrame(), dir + "/centre_frame.bmp");
    ok = ok && writeIco(iconNextGlue(), dir + "/icon_next_glue.ico");
    ok = ok && writeIco(iconZoom(false), dir + "/icon_zoom_out.ico");
    ok = ok && writeIco(iconZoom(true), dir + "/icon_zoom_in.ico");
    ok = ok && writeIco(iconInformation(), dir + "/icon_information.ico");
    ok = ok && writeIco(iconPresetsPage(), dir + "/icon_presets_page.ico");
    ok = ok && writeIco(iconDice(), dir + "/icon_dice.ico");
    ok = ok && writeIco(iconUndo(), dir + "/icon_undo.ico");
    ok = ok && writeIco(iconReset(), dir + "/icon_reset.ico");
    ok = ok && writeIco(iconEcce(), dir + "/icon_ecce.ico");
    ok = ok && writeIco(iconLoad(), dir + "/icon_load.ico");
    ok = ok && writeIco(iconSave(), dir + "/icon_save.ico");
    ok = ok && writeIco(iconPsd(), dir + "/icon_psd.ico");
    ok = ok && writeIco(iconSunType(1), dir + "/icon_sun_normal.ico");
    ok = ok && writeIco(iconSunType(2), dir + "/icon_sun_flat.ico");
    ok = ok && writeIco(iconSunType(3), dir + "/icon_sun_eclipse.ico");
    ok = ok && writeIco(iconLogo(), dir + "/icon_logo.ico");
    ok = ok && writeIco(cursorClosedHand(), dir + "/cursor_closed_hand.cur", 16, 16);
    return ok;
}
