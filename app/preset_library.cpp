#include "preset_library.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "command_line.h"
#include "platform/folder_listing.h"
#include "platform/process_info.h"

namespace lumenfall {
namespace {

constexpr char kPresetEnding[] = ".q4q";

bool endsWith(const std::string& text, const std::string& ending) {
    return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

std::string withSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
    return folder;
}

bool isFolder(const std::string& path) {
    std::vector<FolderEntry> entries;
    return listFolder(path, &entries);
}

}  // namespace

std::string presetLibraryFolder() {
    if (const char* chosen = std::getenv("LUMENFALL_PRESETS"); chosen && *chosen) return withSeparator(chosen);
    const std::string program = executableFolder();
    if (program.empty()) return "";
    std::vector<std::string> candidates = {program + "presets/", program + "../../share/lumenfall/presets/"};
#ifdef LF_BUILD_TREE_BIN
    // Only the program of the build tree reads the repository's own library.
    if (program == withSeparator(LF_BUILD_TREE_BIN)) candidates.push_back(withSeparator(LF_SOURCE_PRESETS));
#endif
    for (const std::string& folder : candidates)
        if (isFolder(folder)) return folder;
    return "";
}

std::vector<std::string> presetLibraryNames(const std::string& folder) {
    std::vector<std::string> names;
    std::vector<FolderEntry> entries;
    if (folder.empty() || !listFolder(folder, &entries)) return names;
    for (const FolderEntry& e : entries)
        if (!e.isFolder && endsWith(e.name, kPresetEnding) && e.name.size() > sizeof kPresetEnding - 1)
            names.push_back(e.name.substr(0, e.name.size() - (sizeof kPresetEnding - 1)));
    std::sort(names.begin(), names.end());
    return names;
}

std::string resolvePresetArgument(const std::string& word) {
    const bool plainlyPath = word.find_first_of("/\\") != std::string::npos || endsWith(word, kPresetEnding);
    if (word.empty() || plainlyPath || pathExists(word)) return word;
    const std::string folder = presetLibraryFolder();
    if (folder.empty()) return word;
    const std::string inLibrary = folder + word + kPresetEnding;
    return pathExists(inLibrary) ? inLibrary : word;
}

int runPresetList(const std::vector<std::string>& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "lumenfall preset: list takes no arguments\nTry 'lumenfall preset --help'.\n");
        return kExitUsage;
    }
    const std::string folder = presetLibraryFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "lumenfall: no preset library found (set LUMENFALL_PRESETS to its folder)\n");
        return kExitFailure;
    }
    if (!isFolder(folder)) {
        std::fprintf(stderr, "lumenfall: cannot read the preset library %s\n", folder.c_str());
        return kExitFailure;
    }
    const std::vector<std::string> names = presetLibraryNames(folder);
    if (names.empty()) {
        std::fprintf(stderr, "lumenfall: the preset library %s holds no presets\n", folder.c_str());
        return kExitFailure;
    }
    for (const std::string& name : names) std::printf("%s\n", name.c_str());
    return kExitSuccess;
}

}  // namespace lumenfall
