// The system's explorer-style file dialogs of the main dialog: saving and
// opening settings files (the open dialog with a thumbnail panel) and the
// folder prompt. At most one is open at a time; each is centred over the
// main dialog when it opens.
#ifndef LUMENFALL_UI_WIN32_FILE_DIALOGS_H
#define LUMENFALL_UI_WIN32_FILE_DIALOGS_H

#include <windows.h>

#include <string>

#include "ui/dialog_model.h"

namespace lumenfall {

// True with the chosen path. False when the user cancelled, another file
// dialog is open, or the dialog cannot be shown.
bool runFileDialog(HINSTANCE module, HWND owner, FileDialogKind kind, const std::string& proposedName,
                   const char* folder, std::string* path);

// The title a file dialog of this kind carries.
const char* fileDialogTitle(FileDialogKind kind);

}  // namespace lumenfall

#endif
