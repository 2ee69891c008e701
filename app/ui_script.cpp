#include "ui_script.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "image.h"
#include "xwd_picture.h"

#ifdef _WIN32
#include <windows.h>

#include <cmath>
#include <commctrl.h>
#include <cstring>

#include "ui/dialog_scale.h"
#include "ui/win32/dialog_ids.h"
#include "ui/win32/main_dialog_win.h"
#endif

namespace lumenfall {

std::vector<std::string> scriptWords(const std::string& rawLine, size_t keep) {
    std::string line;
    for (size_t i = 0; i < rawLine.size(); ++i) {
        if (rawLine[i] == '$' && i + 1 < rawLine.size() && rawLine[i + 1] == '{') {
            const size_t end = rawLine.find('}', i);
            if (end != std::string::npos) {
                const char* value = std::getenv(rawLine.substr(i + 2, end - i - 2).c_str());
                if (value) line += value;
                i = end;
                continue;
            }
        }
        line += rawLine[i];
    }
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        if (i >= line.size() || line[i] == '#') break;
        if (words.size() == keep) {
            size_t end = line.find_last_not_of(" \t\r");
            words.push_back(line.substr(i, end - i + 1));
            break;
        }
        size_t end = i;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r') ++end;
        words.push_back(line.substr(i, end - i));
        i = end;
    }
    return words;
}

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

UiScript::UiScript() : state_(new State) {}
UiScript::~UiScript() { finish(); }

bool UiScript::load(const std::string& path, std::string* error) {
#ifndef _WIN32
    (void)path;
    *error = "--ui-script drives the Windows dialog: run the Windows build (lumenfall.exe) under wine";
    return false;
#else
    std::ifstream in(path);
    if (!in) {
        *error = "cannot read the script " + path;
        return false;
    }
    std::string line;
    while (std::getline(in, line)) state_->lines.push_back(line);
    return true;
#endif
}

#ifndef _WIN32
void UiScript::start() {}
int UiScript::finish() { return 0; }
#else
namespace {

constexpr DWORD kFindTimeout = 15000;

void say(const std::string& text) {
    std::fprintf(stdout, "ui: %s\n", text.c_str());
    std::fflush(stdout);
}

std::string className(HWND w) {
    char name[64] = {0};
    GetClassNameA(w, name, sizeof name);
    return name;
}

std::string windowText(HWND w) {
    char text[512] = {0};
    GetWindowTextA(w, text, sizeof text);
    return text;
}

bool ownDialog(HWND w) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    return pid == GetCurrentProcessId() && IsWindowVisible(w) && className(w) == "#32770";
}

enum class Wanted { Main, File, Message, Other, Progress };

// A window's text without a message to its thread, which may be busy (the
// progress dialog's thread renders while its texts change).
std::string storedText(HWND w) {
    wchar_t wide[256] = {0};
    const int n = InternalGetWindowText(w, wide, 256);
    std::string text;
    for (int i = 0; i < n; ++i) text += wide[i] < 128 ? char(wide[i]) : '?';
    return text;
}

constexpr const char* kProgressCaption = "PSD file progress";

struct Search {
    Wanted wanted;
    HWND found;
};

bool isFileDialog(HWND w) { return GetDlgItem(w, 0x47C) || GetDlgItem(w, 0x480); }

BOOL CALLBACK searchWindow(HWND w, LPARAM context) {
    auto* s = reinterpret_cast<Search*>(context);
    if (!ownDialog(w)) return TRUE;
    const bool isMain = GetDlgItem(w, 37) && GetDlgItem(w, 86) && storedText(w) == "Lumenfall";
    bool fits = false;
    switch (s->wanted) {
        case Wanted::Main: fits = isMain; break;
        case Wanted::File: fits = !isMain && isFileDialog(w); break;
        case Wanted::Message: fits = !isMain && !isFileDialog(w); break;
        case Wanted::Other: fits = !isMain; break;
        case Wanted::Progress: fits = storedText(w) == kProgressCaption; break;
    }
    if (!fits) return TRUE;
    s->found = w;
    return FALSE;
}

HWND findDialog(Wanted wanted) {
    const DWORD start = GetTickCount();
    do {
        Search s{wanted, nullptr};
        EnumWindows(searchWindow, reinterpret_cast<LPARAM>(&s));
        if (s.found) return s.found;
        Sleep(20);
    } while (GetTickCount() - start < kFindTimeout);
    return nullptr;
}

struct ChildSearch {
    int id;
    const char* cls;
    HWND found;
};

BOOL CALLBACK searchChild(HWND w, LPARAM context) {
    auto* s = reinterpret_cast<ChildSearch*>(context);
    if ((s->id && GetDlgCtrlID(w) == s->id) || (s->cls && className(w) == s->cls)) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND findChild(HWND parent, int id, const char* cls) {
    ChildSearch s{id, cls, nullptr};
    EnumChildWindows(parent, searchChild, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// Real input through the system's input queue, as a user's keyboard and
// mouse make it: it reaches whichever window has the focus or lies under
// the pointer.
bool keyOf(const std::string& name, WORD* key, bool* shift, bool* alt) {
    static const struct {
        const char* name;
        WORD key;
    } keys[] = {{"tab", VK_TAB},     {"enter", VK_RETURN}, {"escape", VK_ESCAPE}, {"space", VK_SPACE},
                {"left", VK_LEFT},   {"right", VK_RIGHT},  {"up", VK_UP},         {"down", VK_DOWN},
                {"pageup", VK_PRIOR}, {"pagedown", VK_NEXT}, {"home", VK_HOME},  {"end", VK_END},
                {"backspace", VK_BACK}};
    std::string rest = name;
    *shift = *alt = false;
    for (;;) {
        if (rest.compare(0, 6, "shift+") == 0) *shift = true, rest = rest.substr(6);
        else if (rest.compare(0, 4, "alt+") == 0) *alt = true, rest = rest.substr(4);
        else break;
    }
    for (const auto& k : keys)
        if (rest == k.name) return *key = k.key, true;
    if (rest.size() == 1 && std::isalnum(static_cast<unsigned char>(rest[0]))) {
        *key = WORD(std::toupper(static_cast<unsigned char>(rest[0])));
        return true;
    }
    return false;
}

void sendKey(WORD key, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
}

void sendPointer(POINT screen, DWORD flags, int wheel) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    in.mi.dx = LONG((screen.x * 65536LL + w / 2) / (w > 0 ? w : 1));
    in.mi.dy = LONG((screen.y * 65536LL + h / 2) / (h > 0 ? h : 1));
    in.mi.mouseData = DWORD(wheel);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
    SendInput(1, &in, sizeof in);
}

struct TipSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK searchTips(HWND w, LPARAM context) {
    auto* s = reinterpret_cast<TipSearch*>(context);
    if (className(w) == "tooltips_class32" && GetWindow(w, GW_OWNER) == s->owner) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

bool overlaps(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

class Runner {
public:
    explicit Runner(UiScript::State& s) : s_(s) {}

    void run() {
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
            step(w[0], w.size() > 1 ? w[1] : std::string(), line);
        }
        // A script that leaves the dialog open would leave the run waiting.
        for (int i = 0; i < 40 && IsWindow(dialog_); ++i) Sleep(50);
        if (IsWindow(dialog_)) {
            fail("the script ended with the dialog open; cancelling it");
            PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(2, BN_CLICKED), 0);
        }
    }

private:
    void fail(const std::string& what) {
        ++s_.failures;
        say("FAIL " + what);
    }
    HWND item(int id) { return GetDlgItem(dialog_, id); }
    std::vector<uint16_t> remembered_;

    bool query(int id, ControlState* state) {
        std::memset(state, 0, sizeof *state);
        DWORD_PTR answer = 0;
        return SendMessageTimeoutA(dialog_, LF_MESSAGE_CONTROL_STATE, WPARAM(id), reinterpret_cast<LPARAM>(state),
                                   SMTO_BLOCK, 5000, &answer) &&
               answer == 1;
    }

    std::string describe(int id) {
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

    // One KEY=VALUE of `expect`.
    bool matches(int id, const std::string& pair) {
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

    RECT clientRect(int id) {
        RECT r{};
        GetWindowRect(item(id), &r);
        MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    // A rectangle of the X server's screen.
    // Drawn afresh first unless `redraw` is false (the screen as the dialog left it).
    bool picture(const std::string& file, int left, int top, int width, int height, bool redraw = true) {
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

    bool pixel(int x, int y, int rgb[3]) {
        if (s_.shot.width == 0 || x < 0 || y < 0 || x >= s_.shot.width || y >= s_.shot.height) return false;
        for (int c = 0; c < 3; ++c) rgb[c] = s_.shot.samples[s_.shot.index(x, y, c)];
        return true;
    }

    void postMouse(UINT message, const std::vector<std::string>& a) {
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

    void step(const std::string& verb, const std::string& rest, const std::string& line) {
        const std::vector<std::string> a = scriptWords(line, verb == "message-ok"                ? 1
                                                             : verb == "type" || verb == "expect-caption" ||
                                                                       verb == "file-name"
                                                                 ? 2
                                                                 : 64);
        auto arg = [&](size_t i) { return i < a.size() ? std::atoi(a[i].c_str()) : 0; };
        if (verb == "wait") {
            Sleep(DWORD(arg(1)));
        } else if (verb == "click") {
            HWND h = item(arg(1));
            if (h && (GetWindowLongA(h, GWL_STYLE) & 0x0F) == BS_AUTOCHECKBOX)
                PostMessageA(h, BM_CLICK, 0, 0);
            else
                PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(arg(1), BN_CLICKED), reinterpret_cast<LPARAM>(h));
            Sleep(100);
        } else if (verb == "type") {
            const std::string text = a.size() > 2 ? a[2] : "";
            SetDlgItemTextA(dialog_, arg(1), text.c_str());
        } else if (verb == "enter" || verb == "escape") {
            HWND h = item(verb == "enter" ? arg(1) : 86);
            const WPARAM key = verb == "enter" ? VK_RETURN : VK_ESCAPE;
            PostMessageA(h, WM_KEYDOWN, key, 1);
            PostMessageA(h, WM_KEYUP, key, 0xC0000001);
            Sleep(100);
        } else if (verb == "pick") {
            HWND h = item(arg(1));
            SendMessageA(h, CB_SETCURSEL, WPARAM(arg(2) - 1), 0);
            PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(arg(1), CBN_SELCHANGE), reinterpret_cast<LPARAM>(h));
            Sleep(100);
        } else if (verb == "press") {
            postMouse(WM_LBUTTONDOWN, a);
        } else if (verb == "move") {
            postMouse(WM_MOUSEMOVE, a);
        } else if (verb == "release") {
            postMouse(WM_LBUTTONUP, a);
            // A drag may be rendering the preview: the release is handled after it.
            ControlState st;
            for (int i = 0; i < 200 && query(0, &st) && st.captured >= 0; ++i) Sleep(25);
        } else if (verb == "dot" || verb == "centre") {
            // dot K [right|ctrl|hover], centre [right|ctrl]: a click (or a
            // pointer move) in the middle of memory dot K or the centre dot.
            const int id = verb == "dot" ? 121 + arg(1) : 119;
            const std::string how = a.size() > size_t(verb == "dot" ? 2 : 1) ? a[verb == "dot" ? 2 : 1] : "";
            const RECT r = clientRect(id);
            const std::vector<std::string> at = {verb, std::to_string((r.left + r.right) / 2),
                                                 std::to_string((r.top + r.bottom) / 2), how == "ctrl" ? "ctrl" : ""};
            if (how == "hover") {
                postMouse(WM_MOUSEMOVE, {verb, at[1], at[2]});
            } else {
                postMouse(how == "right" ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, at);
                postMouse(how == "right" ? WM_RBUTTONUP : WM_LBUTTONUP, at);
            }
            Sleep(200);
        } else if (verb == "query") {
            say("query " + a[1] + " " + describe(arg(1)));
        } else if (verb == "rect" || verb == "expect-rect") {
            const RECT r = clientRect(arg(1));
            char text[128];
            std::snprintf(text, sizeof text, "%d %ld %ld %ld %ld", arg(1), r.left, r.top, r.right - r.left,
                          r.bottom - r.top);
            say(std::string("rect ") + text);
            // "-" leaves a side unchecked (a list's height is its closed height).
            const long got[4] = {r.left, r.top, r.right - r.left, r.bottom - r.top};
            bool same = true;
            for (int k = 0; k < 4; ++k)
                if (size_t(k + 2) < a.size() && a[size_t(k + 2)] != "-" && got[k] != arg(size_t(k + 2))) same = false;
            if (verb == "expect-rect" && !same) fail(line);
        } else if (verb == "client" || verb == "expect-client") {
            RECT r{};
            GetClientRect(dialog_, &r);
            say("client " + std::to_string(r.right) + " " + std::to_string(r.bottom));
            if (verb == "expect-client" && !(r.right == arg(1) && r.bottom == arg(2))) fail(line);
        } else if (verb == "expect-caption") {
            const std::string caption = windowText(dialog_);
            say("caption " + caption);
            if (caption != (a.size() > 1 ? a[1] : "")) fail(line);
        } else if (verb == "expect") {
            for (size_t i = 2; i < a.size(); ++i) {
                std::string pair = a[i];
                // A text runs to the end of the line.
                if (pair.compare(0, 5, "text=") == 0)
                    for (size_t j = i + 1; j < a.size(); ++j, ++i) pair += " " + a[j];
                if (!matches(arg(1), pair)) fail(line + " (" + describe(arg(1)) + ")");
            }
        } else if (verb == "shot") {
            POINT origin{0, 0};
            ClientToScreen(dialog_, &origin);
            RECT client{};
            GetClientRect(dialog_, &client);
            picture(a.size() > 1 ? a[1] : "shot.png", origin.x, origin.y, client.right, client.bottom);
        } else if (verb == "shot-panel") {
            HWND files = findDialog(Wanted::File);
            HWND panel = files ? findChild(files, LF_OPEN_PREVIEW_PICTURE, nullptr) : nullptr;
            RECT r{};
            if (!panel || !GetWindowRect(panel, &r)) {
                fail("no thumbnail panel: " + line);
                return;
            }
            picture(a.size() > 1 ? a[1] : "panel.png", r.left, r.top, r.right - r.left, r.bottom - r.top);
        } else if (verb == "expect-pixel") {
            int p[3];
            if (s_.pictureMissing) return;
            if (!pixel(arg(1), arg(2), p) || p[0] != arg(3) || p[1] != arg(4) || p[2] != arg(5)) {
                char got[64];
                std::snprintf(got, sizeof got, " (%d,%d,%d)", p[0], p[1], p[2]);
                fail(line + got);
            }
        } else if (verb == "expect-differs") {
            int p[3], q[3];
            if (s_.pictureMissing) return;
            if (!pixel(arg(1), arg(2), p) || !pixel(arg(3), arg(4), q) ||
                (p[0] == q[0] && p[1] == q[1] && p[2] == q[2]))
                fail(line);
        } else if (verb == "expect-brightest") {
            // expect-brightest X Y R LEFT TOP WIDTH HEIGHT: the centre of the
            // brightest pixels inside the rectangle lies within R of (X, Y).
            if (s_.pictureMissing) return;
            int best = -1;
            double sx = 0, sy = 0, n = 0;
            for (int y = arg(5); y < arg(5) + arg(7); ++y)
                for (int x = arg(4); x < arg(4) + arg(6); ++x) {
                    int p[3];
                    if (!pixel(x, y, p)) continue;
                    const int v = p[0] + p[1] + p[2];
                    if (v > best) best = v, sx = sy = n = 0;
                    if (v == best) sx += x, sy += y, n += 1;
                }
            const double cx = n > 0 ? sx / n : -1, cy = n > 0 ? sy / n : -1;
            char got[96];
            std::snprintf(got, sizeof got, "brightest at %.1f,%.1f (%d pixels of %d)", cx, cy, int(n), best);
            say(got);
            if (n == 0 || std::hypot(cx - arg(1), cy - arg(2)) > arg(3)) fail(line + " (" + got + ")");
        } else if (verb == "mark") {
            s_.mark = GetTickCount64();
        } else if (verb == "elapsed") {
            // Once the dialog answers, every message before this one is handled.
            ControlState state{};
            query(18, &state);
            say("elapsed " + std::to_string(GetTickCount64() - s_.mark) + " ms");
        } else if (verb == "file-name") {
            HWND files = findDialog(Wanted::File);
            HWND field = files ? GetDlgItem(files, 0x47C) : nullptr;  // the name box (cmb13)
            if (files && !field) field = GetDlgItem(files, 0x480);   // or its plain edit (edt1)
            if (!field) {
                fail("no file dialog: " + line);
                return;
            }
            say("file dialog " + windowText(files));
            std::string name = a.size() > 1 ? a[1] : "";
            for (char& c : name)
                if (c == '/') c = '\\';
            SetWindowTextA(field, name.c_str());
        } else if (verb == "file-select") {
            HWND files = findDialog(Wanted::File);
            HWND list = files ? findChild(files, 0, "SysListView32") : nullptr;
            if (!list) {
                fail("no file list: " + line);
                return;
            }
            LVITEMA lv{};
            lv.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            lv.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageA(list, LVM_SETITEMSTATE, WPARAM(arg(1)), reinterpret_cast<LPARAM>(&lv));
            Sleep(300);
        } else if (verb == "file-ok") {
            HWND files = findDialog(Wanted::File);
            if (!files) {
                fail("no file dialog: " + line);
                return;
            }
            PostMessageA(files, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(files, IDOK)));
            Sleep(300);
        } else if (verb == "answer-yes" || verb == "answer-no") {
            HWND box = findDialog(Wanted::Message);
            if (!box) {
                fail("no message box: " + line);
                return;
            }
            say("message box " + windowText(box));
            PostMessageA(box, WM_COMMAND, verb == "answer-yes" ? IDYES : IDNO, 0);
            Sleep(300);
        } else if (verb == "other-ok" || verb == "other-cancel") {
            HWND other = findDialog(Wanted::Other);
            if (!other) {
                fail("no other dialog: " + line);
                return;
            }
            say("other dialog " + windowText(other));
            PostMessageA(other, WM_COMMAND, verb == "other-ok" ? IDOK : IDCANCEL, 0);
            Sleep(300);
        } else if (verb == "progress" || verb == "progress-cancel") {
            watchProgress(verb == "progress-cancel", arg(1), line);
        } else if (verb == "progress-shown") {
            watchProgressShown(line);
        } else if (verb == "message-ok") {
            HWND box = findDialog(Wanted::Message);
            HWND text = box ? GetDlgItem(box, 0xFFFF) : nullptr;  // a message box's text
            if (!text) {
                fail("no message box: " + line);
                return;
            }
            const std::string shown = windowText(text);
            say("message " + shown);
            if (a.size() < 2 || shown.find(a[1]) == std::string::npos) fail(line);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            Sleep(300);
        } else if (verb == "key") {
            // key NAME...: real presses (tab, shift+tab, alt+o, enter, space, arrows, pageup, 7, ...).
            SetForegroundWindow(dialog_);
            for (size_t i = 1; i < a.size(); ++i) {
                WORD key;
                bool shift, alt;
                if (!keyOf(a[i], &key, &shift, &alt)) {
                    fail("unknown key " + a[i] + ": " + line);
                    return;
                }
                if (shift) sendKey(VK_SHIFT, false);
                if (alt) sendKey(VK_MENU, false);
                sendKey(key, false);
                sendKey(key, true);
                if (alt) sendKey(VK_MENU, true);
                if (shift) sendKey(VK_SHIFT, true);
                // A slider step renders the preview before the next key is read.
                Sleep(150);
            }
            Sleep(400);
        } else if (verb == "real-click" || verb == "wheel") {
            // real-click ID, wheel ID NOTCHES: the real pointer to the middle of a control, then a
            // left click or turns of the wheel (positive away from the user).
            const RECT r = clientRect(arg(1));
            POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
            ClientToScreen(dialog_, &at);
            SetForegroundWindow(dialog_);
            sendPointer(at, 0, 0);
            Sleep(60);
            if (verb == "real-click") {
                sendPointer(at, MOUSEEVENTF_LEFTDOWN, 0);
                sendPointer(at, MOUSEEVENTF_LEFTUP, 0);
            } else {
                for (int n = 0; n < std::abs(arg(2)); ++n) {
                    sendPointer(at, MOUSEEVENTF_WHEEL, arg(2) > 0 ? WHEEL_DELTA : -WHEEL_DELTA);
                    Sleep(100);
                }
            }
            Sleep(400);
        } else if (verb == "expect-focus") {
            ControlState st;
            if (!query(0, &st) || st.focus != arg(1)) fail(line + " (focus " + std::to_string(st.focus) + ")");
        } else if (verb == "expect-tab-order") {
            // expect-tab-order ID...: from the focus on the first, each Tab press moves it to the next.
            for (size_t i = 2; i < a.size(); ++i) {
                step("key", "", "key tab");
                ControlState st;
                if (!query(0, &st) || st.focus != arg(i)) {
                    fail(line + " (Tab " + std::to_string(i - 1) + " went to " + std::to_string(st.focus) + ")");
                    return;
                }
            }
        } else if (verb == "expect-fits") {
            // expect-fits ID TEXT: TEXT in the control's font, with its margins, fits its client area.
            HWND h = item(arg(1));
            const std::string text = a.size() > 2 ? a[2] : "100";
            RECT client{};
            GetClientRect(h, &client);
            HDC dc = GetDC(h);
            HFONT font = reinterpret_cast<HFONT>(SendMessageA(h, WM_GETFONT, 0, 0));
            HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(SYSTEM_FONT));
            SIZE extent{};
            TEXTMETRICA metrics{};
            GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &extent);
            GetTextMetricsA(dc, &metrics);
            SelectObject(dc, old);
            ReleaseDC(h, dc);
            const DWORD margins = DWORD(SendMessageA(h, EM_GETMARGINS, 0, 0));
            const long room = client.right - LOWORD(margins) - HIWORD(margins);
            char got[128];
            std::snprintf(got, sizeof got, "fits %d: text %ldx%ld, room %ldx%ld", arg(1), extent.cx, metrics.tmHeight,
                          room, client.bottom);
            say(got);
            if (extent.cx >= room || metrics.tmHeight > client.bottom) fail(line + " (" + got + ")");
        } else if (verb == "expect-tip") {
            // expect-tip ID TEXT: the control's tooltip (the centre dot's by its id).
            TipSearch search{dialog_, nullptr};
            EnumWindows(searchTips, reinterpret_cast<LPARAM>(&search));
            char text[1024] = {0};
            TTTOOLINFOA tool{};
            tool.cbSize = TTTOOLINFOA_V1_SIZE;
            tool.hwnd = dialog_;
            HWND h = item(arg(1));
            tool.uId = h && className(h) == "Button" ? reinterpret_cast<UINT_PTR>(h) : UINT_PTR(arg(1));
            tool.lpszText = text;
            if (search.found) SendMessageA(search.found, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
            say("tip " + a[1] + " " + text);
            std::string want;
            for (size_t i = 2; i < a.size(); ++i) want += (i > 2 ? " " : "") + a[i];
            if (!search.found || want != text) fail(line);
        } else if (verb == "expect-scaled") {
            // expect-scaled ID LEFT TOP WIDTH HEIGHT: the 96-dpi rectangle at the dialog's DPI, edge by edge.
            ControlState st;
            query(0, &st);
            const DialogScale scale{st.dpi};
            const ControlRect want = scale.rect(ControlRect{arg(2), arg(3), arg(4), arg(5)});
            const RECT r = clientRect(arg(1));
            char got[128];
            std::snprintf(got, sizeof got, "%ld %ld %ld %ld at %d dpi, want %d %d %d %d", r.left, r.top,
                          r.right - r.left, r.bottom - r.top, st.dpi, want.left, want.top, want.width, want.height);
            say("scaled " + a[1] + " " + got);
            if (r.left != want.left || r.top != want.top || r.right - r.left != want.width ||
                r.bottom - r.top != want.height)
                fail(line + " (" + got + ")");
        } else if (verb == "expect-client-scaled") {
            // The 957 x 656 client area at the dialog's DPI.
            ControlState st;
            query(0, &st);
            const DialogScale scale{st.dpi};
            RECT r{};
            GetClientRect(dialog_, &r);
            say("client " + std::to_string(r.right) + " " + std::to_string(r.bottom) + " at " +
                std::to_string(st.dpi) + " dpi");
            if (r.right != scale.px(957) || r.bottom != scale.px(656)) fail(line);
        } else if (verb == "expect-dpi") {
            ControlState st;
            if (!query(0, &st) || st.dpi != arg(1)) fail(line + " (" + std::to_string(st.dpi) + ")");
        } else if (verb == "expect-no-new-overlap") {
            // No two visible controls overlap that stand apart at 96 dpi (their rectangles
            // taken back to 96 dpi).
            ControlState st;
            query(0, &st);
            const DialogScale scale{st.dpi};
            std::vector<std::pair<int, RECT>> shown;
            for (HWND h = GetWindow(dialog_, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
                if (!IsWindowVisible(h)) continue;
                const int id = GetDlgCtrlID(h);
                // A list's window reaches down to where it drops; its closed field counts.
                RECT r = clientRect(id);
                if (className(h) == "ComboBox" || className(h) == "ComboBoxEx32") {
                    RECT field{};
                    SendMessageA(h, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&field));
                    RECT closed{};
                    GetWindowRect(h, &closed);
                    const long height = long(SendMessageA(h, CB_GETITEMHEIGHT, WPARAM(-1), 0)) + 6;
                    r.bottom = r.top + height;
                }
                shown.push_back({id, r});
            }
            auto back = [&](const RECT& r) {
                return RECT{scale.logical(r.left), scale.logical(r.top), scale.logical(r.right), scale.logical(r.bottom)};
            };
            int found = 0;
            for (size_t i = 0; i < shown.size(); ++i)
                for (size_t j = i + 1; j < shown.size(); ++j)
                    if (overlaps(shown[i].second, shown[j].second) && !overlaps(back(shown[i].second), back(shown[j].second))) {
                        fail("controls " + std::to_string(shown[i].first) + " and " + std::to_string(shown[j].first) +
                             " overlap at " + std::to_string(st.dpi) + " dpi");
                        ++found;
                    }
            say("overlaps checked: " + std::to_string(shown.size()) + " controls, " + std::to_string(found) + " new");
        } else if (verb == "remember" || verb == "expect-remembered" || verb == "expect-changed") {
            // remember ID: the X picture of a control's rectangle drawn afresh; expect-remembered ID:
            // the same picture as the screen shows it now, with nothing drawn again; expect-changed ID:
            // a different one.
            const RECT r = clientRect(arg(1));
            POINT origin{r.left, r.top};
            ClientToScreen(dialog_, &origin);
            const std::string file = (a.size() > 2 ? a[2] : "remembered") + std::string(".png");
            if (!picture(file, origin.x, origin.y, r.right - r.left, r.bottom - r.top, verb == "remember")) return;
            std::vector<uint16_t> samples;
            const SampleStore& shot = s_.shot.samples;
            for (uint16_t v : shot) samples.push_back(v);
            if (verb == "remember") {
                remembered_ = samples;
            } else if (verb == "expect-changed" && remembered_ == samples) {
                fail(line + " (the picture is the same)");
            } else if (verb == "expect-remembered" && remembered_ != samples) {
                fail(line + " (the picture differs)");
            }
        } else if (verb == "ok" || verb == "cancel") {
            PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(verb == "ok" ? 3 : 2, BN_CLICKED), 0);
            Sleep(100);
        } else {
            fail("unknown command: " + line);
        }
        (void)rest;
    }

    // The PSD export's progress dialog, its lower text read every
    // millisecond until it closes. `progress MIN`: the texts go from 0% to
    // 100% without a step back and show at least MIN values.
    // `progress-cancel PERCENT`: Escape once the text reaches PERCENT.
    // `progress-shown`: the progress dialog's percent as the screen shows it
    // (not its stored text) changes while the export runs: a picture at the
    // first text and one once the text passes 40%, before 100%.
    void watchProgressShown(const std::string& line) {
        HWND box = findDialog(Wanted::Progress);
        HWND lower = box ? GetDlgItem(box, LF_PROGRESS_PERCENT) : nullptr;
        if (!lower) {
            fail("no progress dialog: " + line);
            return;
        }
        auto shot = [&](const char* name, std::vector<uint16_t>* samples) {
            RECT r{};
            GetWindowRect(lower, &r);
            const std::string dir = std::getenv("LF_UI_DIR") ? std::getenv("LF_UI_DIR") : ".";
            if (!picture(dir + "/" + name, r.left, r.top, r.right - r.left, r.bottom - r.top, false)) return false;
            const SampleStore& taken = s_.shot.samples;
            for (uint16_t v : taken) samples->push_back(v);
            return true;
        };
        std::vector<uint16_t> first, later;
        const ULONGLONG start = GetTickCount64();
        std::string seenLater;
        if (!shot("progress_first.png", &first)) return;
        while (IsWindow(box) && GetTickCount64() - start < 170000) {
            const std::string text = storedText(lower);
            const int percent = std::atoi(text.c_str());
            if (!text.empty() && text.back() == '%' && percent >= 40 && percent < 100) {
                seenLater = text;
                if (!shot("progress_later.png", &later)) return;
                break;
            }
            Sleep(1);
        }
        say("progress shown at " + seenLater);
        if (seenLater.empty()) fail("the export passed 40% unseen: " + line);
        else if (first == later) fail("the progress picture at " + seenLater + " is the first one: " + line);
        for (int i = 0; i < 3000 && IsWindow(box); ++i) Sleep(50);
    }

    void watchProgress(bool cancel, int value, const std::string& line) {
        HWND box = findDialog(Wanted::Progress);
        HWND lower = box ? GetDlgItem(box, LF_PROGRESS_PERCENT) : nullptr;
        if (!lower) {
            fail("no progress dialog: " + line);
            return;
        }
        std::vector<std::string> seen;
        bool sent = false;
        const ULONGLONG start = GetTickCount64();
        while (IsWindow(box) && GetTickCount64() - start < 170000) {
            const std::string text = storedText(lower);
            if (!text.empty() && (seen.empty() || seen.back() != text)) seen.push_back(text);
            if (cancel && !sent && !text.empty() && text.back() == '%' && std::atoi(text.c_str()) >= value) {
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                sent = true;
            }
            Sleep(1);
        }
        std::string all;
        for (const std::string& t : seen) all += " " + t;
        say("progress" + all);
        if (IsWindow(box)) {
            fail("the progress dialog stayed open: " + line);
            return;
        }
        if (cancel) {
            if (!sent) fail("the export ended before " + std::to_string(value) + "%: " + line);
            return;
        }
        int previous = -1;
        for (const std::string& t : seen) {
            char sign = 0;
            int percent = -1;
            if (std::sscanf(t.c_str(), "%d%c", &percent, &sign) != 2 || sign != '%' ||
                t != std::to_string(percent) + "%" || percent < previous) {
                fail("progress text " + t + " after " + std::to_string(previous) + "%: " + line);
                return;
            }
            previous = percent;
        }
        if (seen.size() < size_t(value) || seen.front() != "0%" || seen.back() != "100%")
            fail(std::to_string(seen.size()) + " progress texts: " + line);
    }

    UiScript::State& s_;
    HWND dialog_ = nullptr;
};

DWORD WINAPI scriptThread(LPVOID context) {
    Runner(*static_cast<UiScript::State*>(context)).run();
    return 0;
}

}  // namespace

void UiScript::start() {
    // The plug-in loads the common controls and dialogs when its dialog
    // opens. Under wine, loading them while this thread makes its first
    // window calls can deadlock on the loader lock, so they are loaded here,
    // before the thread starts, as an editor has them loaded anyway.
    LoadLibraryA("comctl32.dll");
    LoadLibraryA("comdlg32.dll");
    if (!state_->thread) state_->thread = CreateThread(nullptr, 0, scriptThread, state_.get(), 0, nullptr);
}

int UiScript::finish() {
    if (!state_ || !state_->thread) return 0;
    WaitForSingleObject(state_->thread, INFINITE);
    CloseHandle(state_->thread);
    state_->thread = nullptr;
    if (state_->failures) return 1;
    return state_->pictureMissing ? 77 : 0;
}
#endif

}  // namespace lumenfall
