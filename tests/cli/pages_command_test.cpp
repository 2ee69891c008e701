// lumenfall dots-page as a user runs it: the kept dots of the plug-in's
// folder, each rendered on the input at the picture size, with the offered
// colour profile in every picture as outside readers see it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli_test_support.h"

namespace fs = std::filesystem;

namespace {

using lumenfall_cli_test::readFile;
using lumenfall_cli_test::run;

bool have(const char* tool) { return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0; }

void bigEndian(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += char((v >> shift) & 0xFF);
}

const std::string kLumenfall = LF_LUMENFALL;

}  // namespace

TEST(DotsPageCommand, KeptDotsRenderedOnTheInputCarryTheProfile) {
    if (!have("convert") || !have("exiftool")) GTEST_SKIP() << "ImageMagick and exiftool are needed";
    const fs::path root = fs::temp_directory_path() / ("lumenfall-dots-" + std::to_string(getpid()));
    fs::remove_all(root);
    const fs::path plugin = root / "runtime" / "lumenfall";  // the plug-in's folder under XDG_RUNTIME_DIR
    fs::create_directories(plugin);
    chmod((root / "runtime").c_str(), 0700);
    chmod(plugin.c_str(), 0700);
    const std::string env = "XDG_RUNTIME_DIR='" + (root / "runtime").string() + "' ";
    int code = 0;
    run("convert -size 64x48 xc:gray50 -depth 8 '" + (root / "flat.png").string() + "'", &code);
    ASSERT_EQ(code, 0);
    const std::string page = (root / "page.html").string();

    // No map yet: a page without picture cells.
    std::string out = run(env + kLumenfall + " dots-page -o '" + page + "' '" + (root / "flat.png").string() + "'", &code);
    ASSERT_EQ(code, 0) << out;
    EXPECT_NE(out.find("(0 memory dots)"), std::string::npos) << out;
    EXPECT_EQ(readFile(page).find("Table_01"), std::string::npos);

    // Dots 2 and 9 kept; dot 2 adds no light to the picture, dot 9's file is gone.
    out = run(kLumenfall + " preset save --no-thumbnail -o '" + (plugin / "Lumenfall memory dot 1.q4q").string() +
                  "' --set glue=add --set 'master brightness=0'",
              &code);
    ASSERT_EQ(code, 0) << out;
    std::string map;
    bigEndian(map, 40);
    for (int dot = 0; dot < 25; ++dot) bigEndian(map, dot == 1 || dot == 8 ? 1 : 0);
    std::ofstream(plugin / "Lumenfall memdot map 2", std::ios::binary) << map;
    // A profile of two APP2 chunks: a header that names its size, then a pattern.
    std::string profile;
    bigEndian(profile, 70000);
    profile += "lmfl";
    bigEndian(profile, 0x02100000);
    profile += "mntrRGB XYZ ";
    profile.resize(36, '\0');
    profile += "acsp";
    profile.resize(128, '\0');
    bigEndian(profile, 0);  // no tags
    while (profile.size() < 70000) profile += char(profile.size() * 7);
    std::ofstream(root / "p.icc", std::ios::binary) << profile;

    out = run(env + kLumenfall + " dots-page -o '" + page + "' '" + (root / "flat.png").string() + "' --icc '" +
                  (root / "p.icc").string() + "'",
              &code);
    ASSERT_EQ(code, 0) << out;
    EXPECT_NE(out.find("(2 memory dots)"), std::string::npos) << out;
    EXPECT_NE(out.find("warning"), std::string::npos) << "dot 9 could not be rendered: " << out;
    const std::string html = readFile(page);
    EXPECT_NE(html.find("src=\"web_images/dot%202.jpg\" alt=\"dot 2.jpg\" width=\"300\" height=\"225\""),
              std::string::npos);
    const std::string dot2 = (root / "web_images" / "dot 2.jpg").string();
    // The flat grey input shows through at the picture size.
    const std::string seen = run("identify -format '%m %w %h %[fx:round(mean*255)]' '" + dot2 + "'", &code);
    EXPECT_EQ(seen.substr(0, 13), "JPEG 300 225 ");
    EXPECT_NEAR(std::atoi(seen.c_str() + 13), 128, 2) << seen;
    EXPECT_EQ(run("identify -format '%w %h' '" + (root / "web_images" / "dot 9.jpg").string() + "'", &code),
              "128 128");
    EXPECT_EQ(run("exiftool -q -q -b -ICC_Profile '" + dot2 + "'", &code), profile)
        << "exiftool reads the whole profile back from the APP2 chunks";
    fs::remove_all(root);
}
