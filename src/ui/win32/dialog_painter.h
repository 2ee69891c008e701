// The main dialog's artwork at the dialog's scale, and the painter that
// draws the model's controls with it through GDI.
#ifndef LUMENFALL_UI_WIN32_DIALOG_PAINTER_H
#define LUMENFALL_UI_WIN32_DIALOG_PAINTER_H

#include <windows.h>

#include <commctrl.h>

#include "ui/dialog_scale.h"
#include "ui/dialog_model.h"
#include "ui/win32/common_controls.h"
#include "ui/win32/dialog_ids.h"
#include "ui/win32/screen_dpi.h"
#include "ui/win32/thumbnail_picture.h"

namespace lumenfall {

constexpr int kArtworkCount = 7;

struct Artwork32 {
    DialogScale scale;
    HBITMAP background = nullptr;
    HBITMAP art[kArtworkCount] = {};  // in the order of enum Artwork
    HFONT labelFont = nullptr;
    HFONT boxFont = nullptr;  // the number boxes' font, fitted to them
    HICON icons[16] = {};
    HIMAGELIST sunTypes = nullptr;
    BgrxPicture centre;  // the centre dot's thumbnail; empty for none

    // The bitmaps and the label font at the scale (the rest stays).
    void load(HINSTANCE module, const DialogScale& at) {
        releaseScaled();
        scale = at;
        auto bitmap = [&](int id) {
            HBITMAP original =
                static_cast<HBITMAP>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
            HBITMAP copy = scaledBitmapCopy(original, scale);
            if (copy != original) DeleteObject(original);
            return copy;
        };
        background = bitmap(LF_BITMAP_DIALOG_BACKGROUND);
        art[int(Artwork::TrackFirst)] = bitmap(LF_BITMAP_TRACK_FIRST);
        art[int(Artwork::TrackSecond)] = bitmap(LF_BITMAP_TRACK_SECOND);
        art[int(Artwork::Knob)] = bitmap(LF_BITMAP_KNOB);
        art[int(Artwork::WellEnabled)] = bitmap(LF_BITMAP_WELL_ENABLED);
        art[int(Artwork::WellDisabled)] = bitmap(LF_BITMAP_WELL_DISABLED);
        art[int(Artwork::MemoryDots)] = bitmap(LF_BITMAP_MEMORY_DOTS);
        art[int(Artwork::CentreFrame)] = bitmap(LF_BITMAP_CENTRE_FRAME);
        // Arial, 8 points at 96 dots per inch.
        labelFont = CreateFontA(-scale.px(11), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
    }
    void releaseScaled() {
        if (background) DeleteObject(background);
        for (HBITMAP& b : art) {
            if (b) DeleteObject(b);
            b = nullptr;
        }
        if (labelFont) DeleteObject(labelFont);
        if (boxFont) DeleteObject(boxFont);
        background = nullptr;
        labelFont = boxFont = nullptr;
    }
    void release() {
        releaseScaled();
        for (HICON i : icons)
            if (i) DestroyIcon(i);
        if (sunTypes && commonControls().imageListDestroy) commonControls().imageListDestroy(sunTypes);
        *this = Artwork32{};
    }
};

// Draws one bitmap (or part of one) through a scratch memory DC.
void blitBitmap(HDC target, HBITMAP bitmap, int x, int y, int w, int h, int sx, int sy);
SIZE bitmapSize(HBITMAP bitmap);

// The background under a device rectangle of the client area, into `dc`
// whose origin lies at client point (originX, originY).
void restoreDeviceBackground(HDC dc, const Artwork32& art, const RECT& r, int originX, int originY);

// The painter over a device context whose origin is (originX, originY) in
// device pixels of the client area (an owner-drawn control's DC has its
// own). The model paints in 96-dpi pixels; every position goes through the
// artwork's scale.
class GdiPainter : public Painter {
public:
    GdiPainter(HDC dc, const Artwork32& art, int originX = 0, int originY = 0)
        : dc_(dc), art_(art), s_(art.scale), ox_(originX), oy_(originY) {}

    void restoreBackground(const PaintRect& r) override {
        restoreDeviceBackground(dc_, art_, device(r), ox_, oy_);
    }
    bool hasArtwork(Artwork a) override { return art_.art[int(a)] != nullptr; }
    void drawArtwork(Artwork a, int left, int top) override {
        HBITMAP b = art_.art[int(a)];
        const SIZE s = bitmapSize(b);
        blitBitmap(dc_, b, s_.px(left) - ox_, s_.px(top) - oy_, s.cx, s.cy, 0, 0);
    }
    void drawArtworkPart(Artwork a, int left, int top, int sx, int sy, int w, int h) override {
        blitBitmap(dc_, art_.art[int(a)], s_.px(left) - ox_, s_.px(top) - oy_, s_.px(left + w) - s_.px(left),
                   s_.px(top + h) - s_.px(top), s_.px(sx), s_.px(sy));
    }
    void drawCentreThumbnail(int left, int top) override {
        const int x = s_.px(left), y = s_.px(top);
        drawBgrxPicture(dc_, x - ox_, y - oy_, s_.px(left + kCentreThumbnailSide) - x,
                        s_.px(top + kCentreThumbnailSide) - y, art_.centre);
    }
    void fill(const PaintRect& r, Rgb8 c) override {
        HBRUSH brush = CreateSolidBrush(RGB(c.r, c.g, c.b));
        RECT rc = local(r);
        FillRect(dc_, &rc, brush);
        DeleteObject(brush);
    }
    void frame(const PaintRect& r, Rgb8 c) override {
        HBRUSH brush = CreateSolidBrush(RGB(c.r, c.g, c.b));
        RECT rc = local(r);
        FrameRect(dc_, &rc, brush);
        DeleteObject(brush);
    }
    void line(int x0, int y0, int x1, int y1, Rgb8 c) override {
        HPEN pen = CreatePen(PS_SOLID, s_.px(1), RGB(c.r, c.g, c.b));
        HGDIOBJ old = SelectObject(dc_, pen);
        MoveToEx(dc_, s_.px(x0) - ox_, s_.px(y0) - oy_, nullptr);
        LineTo(dc_, s_.px(x1) - ox_, s_.px(y1) - oy_);
        SetPixel(dc_, s_.px(x1) - ox_, s_.px(y1) - oy_, RGB(c.r, c.g, c.b));  // LineTo leaves out the end point
        SelectObject(dc_, old);
        DeleteObject(pen);
    }
    void text(const PaintRect& r, const char* t, TextAlign align, Rgb8 c, bool clip) override {
        RECT rc = local(r);
        const int saved = SaveDC(dc_);
        if (clip) IntersectClipRect(dc_, rc.left, rc.top, rc.right, rc.bottom);
        if (art_.labelFont) SelectObject(dc_, art_.labelFont);
        SetBkMode(dc_, TRANSPARENT);
        SetTextColor(dc_, RGB(c.r, c.g, c.b));
        const UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | (clip ? 0 : DT_NOCLIP) |
                            (align == TextAlign::Right ? DT_RIGHT : align == TextAlign::Centre ? DT_CENTER : DT_LEFT);
        DrawTextA(dc_, t, -1, &rc, format);
        RestoreDC(dc_, saved);
    }
    void buttonFace(const PaintRect& r, bool raised) override {
        RECT rc = local(r);
        DrawFrameControl(dc_, &rc, DFC_BUTTON, DFCS_BUTTONPUSH | (raised ? 0 : DFCS_FLAT));
    }
    void focusRect(const PaintRect& r) override {
        RECT rc = local(r);
        DrawFocusRect(dc_, &rc);
    }

private:
    RECT device(const PaintRect& r) const { return {s_.px(r.left), s_.px(r.top), s_.px(r.right), s_.px(r.bottom)}; }
    RECT local(const PaintRect& r) const {
        const RECT d = device(r);
        return {d.left - ox_, d.top - oy_, d.right - ox_, d.bottom - oy_};
    }
    HDC dc_;
    const Artwork32& art_;
    const DialogScale& s_;
    int ox_, oy_;
};

}  // namespace lumenfall

#endif
