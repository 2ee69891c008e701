// The render geometry set in one call, and where a render into a tiled
// image (an export's copy of the picture) asks the host for its rows and
// for the picture's selection.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "host/band_render.h"
#include "host/image_pipeline.h"
#include "host/render_geometry.h"
#include "host/tiled_render_frame.h"
#include "params/defaults.h"
#include "render/render_plan.h"

namespace lumenfall {
namespace {

bool sameRect(const pi::Rect& a, const pi::Rect& b) {
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

::testing::AssertionResult rectIs(const pi::Rect& r, int top, int left, int bottom, int right) {
    if (sameRect(r, pi::Rect{int16_t(top), int16_t(left), int16_t(bottom), int16_t(right)}))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << r.top << "," << r.left << "," << r.bottom << "," << r.right
                                         << ") instead of (" << top << "," << left << "," << bottom << "," << right
                                         << ")";
}

// A record of our own with a selection, and the globals around it.
struct Requests {
    pi::FilterRecord record{};
    std::unique_ptr<PluginGlobals> g = std::make_unique<PluginGlobals>();
    std::unique_ptr<ParameterBlock> block = std::make_unique<ParameterBlock>();
    int16_t result = 0;

    Requests() {
        std::memset(g.get(), 0, sizeof(PluginGlobals));
        initialiseParameterBlock(*block);
        record.planes = 3;
        record.haveMask = 1;
        g->record = &record;
        g->result = &result;
        g->geometry.maskWanted = 1;
    }
    // As a render of an image of `width` x `height` showing the picture at
    // `picture` of the host's image sets it up.
    void renderIntoImage(int32_t width, int32_t height, const RenderRect& picture) {
        setRenderGeometry(*g, *block, picture, 1);
        record.filterRect = tiledImageFilterRect(width, height);
        block->renderTarget = kTargetTiledImage;
    }
};

TEST(TiledRenderFrame, TheImagesOwnRectangleFromItsCorner) {
    EXPECT_TRUE(rectIs(tiledImageFilterRect(90, 57), 0, 0, 57, 90));
    EXPECT_TRUE(rectIs(tiledImageFilterRect(1, 300), 0, 0, 300, 1));
    EXPECT_TRUE(rectIs(tiledImageFilterRect(300, 1), 0, 0, 1, 300));
    EXPECT_TRUE(rectIs(tiledImageFilterRect(40000, 70000), 0, 0, 32767, 32767));  // held to the host's edges
    // Moved by the picture's corner: rows by its top, columns by its left.
    EXPECT_TRUE(rectIs(pictureRectOf(pi::Rect{2, 0, 6, 90}, RenderRect{23, 41, 80, 131}), 25, 41, 29, 131));
    EXPECT_TRUE(rectIs(pictureRectOf(pi::Rect{32000, 0, 32001, 5}, RenderRect{1000, 0, 1001, 5}), 32767, 0, 32767, 5));
}

TEST(TiledRenderFrame, RowsAreTheImagesAndTheSelectionIsThePictures) {
    Requests h;
    // A 90 x 57 picture whose corner is at row 23, column 41 of the host's image.
    h.renderIntoImage(90, 57, RenderRect{23, 41, 80, 131});
    requestRow(*h.g, *h.block, 10);
    EXPECT_TRUE(rectIs(h.record.inRect, 10, 0, 11, 90));
    EXPECT_TRUE(rectIs(h.record.outRect, 10, 0, 11, 90));
    EXPECT_TRUE(rectIs(h.record.maskRect, 31, 41, 35, 131));  // rows 8 .. 11 of the picture
    // The first row: the selection clipped at the image's top before it is moved.
    requestRow(*h.g, *h.block, 0);
    EXPECT_TRUE(rectIs(h.record.maskRect, 23, 41, 25, 131));
    // The last row: clipped at the image's bottom, which is the picture's.
    requestRow(*h.g, *h.block, 56);
    EXPECT_TRUE(rectIs(h.record.inRect, 56, 0, 57, 90));
    EXPECT_TRUE(rectIs(h.record.maskRect, 77, 41, 80, 131));
    // Rows past the end are the last one.
    requestRow(*h.g, *h.block, 70);
    EXPECT_TRUE(rectIs(h.record.inRect, 56, 0, 57, 90));

    // The same rows of the final render are the filter rectangle's own.
    h.record.filterRect = pi::Rect{23, 41, 80, 131};
    h.block->renderTarget = kTargetHostImage;
    requestRow(*h.g, *h.block, 56);
    EXPECT_TRUE(rectIs(h.record.inRect, 79, 41, 80, 131));
    EXPECT_TRUE(rectIs(h.record.maskRect, 77, 41, 80, 131));
}

TEST(TiledRenderFrame, OneColumnAndOneRowPictures) {
    Requests h;
    // 1 x 5 at row 3, column 7.
    h.renderIntoImage(1, 5, RenderRect{3, 7, 8, 8});
    requestRow(*h.g, *h.block, 4);
    EXPECT_TRUE(rectIs(h.record.inRect, 4, 0, 5, 1));
    EXPECT_TRUE(rectIs(h.record.maskRect, 5, 7, 8, 8));
    // 6 x 1 at row 9, column 2: its one row, and at least one row of selection.
    h.renderIntoImage(6, 1, RenderRect{9, 2, 10, 8});
    requestRow(*h.g, *h.block, 0);
    EXPECT_TRUE(rectIs(h.record.inRect, 0, 0, 1, 6));
    EXPECT_TRUE(rectIs(h.record.maskRect, 9, 2, 10, 8));
}

// The one call stores the rectangle with its size; a preview's scale
// reduces the grid drawn, never the size the plan measures on.
TEST(RenderGeometry, OneCallSetsTheRectangleItsSizeAndTheScale) {
    Requests h;
    h.record.filterRect = pi::Rect{23, 41, 80, 131};
    h.g->geometry.renderRect = RenderRect{0, 0, 0, 0};
    setRenderGeometry(*h.g, *h.block, renderRectOf(h.record.filterRect), 3);
    const RenderGeometry& geometry = h.g->geometry;
    EXPECT_TRUE(rectIs(pi::Rect{geometry.renderRect.top, geometry.renderRect.left, geometry.renderRect.bottom,
                                geometry.renderRect.right},
                       23, 41, 80, 131));
    EXPECT_EQ(geometry.renderWidth, 90);
    EXPECT_EQ(geometry.renderHeight, 57);
    EXPECT_EQ(h.block->renderScale, 3);

    h.block->xCenter = 0.5f;
    h.block->yCenter = 0.25f;
    ASSERT_TRUE(planRender(*h.g, *h.block, 90));
    EXPECT_EQ(h.g->plan->renderWidth, 90);
    EXPECT_EQ(h.g->plan->renderHeight, 57);
    EXPECT_EQ(h.g->plan->renderScale, 3);
    EXPECT_EQ(h.block->centerX, 45);  // on the whole area, in image pixels
    EXPECT_EQ(h.block->centerY, 14);
    EXPECT_EQ(h.g->geometry.progressTotal, 58u);
    freeRunBuffers(*h.g);
}

}  // namespace
}  // namespace lumenfall
