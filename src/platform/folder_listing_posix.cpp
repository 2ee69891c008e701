#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/folder_listing.h"

namespace lumenfall {

bool listFolder(const std::string& folder, std::vector<FolderEntry>* entries) {
    entries->clear();
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return false;
    std::string base = folder;
    if (!base.empty() && base.back() != '/') base += '/';
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat info {};
        const std::string path = base + name;
        const bool folderEntry = ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        entries->push_back({name, folderEntry, ::access(path.c_str(), W_OK) != 0});
    }
    ::closedir(dir);
    std::sort(entries->begin(), entries->end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return true;
}

bool moveFileWithoutReplacing(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
#endif
    // A file system without the atomic form: a hard link refuses an
    // existing target just the same.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    return ::unlink(from.c_str()) == 0;
}

bool pathExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool makeFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0777) == 0) return true;
    struct stat info {};
    return errno == EEXIST && ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool removeEmptyFolder(const std::string& folder) { return ::rmdir(folder.c_str()) == 0; }

}  // namespace lumenfall
