#include "signals.h"

#include <atomic>
#include <csignal>

#include "platform/replacing_file.h"
#include "plugin_host.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace lumenfall {
namespace {

volatile std::sig_atomic_t g_signal = 0;

void onCancel(int number) {
    if (g_signal != 0) {
        // The second request: the user does not want to wait.
        removeUnfinishedFiles();
#if defined(_WIN32)
        ExitProcess(UINT(128 + number));
#else
        ::_exit(128 + number);
#endif
    }
    g_signal = number;
    requestHostAbort();
}

#if !defined(_WIN32)
void onSignal(int number, siginfo_t* info, void*) {
    // A write past the file size limit raises SIGXFSZ in the writer itself;
    // the write then fails with EFBIG and is reported as a write error.
    if (number == SIGXFSZ && info != nullptr && info->si_code == SI_USER && info->si_pid == ::getpid()) return;
    onCancel(number);
}
#endif

#if defined(_WIN32)
BOOL WINAPI onConsoleEvent(DWORD type) {
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
        onCancel(SIGINT);
        return TRUE;
    }
    if (type == CTRL_CLOSE_EVENT) {
        onCancel(SIGTERM);
        return TRUE;
    }
    return FALSE;
}
#endif

}  // namespace

void installCancelHandlers() {
#if defined(_WIN32)
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    std::signal(SIGTERM, onCancel);
#else
    struct sigaction action {};
    action.sa_sigaction = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO;  // no SA_RESTART: a read waiting on a pipe returns
    // Every signal whose default ends the process, so that none of them
    // leaves a temporary file behind.
    for (int number : {SIGHUP, SIGINT, SIGTERM, SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGXFSZ, SIGXCPU})
        sigaction(number, &action, nullptr);
#endif
}

bool cancelRequested() { return g_signal != 0; }

int cancelExitCode() { return g_signal != 0 ? 128 + int(g_signal) : kExitCancelled; }

}  // namespace lumenfall
