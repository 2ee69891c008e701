// The common controls and common dialogs, loaded at run time: the image
// list of the sun-type list, the colour dialog and the file dialogs.
#ifndef LUMENFALL_UI_WIN32_COMMON_CONTROLS_H
#define LUMENFALL_UI_WIN32_COMMON_CONTROLS_H

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

namespace lumenfall {

struct CommonControls {
    HIMAGELIST (WINAPI* imageListCreate)(int, int, UINT, int, int) = nullptr;
    int (WINAPI* imageListReplaceIcon)(HIMAGELIST, int, HICON) = nullptr;
    BOOL (WINAPI* imageListDestroy)(HIMAGELIST) = nullptr;
    BOOL (WINAPI* chooseColor)(LPCHOOSECOLORA) = nullptr;
    BOOL (WINAPI* getOpenFileName)(LPOPENFILENAMEA) = nullptr;
    BOOL (WINAPI* getSaveFileName)(LPOPENFILENAMEA) = nullptr;
};

// Loads both libraries once (they stay loaded with the module) and
// registers the extended combo box class. Functions that cannot be had stay null.
const CommonControls& commonControls();

}  // namespace lumenfall

#endif
