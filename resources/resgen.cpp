// Writes the plug-in's property list and terminology resources, built from
// the settings table, as the files pipl.bin and aete.bin that the resource
// script includes verbatim. Runs on the build machine, also for the Windows
// build, whose resource bytes are the same on every platform.
// Usage: lf_resgen <output folder>
#include <cstdio>
#include <string>
#include <vector>

#include "params/plugin_resources.h"

namespace {

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    if (!writeFile(dir + "/pipl.bin", lumenfall::buildPipl()) ||
        !writeFile(dir + "/aete.bin", lumenfall::buildAete())) {
        std::fprintf(stderr, "%s: cannot write the resources into %s\n", argv[0], dir.c_str());
        return 1;
    }
    return 0;
}
