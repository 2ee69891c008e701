// The result codes of the file helpers, and opening files for reading that
// refuses what is not a plain file. Files are written through ReplacingFile
// (replacing_file.h).
#ifndef LUMENFALL_PLATFORM_FILE_IO_H
#define LUMENFALL_PLATFORM_FILE_IO_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace lumenfall {

// Results of the file helpers; they are not host result codes.
enum FileResult : int32_t {
    kFileOk = 0,
    kFileCannotOpen = 99,
    kFileReadError = -19,
    kFileWriteError = -20,
};

// Opens an existing plain file for binary reading; nullptr for a missing or
// unreadable path, a folder, a device or a pipe.
std::FILE* openFileForReading(const char* path);

}  // namespace lumenfall

#endif
