#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

#include "plugin_fixture.h"
#include "settings_arguments.h"

using namespace lumenfall;
using namespace lumenfall::testing;

namespace {

std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "lumenfall_" + std::to_string(getpid()) + "_" + name;
}

}  // namespace

TEST(HostImages, PixelsOutsideTheSelectionKeepTheirFileValues) {
    for (int depth : {8, 16}) {
        for (bool alpha : {false, true}) {
            auto host = loadPlugin();
            const Image input = patternImage(20, 12, 3, alpha, depth);
            Image selection = constantImage(20, 12, 0);
            for (int y = 3; y < 9; ++y)
                for (int x = 5; x < 15; ++x) selection.samples[size_t(y) * 20 + x] = 255;
            Image out;
            ASSERT_TRUE(host->run(input, &selection, &out).rendered);
            ASSERT_EQ(out.samples.size(), input.samples.size());
            for (int y = 0; y < 12; ++y)
                for (int x = 0; x < 20; ++x) {
                    if (selection.samples[size_t(y) * 20 + x] != 0) continue;
                    for (int c = 0; c < input.channels(); ++c)
                        ASSERT_EQ(out.samples[out.index(x, y, c)], input.samples[input.index(x, y, c)])
                            << depth << " " << x << "," << y;
                }
        }
    }
}

// A layer with transparency and a selection (filter case 5): inside a fully
// selected area the plug-in draws exactly what it draws without a selection
// (filter case 4), transparency included; outside it nothing changes.
TEST(HostImages, SelectionOverATransparentLayerDrawsTheSameSunInside) {
    HostOptions options;
    DescriptorEntry entry;
    std::string error;
    ASSERT_TRUE(parseSetting("glue=composite", &entry, &error)) << error;
    putSetting(&options.descriptorEntries, entry);
    const Image input = patternImage(40, 30, 3, true, 8);
    Image selection = constantImage(40, 30, 0);
    for (int y = 5; y < 25; ++y)
        for (int x = 8; x < 36; ++x) selection.samples[size_t(y) * 40 + x] = 255;
    Image whole, selected;
    ASSERT_TRUE(loadPlugin(options)->run(input, nullptr, &whole).rendered);
    ASSERT_TRUE(loadPlugin(options)->run(input, &selection, &selected).rendered);
    int changedAlpha = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            for (int c = 0; c < 4; ++c) {
                const size_t i = input.index(x, y, c);
                const bool inside = selection.samples[size_t(y) * 40 + x] != 0;
                ASSERT_EQ(selected.samples[i], inside ? whole.samples[i] : input.samples[i]) << x << "," << y << " " << c;
                if (inside && c == 3 && whole.samples[i] != input.samples[i]) ++changedAlpha;
            }
    EXPECT_GT(changedAlpha, 0);  // composite really drew the transparency
}

TEST(HostImages, SixteenBitSamplesMapToTheHostRangeAndBack) {
    // 0..65535 in the file is 0..32768 in the host; black, white and the
    // middle survive, and every value comes back within one step.
    EXPECT_EQ(fileToHost16(0), 0);
    EXPECT_EQ(fileToHost16(65535), 32768);
    EXPECT_EQ(fileToHost16(1), 1);
    EXPECT_EQ(hostToFile16(32768), 65535);
    EXPECT_EQ(hostToFile16(40000), 65535);  // beyond the host's range saturates
    EXPECT_EQ(hostToFile16(16384), 32768);
    for (uint32_t v = 0; v <= 65535; v += 7) EXPECT_NEAR(hostToFile16(fileToHost16(uint16_t(v))), v, 1) << v;
    // Every file sample: the rounded-down quotient, though taken without a
    // division.
    int32_t wrong = 0;
    for (uint32_t v = 0; v <= 65535; ++v) wrong += fileToHost16(uint16_t(v)) != (v * 32768u + 32767u) / 65535u;
    EXPECT_EQ(wrong, 0);
}

// Where the plug-in leaves a 16-bit sample as the host delivered it, the
// file's own value comes back, including the values the host's range
// cannot hold (every sample of this picture is odd and most are).
TEST(HostImages, SixteenBitSamplesTheRenderLeavesAloneKeepTheirFileValues) {
    for (const bool alpha : {false, true}) {
        HostOptions options;
        for (const char* text : {"glue=screen", "master brightness=0"}) {
            DescriptorEntry entry;
            std::string error;
            ASSERT_TRUE(parseSetting(text, &entry, &error)) << error;
            putSetting(&options.descriptorEntries, entry);
        }
        auto host = loadPlugin(options);
        Image input;
        input.allocate(300, 5, 3, alpha, 16);
        for (size_t i = 0; i < input.samples.size(); ++i) input.samples[i] = uint16_t((i * 2654435761u) | 1u);
        Image out;
        ASSERT_TRUE(host->run(input, nullptr, &out).rendered);
        if (alpha) {
            // The transparency is drawn opaque; the colours stay.
            for (int32_t y = 0; y < 5; ++y)
                for (int32_t x = 0; x < 300; ++x)
                    for (int c = 0; c < 3; ++c)
                        ASSERT_EQ(out.samples[out.index(x, y, c)], input.samples[input.index(x, y, c)]) << x;
        } else {
            EXPECT_EQ(out.samples, input.samples);
        }
    }
}

TEST(HostImages, PngFilesKeepSizeDepthColourTypeAndSamples) {
    for (int depth : {8, 16})
        for (int colours : {1, 3})
            for (bool alpha : {false, true}) {
                const Image image = patternImage(13, 7, colours, alpha, depth);
                const std::string path = tempPath("roundtrip.png");
                std::string error;
                ASSERT_TRUE(writePng(path, image, &error)) << error;
                Image back;
                ASSERT_TRUE(readImageFile(path, &back, &error)) << error;
                EXPECT_EQ(back.width, 13);
                EXPECT_EQ(back.height, 7);
                EXPECT_EQ(back.depth, depth);
                EXPECT_EQ(back.colourChannels, colours);
                EXPECT_EQ(back.hasAlpha, alpha);
                EXPECT_EQ(back.samples, image.samples);
                std::remove(path.c_str());
            }
}

TEST(HostImages, BrokenFilesAreErrorsNotCrashes) {
    const std::string path = tempPath("broken.png");
    const unsigned char header[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (size_t length : {size_t(0), size_t(4), sizeof header}) {
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(header, 1, length, f);
        std::fclose(f);
        Image image;
        std::string error;
        EXPECT_FALSE(readImageFile(path, &image, &error)) << length;
        EXPECT_FALSE(error.empty());
    }
    const std::string jpeg = tempPath("broken.jpg");
    FILE* f = std::fopen(jpeg.c_str(), "wb");
    const unsigned char soi[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F'};
    std::fwrite(soi, 1, sizeof soi, f);
    std::fclose(f);
    Image image;
    std::string error;
    EXPECT_FALSE(readImageFile(jpeg, &image, &error));
    std::remove(path.c_str());
    std::remove(jpeg.c_str());
}

TEST(HostImages, JpegFilesRoundTripCloselyInGreyAndRgb) {
    for (int colours : {1, 3}) {
        Image image;
        image.allocate(16, 16, colours, false, 8);
        for (size_t i = 0; i < image.samples.size(); ++i) image.samples[i] = 128;
        const std::string path = tempPath("flat.jpg");
        std::string error;
        ASSERT_TRUE(writeImageFile(path, image, &error)) << error;
        Image back;
        ASSERT_TRUE(readImageFile(path, &back, &error)) << error;
        EXPECT_EQ(back.colourChannels, colours);
        for (uint16_t s : back.samples) EXPECT_NEAR(s, 128, 2);
        std::remove(path.c_str());
    }
}

TEST(HostImages, SamplePictureIsADuskSky) {
    const Image sky = makeSampleImage(320, 200);
    EXPECT_EQ(sky.width, 320);
    EXPECT_EQ(sky.colourChannels, 3);
    // Deep blue at the top, warm near the horizon, dark hills at the bottom.
    EXPECT_GT(sky.samples[sky.index(10, 0, 2)], sky.samples[sky.index(10, 0, 0)]);
    EXPECT_GT(sky.samples[sky.index(10, 110, 0)], 200);
    EXPECT_LT(sky.samples[sky.index(10, 199, 0)], 60);
}
