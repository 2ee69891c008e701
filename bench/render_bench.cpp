// Render speed through our own host, as a user sees it: the whole plug-in
// run (selectors, band protocol, tables, every pixel) over an image in
// memory, without file input or output. Reports megapixels per second;
// compare figures within one run only (scripts/bench.sh runs them beside a
// peer's filter and prints the ratios).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <cstring>
#include <memory>

#include "host/dialog_renders.h"
#include "host/image_pipeline.h"
#include "host/render_geometry.h"
#include "image.h"
#include "params/defaults.h"
#include "plugin_host.h"
#include "settings_arguments.h"

using namespace lumenfall;

namespace {

// A photo-like picture: smooth gradients with a little texture.
Image photoLike(int32_t width, int32_t height, int32_t depth) {
    Image image;
    image.allocate(width, height, 3, false, depth);
    const int32_t full = depth == 16 ? 65535 : 255;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                const int32_t ramp = (x * (c + 1) + y * (3 - c)) * full / (width + height) / 2;
                const int32_t grain = int32_t((uint32_t(x * 7919 + y * 104729 + c) * 2654435761u) >> 28);
                image.samples[image.index(x, y, c)] = uint16_t(std::min(full, ramp + grain * full / 255));
            }
    return image;
}

// The settings of each case: the floor has every element off (all that
// is left is reading, blending nothing and writing back); each element
// alone keeps the default sun but switches the other elements off.
const char* const kDiscOff[] = {"sun radius=0"};
const char* const kSpikesOff[] = {"spike count=0"};
const char* const kFlaresOff[] = {"flare count=0", "flare radius=0"};
const char* const kHaloOff[] = {"halo radius=0"};
const char* const kBowOff[] = {"bow radius=0", "bow width=0"};
const char* const kFloorExtra[] = {"master brightness=0", "glue=normal"};

struct SettingGroup {
    const char* const* texts;
    size_t count;
};

template <size_t N>
constexpr SettingGroup group(const char* const (&texts)[N]) {
    return SettingGroup{texts, N};
}

enum class Case { Default, Floor, DiscOnly, SpikesOnly, FlaresOnly, HaloOnly, BowOnly };

// The groups of settings switched off for a case.
std::vector<SettingGroup> settingsOf(Case which) {
    const SettingGroup disc = group(kDiscOff), spikes = group(kSpikesOff), flares = group(kFlaresOff),
                       halo = group(kHaloOff), bow = group(kBowOff);
    switch (which) {
        case Case::Default: return {};
        case Case::Floor: return {disc, spikes, flares, halo, bow, group(kFloorExtra)};
        case Case::DiscOnly: return {spikes, flares, halo, bow};
        case Case::SpikesOnly: return {disc, flares, halo, bow};
        case Case::FlaresOnly: return {disc, spikes, halo, bow};
        case Case::HaloOnly: return {disc, spikes, flares, bow};
        case Case::BowOnly: return {disc, spikes, flares, halo};
    }
    return {};
}

void renderOver(benchmark::State& state, int32_t width, int32_t height, int32_t depth, Case which) {
    const std::string threads = std::to_string(state.range(0));
    setenv("LUMENFALL_THREADS", threads.c_str(), 1);
    HostOptions options;
    for (const SettingGroup& settings : settingsOf(which)) {
        for (size_t i = 0; i < settings.count; ++i) {
            DescriptorEntry entry;
            std::string error;
            if (!parseSetting(settings.texts[i], &entry, &error)) state.SkipWithError(error.c_str());
            putSetting(&options.descriptorEntries, entry);
        }
    }
    PluginHost host(options);
    std::string error;
    if (!host.load(LF_PLUGIN_PATH, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const Image input = photoLike(width, height, depth);
    Image out;
    for (auto _ : state) {
        host.clearLog();
        RunOutcome outcome = host.run(input, nullptr, &out);
        if (!outcome.rendered) state.SkipWithError("the render did not finish");
        benchmark::DoNotOptimize(out.samples.data());
    }
    state.counters["MP/s"] = benchmark::Counter(double(width) * height / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
    unsetenv("LUMENFALL_THREADS");
}

// A case of the whole 4000 x 3000 picture; the argument is the thread count.
template <Case which, int32_t depth>
void wholePicture(benchmark::State& state) {
    renderOver(state, 4000, 3000, depth, which);
}

void PreviewSized(benchmark::State& state) { renderOver(state, 518, 373, 8, Case::Default); }

// The dialog's preview of a 4000 x 3000 picture at a scale of 8 (500 x 375
// rows), through renderPreviewThroughHost with a record of our own in
// place of a host that has delivered the preview band.
std::vector<uint8_t> g_previewIn, g_previewOut;

void PreviewZoom8(benchmark::State& state) {
    setenv("LUMENFALL_THREADS", std::to_string(state.range(0)).c_str(), 1);
    auto record = std::make_unique<pi::FilterRecord>();
    auto globals = std::make_unique<PluginGlobals>();
    auto block = std::make_unique<ParameterBlock>();
    std::memset(globals.get(), 0, sizeof(PluginGlobals));
    initialiseParameterBlock(*block);
    int16_t result = 0;
    record->filterRect = pi::Rect{0, 0, 3000, 4000};
    record->imageMode = pi::kModeRGB;
    record->planes = 3;
    record->depth = 8;
    g_previewIn.assign(500 * 375 * 3, 90);
    g_previewOut.assign(500 * 375 * 3, 0);
    record->inRect = record->outRect = pi::Rect{0, 0, 375, 500};
    record->inData = g_previewIn.data();
    record->outData = g_previewOut.data();
    record->inRowBytes = record->outRowBytes = 500 * 3;
    record->inHiPlane = record->outHiPlane = 2;
    record->advanceState = []() -> pi::OSErr { return 0; };
    record->displayPixels = [](const pi::PSPixelMap*, const pi::VRect*, int32_t, int32_t, void*) -> pi::OSErr {
        return 0;
    };
    globals->record = record.get();
    globals->result = &result;
    prepareGeometry(*globals, *block);
    if (!allocateRunBuffers(*globals)) state.SkipWithError("no run buffers");
    block->renderTarget = kTargetHostPreview;
    block->renderScale = 8;
    globals->geometry.renderRect = RenderRect{0, 0, 3000, 4000};
    for (auto _ : state) {
        // The picture's geometry; the rows drawn are the buffer's 375.
        setRenderGeometry(*globals, *block, RenderRect{0, 0, 3000, 4000}, 8);
        renderPreviewThroughHost(*globals, *block, nullptr);
        benchmark::DoNotOptimize(g_previewOut.data());
    }
    freeRunBuffers(*globals);
    unsetenv("LUMENFALL_THREADS");
}

// The bytes the plug-in takes through the host's suites (buffers and
// handles, all live at once during a run) for a strip whose longer side is
// the argument: the plug-in's memory grows with the longer side only.
void PeakMemory(benchmark::State& state) {
    const int32_t side = int32_t(state.range(0));
    for (auto _ : state) {
        for (const bool wide : {true, false}) {
            PluginHost host;
            std::string error;
            if (!host.load(LF_PLUGIN_PATH, &error)) {
                state.SkipWithError(error.c_str());
                return;
            }
            Image out;
            host.run(photoLike(wide ? side : 2, wide ? 2 : side, 8), nullptr, &out);
            const HostCounters& c = host.counters();
            state.counters[wide ? "wide bytes" : "tall bytes"] =
                double(c.bufferBytesAllocated + c.handleBytesAllocated);
        }
    }
}

}  // namespace

// Names are Case + depth, with the thread count as the argument
// (scripts/bench.sh reads them so).
#define LF_WHOLE_PICTURE(name, which)                                                                   \
    BENCHMARK_TEMPLATE2(wholePicture, which, 8)                                                         \
        ->Name(#name "8")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime(); \
    BENCHMARK_TEMPLATE2(wholePicture, which, 16)                                                        \
        ->Name(#name "16")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime()
LF_WHOLE_PICTURE(Default, Case::Default);
LF_WHOLE_PICTURE(Floor, Case::Floor);
LF_WHOLE_PICTURE(DiscOnly, Case::DiscOnly);
LF_WHOLE_PICTURE(SpikesOnly, Case::SpikesOnly);
LF_WHOLE_PICTURE(FlaresOnly, Case::FlaresOnly);
LF_WHOLE_PICTURE(HaloOnly, Case::HaloOnly);
LF_WHOLE_PICTURE(BowOnly, Case::BowOnly);
BENCHMARK(PreviewSized)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(PreviewZoom8)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(PeakMemory)->Arg(5000)->Arg(10000)->Arg(20000)->Iterations(1);
BENCHMARK_MAIN();
