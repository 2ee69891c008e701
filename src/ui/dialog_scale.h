// The main dialog at a monitor's DPI: every position of the 96-dpi control
// table is scaled by dpi / 96 and rounded to the nearest pixel, edge by edge,
// so two controls that touch at 96 dpi still touch and none that stand apart
// come to overlap. Pointer positions go back the other way, so the model
// keeps working in 96-dpi pixels.
#ifndef LUMENFALL_UI_DIALOG_SCALE_H
#define LUMENFALL_UI_DIALOG_SCALE_H

#include "ui/control_table.h"

namespace lumenfall {

struct DialogScale {
    int dpi = 96;

    // A 96-dpi position in device pixels, halves rounded up (the same way on
    // both sides of the origin, so every edge moves alike).
    int px(int v) const { return roundedQuotient(static_cast<long long>(v) * dpi, 96); }
    // A device position back in 96-dpi pixels; px then logical gives the same value.
    int logical(int device) const { return roundedQuotient(static_cast<long long>(device) * 96, dpi > 0 ? dpi : 96); }
    ControlRect rect(const ControlRect& r) const {
        const int left = px(r.left), top = px(r.top);
        return {left, top, px(r.left + r.width) - left, px(r.top + r.height) - top};
    }
    bool unscaled() const { return dpi == 96; }

private:
    // floor(n / d + 1/2) for any sign of n (d > 0).
    static int roundedQuotient(long long n, long long d) {
        const long long twice = 2 * n + d, den = 2 * d;
        return int(twice >= 0 ? twice / den : -((-twice + den - 1) / den));
    }
};

}  // namespace lumenfall

#endif
