#include "ui/win32/preview_view.h"

#include "ui/win32/dialog_ids.h"
#include "ui/win32/plugin_module.h"

namespace lumenfall {

void paintPreviewArea(HDC dc, int originX, int originY, const LivePreview& preview, bool full, int32_t firstRow,
                      int32_t endRow) {
    PreviewPort* port = preview.port();
    if (!preview.on() || !port) return;
    const RECT area{kImageAreaLeft - originX, kImageAreaTop - originY, kImageAreaLeft + kImageAreaWidth - originX,
                    kImageAreaTop + kImageAreaHeight - originY};
    const PreviewPoint at = preview.origin();
    const int32_t w = port->bufferWidth(), h = port->bufferHeight();
    if (full) {
        // White inside the frame, except where the buffer goes.
        const int saved = SaveDC(dc);
        ExcludeClipRect(dc, at.x - originX, at.y - originY, at.x + w - originX, at.y + h - originY);
        RECT inside{area.left + 1, area.top + 1, area.right - 1, area.bottom - 1};
        FillRect(dc, &inside, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        RestoreDC(dc, saved);
    }
    FrameRect(dc, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    port->display(dc, PreviewPoint{at.x - originX, at.y - originY}, firstRow, endRow);
}

HCURSOR previewCursor(PreviewCursor which) {
    switch (which) {
        case PreviewCursor::PointingHand: return LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));  // IDC_HAND
        case PreviewCursor::ClosedHand: {
            HCURSOR own = LoadCursorA(pluginModule(), MAKEINTRESOURCEA(LF_CURSOR_CLOSED_HAND));
            return own ? own : LoadCursorA(nullptr, MAKEINTRESOURCEA(32646));  // IDC_SIZEALL
        }
        case PreviewCursor::Wait: return LoadCursorA(nullptr, MAKEINTRESOURCEA(32514));  // IDC_WAIT
        default: return LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    }
}

bool overViewport(int x, int y) {
    return x >= kViewportLeft && x < kViewportLeft + kViewportWidth && y >= kViewportTop &&
           y < kViewportTop + kViewportHeight;
}

}  // namespace lumenfall
