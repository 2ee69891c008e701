// The driver with the real row renderer: a render into a tiled image draws
// the sun through the job runner.
#include <gtest/gtest.h>

#include <memory>

#include "params/defaults.h"
#include "render/render_driver.h"
#include "render/tiled_image.h"

namespace lumenfall {
namespace {

TEST(RenderPipeline, TiledRenderDrawsTheSun) {
    auto block = std::make_unique<ParameterBlock>();
    auto work = std::make_unique<WorkBlock>();
    initialiseParameterBlock(*block);
    block->xCenter = 0.5f;
    block->yCenter = 0.5f;
    RenderGeometry geometry{};
    RowBuffer rowBuffer{};
    int16_t result = 0;
    CompositeTarget target{};
    RenderSession s{};
    s.block = block.get();
    s.work = work.get();
    s.geometry = &geometry;
    s.rowBuffer = &rowBuffer;
    s.result = &result;
    s.target = &target;
    geometry.renderRect = RenderRect{0, 0, 64, 96};
    setRenderGeometry(s, geometry.renderRect, 1);

    TiledImage image;
    initTiledImage(image, nullptr, nullptr);
    ASSERT_TRUE(createTiledImage(&image, 96, 64, kStoreRgba8, 0, false));
    bool cancelled = false;
    renderIntoTiledImage(s, &image, &cancelled);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(cancelled);
    float centre[4];
    float corner[4];
    readPixel(image, 48, 32, 0, centre);
    readPixel(image, 0, 0, 0, corner);
    EXPECT_GT(centre[0] + centre[1] + centre[2], 0.0f);  // the sun's disc
    EXPECT_GE(centre[0] + centre[1] + centre[2], corner[0] + corner[1] + corner[2]);
    freeTiledImage(&image);
    freeRowBuffer(s);
}

}  // namespace
}  // namespace lumenfall
