// The thread side of a dialog script: runs its lines one by one against the
// main dialog. Each family of commands has its own file (ui_script_*_steps.cpp).
// Windows only.
#ifndef LUMENFALL_APP_UI_SCRIPT_RUNNER_H
#define LUMENFALL_APP_UI_SCRIPT_RUNNER_H

#ifdef _WIN32
#include <cstdint>
#include <string>
#include <vector>

#include "ui/win32/dialog_ids.h"
#include "ui/win32/main_dialog_win.h"
#include "ui_script_state.h"
#include "ui_script_windows.h"

namespace lumenfall {
namespace dialog_script {

class Runner {
public:
    explicit Runner(UiScript::State& s) : s_(s) {}

    void run();

private:
    void step(const std::string& verb, const std::string& line);
    // Each returns false for a command not of its family.
    bool inputStep(const std::string& verb, const std::vector<std::string>& a, const std::string& line);
    bool checkStep(const std::string& verb, const std::vector<std::string>& a, const std::string& line);
    bool pictureStep(const std::string& verb, const std::vector<std::string>& a, const std::string& line);
    bool dialogStep(const std::string& verb, const std::vector<std::string>& a, const std::string& line);

    void fail(const std::string& what);
    HWND item(int id);
    bool query(int id, ControlState* state);
    std::string describe(int id);
    // One KEY=VALUE of `expect`.
    bool matches(int id, const std::string& pair);
    RECT clientRect(int id);
    // A rectangle of the X server's screen.
    // Drawn afresh first unless `redraw` is false (the screen as the dialog left it).
    bool picture(const std::string& file, int left, int top, int width, int height, bool redraw = true);
    bool pixel(int x, int y, int rgb[3]);
    void postMouse(UINT message, const std::vector<std::string>& a);
    void watchProgressShown(const std::string& line);
    void watchProgress(bool cancel, int value, const std::string& line);

    UiScript::State& s_;
    HWND dialog_ = nullptr;
    std::vector<uint16_t> remembered_;
};

}  // namespace dialog_script
}  // namespace lumenfall

#endif
#endif
