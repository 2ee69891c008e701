// Script commands that check what the dialog shows and how it is laid out.
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

bool Runner::checkStep(const std::string& verb, const std::vector<std::string>& a, const std::string& line) {
    auto arg = [&](size_t i) { return i < a.size() ? std::atoi(a[i].c_str()) : 0; };
    if (verb == "query") {
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
    } else if (verb == "expect-focus") {
        ControlState st;
        if (!query(0, &st) || st.focus != arg(1)) fail(line + " (focus " + std::to_string(st.focus) + ")");
    } else if (verb == "expect-tab-order") {
        // expect-tab-order ID...: from the focus on the first, each Tab press moves it to the next.
        for (size_t i = 2; i < a.size(); ++i) {
            step("key", "key tab");
            ControlState st;
            if (!query(0, &st) || st.focus != arg(i)) {
                fail(line + " (Tab " + std::to_string(i - 1) + " went to " + std::to_string(st.focus) + ")");
                return true;
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
    } else {
        return false;
    }
    return true;
}

}  // namespace dialog_script
}  // namespace lumenfall
#endif
