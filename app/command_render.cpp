#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "command_line.h"
#include "option_values.h"
#include "preset_settings.h"
#include "settings_arguments.h"
#include "ui_script.h"
#include "platform/process_info.h"

namespace lumenfall {
namespace {

bool parseInt(const std::string& text, long lo, long hi, int* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != 0 || v < lo || v > hi) return false;
    *value = int(v);
    return true;
}

bool parseSignature(const std::string& text, pi::OSType* sig) {
    if (text.size() != 4) return false;
    *sig = (uint32_t(uint8_t(text[0])) << 24) | (uint32_t(uint8_t(text[1])) << 16) |
           (uint32_t(uint8_t(text[2])) << 8) | uint32_t(uint8_t(text[3]));
    return true;
}

}  // namespace

std::string defaultPluginPath() { return executableFolder() + pluginModuleName(); }

bool parseRenderOptions(const std::vector<std::string>& args, RenderOptions* o, std::string* error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string* out) { return takeOptionValue(args, &i, out, error); };
        std::string v;
        if (a == "-o" || a == "--output") {
            if (!value(&o->output)) return false;
            o->outputGiven = true;
        } else if (a == "--selection") {
            if (!value(&o->selection)) return false;
        } else if (a == "--preset") {
            if (!value(&o->preset)) return false;
        } else if (a == "--plugin") {
            if (!value(&o->pluginPath)) return false;
        } else if (a == "--log") {
            if (!value(&o->logPath)) return false;
        } else if (a == "--depth") {
            if (!value(&v)) return false;
            if (v != "8" && v != "16") {
                *error = "--depth takes 8 or 16";
                return false;
            }
            o->depth = std::atoi(v.c_str());
        } else if (a == "--set") {
            DescriptorEntry entry;
            if (!value(&v) || !parseSetting(v, &entry, error)) {
                if (error->empty()) *error = "--set needs NAME=VALUE";
                return false;
            }
            putSetting(&o->host.descriptorEntries, entry);
        } else if (a == "--bench") {
            o->bench = true;
        } else if (a == "--record") {
            o->record = true;
        } else if (a == "--last") {
            o->host.passDescriptor = false;
        } else if (a == "--play-dialog") {
            o->host.descriptor.playInfo = pi::kPlayDialogDisplay;
        } else if (a == "--grey" || a == "--gray") {
            o->grey = true;
        } else if (a == "--alpha") {
            o->alpha = true;
        } else if (a == "--repeat") {
            if (!value(&v) || !parseInt(v, 1, 1000, &o->repeat)) {
                *error = "--repeat takes a count from 1 to 1000";
                return false;
            }
        } else if (a == "--dialog") {
            o->host.showDialog = true;
        } else if (a == "--ui-script") {
            if (!value(&o->uiScript)) return false;
            o->host.showDialog = true;
        } else if (a == "--colour-reply") {
            int* c = o->colourRgb;
            if (!value(&v) || std::sscanf(v.c_str(), "%d,%d,%d", &c[0], &c[1], &c[2]) != 3 || c[0] < 0 ||
                c[0] > 255 || c[1] < 0 || c[1] > 255 || c[2] < 0 || c[2] > 255) {
                *error = "--colour-reply takes R,G,B (0..255 each)";
                return false;
            }
            o->colourReply = true;
        } else if (a == "--quiet" || a == "-q") {
            o->quiet = true;
        } else if (a == "--host-sig") {
            if (!value(&v) || !parseSignature(v, &o->host.hostSig)) {
                *error = "--host-sig takes four characters, for example 8BIM";
                return false;
            }
        } else if (a == "--no-advance-state") {
            o->host.offerAdvanceState = false;
        } else if (a == "--no-buffer-suite") {
            o->host.offerBufferSuite = false;
        } else if (a == "--fail-buffer") {
            if (!value(&v) || !parseInt(v, 1, 1 << 30, &o->host.failBufferAllocation)) {
                *error = "--fail-buffer takes the number of the allocation that fails";
                return false;
            }
        } else if (a == "--fail-advance") {
            if (!value(&v) || !parseInt(v, 1, 1 << 30, &o->host.failAdvanceState)) {
                *error = "--fail-advance takes the number of the call that fails";
                return false;
            }
        } else if (a == "--abort-at") {
            if (!value(&v) || !parseInt(v, 1, 1 << 30, &o->host.abortAtCall)) {
                *error = "--abort-at takes the number of the abort check that cancels";
                return false;
            }
        } else if (a == "--image-mode") {
            int mode = 0;
            if (!value(&v) || !parseInt(v, 0, 32767, &mode)) {
                *error = "--image-mode takes a host image mode number";
                return false;
            }
            o->host.imageModeOverride = int16_t(mode);
        } else if (!a.empty() && a[0] == '-') {
            *error = "unknown option " + a;
            return false;
        } else if (o->input.empty()) {
            o->input = a;
        } else {
            *error = "more than one input file: " + o->input + " and " + a;
            return false;
        }
    }
    if (!o->preset.empty() && !o->host.passDescriptor) {
        *error = "--preset and --last both choose the starting settings; give one";
        return false;
    }
    return true;
}

static bool writeLog(const std::string& path, const PluginHost& host) {
    std::ofstream out(path, std::ios::binary);  // the same bytes on every build
    for (const std::string& line : host.log()) out << line << "\n";
    const HostCounters& c = host.counters();
    out << "buffers allocated " << c.bufferBytesAllocated << " freed " << c.bufferBytesFreed << " outstanding "
        << c.buffersOutstanding << "\n";
    out << "handles allocated " << c.handleBytesAllocated << " freed " << c.handleBytesFreed << " outstanding "
        << c.handlesOutstanding << " locked " << c.handlesLocked << "\n";
    out << "calls progress " << c.progressCalls << " abort " << c.abortCalls << " advanceState "
        << c.advanceStateCalls << "\n";
    return bool(out);
}

int runRenderCommand(const RenderOptions& options) {
    std::string error;
    Image input;
    if (options.input.empty()) {
        input = makeSampleImage();
    } else if (!readImageFile(options.input, &input, &error)) {
        std::fprintf(stderr, "lumenfall: %s\n", error.c_str());
        return kExitFailure;
    }
    if (options.grey || options.alpha || options.depth) {
        input = convertImage(input, options.grey ? 1 : input.colourChannels, options.alpha || input.hasAlpha,
                             options.depth ? options.depth : input.depth);
    }
    Image selection;
    if (!options.selection.empty()) {
        if (!readImageFile(options.selection, &selection, &error)) {
            std::fprintf(stderr, "lumenfall: %s\n", error.c_str());
            return kExitFailure;
        }
        if (selection.width != input.width || selection.height != input.height) {
            std::fprintf(stderr, "lumenfall: the selection %s is %dx%d but the image is %dx%d\n",
                         options.selection.c_str(), selection.width, selection.height, input.width, input.height);
            return kExitFailure;
        }
    }

    HostOptions hostOptions = options.host;
    if (!options.preset.empty() && !addPresetSettings(options.preset, &hostOptions.descriptorEntries, &error)) {
        std::fprintf(stderr, "lumenfall: %s\n", error.c_str());
        return kExitFailure;
    }
    hostOptions.progressBar = !options.quiet && stderrIsTerminal();
    if (hostOptions.showDialog) {
        // As an editor runs a filter interactively: it asks for the dialog,
        // with no descriptor, so the dialog opens on the cached settings;
        // settings given on the command line come as the descriptor.
        if (hostOptions.descriptorEntries.empty()) hostOptions.passDescriptor = false;
        hostOptions.descriptor.playInfo = pi::kPlayDialogDisplay;
    }
    if (options.colourReply) {
        const int r = options.colourRgb[0], g = options.colourRgb[1], b = options.colourRgb[2];
        hostOptions.colourPicker = [r, g, b](const std::string& prompt, int (&rgb)[3]) {
            std::fprintf(stdout, "colour services: %s\n", prompt.c_str());
            rgb[0] = r;
            rgb[1] = g;
            rgb[2] = b;
            return true;
        };
    }
    UiScript script;
    if (!options.uiScript.empty() && !script.load(options.uiScript, &error)) {
        std::fprintf(stderr, "lumenfall: %s\n", error.c_str());
        return kExitFailure;
    }
    PluginHost host(hostOptions);
    const std::string plugin = options.pluginPath.empty() ? defaultPluginPath() : options.pluginPath;
    if (!host.load(plugin, &error)) {
        std::fprintf(stderr, "lumenfall: cannot load the plug-in %s: %s\n", plugin.c_str(), error.c_str());
        return kExitFailure;
    }
    onInterrupt(requestHostAbort);
#ifndef _WIN32
    if (options.host.showDialog && !options.quiet)
        std::fprintf(stderr, "lumenfall: the dialog is the Windows build's (lumenfall.exe under wine); "
                             "the run uses the settings as they are\n");
#endif
    if (!options.uiScript.empty()) script.start();

    Image output;
    RunOutcome outcome;
    for (int i = 0; i < options.repeat; ++i) {
        const auto start = std::chrono::steady_clock::now();
        outcome = host.run(input, options.selection.empty() ? nullptr : &selection, &output);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (options.bench && outcome.rendered)
            std::fprintf(stderr, "run %d: %.1f ms, %.2f megapixels per second\n", i + 1, seconds * 1e3,
                         double(input.width) * input.height / 1e6 / (seconds > 0 ? seconds : 1e-9));
        if (!outcome.rendered) break;
    }
    const int scriptResult = options.uiScript.empty() ? 0 : script.finish();
    if (!options.logPath.empty() && !writeLog(options.logPath, host)) {
        std::fprintf(stderr, "lumenfall: cannot write the log %s\n", options.logPath.c_str());
        return kExitFailure;
    }
    if (scriptResult != 0) {
        std::fprintf(stderr, "lumenfall: the dialog script %s\n",
                     scriptResult == 77 ? "could not take its pictures" : "failed");
        if (outcome.rendered && options.record) std::fputs(formatSettings(host.recordedDescriptor()).c_str(), stdout);
        return scriptResult;
    }
    if (!outcome.rendered) {
        if (outcome.result == pi::kUserCanceledErr)
            std::fprintf(stderr, "lumenfall: cancelled\n");
        else
            std::fprintf(stderr, "lumenfall: the plug-in stopped with result %d (selector %d)\n", outcome.result,
                         outcome.failedSelector);
        return kExitFailure;
    }
    if (!writeImageFile(options.output, output, &error)) {
        std::fprintf(stderr, "lumenfall: %s\n", error.c_str());
        return kExitFailure;
    }
    if (options.record) std::fputs(formatSettings(host.recordedDescriptor()).c_str(), stdout);
    if (!options.quiet) std::fprintf(options.record ? stderr : stdout, "Wrote %s (%dx%d)\n", options.output.c_str(), output.width, output.height);
    return kExitSuccess;
}

int runAboutCommand(const std::string& pluginPath) {
    PluginHost host;
    std::string error;
    const std::string plugin = pluginPath.empty() ? defaultPluginPath() : pluginPath;
    if (!host.load(plugin, &error)) {
        std::fprintf(stderr, "lumenfall: cannot load the plug-in %s: %s\n", plugin.c_str(), error.c_str());
        return kExitFailure;
    }
    return host.about() == 0 ? kExitSuccess : kExitFailure;
}

}  // namespace lumenfall
