// Full-size renders: a photo-sized image keeps its layout and every pixel
// outside the selection, and a long strip with the sun far outside it stays
// inside every table.
#include <gtest/gtest.h>

#include "plugin_fixture.h"
#include "settings_arguments.h"

using namespace lumenfall;
using namespace lumenfall::testing;

TEST(LargeImages, PhotoSizedRenderKeepsLayoutAndUnselectedPixels) {
    auto host = loadPlugin();
    Image input;
    input.allocate(4000, 3000, 3, true, 16);
    for (size_t i = 0; i < input.samples.size(); ++i) input.samples[i] = uint16_t((i * 40503u) >> 3);
    Image selection;
    selection.allocate(4000, 3000, 1, false, 8);
    for (int32_t y = 0; y < 3000; ++y)
        for (int32_t x = 0; x < 4000; ++x) selection.samples[size_t(y) * 4000 + x] = (x / 500 + y / 500) % 2 ? 255 : 0;
    Image out;
    ASSERT_TRUE(host->run(input, &selection, &out).rendered);
    EXPECT_EQ(out.width, 4000);
    EXPECT_EQ(out.height, 3000);
    EXPECT_EQ(out.depth, 16);
    EXPECT_EQ(out.colourChannels, 3);
    EXPECT_TRUE(out.hasAlpha);
    size_t changedOutside = 0, changedInside = 0;
    for (int32_t y = 0; y < 3000; ++y)
        for (int32_t x = 0; x < 4000; ++x)
            for (int c = 0; c < 4; ++c) {
                const size_t i = out.index(x, y, c);
                const bool differs = out.samples[i] != input.samples[i];
                (selection.samples[size_t(y) * 4000 + x] ? changedInside : changedOutside) += differs;
            }
    EXPECT_EQ(changedOutside, 0u);
    EXPECT_GT(changedInside, 1000000u);
    EXPECT_EQ(host->counters().buffersOutstanding, 0);
}

TEST(LargeImages, StripWithTheSunOutsideIt) {
    HostOptions options;
    for (const char* text : {"X center=40", "Y center=-3"}) {
        DescriptorEntry entry;
        std::string error;
        ASSERT_TRUE(parseSetting(text, &entry, &error)) << error;
        options.descriptorEntries.push_back(entry);
    }
    auto host = loadPlugin(options);
    for (auto size : {std::pair<int, int>{1, 12000}, std::pair<int, int>{12000, 1}}) {
        Image out;
        EXPECT_TRUE(host->run(patternImage(size.first, size.second), nullptr, &out).rendered);
        EXPECT_EQ(out.width, size.first);
    }
}
