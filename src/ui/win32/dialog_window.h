// Helpers shared by the plug-in's small modal dialogs.
#ifndef LUMENFALL_UI_WIN32_DIALOG_WINDOW_H
#define LUMENFALL_UI_WIN32_DIALOG_WINDOW_H

#include <windows.h>

namespace lumenfall {

// Moves a dialog to its place over its owner (the desktop when none): see
// dialog_placement.h.
void placeOverOwner(HWND dialog);

}  // namespace lumenfall

#endif
