// The platform's file writer and readers at the edges a user's files reach:
// links, modes, failed writes and renames, signals, long names, things that
// are not plain files, buffers filled exactly.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "platform/replacing_file.h"
#include "platform/temp_folder.h"

using namespace lumenfall;

TEST(JoinPath, NeedsRoomForTheTerminatorAndNothingMore) {
    char path[8];
    EXPECT_FALSE(joinPath("abcd", "efg", path, 7));  // 7 characters and the terminator need 8
    EXPECT_STREQ(path, "");
    EXPECT_TRUE(joinPath("abcd", "efg", path, 8));
    EXPECT_STREQ(path, "abcdefg");
}

namespace {

namespace fs = std::filesystem;

class FileWriters : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path folder =
            fs::temp_directory_path() / ("lumenfall-writers-" + std::to_string(std::random_device{}()));
        ASSERT_TRUE(fs::create_directory(folder));
        folder_ = folder.string() + "/";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    std::string path(const char* name) const { return folder_ + name; }
    std::string contents(const std::string& file) const {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void put(const std::string& file, const std::string& text) const { std::ofstream(file, std::ios::binary) << text; }
    size_t entries() const {
        size_t n = 0;
        for (const auto& entry : fs::directory_iterator(folder_)) n += entry.path().empty() ? 0 : 1;
        return n;
    }

    std::string folder_;
};

}  // namespace

// A rename that fails (the target became a folder while the file was being
// written) reports the failure and removes the new file.
TEST_F(FileWriters, AFailedRenameLeavesNoCompanionFile) {
    const std::string target = path("target.png");
    ReplacingFile file;
    ASSERT_EQ(file.open(target.c_str()), kFileOk);
    ASSERT_TRUE(file.write("bytes", 5));
    const std::string companion = file.temporaryPath();
    ASSERT_TRUE(fs::exists(companion));
    ASSERT_TRUE(fs::create_directory(target));
    put(target + "/inside", "x");
    EXPECT_EQ(file.commit(), kFileWriteError);
    EXPECT_EQ(file.problem(), ReplaceProblem::kWriteFailed);
    EXPECT_FALSE(fs::exists(companion));
    EXPECT_EQ(entries(), 1u);
}

// What a signal handler calls removes the new files in flight, never the
// targets, and a commit after it fails instead of claiming success. Many
// files written before must not have used up the record. The folder is
// counted once the writer has closed its file: Windows lists a file deleted
// while open until its last handle is closed.
TEST_F(FileWriters, TheSignalCleanupRemovesOnlyFilesInFlight) {
    const std::string done = path("done.png"), busy = path("busy.png");
    for (int i = 0; i < 70; ++i) ASSERT_EQ(writeFileReplacing(done.c_str(), "d", 1), kFileOk);
    put(busy, "old");
    ReplacingFile file;
    ASSERT_EQ(file.open(busy.c_str()), kFileOk);
    ASSERT_TRUE(file.write("new", 3));
    ASSERT_TRUE(fs::exists(file.temporaryPath()));

    removeUnfinishedFiles();
    EXPECT_EQ(contents(done), "d");
    EXPECT_EQ(file.commit(), kFileWriteError);
    EXPECT_EQ(contents(busy), "old");
    EXPECT_EQ(entries(), 2u);
}

// Links, modes, FIFOs and file size limits are POSIX matters.
#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

namespace {

unsigned modeOf(const std::string& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 ? unsigned(info.st_mode & 07777) : 0u;
}

bool writeThroughReplacingFile(const std::string& target, const std::string& text) {
    ReplacingFile file;
    return file.open(target.c_str()) == kFileOk && file.write(text.data(), text.size()) && file.commit() == kFileOk;
}

bool writeInOneCall(const std::string& target, const std::string& text) {
    return writeFileReplacing(target.c_str(), text.data(), text.size()) == kFileOk;
}

}  // namespace

// Piece by piece and in one call: a link stays a link and the file it names gets the bytes; a
// file keeps its mode (a user's 0640 must not become world-readable).
TEST_F(FileWriters, BothWritersKeepLinksAndModes) {
    for (auto write : {writeThroughReplacingFile, writeInOneCall}) {
        const std::string real = path("real.q4q"), link = path("link.q4q");
        put(real, "old");
        ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
        ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);

        ASSERT_TRUE(write(link, "new bytes"));
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(contents(real), "new bytes");
        EXPECT_EQ(modeOf(real), 0640u);

        ASSERT_TRUE(write(real, "again"));
        EXPECT_EQ(modeOf(real), 0640u);
        EXPECT_EQ(entries(), 2u);  // no companion file left behind
        fs::remove(link);
        fs::remove(real);
    }
}

// A write that fails half way (here the file size limit, as a full disk
// would) is reported, keeps the old file's bytes and leaves nothing beside.
TEST_F(FileWriters, AFailedWriteKeepsTheOldFile) {
    const std::string target = path("saved.q4q");
    put(target, "what was saved before");
    const std::string big(64 * 1024, 'x');
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int32_t inOneCall = writeFileReplacing(target.c_str(), big.data(), big.size());
    ReplacingFile file;
    const bool opened = file.open(target.c_str()) == kFileOk;
    const bool wrote = opened && file.write(big.data(), big.size());
    const int32_t committed = opened ? file.commit() : kFileOk;
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(inOneCall, kFileWriteError);
    ASSERT_TRUE(opened);
    EXPECT_EQ(committed, kFileWriteError) << "wrote " << wrote;
    EXPECT_NE(file.systemError(), 0);
    EXPECT_EQ(contents(target), "what was saved before");
    EXPECT_EQ(entries(), 1u);
}

// A name at the file system's limit still gets a new file beside it.
TEST_F(FileWriters, ATargetWithTheLongestNameIsWritten) {
    const std::string target = folder_ + std::string(250, 'n') + ".q4q";
    ASSERT_EQ(writeFileReplacing(target.c_str(), "q", 1), kFileOk);
    EXPECT_EQ(contents(target), "q");
    EXPECT_EQ(entries(), 1u);
}

// Only plain files are read: a folder or a FIFO (where a read would wait for
// a writer for ever) is refused at once.
TEST_F(FileWriters, ReadingRefusesWhatIsNotAPlainFile) {
    const std::string fifo = path("fifo.q4q");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(openFileForReading(fifo.c_str()), nullptr);
    EXPECT_EQ(openFileForReading(folder_.c_str()), nullptr);
    put(path("plain.q4q"), "q");
    std::FILE* plain = openFileForReading(path("plain.q4q").c_str());
    ASSERT_NE(plain, nullptr);
    std::fclose(plain);
}

// A folder left open to others (an older version, or a umask) is closed
// again before anything goes into it.
TEST_F(FileWriters, TheTemporaryFolderIsClosedToOthersAgain) {
    const char* oldRuntime = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = oldRuntime ? oldRuntime : "";
    ::setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    const std::string own = folder_ + "lumenfall";
    ASSERT_EQ(::mkdir(own.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(own.c_str(), 0755), 0);
    char folder[512];
    const bool made = temporaryFolder(folder, sizeof folder);
    if (oldRuntime) ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    else ::unsetenv("XDG_RUNTIME_DIR");
    ASSERT_TRUE(made);
    EXPECT_EQ(std::string(folder), own + "/");
    EXPECT_EQ(modeOf(own), 0700u);
}

#endif
