#include <windows.h>

#include <algorithm>

#include "platform/folder_listing.h"

namespace lumenfall {

bool listFolder(const std::string& folder, std::vector<FolderEntry>* entries) {
    entries->clear();
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
    pattern += "*.*";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        entries->push_back({name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                            (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0});
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(entries->begin(), entries->end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return true;
}

bool moveFileWithoutReplacing(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING an existing target makes the move fail.
    return MoveFileExA(from.c_str(), to.c_str(), 0) != 0;
}

bool pathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool makeFolder(const std::string& folder) {
    if (CreateDirectoryA(folder.c_str(), nullptr)) return true;
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool removeEmptyFolder(const std::string& folder) { return RemoveDirectoryA(folder.c_str()) != 0; }

}  // namespace lumenfall
