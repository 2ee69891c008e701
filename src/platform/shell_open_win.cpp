#include <windows.h>
#include <shellapi.h>

#include "platform/shell_open.h"

namespace lumenfall {

bool shellOpen(const std::string& address) {
    bool ok = false;
    if (shellOpenLogged(address, &ok)) return ok;
    HINSTANCE result = ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;  // values up to 32 are errors
}

}  // namespace lumenfall
