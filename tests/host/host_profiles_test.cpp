#include <gtest/gtest.h>

#include "plugin_fixture.h"

using namespace lumenfall;
using namespace lumenfall::testing;

namespace {

std::vector<DescriptorEntry> screenSettings() {
    DescriptorEntry radius;
    radius.key = pi::fourCC("0014");
    radius.type = pi::fourCC("long");
    radius.integer = 60;
    DescriptorEntry seed;
    seed.key = pi::fourCC("0048");
    seed.type = pi::fourCC("long");
    seed.integer = 7;
    return {radius, seed};
}

}  // namespace

// A handle suite that answers size 0 for its own handles (and ignores
// resizing) must not cost the settings or the render in flight.
TEST(HostProfiles, QuirkyHandlesKeepTheSettingsAndEveryRow) {
    const Image input = patternImage(31, 17);
    HostOptions normal;
    normal.descriptorEntries = screenSettings();
    Image expected;
    ASSERT_TRUE(loadPlugin(normal)->run(input, nullptr, &expected).rendered);

    HostOptions quirky = normal;
    quirky.quirkyHandles = true;
    quirky.settingsFirstRunOnly = true;
    auto host = loadPlugin(quirky);
    Image first, second;
    ASSERT_TRUE(host->run(input, nullptr, &first).rendered);
    ASSERT_TRUE(host->run(input, nullptr, &second).rendered);  // no descriptor: the kept block
    EXPECT_EQ(first.samples, expected.samples);
    EXPECT_EQ(second.samples, expected.samples);
    EXPECT_EQ(host->counters().buffersOutstanding, 0);
}

// Selectors outside a run: our host has no picture then, so a start fails
// at its first band and must hold nothing; a continue the plug-in has no
// run for never reports success.
TEST(HostProfiles, AbandonedAndLostRunsHoldNothingAndNeverSucceed) {
    auto host = loadPlugin();
    Image out;
    ASSERT_TRUE(host->run(patternImage(12, 6), nullptr, &out).rendered);
    EXPECT_EQ(host->callSelector(2), 0);
    EXPECT_NE(host->callSelector(3), 0);
    EXPECT_EQ(host->counters().buffersOutstanding, 0);
    EXPECT_EQ(host->callSelector(2), 0);
    EXPECT_NE(host->callSelector(3), 0);
    EXPECT_EQ(host->counters().buffersOutstanding, 0);

    // Continue after the run has finished (or with data the host lost)
    // has no run to continue.
    EXPECT_EQ(host->callSelector(4), pi::kFilterBadParameters);
    EXPECT_TRUE(rectangleEmpty(host->record().inRect));
    EXPECT_EQ(host->counters().buffersOutstanding, 0);
}
