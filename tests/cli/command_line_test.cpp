// The lumenfall command as users and attackers run it: every case starts
// the real program and checks its exit code, its messages and the files
// left behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_test_support.h"
#include "command_psd.h"
#include "image.h"
#include "memory_budget.h"

using namespace lumenfall;
namespace fs = std::filesystem;

namespace {

struct Result {
    int code = -1;          // exit code, or 128 + signal
    std::string out, err;
    long peakKilobytes = 0;
};

struct Launch {
    explicit Launch(std::vector<std::string> words, std::string input = "")
        : args(std::move(words)), stdinFile(std::move(input)) {}
    std::vector<std::string> args;
    std::string stdinFile;        // empty: /dev/null
    long fileSizeLimit = -1;      // bytes a file may grow to (a full disk)
    bool ignoreFileSizeSignal = true;  // false: SIGXFSZ as the system delivers it
};

class Folder {
public:
    Folder() {
        path_ = fs::temp_directory_path() / ("lumenfall-cli-" + std::to_string(getpid()) + "-" + std::to_string(counter_++));
        fs::create_directories(path_);
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename().string());
        return names;
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
    static inline int counter_ = 0;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

pid_t start(const Launch& l, const std::string& outPath, const std::string& errPath, int stdinFd = -1) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    const int in = stdinFd >= 0 ? stdinFd : open(l.stdinFile.empty() ? "/dev/null" : l.stdinFile.c_str(), O_RDONLY);
    dup2(in, 0);
    dup2(open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    if (l.fileSizeLimit >= 0) {
        if (l.ignoreFileSizeSignal) signal(SIGXFSZ, SIG_IGN);  // writes past the limit fail with EFBIG
        struct rlimit limit = {rlim_t(l.fileSizeLimit), rlim_t(l.fileSizeLimit)};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::vector<char*> argv;
    static std::string program = LF_LUMENFALL;
    argv.push_back(program.data());
    for (const std::string& a : l.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

Result finish(pid_t pid, const std::string& outPath, const std::string& errPath) {
    Result r;
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.peakKilobytes = usage.ru_maxrss;
    r.out = readFile(outPath);
    r.err = readFile(errPath);
    return r;
}

Result run(const Launch& l) {
    const std::string base = (fs::temp_directory_path() / ("lumenfall-cli-io-" + std::to_string(getpid()))).string();
    Result r = finish(start(l, base + ".out", base + ".err"), base + ".out", base + ".err");
    fs::remove(base + ".out");
    fs::remove(base + ".err");
    return r;
}

Result run(std::vector<std::string> args) { return run(Launch(std::move(args))); }

// A picture with a different value in most samples.
Image pattern(int w, int h, int depth) {
    Image image;
    image.allocate(w, h, 3, false, depth);
    for (size_t i = 0; i < image.samples.size(); ++i)
        image.samples[i] = uint16_t(depth == 16 ? (i * 2654435761u) >> 16 : (i * 37 + i / 7) & 0xFF);
    return image;
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

// A small RGB display profile holding only its description.
std::vector<uint8_t> testProfile(const std::string& description) {
    std::vector<uint8_t> p(128, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k) p[at + k] = uint8_t(v >> (24 - 8 * k));
    };
    auto text = [&](size_t at, const char* four) { std::memcpy(&p[at], four, 4); };
    put32(8, 0x02100000);
    text(12, "mntr");
    text(16, "RGB ");
    text(20, "XYZ ");
    text(36, "acsp");
    put32(68, 0x0000F6D6);
    put32(72, 0x00010000);
    put32(76, 0x0000D32D);
    // One tag: the description, right after the tag table.
    p.resize(144, 0);
    put32(128, 1);
    text(132, "desc");
    put32(136, 144);
    std::vector<uint8_t> desc = {'d', 'e', 's', 'c', 0, 0, 0, 0};
    const uint32_t count = uint32_t(description.size() + 1);
    for (int k = 0; k < 4; ++k) desc.push_back(uint8_t(count >> (24 - 8 * k)));
    desc.insert(desc.end(), description.begin(), description.end());
    desc.push_back(0);
    desc.resize(desc.size() + 4 + 4 + 2 + 1 + 67, 0);
    put32(140, uint32_t(desc.size()));
    p.insert(p.end(), desc.begin(), desc.end());
    while (p.size() % 4) p.push_back(0);
    put32(0, uint32_t(p.size()));
    return p;
}

// The settings that keep the sun far off the picture.
const std::vector<std::string> kSunOffThePicture = {"--set", "glue=screen", "--set", "X center=20", "--set",
                                                    "Y center=20"};

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST(CommandLine, OutputsNeverReplaceTheInputOrEachOther) {
    Folder dir;
    save(dir / "precious.png", pattern(40, 30, 8));
    const std::string before = readFile(dir / "precious.png");
    Result r = run({"render", dir / "precious.png", "-o", dir / "out.png", "--log", dir / "precious.png", "-q"});
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find("is also the input"), std::string::npos) << r.err;
    r = run({"render", dir / "precious.png", "-o", dir / "./precious.png", "-q"});
    EXPECT_EQ(r.code, 2);
    r = run({"render", dir / "precious.png", "-o", dir / "a.png", "--log", dir / "a.png", "-q"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(readFile(dir / "precious.png"), before);
    EXPECT_EQ(dir.entries().size(), 1u);
}

TEST(CommandLine, AFullDiskLeavesThePreviousOutputAsItWas) {
    Folder dir;
    save(dir / "in.png", pattern(300, 200, 16));
    writeFile(dir / "out.png", "the previous picture");
    writeFile(dir / "out.log", "the previous log");
    Launch l({"render", dir / "in.png", "-o", dir / "out.png", "-q"});
    l.fileSizeLimit = 4096;
    Result r = run(l);
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(readFile(dir / "out.png"), "the previous picture");
    l.args = {"render", dir / "in.png", "-o", dir / "o.tif", "--log", dir / "out.log", "-q", "--repeat", "3"};
    r = run(l);
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(readFile(dir / "out.log"), "the previous log");
    EXPECT_EQ(dir.entries().size(), 3u);  // no temporary file left
    // The file size limit as the system enforces it, with its signal.
    l.args = {"render", dir / "in.png", "-o", dir / "out.png", "-q"};
    l.ignoreFileSizeSignal = false;
    r = run(l);
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(dir / "out.png"), "the previous picture");
    EXPECT_EQ(dir.entries().size(), 3u);
}

TEST(CommandLine, EverySignalThatEndsTheProgramRemovesItsTemporaryFile) {
    Folder dir;
    save(dir / "big.png", pattern(900, 600, 16));
    for (int number : {SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGXFSZ, SIGXCPU}) {
        bool caught = false;
        // The signal goes in while the output is being written: as soon as
        // its temporary file appears.
        for (int attempt = 0; attempt < 3 && !caught; ++attempt) {
            const pid_t p = start(Launch({"render", dir / "big.png", "-o", dir / "out.png", "-q"}), dir / "o.txt",
                                  dir / "e.txt");
            for (int polls = 0; polls < 20000 && !caught; ++polls) {
                for (const std::string& name : dir.entries())
                    if (name.find(".lumenfall-") != std::string::npos) caught = true;
                if (!caught) std::this_thread::sleep_for(std::chrono::microseconds(500));
                if (waitpid(p, nullptr, WNOHANG) != 0) break;
            }
            if (caught) kill(p, number);
            const Result r = finish(p, dir / "o.txt", dir / "e.txt");
            if (caught) {
                EXPECT_EQ(r.code, 128 + number) << strsignal(number) << " " << r.err;
            }
            std::error_code ec;
            fs::remove(dir / "out.png", ec);
            EXPECT_EQ(dir.entries().size(), 3u) << strsignal(number);  // big, o.txt, e.txt
        }
        EXPECT_TRUE(caught) << strsignal(number);
    }
}

TEST(CommandLine, SignalsCancelEveryPhaseAndLeaveNoPartialFile) {
    Folder dir;
    // Ctrl-C while standard input is still being read: the pipe stays open,
    // so the program is waiting in its read.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    Launch l({"render", "-", "-o", dir / "out.png", "-q"});
    const pid_t pid = start(l, dir / "o.txt", dir / "e.txt", fds[0]);
    close(fds[0]);
    const std::string chunk(256 * 1024, 'x');  // more than a pipe holds: done once the program reads
    ASSERT_EQ(write(fds[1], chunk.data(), chunk.size()), ssize_t(chunk.size()));
    kill(pid, SIGINT);
    // As when Ctrl-C reaches the whole pipeline: the writer goes too, so a
    // read the signal just missed ends instead of waiting for ever.
    close(fds[1]);
    Result r = finish(pid, dir / "o.txt", dir / "e.txt");
    EXPECT_EQ(r.code, 130) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out.png"));

    // SIGTERM at moments spread over a large render and its write: each
    // run either finishes or leaves the previous file exactly as it was.
    save(dir / "big.png", pattern(3000, 2000, 8));
    writeFile(dir / "out.png", "the previous picture");
    int cancelled = 0;
    for (int ms : {150, 400, 800, 1300, 2000, 3000}) {
        const pid_t p = start(Launch({"render", dir / "big.png", "-o", dir / "out.png", "-q"}), dir / "o.txt",
                              dir / "e.txt");
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        kill(p, SIGTERM);
        r = finish(p, dir / "o.txt", dir / "e.txt");
        ASSERT_TRUE(r.code == 143 || r.code == 0) << r.code << " " << r.err;
        if (r.code == 143) {
            ++cancelled;
            EXPECT_EQ(readFile(dir / "out.png"), "the previous picture") << ms;
        } else {
            EXPECT_EQ(load(dir / "out.png").width, 3000);
            writeFile(dir / "out.png", "the previous picture");
        }
        EXPECT_EQ(dir.entries().size(), 4u) << ms;  // big, out, o.txt, e.txt and nothing half-written
    }
    EXPECT_GT(cancelled, 0);
}

TEST(CommandLine, HugeDeclaredSizesAreRefusedWithLittleMemory) {
    Folder dir;
    // 69 bytes declaring 32767 x 32767 16-bit RGBA.
    Image tiny = pattern(1, 1, 16);
    save(dir / "tiny.png", tiny);
    std::string png = readFile(dir / "tiny.png");
    const unsigned char side[4] = {0, 0, 0x7F, 0xFF};
    png.replace(16, 4, reinterpret_cast<const char*>(side), 4);
    png.replace(20, 4, reinterpret_cast<const char*>(side), 4);
    png[24] = 16;
    png[25] = 6;  // RGBA
    // The header's checksum follows the header.
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 12; i < 29; ++i) {
        crc ^= uint8_t(png[i]);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc ^= 0xFFFFFFFFu;
    for (int k = 0; k < 4; ++k) png[29 + k] = char(crc >> (24 - 8 * k));
    writeFile(dir / "huge.png", png);
    // A small JPEG whose frame header claims 30000 x 30000.
    save(dir / "small.jpg", pattern(64, 64, 8));
    std::string jpeg = readFile(dir / "small.jpg");
    const size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    for (size_t at : {sof + 5, sof + 7}) {
        jpeg[at] = char(30000 >> 8);
        jpeg[at + 1] = char(30000 & 0xFF);
    }
    writeFile(dir / "huge.jpg", jpeg);
    for (const char* name : {"huge.png", "huge.jpg"}) {
        const Result r = run({"render", dir / name, "-o", dir / "out.png", "-q"});
        EXPECT_EQ(r.code, 1) << name << " " << r.err;
        EXPECT_LT(r.peakKilobytes, 100 * 1024) << name;
        EXPECT_FALSE(fs::exists(dir / "out.png"));
    }
    const Result r = run({"render", "-o", dir / "out.png", "--memory-limit=20M", "-q"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind("lumenfall: out of memory", 0), 0u) << r.err;
}

TEST(CommandLine, DamagedFilesAreErrorsUnlessAllowed) {
    Folder dir;
    save(dir / "whole.jpg", pattern(200, 160, 8));
    save(dir / "whole.png", pattern(200, 160, 8));
    const std::string jpeg = readFile(dir / "whole.jpg");
    writeFile(dir / "cut.jpg", jpeg.substr(0, jpeg.size() * 4 / 10));
    const std::string png = readFile(dir / "whole.png");
    writeFile(dir / "cut.png", png.substr(0, png.size() * 6 / 10));
    std::string corrupt = png;
    corrupt[corrupt.size() / 2] ^= 0x55;  // a checksum no longer matches
    writeFile(dir / "corrupt.png", corrupt);
    for (const char* name : {"cut.jpg", "cut.png", "corrupt.png"}) {
        Result r = run({"render", dir / name, "-o", dir / "out.png", "-q"});
        EXPECT_EQ(r.code, 1) << name;
        EXPECT_NE(r.err.find("damaged"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir / "out.png"));
        if (std::string(name) == "corrupt.png") continue;
        r = run({"render", dir / name, "-o", dir / "out.png", "-q", "--allow-damaged"});
        EXPECT_EQ(r.code, 0) << name << " " << r.err;
        EXPECT_NE(r.err.find("warning"), std::string::npos) << r.err;
        fs::remove(dir / "out.png");
    }
    // A progressive JPEG cut anywhere after its header.
    if (std::system(("jpegtran -progressive -outfile '" + dir / "p.jpg" + "' '" + dir / "whole.jpg" + "' 2>/dev/null").c_str()) == 0) {
        const std::string progressive = readFile(dir / "p.jpg");
        for (int percent : {30, 60, 90, 99}) {
            writeFile(dir / "pcut.jpg", progressive.substr(0, progressive.size() * percent / 100));
            const Result r = run({"render", dir / "pcut.jpg", "-o", dir / "out.png", "-q"});
            EXPECT_EQ(r.code, 1) << percent;
        }
    }
}

TEST(CommandLine, ArgumentsAndExitCodes) {
    Folder dir;
    save(dir / "in.png", pattern(40, 30, 8));
    struct Case {
        std::vector<std::string> args;
        int code;
    };
    const Case cases[] = {
        {{"render", "--set", "sun red=256", "-o", dir / "a.png"}, 2},
        {{"render", "--set", "X center=nan", "-o", dir / "a.png"}, 2},
        {{"render", "--set", "flare X=inf", "-o", dir / "a.png"}, 2},
        {{"render", "--preset", dir / "in.png", "-o", dir / "a.png"}, 2},
        {{"preset", "show", dir / "in.png"}, 2},
        {{"render", "--help"}, 0},
        {{"settings", "--foo"}, 2},
        {{"about", "--foo"}, 2},
        {{"render", "--quiet=yes"}, 2},
        {{"render", "--threads", "0", "-o", dir / "a.png"}, 2},
        {{"render", "--depth", "16", "-o", dir / "a.jpg"}, 2},
        {{"render", "-o", dir / "a.webp"}, 2},
        {{"render", "-o", dir / "noext"}, 2},
        {{"render", "--quality", "90", "-o", dir / "a.png"}, 2},
        {{"render", "--set=sun radius=20", "-o" + dir / "eq.png", "-q", "--", dir / "in.png"}, 0},
    };
    for (const Case& c : cases) {
        const Result r = run(c.args);
        std::string shown;
        for (const std::string& a : c.args) shown += a + " ";
        EXPECT_EQ(r.code, c.code) << shown << "\n" << r.err;
    }
    EXPECT_EQ(load(dir / "eq.png").width, 40);
    Result r = run({"render", "-o", dir / "a.webp"});
    EXPECT_NE(r.err.find("JPEG (.jpg, .jpeg)"), std::string::npos) << r.err;
    r = run({"render", dir / "in.png", "-o", dir / "r.png", "--set", "flare X=-0.3", "--record"});
    EXPECT_NE(r.out.find("\nflare X=-0.3\n"), std::string::npos) << r.out;
    // Two rolls in the same second differ.
    run({"preset", "roll", "-o", dir / "1.q4q", "--no-thumbnail", "-q"});
    run({"preset", "roll", "-o", dir / "2.q4q", "--no-thumbnail", "-q"});
    EXPECT_NE(readFile(dir / "1.q4q"), readFile(dir / "2.q4q"));
    // --last with nothing cached says so.
    setenv("TMPDIR", dir.path().c_str(), 1);
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    const std::string savedRuntime = runtime ? runtime : "";
    unsetenv("XDG_RUNTIME_DIR");
    r = run({"render", dir / "in.png", "-o", dir / "l.png", "--last"});
    unsetenv("TMPDIR");
    if (runtime) setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("no settings are cached"), std::string::npos) << r.err;
}

// The plug-in shares rows among threads; the picture does not depend on how many.
TEST(CommandLine, ThreadsDoNotChangeThePicture) {
    Folder dir;
    save(dir / "in.png", pattern(300, 200, 8));
    for (const char* threads : {"1", "3"})
        ASSERT_EQ(run(Launch({"render", dir / "in.png", "--threads", threads, "-q", "-o", dir / (std::string(threads) + ".png")})).code, 0);
    EXPECT_EQ(readFile(dir / "1.png"), readFile(dir / "3.png"));
}

TEST(CommandLine, PixelsTheSunDoesNotReachKeepTheirExactValues) {
    Folder dir;
    for (int depth : {8, 16}) {
        const Image input = pattern(120, 80, depth);
        save(dir / "in.png", input);
        for (const char* out : {"out.png", "out.tif"}) {
            const Result r = run(std::vector<std::string>{"render", dir / "in.png", "-o", dir / out, "-q"} +
                                 kSunOffThePicture);
            ASSERT_EQ(r.code, 0) << r.err;
            const Image back = load(dir / out);
            EXPECT_EQ(back.depth, depth) << out;
            EXPECT_TRUE(back.samples == input.samples) << depth << " " << out;
            // Another reader sees the same depth.
            const std::string shown = dir / "depth.txt";
            if (std::system(("identify -format %z '" + dir / out + "' > '" + shown + "' 2>/dev/null").c_str()) == 0) {
                EXPECT_EQ(readFile(shown), std::to_string(depth)) << out;
            }
        }
    }
    // A pipe in, a pipe out.
    const Result r = run(Launch({"render", "-", "-o", "-", "--format", "tiff", "-q"}, dir / "in.png"));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 4), std::string("II*\0", 4));
}

TEST(CommandLine, PhotosKeepOrientationProfileAndResolution) {
    Folder dir;
    // Stored 60 x 40, red in the top-left corner, shown turned a quarter clockwise.
    Image stored;
    stored.allocate(60, 40, 3, false, 8);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) stored.samples[stored.index(x, y, 0)] = 255;
    save(dir / "photo.png", stored);
    const std::string tag = "exiftool -q -overwrite_original -Orientation#=6 -XResolution=300 -YResolution=300 "
                            "-ResolutionUnit=inches '" + dir / "photo.png" + "'";
    if (std::system(tag.c_str()) != 0) GTEST_SKIP() << "exiftool is not installed";
    for (const char* out : {"o.png", "o.jpg", "o.tif"}) {
        const Result r = run({"render", dir / "photo.png", "-o", dir / out, "-q", "--set", "master brightness=0",
                              "--set", "glue=screen"});
        ASSERT_EQ(r.code, 0) << r.err;
        const Image back = load(dir / out);
        ASSERT_EQ(back.width, 40) << out;
        ASSERT_EQ(back.height, 60) << out;
        EXPECT_EQ(back.metadata.xResolution, 300) << out;  // from the EXIF, into every format's own field
        // The stored top-left corner is now the top-right one.
        EXPECT_GT(back.samples[back.index(35, 5, 0)], 200) << out;
        EXPECT_LT(back.samples[back.index(5, 5, 0)], 60) << out;
    }
    // Profile and resolution read back by a reader of our files.
    Image plain = pattern(32, 24, 8);
    plain.metadata.icc = testProfile("Lumenfall test profile");
    plain.metadata.xResolution = plain.metadata.yResolution = 300;
    save(dir / "plain.png", plain);
    for (const char* out : {"p.png", "p.jpg", "p.tif"}) {
        ASSERT_EQ(run({"render", dir / "plain.png", "-o", dir / out, "-q"}).code, 0);
        const std::string shown = dir / (std::string(out) + ".txt");
        ASSERT_EQ(std::system(("exiftool -s -s -s -ProfileDescription -XResolution -PixelsPerUnitX '" + dir / out +
                               "' > '" + shown + "'")
                                  .c_str()),
                  0);
        // PNG keeps pixels per metre: 300 per inch is 11811.
        EXPECT_EQ(readFile(shown), std::string("Lumenfall test profile\n") +
                                       (std::string(out) == "p.png" ? "11811\n" : "300\n"))
            << out;
    }
}

TEST(CommandLine, BatchesRenderEachInputAndSummarise) {
    Folder dir;
    save(dir / "a.png", pattern(40, 30, 8));
    save(dir / "b.png", pattern(30, 40, 16));
    writeFile(dir / "c.png", "not a picture");
    const Result r = run({"render", dir / "a.png", dir / "b.png", dir / "c.png", "-o", dir / "out/", "--jobs", "2",
                          "--set", "glue=screen"});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(load(dir / "out/a.png").width, 40);
    EXPECT_EQ(load(dir / "out/b.png").depth, 16);
    EXPECT_FALSE(fs::exists(dir / "out/c.png"));
    EXPECT_NE(r.err.find("2 of 3 images rendered, 1 failed"), std::string::npos) << r.err;
}

TEST(CommandLine, BatchesCheckEveryOutputBeforeTheFirstRender) {
    Folder dir;
    save(dir / "c.png", pattern(40, 30, 8));
    save(dir / "d.png", pattern(30, 20, 8));
    fs::copy_file(dir / "c.png", dir / "c_sun.png");
    const std::string before = readFile(dir / "c_sun.png");
    // One job's output is the other job's input.
    Result r = run({"render", dir / "c.png", dir / "c_sun.png", "--output-pattern", dir / "{name}_sun.png", "--jobs",
                    "2", "-q"});
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find("change --output-pattern"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(dir / "c_sun.png"), before);
    EXPECT_FALSE(fs::exists(dir / "d_sun.png"));
    // Also through a link, with -o DIR/.
    fs::create_symlink(dir / "c.png", dir / "sub-link.png");
    fs::create_directories(dir / "sub");
    fs::create_hard_link(dir / "d.png", dir / "sub/c.png");
    r = run({"render", dir / "d.png", dir / "c.png", "-o", dir / "sub/", "-q"});
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find("--output-pattern"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "sub/d.png"));
    // A pattern naming no format we write: one message, no work.
    r = run({"render", dir / "c.png", dir / "d.png", "--output-pattern", dir / "bmp/{name}.bmp"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_FALSE(fs::exists(dir / "bmp"));
    // One input with -o DIR/ is a batch of one; patterns make their folders.
    r = run({"render", dir / "c.png", "-o", dir / "suns/", "--jobs", "2", "-q"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(load(dir / "suns/c.png").width, 40);
    r = run({"render", dir / "c.png", dir / "d.png", "--output-pattern", dir / "new/deep/{name}-sun.{ext}", "-q"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(load(dir / "new/deep/d-sun.png").width, 30);
    // Every image of a batch gets the preset, as a single render does.
    ASSERT_EQ(run({"preset", "save", "-o", dir / "far.q4q", "--set", "X center=3", "-q"}).code, 0);
    ASSERT_EQ(run({"render", dir / "c.png", "--preset", dir / "far.q4q", "-o", dir / "single.png", "-q"}).code, 0);
    r = run({"render", dir / "c.png", dir / "d.png", "--preset", dir / "far.q4q", "-o", dir / "preset/", "-q"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readFile(dir / "preset/c.png"), readFile(dir / "single.png"));
}

TEST(CommandLine, EveryWritingCommandKeepsItsInputsAndNamesItsFormat) {
    Folder dir;
    save(dir / "photo.png", pattern(40, 30, 8));
    const std::string photo = readFile(dir / "photo.png");
    fs::create_directories(dir / "P");
    ASSERT_EQ(run({"preset", "save", "-o", dir / "P/dusk.q4q", "-q"}).code, 0);
    const std::string preset = readFile(dir / "P/dusk.q4q");
    fs::create_hard_link(dir / "P/dusk.q4q", dir / "hard.q4q");
    writeFile(dir / "junk.icc", std::string(200, 'j'));
    const std::vector<uint8_t> profile = testProfile("test");
    writeFile(dir / "good.icc", std::string(profile.begin(), profile.end()));
    struct Case {
        std::vector<std::string> args;
        int code;
    };
    const Case cases[] = {
        {{"dots-page", "-o", dir / "photo.png", dir / "photo.png"}, 2},
        {{"presets-page", dir / "P", "-o", dir / "P/dusk.q4q"}, 2},
        {{"psd", dir / "photo.png", "--preset", dir / "hard.q4q", "-o", dir / "P/dusk.q4q"}, 2},
        {{"psd", dir / "photo.png", "--icc", dir / "good.icc", "-o", dir / "good.icc"}, 2},
        {{"render", dir / "photo.png", "--icc", dir / "good.icc", "-o", dir / "good.icc"}, 2},
        {{"render", dir / "photo.png", "--log", dir / "photo.png", "-o", dir / "x.png"}, 2},
        // Names against formats.
        {{"psd", dir / "photo.png", "-o", dir / "p.png"}, 2},
        {{"dots-page", "-o", dir / "p.png"}, 2},
        {{"presets-page", dir / "P", "-o", dir / "p.jpg"}, 2},
        {{"preset", "save", "-o", dir / "p.tif"}, 2},
        {{"render", dir / "photo.png", "-o", dir / "x.png", "--format", "jpeg"}, 2},
        {{"render", dir / "photo.png", "-o", dir / "forced.png", "--format", "jpeg", "--force-name", "-q"}, 0},
        // A profile that is not one.
        {{"render", dir / "photo.png", "--icc", dir / "junk.icc", "-o", dir / "x.png"}, 2},
        {{"psd", dir / "photo.png", "--icc", dir / "junk.icc", "-o", dir / "x.psd"}, 2},
        {{"dots-page", "-o", dir / "page.html", "--icc", dir / "junk.icc"}, 2},
        {{"presets-page", dir / "P", "-o", dir / "page.html", "--icc", dir / "junk.icc"}, 2},
        {{"render", dir / "photo.png", "--icc", dir / "good.icc", "-o", dir / "icc.tif", "-q"}, 0},
        {{"render", dir / "photo.png", "--icc", dir / "missing.icc", "-o", dir / "x.png", "-q"}, 1},
    };
    for (const Case& c : cases) {
        const Result r = run(c.args);
        std::string shown;
        for (const std::string& a : c.args) shown += a + " ";
        EXPECT_EQ(r.code, c.code) << shown << "\n" << r.err;
    }
    EXPECT_EQ(readFile(dir / "photo.png"), photo);
    EXPECT_EQ(readFile(dir / "P/dusk.q4q"), preset);
    EXPECT_FALSE(fs::exists(dir / "x.png"));
    EXPECT_FALSE(fs::exists(dir / "p.png"));
    EXPECT_FALSE(fs::exists(dir / "page.html"));
    EXPECT_EQ(readFile(dir / "forced.png").substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(load(dir / "icc.tif").metadata.icc, profile);
    // The reason a file cannot be opened or made, for every command.
    const Result r = run({"render", dir / "missing.png", "-o", dir / "x.png"});
    EXPECT_NE(r.err.find("No such file or directory"), std::string::npos) << r.err;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"psd", "-o", dir / "none/x.psd", "-q"},
          std::vector<std::string>{"preset", "save", "--no-thumbnail", "-o", dir / "none/x.q4q", "-q"},
          std::vector<std::string>{"presets-page", dir / "P", "-o", dir / "none/x.html", "-q"}}) {
        const Result made = run(args);
        EXPECT_EQ(made.code, 1) << made.err;
        EXPECT_NE(made.err.find("the folder " + dir / "none" + " does not exist"), std::string::npos) << made.err;
    }
}

TEST(CommandLine, PresetsPageNeedsPresetsAndSkipsDamagedOnes) {
    Folder dir;
    fs::create_directories(dir / "empty");
    Result r = run({"presets-page", dir / "missing", "-o", dir / "page.html"});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.err.find("No such file or directory"), std::string::npos) << r.err;
    r = run({"presets-page", dir / "empty", "-o", dir / "page.html"});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_FALSE(fs::exists(dir / "page.html"));
    fs::create_directories(dir / "P");
    ASSERT_EQ(run({"preset", "save", "-o", dir / "P/good.q4q", "-q"}).code, 0);
    writeFile(dir / "P/broken.q4q", "not a preset at all");
    // A full disk: exit 1 and nothing of the page left, no empty pictures.
    Launch full({"presets-page", dir / "P", "-o", dir / "page.html"});
    full.fileSizeLimit = 0;
    r = run(full);
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_FALSE(fs::exists(dir / "page.html"));
    EXPECT_FALSE(fs::exists(dir / "web_images")) << "the pictures folder of a failed page stays";
    r = run({"presets-page", dir / "P", "-o", dir / "page.html", "--strict"});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_FALSE(fs::exists(dir / "page.html"));
    r = run({"presets-page", dir / "P", "-o", dir / "page.html"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("broken.q4q"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("(1 presets)"), std::string::npos) << r.out;
    const std::string page = readFile(dir / "page.html");
    EXPECT_EQ(page.find("broken"), std::string::npos);
    EXPECT_NE(page.find("good"), std::string::npos);
}

TEST(CommandLine, MemoryEstimatesAllowWhatTheyNeedAndMatchThePeak) {
    Folder dir;
    save(dir / "in.png", pattern(300, 200, 8));
    // The need of a render is allowed exactly; one byte less is refused with
    // figures that show the difference.
    const std::string need = std::to_string(renderBytes(300, 200, 3, 8));
    Result r = run({"render", dir / "in.png", "-o", dir / "a.png", "-q", "--memory-limit", need});
    EXPECT_EQ(r.code, 0) << r.err;
    r = run({"render", dir / "in.png", "-o", dir / "b.png", "-q", "--memory-limit",
             std::to_string(renderBytes(300, 200, 3, 8) - 1)});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(need + " bytes"), std::string::npos) << r.err;
    // A PSD export is allowed what it needs, also while its input is read
    // (the reader checks the export's need, not a render's).
    save(dir / "small.png", pattern(640, 400, 8));
    const std::string psdNeed = std::to_string(psdExportBytes(640ull * 400 * 4));
    r = run({"psd", dir / "small.png", "-o", dir / "small.psd", "-q", "--memory-limit", psdNeed});
    EXPECT_EQ(r.code, 0) << r.err;
    // The PSD export's estimate against its measured peak.
#if defined(LF_SANITIZED)
    GTEST_SKIP() << "peaks under the sanitizers are not the program's";
#endif
    save(dir / "big.png", pattern(2000, 1500, 16));
    r = run({"psd", dir / "big.png", "-o", dir / "big.psd", "-q"});
    ASSERT_EQ(r.code, 0) << r.err;
    const double estimate = double(psdExportBytes(2000ull * 1500 * 4 * 2));
    const double peak = double(r.peakKilobytes) * 1024;
    EXPECT_GT(estimate, peak * 0.75);
    EXPECT_LT(estimate, peak * 1.25);
}

TEST(CommandLine, ProgressShowsOnATerminalOnly) {
    if (std::system("script -qec true /dev/null > /dev/null 2>&1") != 0) GTEST_SKIP() << "script is not installed";
    Folder dir;
    save(dir / "in.png", pattern(400, 300, 8));
    save(dir / "b.png", pattern(30, 20, 8));
    const std::string program = LF_LUMENFALL;
    // Through `script`, standard error is a terminal.
    auto onTerminal = [&](const std::string& words) {
        int code = -1;
        const std::string out = lumenfall_cli_test::run(
            "script -qec \"'" + program + "' " + words + "\" /dev/null", &code);
        EXPECT_EQ(code, 0) << out;
        return out;
    };
    std::string out = onTerminal("render '" + dir / "in.png" + "' -o '" + dir / "a.png" + "'");
    EXPECT_NE(out.find("writing " + dir / "a.png" + " 100%"), std::string::npos) << out;
    out = onTerminal("render '" + dir / "in.png" + "' -o '" + dir / "a.tif" + "' -q");
    EXPECT_EQ(out.find("writing"), std::string::npos) << out;
    out = onTerminal("render '" + dir / "in.png" + "' '" + dir / "b.png" + "' -o '" + dir / "batch/'");
    EXPECT_NE(out.find("] 2 of 2 images"), std::string::npos) << out;
    EXPECT_NE(out.find("Wrote " + dir / "batch/b.png"), std::string::npos) << out;
    // Not a terminal: no progress at all.
    const Result r = run({"render", dir / "in.png", dir / "b.png", "-o", dir / "plain/"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err.find("writing"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("images\n"), std::string::npos) << r.err;
}
