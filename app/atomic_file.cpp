#include "atomic_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace lumenfall {
namespace {

std::string systemMessage(int code) { return code != 0 ? std::strerror(code) : std::strerror(EIO); }

std::string whyNotOpened(const std::string& target, const ReplacingFile& file) {
    switch (file.problem()) {
        case ReplaceProblem::kNoName: return "an empty output file name";
        case ReplaceProblem::kLinkToNothing: return "cannot write " + target + ": it is a link to a missing file";
        case ReplaceProblem::kFolder: return "cannot write " + target + ": it is a folder";
        case ReplaceProblem::kNotPlainFile: return "cannot write " + target + ": it is not a plain file";
        default: return "cannot create " + target + " (" + systemMessage(file.systemError()) + ")";
    }
}

}  // namespace

OutputFile::~OutputFile() { abandon(); }

bool OutputFile::open(const std::string& target, std::string* error) {
    abandon();
    if (target == "-") {
#if defined(_WIN32)
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        toStdout_ = true;
        return true;
    }
    target_ = target;
    if (file_.open(target.c_str()) == kFileOk) return true;
    *error = whyNotOpened(target, file_);
    return false;
}

bool OutputFile::commit(std::string* error) {
    if (toStdout_) {
        toStdout_ = false;
        const bool ok = std::fflush(stdout) == 0 && !std::ferror(stdout);
        if (!ok) *error = "cannot write standard output (" + systemMessage(errno) + ")";
        return ok;
    }
    if (!file_.isOpen()) {
        *error = "nothing to write";
        return false;
    }
    const std::string shown = file_.targetPath();
    if (file_.commit() == kFileOk) return true;
    *error = "cannot write " + shown + " (" + systemMessage(file_.systemError()) + "); an older file there is unchanged";
    return false;
}

void OutputFile::abandon() {
    if (toStdout_) {
        std::fflush(stdout);
        toStdout_ = false;
        return;
    }
    file_.abandon();
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
