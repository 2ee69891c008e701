// Renders the dialog's preview geometry over a reduced picture, as the
// host preview does it (the plan of the whole picture at a render scale,
// rows written through the host's band), for comparing with a mipmap
// level of lumenfall:sun.
//
// Usage: lumenfall-preview-reference WIDTH HEIGHT SCALE PLANES IN.raw OUT.raw
// (IN.raw: the reduced picture, 8-bit, WIDTH/SCALE x HEIGHT/SCALE pixels,
// interleaved; the default settings).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "kernels/host_band.h"
#include "params/defaults.h"
#include "render/band_target.h"
#include "render/render_plan.h"
#include "render/render_rows.h"

int main(int argc, char** argv) {
    using namespace lumenfall;
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s WIDTH HEIGHT SCALE PLANES IN.raw OUT.raw\n", argv[0]);
        return 2;
    }
    const int32_t width = std::atoi(argv[1]), height = std::atoi(argv[2]), scale = std::atoi(argv[3]);
    const int32_t planes = std::atoi(argv[4]);
    const int32_t outWidth = width / scale, outHeight = height / scale;
    std::vector<uint8_t> pixels(size_t(outWidth) * size_t(outHeight) * size_t(planes));
    std::FILE* in = std::fopen(argv[5], "rb");
    if (!in || std::fread(pixels.data(), 1, pixels.size(), in) != pixels.size()) return 1;
    std::fclose(in);

    auto settings = std::make_unique<ParameterBlock>();
    std::memset(settings.get(), 0, sizeof(ParameterBlock));
    initialiseParameterBlock(*settings);
    std::vector<uint16_t> sphere(size_t(width) + 4);
    PlanRequest request{width, height, scale, 0, 0, sphere.data(), sphere.size()};
    auto plan = std::make_unique<RenderPlan>();
    buildRenderPlan(*settings, request, plan.get());

    std::vector<uint8_t> result = pixels;
    HostBand band{};
    band.inData = pixels.data();
    band.outData = result.data();
    band.inRowBytes = band.outRowBytes = outWidth * planes;
    band.planes = planes;
    band.depth = 8;
    band.editableTransparency = planes == 2 || planes == 4;
    band.inRowCount = band.outRowCount = outHeight;
    BandTarget target(band, BandWrite::Final, outWidth, height);
    renderRows(*plan, target, 0, height);

    std::FILE* out = std::fopen(argv[6], "wb");
    if (!out || std::fwrite(result.data(), 1, result.size(), out) != result.size()) return 1;
    return std::fclose(out) == 0 ? 0 : 1;
}
