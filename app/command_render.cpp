#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <new>
#include <set>

#include "atomic_file.h"
#include "command_line.h"
#include "host_profiles.h"
#include "memory_budget.h"
#include "option_table.h"
#include "option_values.h"
#include "params/byte_order.h"
#include "params/plugin_files.h"
#include "platform/process_info.h"
#include "preset_settings.h"
#include "run_files.h"
#include "settings_arguments.h"
#include "shared_options.h"
#include "signals.h"
#include "ui_script.h"

namespace lumenfall {

std::string defaultPluginPath() { return executableFolder() + pluginModuleName(); }

namespace {

std::string logText(PluginHost& host) {
    std::string out;
    for (const std::string& line : host.log()) out += line + "\n";
    const HostCounters& c = host.counters();
    char text[256];
    std::snprintf(text, sizeof text, "buffers allocated %lld freed %lld outstanding %d\n",
                  static_cast<long long>(c.bufferBytesAllocated), static_cast<long long>(c.bufferBytesFreed),
                  int(c.buffersOutstanding));
    out += text;
    std::snprintf(text, sizeof text, "handles allocated %lld freed %lld outstanding %d locked %d\n",
                  static_cast<long long>(c.handleBytesAllocated), static_cast<long long>(c.handleBytesFreed),
                  int(c.handlesOutstanding), int(c.handlesLocked));
    out += text;
    std::snprintf(text, sizeof text, "calls progress %d abort %d advanceState %d\n", int(c.progressCalls),
                  int(c.abortCalls), int(c.advanceStateCalls));
    out += text;
    // Once the host has disposed of the plug-in's data and the descriptor,
    // nothing the plug-in obtained may remain.
    host.releaseEverything();
    std::snprintf(text, sizeof text, "after release: buffers outstanding %d, handles outstanding %d\n",
                  int(c.buffersOutstanding), int(c.handlesOutstanding));
    out += text;
    return out;
}

int failWith(const std::string& message) {
    if (cancelRequested() || message == "cancelled") {
        std::fprintf(stderr, "lumenfall: cancelled\n");
        return cancelExitCode();
    }
    std::fprintf(stderr, "lumenfall: %s\n", message.c_str());
    return kExitFailure;
}

bool cachedSettingsExist() {
    char path[kPathFieldSize];
    if (!pluginFilePath(kCachedSettingsFileName, path)) return false;
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

// The picture and its selection as the host will offer them; on failure the
// message is printed and exitCode says how the command ends.
bool readRenderImages(const RenderOptions& options, Image* input, Image* selection, int* exitCode) {
    std::string error;
    std::string warning;
    ReadOptions read;
    read.allowDamaged = options.allowDamaged;
    read.warning = &warning;
    if (options.input.empty()) {
        *input = makeSampleImage();
    } else if (!readImageFile(options.input, input, read, &error)) {
        *exitCode = failWith(error);
        return false;
    }
    if (!warning.empty()) std::fprintf(stderr, "lumenfall: warning: %s\n", warning.c_str());
    if (cancelRequested()) {
        *exitCode = failWith("cancelled");
        return false;
    }
    // The host offers this profile in place of the input's (and the output carries it).
    if (!options.icc.empty()) {
        if (readIccProfileFile(options.icc, &input->metadata.icc, &error) != 0) {
            *exitCode = failWith(error);
            return false;
        }
    }
    if (options.grey || options.alpha || options.depth) {
        *input = convertImage(*input, options.grey ? 1 : input->colourChannels, options.alpha || input->hasAlpha,
                              options.depth ? options.depth : input->depth);
    }
    if (!fitsMemoryBudget(renderBytes(input->width, input->height, input->channels(), input->depth),
                          "rendering a " + std::to_string(input->width) + " x " + std::to_string(input->height) +
                              " image",
                          &error)) {
        *exitCode = failWith(error);
        return false;
    }
    if (options.selection.empty()) return true;
    warning.clear();
    if (!readImageFile(options.selection, selection, read, &error)) {
        *exitCode = failWith(error);
        return false;
    }
    if (!warning.empty()) std::fprintf(stderr, "lumenfall: warning: %s\n", warning.c_str());
    if (selection->width != input->width || selection->height != input->height) {
        std::fprintf(stderr, "lumenfall: the selection %s is %dx%d but the image is %dx%d\n", options.selection.c_str(),
                     selection->width, selection->height, input->width, input->height);
        *exitCode = kExitFailure;
        return false;
    }
    return true;
}

// The host's options for this run: the preset's settings under the --set
// ones, and what an editor offers when it shows the dialog.
bool prepareHostOptions(const RenderOptions& options, HostOptions* hostOptions, int* exitCode) {
    std::string error;
    if (!options.preset.empty() && !addPresetSettings(options.preset, &hostOptions->descriptorEntries, &error)) {
        std::fprintf(stderr, "lumenfall: %s\n", error.c_str());
        *exitCode = error.find("is not a preset file") != std::string::npos ? kExitUsage : kExitFailure;
        return false;
    }
    if (!options.host.passDescriptor && !cachedSettingsExist()) {
        std::fprintf(stderr,
                     "lumenfall: --last: no settings are cached yet (a run with the dialog caches them); "
                     "leave out --last for the defaults\n");
        *exitCode = kExitFailure;
        return false;
    }
    hostOptions->progressBar = !options.quiet && stderrIsTerminal();
    if (hostOptions->showDialog) {
        // As an editor runs a filter interactively: it asks for the dialog,
        // with no descriptor, so the dialog opens on the cached settings;
        // settings given on the command line come as the descriptor.
        if (hostOptions->descriptorEntries.empty()) hostOptions->passDescriptor = false;
        hostOptions->descriptor.playInfo = pi::kPlayDialogDisplay;
        // An editor that shows a dialog shows its preview too.
        hostOptions->offerDisplayPixels = !options.noDisplayPixels;
    }
    if (options.colourReply) {
        const int r = options.colourRgb[0], g = options.colourRgb[1], b = options.colourRgb[2];
        hostOptions->colourPicker = [r, g, b](const std::string& prompt, int (&rgb)[3]) {
            std::fprintf(stdout, "colour services: %s\n", prompt.c_str());
            rgb[0] = r;
            rgb[1] = g;
            rgb[2] = b;
            return true;
        };
    }
    return true;
}

bool loadPlugin(PluginHost& host, const std::string& pluginPath) {
    std::string error;
    const std::string plugin = pluginPath.empty() ? defaultPluginPath() : pluginPath;
    if (host.load(plugin, &error)) return true;
    std::fprintf(stderr, "lumenfall: cannot load the plug-in %s: %s\n", plugin.c_str(), error.c_str());
    return false;
}

// Runs the filter --repeat times (once unless asked), timing each run for --bench.
RunOutcome runRepeatedly(PluginHost& host, const RenderOptions& options, const Image& input, const Image& selection,
                         Image* output) {
    RunOutcome outcome;
    for (int i = 0; i < options.repeat && !cancelRequested(); ++i) {
        const auto start = std::chrono::steady_clock::now();
        outcome = host.run(input, options.selection.empty() ? nullptr : &selection, output);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (options.bench && outcome.rendered)
            std::fprintf(stderr, "run %d: %.1f ms, %.2f megapixels per second\n", i + 1, seconds * 1e3,
                         double(input.width) * input.height / 1e6 / (seconds > 0 ? seconds : 1e-9));
        if (!outcome.rendered) break;
    }
    return outcome;
}

int reportRunFailure(const RunOutcome& outcome) {
    if (outcome.result == pi::kUserCanceledErr) return failWith("cancelled");
    if (outcome.result == pi::kMemFullErr) return failWith("out of memory");
    std::fprintf(stderr, "lumenfall: the plug-in stopped with result %d (selector %d)\n", outcome.result,
                 outcome.failedSelector);
    return kExitFailure;
}

int writeRenderedImage(const RenderOptions& options, const Image& output, const std::string& recorded) {
    std::string error;
    showWriteProgress(!options.quiet && stderrIsTerminal());
    if (!writeImageFile(options.output, output, options.write, &error)) return failWith(error);
    if (options.record) std::fputs(recorded.c_str(), stdout);
    if (!options.quiet)
        std::fprintf(options.record || options.output == "-" ? stderr : stdout, "Wrote %s (%dx%d)\n",
                     options.output == "-" ? "standard output" : options.output.c_str(), output.width, output.height);
    return kExitSuccess;
}

int renderOne(const RenderOptions& options) {
    Image input;
    Image selection;
    int exitCode = kExitFailure;
    if (!readRenderImages(options, &input, &selection, &exitCode)) return exitCode;
    std::string rectError;
    if (!filterRectFits(options.host.filterRect, input.width, input.height, &rectError)) return failWith(rectError);
    HostOptions hostOptions = options.host;
    if (!prepareHostOptions(options, &hostOptions, &exitCode)) return exitCode;
    std::string error;
    UiScript script;
    if (!options.uiScript.empty() && !script.load(options.uiScript, &error)) {
        std::fprintf(stderr, "lumenfall: %s\n", error.c_str());
        return kExitFailure;
    }
    PluginHost host(hostOptions);
    if (!loadPlugin(host, options.pluginPath)) return kExitFailure;
#ifndef _WIN32
    if (options.host.showDialog && !options.quiet)
        std::fprintf(stderr, "lumenfall: the dialog is the Windows build's (lumenfall.exe under wine); "
                             "the run uses the settings as they are\n");
#endif
    if (!options.uiScript.empty()) script.start();

    Image output;
    const RunOutcome outcome = runRepeatedly(host, options, input, selection, &output);
    const int scriptResult = options.uiScript.empty() ? 0 : script.finish();
    if (cancelRequested()) return failWith("cancelled");
    // Recorded before the log releases what the host still holds.
    const std::string recorded = options.record ? formatSettings(host.recordedDescriptor()) : std::string();
    if (!options.logPath.empty() && !writeTextFile(options.logPath, logText(host), &error))
        return failWith("cannot write the log: " + error);
    if (scriptResult != 0) {
        std::fprintf(stderr, "lumenfall: the dialog script %s\n",
                     scriptResult == 77 ? "could not take its pictures" : "failed");
        if (outcome.rendered && options.record) std::fputs(recorded.c_str(), stdout);
        return scriptResult;
    }
    if (!outcome.rendered) return reportRunFailure(outcome);
    // The input's pixels are not needed any more.
    input = Image();
    selection = Image();
    return writeRenderedImage(options, output, recorded);
}

}  // namespace

int runRenderCommand(const RenderOptions& options) {
    installCancelHandlers();
    applySharedOptions(SharedOptions{options.threads, options.memoryLimit, options.allowDamaged});
    if (options.batch) return runBatch(options);
    try {
        return renderOne(options);
    } catch (const std::bad_alloc&) {
        return failWith("out of memory");
    }
}

int runAboutCommand(const std::vector<std::string>& words) {
    std::vector<std::string> args;
    std::string error;
    std::string pluginPath;
    if (!splitOptionWords(words, {"--plugin"}, &args, &error)) {
        std::fprintf(stderr, "lumenfall about: %s\n", error.c_str());
        return kExitUsage;
    }
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            std::printf("Usage: lumenfall about [--plugin PATH]\nShows what the plug-in says about itself.\n");
            return kExitSuccess;
        }
        if (args[i] == "--plugin" && takeOptionValue(args, &i, &pluginPath, &error)) continue;
        std::fprintf(stderr, "lumenfall about: %s\n", error.empty() ? ("unexpected " + args[i]).c_str() : error.c_str());
        return kExitUsage;
    }
    PluginHost host;
    if (!loadPlugin(host, pluginPath)) return kExitFailure;
    return host.about() == 0 ? kExitSuccess : kExitFailure;
}

}  // namespace lumenfall
