// Opening a web page or a file with the desktop's default program (the
// browser for the about box's web page and the exported HTML pages).
//
// Test mode: when the environment variable LUMENFALL_SHELL_OPEN_LOG names a
// file, the address is appended to it as one line and nothing is opened.
// Tests use this because a real open may start a browser or, under wine,
// wait for one.
#ifndef LUMENFALL_PLATFORM_SHELL_OPEN_H
#define LUMENFALL_PLATFORM_SHELL_OPEN_H

#include <string>

namespace lumenfall {

constexpr const char* kShellOpenLogVariable = "LUMENFALL_SHELL_OPEN_LOG";

// Returns false when nothing could be opened (or logged).
bool shellOpen(const std::string& address);

// The test mode alone: true when the variable is set, with *ok telling
// whether the line was written. Used by each platform's shellOpen.
bool shellOpenLogged(const std::string& address, bool* ok);

}  // namespace lumenfall

#endif
