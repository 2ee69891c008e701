// Facts about the running program that differ per OS.
#ifndef LUMENFALL_PLATFORM_PROCESS_INFO_H
#define LUMENFALL_PLATFORM_PROCESS_INFO_H

#include <string>

namespace lumenfall {

// Folder of the running executable, ending in a separator ("" when unknown).
std::string executableFolder();

// True when standard error is a terminal (progress bars are drawn only then).
bool stderrIsTerminal();
// True when standard output is a terminal (no image bytes go there).
bool stdoutIsTerminal();

// Calls `handler` (which must only set a flag) when the user presses Ctrl-C.
void onInterrupt(void (*handler)());

// The plug-in module's file name on this OS.
const char* pluginModuleName();

}  // namespace lumenfall

#endif
