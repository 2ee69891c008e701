// Ctrl-C and termination requests. The first one asks everything running to
// stop at its next check (the plug-in through abortProc, the file readers
// and writers between rows); the command then removes what it was writing
// and exits with 128 plus the signal's number. A second one ends the
// process at once, removing any file not yet complete.
#ifndef LUMENFALL_APP_SIGNALS_H
#define LUMENFALL_APP_SIGNALS_H

namespace lumenfall {

constexpr int kExitCancelled = 130;  // Ctrl-C, or a cancel without a signal

// Installs the handlers for every signal that would end the process (HUP,
// INT, TERM, QUIT, PIPE, ALRM, USR1, USR2, XFSZ, XCPU; Ctrl-C and Ctrl-Break
// on Windows). Blocking reads are interrupted rather than restarted. The
// SIGXFSZ a write past the file size limit raises is left to fail the write.
void installCancelHandlers();

// True once a cancel was requested.
bool cancelRequested();

// 128 plus the number of the signal (130 for Ctrl-C, 143 for SIGTERM).
int cancelExitCode();

}  // namespace lumenfall

#endif
