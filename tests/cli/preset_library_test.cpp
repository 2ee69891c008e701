// The preset library as users reach it: `preset list`, `--preset NAME`
// and the presets of the repository's presets/ folder themselves.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_test_support.h"
#include "image.h"

using namespace lumenfall;
using lumenfall_cli_test::run;
namespace fs = std::filesystem;

namespace {

const std::string kProgram = LF_LUMENFALL;
const fs::path kLibrary = fs::path(LF_SOURCE_DIR) / "presets";

std::string quoted(const std::string& text) { return "'" + text + "'"; }

// The command with the library chosen by LUMENFALL_PRESETS (empty: unset).
std::string command(const std::string& library, const std::string& arguments) {
    const std::string environment =
        library.empty() ? "env -u LUMENFALL_PRESETS " : "env LUMENFALL_PRESETS=" + quoted(library) + " ";
    return environment + quoted(kProgram) + " " + arguments;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        out.push_back(text.substr(start, end - start));
    return out;
}

std::vector<std::string> presetFilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.is_regular_file() && e.path().extension() == ".q4q") names.push_back(e.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

class PresetLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("lumenfall-library-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        std::string error;
        ASSERT_TRUE(writeImageFile(path("small.png"), makeSampleImage(96, 60), &error)) << error;
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // The settings a render starts from with `--preset WORD`, run in the test's folder.
    std::string recorded(const std::string& library, const std::string& word, int* code) {
        return run("cd " + quoted(dir_.string()) + " && " +
                       command(library, "render -q small.png -o out.png --record --preset " + quoted(word)),
                   code);
    }

    fs::path dir_;
};

TEST_F(PresetLibrary, EveryPresetLoadsRendersAndHoldsItsThumbnail) {
    const std::vector<std::string> names = presetFilesIn(kLibrary);
    ASSERT_GE(names.size(), 24u);
    for (const std::string& name : names) {
        int code = -1;
        const std::string shown = run(quoted(kProgram) + " preset show " + quoted((kLibrary / (name + ".q4q")).string()), &code);
        EXPECT_EQ(code, 0) << name << ": " << shown;
        EXPECT_NE(shown.find("# thumbnail: 128 x 128, "), std::string::npos) << name << ": " << shown;
        EXPECT_EQ(shown.find("cannot be decoded"), std::string::npos) << name;
        EXPECT_EQ(shown.find("too large"), std::string::npos) << name;
        const std::string out = path(name + ".png");
        const std::string rendered =
            run(command(kLibrary.string(), "render -q " + quoted(path("small.png")) + " -o " + quoted(out) +
                                               " --preset " + quoted(name)),
                &code);
        EXPECT_EQ(code, 0) << name << ": " << rendered;
        EXPECT_TRUE(fs::exists(out)) << name;
    }
}

TEST_F(PresetLibrary, ListShowsEveryPresetOfTheLibraryByName) {
    int code = -1;
    // The program of the build tree finds the repository's library by itself.
    const std::string listed = run(command("", "preset list"), &code);
    EXPECT_EQ(code, 0) << listed;
    EXPECT_EQ(lines(listed), presetFilesIn(kLibrary));

    // Only files ending in .q4q count, with a name before the ending.
    fs::create_directories(dir_ / "lib" / "folder.q4q");
    fs::copy_file(kLibrary / "red-giant.q4q", dir_ / "lib" / "b-sun.q4q");
    fs::copy_file(kLibrary / "red-giant.q4q", dir_ / "lib" / "a-sun.q4q");
    fs::copy_file(kLibrary / "red-giant.q4q", dir_ / "lib" / ".q4q");
    fs::copy_file(kLibrary / "red-giant.q4q", dir_ / "lib" / "notes.txt");
    fs::copy_file(kLibrary / "red-giant.q4q", dir_ / "lib" / "c-sun.q4q.bak");
    const std::string chosen = run(command(path("lib"), "preset list"), &code);
    EXPECT_EQ(code, 0) << chosen;
    EXPECT_EQ(chosen, "a-sun\nb-sun\n");
}

TEST_F(PresetLibrary, ListFailsWithoutPresetsAndRefusesArguments) {
    int code = -1;
    fs::create_directories(dir_ / "empty");
    const std::string empty = run(command(path("empty"), "preset list"), &code);
    EXPECT_EQ(code, 1) << empty;
    EXPECT_NE(empty.find("holds no presets"), std::string::npos) << empty;
    const std::string missing = run(command(path("missing"), "preset list"), &code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(missing.find("cannot read the preset library"), std::string::npos) << missing;
    run(command(kLibrary.string(), "preset list extra"), &code);
    EXPECT_EQ(code, 2);
}

TEST_F(PresetLibrary, PresetNameOpensTheLibraryPreset) {
    int code = -1;
    const std::string byPath = recorded("", (kLibrary / "frozen-star.q4q").string(), &code);
    ASSERT_EQ(code, 0) << byPath;
    EXPECT_NE(byPath.find("sun blue=255"), std::string::npos) << byPath;
    EXPECT_EQ(recorded(kLibrary.string(), "frozen-star", &code), byPath);
    EXPECT_EQ(code, 0);
    // The build tree's program finds it without being told where the library is.
    EXPECT_EQ(recorded("", "frozen-star", &code), byPath);
    EXPECT_EQ(code, 0);
}

TEST_F(PresetLibrary, AFileOfThatNameWinsAndPathsAreNeverLookedUp) {
    int code = -1;
    const std::string redGiant = recorded("", (kLibrary / "red-giant.q4q").string(), &code);
    ASSERT_EQ(code, 0) << redGiant;
    fs::copy_file(kLibrary / "red-giant.q4q", dir_ / "frozen-star");
    EXPECT_EQ(recorded(kLibrary.string(), "frozen-star", &code), redGiant);
    EXPECT_EQ(code, 0);
    fs::remove(dir_ / "frozen-star");

    // A word with a separator or the preset ending names a file, never a library preset.
    for (const std::string word : {"./frozen-star", "frozen-star.q4q", "sub/frozen-star"}) {
        const std::string out = recorded(kLibrary.string(), word, &code);
        EXPECT_EQ(code, 1) << word << ": " << out;
        EXPECT_NE(out.find(word), std::string::npos) << out;
    }
    const std::string unknown = recorded(kLibrary.string(), "no-such-sun", &code);
    EXPECT_EQ(code, 1) << unknown;
    EXPECT_NE(unknown.find("no-such-sun"), std::string::npos) << unknown;
}

}  // namespace
