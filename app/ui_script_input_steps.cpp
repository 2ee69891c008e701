// Script commands that act on the dialog as a user would: clicks, typing, keys, the pointer.
#include "ui_script_runner.h"

#ifdef _WIN32
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <commctrl.h>

#include "ui/dialog_scale.h"
#include "ui/win32/dialog_ids.h"
#endif

#ifdef _WIN32
namespace lumenfall {
namespace dialog_script {

bool Runner::inputStep(const std::string& verb, const std::vector<std::string>& a, const std::string& line) {
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
    } else if (verb == "mark") {
        s_.mark = GetTickCount64();
    } else if (verb == "elapsed") {
        // Once the dialog answers, every message before this one is handled.
        ControlState state{};
        query(18, &state);
        say("elapsed " + std::to_string(GetTickCount64() - s_.mark) + " ms");
    } else if (verb == "key") {
        // key NAME...: real presses (tab, shift+tab, alt+o, enter, space, arrows, pageup, 7, ...).
        SetForegroundWindow(dialog_);
        for (size_t i = 1; i < a.size(); ++i) {
            WORD key;
            bool shift, alt;
            if (!keyOf(a[i], &key, &shift, &alt)) {
                fail("unknown key " + a[i] + ": " + line);
                return true;
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
    } else if (verb == "ok" || verb == "cancel") {
        PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(verb == "ok" ? 3 : 2, BN_CLICKED), 0);
        Sleep(100);
    } else {
        return false;
    }
    return true;
}

}  // namespace dialog_script
}  // namespace lumenfall
#endif
