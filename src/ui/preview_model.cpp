#include "ui/preview_model.h"

#include <algorithm>
#include <cstdio>

#include "ui/control_table.h"

namespace lumenfall {
namespace {

int32_t ceilDiv(int32_t a, int32_t b) { return (a + b - 1) / b; }

}  // namespace

int32_t previewFitFactor(int32_t width, int32_t height) {
    if (width < 1 || height < 1) return 1;
    return std::max(ceilDiv(width, std::min(width, kImageAreaWidth)),
                    ceilDiv(height, std::min(height, kImageAreaHeight)));
}

std::string zoomText(int32_t zoom) {
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", int(100 / std::max(zoom, 1)));
    return text;
}

int32_t clampPanOffset(int64_t offset, int32_t extent, int32_t view, int32_t zoom) {
    const int64_t upper = int64_t(extent) - int64_t(view) * zoom;
    if (offset > upper) offset = upper;
    if (offset < 0) offset = 0;
    return int32_t(offset);
}

int64_t panKeepingCentre(int32_t offset, int32_t view, int32_t oldZoom, int32_t newZoom) {
    const int64_t centre = int64_t(offset) + int64_t(view) * oldZoom / 2;
    return centre - int64_t(view) * newZoom / 2;
}

PreviewPoint bufferOrigin(int32_t bufferWidth, int32_t bufferHeight) {
    return {kImageAreaLeft + kImageAreaWidth / 2 - bufferWidth / 2,
            kImageAreaTop + kImageAreaHeight / 2 - bufferHeight / 2};
}

PreviewPoint imagePointAt(int x, int y, PreviewPoint origin, int32_t zoom, int32_t panX, int32_t panY) {
    return {(x - origin.x) * zoom + panX, (y - origin.y) * zoom + panY};
}

void LivePreview::open(PreviewPort* port) {
    port_ = port;
    pressed_ = moved_ = false;
    fit_ = 1;
    on_ = port_ && block_.hostPreview;
    // Every opening starts over: the whole picture, from its top-left.
    block_.renderScale = 1;
    block_.viewOriginX = block_.viewOriginY = 0;
    if (!on_) return;
    fit_ = port_->samplesRegions() ? previewFitFactor(port_->filterWidth(), port_->filterHeight()) : 1;
    block_.renderScale = fit_;
    block_.renderTarget = kTargetHostPreview;
    requestOrSwitchOff();
}

bool LivePreview::requestOrSwitchOff() {
    if (!on_) return false;
    if (port_->requestRegion()) return true;
    // A region the host refuses ends the preview for this dialog; the
    // settings and the final render go on without it.
    on_ = false;
    fit_ = 1;
    block_.renderScale = 1;
    block_.viewOriginX = block_.viewOriginY = 0;
    return false;
}

void LivePreview::clampPan() {
    block_.viewOriginX = clampPanOffset(block_.viewOriginX, port_->filterWidth(), kImageAreaWidth, zoom());
    block_.viewOriginY = clampPanOffset(block_.viewOriginY, port_->filterHeight(), kImageAreaHeight, zoom());
}

bool LivePreview::zoomCommand(int id) {
    if (!on_) return false;
    const int32_t old = zoom();
    int32_t z = old;
    if (id == kIdZoomOut && z < fit_) ++z;
    if (id == kIdZoomIn && z > 1) --z;
    if (id == kIdZoomText) z = 1;
    if (z == old) return false;
    block_.viewOriginX = int32_t(std::clamp<int64_t>(panKeepingCentre(block_.viewOriginX, kImageAreaWidth, old, z),
                                                     INT32_MIN, INT32_MAX));
    block_.viewOriginY = int32_t(std::clamp<int64_t>(panKeepingCentre(block_.viewOriginY, kImageAreaHeight, old, z),
                                                     INT32_MIN, INT32_MAX));
    block_.renderScale = z;
    clampPan();
    requestOrSwitchOff();
    return true;
}

void LivePreview::press(int x, int y) {
    pressed_ = true;
    moved_ = false;
    previousX_ = x;
    previousY_ = y;
}

bool LivePreview::move(int x, int y) {
    if (!pressed_) return false;
    const int dx = x - previousX_, dy = y - previousY_;
    if (dx == 0 && dy == 0) return false;
    previousX_ = x;
    previousY_ = y;
    // With the whole picture in view there is nothing to pan: the press
    // stays a click.
    if (!on_ || zoom() >= fit_) return false;
    moved_ = true;
    const int32_t oldX = block_.viewOriginX, oldY = block_.viewOriginY;
    block_.viewOriginX = clampPanOffset(int64_t(block_.viewOriginX) - int64_t(dx) * zoom(), port_->filterWidth(),
                                        kImageAreaWidth, zoom());
    block_.viewOriginY = clampPanOffset(int64_t(block_.viewOriginY) - int64_t(dy) * zoom(), port_->filterHeight(),
                                        kImageAreaHeight, zoom());
    if (block_.viewOriginX == oldX && block_.viewOriginY == oldY) return false;
    if (!requestOrSwitchOff()) return false;
    port_->redrawSource();
    return true;
}

bool LivePreview::release() {
    if (!pressed_) return false;
    pressed_ = false;
    const bool click = !moved_;
    moved_ = false;
    if (click) placeCentre(previousX_, previousY_);
    return click;
}

PreviewPoint LivePreview::origin() const {
    if (on_) return bufferOrigin(port_->bufferWidth(), port_->bufferHeight());
    // Without the preview the picture would sit where a one-to-one view of it would.
    const int32_t w = port_ ? std::min(port_->filterWidth(), kImageAreaWidth) : kImageAreaWidth;
    const int32_t h = port_ ? std::min(port_->filterHeight(), kImageAreaHeight) : kImageAreaHeight;
    return bufferOrigin(w, h);
}

void LivePreview::placeCentre(int x, int y) {
    if (!port_) return;
    const int32_t w = port_->filterWidth(), h = port_->filterHeight();
    if (w < 1 || h < 1) return;
    const PreviewPoint p = imagePointAt(x, y, origin(), zoom(), on_ ? block_.viewOriginX : 0,
                                        on_ ? block_.viewOriginY : 0);
    block_.centerX = p.x;
    block_.centerY = p.y;
    block_.xCenter = float(double(p.x) / w);
    block_.yCenter = float(double(p.y) / h);
}

}  // namespace lumenfall
