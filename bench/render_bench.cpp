// Render speed through our own host, as a user sees it: the whole plug-in
// run (selectors, band protocol, tables, every pixel) over an image in memory.
// Reports megapixels per second; compare figures within one run only.
#include <benchmark/benchmark.h>

#include <string>

#include "image.h"
#include "plugin_host.h"

using namespace lumenfall;

namespace {

void renderOver(benchmark::State& state, int32_t width, int32_t height) {
    PluginHost host;
    std::string error;
    if (!host.load(LF_PLUGIN_PATH, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    Image input;
    input.allocate(width, height, 3, false, 8);
    for (size_t i = 0; i < input.samples.size(); ++i) input.samples[i] = uint16_t((i * 7919u) & 0xFF);
    Image out;
    for (auto _ : state) {
        host.clearLog();
        RunOutcome outcome = host.run(input, nullptr, &out);
        if (!outcome.rendered) state.SkipWithError("the render did not finish");
        benchmark::DoNotOptimize(out.samples.data());
    }
    const double pixels = double(width) * height;
    state.counters["MP/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void FinalRender4000x3000(benchmark::State& state) { renderOver(state, 4000, 3000); }
void PreviewRender518x373(benchmark::State& state) { renderOver(state, 518, 373); }

}  // namespace

BENCHMARK(FinalRender4000x3000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(PreviewRender518x373)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK_MAIN();
