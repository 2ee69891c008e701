#include <cstdio>

#include "params/product_identity.h"
#include "ui/main_dialog.h"
#include "ui/plugin_dialogs.h"

namespace lumenfall {

void showRefusal(Refusal which, const void*) {
    std::fprintf(stderr, "Plug-in error: %s\n", refusalText(which));
}

void showAboutBox(const void*) {
    std::fprintf(stderr,
                 "%s\nVersion %s, by %s.\n"
                 "Draws fantasy suns: a textured sun disc, spikes, halo, rainbow bow and lens flares,\n"
                 "blended onto the image through nineteen glue modes.\n"
                 "%s\n",
                 kProductName, kProductVersion, kMakerName, kMakerWebAddress);
}

// No window system: the run goes on with the settings as they are.
int16_t runMainDialogWindow(MainDialogRun&) { return 0; }

}  // namespace lumenfall
