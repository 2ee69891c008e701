// The words of `lumenfall render` read into RenderOptions, by family, and
// checked before anything is read or rendered.
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

bool usageError(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

// Where the picture goes and how a batch runs: these belong to the whole run,
// never to one image of a batch.
Taken takeOutputOption(const std::vector<std::string>& args, size_t* i, RenderOptions* o, std::string* error) {
    const std::string& a = args[*i];
    auto value = [&](std::string* out) { return takeOptionValue(args, i, out, error); };
    std::string v;
    if (a == "-o" || a == "--output") {
        if (!value(&o->output)) return Taken::Error;
        o->outputGiven = true;
    } else if (a == "--output-pattern") {
        if (!value(&o->outputPattern)) return Taken::Error;
        if (o->outputPattern.find("{name}") == std::string::npos) {
            usageError(error, "--output-pattern needs {name}, for example \"out/{name}-sun.{ext}\"");
            return Taken::Error;
        }
    } else if (a == "--jobs") {
        if (!value(&v) || !parseInt(v, 1, 256, &o->jobs)) {
            usageError(error, "--jobs takes a count from 1 to 256");
            return Taken::Error;
        }
    } else if (a == "--log") {
        if (!value(&o->logPath)) return Taken::Error;
    } else {
        return Taken::No;
    }
    return Taken::Yes;
}

// How the output file is written and what the input is turned into first.
Taken takeImageFormatOption(const std::vector<std::string>& args, size_t* i, RenderOptions* o, std::string* error) {
    const std::string& a = args[*i];
    auto value = [&](std::string* out) { return takeOptionValue(args, i, out, error); };
    auto refuse = [&](const std::string& message) {
        usageError(error, message);
        return Taken::Error;
    };
    std::string v;
    if (a == "--format") {
        if (!value(&v)) return Taken::Error;
        o->format = formatFromWord(v);
        if (o->format == ImageFormat::Unknown)
            return refuse("--format takes png, jpeg or tiff (this build writes " + writableFormats() + ")");
    } else if (a == "--force-name") {
        o->forceName = true;
    } else if (a == "--quality") {
        if (!value(&v) || !parseInt(v, 1, 100, &o->write.quality))
            return refuse("--quality takes a JPEG quality from 1 to 100");
        o->qualityGiven = true;
    } else if (a == "--subsampling") {
        if (!value(&v) || (v != "444" && v != "422" && v != "420"))
            return refuse("--subsampling takes 444, 422 or 420");
        o->write.subsampling = std::atoi(v.c_str());
    } else if (a == "--depth") {
        if (!value(&v)) return Taken::Error;
        if (v != "8" && v != "16") return refuse("--depth takes 8 or 16");
        o->depth = std::atoi(v.c_str());
    } else if (a == "--grey" || a == "--gray") {
        o->grey = true;
    } else if (a == "--alpha") {
        o->alpha = true;
    } else {
        return Taken::No;
    }
    return Taken::Yes;
}

// The settings, the selection and the plug-in each image is rendered with,
// the host the plug-in sees, and whether the run speaks.
Taken takeSettingsOption(const std::vector<std::string>& args, size_t* i, RenderOptions* o, std::string* error) {
    const std::string& a = args[*i];
    auto value = [&](std::string* out) { return takeOptionValue(args, i, out, error); };
    auto refuse = [&](const std::string& message) {
        usageError(error, message);
        return Taken::Error;
    };
    std::string v;
    if (a == "--selection") {
        if (!value(&o->selection)) return Taken::Error;
    } else if (a == "--rect") {
        if (!value(&v) || !parseFilterRect(v, &o->host.filterRect, error)) return Taken::Error;
    } else if (a == "--preset") {
        if (!value(&o->preset)) return Taken::Error;
    } else if (a == "--icc") {
        if (!value(&o->icc)) return Taken::Error;
    } else if (a == "--plugin") {
        if (!value(&o->pluginPath)) return Taken::Error;
    } else if (a == "--set") {
        DescriptorEntry entry;
        if (!value(&v) || !parseSetting(v, &entry, error)) {
            if (error->empty()) *error = "--set needs NAME=VALUE";
            return Taken::Error;
        }
        putSetting(&o->host.descriptorEntries, entry);
    } else if (a == "--last") {
        o->host.passDescriptor = false;
    } else if (a == "--set-once") {
        o->host.settingsFirstRunOnly = true;
    } else if (a == "--play-dialog") {
        o->host.descriptor.playInfo = pi::kPlayDialogDisplay;
    } else if (a == "--quiet" || a == "-q") {
        o->quiet = true;
    } else if (a == "--host-sig") {
        if (!value(&v) || !parseSignature(v, &o->host.hostSig))
            return refuse("--host-sig takes four characters, for example 8BIM");
    } else if (a == "--host-profile") {
        if (!value(&v) || !findHostProfile(v)) return refuse("--host-profile takes one of: " + hostProfileNames());
        o->hostProfile = v;
    } else {
        return Taken::No;
    }
    return Taken::Yes;
}

// Timing, recording and the dialog: what one run does around the render.
Taken takeRunOption(const std::vector<std::string>& args, size_t* i, RenderOptions* o, std::string* error) {
    const std::string& a = args[*i];
    auto value = [&](std::string* out) { return takeOptionValue(args, i, out, error); };
    std::string v;
    if (a == "--bench") {
        o->bench = true;
    } else if (a == "--record") {
        o->record = true;
    } else if (a == "--repeat") {
        if (!value(&v) || !parseInt(v, 1, 1000, &o->repeat)) {
            usageError(error, "--repeat takes a count from 1 to 1000");
            return Taken::Error;
        }
    } else if (a == "--dialog") {
        o->host.showDialog = true;
    } else if (a == "--ui-script") {
        if (!value(&o->uiScript)) return Taken::Error;
        o->host.showDialog = true;
    } else if (a == "--colour-reply") {
        int* c = o->colourRgb;
        if (!value(&v) || std::sscanf(v.c_str(), "%d,%d,%d", &c[0], &c[1], &c[2]) != 3 || c[0] < 0 || c[0] > 255 ||
            c[1] < 0 || c[1] > 255 || c[2] < 0 || c[2] > 255) {
            *error = "--colour-reply takes R,G,B (0..255 each)";
            return Taken::Error;
        }
        o->colourReply = true;
    } else {
        return Taken::No;
    }
    return Taken::Yes;
}

// Host behaviours the tests switch off or make fail on demand.
Taken takeHostTestOption(const std::vector<std::string>& args, size_t* i, RenderOptions* o, std::string* error) {
    const std::string& a = args[*i];
    auto value = [&](std::string* out) { return takeOptionValue(args, i, out, error); };
    auto count = [&](int* out, const char* message) {
        std::string v;
        if (!value(&v) || !parseInt(v, 1, 1 << 30, out)) {
            usageError(error, message);
            return Taken::Error;
        }
        return Taken::Yes;
    };
    if (a == "--no-advance-state") {
        o->host.offerAdvanceState = false;
    } else if (a == "--no-display-pixels") {
        o->noDisplayPixels = true;
    } else if (a == "--no-sampling") {
        o->host.samplingSupport = false;
    } else if (a == "--no-buffer-suite") {
        o->host.offerBufferSuite = false;
    } else if (a == "--fail-buffer") {
        return count(&o->host.failBufferAllocation, "--fail-buffer takes the number of the allocation that fails");
    } else if (a == "--fail-advance") {
        return count(&o->host.failAdvanceState, "--fail-advance takes the number of the call that fails");
    } else if (a == "--abort-at") {
        return count(&o->host.abortAtCall, "--abort-at takes the number of the abort check that cancels");
    } else if (a == "--image-mode") {
        std::string v;
        int mode = 0;
        if (!value(&v) || !parseInt(v, 0, 32767, &mode)) {
            usageError(error, "--image-mode takes a host image mode number");
            return Taken::Error;
        }
        o->host.imageModeOverride = int16_t(mode);
    } else {
        return Taken::No;
    }
    return Taken::Yes;
}

// Options every image of a batch is rendered with; a batch's workers get
// them again as typed.
Taken takePerImageOption(const std::vector<std::string>& args, size_t* i, RenderOptions* o, std::string* error) {
    SharedOptions shared{o->threads, o->memoryLimit, o->allowDamaged};
    Taken taken = takeSharedOption(args, i, &shared, error);
    if (taken == Taken::Yes) {
        o->threads = shared.threads;
        o->memoryLimit = shared.memoryLimit;
        o->allowDamaged = shared.allowDamaged;
    }
    if (taken == Taken::No) taken = takeImageFormatOption(args, i, o, error);
    if (taken == Taken::No) taken = takeSettingsOption(args, i, o, error);
    return taken;
}

Taken takeWholeRunOption(const std::vector<std::string>& args, size_t* i, RenderOptions* o, std::string* error) {
    Taken taken = takeOutputOption(args, i, o, error);
    if (taken == Taken::No) taken = takeRunOption(args, i, o, error);
    if (taken == Taken::No) taken = takeHostTestOption(args, i, o, error);
    return taken;
}

bool readRenderArguments(const std::vector<std::string>& args, RenderOptions* o, std::string* error) {
    bool filesOnly = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (filesOnly || a == "-" || a.empty() || a[0] != '-') {
            o->inputs.push_back(a);
            continue;
        }
        const size_t at = i;
        Taken taken = takePerImageOption(args, &i, o, error);
        if (taken == Taken::Yes) {
            o->workerArguments.insert(o->workerArguments.end(), args.begin() + long(at), args.begin() + long(i) + 1);
            continue;
        }
        if (taken == Taken::No && a == "--") {
            filesOnly = true;
            continue;
        }
        if (taken == Taken::No) taken = takeWholeRunOption(args, &i, o, error);
        if (taken == Taken::Error) return false;
        if (taken == Taken::No) return usageError(error, "unknown option " + a);
    }
    if (!o->inputs.empty()) o->input = o->inputs[0];
    return true;
}

bool checkBatchOptions(const RenderOptions& o, bool toFolder, std::string* error) {
    if (!o.outputPattern.empty() && o.outputGiven) return usageError(error, "give -o DIR/ or --output-pattern, not both");
    if (o.outputPattern.empty() && !toFolder)
        return usageError(error, "several inputs need -o FOLDER/ (ending in a separator) or --output-pattern");
    for (const std::string& in : o.inputs)
        if (in == "-") return usageError(error, "standard input cannot be one of several inputs");
    if (!o.logPath.empty() || o.record || o.repeat > 1 || o.bench)
        return usageError(error, "--log, --record, --repeat and --bench are for one image at a time");
    return true;
}

// What the output will be, checked before anything is rendered.
bool chooseOutputFormat(RenderOptions* o, std::string* error) {
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
    return true;
}

bool checkFilesOfOneImage(const RenderOptions& o, std::string* error) {
    // No output may overwrite an input or another output.
    if (!writtenFilesStandApart({{"the input", o.input, false},
                                 {"the selection", o.selection, false},
                                 {"the preset", o.preset, false},
                                 {"the colour profile", o.icc, false},
                                 {"the output", o.output, true},
                                 {"the log", o.logPath, true}},
                                error))
        return false;
    if (!o.icc.empty()) {
        std::vector<uint8_t> profile;
        std::string why;
        const int read = readIccProfileFile(o.icc, &profile, &why);
        if (read == 2) return usageError(error, why);
    }
    return true;
}

// The profile is applied last: it overrides the options it is about.
bool applyHostProfile(RenderOptions* o, std::string* error) {
    const HostProfile* profile = o->hostProfile.empty() ? nullptr : findHostProfile(o->hostProfile);
    if (!profile) return true;
    profile->apply(o->host);
    if (!profile->passesSettings && (!o->host.descriptorEntries.empty() || !o->preset.empty()))
        return usageError(error, std::string("the host profile ") + profile->name +
                                     " has no scripting: --set and --preset cannot reach the plug-in");
    return true;
}

}  // namespace

bool parseRenderOptions(const std::vector<std::string>& words, RenderOptions* o, std::string* error) {
    std::vector<std::string> args;
    if (!splitOptionWords(words, optionsWithValues(kCmdRender), &args, error)) return false;
    if (!readRenderArguments(args, o, error)) return false;
    if (!o->preset.empty() && !o->host.passDescriptor)
        return usageError(error, "--preset and --last both choose the starting settings; give one");
    const bool toFolder = o->outputGiven && !o->output.empty() && (o->output.back() == '/' || o->output.back() == '\\');
    // One input with -o DIR/ is a batch of one, so that a glob matching a
    // single file works as one matching several.
    o->batch = o->inputs.size() > 1 || !o->outputPattern.empty() || (toFolder && !o->inputs.empty());
    if (o->batch) return checkBatchOptions(*o, toFolder, error);
    if (o->jobs > 1) return usageError(error, "--jobs is for several inputs");
    return chooseOutputFormat(o, error) && checkFilesOfOneImage(*o, error) && applyHostProfile(o, error);
}

}  // namespace lumenfall
