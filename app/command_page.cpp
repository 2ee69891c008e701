// lumenfall presets-page and dots-page: the HTML pages of a folder of
// presets and of the memory dots, as the dialog writes them.
#include "command_page.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <set>

#include "command_line.h"
#include "command_psd.h"
#include "export/html_page.h"
#include "kernels/resample_weights.h"
#include "option_values.h"
#include "params/plugin_files.h"
#include "option_table.h"
#include "platform/folder_listing.h"
#include "platform/shell_open.h"
#include "preset_settings.h"
#include "run_files.h"
#include "shared_options.h"
#include "render/resample_image.h"
#include "render/tiled_image.h"
#include "signals.h"

namespace lumenfall {
namespace {

// What went wrong with a page, in the system's words where it has them.
std::string pageFailure(const std::string& page, int32_t result) {
    if (result != kPageCannotCreate) return "cannot write " + page + " (a write failed; an older page is unchanged)";
    const std::string why = whyCannotCreate(page);
    if (why != "the disk refused it") return "cannot create " + page + " (" + why + ")";
    const std::string pictures = (std::filesystem::path(page).parent_path() / kPicturesFolderName).string();
    return "cannot create " + page + " or its folder " + pictures + " (" + whyCannotCreate(pictures + "/x") + ")";
}

// The page against every file the run reads: the presets of the folder,
// the input picture, the colour profile.
bool pageStandsApart(const std::string& page, std::vector<RunFile> reads, std::string* error) {
    reads.push_back({"the page", page, true});
    return writtenFilesStandApart(reads, error);
}

// The preset files of the folder (names holding ".q4q", as the page lists
// them); false with a message when the folder cannot be read.
bool listPresets(const std::string& folder, std::vector<std::string>* presets, std::string* error) {
    std::vector<FolderEntry> entries;
    errno = 0;
    if (!listFolder(folder, &entries)) {
        *error = "cannot read the folder " + folder + (errno ? " (" + std::string(std::strerror(errno)) + ")" : "");
        return false;
    }
    const std::string base = (std::filesystem::path(folder) / "").string();
    for (const FolderEntry& entry : entries) {
        if (!entry.isFolder && entry.name.find(".q4q") != std::string::npos) presets->push_back(base + entry.name);
    }
    return true;
}

// The presets that cannot be read, named on stderr; the page leaves them off.
std::set<std::string> damagedPresets(const std::vector<std::string>& presets) {
    std::set<std::string> damaged;
    for (const std::string& path : presets) {
        std::vector<DescriptorEntry> settings;
        std::string why;
        if (addPresetSettings(path, &settings, &why)) continue;
        std::fprintf(stderr, "lumenfall presets-page: damaged preset skipped: %s\n", why.c_str());
        damaged.insert(std::filesystem::path(path).filename().string());
    }
    return damaged;
}

}  // namespace

int runPresetsPageCommand(const std::vector<std::string>& words) {
    const std::string usage = "Try 'lumenfall presets-page --help'.\n";
    std::vector<std::string> args;
    std::string error, folder, page, icc;
    bool open = false, quiet = false, strict = false, forceName = false;
    if (!splitOptionWords(words, optionsWithValues(kCmdPresetsPage), &args, &error)) {
        std::fprintf(stderr, "lumenfall presets-page: %s\n%s", error.c_str(), usage.c_str());
        return kExitUsage;
    }
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" || a == "--output") {
            if (!takeOptionValue(args, &i, &page, &error)) break;
        } else if (a == "--icc") {
            if (!takeOptionValue(args, &i, &icc, &error)) break;
        } else if (a == "--open") {
            open = true;
        } else if (a == "--strict") {
            strict = true;
        } else if (a == "--force-name") {
            forceName = true;
        } else if (a == "-q" || a == "--quiet") {
            quiet = true;
        } else if (!a.empty() && a[0] != '-') {
            if (!folder.empty()) {
                error = "give one presets folder";
                break;
            }
            folder = a;
        } else {
            error = "unknown option " + a;
            break;
        }
    }
    if (error.empty() && (folder.empty() || page.empty())) error = "give the presets folder and -o PAGE.html";
    if (error.empty() && !forceName) error = otherKindsEnding(page, ".html .htm", "an HTML page");
    std::vector<uint8_t> profile;
    if (error.empty() && !icc.empty() && readIccProfileFile(icc, &profile, &error) == 1) {
        std::fprintf(stderr, "lumenfall presets-page: %s\n", error.c_str());
        return kExitFailure;
    }
    std::vector<std::string> presets;
    if (error.empty() && !listPresets(folder, &presets, &error)) {
        std::fprintf(stderr, "lumenfall presets-page: %s\n", error.c_str());
        return kExitFailure;
    }
    if (error.empty()) {
        std::vector<RunFile> reads = {{"the colour profile", icc, false}};
        for (const std::string& preset : presets) reads.push_back({"the preset", preset, false});
        pageStandsApart(page, reads, &error);
    }
    if (!error.empty()) {
        std::fprintf(stderr, "lumenfall presets-page: %s\n%s", error.c_str(), usage.c_str());
        return kExitUsage;
    }
    const std::set<std::string> damaged = damagedPresets(presets);
    if (presets.size() == damaged.size()) {
        std::fprintf(stderr, "lumenfall presets-page: %s holds no %spresets (.q4q files)\n", folder.c_str(),
                     damaged.empty() ? "" : "undamaged ");
        return kExitFailure;
    }
    if (strict && !damaged.empty()) {
        std::fprintf(stderr, "lumenfall presets-page: %d damaged presets (--strict); no page written\n",
                     int(damaged.size()));
        return kExitFailure;
    }
    int32_t count = 0;
    const int32_t result =
        writePresetsPage(folder, page, &count, PageProfile{profile.data(), profile.size()}, &damaged);
    if (result != kPageWritten) {
        std::fprintf(stderr, "lumenfall presets-page: %s\n", pageFailure(page, result).c_str());
        return kExitFailure;
    }
    if (!quiet) std::printf("Wrote %s (%d presets)\n", page.c_str(), int(count));
    if (open && !shellOpen(page)) {
        std::fprintf(stderr, "lumenfall presets-page: cannot open %s\n", page.c_str());
        return kExitFailure;
    }
    return kExitSuccess;
}

namespace {

struct DotsOptions {
    std::string input;
    std::string page;
    std::string icc;
    std::string pluginPath;
    bool open = false;
    bool quiet = false;
    bool forceName = false;
    SharedOptions shared;
};

// 0 parsed, 1 help, 2 usage error.
int parseDotsOptions(const std::vector<std::string>& words, DotsOptions* o, std::string* error) {
    std::vector<std::string> args;
    if (!splitOptionWords(words, optionsWithValues(kCmdDotsPage), &args, error)) return 2;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const Taken taken = takeSharedOption(args, &i, &o->shared, error);
        if (taken == Taken::Error) return 2;
        if (taken == Taken::Yes) continue;
        if (a == "-o" || a == "--output") {
            if (!takeOptionValue(args, &i, &o->page, error)) return 2;
        } else if (a == "--icc") {
            if (!takeOptionValue(args, &i, &o->icc, error)) return 2;
        } else if (a == "--plugin") {
            if (!takeOptionValue(args, &i, &o->pluginPath, error)) return 2;
        } else if (a == "--open") {
            o->open = true;
        } else if (a == "--force-name") {
            o->forceName = true;
        } else if (a == "-q" || a == "--quiet") {
            o->quiet = true;
        } else if (!a.empty() && a[0] != '-' && o->input.empty()) {
            o->input = a;
        } else {
            *error = a.empty() || a[0] != '-' ? "give one input image" : "unknown option " + a;
            return 2;
        }
    }
    if (o->page.empty() || o->page == "-") {
        *error = "give the page to write with -o PAGE.html";
        return 2;
    }
    if (!o->forceName && !(*error = otherKindsEnding(o->page, ".html .htm", "an HTML page")).empty()) return 2;
    if (!pageStandsApart(o->page, {{"the input", o->input, false}, {"the colour profile", o->icc, false}}, error))
        return 2;
    std::vector<uint8_t> profile;
    if (!o->icc.empty() && readIccProfileFile(o->icc, &profile, error) == 2) return 2;
    error->clear();
    return 0;
}

// The picture every dot is rendered on: the input as 8-bit RGB, scaled to
// the page's picture size through the resampler's pyramids.
bool scaledPicture(const Image& input, Image* picture) {
    const Image rgb = convertImage(input, 3, false, 8);
    int32_t w = 0, h = 0;
    memoryDotPictureSize(rgb.width, rgb.height, &w, &h);
    TiledImage full, scaled;
    initTiledImage(full, nullptr, nullptr);
    initTiledImage(scaled, nullptr, nullptr);
    bool ok = createTiledImage(&full, rgb.width, rgb.height, kStoreRgba8, 0, false) &&
              createTiledImage(&scaled, w, h, kStoreRgba8, 0, false);
    if (ok) {
        for (int32_t y = 0; y < rgb.height; ++y)
            for (int32_t x = 0; x < rgb.width; ++x)
                writePixel8(full, x, y, 0, uint8_t(rgb.samples[rgb.index(x, y, 0)]),
                            uint8_t(rgb.samples[rgb.index(x, y, 1)]), uint8_t(rgb.samples[rgb.index(x, y, 2)]), 255);
        rebuildPyramid(full);
        copyImage(&full, &scaled, standardLanczosWeights());
        picture->allocate(w, h, 3, false, 8);
        picture->metadata = input.metadata;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                float px[4];
                readPixel(scaled, x, y, 0, px);
                for (int c = 0; c < 3; ++c) picture->samples[picture->index(x, y, c)] = uint16_t(px[c]);
            }
    }
    freeTiledImage(&full);
    freeTiledImage(&scaled);
    return ok;
}

struct DotsRun {
    const DotsOptions& options;
    const Image& picture;
    std::string plugin;
    int32_t kept[kMemoryDotCount] = {};
    std::string firstError;   // the first dot that could not be rendered, for the message
};

bool keptDot(void* context, int32_t dot) { return static_cast<DotsRun*>(context)->kept[dot] != 0; }

bool renderDot(void* context, int32_t dot, TiledImage* image) {
    DotsRun& run = *static_cast<DotsRun*>(context);
    std::string error;
    char name[kPathFieldSize], path[kPathFieldSize];
    HostOptions options;
    if (!memoryDotFileName(dot, name) || !pluginFilePath(name, path)) {
        error = "no file for dot " + std::to_string(dot + 1);
    } else if (addPresetSettings(path, &options.descriptorEntries, &error)) {
        PluginHost host(options);
        Image output;
        if (!host.load(run.plugin, &error)) {
            error = "cannot load the plug-in " + run.plugin + ": " + error;
        } else if (!host.run(run.picture, nullptr, &output).rendered) {
            error = "the plug-in stopped while rendering dot " + std::to_string(dot + 1);
        } else {
            for (int32_t y = 0; y < output.height && y < image->levelHeight[0]; ++y)
                for (int32_t x = 0; x < output.width && x < image->levelWidth[0]; ++x)
                    writePixel8(*image, x, y, 0, uint8_t(output.samples[output.index(x, y, 0)]),
                                uint8_t(output.samples[output.index(x, y, 1)]),
                                uint8_t(output.samples[output.index(x, y, 2)]), 255);
            return true;
        }
    }
    if (run.firstError.empty()) run.firstError = error;
    return false;
}

bool dotsCancelled(void*) { return cancelRequested(); }

int writeDotsPage(const DotsOptions& o) {
    auto fail = [](const std::string& message) {
        std::fprintf(stderr, "lumenfall dots-page: %s\n", message.c_str());
        return kExitFailure;
    };
    std::string error;
    Image input;
    if (o.input.empty()) {
        input = makeSampleImage();
    } else if (!readInputPicture(o.input, o.shared, "dots-page", &input, &error)) {
        return fail(error);
    }
    if (!o.icc.empty() && readIccProfileFile(o.icc, &input.metadata.icc, &error) != 0) return fail(error);
    Image picture;
    if (!scaledPicture(input, &picture)) return fail("out of memory");
    const std::vector<uint8_t> profile = input.metadata.icc;  // the host offers it; the pictures carry it
    const int32_t width = input.width, height = input.height;
    input = Image();

    DotsRun run{o, picture, o.pluginPath.empty() ? defaultPluginPath() : o.pluginPath, {}, {}};
    // No map (the dialog never ran here) means no kept dot.
    loadMemoryDotMapFile(run.kept);
    MemoryDotsSource source;
    source.context = &run;
    source.filled = keptDot;
    source.render = renderDot;
    source.cancelled = dotsCancelled;
    int32_t cells = 0;
    const int32_t result = writeMemoryDotsPage(o.page, width, height, source, &cells,
                                               PageProfile{profile.data(), profile.size()});
    if (result == kPageCancelled || cancelRequested()) {
        std::fprintf(stderr, "lumenfall dots-page: cancelled\n");
        return cancelRequested() ? cancelExitCode() : kExitCancelled;
    }
    if (result != kPageWritten) {
        return fail(pageFailure(o.page, result));
    }
    if (!run.firstError.empty())
        std::fprintf(stderr, "lumenfall dots-page: warning: %s (its picture is a grey ramp)\n", run.firstError.c_str());
    if (!o.quiet) std::printf("Wrote %s (%d memory dots)\n", o.page.c_str(), int(cells));
    if (o.open && !shellOpen(o.page)) return fail("cannot open " + o.page);
    return kExitSuccess;
}

}  // namespace

int runDotsPageCommand(const std::vector<std::string>& words) {
    DotsOptions options;
    std::string error;
    if (parseDotsOptions(words, &options, &error) != 0) {
        std::fprintf(stderr, "lumenfall dots-page: %s\nTry 'lumenfall dots-page --help'.\n", error.c_str());
        return kExitUsage;
    }
    installCancelHandlers();
    applySharedOptions(options.shared);
    try {
        return writeDotsPage(options);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "lumenfall dots-page: out of memory\n");
        return kExitFailure;
    }
}

}  // namespace lumenfall
