#include "ui/win32/dialog_window.h"

#include "ui/win32/dialog_placement.h"

namespace lumenfall {
namespace {

ScreenRect toScreenRect(const RECT& r) { return {int(r.left), int(r.top), int(r.right), int(r.bottom)}; }

}  // namespace

void placeOverOwner(HWND dialog) {
    RECT own{};
    if (!GetWindowRect(dialog, &own)) return;
    HWND owner = GetWindow(dialog, GW_OWNER);
    RECT parent{};
    if (!owner || !IsWindowVisible(owner) || !GetWindowRect(owner, &parent))
        GetWindowRect(GetDesktopWindow(), &parent);
    RECT work{};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) GetWindowRect(GetDesktopWindow(), &work);
    ScreenPoint at = placeDialog(toScreenRect(parent), int(own.right - own.left), int(own.bottom - own.top),
                                 toScreenRect(work));
    SetWindowPos(dialog, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void centreOver(HWND window, HWND over) {
    RECT own{}, mine{}, work{};
    if (!over || !GetWindowRect(over, &own)) GetWindowRect(GetDesktopWindow(), &own);
    if (!GetWindowRect(window, &mine)) return;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) GetWindowRect(GetDesktopWindow(), &work);
    const int w = mine.right - mine.left, h = mine.bottom - mine.top;
    int x = own.left + (own.right - own.left - w) / 2;
    int y = own.top + (own.bottom - own.top - h) / 2;
    if (x + w > work.right) x = work.right - w;
    if (y + h > work.bottom) y = work.bottom - h;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace lumenfall
