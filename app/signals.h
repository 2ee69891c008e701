// Ctrl-C and termination requests. The first one asks everything running to
// stop at its next check (the plug-in through abortProc, the file readers
// and writers between rows); the command then removes what it was writing
// and exits with 128 plus the signal's number. A second one ends the
// process at once, removing any file not yet complete.
#ifndef LUMENFALL_APP_SIGNALS_H
#define LUMENFALL_APP_SIGNALS_H

namespace lumenfall {

constexpr int kExitCancelled = 130;  // Ctrl-C, or a cancel without a signal

// Installs the handlers for SIGINT and SIGTERM (Ctrl-C and Ctrl-Break on
// Windows). Blocking reads are interrupted rather than restarted.
void installCancelHandlers();

// True once a cancel was requested.
bool cancelRequested();

// 130 for Ctrl-C, 143 for SIGTERM.
int cancelExitCode();

}  // namespace lumenfall

#endif
