// `lumenfall psd` and `lumenfall presets-page`: the exports of the dialog
// from the command line, written by the same export code.
#ifndef LUMENFALL_APP_COMMAND_PSD_H
#define LUMENFALL_APP_COMMAND_PSD_H

#include <string>
#include <vector>

namespace lumenfall {

int runPsdCommand(const std::vector<std::string>& args);
int runPresetsPageCommand(const std::vector<std::string>& args);

}  // namespace lumenfall

#endif
