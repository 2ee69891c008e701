#include <windows.h>

#include <cstdio>

#include "platform/file_io.h"

namespace lumenfall {

std::FILE* openFileForReading(const char* path) {
    if (path == nullptr || path[0] == 0) return nullptr;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return nullptr;
    return std::fopen(path, "rb");
}

}  // namespace lumenfall
