// The HTML pages' way to the host: the colour profile the host offers, and
// the memory-dots page, whose pictures are the filled dots' settings rendered
// on the current picture at the page's picture size.
#ifndef LUMENFALL_HOST_PAGES_PORT_H
#define LUMENFALL_HOST_PAGES_PORT_H

#include "host/globals.h"
#include "ui/page_commands.h"

namespace lumenfall {

class HostPagesPort : public PagesPort {
public:
    HostPagesPort(PluginGlobals& g, ParameterBlock& block) : g_(g), block_(block) {}

    std::vector<uint8_t> colourProfile() override;
    // Render mode 1 while the page is written, then the old mode again; the
    // current settings are held in memory (never in a file) and put back
    // after each dot, and the run's result is left as it was. Progress goes
    // to the host as dots done of 25; the host's cancel stops the page.
    int32_t writeMemoryDotsPage(const std::string& pagePath, const std::vector<int>& filledDots,
                                int32_t* cells) override;

private:
    PluginGlobals& g_;
    ParameterBlock& block_;
};

}  // namespace lumenfall

#endif
