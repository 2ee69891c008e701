// The command's own utilities at their edges: --memory-limit's units and
// budget, the output writer's links and refusals, 16-bit samples into 8-bit JPEG.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "atomic_file.h"
#include "image.h"
#include "memory_budget.h"

using namespace lumenfall;

TEST(MemoryLimit, UnitsArePowersOf1024AndTheLimitIsTheBudget) {
    uint64_t bytes = 0;
    ASSERT_TRUE(parseMemorySize("800000000", &bytes));
    EXPECT_EQ(bytes, 800000000u);
    ASSERT_TRUE(parseMemorySize("3K", &bytes));
    EXPECT_EQ(bytes, 3u * 1024);
    ASSERT_TRUE(parseMemorySize("512M", &bytes));
    EXPECT_EQ(bytes, 512ull << 20);
    ASSERT_TRUE(parseMemorySize("512mb", &bytes));
    EXPECT_EQ(bytes, 512ull << 20);
    ASSERT_TRUE(parseMemorySize("1.5G", &bytes));
    EXPECT_EQ(bytes, 3ull << 29);
    ASSERT_TRUE(parseMemorySize("2T", &bytes));
    EXPECT_EQ(bytes, 2ull << 40);
    // Less than one byte, nothing, or no number at all is no limit.
    for (const char* text : {"0.5", "0", "-1M", "", "M", "12Q", "nan", "inf"})
        EXPECT_FALSE(parseMemorySize(text, &bytes)) << text;

    // A limit below what the machine has is the budget, and says where it
    // comes from when a render does not fit it.
    setMemoryLimit(3ull << 20);
    EXPECT_EQ(memoryBudget(), 3ull << 20);
    std::string error;
    EXPECT_FALSE(fitsMemoryBudget(4ull << 20, "a test picture", &error));
    EXPECT_NE(error.find("(--memory-limit)"), std::string::npos) << error;
    EXPECT_TRUE(fitsMemoryBudget(3ull << 20, "a test picture", &error));
    setMemoryLimit(0);
    EXPECT_GT(memoryBudget(), 3ull << 20);
}

TEST(MemoryLimit, SixteenBitRendersCountTwoBytesASample) {
    EXPECT_EQ(renderBytes(100, 50, 3, 8), 2u * 100 * 50 * 3 + kRunAllowanceBytes);
    EXPECT_EQ(renderBytes(100, 50, 4, 16), 2u * 100 * 50 * 4 * 2 + kRunAllowanceBytes);
}

namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(OutputWriter, ALinkStaysALinkAndItsFileGetsTheBytes) {
    char pattern[] = "/tmp/lumenfall-output-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string folder = std::string(pattern) + "/";
    const std::string real = folder + "real.txt", link = folder + "link.txt";
    std::ofstream(real) << "old";
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    std::string error;
    ASSERT_TRUE(writeTextFile(link, "new", &error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readText(real), "new");
    struct stat info {};
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    std::filesystem::remove_all(folder);
}

// Each refusal says what is wrong with the name given, and none leaves a
// file behind.
TEST(OutputWriter, RefusalsSayWhyAndLeaveNothing) {
    char pattern[] = "/tmp/lumenfall-refusals-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string folder = std::string(pattern) + "/";
    ASSERT_EQ(::mkdir((folder + "sub").c_str(), 0700), 0);
    ASSERT_EQ(::symlink((folder + "gone.txt").c_str(), (folder + "dangling.txt").c_str()), 0);
    const std::pair<std::string, std::string> cases[] = {
        {"", "an empty output file name"},
        {folder + "sub", "cannot write " + folder + "sub: it is a folder"},
        {"/dev/null", "cannot write /dev/null: it is not a plain file"},
        {folder + "dangling.txt", "cannot write " + folder + "dangling.txt: it is a link to a missing file"},
        {folder + "none/out.txt", "cannot create " + folder + "none/out.txt (No such file or directory)"},
    };
    for (const auto& [target, message] : cases) {
        std::string error;
        EXPECT_FALSE(writeTextFile(target, "x", &error)) << target;
        EXPECT_EQ(error, message);
    }
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) entries += entry.path().empty() ? 0 : 1;
    EXPECT_EQ(entries, 2u);  // sub and the dangling link
    std::filesystem::remove_all(folder);
}

// 16-bit samples go to 8 bits rounded (65280 is 254.0 and a little), not
// by dropping the low byte (which gives 255).
TEST(OutputWriter, SixteenBitSamplesAreRoundedIntoJpeg) {
    char pattern[] = "/tmp/lumenfall-jpeg-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string path = std::string(pattern) + "/flat.jpg";
    for (const auto& [value, expected] : {std::pair<uint16_t, int>{65280, 254}, {32896, 128}, {200, 1}}) {
        Image flat;
        flat.allocate(16, 16, 1, false, 16);
        for (auto& s : flat.samples) s = value;
        WriteOptions options;
        options.quality = 100;
        std::string error;
        ASSERT_TRUE(writeImageFile(path, flat, options, &error)) << error;
        Image back;
        ASSERT_TRUE(readImageFile(path, &back, &error)) << error;
        ASSERT_EQ(back.depth, 8);
        EXPECT_EQ(int(back.samples[0]), expected) << value;
        EXPECT_EQ(int(back.samples[back.samples.size() - 1]), expected) << value;
    }
    std::filesystem::remove_all(pattern);
}
