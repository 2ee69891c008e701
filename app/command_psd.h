// `lumenfall psd` and `lumenfall presets-page`: the exports of the dialog
// from the command line, written by the same export code.
#ifndef LUMENFALL_APP_COMMAND_PSD_H
#define LUMENFALL_APP_COMMAND_PSD_H

#include <cstdint>
#include <string>
#include <vector>

namespace lumenfall {

// The memory a PSD export of an RGBA image of `imageBytes` needs at its peak.
uint64_t psdExportBytes(uint64_t imageBytes);

int runPsdCommand(const std::vector<std::string>& args);
int runPresetsPageCommand(const std::vector<std::string>& args);

}  // namespace lumenfall

#endif
