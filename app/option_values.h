// Reading the value that follows a command-line option.
#ifndef LUMENFALL_APP_OPTION_VALUES_H
#define LUMENFALL_APP_OPTION_VALUES_H

#include <string>
#include <vector>

namespace lumenfall {

// Stores args[*i + 1] in *out and advances *i past it; false with a message
// naming the option when the value is missing.
inline bool takeOptionValue(const std::vector<std::string>& args, size_t* i, std::string* out, std::string* error) {
    if (*i + 1 >= args.size()) {
        *error = args[*i] + " needs a value";
        return false;
    }
    *out = args[++*i];
    return true;
}

}  // namespace lumenfall

#endif
