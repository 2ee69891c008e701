// Renders whose every pixel is pinned: any change to a table, a formula or
// the order of random draws shows here. Most are small; two are large enough
// that the distance-indexed tables are read far beyond the 320 or so pixels
// a small picture reaches (a small sun over a flat grey, no flares, so that
// they compress well). To accept a deliberate change, regenerate them with
// scripts/regenerate-goldens.sh and look at the new pictures before
// committing them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "plugin_fixture.h"
#include "settings_arguments.h"

using namespace lumenfall;
using namespace lumenfall::testing;

namespace {

struct GoldenCase {
    const char* name;
    int colours;
    bool alpha;
    int depth;
    std::vector<const char*> settings;
    int32_t width = 96, height = 64;
    bool flat = false;  // a flat grey input instead of the sample picture
};

const GoldenCase kCases[] = {
    {"default_rgb8", 3, false, 8, {}},
    {"screen_seed7_rgb8", 3, false, 8, {"glue=screen", "random seed=7", "sun radius=50", "X center=0.3"}},
    {"eclipse_lighten_grey8", 1, false, 8, {"sun type=eclipse", "glue=lighten", "halo brightness=49"}},
    {"composite_monopoles_rgb16", 3, false, 16,
     {"glue=composite", "monopoles=on", "vortices=off", "random seed=1999", "flare detail=0"}},
    {"overlay_flares_alpha8", 3, true, 8, {"glue=overlay", "flare count=80", "flip bow=off", "spike gamma=25"}},
    {"procedural_flat_grey16", 1, false, 16, {"glue=procedural +", "sun type=flat", "spike count=20"}},
    // The halo reaches about 400 pixels, the spikes the far corner (over 900).
    {"reach_halo_bow_grey8", 1, false, 8,
     {"X center=0.05", "Y center=0.1", "sun radius=8", "halo radius=100", "bow radius=100", "spike count=0",
      "flare count=0", "glue=lighten"},
     800, 640, true},
    {"reach_spikes_grey8", 1, false, 8,
     {"X center=0.9", "Y center=0.95", "sun radius=20", "spike radius=100", "spike count=30", "halo brightness=0",
      "bow brightness=0", "flare count=0", "glue=screen", "random seed=1234"},
     640, 720, true},
};

std::string goldenPath(const GoldenCase& c) { return std::string(LF_GOLDEN_DIR) + "/" + c.name + ".png"; }

Image renderCase(const GoldenCase& c) {
    HostOptions options;
    for (const char* text : c.settings) {
        DescriptorEntry entry;
        std::string error;
        EXPECT_TRUE(parseSetting(text, &entry, &error)) << error;
        putSetting(&options.descriptorEntries, entry);
    }
    auto host = loadPlugin(options);
    Image input;
    if (c.flat) {
        input.allocate(c.width, c.height, c.colours, c.alpha, c.depth);
        for (auto& sample : input.samples) sample = uint16_t(c.depth == 16 ? 6000 : 48);
    } else {
        input = convertImage(makeSampleImage(c.width, c.height), c.colours, c.alpha, c.depth);
    }
    Image out;
    EXPECT_TRUE(host->run(input, nullptr, &out).rendered) << c.name;
    return out;
}

}  // namespace

TEST(GoldenRenders, EveryPixelMatchesTheStoredPicture) {
    const bool regenerate = std::getenv("LUMENFALL_REGENERATE_GOLDENS") != nullptr;
    for (const GoldenCase& c : kCases) {
        const Image out = renderCase(c);
        std::string error;
        if (regenerate) {
            ASSERT_TRUE(writePng(goldenPath(c), out, &error)) << error;
            continue;
        }
        Image golden;
        ASSERT_TRUE(readImageFile(goldenPath(c), &golden, &error)) << error;
        ASSERT_EQ(golden.width, out.width) << c.name;
        ASSERT_EQ(golden.height, out.height) << c.name;
        ASSERT_EQ(golden.channels(), out.channels()) << c.name;
        ASSERT_EQ(golden.depth, out.depth) << c.name;
        size_t differing = 0;
        for (size_t i = 0; i < out.samples.size(); ++i) differing += out.samples[i] != golden.samples[i];
        EXPECT_EQ(differing, 0u) << c.name << ": " << differing << " samples differ";
    }
}

TEST(GoldenRenders, SameSettingsAndSeedGiveTheSameImage) {
    const Image first = renderCase(kCases[1]);
    const Image second = renderCase(kCases[1]);
    EXPECT_EQ(first.samples, second.samples);
    GoldenCase reseeded = kCases[1];
    reseeded.settings.push_back("random seed=8");
    EXPECT_NE(renderCase(reseeded).samples, first.samples);
}
