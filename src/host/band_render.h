// Rendering through the host's band protocol. The host side owns everything
// host-shaped: the row buffer that holds the plan's SphereTable, the plan
// of the run, the band the host delivered, and the throttled progress and
// abort callbacks. The pixels come from renderRows (render/render_rows.h).
#ifndef LUMENFALL_HOST_BAND_RENDER_H
#define LUMENFALL_HOST_BAND_RENDER_H

#include <cstdint>

#include "host/globals.h"
#include "kernels/glue_compositor.h"
#include "render/render_rows.h"

namespace lumenfall {

struct TiledImage;
class RowWorkers;

// Makes the row buffer hold at least width + 4 entries: the run's row
// buffer while it is large enough, else a host buffer of its own (the
// run's is given back first). False when the memory cannot be had.
bool prepareRowBuffer(PluginGlobals& g, int32_t width);
void releaseRowBuffer(PluginGlobals& g);

// Builds the run's plan from the block for the current geometry, the
// block's renderScale and view origin, over rows `rowWidth` wide, and
// resets the row counters. The derived values are copied back into the
// block, where the dialog reads them. Sets the result and returns false
// when the row buffer or the plan cannot be had.
bool planRender(PluginGlobals& g, ParameterBlock& block, int32_t rowWidth);

// Lends the plan a surface-noise memo of the size it wants (up to the cap)
// from the host's buffer suite, kept with the run buffers; none when the
// host cannot give it.
void lendSurfaceMemo(PluginGlobals& g);

// Describes the band the host delivered to the compositor.
void describeHostBand(PluginGlobals& g);

// Throttled host progress: on the first step, when a 0..31 counter wraps,
// or when 5 or more rows passed since the last call.
void reportHostProgress(PluginGlobals& g, uint32_t done, uint32_t total);
// The host's abortProc, asked once in 32 calls.
bool pollHostAbort(PluginGlobals& g);

// One step of the band loop: progress, the current row into the target
// (the host's band, or `tiled` when it is given), the preview refresh, the
// next row number, the abort test. The result becomes -128 on an abort
// and -108 when the host gave no buffers.
void renderBandStep(PluginGlobals& g, uint32_t renderTarget, RenderServices& services,
                    TiledImage* tiled = nullptr, RowWorkers* workers = nullptr);

// What the dialog offers while it renders; every hook may stay a no-op.
class DialogRenderHooks {
public:
    virtual ~DialogRenderHooks() = default;
    // Redraw the rendered rows up to `row` into the preview box.
    virtual void refreshPreview(int32_t row) { (void)row; }
    // Progress of a render into a tiled image (unthrottled).
    virtual void progress(int32_t done, int32_t total) { (void)done, (void)total; }
    // The dialog's own cancel button was pressed; and its notice that the
    // render stops.
    virtual bool cancelPending() { return false; }
    virtual void cancelNotice() {}
    // The preview's scale is to be applied again to the host's rectangles.
    virtual void applyPreviewScale() {}
};

// Progress and cancel of a band render, by the block's render target: the
// final render reports throttled progress and asks the host's abortProc;
// the preview reports nothing, redraws the preview box and never stops;
// a render into a tiled image reports to the dialog and asks abortProc.
class BandServices : public RenderServices {
public:
    BandServices(PluginGlobals& g, uint32_t renderTarget, DialogRenderHooks* hooks)
        : g_(g), target_(renderTarget), hooks_(hooks) {}
    void rowStarting(int32_t row) override;
    bool rowFinished(int32_t row) override;

private:
    PluginGlobals& g_;
    uint32_t target_;
    DialogRenderHooks* hooks_;
};

}  // namespace lumenfall

#endif
