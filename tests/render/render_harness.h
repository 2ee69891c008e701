// A render session over plain records and a scripted host, for the driver tests.
#ifndef LUMENFALL_TESTS_RENDER_HARNESS_H
#define LUMENFALL_TESTS_RENDER_HARNESS_H

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "params/defaults.h"
#include "render/render_driver.h"
#include "render/tiled_image.h"

namespace lumenfall::test {

// Calls of the row renderer seen by the test double (see sun_row_double.cpp).
struct RowCall {
    int32_t row;
    int32_t first;
    int32_t last;
    int32_t step;
};
std::vector<RowCall>& rowCalls();

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

struct FakeHost {
    int32_t inputWidth = 0;
    int32_t outputWidth = 0;
    std::vector<std::pair<int32_t, int32_t>> progressCalls;
    std::vector<std::pair<int32_t, int32_t>> dialogProgressCalls;
    std::vector<int32_t> requestedRows;
    std::vector<int32_t> refreshedRows;
    int abortCalls = 0;
    bool abortAnswer = false;
    int advanceCalls = 0;
    int16_t advanceResult = 0;
    HostRects rects{};
    int previewScaleCalls = 0;
};

struct Harness {
    std::unique_ptr<ParameterBlock> block = std::make_unique<ParameterBlock>();
    std::unique_ptr<WorkBlock> work = std::make_unique<WorkBlock>();
    RenderGeometry geometry{};
    RowBuffer rowBuffer{};
    int16_t result = 0;
    CompositeTarget target{};
    FakeHost host;
    CountingAllocator allocator;
    RenderSession session{};

    Harness(int32_t width, int32_t height) {
        initialiseParameterBlock(*block);
        session.block = block.get();
        session.work = work.get();
        session.geometry = &geometry;
        session.rowBuffer = &rowBuffer;
        session.buffers = &allocator.table;
        session.result = &result;
        session.target = &target;
        session.host.context = &host;
        session.host.requestRow = [](void* c, int32_t row) {
            static_cast<FakeHost*>(c)->requestedRows.push_back(row);
        };
        session.host.progress = [](void* c, int32_t done, int32_t total) {
            static_cast<FakeHost*>(c)->progressCalls.emplace_back(done, total);
        };
        session.host.dialogProgress = [](void* c, int32_t done, int32_t total) {
            static_cast<FakeHost*>(c)->dialogProgressCalls.emplace_back(done, total);
        };
        session.host.abort = [](void* c) {
            auto* h = static_cast<FakeHost*>(c);
            ++h->abortCalls;
            return h->abortAnswer;
        };
        session.host.inputRectWidth = [](void* c) { return static_cast<FakeHost*>(c)->inputWidth; };
        session.host.outputRectWidth = [](void* c) { return static_cast<FakeHost*>(c)->outputWidth; };
        session.host.getHostRects = [](void* c, HostRects* r) { *r = static_cast<FakeHost*>(c)->rects; };
        session.host.setHostRects = [](void* c, const HostRects* r) { static_cast<FakeHost*>(c)->rects = *r; };
        session.host.applyPreviewScale = [](void* c) { ++static_cast<FakeHost*>(c)->previewScaleCalls; };
        session.host.refreshPreview = [](void* c, int32_t row) {
            static_cast<FakeHost*>(c)->refreshedRows.push_back(row);
        };
        host.outputWidth = width;
        host.rects.filterRect = RenderRect{0, 0, int16_t(height), int16_t(width)};
        geometry.renderRect = host.rects.filterRect;
        setRenderGeometry(session, geometry.renderRect, 1);
        rowCalls().clear();
    }
    ~Harness() { freeRowBuffer(session); }

    void withAdvanceState() {
        session.host.advanceState = [](void* c) -> int16_t {
            auto* h = static_cast<FakeHost*>(c);
            ++h->advanceCalls;
            return h->advanceResult;
        };
    }
};

}  // namespace lumenfall::test

#endif
