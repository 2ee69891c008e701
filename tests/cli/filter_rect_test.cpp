// lumenfall render --rect: the host hands the plug-in a filter rectangle away
// from the picture's corner, as an editor with a rectangular selection does.
// Inside it the picture must come out as the same rectangle cut out and
// rendered alone; outside it, byte for byte as it went in.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "cli/cli_test_support.h"
#include "image.h"

using namespace lumenfall;
namespace fs = std::filesystem;

namespace {

struct Folder {
    fs::path path = fs::temp_directory_path() / ("lumenfall-rect-" + std::to_string(getpid()));
    Folder() { fs::create_directories(path); }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

int runLumenfall(const std::string& words, std::string* output = nullptr) {
    int code = -1;
    const std::string out = lumenfall_cli_test::run(std::string("'") + LF_LUMENFALL + "' " + words, &code);
    if (output) *output = out;
    return code;
}

Image pattern(int32_t w, int32_t h, int32_t colours, int32_t depth) {
    Image image;
    image.allocate(w, h, colours, false, depth);
    for (size_t i = 0; i < image.samples.size(); ++i)
        image.samples[i] = uint16_t(depth == 16 ? (i * 2654435761u) >> 16 : (i * 37 + i / 7) & 0xFF);
    return image;
}

Image crop(const Image& from, int32_t x0, int32_t y0, int32_t w, int32_t h) {
    Image out;
    out.allocate(w, h, from.colourChannels, from.hasAlpha, from.depth);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            for (int32_t c = 0; c < from.channels(); ++c) out.samples[out.index(x, y, c)] = from.samples[from.index(x0 + x, y0 + y, c)];
    return out;
}

void save(const std::string& path, const Image& image) {
    std::string error;
    ASSERT_TRUE(writeImageFile(path, image, &error)) << error;
}

Image load(const std::string& path) {
    Image image;
    std::string error;
    EXPECT_TRUE(readImageFile(path, &image, &error)) << error;
    return image;
}

// Samples of `a` that differ from `b`, counted.
size_t differences(const Image& a, const Image& b) {
    size_t n = 0;
    for (size_t i = 0; i < a.samples.size() && i < b.samples.size(); ++i) n += a.samples[i] != b.samples[i];
    return n + (a.samples.size() != b.samples.size() ? 1 : 0);
}

}  // namespace

TEST(FilterRectOption, InsideItTheRectangleRenderedAloneOutsideItTheInput) {
    Folder dir;
    const int32_t x0 = 41, y0 = 23, w = 90, h = 57;
    const std::string rect = " --rect 41,23,90,57";
    // A sun that reaches the rectangle's every edge.
    const std::string sun = " -q --set 'sun radius=60' --set 'halo radius=80' --set 'X center=0.3'";
    struct Case {
        int32_t colours, depth;
        bool selection;
    };
    for (const Case c : {Case{3, 8, false}, Case{1, 16, false}, Case{3, 8, true}}) {
        SCOPED_TRACE(std::to_string(c.colours) + " colours, " + std::to_string(c.depth) + " bits" +
                     (c.selection ? ", with a selection" : ""));
        const Image input = pattern(160, 100, c.colours, c.depth);
        save(dir / "in.png", input);
        save(dir / "crop.png", crop(input, x0, y0, w, h));
        std::string masks;
        if (c.selection) {
            Image mask;
            mask.allocate(160, 100, 1, false, 8);
            for (size_t i = 0; i < mask.samples.size(); ++i) mask.samples[i] = uint16_t((i % 160) * 3 + i / 160) & 0xFF;
            save(dir / "mask.png", mask);
            save(dir / "mask-crop.png", crop(mask, x0, y0, w, h));
            masks = " --selection '" + dir / "mask.png" + "'";
        }
        std::string said;
        ASSERT_EQ(runLumenfall("render '" + dir / "in.png" + "' -o '" + dir / "whole.png" + "'" + rect + sun + masks, &said), 0)
            << said;
        ASSERT_EQ(runLumenfall("render '" + dir / "crop.png" + "' -o '" + dir / "alone.png" + "'" + sun +
                                (c.selection ? " --selection '" + dir / "mask-crop.png" + "'" : std::string()),
                            &said),
                  0)
            << said;
        const Image whole = load(dir / "whole.png");
        const Image alone = load(dir / "alone.png");
        ASSERT_EQ(whole.width, 160);
        ASSERT_EQ(whole.depth, c.depth);
        EXPECT_GT(differences(alone, crop(input, x0, y0, w, h)), size_t(w * h / 4));  // the sun is there
        EXPECT_EQ(differences(crop(whole, x0, y0, w, h), alone), 0u);
        // Outside: the input exactly (the rectangle put back to compare).
        Image outside = whole;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                for (int32_t k = 0; k < input.channels(); ++k)
                    outside.samples[outside.index(x0 + x, y0 + y, k)] = input.samples[input.index(x0 + x, y0 + y, k)];
        EXPECT_EQ(differences(outside, input), 0u);
    }
}

TEST(FilterRectOption, TheWholePictureIsTheRenderWithoutIt) {
    Folder dir;
    save(dir / "in.png", pattern(64, 48, 3, 8));
    ASSERT_EQ(runLumenfall("render -q '" + dir / "in.png" + "' -o '" + dir / "a.png" + "' --rect 0,0,64,48"), 0);
    ASSERT_EQ(runLumenfall("render -q '" + dir / "in.png" + "' -o '" + dir / "b.png" + "'"), 0);
    EXPECT_EQ(lumenfall_cli_test::readFile(dir / "a.png"), lumenfall_cli_test::readFile(dir / "b.png"));
}

TEST(FilterRectOption, EmptyMalformedAndOutsideRectanglesAreRefused) {
    Folder dir;
    save(dir / "in.png", pattern(64, 48, 3, 8));
    struct Case {
        const char* rect;
        int code;
        const char* says;
    };
    const Case cases[] = {
        {"0,0,0,10", 2, "is empty"},
        {"3,4,10,0", 2, "is empty"},
        {"1,2,3", 2, "X,Y,W,H"},
        {"1,2,3,4,5", 2, "X,Y,W,H"},
        {"-1,0,5,5", 2, "X,Y,W,H"},
        {"a,b,c,d", 2, "X,Y,W,H"},
        {"0,0,99999,5", 2, "X,Y,W,H"},
        {"60,0,5,5", 1, "is not inside the 64x48 picture"},
        {"0,40,64,9", 1, "is not inside the 64x48 picture"},
    };
    for (const Case& c : cases) {
        std::string said;
        const int code = runLumenfall("render '" + dir / "in.png" + "' -o '" + dir / "out.png" + "' --rect " + c.rect, &said);
        EXPECT_EQ(code, c.code) << c.rect << "\n" << said;
        EXPECT_NE(said.find(c.says), std::string::npos) << c.rect << "\n" << said;
        EXPECT_FALSE(fs::exists(dir / "out.png")) << c.rect;
        fs::remove(dir / "out.png");
    }
    std::string help;
    ASSERT_EQ(runLumenfall("render --help", &help), 0);
    EXPECT_NE(help.find("--rect X,Y,W,H"), std::string::npos) << help;
}
