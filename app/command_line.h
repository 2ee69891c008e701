// The `lumenfall` command: its options and subcommands.
#ifndef LUMENFALL_APP_COMMAND_LINE_H
#define LUMENFALL_APP_COMMAND_LINE_H

#include <string>
#include <vector>

#include "plugin_host.h"

namespace lumenfall {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct RenderOptions {
    std::string input;            // empty: the built-in sample picture
    std::vector<std::string> inputs;  // every input named
    bool batch = false;           // several inputs, or one with -o DIR/ or --output-pattern
    std::string output = "lumenfall.png";
    bool outputGiven = false;
    std::string outputPattern;    // batches: "{name}" the input's name without its ending, "{ext}" the format's
    ImageFormat format = ImageFormat::Unknown;  // --format: the output's (and "-"'s) format
    WriteOptions write;           // --quality, --subsampling
    bool qualityGiven = false;
    uint64_t memoryLimit = 0;     // --memory-limit (0: what the system has)
    bool allowDamaged = false;
    bool forceName = false;       // write under a name of another format than --format
    int jobs = 1;                 // batches: images rendered at a time
    std::vector<std::string> workerArguments;  // the options every image of a batch is rendered with
    std::string selection;
    std::string preset;           // settings from a preset file, under the --set ones
    std::string icc;              // a colour profile the host offers in place of the input's
    std::string pluginPath;       // empty: the module beside the executable
    std::string logPath;          // write the host's call log here
    int depth = 0;                // 0: keep the input's; 8 or 16 converts
    bool grey = false;            // convert the input to grey first
    bool alpha = false;           // add an opaque alpha channel (editable transparency)
    int repeat = 1;
    bool quiet = false;
    bool record = false;          // print the settings the run recorded
    bool bench = false;           // print the time and speed of every run
    int threads = 0;              // threads the plug-in shares each row among; 0: the machine's cores
    bool usageError = false;
    std::string hostProfile;      // empty: our own host's behaviour
    std::string uiScript;         // drives the dialog (Windows build)
    bool noDisplayPixels = false; // the dialog runs without the host's displayPixels (no preview)
    bool colourReply = false;     // offer colour services answering colourRgb
    int colourRgb[3] = {0, 0, 0};
    HostOptions host;
};

// Parses the words after "render"; on error returns false with a message.
bool parseRenderOptions(const std::vector<std::string>& args, RenderOptions* options, std::string* error);

int runRenderCommand(const RenderOptions& options);
int runAboutCommand(const std::vector<std::string>& args);
int runSettingsCommand(const std::vector<std::string>& args);

// Renders the inputs of a batch in worker processes (batch_render.cpp).
int runBatch(const RenderOptions& options);

std::string defaultPluginPath();
void printUsage(FILE* to);

}  // namespace lumenfall

#endif
