// The dialog's HTML pages on Win32: the system's save dialog for a page,
// the wait cursor, a failure in a message box and the shell's "open" of the
// written page, around the steps of ui/page_commands.h.
#ifndef LUMENFALL_UI_WIN32_PAGE_DIALOGS_H
#define LUMENFALL_UI_WIN32_PAGE_DIALOGS_H

#include <windows.h>

#include <string>
#include <vector>

#include "ui/dialog_model.h"
#include "ui/main_dialog.h"

namespace lumenfall {

// Button 150 and the right click on the centre dot, from the main dialog
// `window` (the model's platform answers the folder prompt).
void writePresetsPageFromDialog(HWND window, DialogPlatform& platform, MainDialogRun& run);
void writeMemoryDotsPageFromDialog(HWND window, DialogPlatform& platform, MainDialogRun& run,
                                   const std::vector<int>& filledDots);

}  // namespace lumenfall

#endif
