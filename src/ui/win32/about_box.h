// The about box ABOUTBOX: three pictures on a white background and one
// button that asks for the maker's web page.
#ifndef LUMENFALL_UI_WIN32_ABOUT_BOX_H
#define LUMENFALL_UI_WIN32_ABOUT_BOX_H

#include <windows.h>

namespace lumenfall {

// Runs the box modally over `parent` (the desktop when null). Returns the id
// of the command that closed it: LF_ABOUT_VISIT_BUTTON (5) when the user
// asked for the web page, which the caller then opens; any other command
// (Escape or the close box give IDCANCEL) closes it with its own id.
// Returns -1 when the dialog could not be created.
INT_PTR runAboutBox(HINSTANCE module, HWND parent);

// True while the box is on screen.
bool aboutBoxIsOpen();

// Closes the box when it is open (as Escape would).
void closeAboutBox();

}  // namespace lumenfall

#endif
