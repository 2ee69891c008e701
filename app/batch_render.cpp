// Batches: every input rendered by a worker process of its own (the
// plug-in keeps module-level state, so two renders never share a process),
// --jobs of them at a time, with a summary line at the end.
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <string>
#include <vector>

#include "atomic_file.h"
#include "command_line.h"
#include "image.h"
#include "platform/process_info.h"
#include "run_files.h"
#include "signals.h"

#if defined(_WIN32)
#include <windows.h>
#include <process.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace lumenfall {
namespace {

std::string stemOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

std::string extensionFor(const RenderOptions& o, const std::string& input) {
    const ImageFormat f = o.format != ImageFormat::Unknown ? o.format : formatFromName(input);
    return f == ImageFormat::Jpeg ? "jpg" : f == ImageFormat::Tiff ? "tif" : "png";
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string outputFor(const RenderOptions& o, const std::string& input) {
    const std::string ext = extensionFor(o, input);
    if (!o.outputPattern.empty())
        return replaceAll(replaceAll(o.outputPattern, "{name}", stemOf(input)), "{ext}", ext);
    return o.output + stemOf(input) + "." + ext;
}

std::string selfPath() {
#if defined(_WIN32)
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(path, n) : std::string("lumenfall.exe");
#else
    return executableFolder() + "lumenfall";
#endif
}

struct Worker {
    std::string input;
    std::string output;
#if defined(_WIN32)
    intptr_t handle = -1;
#else
    pid_t pid = -1;
#endif
};

#if defined(_WIN32)
std::string quoted(const std::string& word) {
    std::string out = "\"";
    for (char c : word) {
        if (c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}
#endif

bool start(Worker* w, const std::vector<std::string>& words) {
#if defined(_WIN32)
    std::vector<std::string> quotedWords;
    for (const std::string& word : words) quotedWords.push_back(quoted(word));
    std::vector<const char*> argv;
    for (const std::string& word : quotedWords) argv.push_back(word.c_str());
    argv.push_back(nullptr);
    w->handle = _spawnv(_P_NOWAIT, words[0].c_str(), argv.data());
    return w->handle != -1;
#else
    std::vector<char*> argv;
    for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    return posix_spawn(&w->pid, words[0].c_str(), nullptr, nullptr, argv.data(), environ) == 0;
#endif
}

// Waits for any worker; returns its index and exit code.
int waitAny(std::vector<Worker>& running, int* code) {
#if defined(_WIN32)
    std::vector<HANDLE> handles;
    for (const Worker& w : running) handles.push_back(reinterpret_cast<HANDLE>(w.handle));
    const DWORD which = WaitForMultipleObjects(DWORD(handles.size()), handles.data(), FALSE, INFINITE);
    const int index = int(which - WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(handles[size_t(index)], &exitCode);
    CloseHandle(handles[size_t(index)]);
    *code = int(exitCode);
    return index;
#else
    for (;;) {
        int status = 0;
        const pid_t pid = waitpid(-1, &status, 0);
        if (pid < 0) {
            if (errno == EINTR) {
                // Pass a termination on to the workers; Ctrl-C reaches them from the terminal.
                if (cancelRequested())
                    for (const Worker& w : running) kill(w.pid, cancelExitCode() - 128);
                continue;
            }
            return -1;
        }
        for (size_t i = 0; i < running.size(); ++i)
            if (running[i].pid == pid) {
                *code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
                return int(i);
            }
    }
#endif
}

// Every output of the batch named before the first render: each in a format
// we write, none the same file as another output or as anything the batch
// reads. False with one message for the whole batch.
bool planBatch(const RenderOptions& o, std::vector<Worker>* plan, std::string* error) {
    const std::string fix = o.outputPattern.empty() ? "give --output-pattern with {name} in it"
                                                    : "change --output-pattern";
    std::vector<RunFile> files = {{"the selection", o.selection, false},
                                  {"the preset", o.preset, false},
                                  {"the colour profile", o.icc, false}};
    for (const std::string& input : o.inputs) files.push_back({"the input", input, false});
    for (const std::string& input : o.inputs) {
        Worker w{input, outputFor(o, input)};
        const ImageFormat named = formatFromName(w.output);
        if (named == ImageFormat::Unknown && o.format == ImageFormat::Unknown) {
            *error = "cannot tell the format of " + w.output + " from its name; " + fix + " to end in " +
                     writableFormats() + " or {ext}, or give --format";
            return false;
        }
        if (o.format != ImageFormat::Unknown && named != o.format && !o.forceName) {
            *error = "the output " + w.output + " is named as another format than --format; " + fix +
                     " or give --force-name";
            return false;
        }
        for (const Worker& earlier : *plan)
            if (sameFile(earlier.output, w.output) || earlier.output == w.output) {
                *error = earlier.input + " and " + input + " would both be written to " + w.output + "; " + fix;
                return false;
            }
        files.push_back({"the output", w.output, true});
        plan->push_back(w);
    }
    if (!writtenFilesStandApart(files, error)) {
        *error += " (" + fix + ")";
        return false;
    }
    return true;
}

// A total bar on the terminal, under the lines of the finished images.
void showBatchBar(bool show, int finished, size_t total) {
    if (!show) return;
    constexpr int kWidth = 30;
    const int filled = total > 0 ? int(finished * kWidth / int(total)) : kWidth;
    std::fprintf(stderr, "\r[%s%s] %d of %zu images", std::string(size_t(filled), '#').c_str(),
                 std::string(size_t(kWidth - filled), ' ').c_str(), finished, total);
    if (size_t(finished) == total) std::fputc('\n', stderr);
    std::fflush(stderr);
}

}  // namespace

int runBatch(const RenderOptions& o) {
    const std::string self = selfPath();
    std::vector<Worker> pending;
    std::string error;
    if (!planBatch(o, &pending, &error)) {
        std::fprintf(stderr, "lumenfall render: %s\n", error.c_str());
        return kExitUsage;
    }
    // Folders named by -o DIR/ or by the pattern are made when missing.
    for (const Worker& w : pending) {
        const std::filesystem::path folder = std::filesystem::path(w.output).parent_path();
        std::error_code ec;
        if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    }
    const bool bar = !o.quiet && stderrIsTerminal();
    int finished = 0;
    std::vector<Worker> running;
    size_t next = 0;
    int done = 0, failed = 0;
    bool cancelled = false;
    while ((next < pending.size() && !cancelRequested()) || !running.empty()) {
        while (!cancelRequested() && next < pending.size() && int(running.size()) < o.jobs) {
            Worker w = pending[next++];
            std::vector<std::string> words = {self, "render", "-q"};
            words.insert(words.end(), o.workerArguments.begin(), o.workerArguments.end());
            words.insert(words.end(), {"-o", w.output, "--", w.input});
            if (!start(&w, words)) {
                std::fprintf(stderr, "lumenfall: %s: cannot start a worker process\n", w.input.c_str());
                ++failed;
                continue;
            }
            running.push_back(w);
        }
        if (running.empty()) break;
        int code = 1;
        const int index = waitAny(running, &code);
        if (index < 0) break;
        const Worker w = running[size_t(index)];
        running.erase(running.begin() + index);
        if (bar) std::fputs("\r\033[K", stderr);  // the bar gives way to the line
        if (code == 0) {
            ++done;
            if (!o.quiet) std::printf("Wrote %s\n", w.output.c_str());
            std::fflush(stdout);
        } else if (code > 128) {
            cancelled = true;
        } else {
            ++failed;
            std::fprintf(stderr, "lumenfall: %s failed (exit %d)\n", w.input.c_str(), code);
        }
        showBatchBar(bar, ++finished, pending.size());
    }
    if (cancelRequested()) cancelled = true;
    const bool clean = failed == 0 && !cancelled;
    if (!(o.quiet && clean))
        std::fprintf(clean ? stdout : stderr, "%d of %zu images rendered, %d failed%s\n", done, o.inputs.size(),
                     failed, cancelled ? ", the rest cancelled" : "");
    if (cancelled) return cancelExitCode();
    return failed > 0 ? kExitFailure : kExitSuccess;
}

}  // namespace lumenfall
