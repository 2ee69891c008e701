#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/temp_folder.h"

namespace lumenfall {

// A folder of this user's own, so that nobody else can read, replace or
// plant the plug-in's files: $XDG_RUNTIME_DIR/lumenfall when the session has
// a runtime folder, else lumenfall-<uid> in $TMPDIR or /tmp. It is created
// with mode 0700; one that is a link, is not a folder or belongs to someone
// else is refused (no folder: every file is treated as one that cannot be
// opened).
bool temporaryFolder(char* folder, size_t capacity) {
    if (capacity == 0) return false;
    folder[0] = 0;
    std::string path;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        path = runtime;
        if (path.back() != '/') path += '/';
        path += "lumenfall";
    } else {
        const char* base = std::getenv("TMPDIR");
        if (base == nullptr || base[0] == 0) base = "/tmp";
        path = base;
        if (path.back() != '/') path += '/';
        path += "lumenfall-" + std::to_string(unsigned(::geteuid()));
    }
    // The folder, its separator and the terminator must fit before anything is created.
    if (path.size() + 2 > capacity) return false;
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) return false;
    if ((info.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) return false;
    path += '/';
    std::memcpy(folder, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace lumenfall
