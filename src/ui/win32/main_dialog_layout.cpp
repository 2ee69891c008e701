// The main dialog laid out at its DPI: the window, the controls, the icons,
// the lists, the number boxes' font and the Tab order.
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

}  // namespace lumenfall
