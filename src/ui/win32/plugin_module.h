// The module that holds the dialogs' resources: the plug-in's instance
// handle from DllMain, or the program's image when the code is linked into
// a program (the test programs).
#ifndef LUMENFALL_UI_WIN32_PLUGIN_MODULE_H
#define LUMENFALL_UI_WIN32_PLUGIN_MODULE_H

#include <windows.h>

namespace lumenfall {

HINSTANCE pluginModule();

// The host's main window from its PlatformData (null when there is none).
HWND hostWindow(const void* platformData);

}  // namespace lumenfall

#endif
