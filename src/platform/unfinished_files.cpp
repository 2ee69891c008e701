#include "platform/unfinished_files.h"

#include <atomic>
#include <cstring>

#include "platform/replacing_file.h"

namespace lumenfall {
namespace {

constexpr int kSlots = 64;
constexpr size_t kSlotBytes = 4096;
char g_names[kSlots][kSlotBytes];
std::atomic<bool> g_used[kSlots];

}  // namespace

int recordUnfinishedFile(const std::string& path) {
    if (path.empty() || path.size() + 1 > kSlotBytes) return -1;
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (g_used[i].load() || !g_used[i].compare_exchange_strong(expected, true)) continue;
        // The slot is claimed before its name is complete: the first byte
        // stays 0 until the rest is in, so a handler running now skips it.
        g_names[i][0] = 0;
        std::memcpy(g_names[i] + 1, path.c_str() + 1, path.size());
        std::atomic_signal_fence(std::memory_order_seq_cst);
        g_names[i][0] = path[0];
        return i;
    }
    return -1;
}

void releaseUnfinishedFile(int slot) {
    if (slot < 0 || slot >= kSlots) return;
    g_names[slot][0] = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    g_used[slot] = false;
}

void removeUnfinishedFiles() {
    for (int i = 0; i < kSlots; ++i) {
        if (!g_used[i].load() || g_names[i][0] == 0) continue;
        deleteFileInSignal(g_names[i]);
    }
}

}  // namespace lumenfall
