// Memory for the row buffer and for tiles: the host's buffer suite when it
// offers one, plain allocation otherwise. The record is a table of callbacks
// so that the render pipeline never includes a host header.
#ifndef LUMENFALL_RENDER_BUFFER_ALLOCATOR_H
#define LUMENFALL_RENDER_BUFFER_ALLOCATOR_H

#include <cstddef>
#include <cstdint>

namespace lumenfall {

struct BufferAllocator {
    void* context;
    // Allocates and locks `bytes`; returns the memory and stores a non-zero
    // handle, or returns nullptr when the suite cannot give it.
    void* (*allocate)(void* context, size_t bytes, uint64_t* handle);
    // Unlocks and frees what allocate returned under `handle`.
    void (*release)(void* context, uint64_t handle);
};

// Memory taken from `allocator` when it has an allocate callback and it
// succeeds, else (only when `plainFallback` is set) from the plain allocator
// with handle 0. Returns nullptr when neither gives the memory.
void* allocateBuffer(const BufferAllocator* allocator, size_t bytes, bool plainFallback,
                     uint64_t* handle);

// Gives memory back the road it came: through the allocator when the handle
// is non-zero, by a plain free when it is 0. Safe on nullptr.
void releaseBuffer(const BufferAllocator* allocator, void* data, uint64_t handle);

}  // namespace lumenfall

#endif
