// The sun over any rectangle of a picture, at any mipmap level: the plan of
// a whole layer (its size and the settings) is built once per level and
// shared read-only by every thread that renders a piece of it, so pieces
// of any size and shape give the pixels of one whole render.
#ifndef LUMENFALL_GIMP_SUN_REGION_H
#define LUMENFALL_GIMP_SUN_REGION_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "params/parameter_block.h"
#include "render/render_plan.h"

namespace lumenfall {

// Pixels as the renderer takes them: 8-bit samples, or 16-bit samples on
// the file scale 0..65535 (rendered on the plug-in's 0..32768 scale and
// converted back with rounding); grey or RGB, the last plane the layer's
// transparency when there is one. Interleaved, rows packed.
struct RegionFormat {
    int32_t depth;    // 8 or 16
    int32_t colours;  // 1 or 3
    bool alpha;
    int32_t planes() const { return colours + (alpha ? 1 : 0); }
    int32_t bytesPerPixel() const { return planes() * (depth == 16 ? 2 : 1); }
};

// A piece of the picture at a level: level-L pixel (x, y) covers the
// picture's pixels x * 2^L .. x * 2^L + 2^L - 1 (and the same for y).
struct RegionRect {
    int32_t x, y, width, height;
};

// The largest side the renderer accepts: beyond it the sizes the sun
// grows from no longer fit the renderer's arithmetic.
constexpr int32_t kLargestSide = 1 << 18;
constexpr int32_t kDeepestLevel = 16;

class SunPicture {
public:
    // `settings` as a scripted run would hand them to the plug-in; the
    // picture is width x height pixels at level 0.
    SunPicture(const ParameterBlock& settings, int32_t width, int32_t height);
    ~SunPicture();
    SunPicture(const SunPicture&) = delete;
    SunPicture& operator=(const SunPicture&) = delete;

    // Whether the size can be rendered (not empty, no side beyond kLargestSide).
    static bool sizeAccepted(int32_t width, int32_t height);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    const ParameterBlock& settings() const { return settings_; }
    // The rendered grid at a level: the picture's size divided by 2^level, rounded up.
    int32_t levelWidth(int32_t level) const;
    int32_t levelHeight(int32_t level) const;

    // Renders `rect` of `level`: `in` holds the source pixels of the
    // rectangle, `out` receives the result (both rect.width x rect.height,
    // rows packed; they may be the same memory). Parts of the rectangle
    // outside the level's grid are copied unchanged. False when the size or
    // level is refused or memory runs out (out then holds the source).
    bool render(int32_t level, const RegionFormat& format, const RegionRect& rect, const void* in, void* out);

private:
    struct LevelPlan;
    const LevelPlan* planFor(int32_t level);

    ParameterBlock settings_;
    int32_t width_;
    int32_t height_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<LevelPlan>> plans_;
};

}  // namespace lumenfall

#endif
