#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>

#include "platform/replacing_file.h"
#include "platform/unfinished_files.h"

namespace lumenfall {
namespace {

volatile LONG g_sequence = 0;

// A short name beside the target: paths here live within MAX_PATH, so the
// new file's path must not be longer than the target's.
std::string temporaryNameFor(const std::string& target) {
    const size_t slash = target.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    char name[32];
    std::snprintf(name, sizeof name, "~lf%lx%lx.tmp", static_cast<unsigned long>(GetCurrentProcessId() & 0xFFFF),
                  static_cast<unsigned long>(InterlockedIncrement(&g_sequence)));
    return folder + name;
}

int errnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME: return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_WRITE_PROTECT: return EACCES;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        default: return EIO;
    }
}

}  // namespace

void deleteFileInSignal(const char* path) { DeleteFileA(path); }

int32_t ReplacingFile::open(const char* path) {
    abandon();
    failed_ = false;
    problem_ = ReplaceProblem::kNone;
    systemError_ = 0;
    if (path == nullptr || path[0] == 0) return refuse(ReplaceProblem::kNoName, 0);
    target_ = path;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return refuse(ReplaceProblem::kFolder, EISDIR);

    temporary_ = temporaryNameFor(target_);
    record_ = recordUnfinishedFile(temporary_);
    // Shared for deletion, so that removeUnfinishedFiles can delete it
    // while it is open: it then goes when the process ends.
    HANDLE handle = CreateFileA(temporary_.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const int code = errnoOf(GetLastError());
        forget();
        return refuse(ReplaceProblem::kCannotCreate, code);
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        DeleteFileA(temporary_.c_str());
        forget();
        return refuse(ReplaceProblem::kCannotCreate, EMFILE);
    }
    stream_ = ::_fdopen(fd, "wb");
    if (stream_ == nullptr) {
        const int code = errno;
        ::_close(fd);
        DeleteFileA(temporary_.c_str());
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
    // _commit is FlushFileBuffers on the file's handle.
    if (ok && ::_commit(_fileno(stream_)) != 0) {
        ok = false;
        code = errno;
    }
    if (std::fclose(stream_) != 0 && ok) {
        ok = false;
        code = errno;
    }
    stream_ = nullptr;
    if (ok && !MoveFileExA(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        code = EACCES;
    }
    if (!ok) DeleteFileA(temporary_.c_str());
    forget();
    if (ok) return kFileOk;
    problem_ = ReplaceProblem::kWriteFailed;
    systemError_ = code;
    return kFileWriteError;
}

void ReplacingFile::abandon() {
    if (stream_ != nullptr) std::fclose(stream_);
    stream_ = nullptr;
    if (!temporary_.empty()) DeleteFileA(temporary_.c_str());
    forget();
}

}  // namespace lumenfall
