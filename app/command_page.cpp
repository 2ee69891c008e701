// lumenfall presets-page: the HTML page of a folder of presets, as the
// dialog's page button writes it.
#include <cstdio>

#include "command_line.h"
#include "command_psd.h"
#include "export/html_page.h"
#include "option_values.h"
#include "platform/shell_open.h"

namespace lumenfall {

int runPresetsPageCommand(const std::vector<std::string>& words) {
    const char* usage =
        "Usage: lumenfall presets-page DIR -o PAGE.html [--open] [-q]\n"
        "Writes an HTML page of every preset (.q4q) in DIR with its thumbnail; the pictures and\n"
        "the frame images go to the folder web_images beside the page. --open shows the page.\n";
    std::vector<std::string> args;
    std::string error, folder, page;
    bool open = false, quiet = false;
    if (!splitOptionWords(words, {"-o", "--output"}, &args, &error)) {
        std::fprintf(stderr, "lumenfall presets-page: %s\n%s", error.c_str(), usage);
        return kExitUsage;
    }
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::fputs(usage, stdout);
            return kExitSuccess;
        }
        if (a == "-o" || a == "--output") {
            if (!takeOptionValue(args, &i, &page, &error)) break;
        } else if (a == "--open") {
            open = true;
        } else if (a == "-q" || a == "--quiet") {
            quiet = true;
        } else if (!a.empty() && a[0] != '-' && folder.empty()) {
            folder = a;
        } else {
            error = "unexpected " + a;
            break;
        }
    }
    if (error.empty() && (folder.empty() || page.empty())) error = "give the presets folder and -o PAGE.html";
    if (!error.empty()) {
        std::fprintf(stderr, "lumenfall presets-page: %s\n%s", error.c_str(), usage);
        return kExitUsage;
    }
    int32_t count = 0;
    const int32_t result = writePresetsPage(folder, page, &count);
    if (result != kPageWritten) {
        std::fprintf(stderr, "lumenfall presets-page: cannot write %s%s\n", page.c_str(),
                     result == kPageCannotCreate ? " (or its folder web_images)" : "");
        return kExitFailure;
    }
    if (!quiet) std::printf("Wrote %s (%d presets)\n", page.c_str(), int(count));
    if (open && !shellOpen(page)) {
        std::fprintf(stderr, "lumenfall presets-page: cannot open %s\n", page.c_str());
        return kExitFailure;
    }
    return kExitSuccess;
}

}  // namespace lumenfall
