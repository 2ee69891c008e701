#include "ui/win32/refusal_dialog.h"

#include "ui/win32/dialog_ids.h"
#include "ui/win32/dialog_window.h"

namespace lumenfall {
namespace {

INT_PTR CALLBACK refusalProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            // The message comes from the same text the other builds print.
            if (lParam) SetDlgItemTextA(dialog, LF_REFUSAL_TEXT, reinterpret_cast<const char*>(lParam));
            placeOverOwner(dialog);
            return TRUE;
        case WM_COMMAND:
            // Any button (and Escape or the close box) closes the dialog.
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
    }
    return FALSE;
}

}  // namespace

INT_PTR runRefusalDialog(HINSTANCE module, HWND parent, const char* name, const char* text) {
    return DialogBoxParamA(module, name, parent, refusalProc, reinterpret_cast<LPARAM>(text));
}

}  // namespace lumenfall
