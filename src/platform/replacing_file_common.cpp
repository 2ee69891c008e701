#include <cerrno>

#include "platform/replacing_file.h"
#include "platform/unfinished_files.h"

namespace lumenfall {

ReplacingFile::~ReplacingFile() { abandon(); }

bool ReplacingFile::write(const void* data, size_t size) {
    if (stream_ == nullptr || failed_) return false;
    if (size > 0 && std::fwrite(data, 1, size, stream_) != size) {
        failed_ = true;
        systemError_ = errno;
        return false;
    }
    return true;
}

int32_t ReplacingFile::refuse(ReplaceProblem problem, int systemError) {
    problem_ = problem;
    systemError_ = systemError;
    return kFileCannotOpen;
}

void ReplacingFile::forget() {
    temporary_.clear();
    releaseUnfinishedFile(record_);
    record_ = -1;
}

int32_t writeFileReplacing(const char* path, const void* data, size_t size) {
    ReplacingFile file;
    const int32_t opened = file.open(path);
    if (opened != kFileOk) return opened;
    if (!file.write(data, size)) {
        file.abandon();
        return kFileWriteError;
    }
    return file.commit();
}

}  // namespace lumenfall
