// The main dialog's Win32 window (template DISSOLVESANSPARAM): a thin
// adapter that forwards messages to the dialog model and carries out its
// requests with the window system.
#ifndef LUMENFALL_UI_WIN32_MAIN_DIALOG_WIN_H
#define LUMENFALL_UI_WIN32_MAIN_DIALOG_WIN_H

#include <cstdint>

namespace lumenfall {

// What LF_MESSAGE_CONTROL_STATE fills in (a test's view of one control).
struct ControlState {
    int32_t value;       // sliders, checkboxes, lists (1-based)
    int32_t enabled;
    float vector[3];     // pickers
    uint16_t colour[3];  // colour buttons
    int32_t captured;    // the id holding the mouse capture, or -1
    int32_t timer;       // 1 while the typing timer runs
    char text[260];      // the status line: the preset name it shows
    int32_t kept;        // memory dots: the kept flag (value: 0 empty, 1 filled, 2 current)
    int32_t dpi;         // the dialog's DPI (96: unscaled)
    int32_t focus;       // the id of the control with the keyboard focus (0 for none)
};

}  // namespace lumenfall

#endif
