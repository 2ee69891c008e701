// The main dialog on Win32. The model (ui/dialog_model.h) holds all
// behaviour; this file turns the model's requests into Win32 calls (the
// preview, the colour picker, the information box) and runs the dialog.
#include "ui/win32/main_dialog_window.h"

#include <windowsx.h>

#include <cstdio>
#include <cstring>

#include "params/enumerations.h"
#include "params/plugin_files.h"
#include "ui/win32/common_controls.h"
#include "ui/win32/dialog_ids.h"
#include "ui/win32/dialog_tooltips.h"
#include "ui/win32/dialog_window.h"
#include "ui/win32/screen_dpi.h"

namespace lumenfall {
namespace {

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

}  // namespace

void Win32Dialog::openInformation() {
    if (g_informationBox) return;
    DialogBoxParamA(pluginModule(), "ZARUD_INFO_BOX", window_, informationProc, 0);
    g_informationBox = nullptr;
}

void Win32Dialog::closeSubDialogs() {
    closeAboutBox();
    if (g_informationBox) EndDialog(g_informationBox, IDCANCEL);
}

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
