// Shows the about box and the refusal dialogs from the module's resources
// and checks them from a second thread: captions, texts, buttons, the three
// pictures, the white background, the placement rule, and how each dialog
// closes. Linked with the resource script, like the plug-in.
// Usage: dialog_probe about <log file> | dialog_probe refusal
//        dialog_probe show about|refusal2|refusal3 <milliseconds>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "dialog_driver.h"
#include "params/product_identity.h"
#include "ui/plugin_dialogs.h"
#include "platform/shell_open.h"
#include "ui/win32/about_box.h"
#include "ui/win32/dialog_ids.h"
#include "ui/win32/dialog_placement.h"

using namespace lumenfall;
using namespace lumenfall_test;

namespace {

HINSTANCE self() { return GetModuleHandleA(nullptr); }

ScreenRect rectOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {int(r.left), int(r.top), int(r.right), int(r.bottom)};
}

ScreenRect workArea() {
    RECT r{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
    return {int(r.left), int(r.top), int(r.right), int(r.bottom)};
}

void expectPlaced(Checks& c, HWND dialog, ScreenRect parent, const char* over) {
    ScreenRect own = rectOf(dialog);
    int w = own.right - own.left, h = own.bottom - own.top;
    ScreenPoint want = placeDialog(parent, w, h, workArea());
    c.expect(own.left == want.x && own.top == want.y,
             std::string("placed over ") + over + " at " + std::to_string(want.x) + "," + std::to_string(want.y) +
                 " (is " + std::to_string(own.left) + "," + std::to_string(own.top) + ")");
}

struct BitmapCount {
    int count;
    SIZE sizes[8];
};

BOOL CALLBACK collectBitmaps(HWND child, LPARAM data) {
    BitmapCount* found = reinterpret_cast<BitmapCount*>(data);
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP info{};
    if (bitmap && GetObjectA(bitmap, sizeof info, &info) && found->count < 8)
        found->sizes[found->count++] = {info.bmWidth, info.bmHeight};
    return TRUE;
}

SIZE resourceBitmapSize(int id) {
    HBITMAP bitmap = LoadBitmapA(self(), MAKEINTRESOURCEA(id));
    BITMAP info{};
    if (bitmap) GetObjectA(bitmap, sizeof info, &info);
    if (bitmap) DeleteObject(bitmap);
    return {info.bmWidth, info.bmHeight};
}

// Erases into a memory bitmap through the dialog's own handler and reads a pixel back.
COLORREF erasedColour(HWND dialog) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, 8, 8);
    HGDIOBJ old = SelectObject(memory, canvas);
    RECT all{0, 0, 8, 8};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SendMessageA(dialog, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0);
    COLORREF colour = GetPixel(memory, 3, 3);
    SelectObject(memory, old);
    DeleteObject(canvas);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return colour;
}

void checkAboutContents(Checks& c, HWND dialog) {
    c.expect(windowText(dialog) == "About", "about box caption \"About\"");
    HWND visit = GetDlgItem(dialog, LF_ABOUT_VISIT_BUTTON);
    c.expect(visit && windowText(visit) == "Visit Orvandel's website...", "button 5 reads \"Visit Orvandel's website...\"");
    BitmapCount found{};
    EnumChildWindows(dialog, collectBitmaps, reinterpret_cast<LPARAM>(&found));
    c.expect(found.count == 3, "three pictures (found " + std::to_string(found.count) + ")");
    const int ids[3] = {LF_BITMAP_ABOUT_BANNER, LF_BITMAP_ABOUT_TITLE, LF_BITMAP_ABOUT_LOGO};
    for (int i = 0; i < 3 && i < found.count; ++i) {
        SIZE want = resourceBitmapSize(ids[i]);
        c.expect(want.cx > 0 && found.sizes[i].cx == want.cx && found.sizes[i].cy == want.cy,
                 "picture " + std::to_string(i + 1) + " is bitmap " + std::to_string(ids[i]) + " (" +
                     std::to_string(want.cx) + "x" + std::to_string(want.cy) + ")");
    }
    c.expect(erasedColour(dialog) == RGB(255, 255, 255), "background erased white");
    c.expect(aboutBoxIsOpen(), "about-box-open flag set while shown");
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int probeAbout(const std::string& logPath) {
    Checks c;
    DeleteFileA(logPath.c_str());
    _putenv_s(kShellOpenLogVariable, logPath.c_str());

    // 1. No parent: over the desktop; Escape closes it with IDCANCEL.
    INT_PTR result = 0;
    DialogDriver escape([&](HWND dialog) {
        c.expect(dialog != nullptr, "about box appears");
        if (!dialog) return;
        checkAboutContents(c, dialog);
        expectPlaced(c, dialog, rectOf(GetDesktopWindow()), "the desktop");
        PostMessageA(GetDlgItem(dialog, LF_ABOUT_VISIT_BUTTON), WM_KEYDOWN, VK_ESCAPE, 0);
        c.expect(waitClosed(dialog, 5000), "Escape closes the about box");
    });
    escape.run([&] { result = runAboutBox(self(), nullptr); });
    c.expect(result == IDCANCEL, "Escape closes the box with IDCANCEL (got " + std::to_string(result) + ")");
    c.expect(!aboutBoxIsOpen(), "about-box-open flag cleared after closing");
    c.expect(readFile(logPath).empty(), "closing with Escape opens no page");

    // Enter, pressed as a user does, takes the default OK button and opens nothing.
    DialogDriver enter([&](HWND dialog) {
        c.expect(dialog != nullptr, "about box appears for Enter");
        if (!dialog) return;
        const LRESULT byDefault = SendMessageA(dialog, DM_GETDEFID, 0, 0);
        c.expect(HIWORD(byDefault) == DC_HASDEFID && LOWORD(byDefault) == IDOK, "OK is the default button");
        SetForegroundWindow(dialog);
        Sleep(100);
        INPUT keys[2] = {};
        keys[0].type = keys[1].type = INPUT_KEYBOARD;
        keys[0].ki.wVk = keys[1].ki.wVk = VK_RETURN;
        keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, keys, sizeof keys[0]);
        c.expect(waitClosed(dialog, 5000), "Enter closes the about box");
    });
    enter.run([&] { result = runAboutBox(self(), nullptr); });
    c.expect(result == IDOK, "Enter closes the box with IDOK (got " + std::to_string(result) + ")");
    c.expect(readFile(logPath).empty(), "closing with Enter opens no page");

    // 2. Over a host window given as platform data; the visit button opens
    //    the maker's page (recorded by the test mode) and closes the box.
    HWND host = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 40, 30, 700, 560, nullptr, nullptr,
                                self(), nullptr);
    intptr_t platformData = reinterpret_cast<intptr_t>(host);
    DialogDriver visit([&](HWND dialog) {
        c.expect(dialog != nullptr, "about box appears over the host window");
        if (!dialog) return;
        expectPlaced(c, dialog, rectOf(host), "the host window");
        SendMessageA(GetDlgItem(dialog, LF_ABOUT_VISIT_BUTTON), BM_CLICK, 0, 0);
        c.expect(waitClosed(dialog, 5000), "the visit button closes the about box");
    });
    visit.run([&] { showAboutBox(&platformData); });
    DestroyWindow(host);
    std::string logged = readFile(logPath);
    c.expect(logged == std::string(kMakerWebAddress) + "\n", "visit button opened " + std::string(kMakerWebAddress));
    std::string address = kMakerWebAddress;
    size_t hostStart = address.find("://") + 3;
    std::string hostName = address.substr(hostStart, address.find('/', hostStart) - hostStart);
    c.expect(hostName.size() > 8 && hostName.compare(hostName.size() - 8, 8, ".example") == 0,
             "the address is in the reserved .example domain");

    std::printf("%d failed checks\n", c.failed);
    return c.failed == 0 ? 0 : 1;
}

int probeRefusals() {
    Checks c;
    struct Case {
        Refusal which;
        bool clickCancel;
    } cases[] = {{Refusal::HostTooOld, true}, {Refusal::Multichannel, false}, {Refusal::ImageMode, true}};
    for (const Case& k : cases) {
        std::string label = k.which == Refusal::HostTooOld ? "REFUSAL2" : "REFUSAL3";
        DialogDriver driver([&](HWND dialog) {
            c.expect(dialog != nullptr, label + " appears");
            if (!dialog) return;
            c.expect(windowText(dialog) == "Plug-in error", label + " caption \"Plug-in error\"");
            c.expect(windowText(GetDlgItem(dialog, LF_REFUSAL_TEXT)) == refusalText(k.which), label + " message text");
            HWND cancel = GetDlgItem(dialog, IDCANCEL);
            c.expect(cancel && windowText(cancel) == "Cancel", label + " has one button \"Cancel\"");
            expectPlaced(c, dialog, rectOf(GetDesktopWindow()), "the desktop");
            if (k.clickCancel)
                SendMessageA(cancel, BM_CLICK, 0, 0);
            else
                PostMessageA(cancel, WM_KEYDOWN, VK_ESCAPE, 0);
            c.expect(waitClosed(dialog, 5000), label + (k.clickCancel ? " closes on Cancel" : " closes on Escape"));
        });
        driver.run([&] { showRefusal(k.which, nullptr); });
    }
    std::printf("%d failed checks\n", c.failed);
    return c.failed == 0 ? 0 : 1;
}

// Keeps a dialog on screen for a while, for screenshots while working on
// the layout: dialog_probe show about|refusal2|refusal3 <milliseconds>.
int showForAWhile(const std::string& which, int milliseconds) {
    DialogDriver driver([&](HWND dialog) {
        Sleep(DWORD(milliseconds));
        if (dialog) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    driver.run([&] {
        if (which == "about") showAboutBox(nullptr);
        if (which == "refusal2") showRefusal(Refusal::HostTooOld, nullptr);
        if (which == "refusal3") showRefusal(Refusal::Multichannel, nullptr);
    });
    return driver.sawDialog() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (!haveDisplay()) {
        std::printf("no DISPLAY: dialog tests need an X server (run ctest under xvfb-run)\n");
        return kSkipped;
    }
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "about" && argc > 2) return probeAbout(argv[2]);
    if (mode == "refusal") return probeRefusals();
    if (mode == "show" && argc > 3) return showForAWhile(argv[2], std::atoi(argv[3]));
    std::printf("usage: dialog_probe about <log file> | refusal\n");
    return 2;
}
