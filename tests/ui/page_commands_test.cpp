// The dialog's page commands with a recording window system: what each
// cancel leaves, where the page goes, that it is opened once, and that every
// failure reaches the user.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "export/html_page.h"
#include "params/defaults.h"
#include "ui/page_commands.h"

namespace lumenfall {
namespace {

namespace fs = std::filesystem;

struct FakeDialogs : PageDialogs {
    std::string folderReply;  // empty: cancelled
    std::string pathReply;    // empty: cancelled
    bool openWorks = true;
    std::vector<std::string> calls;

    bool chooseFolder(char* folder) override {
        calls.push_back(std::string("folder from ") + folder);
        if (folderReply.empty()) return false;
        std::strncpy(folder, folderReply.c_str(), kPathFieldSize - 1);
        return true;
    }
    bool choosePagePath(const char* name, const char* folder, std::string* path) override {
        calls.push_back(std::string("save ") + name + " in " + folder);
        *path = pathReply;
        return !pathReply.empty();
    }
    void waitCursor(bool on) override { calls.push_back(on ? "wait" : "arrow"); }
    void reportFailure(const std::string& message) override { calls.push_back("failure " + message); }
    bool openPage(const std::string& path) override {
        calls.push_back("open " + path);
        return openWorks;
    }
    void refreshPreview() override { calls.push_back("preview"); }
};

struct FakePort : PagesPort {
    int32_t answer = kPageWritten;
    std::vector<int> dots;
    std::vector<uint8_t> colourProfile() override { return {}; }
    int32_t writeMemoryDotsPage(const std::string&, const std::vector<int>& filled, int32_t*) override {
        dots = filled;
        return answer;
    }
};

struct Folder {
    fs::path root = fs::temp_directory_path() / ("lf-pagecmd-" + std::to_string(getpid()));
    Folder() {
        fs::remove_all(root);
        fs::create_directories(root / "presets");
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

TEST(PageCommands, PresetsPageAsksTwiceWritesOpensAndKeepsTheFolders) {
    Folder f;
    std::unique_ptr<ParameterBlock> block = std::make_unique<ParameterBlock>();
    initialiseParameterBlock(*block);
    std::strcpy(block->settingsFolder, "/start/");
    FakeDialogs dialogs;

    // A cancelled folder prompt, then a cancelled save dialog: nothing written.
    EXPECT_EQ(runPresetsPageCommand(*block, dialogs, nullptr), kPageCommandDeclined);
    EXPECT_EQ(dialogs.calls, std::vector<std::string>{"folder from /start/"});
    dialogs.folderReply = (f.root / "presets").string() + "/";
    dialogs.calls.clear();
    EXPECT_EQ(runPresetsPageCommand(*block, dialogs, nullptr), kPageCommandDeclined);
    EXPECT_EQ(dialogs.calls.back(), "save Lumenfall presets.html in ");
    EXPECT_FALSE(fs::exists(f.root / "web_images"));
    EXPECT_EQ(block->htmlExportFlag, 0);

    const std::string page = (f.root / "out.html").string();
    dialogs.pathReply = page;
    dialogs.calls.clear();
    EXPECT_EQ(runPresetsPageCommand(*block, dialogs, nullptr), kPageCommandDone);
    const std::vector<std::string> expected = {"folder from " + dialogs.folderReply,
                                               "save Lumenfall presets.html in ", "wait", "arrow", "open " + page};
    EXPECT_EQ(dialogs.calls, expected);
    EXPECT_TRUE(fs::exists(page));
    EXPECT_EQ(std::string(block->htmlFolder), (f.root / "").string());
    EXPECT_EQ(block->htmlExportFlag, 0);

    // Another page still being written: no prompt at all.
    block->htmlExportFlag = 1;
    dialogs.calls.clear();
    EXPECT_EQ(runPresetsPageCommand(*block, dialogs, nullptr), kPageCommandDeclined);
    EXPECT_TRUE(dialogs.calls.empty());
    block->htmlExportFlag = 0;

    // A page that cannot be created, and one that cannot be opened, are told.
    dialogs.pathReply = (f.root / "missing" / "p.html").string();
    dialogs.calls.clear();
    EXPECT_EQ(runPresetsPageCommand(*block, dialogs, nullptr), kPageCommandFailed);
    EXPECT_EQ(dialogs.calls.back().rfind("failure ", 0), 0u);
    dialogs.pathReply = page;
    dialogs.openWorks = false;
    dialogs.calls.clear();
    EXPECT_EQ(runPresetsPageCommand(*block, dialogs, nullptr), kPageCommandFailed);
    EXPECT_EQ(dialogs.calls.back().rfind("failure ", 0), 0u);
}

TEST(PageCommands, MemoryDotsPageGoesThroughTheHostAndRefreshesThePreview) {
    std::unique_ptr<ParameterBlock> block = std::make_unique<ParameterBlock>();
    initialiseParameterBlock(*block);
    std::strcpy(block->htmlFolder, "/pages/");
    FakeDialogs dialogs;
    FakePort port;
    dialogs.pathReply = "/pages/dots.html";
    EXPECT_EQ(runMemoryDotsPageCommand(*block, dialogs, &port, {0, 4, 24}), kPageCommandDone);
    EXPECT_EQ(port.dots, (std::vector<int>{0, 4, 24}));
    const std::vector<std::string> expected = {"save Lumenfall memory dots.html in /pages/", "wait", "arrow",
                                               "preview", "open /pages/dots.html"};
    EXPECT_EQ(dialogs.calls, expected);

    // The user's cancel is no failure; a failed write is one, and nothing opens.
    port.answer = kPageCancelled;
    dialogs.calls.clear();
    EXPECT_EQ(runMemoryDotsPageCommand(*block, dialogs, &port, {1}), kPageCommandDeclined);
    EXPECT_EQ(dialogs.calls.back(), "preview");
    port.answer = kPageWriteError;
    dialogs.calls.clear();
    EXPECT_EQ(runMemoryDotsPageCommand(*block, dialogs, &port, {1}), kPageCommandFailed);
    EXPECT_EQ(dialogs.calls.back().rfind("failure ", 0), 0u);
    EXPECT_EQ(block->htmlExportFlag, 0);
}

}  // namespace
}  // namespace lumenfall
