// The one way a file is replaced: the bytes go to a new file beside the
// target (the same folder, so the final rename never crosses file systems),
// and commit() flushes it to the disk and renames it over the target. Until
// then, and after any failed write, an abandon or the destructor, the target
// keeps its old bytes and the new file is removed. A target that is a link
// is resolved first, so the link survives and the file it names is replaced;
// an existing file keeps its permission bits. Every new file is recorded
// while it is open, so a signal handler can remove it (removeUnfinishedFiles).
#ifndef LUMENFALL_PLATFORM_REPLACING_FILE_H
#define LUMENFALL_PLATFORM_REPLACING_FILE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/file_io.h"

namespace lumenfall {

// Why a replace failed, for callers that explain it to a user.
enum class ReplaceProblem {
    kNone,
    kNoName,         // an empty path
    kLinkToNothing,  // a link whose file does not exist
    kFolder,         // the target is a folder
    kNotPlainFile,   // the target is a device, a pipe or a socket
    kCannotCreate,   // the new file could not be made (missing folder, no permission)
    kWriteFailed,    // a write, the flush, the close or the rename failed
};

class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile();  // abandons a file that was never committed
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the new file: kFileOk, or kFileCannotOpen (see problem()).
    int32_t open(const char* target);
    // False when the bytes could not all be written (a full disk); the file
    // then refuses every later commit.
    bool write(const void* data, size_t size);
    // The new file as a stream, for writers that take one; nullptr when
    // nothing is open. A failed write through it fails the commit.
    std::FILE* stream() const { return stream_; }
    // kFileOk, or kFileWriteError (the new file removed, the target as it was).
    int32_t commit();
    // Closes and removes the new file.
    void abandon();

    bool isOpen() const { return stream_ != nullptr; }
    ReplaceProblem problem() const { return problem_; }
    // The system's error number (errno) of the last failure, 0 when unknown.
    int systemError() const { return systemError_; }
    // The file that gets replaced: the target, or the file its link names.
    const std::string& targetPath() const { return target_; }
    // The new file's path while it is open (tests).
    const std::string& temporaryPath() const { return temporary_; }

private:
    int32_t refuse(ReplaceProblem problem, int systemError);
    void forget();  // clears the new file's name and its record

    std::string target_;
    std::string temporary_;
    std::FILE* stream_ = nullptr;
    int record_ = -1;
    bool failed_ = false;
    ReplaceProblem problem_ = ReplaceProblem::kNone;
    int systemError_ = 0;
};

// Replaces the content of `path` with `size` bytes through a ReplacingFile:
// kFileOk, kFileCannotOpen or kFileWriteError.
int32_t writeFileReplacing(const char* path, const void* data, size_t size);

// Removes every new file not yet committed or abandoned. Safe in a signal
// handler: it only deletes names recorded beforehand, allocating nothing.
void removeUnfinishedFiles();

}  // namespace lumenfall

#endif
