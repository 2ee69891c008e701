#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "platform/replacing_file.h"

namespace lumenfall {
namespace {
std::atomic<unsigned> g_sequence{0};
}  // namespace

ReplacingFile::~ReplacingFile() { abandon(); }

int32_t ReplacingFile::open(const char* path) {
    abandon();
    failed_ = false;
    if (path == nullptr || path[0] == 0) return kFileCannotOpen;
    target_ = path;
    struct stat link {};
    if (::lstat(path, &link) == 0 && S_ISLNK(link.st_mode)) {
        // Replace what the link names, so that the link survives.
        char* resolved = ::realpath(path, nullptr);
        if (resolved == nullptr) return kFileCannotOpen;
        target_ = resolved;
        std::free(resolved);
    }
    struct stat existing {};
    keepMode_ = ::stat(target_.c_str(), &existing) == 0;
    if (keepMode_ && !S_ISREG(existing.st_mode)) return kFileCannotOpen;
    mode_ = existing.st_mode & 07777;
    temporary_ = target_ + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(g_sequence.fetch_add(1));
    const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        temporary_.clear();
        return kFileCannotOpen;
    }
    if (keepMode_) (void)::fchmod(fd, mode_);
    handle_ = fd;
    return kFileOk;
}

bool ReplacingFile::write(const void* data, size_t size) {
    if (handle_ == kNoHandle || failed_) return false;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(int(handle_), bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed_ = true;
            return false;
        }
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

int32_t ReplacingFile::commit() {
    if (handle_ == kNoHandle) return kFileWriteError;
    bool ok = !failed_;
    const int fd = int(handle_);
    handle_ = kNoHandle;
    if (ok && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(temporary_.c_str(), target_.c_str()) != 0) ok = false;
    if (!ok) ::unlink(temporary_.c_str());
    temporary_.clear();
    return ok ? kFileOk : kFileWriteError;
}

void ReplacingFile::abandon() {
    if (handle_ == kNoHandle) return;
    ::close(int(handle_));
    handle_ = kNoHandle;
    ::unlink(temporary_.c_str());
    temporary_.clear();
}

}  // namespace lumenfall
