#include <cstdint>
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

// No window system: the run goes on with the settings as they are. A host
// with the preview's callbacks still gets the opening preview, rendered and
// handed to its displayPixels (without a device context), as the dialog
// would show it.
int16_t runMainDialogWindow(MainDialogRun& run) {
    if (!run.block || !run.preview) return 0;
    LivePreview preview(*run.block);
    preview.open(run.preview);
    if (!preview.on()) return 0;
    // Rows as they are ready, then the whole, as the dialog shows them.
    struct Rows : PreviewRepaint {
        PreviewPort* port;
        PreviewPoint origin;
        int32_t shown = 0;
        void rowsReady(int32_t row) override {
            if (row + 1 <= shown) return;
            port->display(nullptr, origin, shown, row + 1);
            shown = row + 1;
        }
    } rows;
    rows.port = run.preview;
    rows.origin = preview.origin();
    run.preview->render(&rows);
    run.preview->display(nullptr, preview.origin(), 0, INT32_MAX);
    return 0;
}

}  // namespace lumenfall
