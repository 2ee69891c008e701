#include "sun_region.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "kernels/glue_compositor.h"
#include "kernels/host_band.h"
#include "kernels/sun_surface.h"
#include "params/host_samples.h"
#include "render/render_rows.h"
#include "render/row_target.h"

namespace lumenfall {
namespace {

// The largest surface memo lent to a render (as the plug-in lends it).
constexpr int32_t kMemoHalfCap = 2048;

// The rectangle's rows as the band the compositor writes: row r of the
// grid is row r - rect.y of the buffers, column c is column c - rect.x.
class RegionTarget : public RowTarget {
public:
    RegionTarget(const HostBand& band, const RegionRect& rect, int32_t width, int32_t height)
        : band_(band), rect_(rect), width_(width), height_(height) {}
    TargetShape shape() const override {
        return TargetShape{width_, height_, band_.depth, band_.planes, band_.editableTransparency, 1};
    }
    bool receive(const GlueSetup& glue, int32_t row, int32_t first, int32_t count,
                 const SunPixel* effect) override {
        return compositeBandSpan(glue, band_, BandWrite::Final, row, first - rect_.x, count, effect);
    }

private:
    const HostBand& band_;
    RegionRect rect_;
    int32_t width_;
    int32_t height_;
};

}  // namespace

struct SunPicture::LevelPlan {
    int32_t level = 0;
    RenderPlan plan;
    std::vector<uint16_t> sphere;
    std::unique_ptr<std::atomic<uint16_t>[]> memo;
};

SunPicture::SunPicture(const ParameterBlock& settings, int32_t width, int32_t height)
    : settings_(settings), width_(width), height_(height) {}

SunPicture::~SunPicture() = default;

bool SunPicture::sizeAccepted(int32_t width, int32_t height) {
    return width > 0 && height > 0 && width <= kLargestSide && height <= kLargestSide;
}

int32_t SunPicture::levelWidth(int32_t level) const {
    return int32_t((int64_t(width_) + (int64_t(1) << level) - 1) >> level);
}

int32_t SunPicture::levelHeight(int32_t level) const {
    return int32_t((int64_t(height_) + (int64_t(1) << level) - 1) >> level);
}

const SunPicture::LevelPlan* SunPicture::planFor(int32_t level) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& p : plans_)
        if (p->level == level) return p.get();
    std::unique_ptr<LevelPlan> made(new (std::nothrow) LevelPlan);
    if (!made) return nullptr;
    made->level = level;
    try {
        // As the plug-in sizes it: the row width plus 4 entries.
        made->sphere.assign(size_t(width_) + 4, 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    // A reduced level is the dialog's preview geometry: the whole picture's
    // sizes and centre, every 2^level-th pixel.
    PlanRequest request;
    request.renderWidth = width_;
    request.renderHeight = height_;
    request.renderScale = 1 << level;
    request.viewOriginX = 0;
    request.viewOriginY = 0;
    request.sphereStorage = made->sphere.data();
    request.sphereEntries = made->sphere.size();
    buildRenderPlan(settings_, request, &made->plan);
    const int32_t half = std::min(made->plan.surfaceMemoHalf, kMemoHalfCap);
    if (half > 0) {
        // Without the memory the render computes every value: slower, the same.
        const size_t cells = surfaceMemoBytes(half) / sizeof(uint16_t);
        made->memo.reset(new (std::nothrow) std::atomic<uint16_t>[cells]);
        if (made->memo) {
            made->plan.surfaceMemo = SurfaceMemo{made->memo.get(), half};
            clearSurfaceMemo(made->plan.surfaceMemo);
        }
    }
    plans_.push_back(std::move(made));
    return plans_.back().get();
}

bool SunPicture::render(int32_t level, const RegionFormat& format, const RegionRect& rect, const void* in,
                        void* out) {
    const size_t bytes = size_t(std::max(rect.width, 0)) * size_t(std::max(rect.height, 0)) *
                         size_t(format.bytesPerPixel());
    if (bytes == 0) return true;
    if (out != in) std::memmove(out, in, bytes);
    if (!sizeAccepted(width_, height_) || level < 0 || level > kDeepestLevel) return false;
    if ((format.depth != 8 && format.depth != 16) || (format.colours != 1 && format.colours != 3)) return false;
    const LevelPlan* levelPlan = planFor(level);
    if (!levelPlan) return false;

    const int32_t planes = format.planes();
    const size_t samples = bytes / size_t(format.depth == 16 ? 2 : 1);
    std::vector<uint16_t> wide;
    uint8_t* pixels = static_cast<uint8_t*>(out);
    if (format.depth == 16) {
        try {
            wide.resize(samples);
        } catch (const std::bad_alloc&) {
            return false;
        }
        const uint16_t* file = static_cast<const uint16_t*>(out);
        for (size_t i = 0; i < samples; ++i) wide[i] = fileToHost16(file[i]);
        pixels = reinterpret_cast<uint8_t*>(wide.data());
    }
    HostBand band{};
    band.inData = pixels;
    band.outData = pixels;
    band.inRowBytes = band.outRowBytes = rect.width * format.bytesPerPixel();
    band.maskData = nullptr;
    band.inFirstRow = band.outFirstRow = rect.y;
    band.inRowCount = band.outRowCount = rect.height;
    band.planes = planes;
    band.depth = format.depth;
    band.editableTransparency = format.alpha;
    RegionTarget target(band, rect, levelWidth(level), levelHeight(level));
    const RenderStatus status = renderRegion(levelPlan->plan, target, rect.y, rect.y + rect.height,
                                             RegionColumns{rect.x, rect.x + rect.width});
    if (format.depth == 16) {
        uint16_t* file = static_cast<uint16_t*>(out);
        for (size_t i = 0; i < samples; ++i) file[i] = fileSampleAfter(file[i], wide[i]);
    }
    return status == RenderStatus::Done;
}

}  // namespace lumenfall
