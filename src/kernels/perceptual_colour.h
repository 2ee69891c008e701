// Hue-saturation-lightness with a perceived-lightness remapping, used by the
// "color" and "luminance" glue modes. Plain HSL lightness treats all hues
// alike; here the lightness is measured with fixed channel weights and mapped
// back through the hue's own luminance at HSL lightness 0.5.
// Single precision throughout, except the hue luminance's weighted sum and the
// lightness remapping, which are double.
#ifndef LUMENFALL_KERNELS_PERCEPTUAL_COLOUR_H
#define LUMENFALL_KERNELS_PERCEPTUAL_COLOUR_H

#include <cstdint>

namespace lumenfall {

struct Hsl {
    float h;  // 0..1, red at 0 or 1
    float s;
    float l;
};

struct RgbF {
    float r, g, b;
};

Hsl rgbToHsl(float r, float g, float b);
RgbF hslToRgb(float h, float s, float l);

// Weighted luminance (0.28, 0.52, 0.20) of the colour (h, s, 0.5).
double hueLuminance(float h, float s);

// HSL with the lightness replaced by perceived lightness.
Hsl toPerceptualHsl(float r, float g, float b);
RgbF fromPerceptualHsl(float h, float s, float perceivedL);

// Blends of integer pixels of full scale M (255 or 32768); the effect channels
// are replaced by the result. "color": effect hue and saturation at the image's
// luma. "luminance": image hue and saturation at the effect's luma.
void blendColor(int32_t effect[3], const int32_t image[3], int32_t fullScale, float inverseFullScale);
void blendLuminance(int32_t effect[3], const int32_t image[3], int32_t fullScale,
                    float inverseFullScale);

}  // namespace lumenfall

#endif
