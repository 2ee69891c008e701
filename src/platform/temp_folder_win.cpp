#include <windows.h>

#include <cstring>

#include "platform/temp_folder.h"

namespace lumenfall {

bool temporaryFolder(char* folder, size_t capacity) {
    if (capacity == 0) return false;
    folder[0] = 0;
    char buffer[MAX_PATH + 2];
    const DWORD length = GetTempPathA(sizeof buffer, buffer);
    const char* base = buffer;
    size_t baseLength = length;
    if (length == 0 || length >= sizeof buffer) {
        // The system gave no folder (or one longer than any path field).
        if (length >= sizeof buffer) return false;
        base = "C:\\Windows\\Temp\\";
        baseLength = std::strlen(base);
    }
    const bool needsSeparator = base[baseLength - 1] != '\\' && base[baseLength - 1] != '/';
    if (baseLength + (needsSeparator ? 1 : 0) + 1 > capacity) return false;
    std::memcpy(folder, base, baseLength);
    if (needsSeparator) folder[baseLength] = '\\';
    folder[baseLength + (needsSeparator ? 1 : 0)] = 0;
    return true;
}

}  // namespace lumenfall
