#include <windows.h>

#include <cstdio>

#include "platform/replacing_file.h"

namespace lumenfall {
namespace {
volatile LONG g_sequence = 0;

HANDLE asHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }
}  // namespace

ReplacingFile::~ReplacingFile() { abandon(); }

int32_t ReplacingFile::open(const char* path) {
    abandon();
    failed_ = false;
    if (path == nullptr || path[0] == 0) return kFileCannotOpen;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return kFileCannotOpen;
    target_ = path;
    // A short name beside the target: paths here live within MAX_PATH, so
    // the new file's path must not be longer than the target's.
    const size_t slash = target_.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
    char name[32];
    std::snprintf(name, sizeof name, "~lf%lx%lx.tmp", static_cast<unsigned long>(GetCurrentProcessId() & 0xFFFF),
                  static_cast<unsigned long>(InterlockedIncrement(&g_sequence)));
    temporary_ = folder + name;
    HANDLE file = CreateFileA(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        temporary_.clear();
        return kFileCannotOpen;
    }
    handle_ = reinterpret_cast<intptr_t>(file);
    return kFileOk;
}

bool ReplacingFile::write(const void* data, size_t size) {
    if (handle_ == kNoHandle || failed_) return false;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD piece = size > 0x40000000u ? 0x40000000u : DWORD(size);
        DWORD written = 0;
        if (!WriteFile(asHandle(handle_), bytes, piece, &written, nullptr) || written == 0) {
            failed_ = true;
            return false;
        }
        bytes += written;
        size -= written;
    }
    return true;
}

int32_t ReplacingFile::commit() {
    if (handle_ == kNoHandle) return kFileWriteError;
    bool ok = !failed_;
    HANDLE file = asHandle(handle_);
    handle_ = kNoHandle;
    if (ok && !FlushFileBuffers(file)) ok = false;
    if (!CloseHandle(file)) ok = false;
    if (ok && !MoveFileExA(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        ok = false;
    if (!ok) DeleteFileA(temporary_.c_str());
    temporary_.clear();
    return ok ? kFileOk : kFileWriteError;
}

void ReplacingFile::abandon() {
    if (handle_ == kNoHandle) return;
    CloseHandle(asHandle(handle_));
    handle_ = kNoHandle;
    DeleteFileA(temporary_.c_str());
    temporary_.clear();
}

}  // namespace lumenfall
