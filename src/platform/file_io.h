// Whole-file writes that never leave a half-written file behind, and opening
// files for reading that refuses what is not a plain file.
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

// Replaces the content of `path` with `size` bytes. The bytes go to a new
// file in the same folder, which is flushed, closed and then renamed over
// the target, so a failed write (a full disk, a file size limit) leaves the
// old file exactly as it was and never a mix of old and new bytes.
// kFileCannotOpen when the new file cannot be created (missing folder, no
// permission) or the target is not a plain file (a folder, a device);
// kFileWriteError when any write, the flush, the close or the rename fails.
// A target that is a symbolic link is resolved so that the link survives.
int32_t writeFileReplacing(const char* path, const void* data, size_t size);

// Opens an existing plain file for binary reading; nullptr for a missing or
// unreadable path, a folder, a device or a pipe.
std::FILE* openFileForReading(const char* path);

}  // namespace lumenfall

#endif
