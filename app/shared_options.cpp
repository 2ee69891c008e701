#include "shared_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "memory_budget.h"
#include "option_values.h"

namespace lumenfall {
namespace {

bool parseCount(const std::string& text, int low, int high, int* value) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || errno != 0 || v < low || v > high) return false;
    *value = int(v);
    return true;
}

// The plug-in reads its thread count from the environment, as a host
// would set it for the plug-ins it loads.
void setPluginThreads(int threads) {
    if (threads <= 0) return;
    const std::string count = std::to_string(threads);
#ifdef _WIN32
    _putenv_s("LUMENFALL_THREADS", count.c_str());
#else
    setenv("LUMENFALL_THREADS", count.c_str(), 1);
#endif
}

}  // namespace

Taken takeSharedOption(const std::vector<std::string>& args, size_t* i, SharedOptions* o, std::string* error) {
    const std::string& a = args[*i];
    std::string v;
    if (a == "--threads") {
        if (!takeOptionValue(args, i, &v, error) || !parseCount(v, 1, 64, &o->threads)) {
            *error = "--threads takes a count from 1 to 64";
            return Taken::Error;
        }
        return Taken::Yes;
    }
    if (a == "--memory-limit") {
        if (!takeOptionValue(args, i, &v, error) || !parseMemorySize(v, &o->memoryLimit)) {
            *error = "--memory-limit takes a size such as 2G, 500M or 800000000";
            return Taken::Error;
        }
        return Taken::Yes;
    }
    if (a == "--allow-damaged") {
        o->allowDamaged = true;
        return Taken::Yes;
    }
    return Taken::No;
}

void applySharedOptions(const SharedOptions& o) {
    setPluginThreads(o.threads);
    setMemoryLimit(o.memoryLimit);
}

bool readInputPicture(const std::string& path, const SharedOptions& o, const char* command, Image* image,
                      std::string* error, uint64_t (*need)(int64_t, int64_t, int32_t, int32_t)) {
    std::string warning;
    ReadOptions read;
    read.need = need;
    read.allowDamaged = o.allowDamaged;
    read.warning = &warning;
    if (!readImageFile(path, image, read, error)) return false;
    if (!warning.empty()) std::fprintf(stderr, "lumenfall %s: warning: %s\n", command, warning.c_str());
    return true;
}

}  // namespace lumenfall
