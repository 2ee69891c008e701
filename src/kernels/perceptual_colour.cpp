#include "kernels/perceptual_colour.h"

#include "kernels/numeric_bounds.h"

namespace lumenfall {

namespace {

// Sextant colour of hslToRgb once v (the largest channel) and m (the
// smallest) are known.
RgbF sextantColour(float h, float v, float m) {
    float sixH = 6.0f * h;
    float k = 0.0f;  // trunc(6h); an h outside 0..1 falls back to red
    int32_t sextant = 0;
    if (sixH >= 0.0f && sixH < 2147483648.0f) {
        int32_t whole = static_cast<int32_t>(sixH);
        k = static_cast<float>(whole);
        sextant = whole > 5 ? 0 : whole;  // h = 1.0 folds to red
    }
    float f = sixH - k;
    float t = v * ((v - m) / v) * f;
    float a = m + t;
    float b = v - t;
    switch (sextant) {
        case 0: return {v, a, m};
        case 1: return {b, v, m};
        case 2: return {m, v, a};
        case 3: return {m, b, v};
        case 4: return {a, m, v};
        default: return {v, m, b};
    }
}

int32_t luma(const int32_t c[3]) {
    return (77 * c[0] + 150 * c[1] + 28 * c[2]) >> 8;
}

void replaceByPerceptual(int32_t out[3], float h, float s, float perceivedL, int32_t fullScale) {
    RgbF rgb = fromPerceptualHsl(h, s, perceivedL);
    float m = static_cast<float>(fullScale);
    out[0] = saturateToInt32(m * rgb.r);
    out[1] = saturateToInt32(m * rgb.g);
    out[2] = saturateToInt32(m * rgb.b);
}

}  // namespace

Hsl rgbToHsl(float r, float g, float b) {
    float max = r > g ? r : g;
    if (b > max) max = b;
    float min = r < g ? r : g;
    if (b < min) min = b;
    Hsl out{0.0f, 0.0f, (max + min) / 2.0f};
    if (!(out.l > 0.0f)) return out;
    float d = max - min;
    if (!(d > 0.0f)) return out;
    out.s = out.l <= 0.5f ? d / (max + min) : d / (2.0f - max - min);

    // Each (max - c) / d is formed as (max - c) * (1 / d^3) * d^2.
    float d2 = d * d;
    float inverseD3 = 1.0f / (d2 * d);
    float rd = (max - r) * inverseD3 * d2;
    float gd = (max - g) * inverseD3 * d2;
    float bd = (max - b) * inverseD3 * d2;
    float h;
    if (r == max) {
        h = g != min ? 1.0f - gd : 5.0f + bd;
    } else if (g == max) {
        h = b != min ? 3.0f - bd : 1.0f + rd;
    } else {
        h = r == min ? 3.0f + gd : 5.0f - rd;
    }
    out.h = static_cast<float>(h * 0.16666667);
    return out;
}

RgbF hslToRgb(float h, float s, float l) {
    float v = l <= 0.5f ? (1.0f + s) * l : l + s - l * s;
    if (!(v > 0.0f)) return {0.0f, 0.0f, 0.0f};
    float m = 2.0f * l - v;
    return sextantColour(h, v, m);
}

double hueLuminance(float h, float s) {
    float v = (1.0f + s) * 0.5f;
    float m = 1.0f - v;
    if (!(v > 0.0f)) return 0.0;
    RgbF c = sextantColour(h, v, m);
    return 0.28 * c.r + 0.52 * c.g + 0.20 * c.b;
}

Hsl toPerceptualHsl(float r, float g, float b) {
    Hsl hsl = rgbToHsl(r, g, b);
    double y = hueLuminance(hsl.h, hsl.s);
    double l = hsl.l;
    double perceived = l <= 0.5 ? 2.0 * l * y : (l - 0.5) * 2.0 * (1.0 - y) + y;
    hsl.l = static_cast<float>(perceived);
    return hsl;
}

RgbF fromPerceptualHsl(float h, float s, float perceivedL) {
    double y = hueLuminance(h, s);
    if (y < 0.0) y = 0.0;
    if (y > 1.0) y = 1.0;
    double target = perceivedL;
    double l;
    if (target >= 1.0) {
        l = 1.0;
    } else if (!(target > 0.0)) {
        l = 0.0;  // also NaN
    } else if (target > y) {
        l = (target - y) / (1.0 - y) * 0.5 + 0.5;
    } else {
        l = target / y * 0.5;
    }
    return hslToRgb(h, s, static_cast<float>(l));
}

void blendColor(int32_t effect[3], const int32_t image[3], int32_t fullScale, float inverseFullScale) {
    Hsl hsl = toPerceptualHsl(static_cast<float>(effect[0]) * inverseFullScale,
                              static_cast<float>(effect[1]) * inverseFullScale,
                              static_cast<float>(effect[2]) * inverseFullScale);
    float perceivedL = static_cast<float>(luma(image)) * inverseFullScale;
    replaceByPerceptual(effect, hsl.h, hsl.s, perceivedL, fullScale);
}

void blendLuminance(int32_t effect[3], const int32_t image[3], int32_t fullScale,
                    float inverseFullScale) {
    Hsl hsl = toPerceptualHsl(static_cast<float>(image[0]) * inverseFullScale,
                              static_cast<float>(image[1]) * inverseFullScale,
                              static_cast<float>(image[2]) * inverseFullScale);
    float perceivedL = static_cast<float>(luma(effect)) * inverseFullScale;
    replaceByPerceptual(effect, hsl.h, hsl.s, perceivedL, fullScale);
}

}  // namespace lumenfall
