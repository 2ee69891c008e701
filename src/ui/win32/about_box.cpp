#include "ui/win32/about_box.h"

#include "ui/win32/dialog_ids.h"
#include "ui/win32/dialog_window.h"

namespace lumenfall {
namespace {

bool g_aboutBoxOpen = false;
HWND g_aboutBox = nullptr;

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            g_aboutBox = dialog;
            placeOverOwner(dialog);
            return TRUE;
        case WM_ERASEBKGND: {
            RECT client;
            GetClientRect(dialog, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            return TRUE;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORDLG:
            // The texts sit on the same white as the background.
            SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
            return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
        case WM_COMMAND:
            // The visit button closes with 5 (the caller opens the page);
            // every other command closes with its own id.
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
    }
    return FALSE;
}

}  // namespace

INT_PTR runAboutBox(HINSTANCE module, HWND parent) {
    g_aboutBoxOpen = true;
    INT_PTR result = DialogBoxParamA(module, "ABOUTBOX", parent, aboutProc, 0);
    g_aboutBoxOpen = false;
    g_aboutBox = nullptr;
    return result;
}

bool aboutBoxIsOpen() { return g_aboutBoxOpen; }

void closeAboutBox() {
    if (g_aboutBox) EndDialog(g_aboutBox, IDCANCEL);
}

}  // namespace lumenfall
