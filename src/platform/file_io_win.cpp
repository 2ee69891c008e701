#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/file_io.h"

namespace lumenfall {
namespace {
volatile LONG g_sequence = 0;
}  // namespace

int32_t writeFileReplacing(const char* path, const void* data, size_t size) {
    if (path == nullptr || path[0] == 0) return kFileCannotOpen;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return kFileCannotOpen;

    // A short name beside the target: paths here live within MAX_PATH, so
    // the temporary file must not be longer than the file it replaces.
    const std::string target(path);
    const size_t slash = target.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    char name[32];
    std::snprintf(name, sizeof name, "~lf%lx%lx.tmp", static_cast<unsigned long>(GetCurrentProcessId() & 0xFFFF),
                  static_cast<unsigned long>(InterlockedIncrement(&g_sequence)));
    const std::string temporary = folder + name;
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return kFileCannotOpen;
    bool ok = true;
    const char* bytes = static_cast<const char*>(data);
    while (ok && size > 0) {
        const DWORD piece = size > 0x40000000u ? 0x40000000u : DWORD(size);
        DWORD written = 0;
        if (!WriteFile(file, bytes, piece, &written, nullptr) || written == 0) ok = false;
        bytes += written;
        size -= written;
    }
    if (ok && !FlushFileBuffers(file)) ok = false;
    if (!CloseHandle(file)) ok = false;
    if (ok && !MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) ok = false;
    if (!ok) {
        DeleteFileA(temporary.c_str());
        return kFileWriteError;
    }
    return kFileOk;
}

std::FILE* openFileForReading(const char* path) {
    if (path == nullptr || path[0] == 0) return nullptr;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return nullptr;
    return std::fopen(path, "rb");
}

}  // namespace lumenfall
