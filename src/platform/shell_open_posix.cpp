#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/shell_open.h"

extern char** environ;

namespace lumenfall {
namespace {

bool onPath(const char* program) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string dirs = path;
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

bool shellOpen(const std::string& address) {
    bool ok = false;
    if (shellOpenLogged(address, &ok)) return ok;
    if (!onPath("xdg-open")) {
        std::printf("Open %s in your browser.\n", address.c_str());
        return true;
    }
    // xdg-open returns once the desktop has taken the request.
    char program[] = "xdg-open";
    std::string copy = address;
    char* argv[] = {program, &copy[0], nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0) return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace lumenfall
