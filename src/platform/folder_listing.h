// The entries of a folder, and making a folder: what the HTML pages need to
// list a folder of presets and to create their pictures folder.
#ifndef LUMENFALL_PLATFORM_FOLDER_LISTING_H
#define LUMENFALL_PLATFORM_FOLDER_LISTING_H

#include <string>
#include <vector>

namespace lumenfall {

struct FolderEntry {
    std::string name;    // the entry's name alone
    bool isFolder;
    bool readOnly = false;  // a file we may not write
};

// Every entry of `folder` (a path with or without its final separator),
// without "." and "..", sorted by name byte by byte so a page lists the
// same folder the same way on every system. False when it cannot be read.
bool listFolder(const std::string& folder, std::vector<FolderEntry>* entries);

// Moves the file `from` to `to` only when `to` does not exist yet: an
// existing file is never replaced. False when nothing was moved.
bool moveFileWithoutReplacing(const std::string& from, const std::string& to);

// Whether anything (file, folder, link) exists at `path`.
bool pathExists(const std::string& path);

// Creates the folder; true when it exists afterwards (made now or before).
bool makeFolder(const std::string& folder);

// Removes the folder when it is empty; false otherwise.
bool removeEmptyFolder(const std::string& folder);

}  // namespace lumenfall

#endif
