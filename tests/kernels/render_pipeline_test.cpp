// The whole row path: tables from the render driver, the sun element
// renderer and the compositor writing host rows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "kernels/kernel_test_support.h"
#include "params/defaults.h"
#include "render/render_driver.h"

namespace lumenfall {
namespace {

using testing_support::TestBand;

struct Pipeline {
    std::unique_ptr<ParameterBlock> block{new ParameterBlock()};
    std::unique_ptr<WorkBlock> work{new WorkBlock()};
    RenderGeometry geometry{};
    RowBuffer rowBuffer{};
    int16_t result = 0;
    TestBand band;
    RenderSession session{};

    Pipeline(int32_t width, int32_t height, int32_t depth)
        : band(width, height, 3, depth, false) {
        std::memset(block.get(), 0, sizeof(ParameterBlock));
        std::memset(work.get(), 0, sizeof(WorkBlock));
        initialiseParameterBlock(*block);
        session.block = block.get();
        session.work = work.get();
        session.geometry = &geometry;
        session.rowBuffer = &rowBuffer;
        session.result = &result;
        session.target = &band.target;
        session.host.context = &band;
        session.host.inputRectWidth = [](void* c) { return static_cast<TestBand*>(c)->width; };
        session.host.outputRectWidth = [](void* c) { return static_cast<TestBand*>(c)->width; };
        geometry.renderRect = RenderRect{0, 0, int16_t(height), int16_t(width)};
        band.fillIn(depth == 16 ? 8000 : 60);
    }
    ~Pipeline() { freeRowBuffer(session); }

    void render() {
        beginFinalRender(session);
        int guard = 0;
        while (geometry.rendering && result == 0 && guard++ < 100000) renderRowStep(session);
    }
};

TEST(RenderPipeline, DefaultSunIsBrightAtItsCentreAndRepeatable) {
    Pipeline p(120, 90, 8);
    p.render();
    ASSERT_EQ(p.result, 0);
    int32_t cx = p.block->centerX, cy = p.block->centerY;
    ASSERT_GE(cx, 0);
    ASSERT_LT(cx, 120);
    ASSERT_GE(cy, 0);
    ASSERT_LT(cy, 90);
    // The default sun is cold (cold/hot 0): blue, red fading first.
    EXPECT_GT(p.band.outAt(cx, cy, 2), 100);
    EXPECT_LT(p.band.outAt(cx, cy, 0), p.band.outAt(cx, cy, 2));
    std::vector<uint8_t> first = p.band.out;
    p.band.out.assign(p.band.out.size(), 0);
    p.render();
    EXPECT_EQ(p.band.out, first);
}

TEST(RenderPipeline, SixteenBitRenderStaysInTheHostsRange) {
    Pipeline p(64, 48, 16);
    p.render();
    ASSERT_EQ(p.result, 0);
    for (int32_t y = 0; y < 48; ++y)
        for (int32_t x = 0; x < 64; ++x)
            for (int c = 0; c < 3; ++c) ASSERT_LE(p.band.outAt(x, y, c), 32768);
}

// Every setting at extreme values, through the real table builders: no
// undefined behaviour (sanitizer build), no out-of-bounds access, and an end.
TEST(RenderPipeline, ExtremeSettingsRenderToTheEnd) {
    const int32_t values[] = {INT32_MIN, -1, 0, 1, 100, 101, 1000000, INT32_MAX};
    const float floats[] = {std::numeric_limits<float>::quiet_NaN(), -1e30f, 0.5f,
                            std::numeric_limits<float>::infinity()};
    int index = 0;
    for (int32_t v : values) {
        Pipeline p(24, 6, index % 2 == 0 ? 8 : 16);
        ParameterBlock& b = *p.block;
        int32_t* fields[] = {&b.spikeBrightness, &b.spikeWidth, &b.spikeRadius, &b.spikeCount,
                             &b.sunRadius, &b.sunColdHot, &b.sunSmear, &b.sunSwirlSize,
                             &b.sunSwirlCount, &b.sunDetail, &b.spikeGamma, &b.vortices,
                             &b.monopoles, &b.sunType, &b.haloRadius, &b.haloBrightness,
                             &b.bowRadius, &b.bowWidth, &b.bowBrightness, &b.bowSmear,
                             &b.flareRadius, &b.flareWidth, &b.flareCount, &b.masterBrightness,
                             &b.flareDetail, &b.flareBrightness, &b.flipBow,
                             &b.spikeDiffraction, &b.spikeDetail, &b.glue, &b.randomSeed};
        for (int32_t* f : fields) *f = v;
        float f = floats[index % 4];
        b.xCenter = b.yCenter = f;
        b.flareX = b.flareY = b.spikeX = b.spikeY = f;
        for (int c = 0; c < 3; ++c) {
            b.sunColor[c] = b.haloColor[c] = b.flareColor[c] = b.spikeColor[c] = uint16_t(v);
        }
        p.render();
        EXPECT_EQ(p.geometry.rendering, 0) << "value " << v;
        ++index;
    }
}

}  // namespace
}  // namespace lumenfall
