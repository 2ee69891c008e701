// The keys and focus of the controls the dialog draws (their windows'
// subclass) and the wheel over sliders and number boxes.
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

}  // namespace lumenfall
