// Renders an image of up to 64 x 64 with settings taken from the fuzzer's bytes: every
// integer setting, the centre and axis floats (NaN and infinities included),
// the colours, the seed, the glue mode, the depth and the layer's planes.
// Any value must render to the end without undefined behaviour.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "params/defaults.h"
#include "render/band_target.h"
#include "render/render_rows.h"

namespace {

using namespace lumenfall;

struct Bytes {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    template <class T> T take() {
        T v{};
        size_t n = sizeof(T) < size - at ? sizeof(T) : size - at;
        std::memcpy(&v, data + at, n);
        at += n;
        return v;
    }
};

struct Band {
    int32_t width, height, planes, depth;
    std::vector<uint8_t> in, out, mask;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes bytes{data, size};
    auto block = std::make_unique<ParameterBlock>();
    std::memset(block.get(), 0, sizeof(ParameterBlock));
    initialiseParameterBlock(*block);

    const uint8_t shape = bytes.take<uint8_t>();
    Band band;
    // Up to 64 x 64: large enough that settings which make the work grow
    // without bound show as slow inputs.
    band.width = 49 + (shape & 15);
    band.height = 57 + ((shape >> 4) & 7);
    band.depth = (shape & 0x80) ? 16 : 8;
    const bool editable = (bytes.take<uint8_t>() & 1) != 0;
    const bool grey = (shape & 0x10) != 0;
    band.planes = (grey ? 1 : 3) + (editable ? 1 : 0);
    const size_t bytesPerChannel = band.depth == 16 ? 2 : 1;
    const size_t rowBytes = size_t(band.width) * band.planes * bytesPerChannel;
    band.in.assign(rowBytes * band.height, 0x5A);
    band.out.assign(rowBytes * band.height, 0);
    band.mask.assign(size_t(band.width) * band.height, 0x80);

    ParameterBlock& b = *block;
    int32_t* fields[] = {&b.spikeBrightness, &b.spikeWidth, &b.spikeRadius, &b.spikeCount,
                         &b.sunRadius, &b.sunColdHot, &b.sunSmear, &b.sunSwirlSize,
                         &b.sunSwirlCount, &b.sunDetail, &b.spikeGamma, &b.vortices,
                         &b.monopoles, &b.sunType, &b.haloRadius, &b.haloBrightness,
                         &b.bowRadius, &b.bowWidth, &b.bowBrightness, &b.bowSmear,
                         &b.flareRadius, &b.flareWidth, &b.flareCount, &b.masterBrightness,
                         &b.flareDetail, &b.flareBrightness, &b.flipBow, &b.spikeDiffraction,
                         &b.spikeDetail, &b.glue, &b.randomSeed};
    for (int32_t* f : fields) *f = bytes.take<int32_t>();
    b.xCenter = bytes.take<float>();
    b.yCenter = bytes.take<float>();
    b.flareX = bytes.take<float>();
    b.flareY = bytes.take<float>();
    b.spikeX = bytes.take<float>();
    b.spikeY = bytes.take<float>();
    for (int c = 0; c < 3; ++c) {
        b.sunColor[c] = bytes.take<uint16_t>();
        b.haloColor[c] = bytes.take<uint16_t>();
        b.flareColor[c] = bytes.take<uint16_t>();
        b.spikeColor[c] = bytes.take<uint16_t>();
    }
    const uint8_t target = bytes.take<uint8_t>() % 2;  // host image or preview

    HostBand h{};
    h.inData = band.in.data();
    h.inRowBytes = int32_t(rowBytes);
    h.outData = band.out.data();
    h.outRowBytes = int32_t(rowBytes);
    h.maskData = (shape & 0x20) ? band.mask.data() : nullptr;
    h.maskRowBytes = band.width;
    h.maskRowCount = band.height;
    h.inRowCount = band.height;
    h.outRowCount = band.height;
    h.planes = band.planes;
    h.depth = band.depth;
    h.editableTransparency = editable;

    std::vector<uint16_t> sphere(size_t(band.width) + 4);
    PlanRequest request{};
    request.renderWidth = band.width;
    request.renderHeight = band.height;
    request.renderScale = 1;
    request.sphereStorage = sphere.data();
    request.sphereEntries = sphere.size();
    auto plan = std::make_unique<RenderPlan>();
    buildRenderPlan(*block, request, plan.get());
    BandTarget rows(h, target == 1 ? BandWrite::Preview : BandWrite::Final, band.width, band.height);
    renderRows(*plan, rows, 0, band.height);
    return 0;
}
