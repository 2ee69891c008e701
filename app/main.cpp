// lumenfall: draws fantasy suns into images by running the Lumenfall plug-in
// in a host of our own.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "command_line.h"
#include "command_page.h"
#include "command_preset.h"
#include "command_psd.h"
#include "option_table.h"
#include "product_version.h"

namespace lumenfall {

void printUsage(FILE* to) { std::fputs(generalHelp().c_str(), to); }

}  // namespace lumenfall

namespace lumenfall {
int runCommand(int argc, char** argv);
}

int main(int argc, char** argv) {
    using namespace lumenfall;
    try {
        return runCommand(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "lumenfall: out of memory\n");
        return kExitFailure;
    }
}

namespace lumenfall {

int runCommand(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printUsage(args.empty() ? stderr : stdout);
        return args.empty() ? kExitUsage : kExitSuccess;
    }
    if (args[0] == "--version") {
        std::printf("lumenfall " LF_PRODUCT_VERSION " (plug-in Lumenfall " LF_PLUGIN_VERSION_TEXT ")\n");
        return kExitSuccess;
    }
    if (args[0] == "--man") {
        // The manual page, generated from the same tables as --help.
        std::fputs(manualPage().c_str(), stdout);
        return kExitSuccess;
    }
    std::string command = args[0];
    args.erase(args.begin());
    // "COMMAND --help" (also "preset save --help") is that command's page.
    std::string helpName = command;
    if (command == "preset" && !args.empty() && findCommand("preset " + args[0])) helpName += " " + args[0];
    for (const std::string& a : args) {
        if (a == "--") break;
        if (a == "--help" || a == "-h") {
            if (const CommandInfo* info = findCommand(helpName)) {
                std::fputs(commandHelp(*info).c_str(), stdout);
                return kExitSuccess;
            }
            if (command == "preset") {
                for (const char* sub : {"preset show", "preset save", "preset roll"})
                    std::fputs((commandHelp(*findCommand(sub)) + "\n").c_str(), stdout);
                return kExitSuccess;
            }
        }
    }
    if (command == "render") {
        RenderOptions options;
        std::string error;
        if (!parseRenderOptions(args, &options, &error)) {
            std::fprintf(stderr, "lumenfall render: %s\nTry 'lumenfall render --help'.\n", error.c_str());
            return kExitUsage;
        }
        return runRenderCommand(options);
    }
    if (command == "settings") return runSettingsCommand(args);
    if (command == "preset") return runPresetCommand(args);
    if (command == "about") return runAboutCommand(args);
    if (command == "psd") return runPsdCommand(args);
    if (command == "presets-page") return runPresetsPageCommand(args);
    if (command == "dots-page") return runDotsPageCommand(args);
    std::fprintf(stderr, "lumenfall: unknown command '%s'\nTry 'lumenfall --help'.\n", command.c_str());
    return kExitUsage;
}

}  // namespace lumenfall
