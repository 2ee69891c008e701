// Host bands and hand-built render tables for the kernel tests.
#ifndef LUMENFALL_TESTS_KERNELS_KERNEL_TEST_SUPPORT_H
#define LUMENFALL_TESTS_KERNELS_KERNEL_TEST_SUPPORT_H

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "kernels/glue_compositor.h"
#include "kernels/host_band.h"
#include "kernels/sun_renderer.h"
#include "params/parameter_block.h"

namespace lumenfall {
namespace testing_support {

// A band of host rows with interleaved planes, 8 or 16 bits per channel.
struct TestBand {
    int32_t width = 0, rows = 0, planes = 0, depth = 8;
    std::vector<uint8_t> in, out, mask;
    HostBand band{};

    TestBand(int32_t w, int32_t r, int32_t p, int32_t d, bool editable) {
        width = w;
        rows = r;
        planes = p;
        depth = d;
        int32_t rowBytes = w * p * (d == 16 ? 2 : 1);
        in.assign(static_cast<size_t>(rowBytes) * r, 0);
        out.assign(static_cast<size_t>(rowBytes) * r, 0);
        HostBand& b = band;
        b.inData = in.data();
        b.inRowBytes = rowBytes;
        b.outData = out.data();
        b.outRowBytes = rowBytes;
        b.inRowCount = r;
        b.outRowCount = r;
        b.planes = p;
        b.depth = d;
        b.editableTransparency = editable;
    }

    void addMask(int32_t firstRow, int32_t count, uint8_t value) {
        mask.assign(static_cast<size_t>(width) * count, value);
        band.maskData = mask.data();
        band.maskRowBytes = width;
        band.maskFirstRow = firstRow;
        band.maskRowCount = count;
    }

    size_t offset(int32_t x, int32_t y, int32_t plane) const {
        return (static_cast<size_t>(y) * width * planes + static_cast<size_t>(x) * planes + plane) *
               (depth == 16 ? 2 : 1);
    }
    int32_t get(const std::vector<uint8_t>& v, int32_t x, int32_t y, int32_t plane) const {
        size_t o = offset(x, y, plane);
        if (depth != 16) return v[o];
        uint16_t c;
        std::memcpy(&c, &v[o], 2);
        return c;
    }
    void set(std::vector<uint8_t>& v, int32_t x, int32_t y, int32_t plane, int32_t value) {
        size_t o = offset(x, y, plane);
        if (depth != 16) {
            v[o] = static_cast<uint8_t>(value);
            return;
        }
        uint16_t c = static_cast<uint16_t>(value);
        std::memcpy(&v[o], &c, 2);
    }
    int32_t outAt(int32_t x, int32_t y, int32_t plane) const { return get(out, x, y, plane); }
    void setIn(int32_t x, int32_t y, int32_t plane, int32_t value) { set(in, x, y, plane, value); }
    void fillIn(int32_t value) {
        for (int32_t y = 0; y < rows; ++y)
            for (int32_t x = 0; x < width; ++x)
                for (int32_t p = 0; p < planes; ++p) setIn(x, y, p, value);
    }
};

inline void fillTriangle(int32_t* weights) {
    for (int i = 0; i < 256; ++i) weights[i] = i < 128 ? 2 * i : 511 - 2 * i;
}

inline void fillSmoothstep(int32_t* table) {
    for (int i = 0; i < 512; ++i) {
        double t = i / 512.0;
        table[i] = static_cast<int32_t>((3.0 - 2.0 * t) * 512.0 * t * t);
    }
}

// A sun scene with empty light tables: a test switches on what it measures.
// Image 200 x 200 (one row band at row `row`), centre (100, 100), sun radius
// setting 20 (8 pixels, Rs = 32 quarter pixels), master brightness 25.
struct SunScene {
    std::unique_ptr<ParameterBlock> block{new ParameterBlock()};
    std::unique_ptr<SunTables> tables{new SunTables()};
    std::vector<uint16_t> sphere;
    TestBand band;
    int32_t depth;
    int64_t enlargement = 1;

    SunScene(int32_t d = 8, int32_t planes = 3, bool editable = false)
        : band(200, 200, planes, d, editable), depth(d) {
        std::memset(block.get(), 0, sizeof(ParameterBlock));
        std::memset(tables.get(), 0, sizeof(SunTables));
        ParameterBlock& p = *block;
        p.glue = kGlueNormal;
        p.renderScale = 1;
        p.renderTarget = kTargetHostImage;
        p.centerX = 100;
        p.centerY = 100;
        p.sunRadius = 20;
        p.sunType = kSunEclipse;
        p.masterBrightness = 25;
        p.flareBrightness = 100;
        p.spikeDetail = 100;
        p.derived.smearStride = 1;
        p.derived.swirlRadius = 1;
        fillSmoothstep(p.derived.smoothstepTable);
        fillTriangle(tables->proceduralWeights);
        sphere.assign(101, 0);
        for (size_t i = 0; i < sphere.size(); ++i) sphere[i] = static_cast<uint16_t>(i * 8);
    }

    // The context as the render builds it from the current settings.
    SunContext context() const {
        SunContext sun;
        FrameRequest request{200, 200, depth, block->renderScale, block->viewOriginX, block->viewOriginY,
                             enlargement};
        sun.frame = sunFrameFor(*block, request);
        sun.settings = block.get();
        sun.tables = tables.get();
        sun.sphereTable = sphere.data();
        sun.sphereLastIndex = 100;
        sun.surface = surfaceTablesFrom(*block, *tables);
        return sun;
    }

    SunPixel pixelAt(int32_t x, int32_t y) const { return computeSunPixel(context(), x, y); }

    // Renders columns first..last of row `row` into the band.
    void renderRow(int32_t row, int32_t first = 0, int32_t last = 199) {
        const SunContext sun = context();
        GlueSetup glue{block->glue, tables->proceduralWeights, 1.0f / sun.frame.floatScale, {}};
        if (!pixelLayoutOf(band.depth, band.planes, band.band.editableTransparency, &glue.layout)) return;
        std::vector<SunPixel> effect(size_t(last - first + 1));
        renderSunSpan(sun, row, first, last - first + 1, effect.data());
        compositeBandSpan(glue, band.band, BandWrite::Final, row, first, last - first + 1, effect.data());
    }

    // Every spike lies on every pixel (zero axes), with a flat ramp.
    void spikesEverywhere(int32_t count, int16_t red, int16_t green, int16_t blue) {
        block->spikeCount = count;
        tables->spikeProfile[300] = 256;
        for (int i = 0; i < 600; ++i) {
            tables->spikeRamp[0][i] = red;
            tables->spikeRamp[1][i] = green;
            tables->spikeRamp[2][i] = blue;
        }
    }
};

}  // namespace testing_support
}  // namespace lumenfall

#endif
