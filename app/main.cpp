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
#include "product_version.h"

namespace lumenfall {

void printUsage(FILE* to) {
    std::fprintf(to,
        "Usage: lumenfall <command> [options]\n"
        "\n"
        "Commands:\n"
        "  render [INPUT] [-o OUTPUT]   draw the sun into INPUT (PNG or JPEG; 8/16-bit, grey or RGB,\n"
        "                               with or without alpha). Without INPUT the built-in sample\n"
        "                               picture is used; without -o the result goes to lumenfall.png.\n"
        "  settings                     list every setting that --set accepts, with its default\n"
        "  preset show|save|roll ...    print, write or roll preset files (.q4q); see 'preset --help'\n"
        "  psd [INPUT] -o OUT.psd       render the sun as a layer with transparency into a layered\n"
        "                               PSD file; see 'psd --help'\n"
        "  presets-page DIR -o PAGE.html  an HTML page of the presets in DIR with their pictures\n"
        "  dots-page -o PAGE.html [INPUT] an HTML page of the memory dots the dialog keeps, each\n"
        "                               rendered on INPUT; see 'dots-page --help'\n"
        "  about                        show what the plug-in says about itself\n"
        "\n"
        "Render options:\n"
        "  -o, --output FILE      output file (.png, or .jpg/.jpeg for 8-bit JPEG)\n"
        "  --selection MASK       grey image of the same size: where it is black the image is left\n"
        "                         exactly as it was, grey values blend\n"
        "  --depth 8|16           convert the input to this depth first\n"
        "  --grey                 convert the input to grey first\n"
        "  --alpha                give the input an alpha channel (editable transparency)\n"
        "  --set \"NAME=VALUE\"     a setting by its scripting name, for example --set \"sun radius=60\"\n"
        "                         --set \"glue=screen\" --set \"vortices=off\" (repeatable; see 'settings')\n"
        "  --preset FILE          start from the settings of a preset file (--set still wins); colour\n"
        "                         low bytes, the Z components and reserved colour B are not carried\n"
        "                         by a descriptor and so do not reach the render\n"
        "  --icc FILE             the host offers this colour profile in place of the input's: the\n"
        "                         output and the dialog's HTML pictures carry it\n"
        "  --record               print the settings the run recorded, as NAME=VALUE lines for --set\n"
        "  --last                 start from the settings cached by the last dialog run instead of\n"
        "                         the defaults\n"
        "  --play-dialog          play back with the dialog shown, as a host replaying a script\n"
        "  --repeat N             run the filter N times in one process, as a host repeats it\n"
        "  --dialog               run interactively: the dialog opens on the cached settings (or on\n"
        "                         the --set values); the Windows build has the dialog\n"
        "  --ui-script FILE       drive the dialog from a script (Windows build; see app/ui_script.h)\n"
        "  --colour-reply R,G,B   offer the host's colour picker, answering with this colour\n"
        "  --plugin PATH          the plug-in module to load (default: beside this program)\n"
        "  --log FILE             write the host's log of calls and its memory counters\n"
        "  --bench                print the time and megapixels per second of every run (with --repeat)\n"
        "  --threads N            threads the plug-in shares each row among (default: the machine's cores)\n"
        "  --host-sig XXXX        the host signature the plug-in sees\n"
        "  --host-profile NAME    behave as another family of hosts: quirky-handles, host-loops,\n"
        "                         minimal, dialog-every-run, no-parameters-selector, prepare-twice,\n"
        "                         cancel-after-start\n"
        "  --set-once             with --repeat, the --set values reach only the first run\n"
        "  -q, --quiet            no progress bar and no messages on success\n"
        "\n"
        "Host test options: --no-advance-state, --no-buffer-suite, --fail-buffer N,\n"
        "  --fail-advance N, --abort-at N, --image-mode N, --no-display-pixels, --no-sampling\n"
        "\n"
        "Ctrl-C cancels a render cleanly. Exit codes: 0 success, 1 failure, 2 usage error.\n");
}

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
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "render") {
        for (const std::string& a : args) {
            if (a == "--") break;
            if (a == "--help" || a == "-h") {
                printUsage(stdout);
                return kExitSuccess;
            }
        }
        RenderOptions options;
        std::string error;
        if (!parseRenderOptions(args, &options, &error)) {
            std::fprintf(stderr, "lumenfall render: %s\nTry 'lumenfall --help'.\n", error.c_str());
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
