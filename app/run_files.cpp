#include "run_files.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "atomic_file.h"

namespace lumenfall {

bool writtenFilesStandApart(const std::vector<RunFile>& files, std::string* error) {
    for (size_t w = 0; w < files.size(); ++w) {
        if (!files[w].written) continue;
        for (size_t other = 0; other < files.size(); ++other) {
            if (other == w || (files[other].written && other > w)) continue;
            if (sameFile(files[w].path, files[other].path)) {
                *error = files[w].role + " " + files[w].path + " is also " + files[other].role +
                         (files[other].path != files[w].path ? " (" + files[other].path + ")" : std::string()) +
                         "; give it another name";
                return false;
            }
        }
    }
    return true;
}

std::string otherKindsEnding(const std::string& path, const std::string& ownEndings, const std::string& written) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ending = path.substr(dot);
    for (char& c : ending) c = char(std::tolower(static_cast<unsigned char>(c)));
    const std::string known = " .png .jpg .jpeg .tif .tiff .psd .q4q .html .htm ";
    if (known.find(" " + ending + " ") == std::string::npos) return "";
    if ((" " + ownEndings + " ").find(" " + ending + " ") != std::string::npos) return "";
    return "the output " + path + " is named as a " + ending + " file, but " + written +
           " is written; rename it or give --force-name";
}

std::string cannotOpen(const std::string& path, int errorNumber) {
    return "cannot open " + path + " (" + std::strerror(errorNumber) + ")";
}

std::string whyCannotCreate(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(path, ec)) return "it is a folder";
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) folder = ".";
    if (!fs::exists(folder, ec)) return "the folder " + folder.string() + " does not exist";
    if (!fs::is_directory(folder, ec)) return folder.string() + " is not a folder";
    // Try it: the system's own answer, then nothing is left behind.
    const std::string probe = (folder / (".lumenfall-probe-" + std::to_string(std::rand()))).string();
    errno = 0;
    if (std::FILE* f = std::fopen(probe.c_str(), "wb")) {
        std::fclose(f);
        std::remove(probe.c_str());
        return "the disk refused it";
    }
    return std::strerror(errno);
}

int readIccProfileFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
    bytes->clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *error = cannotOpen(path, errno);
        return 1;
    }
    char buffer[65536];
    size_t n;
    // A profile is small; a folder or a device is no profile either.
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0 && bytes->size() < (64u << 20))
        bytes->insert(bytes->end(), buffer, buffer + n);
    const bool failed = std::ferror(file) != 0;
    const int readError = errno;
    std::fclose(file);
    if (failed) {
        *error = "cannot read " + path + " (" + std::strerror(readError) + ")";
        return 1;
    }
    const auto big = [&](size_t at) {
        return uint32_t((*bytes)[at]) << 24 | uint32_t((*bytes)[at + 1]) << 16 | uint32_t((*bytes)[at + 2]) << 8 |
               uint32_t((*bytes)[at + 3]);
    };
    if (bytes->size() < 132 || big(0) < 132 || big(0) > bytes->size() ||
        std::memcmp(bytes->data() + 36, "acsp", 4) != 0) {
        *error = path + " is not an ICC colour profile (its header's size field and 'acsp' signature do not match)";
        bytes->clear();
        return 2;
    }
    bytes->resize(big(0));  // what follows the profile is not part of it
    return 0;
}

}  // namespace lumenfall
