#include <cstring>

#include "platform/temp_folder.h"

namespace lumenfall {

bool joinPath(const char* folder, const char* name, char* path, size_t capacity) {
    if (capacity == 0) return false;
    path[0] = 0;
    const size_t a = std::strlen(folder);
    const size_t b = std::strlen(name);
    if (a + b + 1 > capacity) return false;
    std::memcpy(path, folder, a);
    std::memcpy(path + a, name, b);
    path[a + b] = 0;
    return true;
}

}  // namespace lumenfall
