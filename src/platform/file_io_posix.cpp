#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "platform/file_io.h"

namespace lumenfall {
namespace {

std::atomic<unsigned> g_sequence{0};

bool writeAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

}  // namespace

int32_t writeFileReplacing(const char* path, const void* data, size_t size) {
    if (path == nullptr || path[0] == 0) return kFileCannotOpen;
    std::string target = path;
    struct stat link {};
    if (::lstat(path, &link) == 0 && S_ISLNK(link.st_mode)) {
        char* resolved = ::realpath(path, nullptr);
        if (resolved == nullptr) return kFileCannotOpen;
        target = resolved;
        std::free(resolved);
    }
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) return kFileCannotOpen;

    const std::string temporary = target + ".tmp-" + std::to_string(::getpid()) + "-" +
                                  std::to_string(g_sequence.fetch_add(1));
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return kFileCannotOpen;
    bool ok = true;
    if (exists) (void)::fchmod(fd, existing.st_mode & 07777);
    ok = writeAll(fd, static_cast<const uint8_t*>(data), size);
    if (ok && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) {
        ::unlink(temporary.c_str());
        return kFileWriteError;
    }
    return kFileOk;
}

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
