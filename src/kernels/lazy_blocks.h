// Caches that the render threads fill a block at a time, on first use: the
// work is shared by every thread instead of done before the first row, and
// blocks no pixel reaches are never written. A state byte per block says
// whether the block is ready; the first thread to claim an empty block
// fills it, the others wait the few microseconds that takes.
#ifndef LUMENFALL_KERNELS_LAZY_BLOCKS_H
#define LUMENFALL_KERNELS_LAZY_BLOCKS_H

#include <atomic>
#include <cstdint>
#include <thread>

namespace lumenfall {

enum : uint8_t { kBlockEmpty = 0, kBlockFilling = 1, kBlockReady = 2 };
static_assert(sizeof(std::atomic<uint8_t>) == 1, "block states are single bytes");

template <typename Fill>
[[gnu::noinline]] void fillBlockOnce(std::atomic<uint8_t>& state, Fill fill) {
    uint8_t expected = kBlockEmpty;
    if (state.compare_exchange_strong(expected, kBlockFilling, std::memory_order_acquire)) {
        fill();
        // Release: whoever reads the state as ready sees the filled block.
        state.store(kBlockReady, std::memory_order_release);
        return;
    }
    while (state.load(std::memory_order_acquire) != kBlockReady) std::this_thread::yield();
}

// Makes the block ready, calling fill() when this thread is the one to fill it.
template <typename Fill>
inline void prepareBlock(std::atomic<uint8_t>& state, Fill fill) {
    if (state.load(std::memory_order_acquire) != kBlockReady) fillBlockOnce(state, fill);
}

}  // namespace lumenfall

#endif
