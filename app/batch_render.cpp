// Batches: every input rendered by a worker process of its own (the
// plug-in keeps module-level state, so two renders never share a process),
// --jobs of them at a time, with a summary line at the end.
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <string>
#include <vector>

#include "command_line.h"
#include "image.h"
#include "platform/process_info.h"
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
                    for (const Worker& w : running) kill(w.pid, cancelExitCode() == 143 ? SIGTERM : SIGINT);
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

}  // namespace

int runBatch(const RenderOptions& o) {
    const std::string self = selfPath();
    std::vector<Worker> pending;
    for (const std::string& input : o.inputs) pending.push_back(Worker{input, outputFor(o, input)});
    // Two inputs with the same name would write the same output.
    for (size_t i = 0; i < pending.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (pending[i].output == pending[j].output) {
                std::fprintf(stderr, "lumenfall render: %s and %s would both be written to %s; use --output-pattern\n",
                             pending[j].input.c_str(), pending[i].input.c_str(), pending[i].output.c_str());
                return kExitUsage;
            }
    // A folder named by -o DIR/ is made when it is missing.
    if (o.outputPattern.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(o.output, ec);
    }
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
        if (code == 0) {
            ++done;
            if (!o.quiet) std::printf("Wrote %s\n", w.output.c_str());
        } else if (code == 130 || code == 143) {
            cancelled = true;
        } else {
            ++failed;
            std::fprintf(stderr, "lumenfall: %s failed (exit %d)\n", w.input.c_str(), code);
        }
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
