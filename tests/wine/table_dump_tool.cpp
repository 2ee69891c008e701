// Prints every render table for a fixed set of settings and image sizes. The
// native and the Windows build must print the same bytes: a difference
// names the table whose arithmetic differs between the two builds.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "params/defaults.h"
#include "render/table_dump.h"

using namespace lumenfall;

namespace {

struct DumpCase {
    const char* name;
    int32_t width;
    int32_t height;
    void (*adjust)(ParameterBlock&);
};

const DumpCase kCases[] = {
    {"defaults 1280x800", 1280, 800, [](ParameterBlock&) {}},
    {"gamma and detail steps 750x1000", 750, 1000,
     [](ParameterBlock& b) {
         b.haloBrightness = 49;
         b.spikeGamma = 51;
         b.flareDetail = 25;
         b.sunRadius = 38;
     }},
    {"offsets and colours 96x64", 96, 64,
     [](ParameterBlock& b) {
         b.spikeX = 0.7f;
         b.spikeY = -0.2f;
         b.flareX = 0.1f;
         b.flareY = 0.9f;
         b.sunColdHot = 80;
         b.spikeDiffraction = 90;
         b.bowSmear = 13;
         b.flipBow = 0;
         b.randomSeed = 1999;
         b.sunColor[0] = 0x1234;
     }},
    {"extremes 1x1", 1, 1,
     [](ParameterBlock& b) {
         b.sunRadius = INT32_MAX;
         b.spikeWidth = -1;
         b.bowSmear = INT32_MAX;
         b.haloBrightness = INT32_MIN;
         b.xCenter = std::numeric_limits<float>::quiet_NaN();
         b.spikeX = std::numeric_limits<float>::infinity();
     }},
};

}  // namespace

int main(int argc, char** argv) {
    std::FILE* out = argc > 1 ? std::fopen(argv[1], "wb") : stdout;
    if (!out) return 1;
    static ParameterBlock block;
    for (const DumpCase& c : kCases) {
        std::memset(&block, 0, sizeof block);
        initialiseParameterBlock(block);
        c.adjust(block);
        const std::string text = dumpRenderTables(block, c.width, c.height);
        std::fprintf(out, "== %s\n%s", c.name, text.c_str());
    }
    return out == stdout || std::fclose(out) == 0 ? 0 : 1;
}
