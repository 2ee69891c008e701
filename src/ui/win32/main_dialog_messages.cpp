// The main dialog's messages, by family: drawing, the controls' commands,
// the pointer, and the state queries of the dialog scripts.
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

INT_PTR Win32Dialog::drawingMessage(UINT message, WPARAM wParam, LPARAM lParam) {
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
    }
    return FALSE;
}

INT_PTR Win32Dialog::controlCommand(WPARAM wParam) {
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

INT_PTR Win32Dialog::pointerMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MOUSEWHEEL:
            wheel(wParam, lParam);
            SetWindowLongPtrA(window_, DWLP_MSGRESULT, 0);
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
    }
    return FALSE;
}

// The state of a control as a dialog script checks it.
INT_PTR Win32Dialog::answerControlState(WPARAM wParam, LPARAM lParam) {
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

INT_PTR Win32Dialog::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
        case WM_PAINT:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_DRAWITEM:
            return drawingMessage(message, wParam, lParam);
        case WM_MOUSEWHEEL:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_SETCURSOR:
        case WM_CAPTURECHANGED:
            return pointerMessage(message, wParam, lParam);
        case WM_COMMAND:
            return controlCommand(wParam);
        case LF_MESSAGE_CONTROL_STATE:
            return answerControlState(wParam, lParam);
        case WM_DPICHANGED: {
            applyScale(HIWORD(wParam));
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            if (suggested)
                SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                             suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
            InvalidateRect(window_, nullptr, TRUE);
            return TRUE;
        }
        case WM_CLOSE:
            model_.command(kIdCancel);
            return TRUE;
        case WM_TIMER:
            model_.timerFired(int(wParam));
            return TRUE;
        case WM_DESTROY:
            if (tooltips_) DestroyWindow(tooltips_);
            tooltips_ = nullptr;
            art_.release();
            return FALSE;
    }
    return FALSE;
}

}  // namespace lumenfall
