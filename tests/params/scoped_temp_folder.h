// A private temporary folder for a test: TMPDIR points at it while the
// object lives, so the plug-in's own files never touch the machine's.
#ifndef LUMENFALL_TESTS_PARAMS_SCOPED_TEMP_FOLDER_H
#define LUMENFALL_TESTS_PARAMS_SCOPED_TEMP_FOLDER_H

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace lumenfall::testing {

// Sets or clears the variables the plug-in's temporary folder comes from:
// TMPDIR, and on Windows TMP and TEMP, which GetTempPath reads.
inline void setTempVariable(const char* value) {
#if defined(_WIN32)
    for (const char* name : {"TMPDIR", "TMP", "TEMP"}) {
        SetEnvironmentVariableA(name, value);
        _putenv_s(name, value ? value : "");
    }
#else
    if (value) ::setenv("TMPDIR", value, 1);
    else ::unsetenv("TMPDIR");
#endif
}

class ScopedTempFolder {
public:
    ScopedTempFolder() {
        namespace fs = std::filesystem;
        std::error_code error;
        const fs::path base = fs::temp_directory_path(error);
        std::random_device random;
        for (int attempt = 0; attempt < 100 && folder_.empty(); ++attempt) {
            const fs::path candidate = base / ("lumenfall-test-" + std::to_string(random()));
            if (fs::create_directory(candidate, error)) folder_ = candidate.string() + char(fs::path::preferred_separator);
        }
        const char* old = std::getenv("TMPDIR");
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        setTempVariable(folder_.c_str());
    }
    ~ScopedTempFolder() {
        std::error_code error;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, error);
        setTempVariable(hadOld_ ? old_.c_str() : nullptr);
    }
    ScopedTempFolder(const ScopedTempFolder&) = delete;
    ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;

    const std::string& folder() const { return folder_; }
    std::string path(const std::string& name) const { return folder_ + name; }

    // Names of the entries in the folder.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder_, error))
            names.push_back(entry.path().filename().string());
        return names;
    }

private:
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
