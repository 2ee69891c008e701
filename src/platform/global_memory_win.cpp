#include <windows.h>

#include "platform/global_memory.h"

namespace lumenfall {

// GlobalAlloc's movable handles are opaque; only these functions look inside.
MemoryHandle globalNew(int32_t size) {
    if (size < 0) return nullptr;
    return reinterpret_cast<MemoryHandle>(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(size > 0 ? size : 1)));
}

char* globalLock(MemoryHandle h) {
    return h ? static_cast<char*>(GlobalLock(reinterpret_cast<HGLOBAL>(h))) : nullptr;
}

void globalUnlock(MemoryHandle h) {
    if (h) GlobalUnlock(reinterpret_cast<HGLOBAL>(h));
}

void globalDispose(MemoryHandle h) {
    if (h) GlobalFree(reinterpret_cast<HGLOBAL>(h));
}

int32_t globalSize(MemoryHandle h) {
    return h ? int32_t(GlobalSize(reinterpret_cast<HGLOBAL>(h))) : 0;
}

}  // namespace lumenfall
