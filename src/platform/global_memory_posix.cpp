#include <cstdlib>

#include "platform/global_memory.h"

namespace lumenfall {
namespace {
// A handle is a pointer to the block's master pointer, as on the host side.
struct Block {
    char* data;
    int32_t size;
};
}  // namespace

MemoryHandle globalNew(int32_t size) {
    if (size < 0) return nullptr;
    Block* block = static_cast<Block*>(std::calloc(1, sizeof(Block)));
    if (!block) return nullptr;
    block->data = static_cast<char*>(std::calloc(1, size > 0 ? size_t(size) : 1));
    if (!block->data) {
        std::free(block);
        return nullptr;
    }
    block->size = size;
    return &block->data;
}

char* globalLock(MemoryHandle h) { return h ? *h : nullptr; }
void globalUnlock(MemoryHandle) {}

void globalDispose(MemoryHandle h) {
    if (!h) return;
    Block* block = reinterpret_cast<Block*>(h);
    std::free(block->data);
    std::free(block);
}

int32_t globalSize(MemoryHandle h) { return h ? reinterpret_cast<Block*>(h)->size : 0; }

}  // namespace lumenfall
