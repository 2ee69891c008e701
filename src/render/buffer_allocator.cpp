#include "render/buffer_allocator.h"

#include <cstdlib>

namespace lumenfall {

void* allocateBuffer(const BufferAllocator* allocator, size_t bytes, bool plainFallback,
                     uint64_t* handle) {
    *handle = 0;
    if (allocator && allocator->allocate) {
        uint64_t h = 0;
        void* data = allocator->allocate(allocator->context, bytes, &h);
        if (data && h != 0) {
            *handle = h;
            return data;
        }
        if (data && allocator->release) allocator->release(allocator->context, h);
    }
    if (!plainFallback) return nullptr;
    return std::malloc(bytes ? bytes : 1);
}

void releaseBuffer(const BufferAllocator* allocator, void* data, uint64_t handle) {
    if (handle != 0) {
        if (allocator && allocator->release) allocator->release(allocator->context, handle);
        return;
    }
    std::free(data);
}

}  // namespace lumenfall
