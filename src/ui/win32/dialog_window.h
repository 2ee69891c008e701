// Helpers shared by the plug-in's small modal dialogs.
#ifndef LUMENFALL_UI_WIN32_DIALOG_WINDOW_H
#define LUMENFALL_UI_WIN32_DIALOG_WINDOW_H

#include <windows.h>

namespace lumenfall {

// Moves a dialog to its place over its owner (the desktop when none): see
// dialog_placement.h.
void placeOverOwner(HWND dialog);

// Centres `window` over `over` (the desktop when null or gone), kept on the
// work area: for the file dialogs and the small boxes of the main dialog.
void centreOver(HWND window, HWND over);

}  // namespace lumenfall

#endif
