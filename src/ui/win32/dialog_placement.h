// Where a modal dialog goes: centred horizontally on its parent (or on the
// desktop), with its top at one third of the free vertical space, as message
// boxes sit slightly above the middle. Plain integers, no Windows types, so
// the rule is tested on every build.
#ifndef LUMENFALL_UI_WIN32_DIALOG_PLACEMENT_H
#define LUMENFALL_UI_WIN32_DIALOG_PLACEMENT_H

namespace lumenfall {

struct ScreenRect {
    int left, top, right, bottom;  // right and bottom exclusive
};

struct ScreenPoint {
    int x, y;
};

// Top-left corner of a width x height dialog over `parent`. The result is
// then moved into `visible` (the desktop's work area) where it fits, so a
// parent near a screen edge cannot push the caption off the screen.
inline ScreenPoint placeDialog(ScreenRect parent, int width, int height, ScreenRect visible) {
    long long freeX = (long long)parent.right - parent.left - width;
    long long freeY = (long long)parent.bottom - parent.top - height;
    long long x = parent.left + freeX / 2;
    long long y = parent.top + freeY / 3;
    if (x + width > visible.right) x = (long long)visible.right - width;
    if (y + height > visible.bottom) y = (long long)visible.bottom - height;
    if (x < visible.left) x = visible.left;
    if (y < visible.top) y = visible.top;
    return {int(x), int(y)};
}

}  // namespace lumenfall

#endif
