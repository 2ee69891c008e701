// The options every rendering command takes alike: --threads,
// --memory-limit and --allow-damaged, with the same words in their errors.
#ifndef LUMENFALL_APP_SHARED_OPTIONS_H
#define LUMENFALL_APP_SHARED_OPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

#include "image.h"

namespace lumenfall {

struct SharedOptions {
    int threads = 0;            // 0: the machine's cores
    uint64_t memoryLimit = 0;   // 0: what the system allows
    bool allowDamaged = false;
};

enum class Taken { No, Yes, Error };

// Takes args[*i] (and its value) when it is one of the shared options.
Taken takeSharedOption(const std::vector<std::string>& args, size_t* i, SharedOptions* o, std::string* error);

// Passes the thread count to the plug-in and sets the memory budget.
void applySharedOptions(const SharedOptions& o);

// Reads an input picture with --allow-damaged as given, printing the
// warning of a damaged file kept. `need` is what the command needs for the
// picture (null: a render's), checked before its pixels are allocated.
bool readInputPicture(const std::string& path, const SharedOptions& o, const char* command, Image* image,
                      std::string* error,
                      uint64_t (*need)(int64_t, int64_t, int32_t, int32_t) = nullptr);

}  // namespace lumenfall

#endif
