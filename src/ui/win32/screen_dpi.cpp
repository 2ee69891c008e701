#include "ui/win32/screen_dpi.h"

namespace lumenfall {
namespace {

using SetAwareness = void*(WINAPI*)(void*);
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

template <class F>
F user32Function(const char* name) {
    HMODULE user = GetModuleHandleA("user32.dll");
    return user ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user, name))) : nullptr;
}

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, then the first per-monitor kind.
void* const kPerMonitorV2 = reinterpret_cast<void*>(intptr_t(-4));
void* const kPerMonitor = reinterpret_cast<void*>(intptr_t(-3));

}  // namespace

PerMonitorAwareness::PerMonitorAwareness() {
    if (SetAwareness set = user32Function<SetAwareness>("SetThreadDpiAwarenessContext")) {
        previous_ = set(kPerMonitorV2);
        if (!previous_) previous_ = set(kPerMonitor);
    }
}

PerMonitorAwareness::~PerMonitorAwareness() {
    if (!previous_) return;
    if (SetAwareness set = user32Function<SetAwareness>("SetThreadDpiAwarenessContext")) set(previous_);
}

int windowDpi(HWND window) {
    if (GetDpiForWindowFn get = user32Function<GetDpiForWindowFn>("GetDpiForWindow")) {
        const UINT dpi = get(window);
        if (dpi >= 48 && dpi <= 960) return int(dpi);
    }
    int dpi = 96;
    if (HDC dc = GetDC(window)) {
        dpi = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(window, dc);
    }
    return dpi >= 48 && dpi <= 960 ? dpi : 96;
}

HBITMAP scaledBitmapCopy(HBITMAP bitmap, const DialogScale& scale) {
    BITMAP info{};
    if (!bitmap || scale.unscaled() || !GetObjectA(bitmap, sizeof info, &info)) return bitmap;
    const int w = scale.px(info.bmWidth), h = scale.px(info.bmHeight);
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = w;
    header.bmiHeader.biHeight = -h;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP copy = CreateDIBSection(screen, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (copy) {
        HDC from = CreateCompatibleDC(screen), to = CreateCompatibleDC(screen);
        HGDIOBJ oldFrom = SelectObject(from, bitmap), oldTo = SelectObject(to, copy);
        SetStretchBltMode(to, COLORONCOLOR);
        StretchBlt(to, 0, 0, w, h, from, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
        SelectObject(from, oldFrom);
        SelectObject(to, oldTo);
        DeleteDC(from);
        DeleteDC(to);
    }
    ReleaseDC(nullptr, screen);
    return copy ? copy : bitmap;
}

HFONT fontFittedTo(HWND box, HFONT base, const char* sample) {
    LOGFONTA face{};
    if (!box || !base || !GetObjectA(base, sizeof face, &face)) return nullptr;
    RECT client{};
    GetClientRect(box, &client);
    HDC dc = GetDC(box);
    if (!dc) return nullptr;
    int height = face.lfHeight < 0 ? -face.lfHeight : face.lfHeight;
    if (height == 0) height = client.bottom;
    HFONT fitted = nullptr;
    for (; height >= 6 && !fitted; --height) {
        face.lfHeight = -height;
        face.lfWidth = 0;
        HFONT font = CreateFontIndirectA(&face);
        if (!font) break;
        HGDIOBJ old = SelectObject(dc, font);
        SIZE extent{};
        TEXTMETRICA metrics{};
        GetTextExtentPoint32A(dc, sample, int(lstrlenA(sample)), &extent);
        GetTextMetricsA(dc, &metrics);
        SelectObject(dc, old);
        // One pixel to spare for the caret after the last digit.
        if (extent.cx + 1 <= client.right && metrics.tmHeight <= client.bottom)
            fitted = font;
        else
            DeleteObject(font);
    }
    ReleaseDC(box, dc);
    return fitted;
}

}  // namespace lumenfall
