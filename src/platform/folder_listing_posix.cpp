#include <dirent.h>
#include <sys/stat.h>

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
        const bool folderEntry = ::stat((base + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        entries->push_back({name, folderEntry});
    }
    ::closedir(dir);
    std::sort(entries->begin(), entries->end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return true;
}

bool makeFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0777) == 0) return true;
    struct stat info {};
    return errno == EEXIST && ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace lumenfall
