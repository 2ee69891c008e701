// The main dialog on Win32. The model (ui/dialog_model.h) holds all
// behaviour; this file lays the window out, loads the artwork, turns
// messages into model events and the model's requests into Win32 calls, and
// paints through GDI.
#include "ui/win32/main_dialog_win.h"

#include <windows.h>
#include <windowsx.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "export/preset_thumbnail.h"
#include "params/plugin_files.h"
#include "params/enumerations.h"
#include "params/product_identity.h"
#include "platform/shell_open.h"
#include "ui/dialog_model.h"
#include "ui/main_dialog.h"
#include "ui/win32/about_box.h"
#include "ui/win32/common_controls.h"
#include "ui/win32/dialog_ids.h"
#include "ui/win32/dialog_tooltips.h"
#include "ui/win32/dialog_window.h"
#include "ui/win32/file_dialogs.h"
#include "ui/win32/page_dialogs.h"
#include "ui/win32/plugin_module.h"
#include "ui/win32/preview_view.h"
#include "ui/win32/thumbnail_picture.h"
#include "ui/win32/psd_export_dialog.h"
#include "ui/win32/screen_dpi.h"

namespace lumenfall {
namespace {

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

// The background under a device rectangle of the client area, into `dc`
// whose origin lies at client point (originX, originY).
void restoreDeviceBackground(HDC dc, const Artwork32& art, const RECT& r, int originX, int originY) {
    blitBitmap(dc, art.background, r.left - originX, r.top - originY, r.right - r.left, r.bottom - r.top, r.left, r.top);
}

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

// Custom colours of the system colour dialog, kept while the module is loaded.
COLORREF g_customColours[16] = {
    RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255),
    RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255),
    RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255),
    RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255)};

HWND g_informationBox = nullptr;

INT_PTR CALLBACK informationProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            g_informationBox = dialog;
            centreOver(dialog, GetWindow(dialog, GW_OWNER));
            return TRUE;
        }
        case WM_ERASEBKGND:
            return TRUE;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(dialog, &ps);
            RECT client;
            GetClientRect(dialog, &client);
            HBITMAP picture = static_cast<HBITMAP>(
                LoadImageA(pluginModule(), MAKEINTRESOURCEA(LF_BITMAP_INFORMATION), IMAGE_BITMAP, 0, 0, 0));
            if (picture) {
                const SIZE s = bitmapSize(picture);
                HDC source = CreateCompatibleDC(dc);
                HGDIOBJ old = SelectObject(source, picture);
                SetStretchBltMode(dc, HALFTONE);
                StretchBlt(dc, 0, 0, client.right, client.bottom, source, 0, 0, s.cx, s.cy, SRCCOPY);
                SelectObject(source, old);
                DeleteDC(source);
                DeleteObject(picture);
            } else {
                FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            }
            EndPaint(dialog, &ps);
            return TRUE;
        }
        case WM_LBUTTONUP:
            EndDialog(dialog, IDOK);
            return TRUE;
        case WM_COMMAND:
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
    }
    return FALSE;
}

class Win32Dialog : public DialogPlatform, public PreviewRepaint {
public:
    explicit Win32Dialog(MainDialogRun& run) : run_(run), model_(*run.block, *this, *run.undo, run.dots) {}

    static INT_PTR CALLBACK proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    // DialogPlatform
    void setBoxText(int id, const std::string& text) override { SetDlgItemTextA(window_, id, text.c_str()); }
    std::string boxText(int id) override {
        char text[64] = {0};
        GetDlgItemTextA(window_, id, text, sizeof text);
        return text;
    }
    void setCheck(int id, int checked) override { CheckDlgButton(window_, id, checked ? BST_CHECKED : BST_UNCHECKED); }
    void setListIndex(int id, int index) override {
        SendDlgItemMessageA(window_, id, CB_SETCURSEL, WPARAM(index - 1), 0);
    }
    void repaint(int id) override {
        const ControlKind kind = controlInfo(id).kind;
        HWND item = GetDlgItem(window_, id);
        if (kind == ControlKind::ColourButton || kind == ControlKind::IconButton || kind == ControlKind::ZoomText) {
            if (item) InvalidateRect(item, nullptr, FALSE);
            return;
        }
        const RECT rc = deviceRect(id);
        InvalidateRect(window_, &rc, FALSE);
        // A focusable control's own window draws it again with its focus.
        if (focusable(kind) && item) InvalidateRect(item, nullptr, FALSE);
    }
    void enableControl(int id, bool on) override {
        if (HWND item = GetDlgItem(window_, id)) EnableWindow(item, on);
    }
    void startTimer(int id, int ms) override { SetTimer(window_, UINT_PTR(id), UINT(ms), nullptr); }
    void stopTimer(int id) override { KillTimer(window_, UINT_PTR(id)); }
    void captureMouse() override { SetCapture(window_); }
    void releaseMouse() override {
        releasing_ = true;
        ReleaseCapture();
        releasing_ = false;
    }
    void postMouseMove(int x, int y, bool ctrl) override {
        PostMessageA(window_, WM_MOUSEMOVE, MK_LBUTTON | (ctrl ? MK_CONTROL : 0),
                     MAKELPARAM(art_.scale.px(x), art_.scale.px(y)));
    }
    void postCommand(int id) override { PostMessageA(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    bool chooseColour(int, const char* prompt, uint16_t (&colour)[3]) override;
    bool chooseFile(FileDialogKind kind, const std::string& proposed, const char* folder, std::string* path) override {
        return runFileDialog(pluginModule(), window_, kind, proposed, folder, path);
    }
    void openAboutBox() override {
        if (aboutBoxIsOpen()) return;
        if (runAboutBox(pluginModule(), window_) == LF_ABOUT_VISIT_BUTTON) shellOpen(kMakerWebAddress);
    }
    void openInformation() override {
        if (g_informationBox) return;
        DialogBoxParamA(pluginModule(), "ZARUD_INFO_BOX", window_, informationProc, 0);
        g_informationBox = nullptr;
    }
    void closeSubDialogs() override {
        closeAboutBox();
        if (g_informationBox) EndDialog(g_informationBox, IDCANCEL);
    }
    void renderPreview() override;
    void exportPsd() override {
        // The export took the host's buffers: the preview is drawn again.
        if (runPsdExport(window_, *run_.block, run_.psdExport) != kPsdExportNotStarted) renderPreview();
    }
    PreviewPort* previewPort() override { return run_.preview; }
    void showPreviewRows() override;
    // PreviewRepaint: the rows a render finished, shown at once.
    void rowsReady(int32_t row) override;
    // The HTML pages (ui/win32/page_dialogs.h).
    void writePresetsPage() override { writePresetsPageFromDialog(window_, *this, run_); }
    void writeMemoryDotsPage(const std::vector<int>& filledDots) override {
        writeMemoryDotsPageFromDialog(window_, *this, run_, filledDots);
    }
    std::vector<uint8_t> thumbnailBlock() override {
        if (!run_.thumbnail) return {};
        // A fresh picture of what the preview shows (the ramp without one).
        if (run_.preview) run_.preview->makeThumbnail();
        return presetThumbnailBlock(run_.thumbnail);
    }
    bool showDotThumbnail(int dot) override;
    void clearDotThumbnail() override { art_.centre.clear(); }
    void setWaitCursor(bool on) override {
        waiting_ = on;
        SetCursor(LoadCursorA(nullptr, on ? IDC_WAIT : IDC_ARROW));
    }
    void endDialog(int code) override {
        KillTimer(window_, kNumberBoxTimer);
        EndDialog(window_, code);
    }

    // Keys and focus of the sliders, pickers, dots and checkboxes, and the
    // wheel over number boxes (their windows' subclass).
    static LRESULT CALLBACK focusableProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

private:
    // The controls the dialog draws that take the keyboard focus (owner-drawn
    // windows over the dialog's own drawing).
    static bool focusable(ControlKind kind) {
        return kind == ControlKind::Slider || kind == ControlKind::Picker || kind == ControlKind::MemoryDot ||
               kind == ControlKind::CentreDot;
    }
    RECT deviceRect(int id) const {
        const ControlRect r = art_.scale.rect(windowRect(id));
        return RECT{r.left, r.top, r.left + r.width, r.top + r.height};
    }
    int logical(int device) const { return art_.scale.logical(device); }
    void applyScale(int dpi);
    void loadIcons();
    void fitNumberBoxes();
    void setTabOrder();
    void wheel(WPARAM wParam, LPARAM lParam);
    void initialise(HWND dialog);
    void layOut(bool centre = true);
    void fillLists();
    void paint();
    void drawOwnerDrawn(const DRAWITEMSTRUCT& item);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);

    MainDialogRun& run_;
    MainDialogModel model_;
    HWND window_ = nullptr;
    Artwork32 art_;
    HWND tooltips_ = nullptr;
    int wheelRest_ = 0;  // a wheel's turn short of one notch
    bool releasing_ = false;
    bool rendering_ = false;
    bool waiting_ = false;
    int32_t shownRows_ = 0;  // rows of the current render already shown
};

void Win32Dialog::renderPreview() {
    const DialogScale& s = art_.scale;
    const RECT viewport{s.px(kViewportLeft), s.px(kViewportTop), s.px(kViewportLeft + kViewportWidth),
                        s.px(kViewportTop + kViewportHeight)};
    if (!model_.preview().on() || !run_.preview) {
        // A preview switched off leaves the background.
        InvalidateRect(window_, &viewport, FALSE);
        return;
    }
    rendering_ = true;
    SetCursor(previewCursor(PreviewCursor::Wait));
    shownRows_ = 0;
    run_.preview->render(this);
    rendering_ = false;
    SetCursor(previewCursor(PreviewCursor::Arrow));
    // The whole viewport, with the white around the buffer, at once.
    InvalidateRect(window_, &viewport, FALSE);
    UpdateWindow(window_);
}

void Win32Dialog::rowsReady(int32_t row) {
    if (row + 1 <= shownRows_) return;
    if (HDC dc = GetDC(window_)) {
        paintPreviewArea(dc, 0, 0, art_.scale, model_.preview(), false, shownRows_, row + 1);
        ReleaseDC(window_, dc);
    }
    shownRows_ = row + 1;
}

void Win32Dialog::showPreviewRows() {
    SetCursor(previewCursor(PreviewCursor::ClosedHand));
    if (HDC dc = GetDC(window_)) {
        paintPreviewArea(dc, 0, 0, art_.scale, model_.preview(), false);
        ReleaseDC(window_, dc);
    }
}

bool Win32Dialog::showDotThumbnail(int dot) {
    clearDotThumbnail();
    const PresetThumbnailSink sink = bgrxPictureSink(art_.centre);
    bool loaded = false;
    readMemoryDotThumbnail(dot, sink, &loaded);
    if (!loaded) clearDotThumbnail();
    return loaded;
}

bool Win32Dialog::chooseColour(int, const char* prompt, uint16_t (&colour)[3]) {
    if (run_.colourPicker.choose) {
        // The host's picker takes a counted string.
        unsigned char counted[256];
        const size_t length = std::strlen(prompt) < 255 ? std::strlen(prompt) : 255;
        counted[0] = uint8_t(length);
        std::memcpy(counted + 1, prompt, length);
        uint8_t rgb[3] = {uint8_t(colour[0] >> 8), uint8_t(colour[1] >> 8), uint8_t(colour[2] >> 8)};
        if (!run_.colourPicker.choose(run_.colourPicker.context, counted, rgb)) return false;
        for (int c = 0; c < 3; ++c) colour[c] = uint16_t(rgb[c] << 8);
        return true;
    }
    const CommonControls& cc = commonControls();
    if (!cc.chooseColor) return false;
    CHOOSECOLORA choice{};
    choice.lStructSize = sizeof choice;
    choice.hwndOwner = window_;
    choice.rgbResult = RGB(colour[0] >> 8, colour[1] >> 8, colour[2] >> 8);
    choice.lpCustColors = g_customColours;
    choice.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!cc.chooseColor(&choice)) return false;
    colour[0] = uint16_t(GetRValue(choice.rgbResult) << 8);
    colour[1] = uint16_t(GetGValue(choice.rgbResult) << 8);
    colour[2] = uint16_t(GetBValue(choice.rgbResult) << 8);
    return true;
}

// Client area 957 x 656 at 96 dpi, every control at its place, both scaled
// to the dialog's DPI; the dialog centred over its parent's client area (or
// the desktop's), kept on the screen.
void Win32Dialog::layOut(bool centre) {
    const DialogScale& s = art_.scale;
    RECT frame{0, 0, s.px(kDialogClientWidth), s.px(kDialogClientHeight)};
    AdjustWindowRectEx(&frame, DWORD(GetWindowLongPtrA(window_, GWL_STYLE)), FALSE,
                       DWORD(GetWindowLongPtrA(window_, GWL_EXSTYLE)));
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (int id = 1; id <= kControlCount; ++id) {
        HWND item = GetDlgItem(window_, id);
        if (!item || controlInfo(id).kind == ControlKind::None) continue;
        const RECT r = deviceRect(id);
        MoveWindow(item, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
    }
    // The logo's window holds the 32 x 32 icon itself.
    MoveWindow(GetDlgItem(window_, kIdLogo), s.px(14), s.px(609), s.px(32), s.px(32), FALSE);
    // A list's closed height follows its font; it stays within its row.
    for (int id : {kIdGlueList, kIdSunTypeList}) {
        const int field = s.px(controlInfo(id).rect.height) - 6;
        if (!s.unscaled() && field > 0) SendDlgItemMessageA(window_, id, CB_SETITEMHEIGHT, WPARAM(-1), field);
    }
    if (!centre) return;
    HWND parent = GetParent(window_);
    RECT area{};
    if (parent && GetClientRect(parent, &area)) {
        MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&area), 2);
    } else {
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    }
    RECT screen{};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &screen, 0)) GetWindowRect(GetDesktopWindow(), &screen);
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    if (x + width > screen.right) x = screen.right - width;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Dialog::fillLists() {
    for (int mode = 1; mode <= kGlueModeCount; ++mode)
        SendDlgItemMessageA(window_, kIdGlueList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(enumIndexName(kEnumTypeGlue, mode)));
    const CommonControls& cc = commonControls();
    HINSTANCE module = pluginModule();
    if (cc.imageListCreate && cc.imageListReplaceIcon) {
        art_.sunTypes = cc.imageListCreate(16, 16, ILC_COLOR32 | ILC_MASK, 3, 0);
        for (int icon : {LF_ICON_SUN_NORMAL, LF_ICON_SUN_FLAT, LF_ICON_SUN_ECLIPSE}) {
            HICON h = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(icon), IMAGE_ICON, 16, 16, 0));
            if (art_.sunTypes && h) cc.imageListReplaceIcon(art_.sunTypes, -1, h);
            if (h) DestroyIcon(h);
        }
        if (art_.sunTypes) SendDlgItemMessageA(window_, kIdSunTypeList, CBEM_SETIMAGELIST, 0, LPARAM(art_.sunTypes));
    }
    const char* types[3] = {"normal", "flat", "eclipse"};
    for (int i = 0; i < 3; ++i) {
        COMBOBOXEXITEMA item{};
        item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
        item.iItem = i;
        item.pszText = const_cast<char*>(types[i]);
        item.iImage = item.iSelectedImage = i;
        SendDlgItemMessageA(window_, kIdSunTypeList, CBEM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
}

// Icon buttons show their icon and no text; the icons at the scale.
void Win32Dialog::loadIcons() {
    HINSTANCE module = pluginModule();
    for (HICON& i : art_.icons) {
        if (i) DestroyIcon(i);
        i = nullptr;
    }
    const int iconButtons[][2] = {{23, LF_ICON_NEXT_GLUE}, {33, LF_ICON_ZOOM_OUT}, {32, LF_ICON_ZOOM_IN},
                                  {116, LF_ICON_INFORMATION}, {150, LF_ICON_PRESETS_PAGE}, {72, LF_ICON_DICE},
                                  {29, LF_ICON_UNDO}, {17, LF_ICON_RESET}, {75, LF_ICON_ECCE},
                                  {35, LF_ICON_LOAD}, {26, LF_ICON_SAVE}, {117, LF_ICON_PSD}};
    int slot = 0;
    for (const auto& b : iconButtons) {
        const int side = art_.scale.px(controlInfo(b[0]).rect.width < 24 ? 16 : 24);
        HICON icon = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(b[1]), IMAGE_ICON, side, side, 0));
        art_.icons[slot++] = icon;
        SendDlgItemMessageA(window_, b[0], BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
        SetDlgItemTextA(window_, b[0], "");
    }
    const int side = art_.scale.px(32);
    HICON logo = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(LF_ICON_LOGO), IMAGE_ICON, side, side, 0));
    art_.icons[slot++] = logo;
    SendDlgItemMessageA(window_, kIdLogo, STM_SETICON, reinterpret_cast<WPARAM>(logo), 0);
}

// The number boxes: no inner margins, and the dialog's font made small
// enough for three digits and the caret.
void Win32Dialog::fitNumberBoxes() {
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageA(window_, WM_GETFONT, 0, 0));
    if (art_.boxFont) DeleteObject(art_.boxFont);
    art_.boxFont = fontFittedTo(GetDlgItem(window_, controlInfo(37).partner), dialogFont, "100");
    for (int id = 1; id < kControlCount; ++id) {
        if (controlInfo(id).kind != ControlKind::NumberBox) continue;
        HWND box = GetDlgItem(window_, id);
        if (!box) continue;
        if (art_.boxFont) SendMessageA(box, WM_SETFONT, reinterpret_cast<WPARAM>(art_.boxFont), FALSE);
        SendMessageA(box, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
        InvalidateRect(box, nullptr, TRUE);
    }
}

// Tab goes through the dialog in reading order: the Sun, Flares, Spikes and
// Halo columns top to bottom, Glue, the bar under the preview, Bow, Master,
// the command row, Cancel, OK. A window's place among its siblings is its
// place in the Tab order.
void Win32Dialog::setTabOrder() {
    static const int order[] = {
        7, 37, 86, 39, 85, 45, 88, 43, 87, 41, 84, 47, 89, 48, 52, 101,                   // Sun
        8, 71, 96, 98, 99, 69, 95, 110, 111, 114, 115, 100,                              // Flares
        14, 13, 80, 10, 77, 11, 78, 12, 79, 51, 83, 65, 81, 67, 82, 112,                 // Spikes
        9, 55, 90, 57, 91,                                                               // Halo
        73, 23,                                                                          // Glue
        116, 33, 32, 150,                                                                // preview bar
        119, 121, 122, 123, 124, 125, 126, 127, 128, 129, 130, 131, 132, 133, 134, 135,  // memory dots:
        136, 137, 138, 139, 140, 141, 142, 143, 144, 145,                                // one Tab stop, arrows
        59, 92, 61, 93, 63, 94, 103, 104, 105,                                           // Bow
        107, 108,                                                                        // Master
        72, 29, 17, 75, 35, 26, 117, 2, 3};
    HWND after = HWND_TOP;
    for (int id : order) {
        HWND item = GetDlgItem(window_, id);
        if (!item) continue;
        SetWindowPos(item, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
        after = item;
    }
}

void Win32Dialog::applyScale(int dpi) {
    art_.load(pluginModule(), DialogScale{dpi});
    loadIcons();
    layOut(false);
    fitNumberBoxes();
    rescaleDialogTooltips(tooltips_, window_, art_.scale);
}

void Win32Dialog::initialise(HWND dialog) {
    window_ = dialog;
    art_.load(pluginModule(), DialogScale{windowDpi(dialog)});
    layOut();
    loadIcons();
    fillLists();
    for (int id : {kIdGlueList, kIdSunTypeList})
        SendDlgItemMessageA(dialog, id, WM_SETFONT, SendMessageA(dialog, WM_GETFONT, 0, 0), FALSE);
    fitNumberBoxes();
    setTabOrder();
    for (int id = 1; id < kControlCount; ++id) {
        const ControlKind kind = controlInfo(id).kind;
        HWND item = GetDlgItem(dialog, id);
        if (!item || (!focusable(kind) && kind != ControlKind::Checkbox && kind != ControlKind::NumberBox)) continue;
        SetPropA(item, "lf.proc", reinterpret_cast<HANDLE>(GetWindowLongPtrA(item, GWLP_WNDPROC)));
        SetWindowLongPtrA(item, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(focusableProc));
    }
    tooltips_ = createDialogTooltips(dialog, art_.scale);
    SendMessageA(dialog, DM_SETDEFID, kIdOk, 0);
    model_.open();
}

namespace {

bool sliderKeyOf(WPARAM key, SliderKey* out) {
    switch (key) {
        case VK_LEFT: *out = SliderKey::Left; return true;
        case VK_RIGHT: *out = SliderKey::Right; return true;
        case VK_UP: *out = SliderKey::Up; return true;
        case VK_DOWN: *out = SliderKey::Down; return true;
        case VK_PRIOR: *out = SliderKey::PageUp; return true;
        case VK_NEXT: *out = SliderKey::PageDown; return true;
        case VK_HOME: *out = SliderKey::Home; return true;
        case VK_END: *out = SliderKey::End; return true;
        default: return false;
    }
}

}  // namespace

LRESULT CALLBACK Win32Dialog::focusableProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto previous = reinterpret_cast<WNDPROC>(GetPropA(control, "lf.proc"));
    if (!previous) return DefWindowProcA(control, message, wParam, lParam);
    const int id = GetDlgCtrlID(control);
    const ControlKind kind = controlInfo(id).kind;
    const bool slider = kind == ControlKind::Slider;
    const bool drawn = focusable(kind);
    auto* self = reinterpret_cast<Win32Dialog*>(GetWindowLongPtrA(GetParent(control), DWLP_USER));
    if (controlInfo(id).kind == ControlKind::NumberBox) {
        // A one-line box keeps the wheel to itself: the dialog turns its slider.
        if (message == WM_MOUSEWHEEL) return SendMessageA(GetParent(control), message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
            RemovePropA(control, "lf.proc");
        }
        return CallWindowProcA(previous, control, message, wParam, lParam);
    }
    switch (message) {
        case WM_GETDLGCODE:
            // The dots leave the arrows to the dialog, which moves along their group.
            if (slider || kind == ControlKind::Picker) return DLGC_WANTARROWS;
            if (drawn) return DLGC_WANTCHARS;
            break;
        case WM_KEYDOWN: {
            if (!self) break;
            SliderKey key;
            if (slider && sliderKeyOf(wParam, &key)) {
                self->model_.sliderKey(id, key);
                return 0;
            }
            if (kind == ControlKind::Picker) {
                const int step = GetKeyState(VK_SHIFT) < 0 ? 5 : 1;
                const int dx = wParam == VK_LEFT ? -step : wParam == VK_RIGHT ? step : 0;
                const int dy = wParam == VK_UP ? -step : wParam == VK_DOWN ? step : 0;
                if (dx || dy || wParam == VK_HOME) {
                    self->model_.pickerKey(id, dx, dy, wParam == VK_HOME);
                    return 0;
                }
            }
            if ((kind == ControlKind::MemoryDot || kind == ControlKind::CentreDot) &&
                (wParam == VK_SPACE || wParam == VK_APPS)) {
                // Space clicks, Ctrl+Space Ctrl-clicks, Shift+Space or the menu key right-clicks.
                const DotClick click = wParam == VK_APPS || GetKeyState(VK_SHIFT) < 0 ? DotClick::Right
                                       : GetKeyState(VK_CONTROL) < 0                  ? DotClick::CtrlLeft
                                                                                      : DotClick::Left;
                self->model_.dotKey(id, click);
                return 0;
            }
            break;
        }
        case WM_CHAR:
            if (drawn && !slider) return 0;  // Space is taken on its key press
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS: {
            const LRESULT result = CallWindowProcA(previous, control, message, wParam, lParam);
            InvalidateRect(control, nullptr, FALSE);
            return result;
        }
        case WM_PAINT:
            if (!drawn) {
                // A checkbox without text of its own: its focus goes round the box.
                const LRESULT result = CallWindowProcA(previous, control, message, wParam, lParam);
                if (GetFocus() == control) {
                    if (HDC dc = GetDC(control)) {
                        RECT client;
                        GetClientRect(control, &client);
                        DrawFocusRect(dc, &client);
                        ReleaseDC(control, dc);
                    }
                }
                return result;
            }
            break;
        case WM_NCDESTROY:
            SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
            RemovePropA(control, "lf.proc");
            break;
    }
    return CallWindowProcA(previous, control, message, wParam, lParam);
}

// The wheel over a slider or its number box (else the focused one), one
// step a notch.
void Win32Dialog::wheel(WPARAM wParam, LPARAM lParam) {
    POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(window_, &p);
    const int x = logical(p.x), y = logical(p.y);
    int target = -1;
    for (int id = 1; id < kControlCount && target < 0; ++id) {
        const ControlKind kind = controlInfo(id).kind;
        if ((kind == ControlKind::Slider || kind == ControlKind::NumberBox) && windowRect(id).contains(x, y)) target = id;
    }
    if (target < 0) {
        const int focus = GetDlgCtrlID(GetFocus());
        const ControlKind kind = controlInfo(focus).kind;
        if (kind == ControlKind::Slider || kind == ControlKind::NumberBox) target = focus;
    }
    if (target < 0) return;
    wheelRest_ += GET_WHEEL_DELTA_WPARAM(wParam);
    const int notches = wheelRest_ / WHEEL_DELTA;
    wheelRest_ -= notches * WHEEL_DELTA;
    if (notches) model_.wheel(target, notches);
}

void Win32Dialog::paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window_, &ps);
    // Into a memory picture first, so nothing flickers.
    const int w = ps.rcPaint.right - ps.rcPaint.left, h = ps.rcPaint.bottom - ps.rcPaint.top;
    if (w > 0 && h > 0) {
        HDC memory = CreateCompatibleDC(dc);
        HBITMAP buffer = CreateCompatibleBitmap(dc, w, h);
        HGDIOBJ old = SelectObject(memory, buffer);
        GdiPainter painter(memory, art_, ps.rcPaint.left, ps.rcPaint.top);
        restoreDeviceBackground(memory, art_, ps.rcPaint, ps.rcPaint.left, ps.rcPaint.top);
        model_.paintAll(painter);
        paintPreviewArea(memory, ps.rcPaint.left, ps.rcPaint.top, art_.scale, model_.preview(), true);
        BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, w, h, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteObject(buffer);
        DeleteDC(memory);
    }
    EndPaint(window_, &ps);
}

void Win32Dialog::drawOwnerDrawn(const DRAWITEMSTRUCT& item) {
    const RECT r = deviceRect(int(item.CtlID));
    // The item DC's origin is the control's top-left.
    GdiPainter painter(item.hDC, art_, r.left, r.top);
    // Statics say nothing of their focus in the item state.
    const bool focused = (item.itemState & ODS_FOCUS) != 0 || GetFocus() == item.hwndItem;
    model_.paintControl(int(item.CtlID), painter, focused);
}

INT_PTR Win32Dialog::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            const SIZE size = bitmapSize(art_.background);
            blitBitmap(dc, art_.background, 0, 0, size.cx, size.cy, 0, 0);
            SetWindowLongPtrA(window_, DWLP_MSGRESULT, 1);
            return TRUE;
        }
        case WM_PAINT:
            paint();
            return TRUE;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            // Statics and checkboxes show the background through: it goes
            // under them first, so a changed text never lands on the old one.
            HDC dc = reinterpret_cast<HDC>(wParam);
            HWND control = reinterpret_cast<HWND>(lParam);
            RECT r{};
            if (control && GetWindowRect(control, &r)) {
                MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
                restoreDeviceBackground(dc, art_, r, r.left, r.top);
            }
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
        }
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            const ControlKind kind = controlInfo(int(item->CtlID)).kind;
            if (kind != ControlKind::ColourButton && !focusable(kind)) return FALSE;
            drawOwnerDrawn(*item);
            return TRUE;
        }
        case WM_MOUSEWHEEL:
            wheel(wParam, lParam);
            SetWindowLongPtrA(window_, DWLP_MSGRESULT, 0);
            return TRUE;
        case WM_DPICHANGED: {
            applyScale(HIWORD(wParam));
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            if (suggested)
                SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                             suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
            InvalidateRect(window_, nullptr, TRUE);
            return TRUE;
        }
        case WM_COMMAND: {
            const int id = LOWORD(wParam), code = HIWORD(wParam);
            switch (controlInfo(id).kind) {
                case ControlKind::NumberBox:
                    if (code == EN_CHANGE) model_.numberBoxChanged(id);
                    if (code == EN_KILLFOCUS) {
                        model_.numberBoxLeft(id);
                        // Back to the first digit: no scrolled remains.
                        SendDlgItemMessageA(window_, id, EM_SETSEL, 0, 0);
                        SendDlgItemMessageA(window_, id, EM_SCROLLCARET, 0, 0);
                    }
                    return TRUE;
                case ControlKind::Checkbox:
                    if (code == BN_CLICKED) model_.checkboxClicked(id, IsDlgButtonChecked(window_, id) == BST_CHECKED);
                    return TRUE;
                case ControlKind::GlueList:
                case ControlKind::SunTypeList:
                    if (code == CBN_SELCHANGE)
                        model_.listChanged(id, int(SendDlgItemMessageA(window_, id, CB_GETCURSEL, 0, 0)) + 1);
                    return TRUE;
                default:
                    if (code == BN_CLICKED) model_.command(id);
                    return TRUE;
            }
        }
        case WM_CLOSE:
            model_.command(kIdCancel);
            return TRUE;
        case WM_TIMER:
            model_.timerFired(int(wParam));
            return TRUE;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN: {
            model_.mousePress(logical(GET_X_LPARAM(lParam)), logical(GET_Y_LPARAM(lParam)),
                              (wParam & MK_CONTROL) != 0, message == WM_RBUTTONDOWN);
            // A slider or picker pressed takes the keyboard too.
            const ControlKind pressed = controlInfo(model_.captured()).kind;
            if (pressed == ControlKind::Slider || pressed == ControlKind::Picker)
                SetFocus(GetDlgItem(window_, model_.captured()));
            return TRUE;
        }
        case WM_MOUSEMOVE:
            model_.mouseMove(logical(GET_X_LPARAM(lParam)), logical(GET_Y_LPARAM(lParam)), (wParam & MK_CONTROL) != 0);
            return TRUE;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            model_.mouseRelease();
            return TRUE;
        case WM_SETCURSOR: {
            POINT p{};
            GetCursorPos(&p);
            ScreenToClient(window_, &p);
            p.x = logical(p.x);
            p.y = logical(p.y);
            PreviewCursor which = PreviewCursor::Arrow;
            if (rendering_ || waiting_) which = PreviewCursor::Wait;
            else if (model_.captured() == kIdPreview && model_.preview().panning()) which = PreviewCursor::ClosedHand;
            else if (overViewport(p.x, p.y)) which = PreviewCursor::PointingHand;
            if (which == PreviewCursor::Arrow) return FALSE;
            SetCursor(previewCursor(which));
            SetWindowLongPtrA(window_, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        case WM_CAPTURECHANGED:
            // Capture taken away (another window, a lost focus): end the drag as a release would.
            if (!releasing_ && model_.captured() >= 0) model_.mouseRelease();
            return TRUE;
        case LF_MESSAGE_CONTROL_STATE: {
            auto* state = reinterpret_cast<ControlState*>(lParam);
            const int id = int(wParam);
            if (!state || id < 0 || id >= kControlCount) return FALSE;
            state->value = model_.value(id);
            state->enabled = model_.enabled(id);
            std::memcpy(state->vector, model_.vector(id), sizeof state->vector);
            std::memcpy(state->colour, model_.colour(id), sizeof state->colour);
            state->captured = model_.captured();
            state->timer = model_.timerRunning();
            state->dpi = art_.scale.dpi;
            state->focus = GetDlgCtrlID(GetFocus());
            std::memset(state->text, 0, sizeof state->text);
            if (id == kIdStatusLine)
                std::memcpy(state->text, model_.block().settingsName, sizeof state->text - 1);
            if (id == kIdZoomText) GetDlgItemTextA(window_, kIdZoomText, state->text, sizeof state->text);
            // The preview: its zoom factor.
            if (id == kIdPreview) state->value = model_.preview().zoom();
            // Memory dots: the display state and kept flag; the centre dot: the dot it shows.
            state->kept = 0;
            if (id >= kIdFirstMemoryDot && id <= kIdLastMemoryDot) {
                state->value = model_.dots().state[id - kIdFirstMemoryDot];
                state->kept = run_.dots && run_.dots->kept[id - kIdFirstMemoryDot] != 0;
            }
            if (id == kIdCentreDot) state->value = model_.dots().shown;
            if (id == kIdStatusLine) {
                const std::string status = model_.statusText();
                std::snprintf(state->text, sizeof state->text, "%s", status.c_str());
            }
            SetWindowLongPtrA(window_, DWLP_MSGRESULT, 1);
            return TRUE;
        }
        case WM_DESTROY:
            if (tooltips_) DestroyWindow(tooltips_);
            tooltips_ = nullptr;
            art_.release();
            return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK Win32Dialog::proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Win32Dialog*>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        self->initialise(dialog);
        return TRUE;
    }
    auto* self = reinterpret_cast<Win32Dialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    return self ? self->handle(message, wParam, lParam) : FALSE;
}

}  // namespace

int16_t runMainDialogWindow(MainDialogRun& run) {
    if (!run.block || !run.undo) return 0;
    commonControls();  // registers the sun-type list's window class
    PerMonitorAwareness awareness;
    Win32Dialog dialog(run);
    const INT_PTR code = DialogBoxParamA(pluginModule(), "DISSOLVESANSPARAM", hostWindow(run.platformData),
                                         Win32Dialog::proc, reinterpret_cast<LPARAM>(&dialog));
    // No window could be made (no display): the run goes on as without a dialog.
    if (code == -1 || code == 0) return 0;
    return code == kIdOk ? 0 : -128;
}

}  // namespace lumenfall
