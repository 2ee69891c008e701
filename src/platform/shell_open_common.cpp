#include <cstdio>
#include <cstdlib>

#include "platform/shell_open.h"

namespace lumenfall {

bool shellOpenLogged(const std::string& address, bool* ok) {
    const char* log = std::getenv(kShellOpenLogVariable);
    if (!log || !*log) return false;
    FILE* f = std::fopen(log, "ab");
    *ok = f && std::fprintf(f, "%s\n", address.c_str()) >= 0;
    if (f && std::fclose(f) != 0) *ok = false;
    return true;
}

}  // namespace lumenfall
