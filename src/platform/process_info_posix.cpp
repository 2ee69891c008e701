#include <csignal>
#include <unistd.h>

#include "platform/process_info.h"

namespace lumenfall {
namespace {
void (*g_interrupt)() = nullptr;
extern "C" void onSigint(int) {
    if (g_interrupt) g_interrupt();
}
}  // namespace

std::string executableFolder() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "";
    std::string full(path, size_t(n));
    const size_t slash = full.find_last_of('/');
    return slash == std::string::npos ? "" : full.substr(0, slash + 1);
}

bool stderrIsTerminal() { return isatty(2) != 0; }
bool stdoutIsTerminal() { return isatty(1) != 0; }

void onInterrupt(void (*handler)()) {
    g_interrupt = handler;
    std::signal(SIGINT, onSigint);
}

const char* pluginModuleName() { return "Lumenfall.so"; }

}  // namespace lumenfall
