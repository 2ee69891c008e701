// Finding the dialogs of our own process and sending them real input.
#include "ui_script_windows.h"

#ifdef _WIN32
#include <cctype>
#include <cstdio>
#endif

#ifdef _WIN32
namespace lumenfall {
namespace dialog_script {

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

}  // namespace dialog_script
}  // namespace lumenfall
#endif
