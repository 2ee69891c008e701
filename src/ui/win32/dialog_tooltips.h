// The main dialog's tooltips: a short name for every button that shows only
// a picture, the zoom buttons and the centre dot.
#ifndef LUMENFALL_UI_WIN32_DIALOG_TOOLTIPS_H
#define LUMENFALL_UI_WIN32_DIALOG_TOOLTIPS_H

#include <windows.h>

#include "ui/dialog_scale.h"

namespace lumenfall {

// The tooltip of a control id; null for none.
const char* tooltipText(int id);

// Creates the tooltip window of `dialog` with a tool for every control that
// has a text (the centre dot by its rectangle at the scale). Null when the
// system has no tooltips.
HWND createDialogTooltips(HWND dialog, const DialogScale& scale);

// Moves the rectangle tools after a change of scale.
void rescaleDialogTooltips(HWND tooltips, HWND dialog, const DialogScale& scale);

}  // namespace lumenfall

#endif
