// The live preview's way to the host: the region under the viewport through
// the preview request and advanceState, the render into the host's output
// buffer with the preview target, the source rows over the checkerboard,
// and the buffer shown through the host's displayPixels.
#ifndef LUMENFALL_HOST_PREVIEW_PORT_H
#define LUMENFALL_HOST_PREVIEW_PORT_H

#include "host/globals.h"
#include "ui/preview_model.h"

namespace lumenfall {

class HostPreviewPort : public PreviewPort {
public:
    HostPreviewPort(PluginGlobals& g, ParameterBlock& block) : g_(g), block_(block) {}

    int32_t filterWidth() override;
    int32_t filterHeight() override;
    bool samplesRegions() override;
    bool requestRegion() override;
    void redrawSource() override;
    void render(PreviewRepaint* repaint) override;
    int32_t bufferWidth() override;
    int32_t bufferHeight() override;
    void display(void* deviceContext, PreviewPoint origin, int32_t firstRow, int32_t endRow) override;
    bool makeThumbnail() override;

    // The host holds the current region's buffers.
    bool holdsRegion() const { return delivered_; }

private:
    PluginGlobals& g_;
    ParameterBlock& block_;
    bool delivered_ = false;  // the host holds the current region's buffers
};

}  // namespace lumenfall

#endif
