// The live preview in the main dialog's window: the viewport painted with
// its frame, the host's display of the rendered buffer and the white around
// it, and the cursors over it.
#ifndef LUMENFALL_UI_WIN32_PREVIEW_VIEW_H
#define LUMENFALL_UI_WIN32_PREVIEW_VIEW_H

#include <windows.h>

#include <cstdint>

#include "ui/dialog_scale.h"
#include "ui/preview_model.h"

namespace lumenfall {

// Paints the viewport into `dc`, whose origin lies at dialog point
// (originX, originY) in device pixels, at the dialog's scale. A full paint
// fills the image area white around the buffer first; a pan step leaves it.
// Only rows firstRow .. endRow - 1 of the buffer are shown (all by default).
// Nothing while the preview is off.
void paintPreviewArea(HDC dc, int originX, int originY, const DialogScale& scale, const LivePreview& preview,
                      bool full, int32_t firstRow = 0, int32_t endRow = INT32_MAX);

enum class PreviewCursor { Arrow, PointingHand, ClosedHand, Wait };

// The cursor for a state; the closed hand comes from the module's resources.
HCURSOR previewCursor(PreviewCursor which);

bool overViewport(int x, int y);

}  // namespace lumenfall

#endif
