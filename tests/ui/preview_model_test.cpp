#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "params/defaults.h"
#include "ui/dialog_model.h"
#include "ui/fake_platform.h"
#include "ui/preview_model.h"

namespace lumenfall {
namespace {

// A host's side of the preview: a picture of a given size whose regions it
// serves (or refuses from the k-th request on).
class FakePort : public PreviewPort {
public:
    FakePort(ParameterBlock& block, int32_t w, int32_t h) : block_(block), w_(w), h_(h) {}
    int32_t filterWidth() override { return w_; }
    int32_t filterHeight() override { return h_; }
    bool requestRegion() override {
        ++requests;
        if (refuseFrom > 0 && requests >= refuseFrom) return false;
        const int32_t z = block_.renderScale;
        bufferW = std::min((w_ - block_.viewOriginX) / z, kImageAreaWidth);
        bufferH = std::min((h_ - block_.viewOriginY) / z, kImageAreaHeight);
        return true;
    }
    void redrawSource() override { ++sourceRedraws; }
    void render(PreviewRepaint*) override {}
    int32_t bufferWidth() override { return bufferW; }
    int32_t bufferHeight() override { return bufferH; }
    void display(void*, PreviewPoint, int32_t, int32_t) override {}

    int requests = 0, refuseFrom = 0, sourceRedraws = 0;
    int32_t bufferW = 0, bufferH = 0;

private:
    ParameterBlock& block_;
    int32_t w_, h_;
};

class PortPlatform : public FakePlatform {
public:
    PreviewPort* port = nullptr;
    int rowRepaints = 0;
    PreviewPort* previewPort() override { return port; }
    void showPreviewRows() override { ++rowRepaints; }
};

struct PreviewFixture : ::testing::Test {
    std::unique_ptr<ParameterBlock> block{new ParameterBlock{}};
    std::unique_ptr<ParameterBlock[]> slots{new ParameterBlock[2]{}};
    int32_t undoState = 0;
    MemoryUndoFiles files;
    std::unique_ptr<UndoStore> undo;
    std::unique_ptr<FakePort> port;
    PortPlatform platform;
    std::unique_ptr<MainDialogModel> model;

    void open(int32_t w, int32_t h, bool hostPreview = true, int refuseFrom = 0) {
        initialiseParameterBlock(*block);
        block->hostPreview = hostPreview;
        // Whatever an earlier dialog left: each opening starts over.
        block->renderScale = 3;
        block->viewOriginX = block->viewOriginY = 77;
        undo.reset(new UndoStore(*reinterpret_cast<ParameterBlock(*)[2]>(slots.get()), undoState, files));
        port.reset(new FakePort(*block, w, h));
        port->refuseFrom = refuseFrom;
        platform.port = port.get();
        model.reset(new MainDialogModel(*block, platform, *undo));
        platform.model = model.get();
        undo->snapshot(*block, kUndoWithFile);
        model->open();
        platform.renders = 0;
    }
    void click(int x, int y) {
        model->mousePress(x, y, false);
        model->mouseMove(x, y, false);  // the posted first move
        model->mouseRelease();
    }
};

TEST(PreviewMaths, FitFactorZoomTextAndClamps) {
    EXPECT_EQ(previewFitFactor(400, 300), 1);
    EXPECT_EQ(previewFitFactor(518, 373), 1);
    EXPECT_EQ(previewFitFactor(1036, 200), 2);
    EXPECT_EQ(previewFitFactor(1037, 200), 3);
    EXPECT_EQ(previewFitFactor(3000, 2000), 6);
    EXPECT_EQ(previewFitFactor(300, 3000), 9);  // the height decides
    EXPECT_EQ(zoomText(1), "100%");
    EXPECT_EQ(zoomText(3), "33%");
    EXPECT_EQ(zoomText(6), "16%");
    EXPECT_EQ(zoomText(7), "14%");
    // 500 x 300 at z = 1: the view is larger than the picture, so the
    // (negative) upper bound wins first and the lower one makes it 0.
    EXPECT_EQ(clampPanOffset(40, 500, kImageAreaWidth, 1), 0);
    EXPECT_EQ(clampPanOffset(-5, 300, kImageAreaHeight, 1), 0);
    EXPECT_EQ(clampPanOffset(9999, 3000, kImageAreaWidth, 2), 3000 - 1036);
    EXPECT_EQ(clampPanOffset(-1, 3000, kImageAreaWidth, 2), 0);
    // 500 x 333 centred in the image area of 518 x 373 at (422, 1).
    EXPECT_EQ(bufferOrigin(500, 333).x, 431);
    EXPECT_EQ(bufferOrigin(500, 333).y, 21);
}

// The kept centre at every step, with the image area's odd height: the
// view is scaled before it is halved (373 * 3 / 2 = 559, not 186 * 3).
TEST(PreviewMaths, ZoomStepsKeepTheCentreWithOddViews) {
    for (int32_t from = 1; from <= 8; ++from)
        for (int32_t to : {from - 1, from + 1}) {
            if (to < 1) continue;
            for (int32_t view : {kImageAreaWidth, kImageAreaHeight}) {
                const int64_t expected = 40 + int64_t(view) * from / 2 - int64_t(view) * to / 2;
                EXPECT_EQ(panKeepingCentre(40, view, from, to), expected) << from << " -> " << to << " view " << view;
            }
        }
    EXPECT_EQ(panKeepingCentre(0, 373, 3, 2), 186);
    EXPECT_EQ(panKeepingCentre(0, 373, 2, 3), -186);
    EXPECT_EQ(panKeepingCentre(10, 373, 5, 4), 196);
}

TEST_F(PreviewFixture, SmallPictureFitsAtOneAndDisablesZoom) {
    open(400, 300);
    EXPECT_EQ(block->renderScale, 1);
    EXPECT_EQ(block->viewOriginX, 0);
    EXPECT_FALSE(model->enabled(kIdZoomOut));
    EXPECT_FALSE(model->enabled(kIdZoomIn));
    EXPECT_FALSE(model->enabled(kIdZoomText));
    EXPECT_EQ(platform.boxes[kIdZoomText], "100%");
}

TEST_F(PreviewFixture, LargePictureOpensAtFitAndZoomsAboutTheCentre) {
    open(3000, 2000);
    EXPECT_EQ(block->renderScale, 6);
    EXPECT_EQ(platform.boxes[kIdZoomText], "16%");
    EXPECT_TRUE(model->enabled(kIdZoomIn));
    EXPECT_FALSE(model->enabled(kIdZoomOut));
    EXPECT_EQ(port->bufferW, 500);
    EXPECT_EQ(port->bufferH, 333);
    // z 6 -> 5: the viewport centre (259 * 6, 186.5 * 6) = (1554, 1119)
    // stays; the new top-left (1554 - 1295, 1119 - 932) = (259, 187) is
    // then clamped to 3000 - 2590 = 410 and 2000 - 1865 = 135.
    model->command(kIdZoomIn);
    EXPECT_EQ(block->renderScale, 5);
    EXPECT_EQ(block->viewOriginX, 259);
    EXPECT_EQ(block->viewOriginY, 135);
    EXPECT_EQ(platform.boxes[kIdZoomText], "20%");
    EXPECT_EQ(platform.renders, 1);
    EXPECT_TRUE(model->enabled(kIdZoomOut));
    model->command(kIdZoomText);
    EXPECT_EQ(block->renderScale, 1);
    EXPECT_FALSE(model->enabled(kIdZoomIn));
    EXPECT_EQ(port->requests, 3);
}

TEST_F(PreviewFixture, DragPansByTheZoomAndKeepsTheCentre) {
    open(3000, 2000);
    model->command(kIdZoomIn);
    model->command(kIdZoomIn);
    ASSERT_EQ(block->renderScale, 4);
    block->viewOriginX = 400;
    const float x = block->xCenter, y = block->yCenter;
    const int snapshots = undoState;
    model->mousePress(600, 200, false);
    model->mouseMove(600, 200, false);
    model->mouseMove(610, 200, false);
    EXPECT_EQ(block->viewOriginX, 360);
    EXPECT_EQ(platform.rowRepaints, 1);
    EXPECT_EQ(port->sourceRedraws, 1);
    EXPECT_TRUE(model->preview().panning());
    model->mouseRelease();
    EXPECT_EQ(block->xCenter, x);
    EXPECT_EQ(block->yCenter, y);
    EXPECT_EQ(undoState, snapshots);  // a pan changes no setting
    EXPECT_EQ(platform.renders, 3);   // two zooms, the pan
}

TEST_F(PreviewFixture, ClickPlacesTheCentreOnceWithOneSnapshotAndRender) {
    open(518, 373);
    click(422, 1);  // the viewport's image origin at z = 1, pan (0, 0)
    EXPECT_EQ(block->centerX, 0);
    EXPECT_EQ(block->xCenter, 0.0f);
    EXPECT_EQ(block->yCenter, 0.0f);
    EXPECT_EQ(platform.renders, 1);

    // At the fit factor of a large picture: the sun goes where the click is,
    // a pointer wobble does not turn the click into a pan, and Undo brings
    // the old centre back.
    open(3000, 2000);
    const float oldX = block->xCenter, oldY = block->yCenter;
    model->mousePress(681, 187, false);
    model->mouseMove(682, 187, false);
    model->mouseRelease();
    EXPECT_EQ(block->centerX, 1506);
    EXPECT_EQ(block->centerY, 996);
    EXPECT_FLOAT_EQ(block->yCenter, 0.498f);
    EXPECT_EQ(platform.renders, 1);
    model->command(kIdUndo);
    EXPECT_EQ(block->xCenter, oldX);
    EXPECT_EQ(block->yCenter, oldY);
}

TEST_F(PreviewFixture, RefusedRegionSwitchesThePreviewOff) {
    open(3000, 2000, true, 2);  // the opening's region is served, the next one refused
    model->command(kIdZoomIn);
    EXPECT_FALSE(model->preview().on());
    EXPECT_EQ(block->renderScale, 1);
    EXPECT_FALSE(model->enabled(kIdZoomOut));
    EXPECT_FALSE(model->enabled(kIdZoomIn));
    // Clicks still place the centre, as one-to-one.
    click(422, 1);
    EXPECT_EQ(block->centerX, 0);
    model->command(kIdOk);
    EXPECT_EQ(model->result(), 0);

    open(3000, 2000, false);  // a host without the preview's callbacks
    EXPECT_EQ(port->requests, 0);
    EXPECT_EQ(block->renderScale, 1);
    EXPECT_FALSE(model->enabled(kIdZoomText));
}


// Zoom out ends at the whole picture and zoom in at one to one, whatever
// asks for one more step.
TEST_F(PreviewFixture, ZoomStopsAtTheWholePictureAndAtOneToOne) {
    open(3000, 2000);
    LivePreview preview(*block);
    preview.open(port.get());
    ASSERT_EQ(preview.zoom(), 6);
    const int requests = port->requests;
    EXPECT_FALSE(preview.zoomCommand(kIdZoomOut));
    EXPECT_EQ(block->renderScale, 6);
    EXPECT_EQ(port->requests, requests);
    for (int z = 5; z >= 1; --z) {
        ASSERT_TRUE(preview.zoomCommand(kIdZoomIn));
        EXPECT_EQ(block->renderScale, z);
    }
    EXPECT_FALSE(preview.zoomCommand(kIdZoomIn));
    EXPECT_EQ(block->renderScale, 1);
}

}  // namespace
}  // namespace lumenfall
