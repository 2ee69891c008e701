// A file written piece by piece that replaces its target only when it is
// complete: the bytes go to a new file beside the target (the same folder,
// so the final rename never crosses file systems), and commit() flushes it
// to the disk and renames it over the target. Until then, and after any
// failed write, an abandon or the destructor, the target keeps its old
// bytes and the new file is removed.
#ifndef LUMENFALL_PLATFORM_REPLACING_FILE_H
#define LUMENFALL_PLATFORM_REPLACING_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file_io.h"

namespace lumenfall {

class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the new file. kFileCannotOpen when the folder is missing or not
    // writable, or the target is not a plain file (a folder, a device).
    int32_t open(const char* target);
    // False when the bytes could not all be written (a full disk); the file
    // then refuses every later write and commit.
    bool write(const void* data, size_t size);
    // kFileOk, or kFileWriteError (the new file removed, the target as it was).
    int32_t commit();
    // Closes and removes the new file.
    void abandon();
    bool isOpen() const { return handle_ != kNoHandle; }
    // The new file's path while it is open (tests).
    const std::string& temporaryPath() const { return temporary_; }

private:
    static constexpr intptr_t kNoHandle = -1;
    std::string target_;
    std::string temporary_;
    intptr_t handle_ = kNoHandle;
    bool failed_ = false;
    uint32_t mode_ = 0;
    bool keepMode_ = false;
};

}  // namespace lumenfall

#endif
