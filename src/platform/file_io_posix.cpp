#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_io.h"

namespace lumenfall {

std::FILE* openFileForReading(const char* path) {
    if (path == nullptr || path[0] == 0) return nullptr;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) ::close(fd);
    return file;
}

}  // namespace lumenfall
