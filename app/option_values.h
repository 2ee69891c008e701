// Reading the words of a command line: option values, "--name=value",
// "-oFILE" and "--".
#ifndef LUMENFALL_APP_OPTION_VALUES_H
#define LUMENFALL_APP_OPTION_VALUES_H

#include <set>
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

// Rewrites "--name=value" as "--name" "value" and "-oVALUE" as "-o" "VALUE"
// for the options in `withValues`, up to a "--" (kept; every word after it
// is a file name). False with a message for "--flag=value" of an option that
// takes no value.
inline bool splitOptionWords(const std::vector<std::string>& args, const std::set<std::string>& withValues,
                             std::vector<std::string>* out, std::string* error) {
    out->clear();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            out->insert(out->end(), args.begin() + long(i), args.end());
            return true;
        }
        if (a.size() > 2 && a[0] == '-' && a[1] == '-') {
            const size_t eq = a.find('=');
            if (eq != std::string::npos) {
                const std::string name = a.substr(0, eq);
                if (!withValues.count(name)) {
                    *error = name + " takes no value";
                    return false;
                }
                out->push_back(name);
                out->push_back(a.substr(eq + 1));
                continue;
            }
        } else if (a.size() > 2 && a[0] == '-' && a[1] != '-' && withValues.count(a.substr(0, 2))) {
            out->push_back(a.substr(0, 2));
            out->push_back(a.substr(2));
            continue;
        }
        out->push_back(a);
    }
    return true;
}

}  // namespace lumenfall

#endif
