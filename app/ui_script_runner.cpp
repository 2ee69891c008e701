#include "ui_script_runner.h"

#ifdef _WIN32
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "xwd_picture.h"
#endif

#ifdef _WIN32
namespace lumenfall {
namespace dialog_script {

namespace {

// Words kept apart before the rest of the line stays one word (a text with spaces).
size_t wordsOf(const std::string& verb) {
    return verb == "message-ok" ? 1 : verb == "type" || verb == "expect-caption" || verb == "file-name" ? 2 : 64;
}

}  // namespace

void Runner::run() {
    dialog_ = findDialog(Wanted::Main);

    if (!dialog_) {
        fail("the dialog did not appear");
        return;
    }
    for (const std::string& line : s_.lines) {
        std::vector<std::string> w = scriptWords(line, 1);
        if (w.empty()) continue;
        if (!IsWindow(dialog_)) {
            fail("the dialog has closed before: " + line);
            return;
        }
        step(w[0], line);
    }
    // A script that leaves the dialog open would leave the run waiting.
    for (int i = 0; i < 40 && IsWindow(dialog_); ++i) Sleep(50);
    if (IsWindow(dialog_)) {
        fail("the script ended with the dialog open; cancelling it");
        PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(2, BN_CLICKED), 0);
    }
}

void Runner::fail(const std::string& what) {
    ++s_.failures;
    say("FAIL " + what);
}

HWND Runner::item(int id) { return GetDlgItem(dialog_, id); }

bool Runner::query(int id, ControlState* state) {
    std::memset(state, 0, sizeof *state);
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(dialog_, LF_MESSAGE_CONTROL_STATE, WPARAM(id), reinterpret_cast<LPARAM>(state),
                               SMTO_BLOCK, 5000, &answer) &&
           answer == 1;
}

std::string Runner::describe(int id) {
    ControlState st;
    if (!query(id, &st)) return "no answer";
    char text[512];
    std::snprintf(text, sizeof text,
                  "value=%d enabled=%d vector=%g,%g,%g colour=%u,%u,%u captured=%d timer=%d kept=%d", st.value,
                  st.enabled, st.vector[0], st.vector[1], st.vector[2], st.colour[0] >> 8, st.colour[1] >> 8,
                  st.colour[2] >> 8, st.captured, st.timer, st.kept);
    std::string out = text;
    if (id == 76) out += " text=" + std::string(st.text);
    else if (HWND h = item(id)) out += " text=" + windowText(h);
    return out;
}

bool Runner::matches(int id, const std::string& pair) {
    const size_t eq = pair.find('=');
    if (eq == std::string::npos) return false;
    const std::string key = pair.substr(0, eq), want = pair.substr(eq + 1);
    ControlState st;
    if (!query(id, &st)) return false;
    if (key == "value") return std::to_string(st.value) == want;
    if (key == "enabled") return std::to_string(st.enabled) == want;
    if (key == "timer") return std::to_string(st.timer) == want;
    if (key == "captured") return std::to_string(st.captured) == want;
    if (key == "kept") return std::to_string(st.kept) == want;
    if (key == "text") return (id == 76 ? std::string(st.text) : windowText(item(id))) == want;
    if (key == "vector") {
        float v[3];
        if (std::sscanf(want.c_str(), "%f,%f,%f", &v[0], &v[1], &v[2]) != 3) return false;
        for (int c = 0; c < 3; ++c)
            if (std::fabs(v[c] - st.vector[c]) > 1e-4) return false;
        return true;
    }
    if (key == "colour") {
        unsigned r, g, b;
        return std::sscanf(want.c_str(), "%u,%u,%u", &r, &g, &b) == 3 && (st.colour[0] >> 8) == r &&
               (st.colour[1] >> 8) == g && (st.colour[2] >> 8) == b;
    }
    return false;
}

RECT Runner::clientRect(int id) {
    RECT r{};
    GetWindowRect(item(id), &r);
    MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool Runner::picture(const std::string& file, int left, int top, int width, int height, bool redraw) {
    const char* screen = std::getenv("LF_XVFB_SCREEN");
    if (!screen) {
        s_.pictureMissing = true;
        say("no picture: LF_XVFB_SCREEN is not set");
        return false;
    }
    if (redraw) RedrawWindow(dialog_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(400);
    std::ifstream in(screen, std::ios::binary);
    std::vector<uint8_t> xwd((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    if (xwd.empty()) {
        s_.pictureMissing = true;
        say("no picture: cannot read " + std::string(screen));
        return false;
    }
    if (!cropXwd(xwd, left, top, width, height, &s_.shot, &error) || !writeImageFile(file, s_.shot, &error)) {
        fail("picture " + file + ": " + error);
        return false;
    }
    say("picture " + file);
    return true;
}

bool Runner::pixel(int x, int y, int rgb[3]) {
    if (s_.shot.width == 0 || x < 0 || y < 0 || x >= s_.shot.width || y >= s_.shot.height) return false;
    for (int c = 0; c < 3; ++c) rgb[c] = s_.shot.samples[s_.shot.index(x, y, c)];
    return true;
}

void Runner::postMouse(UINT message, const std::vector<std::string>& a) {
    if (a.size() < 3) {
        fail("press, move and release need X and Y");
        return;
    }
    WPARAM keys = message == WM_LBUTTONUP || message == WM_RBUTTONUP ? 0
                  : message == WM_RBUTTONDOWN                         ? MK_RBUTTON
                                                                      : MK_LBUTTON;
    if (a.size() > 3 && a[3] == "ctrl") keys |= MK_CONTROL;
    // The real pointer goes where the posted message says: a move the
    // window system makes up on its own (the control holds the capture
    // during a drag) then carries the same point instead of the pointer's
    // old place, which would drag the control there.
    POINT at{std::atoi(a[1].c_str()), std::atoi(a[2].c_str())};
    POINT screen = at;
    ClientToScreen(dialog_, &screen);
    SetCursorPos(screen.x, screen.y);
    PostMessageA(dialog_, message, keys, MAKELPARAM(at.x, at.y));
    Sleep(60);
}

void Runner::step(const std::string& verb, const std::string& line) {
    const std::vector<std::string> a = scriptWords(line, wordsOf(verb));
    if (inputStep(verb, a, line) || checkStep(verb, a, line) || pictureStep(verb, a, line) ||
        dialogStep(verb, a, line))
        return;
    fail("unknown command: " + line);
}

}  // namespace dialog_script
}  // namespace lumenfall
#endif
