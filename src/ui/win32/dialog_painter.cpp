#include "ui/win32/dialog_painter.h"

namespace lumenfall {

void blitBitmap(HDC target, HBITMAP bitmap, int x, int y, int w, int h, int sx, int sy) {
    if (!bitmap) return;
    HDC source = CreateCompatibleDC(target);
    HGDIOBJ old = SelectObject(source, bitmap);
    BitBlt(target, x, y, w, h, source, sx, sy, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
}

SIZE bitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) return {0, 0};
    return {info.bmWidth, info.bmHeight};
}

void restoreDeviceBackground(HDC dc, const Artwork32& art, const RECT& r, int originX, int originY) {
    blitBitmap(dc, art.background, r.left - originX, r.top - originY, r.right - r.left, r.bottom - r.top, r.left, r.top);
}

}  // namespace lumenfall
