#include <windows.h>

#include <cstdio>

#include "params/product_identity.h"
#include "ui/plugin_dialogs.h"
#include "platform/shell_open.h"
#include "ui/win32/about_box.h"
#include "ui/win32/dialog_ids.h"
#include "ui/win32/plugin_module.h"
#include "ui/win32/refusal_dialog.h"

namespace {

HINSTANCE g_module = nullptr;

}  // namespace

namespace lumenfall {

// The host's platform data starts with its main window handle.
HWND hostWindow(const void* platformData) {
    if (!platformData) return nullptr;
    return reinterpret_cast<HWND>(*static_cast<const intptr_t*>(platformData));
}

HINSTANCE pluginModule() {
    if (g_module) return g_module;
    // Linked into a program rather than loaded as a module (the test
    // programs): use the image that holds this code and its resources.
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&pluginModule), &self);
    return self;
}

}  // namespace lumenfall

// Records the instance handle the dialogs and bitmaps are loaded from.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

namespace lumenfall {

// When no window can be shown (no desktop, as for a service or a test run
// without a display) the message goes to standard error, so it is not lost.
void showRefusal(Refusal which, const void* platformData) {
    const char* name = which == Refusal::HostTooOld ? "REFUSAL2" : "REFUSAL3";
    if (runRefusalDialog(pluginModule(), hostWindow(platformData), name, refusalText(which)) == -1)
        std::fprintf(stderr, "Plug-in error: %s\n", refusalText(which));
}

void showAboutBox(const void* platformData) {
    INT_PTR result = runAboutBox(pluginModule(), hostWindow(platformData));
    if (result == LF_ABOUT_VISIT_BUTTON) shellOpen(kMakerWebAddress);
    if (result == -1) std::fprintf(stderr, "%s by %s: %s. %s\n", kProductName, kMakerName, kProductSummary, kMakerWebAddress);
}

}  // namespace lumenfall
