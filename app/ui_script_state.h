// What a loaded dialog script holds while it runs: its lines, its verdict,
// the last picture taken and, on Windows, the thread that drives the dialog.
#ifndef LUMENFALL_APP_UI_SCRIPT_STATE_H
#define LUMENFALL_APP_UI_SCRIPT_STATE_H

#include <string>
#include <vector>

#include "image.h"
#include "ui_script.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace lumenfall {

struct UiScript::State {
    std::vector<std::string> lines;
    int failures = 0;
    bool pictureMissing = false;
    Image shot;
    unsigned long long mark = 0;  // milliseconds at the last "mark"
#ifdef _WIN32
    HANDLE thread = nullptr;
    HWND dialog = nullptr;
#endif
};

}  // namespace lumenfall

#endif
