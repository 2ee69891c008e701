// Renders large enough that the distance-indexed tables are read far
// beyond the 320 or so pixels the small goldens reach. The pictures are
// the sun alone over a flat grey (small suns, no flares), so that they
// compress well. Regenerate with scripts/regenerate-goldens.sh.
#include <gtest/gtest.h>

#include <cstdlib>

#include "plugin_fixture.h"
#include "settings_arguments.h"

using namespace lumenfall;
using namespace lumenfall::testing;

namespace {

struct LargeCase {
    const char* name;
    int32_t width, height;
    int colours;
    int depth;
    std::vector<const char*> settings;
};

// The centre near a corner and the radii at their largest: the halo
// reaches about 400 pixels, the spikes the far corner (over 900).
const LargeCase kLargeCases[] = {
    {"reach_halo_bow_grey8", 800, 640, 1, 8,
     {"X center=0.05", "Y center=0.1", "sun radius=8", "halo radius=100", "bow radius=100", "spike count=0",
      "flare count=0", "glue=lighten"}},
    {"reach_spikes_grey8", 640, 720, 1, 8,
     {"X center=0.9", "Y center=0.95", "sun radius=20", "spike radius=100", "spike count=30", "halo brightness=0",
      "bow brightness=0", "flare count=0", "glue=screen", "random seed=1234"}},
};

std::string largeGoldenPath(const LargeCase& c) { return std::string(LF_GOLDEN_DIR) + "/" + c.name + ".png"; }

Image renderLarge(const LargeCase& c) {
    HostOptions options;
    for (const char* text : c.settings) {
        DescriptorEntry entry;
        std::string error;
        EXPECT_TRUE(parseSetting(text, &entry, &error)) << error;
        putSetting(&options.descriptorEntries, entry);
    }
    auto host = loadPlugin(options);
    Image flat;
    flat.allocate(c.width, c.height, c.colours, false, c.depth);
    for (auto& s : flat.samples) s = uint16_t(c.depth == 16 ? 6000 : 48);
    Image out;
    EXPECT_TRUE(host->run(flat, nullptr, &out).rendered) << c.name;
    return out;
}

}  // namespace

TEST(LargeGoldenRenders, EveryPixelMatchesTheStoredPicture) {
    const bool regenerate = std::getenv("LUMENFALL_REGENERATE_GOLDENS") != nullptr;
    for (const LargeCase& c : kLargeCases) {
        const Image out = renderLarge(c);
        std::string error;
        if (regenerate) {
            ASSERT_TRUE(writePng(largeGoldenPath(c), out, &error)) << error;
            continue;
        }
        Image golden;
        ASSERT_TRUE(readImageFile(largeGoldenPath(c), &golden, &error)) << error;
        ASSERT_EQ(golden.width, out.width) << c.name;
        ASSERT_EQ(golden.height, out.height) << c.name;
        ASSERT_EQ(golden.channels(), out.channels()) << c.name;
        ASSERT_EQ(golden.depth, out.depth) << c.name;
        size_t differing = 0;
        for (size_t i = 0; i < out.samples.size(); ++i) differing += out.samples[i] != golden.samples[i];
        EXPECT_EQ(differing, 0u) << c.name << ": " << differing << " samples differ";
    }
}
