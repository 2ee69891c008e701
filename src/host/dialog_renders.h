// The dialog's renders through the host: the preview into the host's
// preview band, and a render into a tiled image (the exports' copy of the
// picture). Both build the run's plan and draw through renderRows with
// their own target; the host's rectangles they change are put back.
#ifndef LUMENFALL_HOST_DIALOG_RENDERS_H
#define LUMENFALL_HOST_DIALOG_RENDERS_H

#include "host/band_render.h"
#include "host/globals.h"

namespace lumenfall {

struct TiledImage;

// The preview: the host must have delivered the preview band (requestPreview
// and advanceState) with its input buffer; every row of the render geometry
// is drawn into it over the checkerboard.
void renderPreviewThroughHost(PluginGlobals& g, ParameterBlock& block, DialogRenderHooks* hooks);

// Renders over `image` (a copy of the picture, filled from the host's rows
// first when it is an RGBA image at least as large as the render). `cancelled`
// is set when the user stops it.
void renderIntoTiledImage(PluginGlobals& g, ParameterBlock& block, TiledImage* image, bool* cancelled,
                          DialogRenderHooks* hooks);

// Reads the host's picture, one band per row of the filter rectangle, and
// hands each row to `sink` as a one-row RGBA image of floats 0..1 (grey
// repeated in R, G and B; opaque without transparency). The host's
// rectangles are put back. False when the host cannot deliver bands,
// refused one, or the row's memory cannot be had.
using PictureRowSink = void (*)(void* context, int32_t y, const TiledImage& row);
bool readPictureRows(PluginGlobals& g, ParameterBlock& block, PictureRowSink sink, void* context);

// Saved around the dialog's own renders.
struct RenderStateSnapshot {
    pi::Rect inRect;
    pi::Rect outRect;
    pi::Rect maskRect;
    int32_t renderScale;
    uint32_t currentRow;
    int16_t filterTop;
    bool full;                        // the fields below were saved too
    int32_t viewOriginX;
    int32_t viewOriginY;
    uint32_t renderTarget;
};

void saveRenderState(RenderStateSnapshot& snapshot, const PluginGlobals& g, const ParameterBlock& block,
                     bool full);
void restoreRenderState(const RenderStateSnapshot& snapshot, PluginGlobals& g, ParameterBlock& block,
                        DialogRenderHooks* hooks);

}  // namespace lumenfall

#endif
