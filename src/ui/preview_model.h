// The live preview of the main dialog without a window system: the
// viewport and its image area, the fit factor, the zoom steps and their
// text, the pan offsets and their clamps, the centre placed by a click, and
// the interface through which the dialog reaches the host's region, the
// render and the host's display of the rendered buffer (PreviewPort).
#ifndef LUMENFALL_UI_PREVIEW_MODEL_H
#define LUMENFALL_UI_PREVIEW_MODEL_H

#include <cstdint>
#include <string>

#include "params/parameter_block.h"

namespace lumenfall {

// Control 18 in dialog client pixels, and the image area 2 pixels inside it.
constexpr int kViewportLeft = 420;
constexpr int kViewportTop = -1;
constexpr int kViewportWidth = 522;
constexpr int kViewportHeight = 377;
constexpr int kImageAreaLeft = kViewportLeft + 2;
constexpr int kImageAreaTop = kViewportTop + 2;
constexpr int kImageAreaWidth = kViewportWidth - 4;    // 518
constexpr int kImageAreaHeight = kViewportHeight - 4;  // 373

struct PreviewPoint {
    int32_t x, y;
};

// The smallest zoom factor at which a W x H filter rectangle fits the image
// area (1 for an empty one).
int32_t previewFitFactor(int32_t width, int32_t height);

// 100 / z with a percent sign: "100%", "50%", "33%".
std::string zoomText(int32_t zoom);

// A pan offset kept inside 0..extent - view * zoom; the upper bound is
// applied first, so a view larger than the image gives 0.
int32_t clampPanOffset(int64_t offset, int32_t extent, int32_t view, int32_t zoom);

// The pan offset after a zoom from `oldZoom` to `newZoom` that keeps the
// image point at the viewport centre where it is (not yet clamped).
int64_t panKeepingCentre(int32_t offset, int32_t view, int32_t oldZoom, int32_t newZoom);

// Where a buffer of the given size is shown: centred in the image area.
PreviewPoint bufferOrigin(int32_t bufferWidth, int32_t bufferHeight);

// The image pixel under dialog point (x, y), the buffer shown at `origin`.
PreviewPoint imagePointAt(int x, int y, PreviewPoint origin, int32_t zoom, int32_t panX, int32_t panY);

// What the live preview asks of the plug-in around the dialog.
class PreviewRepaint {
public:
    virtual ~PreviewRepaint() = default;
    // Rows up to `row` of the buffer are rendered: show them.
    virtual void rowsReady(int32_t row) = 0;
};

class PreviewPort {
public:
    virtual ~PreviewPort() = default;
    // The filter rectangle's size.
    virtual int32_t filterWidth() = 0;
    virtual int32_t filterHeight() = 0;
    // False when the host delivers regions at full size only (the zoom
    // then stays at 1).
    virtual bool samplesRegions() { return true; }
    // The preview request for the block's renderScale and view origin, then
    // the host's advanceState. False when the host refused it.
    virtual bool requestRegion() = 0;
    // The host's output buffer rebuilt from its source rows over the
    // checkerboard (a pan step shows the picture before the render).
    virtual void redrawSource() = 0;
    // Renders the effect into the host's output buffer.
    virtual void render(PreviewRepaint* repaint) = 0;
    // The size of the host's output buffer (0 x 0 before a region).
    virtual int32_t bufferWidth() = 0;
    virtual int32_t bufferHeight() = 0;
    // Shows rows firstRow .. endRow - 1 of the buffer through the host's
    // displayPixels, the buffer's top-left at `origin` in the device context
    // (the window system's, opaque here).
    virtual void display(void* deviceContext, PreviewPoint origin, int32_t firstRow, int32_t endRow) = 0;
    // Makes the run's 128 x 128 thumbnail from the buffer as it now is (the
    // grey ramp when there is none); false when the ramp stayed.
    virtual bool makeThumbnail() { return false; }
};

// The preview's state in the dialog: zoom, fit factor and pan live in the
// block (renderScale, viewOriginX, viewOriginY), which the render reads.
class LivePreview {
public:
    explicit LivePreview(ParameterBlock& block) : block_(block) {}

    // At the opening: with the block's host-preview flag, the fit factor,
    // zoom = F, pan (0, 0) and the first region; a refused region switches
    // the preview off until the dialog closes. Without the flag (or without
    // a port) the zoom is 1 and clicks still place the centre.
    void open(PreviewPort* port);
    bool on() const { return on_; }
    int32_t zoom() const { return on() ? block_.renderScale : 1; }
    int32_t fit() const { return on() ? fit_ : 1; }
    bool canZoomOut() const { return on() && zoom() < fit_; }
    bool canZoomIn() const { return on() && zoom() >= 2; }
    bool canActualSize() const { return on() && !(fit_ == 1 && zoom() == 1); }

    // Zoom out (33), zoom in (32), actual size (34). True when the factor
    // changed (the region is then requested again and the caller renders).
    bool zoomCommand(int id);

    // The mouse in the viewport. press records the point; move pans when
    // the image is larger than the view and returns true when the pan
    // changed (the source rows are then in the buffer: repaint without the
    // background); release returns true when the press was a click, which
    // has placed the sun centre.
    void press(int x, int y);
    bool move(int x, int y);
    bool release();
    bool panning() const { return moved_; }

    // The sun centre placed at dialog point (x, y).
    void placeCentre(int x, int y);
    PreviewPoint origin() const;
    PreviewPort* port() const { return port_; }

private:
    bool requestOrSwitchOff();
    void clampPan();

    ParameterBlock& block_;
    PreviewPort* port_ = nullptr;
    bool on_ = false;
    int32_t fit_ = 1;
    bool pressed_ = false;
    bool moved_ = false;
    int previousX_ = 0, previousY_ = 0;
};

}  // namespace lumenfall

#endif
