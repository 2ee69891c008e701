#include <dlfcn.h>

#include "platform/module_loader.h"

namespace lumenfall {

void* loadModule(const std::string& path, std::string* error) {
    // A bare file name would be searched on the library path; we mean the file.
    std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module && error) {
        const char* text = dlerror();
        *error = text ? text : "cannot load the module";
    }
    return module;
}

void* findSymbol(void* module, const char* name) { return module ? dlsym(module, name) : nullptr; }

void unloadModule(void* module) {
    if (module) dlclose(module);
}

}  // namespace lumenfall
