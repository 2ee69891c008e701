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
#else
#include <unistd.h>
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

// On POSIX systems the plug-in keeps its files in lumenfall-<uid> inside
// TMPDIR (with no XDG_RUNTIME_DIR set); folder() is that inner folder, so
// the plug-in's files and a test's own ones share it as on Windows.
class ScopedTempFolder {
public:
    ScopedTempFolder() {
        namespace fs = std::filesystem;
        std::error_code error;
        const fs::path base = fs::temp_directory_path(error);
        std::random_device random;
        for (int attempt = 0; attempt < 100 && outer_.empty(); ++attempt) {
            const fs::path candidate = base / ("lumenfall-test-" + std::to_string(random()));
            if (fs::create_directory(candidate, error)) outer_ = candidate.string() + char(fs::path::preferred_separator);
        }
        const char* old = std::getenv("TMPDIR");
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        setTempVariable(outer_.c_str());
#if defined(_WIN32)
        folder_ = outer_;
#else
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        hadRuntime_ = runtime != nullptr;
        if (runtime) oldRuntime_ = runtime;
        ::unsetenv("XDG_RUNTIME_DIR");
        folder_ = outer_ + "lumenfall-" + std::to_string(unsigned(::geteuid())) + "/";
        fs::create_directory(folder_, error);
        fs::permissions(folder_, fs::perms::owner_all, error);
#endif
    }
    ~ScopedTempFolder() {
        std::error_code error;
        if (!outer_.empty()) std::filesystem::remove_all(outer_, error);
        setTempVariable(hadOld_ ? old_.c_str() : nullptr);
#if !defined(_WIN32)
        if (hadRuntime_) ::setenv("XDG_RUNTIME_DIR", oldRuntime_.c_str(), 1);
#endif
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
    std::string outer_;
    std::string folder_;
    std::string old_;
    bool hadOld_ = false;
    std::string oldRuntime_;
    bool hadRuntime_ = false;
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
