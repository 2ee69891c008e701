#include <cstdlib>
#include <cstring>

#include "platform/temp_folder.h"

namespace lumenfall {

bool temporaryFolder(char* folder, size_t capacity) {
    if (capacity == 0) return false;
    folder[0] = 0;
    const char* base = std::getenv("TMPDIR");
    if (base == nullptr || base[0] == 0) base = "/tmp/";
    const size_t length = std::strlen(base);
    const bool needsSeparator = base[length - 1] != '/';
    if (length + (needsSeparator ? 1 : 0) + 1 > capacity) return false;
    std::memcpy(folder, base, length);
    if (needsSeparator) folder[length] = '/';
    folder[length + (needsSeparator ? 1 : 0)] = 0;
    return true;
}

}  // namespace lumenfall
