// A private temporary folder for a test: TMPDIR points at it while the
// object lives, so the plug-in's own files never touch the machine's.
#ifndef LUMENFALL_TESTS_PARAMS_SCOPED_TEMP_FOLDER_H
#define LUMENFALL_TESTS_PARAMS_SCOPED_TEMP_FOLDER_H

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace lumenfall::testing {

class ScopedTempFolder {
public:
    ScopedTempFolder() {
        char pattern[] = "/tmp/lumenfall-test-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        folder_ = made ? std::string(made) + "/" : std::string("/tmp/");
        const char* old = std::getenv("TMPDIR");
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        ::setenv("TMPDIR", folder_.c_str(), 1);
    }
    ~ScopedTempFolder() {
        removeTree(folder_.substr(0, folder_.size() - 1));
        if (hadOld_) ::setenv("TMPDIR", old_.c_str(), 1);
        else ::unsetenv("TMPDIR");
    }
    ScopedTempFolder(const ScopedTempFolder&) = delete;
    ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;

    const std::string& folder() const { return folder_; }
    std::string path(const std::string& name) const { return folder_ + name; }

    // Names of the entries in the folder.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        if (DIR* d = ::opendir(folder_.c_str())) {
            while (dirent* e = ::readdir(d)) {
                const std::string n = e->d_name;
                if (n != "." && n != "..") names.push_back(n);
            }
            ::closedir(d);
        }
        return names;
    }

private:
    static void removeTree(const std::string& path) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) return;
        if (S_ISDIR(info.st_mode)) {
            if (DIR* d = ::opendir(path.c_str())) {
                while (dirent* e = ::readdir(d)) {
                    const std::string n = e->d_name;
                    if (n != "." && n != "..") removeTree(path + "/" + n);
                }
                ::closedir(d);
            }
            ::rmdir(path.c_str());
        } else {
            ::unlink(path.c_str());
        }
    }

    std::string folder_;
    std::string old_;
    bool hadOld_ = false;
};

inline std::vector<uint8_t> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

}  // namespace lumenfall::testing

#endif
