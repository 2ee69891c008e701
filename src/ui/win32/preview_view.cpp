#include "ui/win32/preview_view.h"

#include "ui/win32/dialog_ids.h"
#include "ui/win32/plugin_module.h"

namespace lumenfall {

namespace {

// The host shows the buffer at one device pixel a pixel: into a picture of
// its own first, which then goes to the screen at the dialog's scale.
void displayScaled(HDC dc, PreviewPort* port, PreviewPoint at, int originX, int originY, const DialogScale& s,
                   int32_t firstRow, int32_t endRow) {
    const int32_t w = port->bufferWidth(), h = port->bufferHeight();
    if (firstRow < 0) firstRow = 0;
    if (endRow > h) endRow = h;
    if (w <= 0 || firstRow >= endRow) return;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP picture = CreateCompatibleBitmap(dc, w, h);
    if (memory && picture) {
        HGDIOBJ old = SelectObject(memory, picture);
        port->display(memory, PreviewPoint{0, 0}, firstRow, endRow);
        SetStretchBltMode(dc, COLORONCOLOR);
        const int left = s.px(at.x), top = s.px(at.y + firstRow);
        StretchBlt(dc, left - originX, top - originY, s.px(at.x + w) - left, s.px(at.y + endRow) - top, memory, 0,
                   firstRow, w, endRow - firstRow, SRCCOPY);
        SelectObject(memory, old);
    }
    if (picture) DeleteObject(picture);
    if (memory) DeleteDC(memory);
}

}  // namespace

void paintPreviewArea(HDC dc, int originX, int originY, const DialogScale& s, const LivePreview& preview, bool full,
                      int32_t firstRow, int32_t endRow) {
    PreviewPort* port = preview.port();
    if (!preview.on() || !port) return;
    const RECT area{s.px(kImageAreaLeft) - originX, s.px(kImageAreaTop) - originY,
                    s.px(kImageAreaLeft + kImageAreaWidth) - originX, s.px(kImageAreaTop + kImageAreaHeight) - originY};
    const PreviewPoint at = preview.origin();
    const int32_t w = port->bufferWidth(), h = port->bufferHeight();
    if (full) {
        // White inside the frame, except where the buffer goes.
        const int saved = SaveDC(dc);
        ExcludeClipRect(dc, s.px(at.x) - originX, s.px(at.y) - originY, s.px(at.x + w) - originX,
                        s.px(at.y + h) - originY);
        const int edge = s.px(1);
        RECT inside{area.left + edge, area.top + edge, area.right - edge, area.bottom - edge};
        FillRect(dc, &inside, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        RestoreDC(dc, saved);
    }
    for (int ring = 0; ring < s.px(1); ++ring) {
        const RECT frame{area.left + ring, area.top + ring, area.right - ring, area.bottom - ring};
        FrameRect(dc, &frame, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    if (s.unscaled())
        port->display(dc, PreviewPoint{at.x - originX, at.y - originY}, firstRow, endRow);
    else
        displayScaled(dc, port, at, originX, originY, s, firstRow, endRow);
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
