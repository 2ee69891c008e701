// The refusal dialogs (REFUSAL2, REFUSAL3): a message and a Cancel button.
#ifndef LUMENFALL_UI_WIN32_REFUSAL_DIALOG_H
#define LUMENFALL_UI_WIN32_REFUSAL_DIALOG_H

#include <windows.h>

namespace lumenfall {

// Shows the dialog template `name` modally with `text` as its message and
// returns the id of the button that closed it, or -1 when it could not be shown.
INT_PTR runRefusalDialog(HINSTANCE module, HWND parent, const char* name, const char* text);

}  // namespace lumenfall

#endif
