// Loading a plug-in module and finding its entry point (LoadLibrary or dlopen).
#ifndef LUMENFALL_PLATFORM_MODULE_LOADER_H
#define LUMENFALL_PLATFORM_MODULE_LOADER_H

#include <string>

namespace lumenfall {

// Returns an opaque module handle, or null with a readable message in *error.
void* loadModule(const std::string& path, std::string* error);
void* findSymbol(void* module, const char* name);
void unloadModule(void* module);

}  // namespace lumenfall

#endif
