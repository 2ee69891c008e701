// How the plug-in runs its main dialog. The host side fills a MainDialogRun
// with what the dialog needs from the run and the host; on Windows the
// dialog is the Win32 window of ui/win32, elsewhere there is none and the
// run goes on with the settings as they are.
#ifndef LUMENFALL_UI_MAIN_DIALOG_H
#define LUMENFALL_UI_MAIN_DIALOG_H

#include <cstdint>

#include "params/parameter_block.h"
#include "ui/memory_dots.h"
#include "ui/preview_model.h"
#include "ui/psd_export_port.h"
#include "ui/undo_store.h"

namespace lumenfall {

// The host's colour picker, when it offers one: `prompt` is a counted
// string (length byte first); `rgb` holds the current colour on entry and
// the choice on return. Returns false when the user cancelled or the call
// failed.
struct HostColourPicker {
    void* context = nullptr;
    bool (*choose)(void* context, const unsigned char* prompt, uint8_t (&rgb)[3]) = nullptr;
};

class PagesPort;

struct MainDialogRun {
    ParameterBlock* block = nullptr;
    UndoStore* undo = nullptr;
    const void* platformData = nullptr;  // the host's PlatformData (its main window first), may be null
    const uint8_t* thumbnail = nullptr;  // 128 x 128 RGB, for saved presets; may be null
    HostColourPicker colourPicker;       // choose is null when the host offers none
    PreviewPort* preview = nullptr;      // the live preview through the host; may be null
    PagesPort* pages = nullptr;          // the HTML pages' renders through the host; may be null
    MemoryDotStore* dots = nullptr;      // the memory dots' kept flags and files; may be null
    PsdExportPort* psdExport = nullptr;  // the PSD export through the host; may be null
};

// Runs the dialog modally. Returns 0 for OK (the block holds the edits) and
// -128 for Cancel (the block is as it was at the opening). Without a window
// system, and when the window cannot be created, returns 0 at once.
int16_t runMainDialogWindow(MainDialogRun& run);

}  // namespace lumenfall

#endif
