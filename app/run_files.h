// The files one run of a command touches, checked before anything is read:
// no file it writes may be a file it reads or another file it writes, also
// through another path, a link or a hard link.
#ifndef LUMENFALL_APP_RUN_FILES_H
#define LUMENFALL_APP_RUN_FILES_H

#include <cstdint>
#include <string>
#include <vector>

namespace lumenfall {

struct RunFile {
    std::string role;   // "the input", "the preset", "the output"... for the message
    std::string path;   // empty or "-": nothing on the disk
    bool written = false;
};

// False with a message naming both roles when a written file is any other
// file of the list.
bool writtenFilesStandApart(const std::vector<RunFile>& files, std::string* error);

// Reads a colour profile for --icc. Returns 0 with the bytes, 1 when the file
// cannot be read (the message gives the system's reason) or 2 when it is not
// an ICC profile (its size field and its 'acsp' signature disagree).
int readIccProfileFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);

// When `path` ends in the ending of a file kind of ours other than
// `ownEndings` (a list such as ".html .htm"): a message for the usage error
// that --force-name lifts. Empty when the name is fine.
std::string otherKindsEnding(const std::string& path, const std::string& ownEndings, const std::string& written);

// "cannot open FILE (reason)" with the system's words for errno.
std::string cannotOpen(const std::string& path, int errorNumber);

// Why a new file at `path` cannot be made, in the system's words where it
// has them: a missing folder, a folder we may not write, a folder in the way.
std::string whyCannotCreate(const std::string& path);

}  // namespace lumenfall

#endif
