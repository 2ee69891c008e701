// `lumenfall dots-page`: the memory-dots page of the dialog from the command
// line (`presets-page` is declared with the PSD command).
#ifndef LUMENFALL_APP_COMMAND_PAGE_H
#define LUMENFALL_APP_COMMAND_PAGE_H

#include <string>
#include <vector>

namespace lumenfall {

int runDotsPageCommand(const std::vector<std::string>& args);

}  // namespace lumenfall

#endif
