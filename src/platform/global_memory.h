// Movable blocks of the platform's global memory: the stand-in for the host's
// handle suite when a host does not offer a usable one.
#ifndef LUMENFALL_PLATFORM_GLOBAL_MEMORY_H
#define LUMENFALL_PLATFORM_GLOBAL_MEMORY_H

#include <cstdint>

namespace lumenfall {

using MemoryHandle = char**;

MemoryHandle globalNew(int32_t size);  // zero-filled; null on failure or negative size
char* globalLock(MemoryHandle h);
void globalUnlock(MemoryHandle h);
void globalDispose(MemoryHandle h);
int32_t globalSize(MemoryHandle h);

}  // namespace lumenfall

#endif
