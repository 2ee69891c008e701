#include <cstdio>

#include "platform/plugin_dialogs.h"
#include "product_version.h"

namespace lumenfall {

void showRefusal(Refusal which, const void*) {
    std::fprintf(stderr, "Plug-in error: %s\n", refusalText(which));
}

void showAboutBox(const void*) {
    std::fprintf(stderr,
                 "Lumenfall\nVersion " LF_PRODUCT_VERSION ", by Orvandel.\n"
                 "Draws fantasy suns: a textured sun disc, spikes, halo, rainbow bow and lens flares,\n"
                 "blended onto the image through nineteen glue modes.\n"
                 "https://orvandel.example/lumenfall\n");
}

void* moduleInstance() { return nullptr; }

}  // namespace lumenfall
