#include <windows.h>
#include <io.h>
#include <cstdio>

#include "platform/process_info.h"

namespace lumenfall {
namespace {
void (*g_interrupt)() = nullptr;
BOOL WINAPI onConsoleCtrl(DWORD type) {
    if (type == CTRL_C_EVENT && g_interrupt) {
        g_interrupt();
        return TRUE;
    }
    return FALSE;
}
}  // namespace

std::string executableFolder() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return "";
    std::string full(path, n);
    const size_t slash = full.find_last_of("\\/");
    return slash == std::string::npos ? "" : full.substr(0, slash + 1);
}

bool stderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
bool stdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

void onInterrupt(void (*handler)()) {
    g_interrupt = handler;
    SetConsoleCtrlHandler(onConsoleCtrl, TRUE);
}

const char* pluginModuleName() { return "Lumenfall.8bf"; }

}  // namespace lumenfall
