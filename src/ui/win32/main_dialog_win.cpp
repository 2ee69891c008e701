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
#include "ui/win32/dialog_window.h"
#include "ui/win32/file_dialogs.h"
#include "ui/win32/page_dialogs.h"
#include "ui/win32/plugin_module.h"
#include "ui/win32/preview_view.h"
#include "ui/win32/thumbnail_picture.h"
#include "ui/win32/psd_export_dialog.h"

namespace lumenfall {
namespace {

constexpr int kArtworkCount = 7;

struct Artwork32 {
    HBITMAP background = nullptr;
    HBITMAP art[kArtworkCount] = {};  // in the order of enum Artwork
    HFONT labelFont = nullptr;
    HICON icons[16] = {};
    HIMAGELIST sunTypes = nullptr;
    BgrxPicture centre;  // the centre dot's thumbnail; empty for none

    void load(HINSTANCE module) {
        auto bitmap = [&](int id) {
            return static_cast<HBITMAP>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
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
        labelFont = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
    }
    void release() {
        if (background) DeleteObject(background);
        for (HBITMAP b : art)
            if (b) DeleteObject(b);
        if (labelFont) DeleteObject(labelFont);
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

// The painter over a device context whose origin is (originX, originY) in
// dialog client coordinates (an owner-drawn button's DC has its own).
class GdiPainter : public Painter {
public:
    GdiPainter(HDC dc, const Artwork32& art, int originX = 0, int originY = 0)
        : dc_(dc), art_(art), ox_(originX), oy_(originY) {}

    void restoreBackground(const PaintRect& r) override {
        blitBitmap(dc_, art_.background, r.left - ox_, r.top - oy_, r.right - r.left, r.bottom - r.top, r.left, r.top);
    }
    bool hasArtwork(Artwork a) override { return art_.art[int(a)] != nullptr; }
    void drawArtwork(Artwork a, int left, int top) override {
        HBITMAP b = art_.art[int(a)];
        const SIZE s = bitmapSize(b);
        blitBitmap(dc_, b, left - ox_, top - oy_, s.cx, s.cy, 0, 0);
    }
    void drawArtworkPart(Artwork a, int left, int top, int sx, int sy, int w, int h) override {
        blitBitmap(dc_, art_.art[int(a)], left - ox_, top - oy_, w, h, sx, sy);
    }
    void drawCentreThumbnail(int left, int top) override {
        drawBgrxPicture(dc_, left - ox_, top - oy_, kCentreThumbnailSide, kCentreThumbnailSide, art_.centre);
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
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(c.r, c.g, c.b));
        HGDIOBJ old = SelectObject(dc_, pen);
        MoveToEx(dc_, x0 - ox_, y0 - oy_, nullptr);
        LineTo(dc_, x1 - ox_, y1 - oy_);
        SetPixel(dc_, x1 - ox_, y1 - oy_, RGB(c.r, c.g, c.b));  // LineTo leaves out the end point
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
    RECT local(const PaintRect& r) const { return {r.left - ox_, r.top - oy_, r.right - ox_, r.bottom - oy_}; }
    HDC dc_;
    const Artwork32& art_;
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
        const ControlRect r = windowRect(id);
        RECT rc{r.left, r.top, r.left + r.width, r.top + r.height};
        InvalidateRect(window_, &rc, FALSE);
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
        PostMessageA(window_, WM_MOUSEMOVE, MK_LBUTTON | (ctrl ? MK_CONTROL : 0), MAKELPARAM(x, y));
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

private:
    void initialise(HWND dialog);
    void layOut();
    void fillLists();
    void paint();
    void drawColourButton(const DRAWITEMSTRUCT& item);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);

    MainDialogRun& run_;
    MainDialogModel model_;
    HWND window_ = nullptr;
    Artwork32 art_;
    bool releasing_ = false;
    bool rendering_ = false;
    bool waiting_ = false;
    int32_t shownRows_ = 0;  // rows of the current render already shown
};

void Win32Dialog::renderPreview() {
    const RECT viewport{kViewportLeft, kViewportTop, kViewportLeft + kViewportWidth, kViewportTop + kViewportHeight};
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
        paintPreviewArea(dc, 0, 0, model_.preview(), false, shownRows_, row + 1);
        ReleaseDC(window_, dc);
    }
    shownRows_ = row + 1;
}

void Win32Dialog::showPreviewRows() {
    SetCursor(previewCursor(PreviewCursor::ClosedHand));
    if (HDC dc = GetDC(window_)) {
        paintPreviewArea(dc, 0, 0, model_.preview(), false);
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

// Client area 957 x 656, every control at its place, the dialog centred
// over its parent's client area (or the desktop's), kept on the screen.
void Win32Dialog::layOut() {
    RECT frame{0, 0, kDialogClientWidth, kDialogClientHeight};
    AdjustWindowRectEx(&frame, DWORD(GetWindowLongPtrA(window_, GWL_STYLE)), FALSE,
                       DWORD(GetWindowLongPtrA(window_, GWL_EXSTYLE)));
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (int id = 1; id <= kControlCount; ++id) {
        HWND item = GetDlgItem(window_, id);
        if (!item || controlInfo(id).kind == ControlKind::None) continue;
        const ControlRect r = windowRect(id);
        MoveWindow(item, r.left, r.top, r.width, r.height, FALSE);
    }
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

void Win32Dialog::initialise(HWND dialog) {
    window_ = dialog;
    HINSTANCE module = pluginModule();
    art_.load(module);
    layOut();
    // Icon buttons show their icon and no text.
    const int iconButtons[][2] = {{23, LF_ICON_NEXT_GLUE}, {33, LF_ICON_ZOOM_OUT}, {32, LF_ICON_ZOOM_IN},
                                  {116, LF_ICON_INFORMATION}, {150, LF_ICON_PRESETS_PAGE}, {72, LF_ICON_DICE},
                                  {29, LF_ICON_UNDO}, {17, LF_ICON_RESET}, {75, LF_ICON_ECCE},
                                  {35, LF_ICON_LOAD}, {26, LF_ICON_SAVE}, {117, LF_ICON_PSD}};
    int slot = 0;
    for (const auto& b : iconButtons) {
        const int side = controlInfo(b[0]).rect.width < 24 ? 16 : 24;
        HICON icon = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(b[1]), IMAGE_ICON, side, side, 0));
        art_.icons[slot++] = icon;
        SendDlgItemMessageA(dialog, b[0], BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
        SetDlgItemTextA(dialog, b[0], "");
    }
    HICON logo = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(LF_ICON_LOGO), IMAGE_ICON, 32, 32, 0));
    art_.icons[slot++] = logo;
    SendDlgItemMessageA(dialog, kIdLogo, STM_SETICON, reinterpret_cast<WPARAM>(logo), 0);
    MoveWindow(GetDlgItem(dialog, kIdLogo), 14, 609, 32, 32, FALSE);
    fillLists();
    for (int id : {kIdGlueList, kIdSunTypeList})
        SendDlgItemMessageA(dialog, id, WM_SETFONT, SendMessageA(dialog, WM_GETFONT, 0, 0), FALSE);
    SendMessageA(dialog, DM_SETDEFID, kIdOk, 0);
    model_.open();
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
        painter.restoreBackground({ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom});
        model_.paintAll(painter);
        paintPreviewArea(memory, ps.rcPaint.left, ps.rcPaint.top, model_.preview(), true);
        BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, w, h, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteObject(buffer);
        DeleteDC(memory);
    }
    EndPaint(window_, &ps);
}

void Win32Dialog::drawColourButton(const DRAWITEMSTRUCT& item) {
    const ControlRect r = windowRect(int(item.CtlID));
    // The item DC's origin is the button's top-left.
    GdiPainter painter(item.hDC, art_, r.left, r.top);
    model_.paintControl(int(item.CtlID), painter, (item.itemState & ODS_FOCUS) != 0);
}

INT_PTR Win32Dialog::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            blitBitmap(dc, art_.background, 0, 0, kDialogClientWidth, kDialogClientHeight, 0, 0);
            SetWindowLongPtrA(window_, DWLP_MSGRESULT, 1);
            return TRUE;
        }
        case WM_PAINT:
            paint();
            return TRUE;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            // Statics and checkboxes show the background through.
            SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
        }
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (controlInfo(int(item->CtlID)).kind != ControlKind::ColourButton) return FALSE;
            drawColourButton(*item);
            return TRUE;
        }
        case WM_COMMAND: {
            const int id = LOWORD(wParam), code = HIWORD(wParam);
            switch (controlInfo(id).kind) {
                case ControlKind::NumberBox:
                    if (code == EN_CHANGE) model_.numberBoxChanged(id);
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
        case WM_RBUTTONDOWN:
            model_.mousePress(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), (wParam & MK_CONTROL) != 0,
                              message == WM_RBUTTONDOWN);
            return TRUE;
        case WM_MOUSEMOVE:
            model_.mouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), (wParam & MK_CONTROL) != 0);
            return TRUE;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            model_.mouseRelease();
            return TRUE;
        case WM_SETCURSOR: {
            POINT p{};
            GetCursorPos(&p);
            ScreenToClient(window_, &p);
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
    Win32Dialog dialog(run);
    const INT_PTR code = DialogBoxParamA(pluginModule(), "DISSOLVESANSPARAM", hostWindow(run.platformData),
                                         Win32Dialog::proc, reinterpret_cast<LPARAM>(&dialog));
    // No window could be made (no display): the run goes on as without a dialog.
    if (code == -1 || code == 0) return 0;
    return code == kIdOk ? 0 : -128;
}

}  // namespace lumenfall
