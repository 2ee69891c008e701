#include "kernels/sun_renderer.h"

#include "kernels/glue_compositor.h"
#include "kernels/sun_elements.h"
#include "kernels/sun_surface.h"

namespace lumenfall {

namespace {

constexpr int16_t kResultOutOfMemory = -108;

bool hasDestination(const CompositeTarget& target) {
    if (target.renderTarget == kTargetTiledImage) {
        return target.tiled.image != nullptr && target.tiled.readPixel != nullptr &&
               target.tiled.writePixel != nullptr;
    }
    return target.band.inData != nullptr && target.band.outData != nullptr;
}

}  // namespace

void renderSunRow(const SunRowContext& context, int32_t row, int32_t first, int32_t last,
                  int32_t step) {
    if (context.target == nullptr) return;
    if (!hasDestination(*context.target)) {
        if (context.target->renderTarget != kTargetTiledImage && context.hostResult != nullptr) {
            *context.hostResult = kResultOutOfMemory;
        }
        return;
    }
    SunRowSetup setup;
    if (!setUpSunRow(context, &setup)) return;
    SurfaceTables surface = surfaceTablesFrom(*context.block, *context.work);
    limitSmearWalk(surface, context.block->sunSmear,
                   settingSize(context.block->sunRadius, context.renderWidth, context.renderHeight));
    const GlueContext glue{context.target, context.block->glue, context.work->proceduralWeights};
    const float inverseScale = 1.0f / setup.floatScale;
    // Only columns inside the image: the compositor would clamp any other
    // column onto the edge and overwrite the edge pixel with a wrong effect.
    const int64_t stride = step < 1 ? 1 : step;
    int64_t start = first;
    if (start < 0) start += (-start + stride - 1) / stride * stride;
    const int64_t end = last < context.target->width - 1 ? last : context.target->width - 1;
    for (int64_t x = start; x <= end; x += stride) {
        SunPixel pixel = computeSunPixel(context, setup, surface, static_cast<int32_t>(x), row);
        const float effect[4] = {static_cast<float>(pixel.rgb[0]) * inverseScale,
                                 static_cast<float>(pixel.rgb[1]) * inverseScale,
                                 static_cast<float>(pixel.rgb[2]) * inverseScale,
                                 setup.floatScale};
        compositePixel(glue, static_cast<int32_t>(x), row, effect, pixel.rimWeight);
    }
}

}  // namespace lumenfall
