// lumenfall psd: a final render through the plug-in into an image with
// editable transparency, then the layered PSD file of the export code.
#include "command_psd.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>

#include "atomic_file.h"
#include "command_line.h"
#include "export/psd_writer.h"
#include "memory_budget.h"
#include "option_table.h"
#include "option_values.h"
#include "params/defaults.h"
#include "platform/process_info.h"
#include "preset_settings.h"
#include "render/tiled_image.h"
#include "run_files.h"
#include "settings_arguments.h"
#include "shared_options.h"
#include "signals.h"

namespace lumenfall {

uint64_t psdExportBytes(uint64_t imageBytes) { return 2 * imageBytes + imageBytes / 4 + (8ull << 20); }

namespace {

// The export's need for a picture being read: it becomes RGBA at its depth.
uint64_t psdReadNeed(int64_t width, int64_t height, int32_t, int32_t depth) {
    return psdExportBytes(uint64_t(width) * uint64_t(height) * 4u * (depth == 16 ? 2u : 1u));
}

}  // namespace

namespace {

struct PsdOptions {
    std::string input;
    std::string output;
    std::string preset;
    std::string icc;
    std::string pluginPath;
    int depth = 0;
    bool grey = false;
    bool quiet = false;
    bool forceName = false;    // write the PSD also under a name of another format
    SharedOptions shared;
    int32_t failAtWrite = 0;   // test option: the k-th write of the file fails
    HostOptions host;
};

std::string psdUsage() { return commandHelp(*findCommand("psd")); }

bool parseCount(const std::string& text, int32_t* value) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || errno != 0 || *end != 0 || v < 1 || v > (1L << 30)) return false;
    *value = int32_t(v);
    return true;
}

// 0 parsed, 1 help shown, 2 usage error.
int parsePsdOptions(const std::vector<std::string>& words, PsdOptions* o, std::string* error) {
    std::vector<std::string> args;
    if (!splitOptionWords(words, optionsWithValues(kCmdPsd), &args, error)) return 2;
    bool filesOnly = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string v;
        auto value = [&](std::string* out) { return takeOptionValue(args, &i, out, error); };
        if (filesOnly || a.empty() || a[0] != '-') {
            if (!o->input.empty()) {
                *error = "give one input image";
                return 2;
            }
            o->input = a;
        } else if (a == "--") {
            filesOnly = true;
        } else if (const Taken taken = takeSharedOption(args, &i, &o->shared, error); taken != Taken::No) {
            if (taken == Taken::Error) return 2;
        } else if (a == "--help" || a == "-h") {
            return 1;
        } else if (a == "-o" || a == "--output") {
            if (!value(&o->output)) return 2;
        } else if (a == "--preset") {
            if (!value(&o->preset)) return 2;
        } else if (a == "--icc") {
            if (!value(&o->icc)) return 2;
        } else if (a == "--plugin") {
            if (!value(&o->pluginPath)) return 2;
        } else if (a == "--set") {
            DescriptorEntry entry;
            if (!value(&v) || !parseSetting(v, &entry, error)) {
                if (error->empty()) *error = "--set needs NAME=VALUE";
                return 2;
            }
            putSetting(&o->host.descriptorEntries, entry);
        } else if (a == "--depth") {
            if (!value(&v)) return 2;
            if (v != "8" && v != "16") {
                *error = "--depth takes 8 or 16";
                return 2;
            }
            o->depth = std::atoi(v.c_str());
        } else if (a == "--grey" || a == "--gray") {
            o->grey = true;
        } else if (a == "-q" || a == "--quiet") {
            o->quiet = true;
        } else if (a == "--force-name") {
            o->forceName = true;
        } else if (a == "--abort-at") {
            if (!value(&v) || !parseCount(v, &o->host.abortAtCall)) {
                *error = "--abort-at takes the number of the abort check that cancels";
                return 2;
            }
        } else if (a == "--fail-write") {
            if (!value(&v) || !parseCount(v, &o->failAtWrite)) {
                *error = "--fail-write takes the number of the write that fails";
                return 2;
            }
        } else {
            *error = "unknown option " + a;
            return 2;
        }
    }
    if (o->output.empty() || o->output == "-") {
        *error = "give the PSD file to write with -o OUT.psd";
        return 2;
    }
    if (!o->forceName && !(*error = otherKindsEnding(o->output, ".psd", "a PSD file")).empty()) return 2;
    if (!writtenFilesStandApart({{"the input", o->input, false},
                                 {"the preset", o->preset, false},
                                 {"the colour profile", o->icc, false},
                                 {"the output", o->output, true}},
                                error))
        return 2;
    if (!o->icc.empty()) {
        std::vector<uint8_t> profile;
        if (readIccProfileFile(o->icc, &profile, error) == 2) return 2;
        error->clear();
    }
    return 0;
}

int fail(const std::string& message) {
    if (cancelRequested() || message == "cancelled") {
        std::fprintf(stderr, "lumenfall psd: cancelled\n");
        return cancelRequested() ? cancelExitCode() : kExitCancelled;
    }
    std::fprintf(stderr, "lumenfall psd: %s\n", message.c_str());
    return kExitFailure;
}

// The render in the export's own image: RGBA at the host's depth (16-bit
// samples back in the host's 0..32768), grey repeated in R, G and B.
bool toTiledImage(const Image& picture, TiledImage* image) {
    initTiledImage(*image, nullptr, nullptr);
    const bool wide = picture.depth == 16;
    if (!createTiledImage(image, picture.width, picture.height, wide ? kStoreRgba16 : kStoreRgba8, 0, false))
        return false;
    const int32_t channels = picture.channels();
    for (int32_t y = 0; y < picture.height; ++y) {
        for (int32_t x = 0; x < picture.width; ++x) {
            uint16_t c[4];
            for (int k = 0; k < 3; ++k) c[k] = picture.samples[picture.index(x, y, picture.colourChannels == 1 ? 0 : k)];
            c[3] = picture.hasAlpha ? uint16_t(picture.samples[picture.index(x, y, channels - 1)])
                                    : picture.maxValue();
            if (wide) {
                writePixel16(*image, x, y, 0, fileToHost16(c[0]), fileToHost16(c[1]), fileToHost16(c[2]),
                             fileToHost16(c[3]));
            } else {
                writePixel8(*image, x, y, 0, uint8_t(c[0]), uint8_t(c[1]), uint8_t(c[2]), uint8_t(c[3]));
            }
        }
    }
    return true;
}

struct Progress {
    bool show;
    int32_t last = -1;
};

bool reportProgress(void* context, int32_t percent) {
    Progress& p = *static_cast<Progress*>(context);
    if (p.show && percent != p.last) {
        std::fprintf(stderr, "\rwriting %3d%%", int(percent));
        if (percent == 100) std::fputc('\n', stderr);
        p.last = percent;
    }
    return !cancelRequested();
}

int exportPsd(const PsdOptions& options) {
    std::string error;
    Image input;
    if (options.input.empty()) {
        input = makeSampleImage();
    } else if (!readInputPicture(options.input, options.shared, "psd", &input, &error, psdReadNeed)) {
        return fail(error);
    }
    // The layer's transparency comes from the plug-in: the image gets an alpha channel.
    ImageMetadata metadata = input.metadata;
    input = convertImage(input, options.grey ? 1 : input.colourChannels, true,
                         options.depth ? options.depth : input.depth);
    input.metadata = metadata;
    if (!options.icc.empty() && readIccProfileFile(options.icc, &input.metadata.icc, &error) != 0) return fail(error);

    PsdExportSettings settings;
    const std::vector<uint8_t> profile = input.metadata.icc;  // outlives the input
    settings.iccProfile = profile.empty() ? nullptr : profile.data();
    settings.iccProfileSize = profile.size();
    const int32_t bytesPerSample = input.depth == 16 ? 2 : 1;
    char message[320];
    if (!psdSizeAllowed(input.width, input.height, bytesPerSample, settings, message, sizeof message))
        return fail(message);
    // Measured peaks: the input and the render at once, then the render and
    // the export's image, each an RGBA image at the file's depth; a quarter
    // image more while the input becomes RGBA, and a few megabytes of codec
    // and plug-in buffers.
    const uint64_t imageBytes = uint64_t(input.width) * uint64_t(input.height) * 4u * uint64_t(bytesPerSample);
    if (!fitsMemoryBudget(psdExportBytes(imageBytes),
                          "exporting a " + std::to_string(input.width) + " x " + std::to_string(input.height) +
                              " image",
                          &error))
        return fail(error);

    HostOptions hostOptions = options.host;
    if (!options.preset.empty() && !addPresetSettings(options.preset, &hostOptions.descriptorEntries, &error))
        return fail(error);
    hostOptions.progressBar = !options.quiet && stderrIsTerminal();
    PluginHost host(hostOptions);
    const std::string plugin = options.pluginPath.empty() ? defaultPluginPath() : options.pluginPath;
    if (!host.load(plugin, &error)) return fail("cannot load the plug-in " + plugin + ": " + error);
    Image output;
    const RunOutcome outcome = host.run(input, nullptr, &output);
    if (cancelRequested()) return fail("cancelled");
    if (!outcome.rendered) {
        if (outcome.result == pi::kUserCanceledErr) return fail("cancelled");
        if (outcome.result == pi::kMemFullErr) return fail("out of memory");
        return fail("the plug-in stopped with result " + std::to_string(outcome.result));
    }
    // The keywords describe the settings the render used.
    const std::unique_ptr<ParameterBlock> block(new ParameterBlock());
    resetToDefaults(*block);
    for (const DescriptorEntry& entry : host.recordedDescriptor()) applyEntryToBlock(entry, *block);
    settings = psdSettingsFor(*block, settings.iccProfile, settings.iccProfileSize);
    input = Image();

    TiledImage image;
    if (!toTiledImage(output, &image)) {
        freeTiledImage(&image);
        return fail("out of memory");
    }
    output.samples = SampleStore();
    Progress progress{!options.quiet && stderrIsTerminal()};
    const PsdProgress report{&progress, reportProgress};
    const PsdWriteHooks hooks{options.failAtWrite};
    const int32_t result =
        writePsdFile(options.output.c_str(), &image, settings, &report, &hooks, message, sizeof message);
    const int32_t width = image.levelWidth[0], height = image.levelHeight[0];
    freeTiledImage(&image);
    if (result != kPsdWritten) {
        if (result == kPsdCancelled) return fail("cancelled");
        if (result == kPsdFileCannotOpen)
            return fail("cannot create " + options.output + " (" + whyCannotCreate(options.output) + ")");
        return fail("cannot write " + options.output + ": " + message);
    }
    if (!options.quiet)
        std::printf("Wrote %s (%dx%d, %d-bit, one layer)\n", options.output.c_str(), int(width), int(height),
                    int(8 * bytesPerSample));
    return kExitSuccess;
}

}  // namespace

int runPsdCommand(const std::vector<std::string>& args) {
    PsdOptions options;
    std::string error;
    const int parsed = parsePsdOptions(args, &options, &error);
    if (parsed == 1) {
        std::fputs(psdUsage().c_str(), stdout);
        return kExitSuccess;
    }
    if (parsed == 2) {
        std::fprintf(stderr, "lumenfall psd: %s\nTry 'lumenfall psd --help'.\n", error.c_str());
        return kExitUsage;
    }
    installCancelHandlers();
    applySharedOptions(options.shared);
    try {
        return exportPsd(options);
    } catch (const std::bad_alloc&) {
        return fail("out of memory");
    }
}

}  // namespace lumenfall
