#include <windows.h>

#include "platform/module_loader.h"

namespace lumenfall {

void* loadModule(const std::string& path, std::string* error) {
    // No "cannot find DLL" message boxes: the caller reports the failure.
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, 0);
    DWORD code = module ? 0 : GetLastError();
    SetErrorMode(oldMode);
    if (!module && error) {
        char text[512] = {};
        DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                 sizeof text, nullptr);
        while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == ' ')) text[--n] = 0;
        *error = n > 0 ? std::string(text) : "cannot load the module (error " + std::to_string(code) + ")";
    }
    return module;
}

void* findSymbol(void* module, const char* name) {
    if (!module) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void unloadModule(void* module) {
    if (module) FreeLibrary(static_cast<HMODULE>(module));
}

}  // namespace lumenfall
