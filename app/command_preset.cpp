#include "command_preset.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <random>

#include "atomic_file.h"
#include "command_line.h"
#include "export/preset_thumbnail.h"
#include "export/thumbnail.h"
#include "export/thumbnail_jpeg.h"
#include "kernels/resample_weights.h"
#include "option_table.h"
#include "option_values.h"
#include "params/defaults.h"
#include "params/preset_format.h"
#include "params/random_settings.h"
#include "platform/random.h"
#include "plugin_host.h"
#include "preset_library.h"
#include "preset_settings.h"
#include "run_files.h"
#include "settings_arguments.h"
#include "shared_options.h"
#include "signals.h"

namespace lumenfall {
namespace {

// What `preset show` learns about a stored thumbnail.
struct ThumbnailCheck {
    bool decoded = false;
    int32_t result = 0;
};

bool checkThumbnail(void* context, const uint8_t* jpeg, size_t size, int32_t width, int32_t height) {
    auto* check = static_cast<ThumbnailCheck*>(context);
    ThumbnailPixels pixels;
    check->result = decodeThumbnailJpeg(jpeg, size, width, height, 4, pixels);
    check->decoded = check->result == kThumbnailDecoded;
    return check->decoded;
}

std::unique_ptr<ParameterBlock> defaultBlock() {
    auto block = std::make_unique<ParameterBlock>();
    std::memset(block.get(), 0, sizeof(ParameterBlock));
    initialiseParameterBlock(*block);
    return block;
}

std::string hex4(uint16_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", v);
    return text;
}

std::string formatFloat(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", double(v));
    return text;
}

int usage(const std::string& message) {
    std::fprintf(stderr, "lumenfall preset: %s\nTry 'lumenfall preset --help'.\n", message.c_str());
    return kExitUsage;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "lumenfall: %s\n", message.c_str());
    return kExitFailure;
}

int runShow(const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-') return usage("show takes one preset file");
    auto block = defaultBlock();
    ThumbnailCheck check;
    const PresetThumbnailSink sink{&check, checkThumbnail};
    PresetLoadReport report;
    std::string error;
    if (!loadPresetForCommand(args[0], block.get(), &report, &error, &sink))
        return error.find("is not a preset file") != std::string::npos ? usage(error) : fail(error);
    std::string thumbnail = "none";
    if (report.thumbnailStored) {
        thumbnail = std::to_string(report.thumbnailWidth) + " x " + std::to_string(report.thumbnailHeight) + ", " +
                    std::to_string(report.thumbnailBytes) + " bytes of JPEG";
        if (report.thumbnailBytes > kPresetThumbnailLimit)
            thumbnail += " (too large for a thumbnail, skipped)";
        else if (!check.decoded)
            thumbnail += " (cannot be decoded)";
    }
    std::fputs(describePreset(*block, report.version, thumbnail).c_str(), stdout);
    return kExitSuccess;
}

struct SaveOptions {
    std::string output;
    std::string from;
    std::string image;
    std::string plugin;
    std::vector<DescriptorEntry> settings;
    bool thumbnail = true;
    bool seedGiven = false;
    unsigned seed = 0;
    bool quiet = false;
    bool forceName = false;
    SharedOptions shared;
};

bool parseSaveOptions(const std::vector<std::string>& words, bool roll, SaveOptions* o, std::string* error) {
    std::vector<std::string> args;
    if (!splitOptionWords(words, optionsWithValues(roll ? kCmdPresetRoll : kCmdPresetSave), &args, error))
        return false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string* out) { return takeOptionValue(args, &i, out, error); };
        std::string v;
        const Taken taken = takeSharedOption(args, &i, &o->shared, error);
        if (taken == Taken::Error) return false;
        if (taken == Taken::Yes) continue;
        if (a == "-o" || a == "--output") {
            if (!value(&o->output)) return false;
        } else if (a == "--image") {
            if (!value(&o->image)) return false;
        } else if (a == "--plugin") {
            if (!value(&o->plugin)) return false;
        } else if (a == "--no-thumbnail") {
            o->thumbnail = false;
        } else if (a == "--force-name") {
            o->forceName = true;
        } else if (a == "-q" || a == "--quiet") {
            o->quiet = true;
        } else if (!roll && a == "--from") {
            if (!value(&o->from)) return false;
        } else if (!roll && a == "--set") {
            DescriptorEntry entry;
            if (!value(&v)) return false;
            if (!parseSetting(v, &entry, error)) return false;
            putSetting(&o->settings, entry);
        } else if (roll && a == "--seed") {
            if (!value(&v)) return false;
            char* end = nullptr;
            errno = 0;
            const unsigned long long seed = std::strtoull(v.c_str(), &end, 10);
            if (v.empty() || v[0] == '-' || *end != 0 || errno != 0 || seed > 0xFFFFFFFFull) {
                *error = "--seed takes a whole number from 0 to 4294967295";
                return false;
            }
            o->seed = unsigned(seed);
            o->seedGiven = true;
        } else if (a.empty() || a[0] != '-') {
            *error = "unexpected word " + a + " (the preset to write is given with -o FILE)";
            return false;
        } else {
            *error = "unknown option " + a;
            return false;
        }
    }
    if (o->output.empty()) {
        *error = "-o FILE is needed";
        return false;
    }
    if (!o->forceName && !(*error = otherKindsEnding(o->output, ".q4q", "a preset")).empty()) return false;
    // The picture or the preset read must not be the file written.
    for (const std::string* read : {&o->image, &o->from})
        if (sameFile(o->output, *read)) {
            *error = "the output " + o->output + " is also the file read (" + *read + "); give it another name";
            return false;
        }
    return true;
}

int cancelled() {
    std::fprintf(stderr, "lumenfall: cancelled\n");
    return cancelExitCode();
}

int writePreset(const ParameterBlock& block, const SaveOptions& o) {
    installCancelHandlers();
    applySharedOptions(o.shared);
    std::vector<uint8_t> thumbnail;
    if (o.thumbnail) {
        Image picture;
        std::string error;
        if (o.image.empty()) picture = makeSampleImage();
        else if (!readInputPicture(o.image, o.shared, "preset", &picture, &error))
            return cancelRequested() ? cancelled() : fail(error);
        const std::string plugin = o.plugin.empty() ? defaultPluginPath() : o.plugin;
        if (!renderPresetThumbnail(block, picture, plugin, &thumbnail, &error))
            return cancelRequested() ? cancelled() : fail(error);
    }
    if (cancelRequested()) return cancelled();
    const int32_t result = savePresetFile(block, o.output.c_str(), o.thumbnail ? &thumbnail : nullptr);
    if (result == kPresetCannotOpen) return fail("cannot create " + o.output + " (" + whyCannotCreate(o.output) + ")");
    if (result != kPresetOk) return fail("writing " + o.output + " failed (disk full?); an older file there is unchanged");
    if (!o.quiet) std::printf("Wrote %s\n", o.output.c_str());
    return kExitSuccess;
}

int runSave(const std::vector<std::string>& args) {
    SaveOptions o;
    std::string error;
    if (!parseSaveOptions(args, false, &o, &error)) return usage(error);
    auto block = defaultBlock();
    if (!o.from.empty()) {
        PresetLoadReport report;
        if (!loadPresetForCommand(o.from, block.get(), &report, &error))
            return error.find("is not a preset file") != std::string::npos ? usage(error) : fail(error);
    }
    for (const DescriptorEntry& e : o.settings) applyEntryToBlock(e, *block);
    return writePreset(*block, o);
}

int runRoll(const std::vector<std::string>& args) {
    SaveOptions o;
    std::string error;
    if (!parseSaveOptions(args, true, &o, &error)) return usage(error);
    auto block = defaultBlock();
    // Without --seed every roll differs, also two in the same second.
    const unsigned seed = o.seedGiven ? o.seed : unsigned(std::random_device{}() ^ unsigned(std::time(nullptr)));
    seedRandom(seed);
    rollAllSettings(*block);
    std::strcpy(block->settingsName, kRandomSettingsName);
    if (!o.quiet) std::printf("Rolled with seed %u\n", seed);
    return writePreset(*block, o);
}

}  // namespace

void printPresetUsage(std::FILE* to) {
    for (const char* sub : {"preset show", "preset save", "preset roll", "preset list"})
        std::fputs((commandHelp(*findCommand(sub)) + "\n").c_str(), to);
}

std::string describePreset(const ParameterBlock& block, int32_t version, const std::string& thumbnailLine) {
    std::string out = "# version " + std::to_string(version) + "\n";
    out += "# thumbnail: " + thumbnailLine + "\n";
    out += formatSettings(descriptorEntriesFromBlock(block));
    out += "# stored but not carried by --set: flare Z=" + formatFloat(block.flareZ) +
           ", spike Z=" + formatFloat(block.spikeZ) + "\n";
    auto colour = [](const uint16_t (&c)[3]) {
        return std::to_string(c[0] >> 8) + " " + std::to_string(c[1] >> 8) + " " + std::to_string(c[2] >> 8);
    };
    out += "# reserved colour A=" + colour(block.reservedColorA) + ", reserved colour B=" +
           colour(block.reservedColorB) + "\n";
    std::string lowBytes;
    const struct {
        const char* name;
        const uint16_t* colour;
    } colours[] = {{"sun", block.sunColor},         {"flare", block.flareColor},
                   {"halo", block.haloColor},       {"reserved A", block.reservedColorA},
                   {"spike", block.spikeColor},     {"reserved B", block.reservedColorB}};
    for (const auto& c : colours)
        for (int ch = 0; ch < 3; ++ch)
            if (c.colour[ch] & 0xFF)
                lowBytes += std::string(lowBytes.empty() ? "" : ", ") + c.name + " " + "rgb"[ch] + "=" +
                            hex4(c.colour[ch]);
    if (!lowBytes.empty()) out += "# colour channels with a low byte: " + lowBytes + "\n";
    return out;
}

bool renderPresetThumbnail(const ParameterBlock& block, const Image& picture, const std::string& pluginPath,
                           std::vector<uint8_t>* thumbnailBlock, std::string* error) {
    HostOptions options;
    options.descriptorEntries = descriptorEntriesFromBlock(block);
    PluginHost host(options);
    if (!host.load(pluginPath, error)) {
        *error = "cannot load the plug-in " + pluginPath + ": " + *error;
        return false;
    }
    Image output;
    const RunOutcome outcome = host.run(picture, nullptr, &output);
    if (!outcome.rendered) {
        *error = "the plug-in stopped with result " + std::to_string(outcome.result) + " while rendering the thumbnail";
        return false;
    }
    const Image rgb = convertImage(output, 3, false, 8);
    std::vector<uint8_t> bytes(rgb.samples.size());
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(rgb.samples[i]);

    const LanczosWeights& weights = standardLanczosWeights();

    HostOutputView view;
    view.data = bytes.data();
    view.rowBytes = rgb.width * 3;
    view.top = 0;
    view.left = 0;
    view.bottom = rgb.height;
    view.right = rgb.width;
    view.planes = 3;
    view.depth = 8;
    auto thumbnail = std::make_unique<Thumbnail>();
    if (!makeThumbnail(view, rgb.width, rgb.height, weights, nullptr, *thumbnail)) {
        *error = "the thumbnail could not be made from the rendered picture";
        return false;
    }
    *thumbnailBlock = presetThumbnailBlock(thumbnail->rgb);
    return true;
}

int runPresetCommand(const std::vector<std::string>& args) {
    if (args.empty()) {
        printPresetUsage(stderr);
        return kExitUsage;
    }
    const std::string& sub = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (sub == "--help" || sub == "-h" || sub == "help") {
        printPresetUsage(stdout);
        return kExitSuccess;
    }
    for (const std::string& a : rest)
        if (a == "--help" || a == "-h") {
            printPresetUsage(stdout);
            return kExitSuccess;
        }
    if (sub == "show") return runShow(rest);
    if (sub == "save") return runSave(rest);
    if (sub == "roll") return runRoll(rest);
    if (sub == "list") return runPresetList(rest);
    return usage("unknown subcommand '" + sub + "' (show, save, roll or list)");
}

}  // namespace lumenfall
