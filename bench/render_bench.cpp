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

// Every element off but the few pixels of disc and rim that remain.
const char* const kFloor[] = {"sun radius=0",  "spike count=0", "flare count=0",       "flare radius=0",
                              "halo radius=0", "bow radius=0",  "bow width=0",         "master brightness=0",
                              "glue=normal"};

void renderOver(benchmark::State& state, int32_t width, int32_t height, int32_t depth, bool floor) {
    const std::string threads = std::to_string(state.range(0));
    setenv("LUMENFALL_THREADS", threads.c_str(), 1);
    HostOptions options;
    if (floor) {
        for (const char* text : kFloor) {
            DescriptorEntry entry;
            std::string error;
            if (!parseSetting(text, &entry, &error)) state.SkipWithError(error.c_str());
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

void Default8(benchmark::State& state) { renderOver(state, 4000, 3000, 8, false); }
void Default16(benchmark::State& state) { renderOver(state, 4000, 3000, 16, false); }
void Floor8(benchmark::State& state) { renderOver(state, 4000, 3000, 8, true); }
void PreviewSized(benchmark::State& state) { renderOver(state, 518, 373, 8, false); }

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

BENCHMARK(Default8)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(Default16)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(Floor8)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(PreviewSized)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(PreviewZoom8)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(PeakMemory)->Arg(5000)->Arg(10000)->Arg(20000)->Iterations(1);
BENCHMARK_MAIN();
