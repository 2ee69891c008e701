// lumenfall psd as a user runs it: the layer holds the same pixels as a
// render, a grey picture stays grey, and refused, cancelled or failed
// exports leave an existing file as it was.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "cli_test_support.h"

namespace fs = std::filesystem;

namespace {

using lumenfall_cli_test::readFile;
using lumenfall_cli_test::run;

bool haveImageMagick() { return std::system("command -v convert >/dev/null 2>&1") == 0; }

struct Folder {
    fs::path path = fs::temp_directory_path() / ("lumenfall-psd-" + std::to_string(getpid()));
    Folder() { fs::create_directories(path); }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string operator/(const char* name) const { return (path / name).string(); }
};

const std::string kLumenfall = LF_LUMENFALL;

}  // namespace

TEST(PsdCommand, TheLayerHoldsTheRenderAndGreyStaysGrey) {
    if (!haveImageMagick()) GTEST_SKIP() << "ImageMagick is not installed";
    Folder f;
    int code = 0;
    run("convert -size 96x64 gradient:gray20-gray80 -depth 8 '" + f / "grey.png" + "'", &code);
    ASSERT_EQ(code, 0);
    for (const char* depth : {"8", "16"}) {
        const std::string set = " --set 'sun radius=40' --set 'glue=screen' --depth " + std::string(depth);
        std::string out = run(kLumenfall + " psd '" + f / "grey.png" + "' -o '" + f / "g.psd" + "' -q" + set, &code);
        ASSERT_EQ(code, 0) << out;
        out = run(kLumenfall + " render '" + f / "grey.png" + "' --alpha -o '" + f / "g.png" + "' -q" + set, &code);
        ASSERT_EQ(code, 0) << out;
        out = run("identify -format '%w %h %z|' '" + f / "g.psd" + "'", &code);
        EXPECT_EQ(out, std::string("96 64 ") + depth + "|96 64 " + depth + "|");
        // The layer's R, G and B against the render's grey, as 16-bit values.
        const std::string layer =
            run("convert '" + f / "g.psd" + "[1]' -alpha off -depth 16 -endian LSB rgb:- | od -An -v -tu2", &code);
        const std::string grey =
            run("convert '" + f / "g.png" + "' -alpha off -colorspace gray -depth 16 -endian LSB gray:- | od -An -v -tu2",
                &code);
        std::istringstream l(layer), g(grey);
        int pixels = 0, changed = 0;
        for (unsigned r, gr, b, want; l >> r >> gr >> b && g >> want; ++pixels) {
            ASSERT_TRUE(r == gr && gr == b) << pixels;
            // 16-bit: the host's 0..32768 is written doubled, the render file holds it scaled to 65535.
            if (std::string(depth) == "8") ASSERT_EQ(r, want) << pixels;
            else ASSERT_LE(int(r) - int(want) > 0 ? int(r) - int(want) : int(want) - int(r), 2) << pixels;
            changed += r != 0;
        }
        EXPECT_EQ(pixels, 96 * 64);
        EXPECT_GT(changed, 0);
    }
}

TEST(PsdCommand, RefusedCancelledAndFailedExportsKeepTheOldFile) {
    Folder f;
    const std::string target = f / "keep.psd";
    std::ofstream(target, std::ios::binary) << "old";
    int code = 0;
    std::string out = run(kLumenfall + " psd -o '" + target + "' --abort-at 2", &code);
    EXPECT_NE(code, 0) << out;
    EXPECT_EQ(readFile(target), "old");
    for (const char* k : {"1", "3", "6"}) {
        out = run(kLumenfall + " psd -o '" + target + "' --fail-write " + k, &code);
        EXPECT_EQ(code, 1) << out;
        EXPECT_NE(out.find("cannot write"), std::string::npos) << out;
        EXPECT_EQ(readFile(target), "old") << k;
    }
    // An ICC profile offered to the plug-in is stored in resource 1039.
    const std::string profile = f / "p.icc";
    // The smallest profile: a 128-byte header naming its size and 'acsp', no tags.
    std::string bytes(132, '\0');
    bytes[3] = char(132);
    bytes.replace(36, 4, "acsp");
    bytes.replace(100, 10, "lumenfall!");
    std::ofstream(profile, std::ios::binary) << bytes;
    out = run(kLumenfall + " psd -o '" + target + "' -q --icc '" + profile + "'", &code);
    ASSERT_EQ(code, 0) << out;
    EXPECT_NE(readFile(target).find(std::string("8BIM\x04\x0f\0\0\0\0\0\x84\0\0\0\x84", 16)), std::string::npos);
    EXPECT_NE(readFile(target).find("lumenfall!"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(f.path), fs::directory_iterator()), 2) << "no new file left";

    // A grey PNG 30001 pixels wide (ImageMagick's policy may refuse to make one).
    run("python3 -c \"import zlib,struct,sys\n"
        "def c(t,d): return struct.pack('>I',len(d))+t+d+struct.pack('>I',zlib.crc32(t+d))\n"
        "sys.stdout.buffer.write(b'\\x89PNG\\r\\n\\x1a\\n'+c(b'IHDR',struct.pack('>IIBBBBB',30001,1,8,0,0,0,0))"
        "+c(b'IDAT',zlib.compress(bytes(30002)))+c(b'IEND',b''))\" > '" + f / "wide.png" + "'",
        &code);
    ASSERT_EQ(code, 0);
    out = run(kLumenfall + " psd '" + f / "wide.png" + "' -o '" + f / "wide.psd" + "'", &code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(out.find("30000"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(f / "wide.psd"));
}

TEST(PresetsPageCommand, WritesThePageAndItsPictureFolder) {
    Folder f;
    fs::create_directories(f.path / "presets");
    int code = 0;
    run(kLumenfall + " preset save -q -o '" + f / "presets/dusk.q4q" + "'", &code);
    ASSERT_EQ(code, 0);
    std::string out = run(kLumenfall + " presets-page '" + f / "presets" + "' -o '" + f / "page.html" + "'", &code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_NE(out.find("(1 presets)"), std::string::npos) << out;
    EXPECT_TRUE(fs::exists(f.path / "web_images" / "top.gif"));
    EXPECT_NE(readFile(f.path / "page.html").find("</table>"), std::string::npos);
    run(kLumenfall + " presets-page '" + f / "presets" + "'", &code);
    EXPECT_EQ(code, 2);
}
