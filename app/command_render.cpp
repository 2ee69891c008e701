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
    *sig = readBigEndian32(reinterpret_cast<const uint8_t*>(text.data()));
    return true;
}

}  // namespace

std::string defaultPluginPath() { return executableFolder() + pluginModuleName(); }

namespace {


bool usageError(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

}  // namespace

bool parseRenderOptions(const std::vector<std::string>& words, RenderOptions* o, std::string* error) {
    std::vector<std::string> args;
    if (!splitOptionWords(words, optionsWithValues(kCmdRender), &args, error)) return false;
    bool filesOnly = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string* out) { return takeOptionValue(args, &i, out, error); };
        // The options each image of a batch is rendered with, as typed.
        auto keep = [&](size_t from) {
            for (size_t k = from; k <= i; ++k) o->workerArguments.push_back(args[k]);
        };
        const size_t at = i;
        std::string v;
        if (filesOnly || a == "-" || a.empty() || a[0] != '-') {
            o->inputs.push_back(a);
            continue;
        }
        SharedOptions shared{o->threads, o->memoryLimit, o->allowDamaged};
        const Taken taken = takeSharedOption(args, &i, &shared, error);
        if (taken == Taken::Error) return false;
        if (taken == Taken::Yes) {
            o->threads = shared.threads;
            o->memoryLimit = shared.memoryLimit;
            o->allowDamaged = shared.allowDamaged;
            keep(at);
            continue;
        }
        if (a == "--") {
            filesOnly = true;
        } else if (a == "-o" || a == "--output") {
            if (!value(&o->output)) return false;
            o->outputGiven = true;
        } else if (a == "--output-pattern") {
            if (!value(&o->outputPattern)) return false;
            if (o->outputPattern.find("{name}") == std::string::npos)
                return usageError(error, "--output-pattern needs {name}, for example \"out/{name}-sun.{ext}\"");
        } else if (a == "--jobs") {
            if (!value(&v) || !parseInt(v, 1, 256, &o->jobs))
                return usageError(error, "--jobs takes a count from 1 to 256");
        } else if (a == "--rect") {
            if (!value(&v) || !parseFilterRect(v, &o->host.filterRect, error)) return false;
            keep(at);
        } else if (a == "--selection") {
            if (!value(&o->selection)) return false;
            keep(at);
        } else if (a == "--preset") {
            if (!value(&o->preset)) return false;
            keep(at);
        } else if (a == "--force-name") {
            o->forceName = true;
            keep(at);
        } else if (a == "--icc") {
            if (!value(&o->icc)) return false;
            keep(at);
        } else if (a == "--plugin") {
            if (!value(&o->pluginPath)) return false;
            keep(at);
        } else if (a == "--log") {
            if (!value(&o->logPath)) return false;
        } else if (a == "--format") {
            if (!value(&v)) return false;
            o->format = formatFromWord(v);
            if (o->format == ImageFormat::Unknown)
                return usageError(error, "--format takes png, jpeg or tiff (this build writes " + writableFormats() + ")");
            keep(at);
        } else if (a == "--quality") {
            if (!value(&v) || !parseInt(v, 1, 100, &o->write.quality))
                return usageError(error, "--quality takes a JPEG quality from 1 to 100");
            o->qualityGiven = true;
            keep(at);
        } else if (a == "--subsampling") {
            if (!value(&v) || (v != "444" && v != "422" && v != "420"))
                return usageError(error, "--subsampling takes 444, 422 or 420");
            o->write.subsampling = std::atoi(v.c_str());
            keep(at);
        } else if (a == "--depth") {
            if (!value(&v)) return false;
            if (v != "8" && v != "16") return usageError(error, "--depth takes 8 or 16");
            o->depth = std::atoi(v.c_str());
            keep(at);
        } else if (a == "--set") {
            DescriptorEntry entry;
            if (!value(&v) || !parseSetting(v, &entry, error)) {
                if (error->empty()) *error = "--set needs NAME=VALUE";
                return false;
            }
            putSetting(&o->host.descriptorEntries, entry);
            keep(at);
        } else if (a == "--bench") {
            o->bench = true;
        } else if (a == "--record") {
            o->record = true;
        } else if (a == "--last") {
            o->host.passDescriptor = false;
            keep(at);
        } else if (a == "--play-dialog") {
            o->host.descriptor.playInfo = pi::kPlayDialogDisplay;
            keep(at);
        } else if (a == "--grey" || a == "--gray") {
            o->grey = true;
            keep(at);
        } else if (a == "--alpha") {
            o->alpha = true;
            keep(at);
        } else if (a == "--repeat") {
            if (!value(&v) || !parseInt(v, 1, 1000, &o->repeat))
                return usageError(error, "--repeat takes a count from 1 to 1000");
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
            keep(at);
        } else if (a == "--host-sig") {
            if (!value(&v) || !parseSignature(v, &o->host.hostSig))
                return usageError(error, "--host-sig takes four characters, for example 8BIM");
            keep(at);
        } else if (a == "--host-profile") {
            if (!value(&v) || !findHostProfile(v))
                return usageError(error, "--host-profile takes one of: " + hostProfileNames());
            o->hostProfile = v;
            keep(at);
        } else if (a == "--set-once") {
            o->host.settingsFirstRunOnly = true;
            keep(at);
        } else if (a == "--no-advance-state") {
            o->host.offerAdvanceState = false;
        } else if (a == "--no-display-pixels") {
            o->noDisplayPixels = true;
        } else if (a == "--no-sampling") {
            o->host.samplingSupport = false;
        } else if (a == "--no-buffer-suite") {
            o->host.offerBufferSuite = false;
        } else if (a == "--fail-buffer") {
            if (!value(&v) || !parseInt(v, 1, 1 << 30, &o->host.failBufferAllocation))
                return usageError(error, "--fail-buffer takes the number of the allocation that fails");
        } else if (a == "--fail-advance") {
            if (!value(&v) || !parseInt(v, 1, 1 << 30, &o->host.failAdvanceState))
                return usageError(error, "--fail-advance takes the number of the call that fails");
        } else if (a == "--abort-at") {
            if (!value(&v) || !parseInt(v, 1, 1 << 30, &o->host.abortAtCall))
                return usageError(error, "--abort-at takes the number of the abort check that cancels");
        } else if (a == "--image-mode") {
            int mode = 0;
            if (!value(&v) || !parseInt(v, 0, 32767, &mode))
                return usageError(error, "--image-mode takes a host image mode number");
            o->host.imageModeOverride = int16_t(mode);
        } else {
            return usageError(error, "unknown option " + a);
        }
    }
    if (!o->inputs.empty()) o->input = o->inputs[0];
    if (!o->preset.empty() && !o->host.passDescriptor)
        return usageError(error, "--preset and --last both choose the starting settings; give one");
    const bool toFolder = o->outputGiven && !o->output.empty() && (o->output.back() == '/' || o->output.back() == '\\');
    // One input with -o DIR/ is a batch of one, so that a glob matching a
    // single file works as one matching several.
    o->batch = o->inputs.size() > 1 || !o->outputPattern.empty() || (toFolder && !o->inputs.empty());
    if (o->batch) {
        if (!o->outputPattern.empty() && o->outputGiven)
            return usageError(error, "give -o DIR/ or --output-pattern, not both");
        if (o->outputPattern.empty() && !toFolder)
            return usageError(error, "several inputs need -o FOLDER/ (ending in a separator) or --output-pattern");
        for (const std::string& in : o->inputs)
            if (in == "-") return usageError(error, "standard input cannot be one of several inputs");
        if (!o->logPath.empty() || o->record || o->repeat > 1 || o->bench)
            return usageError(error, "--log, --record, --repeat and --bench are for one image at a time");
        return true;
    }
    if (o->jobs > 1) return usageError(error, "--jobs is for several inputs");
    // What the output will be, checked before anything is rendered.
    const ImageFormat format = o->format != ImageFormat::Unknown ? o->format
                               : o->output == "-"               ? ImageFormat::Png
                                                                : formatFromName(o->output);
    if (format == ImageFormat::Unknown)
        return usageError(error, "cannot tell the format of " + o->output + " from its name; name it " +
                                     writableFormats() + " or give --format");
    const ImageFormat named = o->output == "-" ? ImageFormat::Unknown : formatFromName(o->output);
    if (named != ImageFormat::Unknown && named != format && !o->forceName)
        return usageError(error, "the output " + o->output + " is named as another format than --format; rename it "
                                 "or give --force-name");
    if (o->output == "-" && stdoutIsTerminal())
        return usageError(error, "-o - writes the image to standard output, which is a terminal here; send it to a "
                                 "file or a pipe");
    if (format == ImageFormat::Jpeg && o->depth == 16)
        return usageError(error, "--depth 16 cannot be written as JPEG, which holds 8 bits per sample; write PNG or TIFF");
    if (format != ImageFormat::Jpeg && (o->qualityGiven || o->write.subsampling != 420))
        return usageError(error, "--quality and --subsampling are for JPEG output");
    o->write.format = format;
    // No output may overwrite an input or another output.
    if (!writtenFilesStandApart({{"the input", o->input, false},
                                 {"the selection", o->selection, false},
                                 {"the preset", o->preset, false},
                                 {"the colour profile", o->icc, false},
                                 {"the output", o->output, true},
                                 {"the log", o->logPath, true}},
                                error))
        return false;
    if (!o->icc.empty()) {
        std::vector<uint8_t> profile;
        std::string why;
        const int read = readIccProfileFile(o->icc, &profile, &why);
        if (read == 2) return usageError(error, why);
    }
    // The profile is applied last: it overrides the options it is about.
    if (const HostProfile* profile = o->hostProfile.empty() ? nullptr : findHostProfile(o->hostProfile)) {
        profile->apply(o->host);
        if (!profile->passesSettings && (!o->host.descriptorEntries.empty() || !o->preset.empty()))
            return usageError(error, std::string("the host profile ") + profile->name +
                                         " has no scripting: --set and --preset cannot reach the plug-in");
    }
    return true;
}

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

int renderOne(const RenderOptions& options) {
    std::string error;
    std::string warning;
    ReadOptions read;
    read.allowDamaged = options.allowDamaged;
    read.warning = &warning;
    Image input;
    if (options.input.empty()) {
        input = makeSampleImage();
    } else if (!readImageFile(options.input, &input, read, &error)) {
        return failWith(error);
    }
    if (!warning.empty()) std::fprintf(stderr, "lumenfall: warning: %s\n", warning.c_str());
    if (cancelRequested()) return failWith("cancelled");
    // The host offers this profile in place of the input's (and the output carries it).
    if (!options.icc.empty()) {
        if (readIccProfileFile(options.icc, &input.metadata.icc, &error) != 0) return failWith(error);
    }
    if (options.grey || options.alpha || options.depth) {
        input = convertImage(input, options.grey ? 1 : input.colourChannels, options.alpha || input.hasAlpha,
                             options.depth ? options.depth : input.depth);
    }
    if (!fitsMemoryBudget(renderBytes(input.width, input.height, input.channels(), input.depth),
                          "rendering a " + std::to_string(input.width) + " x " + std::to_string(input.height) + " image",
                          &error))
        return failWith(error);
    Image selection;
    if (!options.selection.empty()) {
        warning.clear();
        if (!readImageFile(options.selection, &selection, read, &error)) return failWith(error);
        if (!warning.empty()) std::fprintf(stderr, "lumenfall: warning: %s\n", warning.c_str());
        if (selection.width != input.width || selection.height != input.height) {
            std::fprintf(stderr, "lumenfall: the selection %s is %dx%d but the image is %dx%d\n",
                         options.selection.c_str(), selection.width, selection.height, input.width, input.height);
            return kExitFailure;
        }
    }

    if (!filterRectFits(options.host.filterRect, input.width, input.height, &error)) return failWith(error);

    HostOptions hostOptions = options.host;
    if (!options.preset.empty() && !addPresetSettings(options.preset, &hostOptions.descriptorEntries, &error)) {
        std::fprintf(stderr, "lumenfall: %s\n", error.c_str());
        return error.find("is not a preset file") != std::string::npos ? kExitUsage : kExitFailure;
    }
    if (!options.host.passDescriptor && !cachedSettingsExist()) {
        std::fprintf(stderr,
                     "lumenfall: --last: no settings are cached yet (a run with the dialog caches them); "
                     "leave out --last for the defaults\n");
        return kExitFailure;
    }
    hostOptions.progressBar = !options.quiet && stderrIsTerminal();
    if (hostOptions.showDialog) {
        // As an editor runs a filter interactively: it asks for the dialog,
        // with no descriptor, so the dialog opens on the cached settings;
        // settings given on the command line come as the descriptor.
        if (hostOptions.descriptorEntries.empty()) hostOptions.passDescriptor = false;
        hostOptions.descriptor.playInfo = pi::kPlayDialogDisplay;
        // An editor that shows a dialog shows its preview too.
        hostOptions.offerDisplayPixels = !options.noDisplayPixels;
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
#ifndef _WIN32
    if (options.host.showDialog && !options.quiet)
        std::fprintf(stderr, "lumenfall: the dialog is the Windows build's (lumenfall.exe under wine); "
                             "the run uses the settings as they are\n");
#endif
    if (!options.uiScript.empty()) script.start();

    Image output;
    RunOutcome outcome;
    for (int i = 0; i < options.repeat && !cancelRequested(); ++i) {
        const auto start = std::chrono::steady_clock::now();
        outcome = host.run(input, options.selection.empty() ? nullptr : &selection, &output);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (options.bench && outcome.rendered)
            std::fprintf(stderr, "run %d: %.1f ms, %.2f megapixels per second\n", i + 1, seconds * 1e3,
                         double(input.width) * input.height / 1e6 / (seconds > 0 ? seconds : 1e-9));
        if (!outcome.rendered) break;
    }
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
    if (!outcome.rendered) {
        if (outcome.result == pi::kUserCanceledErr) return failWith("cancelled");
        if (outcome.result == pi::kMemFullErr) return failWith("out of memory");
        std::fprintf(stderr, "lumenfall: the plug-in stopped with result %d (selector %d)\n", outcome.result,
                     outcome.failedSelector);
        return kExitFailure;
    }
    // The input's pixels are not needed any more.
    input = Image();
    selection = Image();
    showWriteProgress(!options.quiet && stderrIsTerminal());
    if (!writeImageFile(options.output, output, options.write, &error)) return failWith(error);
    if (options.record) std::fputs(recorded.c_str(), stdout);
    if (!options.quiet)
        std::fprintf(options.record || options.output == "-" ? stderr : stdout, "Wrote %s (%dx%d)\n",
                     options.output == "-" ? "standard output" : options.output.c_str(), output.width, output.height);
    return kExitSuccess;
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
    const std::string plugin = pluginPath.empty() ? defaultPluginPath() : pluginPath;
    if (!host.load(plugin, &error)) {
        std::fprintf(stderr, "lumenfall: cannot load the plug-in %s: %s\n", plugin.c_str(), error.c_str());
        return kExitFailure;
    }
    return host.about() == 0 ? kExitSuccess : kExitFailure;
}

}  // namespace lumenfall
