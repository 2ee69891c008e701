// Writes that fail part-way (a full disk) and temporary folders that do not
// fit a path field.
#include <gtest/gtest.h>

// Full disks, TMPDIR and folder permissions are POSIX matters; the Windows
// build's temporary folder comes from GetTempPath and is tested through the
// plug-in's own files elsewhere.
#if !defined(_WIN32)
#include <ftw.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

#include "params/plugin_files.h"
#include "params/preset_test_support.h"
#include "params/scoped_temp_folder.h"
#include "platform/file_io.h"
#include "platform/temp_folder.h"

using namespace lumenfall;
using namespace lumenfall::testing;

namespace {

// Stands in for a full disk: files cannot grow beyond `bytes` while it
// lives (root ignores permissions, but not this limit).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool ok() const { return ok_; }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
    bool ok_ = false;
};

int g_files = 0;
int countFile(const char*, const struct stat*, int type, struct FTW*) {
    if (type == FTW_F) ++g_files;
    return 0;
}
int countFiles(const std::string& folder) {
    g_files = 0;
    nftw(folder.c_str(), countFile, 16, FTW_PHYS);
    return g_files;
}

}  // namespace

TEST(FileFailures, AFailedWriteReportsMinus20AndKeepsTheOldFile) {
    ScopedTempFolder temp;
    const std::string path = temp.path("kept.q4q");
    auto old = newBlock();
    fillDistinct(*old, 6);
    ASSERT_EQ(savePresetFile(*old, path.c_str(), nullptr), kPresetOk);
    const auto oldBytes = readWholeFile(path);

    auto fresh = newBlock();
    std::vector<uint8_t> thumbnail;
    for (int32_t v : {1, 16, 16, 400}) putValue(thumbnail, v);
    thumbnail.resize(thumbnail.size() + 400, 0x11);
    {
        FileSizeLimit full(100);
        if (!full.ok()) GTEST_SKIP() << "cannot limit the file size here";
        EXPECT_EQ(savePresetFile(*fresh, path.c_str(), &thumbnail), kPresetWriteError);
    }
    EXPECT_EQ(readWholeFile(path), oldBytes);
    EXPECT_EQ(temp.entries().size(), 1u);  // the unfinished file was removed
}

TEST(FileFailures, OwnFilesReportFailedWritesToo) {
    ScopedTempFolder temp;
    int32_t kept[kMemoryDotCount] = {};
    kept[3] = 1;
    ASSERT_EQ(saveMemoryDotMapFile(kept), kPresetOk);
    auto block = newBlock();
    std::vector<uint8_t> thumbnail;
    for (int32_t v : {1, 16, 16, 400}) putValue(thumbnail, v);
    thumbnail.resize(thumbnail.size() + 400, 0x11);
    {
        FileSizeLimit full(50);
        if (!full.ok()) GTEST_SKIP() << "cannot limit the file size here";
        kept[3] = 0;
        EXPECT_EQ(saveMemoryDotMapFile(kept), kPresetWriteError);
        EXPECT_EQ(saveCachedSettingsFile(*block, &thumbnail), kPresetWriteError);
        EXPECT_EQ(saveMemoryDotFile(7, *block, nullptr), kPresetWriteError);
        EXPECT_EQ(saveUndoFile(1, *block, nullptr), kPresetWriteError);
    }
    int32_t loaded[kMemoryDotCount] = {};
    ASSERT_EQ(loadMemoryDotMapFile(loaded), kPresetOk);
    EXPECT_EQ(loaded[3], 1);  // the old map survived
    EXPECT_EQ(temp.entries().size(), 1u);
}

TEST(TemporaryFolder, IsAFolderOfThisUserOnlyAndRefusesOneSomeoneElseHolds) {
    ScopedTempFolder temp;  // TMPDIR set, XDG_RUNTIME_DIR unset
    const std::string outer = std::string(std::getenv("TMPDIR"));
    const std::string own = "lumenfall-" + std::to_string(unsigned(::geteuid()));
    char folder[260];
    ASSERT_TRUE(temporaryFolder(folder, sizeof folder));
    EXPECT_EQ(std::string(folder), outer + own + "/");
    struct stat info {};
    ASSERT_EQ(::lstat(folder, &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // A session's runtime folder comes first; the folder is made in it.
    const std::string runtime = outer + "run";
    ASSERT_EQ(::mkdir(runtime.c_str(), 0700), 0);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ASSERT_TRUE(temporaryFolder(folder, sizeof folder));
    EXPECT_EQ(std::string(folder), runtime + "/lumenfall/");

    // Someone else's folder, or a link to one, under our name: refused, and
    // a cached-settings file planted there is never read.
    const std::string planted = outer + "theirs";
    ASSERT_EQ(::mkdir(planted.c_str(), 0777), 0);
    auto block = newBlock();
    fillDistinct(*block, 3);
    ASSERT_TRUE(writeWholeFile(planted + "/" + kCachedSettingsFileName, presetFileBytes(*block, nullptr)));
    ASSERT_EQ(std::system(("rm -rf '" + runtime + "/lumenfall' && ln -s '" + planted + "' '" + runtime +
                           "/lumenfall'").c_str()),
              0);
    auto loaded = newBlock();
    EXPECT_FALSE(temporaryFolder(folder, sizeof folder));
    EXPECT_EQ(loadCachedSettingsFile(*loaded), kPresetCannotOpen);
    if (::geteuid() == 0) {  // only root can give a folder away
        ASSERT_EQ(::unlink((runtime + "/lumenfall").c_str()), 0);
        ASSERT_EQ(::rename(planted.c_str(), (runtime + "/lumenfall").c_str()), 0);
        ASSERT_EQ(::chown((runtime + "/lumenfall").c_str(), 4242, 4242), 0);
        EXPECT_FALSE(temporaryFolder(folder, sizeof folder));
        EXPECT_EQ(loadCachedSettingsFile(*loaded), kPresetCannotOpen);
    }
    unsetenv("XDG_RUNTIME_DIR");
}

TEST(TemporaryFolder, AFolderTooLongForThePathFieldSkipsEveryFile) {
    ScopedTempFolder temp;
    // A real folder of 300 characters, so that a cut name could exist.
    std::string deep = temp.folder();
    while (deep.size() < 300) {
        deep += "dddddddddddddddddddddddddddddddddddddddddddddddd/";
        ASSERT_EQ(::mkdir(deep.c_str(), 0700), 0);
    }
    setenv("TMPDIR", deep.c_str(), 1);
    char path[kPathFieldSize];
    EXPECT_FALSE(pluginFilePath(kCachedSettingsFileName, path));
    auto block = newBlock();
    fillDistinct(*block, 8);
    auto before = newBlock();
    std::memcpy(before.get(), block.get(), sizeof(ParameterBlock));
    EXPECT_EQ(saveCachedSettingsFile(*block, nullptr), kPresetCannotOpen);
    EXPECT_EQ(loadCachedSettingsFile(*block), kPresetCannotOpen);
    EXPECT_EQ(saveMemoryDotFile(0, *block, nullptr), kPresetCannotOpen);
    EXPECT_EQ(loadMemoryDotFile(0, *block), kPresetCannotOpen);
    int32_t kept[kMemoryDotCount] = {};
    EXPECT_EQ(saveMemoryDotMapFile(kept), kPresetCannotOpen);
    kept[0] = 5;
    EXPECT_EQ(loadMemoryDotMapFile(kept), kPresetCannotOpen);
    EXPECT_EQ(kept[0], 5);
    EXPECT_EQ(std::memcmp(block.get(), before.get(), sizeof(ParameterBlock)), 0);
    // Nothing was written anywhere under the folder, cut or not.
    EXPECT_EQ(countFiles(temp.folder()), 0);
}

#endif  // !_WIN32
