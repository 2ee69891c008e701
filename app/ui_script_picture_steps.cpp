// Script commands that take pictures of the screen and check their pixels.
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

bool Runner::pictureStep(const std::string& verb, const std::vector<std::string>& a, const std::string& line) {
    auto arg = [&](size_t i) { return i < a.size() ? std::atoi(a[i].c_str()) : 0; };
    if (verb == "shot") {
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
            return true;
        }
        picture(a.size() > 1 ? a[1] : "panel.png", r.left, r.top, r.right - r.left, r.bottom - r.top);
    } else if (verb == "expect-pixel") {
        int p[3];
        if (s_.pictureMissing) return true;
        if (!pixel(arg(1), arg(2), p) || p[0] != arg(3) || p[1] != arg(4) || p[2] != arg(5)) {
            char got[64];
            std::snprintf(got, sizeof got, " (%d,%d,%d)", p[0], p[1], p[2]);
            fail(line + got);
        }
    } else if (verb == "expect-differs") {
        int p[3], q[3];
        if (s_.pictureMissing) return true;
        if (!pixel(arg(1), arg(2), p) || !pixel(arg(3), arg(4), q) ||
            (p[0] == q[0] && p[1] == q[1] && p[2] == q[2]))
            fail(line);
    } else if (verb == "expect-brightest") {
        // expect-brightest X Y R LEFT TOP WIDTH HEIGHT: the centre of the
        // brightest pixels inside the rectangle lies within R of (X, Y).
        if (s_.pictureMissing) return true;
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
    } else if (verb == "remember" || verb == "expect-remembered" || verb == "expect-changed") {
        // remember ID: the X picture of a control's rectangle drawn afresh; expect-remembered ID:
        // the same picture as the screen shows it now, with nothing drawn again; expect-changed ID:
        // a different one.
        const RECT r = clientRect(arg(1));
        POINT origin{r.left, r.top};
        ClientToScreen(dialog_, &origin);
        const std::string file = (a.size() > 2 ? a[2] : "remembered") + std::string(".png");
        if (!picture(file, origin.x, origin.y, r.right - r.left, r.bottom - r.top, verb == "remember")) return true;
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
    } else {
        return false;
    }
    return true;
}

}  // namespace dialog_script
}  // namespace lumenfall
#endif
