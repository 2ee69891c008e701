// The dialog's preview through our own host: the region request sampled
// by the host, the render with the preview target and the pixel maps the
// host's displayPixels records (the Linux module has no window, but shows
// the opening preview to a host that offers the callbacks).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host/plugin_fixture.h"
#include "params/scoped_temp_folder.h"
#include "settings_arguments.h"

namespace lumenfall {
namespace {

using testing::loadPlugin;
using testing::patternImage;
using testing::ScopedTempFolder;

bool samePicture(const Image& a, const Image& b) {
    return a.samples.size() == b.samples.size() && a.samples.wide() == b.samples.wide() &&
           std::memcmp(a.samples.data(), b.samples.data(), a.samples.size() * (a.samples.wide() ? 2 : 1)) == 0;
}

// The centre of the brightest pixels of an RGB picture.
struct Centre {
    double x, y;
};
Centre brightestCentre(const std::vector<uint8_t>& rgb, int32_t width, int32_t height) {
    int best = -1;
    double sx = 0, sy = 0, n = 0;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* p = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
            const int v = p[0] + p[1] + p[2];
            if (v > best) best = v, sx = sy = n = 0;
            if (v == best) sx += x, sy += y, n += 1;
        }
    return n > 0 ? Centre{sx / n, sy / n} : Centre{-1, -1};
}

HostOptions dialogHost(const std::string& set = "") {
    HostOptions options;
    options.showDialog = true;
    options.offerDisplayPixels = true;
    options.descriptor.playInfo = pi::kPlayDialogDisplay;
    options.descriptorEntries.clear();
    for (const std::string& text : {std::string("glue=screen"), set}) {
        if (text.empty()) continue;
        DescriptorEntry entry;
        std::string error;
        EXPECT_TRUE(parseSetting(text, &entry, &error)) << error;
        putSetting(&options.descriptorEntries, entry);
    }
    return options;
}

TEST(PreviewThroughOurHost, PixelMapsOfTheOpeningPreview) {
    ScopedTempFolder temp;
    const Image picture = patternImage(3000, 2000);
    auto host = loadPlugin(dialogHost());
    Image out;
    ASSERT_TRUE(host->run(picture, nullptr, &out).rendered);
    // F = 6: a region of 500 x 333 pixels at the filter's top-left, shown
    // centred in the image area (431, 21), row by row and then whole.
    const std::vector<PixelMapRecord>& maps = host->pixelMaps();
    ASSERT_EQ(maps.size(), 334u);
    for (const PixelMapRecord& m : maps) {
        EXPECT_EQ(std::vector<int32_t>(m.bounds, m.bounds + 4), (std::vector<int32_t>{0, 0, 333, 500}));
        EXPECT_EQ(m.imageMode, pi::kModeRGB);
        EXPECT_EQ(m.rowBytes, 1500);
        EXPECT_EQ(m.column, 431);
    }
    EXPECT_EQ(maps[5].row, 21 + 5);
    EXPECT_EQ(std::vector<int32_t>(maps.back().shown, maps.back().shown + 4), (std::vector<int32_t>{0, 0, 333, 500}));
    EXPECT_EQ(host->counters().previewRendersSeen, 1);
    const uint32_t whole = maps.back().checksum;
    // The sun where the settings put it: (0.65, 0.5) of 3000 x 2000 at z = 6.
    const Centre sun = brightestCentre(host->lastShownPixels(), 500, 333);
    EXPECT_NEAR(sun.x, 1950 / 6.0, 3);
    EXPECT_NEAR(sun.y, 1000 / 6.0, 3);

    // Another sun: another preview; and the final image is the one a run
    // without the dialog renders.
    auto other = loadPlugin(dialogHost("sun radius=80"));
    Image out2;
    ASSERT_TRUE(other->run(picture, nullptr, &out2).rendered);
    ASSERT_FALSE(other->pixelMaps().empty());
    EXPECT_NE(other->pixelMaps().back().checksum, whole);

    HostOptions plain = dialogHost();
    plain.showDialog = false;
    plain.offerDisplayPixels = false;
    auto direct = loadPlugin(plain);
    Image out3;
    ASSERT_TRUE(direct->run(picture, nullptr, &out3).rendered);
    EXPECT_TRUE(samePicture(out, out3));
}

// Hosts of the "8BIM" and "8ELE" signatures draw slowly: the rows are shown
// 100 at a time (after rows 99, 199, 299), then the whole.
TEST(PreviewThroughOurHost, SlowHostsSeeEveryHundredRows) {
    ScopedTempFolder temp;
    HostOptions options = dialogHost();
    options.hostSig = pi::kSigPhotoshop;
    auto host = loadPlugin(options);
    Image out;
    ASSERT_TRUE(host->run(patternImage(1036, 700), nullptr, &out).rendered);
    std::vector<int32_t> ends;
    for (const PixelMapRecord& m : host->pixelMaps()) ends.push_back(m.shown[2]);
    EXPECT_EQ(ends, (std::vector<int32_t>{100, 200, 300, 350}));
    EXPECT_EQ(host->pixelMaps().back().shown[0], 0);
    EXPECT_EQ(host->pixelMaps().back().column, 422);
}

// A 16-bit picture is shown in 8 bits: s >> 7, as RGB (or grey).
TEST(PreviewThroughOurHost, SixteenBitBuffersAreShownInEightBits) {
    ScopedTempFolder temp;
    for (const int32_t colours : {3, 1}) {
        auto host = loadPlugin(dialogHost());
        Image out;
        ASSERT_TRUE(host->run(patternImage(600, 400, colours, false, 16), nullptr, &out).rendered);
        ASSERT_FALSE(host->pixelMaps().empty());
        const PixelMapRecord& m = host->pixelMaps().back();
        EXPECT_EQ(m.imageMode, colours == 3 ? pi::kModeRGB : pi::kModeGrayScale);
        EXPECT_EQ(m.rowBytes, 300 * colours);  // F = 2
        EXPECT_EQ(m.bounds[2], 200);
        // The sun's core is full scale, 32768: shown as 255, not 128.
        const std::vector<uint8_t>& shown = host->lastShownPixels();
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(*std::max_element(shown.begin(), shown.end()), 255);
    }
}

TEST(PreviewThroughOurHost, RefusedRegionOrMissingServicesLeaveTheRunAlone) {
    ScopedTempFolder temp;
    const Image picture = patternImage(1100, 300);
    Image reference;
    {
        HostOptions plain = dialogHost();
        plain.showDialog = false;
        ASSERT_TRUE(loadPlugin(plain)->run(picture, nullptr, &reference).rendered);
    }
    // The preview's region request fails: no preview, result 0, the same
    // picture. Without sampling the region comes at full size (z = 1).
    HostOptions failing = dialogHost();
    failing.failAdvanceState = 1;
    HostOptions noSampling = dialogHost();
    noSampling.samplingSupport = false;
    HostOptions noDisplay = dialogHost();
    noDisplay.offerDisplayPixels = false;
    const HostOptions cases[] = {failing, noSampling, noDisplay};
    for (const HostOptions& options : cases) {
        auto host = loadPlugin(options);
        Image out;
        const RunOutcome outcome = host->run(picture, nullptr, &out);
        EXPECT_TRUE(outcome.rendered);
        EXPECT_EQ(outcome.result, 0);
        EXPECT_TRUE(samePicture(out, reference));
        if (&options == &cases[1]) {
            ASSERT_FALSE(host->pixelMaps().empty());
            EXPECT_EQ(std::vector<int32_t>(host->pixelMaps().back().bounds, host->pixelMaps().back().bounds + 4),
                      (std::vector<int32_t>{0, 0, 300, 518}));
        } else {
            EXPECT_TRUE(host->pixelMaps().empty());
        }
    }
}

}  // namespace
}  // namespace lumenfall
