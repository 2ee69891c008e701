// The dialog at the DPI of its monitor: the DPI a window is shown at, the
// per-monitor awareness of the dialog's thread where the system offers it,
// artwork copied to a scale without blur, and a font fitted to a box.
#ifndef LUMENFALL_UI_WIN32_SCREEN_DPI_H
#define LUMENFALL_UI_WIN32_SCREEN_DPI_H

#include <windows.h>

#include "ui/dialog_scale.h"

namespace lumenfall {

// Makes the calling thread's new windows per-monitor DPI aware while it
// lives, and puts the thread's previous awareness back when it ends. Does
// nothing on systems without thread awareness contexts (they keep the
// system DPI).
class PerMonitorAwareness {
public:
    PerMonitorAwareness();
    ~PerMonitorAwareness();
    PerMonitorAwareness(const PerMonitorAwareness&) = delete;
    PerMonitorAwareness& operator=(const PerMonitorAwareness&) = delete;

private:
    void* previous_ = nullptr;
};

// The DPI the window is shown at (its monitor's where the system tells it,
// else the screen's).
int windowDpi(HWND window);

// A copy of `bitmap` at the scale, each pixel repeated (no blending); the
// bitmap itself when the scale is 1 or the copy fails. The caller owns a copy
// that differs from the original.
HBITMAP scaledBitmapCopy(HBITMAP bitmap, const DialogScale& scale);

// The largest font of `base`'s face (no larger than base) in which `sample`
// fits the window's client area with no margins; null when none does.
HFONT fontFittedTo(HWND box, HFONT base, const char* sample);

}  // namespace lumenfall

#endif
