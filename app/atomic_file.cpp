#include "atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lumenfall {
namespace {

// Names of the new files not yet committed, kept in fixed storage so that a
// signal handler can remove them without allocating.
constexpr int kSlots = 64;
constexpr size_t kSlotBytes = 4096;
char g_slotNames[kSlots][kSlotBytes];
std::atomic<bool> g_slotUsed[kSlots];
std::atomic<unsigned> g_sequence{0};

int claimSlot(const std::string& name) {
    if (name.size() + 1 > kSlotBytes) return -1;
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (g_slotUsed[i].load() || !g_slotUsed[i].compare_exchange_strong(expected, true)) continue;
        // Marked used before the name is complete: write the name with the
        // slot blanked first, so a handler running now sees an empty name.
        g_slotNames[i][0] = 0;
        std::memcpy(g_slotNames[i] + 1, name.c_str() + 1, name.size());
        std::atomic_signal_fence(std::memory_order_seq_cst);
        g_slotNames[i][0] = name[0];
        return i;
    }
    return -1;
}

void releaseSlot(int slot) {
    if (slot < 0) return;
    g_slotNames[slot][0] = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    g_slotUsed[slot] = false;
}

std::string systemMessage(int code) { return std::strerror(code); }

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of(
#if defined(_WIN32)
        "\\/"
#else
        "/"
#endif
    );
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

OutputFile::~OutputFile() { abandon(); }

bool OutputFile::open(const std::string& target, std::string* error) {
    abandon();
    if (target == "-") {
#if defined(_WIN32)
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        stream_ = stdout;
        toStdout_ = true;
        return true;
    }
    if (target.empty()) {
        *error = "an empty output file name";
        return false;
    }
    target_ = target;
    std::error_code ec;
    namespace fs = std::filesystem;
    // A link to a file stays a link: the file it points to is replaced.
    if (fs::is_symlink(target_, ec)) {
        const fs::path resolved = fs::canonical(target_, ec);
        if (ec) {
            *error = "cannot write " + target + ": it is a link to a missing file";
            return false;
        }
        target_ = resolved.string();
    }
    const fs::file_status status = fs::status(target_, ec);
    const bool exists = fs::exists(status);
    if (exists && !fs::is_regular_file(status)) {
        *error = "cannot write " + target + ": it is " +
                 (fs::is_directory(status) ? std::string("a folder") : std::string("not a plain file"));
        return false;
    }
    const unsigned sequence = g_sequence.fetch_add(1);
#if defined(_WIN32)
    // A short name, so that a target close to the path length limit still
    // has room for its companion.
    temporary_ = folderOf(target_) + "~lf" + std::to_string(GetCurrentProcessId() % 100000) + "-" +
                 std::to_string(sequence) + ".tmp";
    slot_ = claimSlot(temporary_);
    const int fd = ::_open(temporary_.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    const std::string folder = folderOf(target_);
    const std::string base = target_.substr(folder.size());
    temporary_ = folder + "." + base.substr(0, 200) + ".lumenfall-" + std::to_string(::getpid()) + "-" +
                 std::to_string(sequence);
    slot_ = claimSlot(temporary_);
    const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
    if (fd < 0) {
        const int code = errno;
        releaseSlot(slot_);
        slot_ = -1;
        temporary_.clear();
        *error = "cannot create " + target + " (" + systemMessage(code) + ")";
        return false;
    }
#if !defined(_WIN32)
    struct stat existing {};
    if (exists && ::stat(target_.c_str(), &existing) == 0) (void)::fchmod(fd, existing.st_mode & 07777);
    stream_ = ::fdopen(fd, "wb");
#else
    stream_ = ::_fdopen(fd, "wb");
#endif
    if (!stream_) {
#if defined(_WIN32)
        ::_close(fd);
#else
        ::close(fd);
#endif
        abandon();
        *error = "cannot create " + target;
        return false;
    }
    return true;
}

bool OutputFile::commit(std::string* error) {
    if (!stream_) {
        *error = "nothing to write";
        return false;
    }
    const std::string shown = toStdout_ ? std::string("standard output") : target_;
    bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_);
    int code = ok ? 0 : errno;
    if (toStdout_) {
        stream_ = nullptr;
        toStdout_ = false;
        if (!ok) *error = "cannot write standard output (" + systemMessage(code) + ")";
        return ok;
    }
#if defined(_WIN32)
    if (ok && ::_commit(_fileno(stream_)) != 0) {
        ok = false;
        code = errno;
    }
#else
    if (ok && ::fsync(fileno(stream_)) != 0 && errno != EINVAL && errno != EROFS) {
        ok = false;
        code = errno;
    }
#endif
    if (std::fclose(stream_) != 0 && ok) {
        ok = false;
        code = errno;
    }
    stream_ = nullptr;
#if defined(_WIN32)
    if (ok && !MoveFileExA(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        code = EACCES;
    }
#else
    if (ok && ::rename(temporary_.c_str(), target_.c_str()) != 0) {
        ok = false;
        code = errno;
    }
#endif
    if (!ok) {
        abandon();
        *error = "cannot write " + shown + " (" + systemMessage(code) + "); an older file there is unchanged";
        return false;
    }
    releaseSlot(slot_);
    slot_ = -1;
    temporary_.clear();
    return true;
}

void OutputFile::abandon() {
    if (toStdout_) {
        if (stream_) std::fflush(stream_);
        stream_ = nullptr;
        toStdout_ = false;
        return;
    }
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
    if (!temporary_.empty()) std::remove(temporary_.c_str());
    temporary_.clear();
    releaseSlot(slot_);
    slot_ = -1;
}

bool writeTextFile(const std::string& target, const std::string& text, std::string* error) {
    OutputFile file;
    if (!file.open(target, error)) return false;
    if (std::fwrite(text.data(), 1, text.size(), file.stream()) != text.size()) {
        file.abandon();
        *error = "cannot write " + target;
        return false;
    }
    return file.commit(error);
}

void removeUncommittedFiles() {
    for (int i = 0; i < kSlots; ++i) {
        if (!g_slotUsed[i].load() || g_slotNames[i][0] == 0) continue;
#if defined(_WIN32)
        DeleteFileA(g_slotNames[i]);
#else
        ::unlink(g_slotNames[i]);
#endif
    }
}

bool sameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty() || a == "-" || b == "-") return false;
    namespace fs = std::filesystem;
    std::error_code ec1, ec2;
    if (fs::exists(a, ec1) && fs::exists(b, ec2)) {
        std::error_code ec;
        const bool same = fs::equivalent(a, b, ec);
        if (!ec) return same;
    }
    std::error_code ec;
    const fs::path pa = fs::weakly_canonical(fs::absolute(a, ec), ec);
    const fs::path pb = fs::weakly_canonical(fs::absolute(b, ec), ec);
    return pa == pb;
}

}  // namespace lumenfall
