// A render plan over default settings and storage of its own, and a
// counting allocator, for the render tests.
#ifndef LUMENFALL_TESTS_RENDER_HARNESS_H
#define LUMENFALL_TESTS_RENDER_HARNESS_H

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "params/defaults.h"
#include "render/buffer_allocator.h"
#include "render/render_plan.h"

namespace lumenfall::test {

// An allocator that counts and can be told to fail.
struct CountingAllocator {
    BufferAllocator table{};
    int allocations = 0;
    int releases = 0;
    int failAfter = -1;  // allocations that succeed before every later one fails; -1 never fails
    CountingAllocator() {
        table.context = this;
        table.allocate = [](void* c, size_t bytes, uint64_t* handle) -> void* {
            auto* self = static_cast<CountingAllocator*>(c);
            if (self->failAfter >= 0 && self->allocations >= self->failAfter) return nullptr;
            void* data = std::malloc(bytes ? bytes : 1);
            ++self->allocations;
            *handle = uint64_t(uintptr_t(data));
            return data;
        };
        table.release = [](void* c, uint64_t handle) {
            auto* self = static_cast<CountingAllocator*>(c);
            ++self->releases;
            std::free(reinterpret_cast<void*>(uintptr_t(handle)));
        };
    }
};

struct PlanHarness {
    std::unique_ptr<ParameterBlock> block = std::make_unique<ParameterBlock>();
    std::unique_ptr<RenderPlan> plan = std::make_unique<RenderPlan>();
    std::vector<uint16_t> sphere;
    int32_t width, height;

    PlanHarness(int32_t w, int32_t h) : width(w), height(h) { initialiseParameterBlock(*block); }

    // Builds the plan for the whole area with a SphereTable as wide as the
    // rows (or `rowWidth`).
    const RenderPlan& build(int32_t rowWidth = -1) {
        sphere.assign(size_t(std::max(rowWidth < 0 ? width : rowWidth, 0)) + 4, 0);
        PlanRequest request{};
        request.renderWidth = width;
        request.renderHeight = height;
        request.renderScale = block->renderScale;
        request.viewOriginX = block->viewOriginX;
        request.viewOriginY = block->viewOriginY;
        request.sphereStorage = sphere.data();
        request.sphereEntries = sphere.size();
        buildRenderPlan(*block, request, plan.get());
        return *plan;
    }
};

}  // namespace lumenfall::test

#endif
