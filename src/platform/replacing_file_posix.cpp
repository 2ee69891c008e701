#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "platform/replacing_file.h"
#include "platform/unfinished_files.h"

namespace lumenfall {
namespace {

std::atomic<unsigned> g_sequence{0};

// A hidden name beside the target, short enough for any file system's name
// limit however long the target's name is.
std::string temporaryNameFor(const std::string& target) {
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string base = target.substr(folder.size());
    return folder + "." + base.substr(0, 200) + ".lumenfall-" + std::to_string(::getpid()) + "-" +
           std::to_string(g_sequence.fetch_add(1));
}

}  // namespace

void deleteFileInSignal(const char* path) { ::unlink(path); }

int32_t ReplacingFile::open(const char* path) {
    abandon();
    failed_ = false;
    problem_ = ReplaceProblem::kNone;
    systemError_ = 0;
    if (path == nullptr || path[0] == 0) return refuse(ReplaceProblem::kNoName, 0);
    target_ = path;
    struct stat link {};
    if (::lstat(path, &link) == 0 && S_ISLNK(link.st_mode)) {
        // Replace what the link names, so that the link survives.
        char* resolved = ::realpath(path, nullptr);
        if (resolved == nullptr) return refuse(ReplaceProblem::kLinkToNothing, errno);
        target_ = resolved;
        std::free(resolved);
    }
    struct stat existing {};
    const bool exists = ::stat(target_.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) return refuse(ReplaceProblem::kFolder, EISDIR);
    if (exists && !S_ISREG(existing.st_mode)) return refuse(ReplaceProblem::kNotPlainFile, 0);

    temporary_ = temporaryNameFor(target_);
    record_ = recordUnfinishedFile(temporary_);
    const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int code = errno;
        forget();
        return refuse(ReplaceProblem::kCannotCreate, code);
    }
    // A user's 0600 or 0640 must not become readable by others.
    if (exists) (void)::fchmod(fd, existing.st_mode & 07777);
    stream_ = ::fdopen(fd, "wb");
    if (stream_ == nullptr) {
        const int code = errno;
        ::close(fd);
        ::unlink(temporary_.c_str());
        forget();
        return refuse(ReplaceProblem::kCannotCreate, code);
    }
    return kFileOk;
}

int32_t ReplacingFile::commit() {
    if (stream_ == nullptr) {
        problem_ = ReplaceProblem::kWriteFailed;
        return kFileWriteError;
    }
    bool ok = !failed_;
    int code = systemError_;
    if (ok && (std::fflush(stream_) != 0 || std::ferror(stream_))) {
        ok = false;
        code = errno;
    }
    // File systems that cannot sync (a pipe-like device, a read-only mount
    // reached through a bind) say so with EINVAL or EROFS; the data is then
    // as safe as they make it.
    if (ok && ::fsync(fileno(stream_)) != 0 && errno != EINVAL && errno != EROFS) {
        ok = false;
        code = errno;
    }
    if (std::fclose(stream_) != 0 && ok) {
        ok = false;
        code = errno;
    }
    stream_ = nullptr;
    if (ok && ::rename(temporary_.c_str(), target_.c_str()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) ::unlink(temporary_.c_str());
    forget();
    if (ok) return kFileOk;
    problem_ = ReplaceProblem::kWriteFailed;
    systemError_ = code;
    return kFileWriteError;
}

void ReplacingFile::abandon() {
    if (stream_ != nullptr) std::fclose(stream_);
    stream_ = nullptr;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    forget();
}

}  // namespace lumenfall
