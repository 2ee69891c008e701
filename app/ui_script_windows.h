// The windows a dialog script works with: the dialogs of our own process
// found by what they hold, and real keyboard and pointer input. Windows only.
#ifndef LUMENFALL_APP_UI_SCRIPT_WINDOWS_H
#define LUMENFALL_APP_UI_SCRIPT_WINDOWS_H

#ifdef _WIN32
#include <windows.h>

#include <string>

namespace lumenfall {
namespace dialog_script {

// Prints a line of the script's report.
void say(const std::string& text);

std::string className(HWND w);
std::string windowText(HWND w);
// A window's text without a message to its thread, which may be busy.
std::string storedText(HWND w);

enum class Wanted { Main, File, Message, Other, Progress };

// Waits for a visible dialog of this process of the kind wanted; null when
// none appears in time.
HWND findDialog(Wanted wanted);
// The first child with this id (when not 0) or of this window class.
HWND findChild(HWND parent, int id, const char* cls);

// A key name of the script ("shift+tab", "alt+o", "pagedown", "7").
bool keyOf(const std::string& name, WORD* key, bool* shift, bool* alt);
void sendKey(WORD key, bool up);
void sendPointer(POINT screen, DWORD flags, int wheel);

// The tooltip window owned by `owner`, found with EnumWindows.
struct TipSearch {
    HWND owner;
    HWND found;
};
BOOL CALLBACK searchTips(HWND w, LPARAM context);

bool overlaps(const RECT& a, const RECT& b);

}  // namespace dialog_script
}  // namespace lumenfall

#endif
#endif
